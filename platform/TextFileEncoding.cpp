#include "platform/TextFileEncoding.h"

#include "platform/Windows1252.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace {

const QByteArray Utf8Bom("\xEF\xBB\xBF");
const QByteArray Utf16LEBom("\xFF\xFE");
const QByteArray Utf16BEBom("\xFE\xFF");

} // namespace

DecodedText decodeText(const QByteArray& bytes)
{
    // Never valid UTF-8, and as Windows-1252 every other character would be a NUL.
    if (bytes.startsWith(Utf16LEBom) || bytes.startsWith(Utf16BEBom)) {
        const bool little = bytes.startsWith(Utf16LEBom);
        QStringDecoder utf16(little ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                             QStringConverter::Flag::Stateless);
        return {utf16(QByteArrayView(bytes).sliced(2)), little ? TextEncoding::Utf16LE : TextEncoding::Utf16BE};
    }
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8(bytes);
    if (utf8.hasError())
        return {platform::decodeWindows1252(bytes), TextEncoding::Windows1252};
    if (bytes.startsWith(Utf8Bom))
        return {std::move(text), TextEncoding::Utf8WithBom};
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
    return {std::move(text), ascii ? TextEncoding::Windows1252 : TextEncoding::Utf8};
}

QByteArray encodeText(const QString& text, TextEncoding preferred)
{
    if (preferred == TextEncoding::Utf16LE || preferred == TextEncoding::Utf16BE) {
        const bool little = preferred == TextEncoding::Utf16LE;
        QStringEncoder utf16(little ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                             QStringConverter::Flag::Stateless);
        return (little ? Utf16LEBom : Utf16BEBom) + QByteArray(utf16(text));
    }
    if (preferred == TextEncoding::Windows1252) {
        // Windows-1252 bytes can happen to form valid UTF-8 ("Ã©"), which would be read back as other text.
        QByteArray bytes;
        if (platform::encodeWindows1252(text, bytes) && decodeText(bytes).text == text)
            return bytes;
    }
    // The reader drops one leading byte-order mark, so a text that starts with one needs another in front.
    const bool bom = preferred == TextEncoding::Utf8WithBom || text.startsWith(QChar(0xFEFF));
    return bom ? Utf8Bom + text.toUtf8() : text.toUtf8();
}

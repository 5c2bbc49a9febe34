#include "richtext/RichText.h"

#include "platform/AppError.h"
#include "richtext/CodePage.h"
#include "richtext/RtfReader.h"
#include "richtext/TextSanitizer.h"

#include <QFile>
#include <QFont>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTextCursor>
#include <QTextDocument>

namespace richtext {

namespace {

QByteArrayView withoutUtf8Bom(QByteArrayView bytes)
{
    return bytes.startsWith("\xEF\xBB\xBF") ? bytes.sliced(3) : bytes;
}

// A byte order mark declares UTF-8 (damaged sequences then read as U+FFFD); without one, text that is
// not valid UTF-8 is taken for Windows-1252.
QString decodePlainText(QByteArrayView bytes)
{
    const QByteArrayView body = withoutUtf8Bom(bytes);
    QStringDecoder utf8(QStringConverter::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(body);
    if (!utf8.hasError() || body.size() != bytes.size())
        return text;
    return decodeWindows1252(bytes);
}

void readPlainText(QByteArrayView bytes, QTextDocument& doc, const QFont& baseFont)
{
    QString text = decodePlainText(bytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text = sanitizedText(std::move(text), true);

    QTextCharFormat format;
    format.setFont(baseFont);
    const bool undo = doc.isUndoRedoEnabled();
    doc.setUndoRedoEnabled(false);
    doc.clear();
    doc.setDefaultFont(baseFont);
    QTextCursor cursor(&doc);
    cursor.beginEditBlock();
    cursor.setBlockCharFormat(format);
    cursor.insertText(text, format); // each line break starts a new paragraph
    cursor.endEditBlock();
    doc.setUndoRedoEnabled(undo);
    doc.setModified(false);
}

} // namespace

bool isRtf(const QByteArray& bytes)
{
    const QByteArrayView data = withoutUtf8Bom(bytes);
    qsizetype pos = 0;
    while (pos < data.size() && (data[pos] == ' ' || data[pos] == '\t' || data[pos] == '\r' || data[pos] == '\n'))
        ++pos;
    if (!data.sliced(pos).startsWith("{\\rtf"))
        return false;
    // "{\rtfx" is some other control word, not the RTF header.
    pos += 5;
    return pos == data.size() || !((data[pos] >= 'a' && data[pos] <= 'z') || (data[pos] >= 'A' && data[pos] <= 'Z'));
}

void readDocument(const QByteArray& bytes, QTextDocument& doc, const QFont& baseFont)
{
    if (isRtf(bytes))
        readRtf(bytes, doc, baseFont);
    else
        readPlainText(bytes, doc, baseFont);
}

void loadFile(const QString& path, QTextDocument& doc, const QFont& baseFont)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw platform::AppError(QStringLiteral("Cannot open file %1").arg(path));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw platform::AppError(QStringLiteral("Failed to Load Stream"));
    readDocument(bytes, doc, baseFont);
}

void saveFile(const QString& path, const QTextDocument& doc)
{
    const QByteArray data = writeRtf(doc);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw platform::AppError(QStringLiteral("Cannot create file %1").arg(path));
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        throw platform::AppError(QStringLiteral("Failed to Save Stream"));
    }
    if (!file.commit())
        throw platform::AppError(QStringLiteral("Failed to Save Stream"));
}

} // namespace richtext

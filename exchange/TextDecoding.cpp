#include "exchange/TextDecoding.h"

#include <QStringDecoder>

namespace exchange {

namespace {

// 0x80..0x9F of Windows-1252; the five unassigned bytes keep their C1 control value, as Windows does.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool isAscii(QByteArrayView bytes)
{
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

} // namespace

QString fromWindows1252(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* d = out.data();
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *d++ = (b >= 0x80 && b < 0xA0) ? QChar(Cp1252High[b - 0x80]) : QChar(b);
    }
    return out;
}

bool isValidUtf8(QByteArrayView bytes, bool allowCutEnd)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        int len = 0;
        unsigned char lo = 0x80, hi = 0xBF; // allowed range of the second byte
        if (b >= 0xC2 && b <= 0xDF) {
            len = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3;
            if (b == 0xE0)
                lo = 0xA0; // overlong
            if (b == 0xED)
                hi = 0x9F; // surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4;
            if (b == 0xF0)
                lo = 0x90; // overlong
            if (b == 0xF4)
                hi = 0x8F; // past U+10FFFF
        } else {
            return false;
        }
        for (int k = 1; k < len; ++k) {
            if (i + k >= n)
                return allowCutEnd;
            const unsigned char c = p[i + k];
            if (k == 1 ? (c < lo || c > hi) : (c < 0x80 || c > 0xBF))
                return false;
        }
        i += len;
    }
    return true;
}

QString encodingName(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return QStringLiteral("UTF-8");
    case TextEncoding::Utf8Bom:
        return QStringLiteral("UTF-8 with byte-order mark");
    case TextEncoding::Utf16:
        return QStringLiteral("UTF-16");
    case TextEncoding::Windows1252:
        return QStringLiteral("Windows-1252");
    }
    return {};
}

QString decodeText(QByteArrayView bytes, TextEncoding encoding, bool* fellBack)
{
    if (fellBack)
        *fellBack = false;
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    if (encoding == TextEncoding::Windows1252)
        return fromWindows1252(bytes);
    if (isValidUtf8(bytes))
        return QString::fromUtf8(bytes);
    if (fellBack)
        *fellBack = true;
    return fromWindows1252(bytes);
}

bool decodeCharset(QByteArrayView bytes, const QByteArray& charset, QString& out)
{
    const QByteArray name = charset.trimmed().toLower();
    if (name == "utf-8" || name == "utf8") {
        if (!isValidUtf8(bytes))
            return false;
        out = QString::fromUtf8(bytes);
        return true;
    }
    if (name == "windows-1252" || name == "cp1252" || name == "iso-8859-1" || name == "latin1" || name == "us-ascii" ||
        name == "ascii") {
        // Senders labelling text Latin-1 mostly mean 1252; the two agree on every printable Latin-1 byte.
        out = fromWindows1252(bytes);
        return true;
    }
    QStringDecoder decoder(name.constData());
    if (!decoder.isValid())
        return false;
    out = decoder.decode(bytes);
    return !decoder.hasError();
}

} // namespace exchange

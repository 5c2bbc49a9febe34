#include "exchange/TextDecoding.h"

#include <QStringDecoder>
#include <cstring>

namespace exchange {

namespace {

bool isAscii(QByteArrayView bytes)
{
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// The length of the well-formed UTF-8 character at i (1 for ASCII); 0 when the byte at i starts none (overlong forms,
// surrogates and values past U+10FFFF included); -1 when the character is cut off by the end.
qsizetype sequenceLength(const unsigned char* p, qsizetype n, qsizetype i)
{
    const unsigned char b = p[i];
    if (b < 0x80)
        return 1;
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
        return 0;
    }
    for (int k = 1; k < len; ++k) {
        if (i + k >= n)
            return -1;
        const unsigned char c = p[i + k];
        if (k == 1 ? (c < lo || c > hi) : (c < 0x80 || c > 0xBF))
            return 0;
    }
    return len;
}

} // namespace

bool isValidUtf8(QByteArrayView bytes, bool allowCutEnd)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const qsizetype len = sequenceLength(p, n, i);
        if (len == 0)
            return false;
        if (len < 0)
            return allowCutEnd;
        i += len;
    }
    return true;
}

void Utf8Census::start(unsigned char b)
{
    m_fold = 0;
    m_lo = 0x80;
    m_hi = 0xBF;
    if (b < 0x80) {
        m_need = 0;
    } else if (b >= 0xC2 && b <= 0xDF) {
        m_need = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
        m_need = 2;
        if (b == 0xE0)
            m_lo = 0xA0;
        if (b == 0xED)
            m_hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        m_need = 3;
        if (b == 0xF0)
            m_lo = 0x90;
        if (b == 0xF4)
            m_hi = 0x8F;
    } else {
        m_need = 0;
        ++m_invalid;
    }
}

void Utf8Census::add(QByteArrayView bytes)
{
    const char* p = bytes.data();
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        if (m_need == 0) {
            // Most of a contact file is ASCII: pass over it eight bytes at a time.
            while (i + 8 <= n) {
                quint64 word;
                std::memcpy(&word, p + i, 8);
                if (word & 0x8080808080808080ULL)
                    break;
                i += 8;
            }
            while (i < n && static_cast<unsigned char>(p[i]) < 0x80)
                ++i;
            if (i < n)
                start(static_cast<unsigned char>(p[i++]));
            continue;
        }
        const auto b = static_cast<unsigned char>(p[i++]);
        if (b == '\r' && m_fold == 0) {
            m_fold = 1;
            continue;
        }
        if (b == '\n' && m_fold <= 1) {
            m_fold = 2;
            continue;
        }
        if ((b == ' ' || b == '\t') && m_fold == 2) {
            m_fold = 0;
            continue;
        }
        if (m_fold == 0 && b >= m_lo && b <= m_hi) {
            m_lo = 0x80;
            m_hi = 0xBF;
            if (--m_need == 0)
                ++m_multiByte;
            continue;
        }
        // The character is broken off: its lead is not UTF-8, and this byte starts afresh.
        ++m_invalid;
        start(b);
    }
}

void Utf8Census::finish()
{
    if (m_need > 0)
        ++m_invalid;
    m_need = 0;
    m_fold = 0;
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

DecodedValue decodeValue(QByteArrayView bytes, TextEncoding encoding, bool fileHasUtf8)
{
    DecodedValue out;
    if (isAscii(bytes)) {
        out.text = QString::fromLatin1(bytes);
        return out;
    }
    if (encoding == TextEncoding::Windows1252) {
        out.text = fromWindows1252(bytes);
        return out;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    bool hasUtf8 = fileHasUtf8;
    bool valid = true;
    for (qsizetype i = 0; i < n;) {
        const qsizetype len = sequenceLength(p, n, i);
        if (len <= 0) {
            valid = false;
            ++i;
        } else {
            hasUtf8 = hasUtf8 || len > 1;
            i += len;
        }
    }
    if (valid) {
        out.text = QString::fromUtf8(bytes);
        return out;
    }
    if (!hasUtf8) {
        out.text = fromWindows1252(bytes);
        out.repair = DecodedValue::Repair::Windows1252;
        return out;
    }
    out.repair = DecodedValue::Repair::Replaced;
    out.text.reserve(n);
    for (qsizetype i = 0; i < n;) {
        const qsizetype len = sequenceLength(p, n, i);
        if (len <= 0) {
            out.text += QChar(QChar::ReplacementCharacter);
            ++out.replaced;
            ++i;
        } else {
            out.text += QString::fromUtf8(reinterpret_cast<const char*>(p + i), len);
            i += len;
        }
    }
    return out;
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

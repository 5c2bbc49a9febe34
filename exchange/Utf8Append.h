#pragma once

#include <QByteArray>
#include <QStringView>

namespace exchange {

// Appends one character of `text` at `i` as UTF-8 (a surrogate pair as one four-byte character, a lone surrogate as
// U+FFFD, as QString::toUtf8 does) and returns the index after it. The writers build each row in one buffer with it,
// without a UTF-8 copy of every value.
inline qsizetype appendUtf8Char(QByteArray& out, QStringView text, qsizetype i)
{
    const char16_t c = text[i].unicode();
    if (c < 0x80) {
        out += char(c);
        return i + 1;
    }
    if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
        return i + 1;
    }
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
        const char32_t u = QChar::surrogateToUcs4(c, text[i + 1].unicode());
        out += char(0xF0 | (u >> 18));
        out += char(0x80 | ((u >> 12) & 0x3F));
        out += char(0x80 | ((u >> 6) & 0x3F));
        out += char(0x80 | (u & 0x3F));
        return i + 2;
    }
    const char16_t v = QChar::isSurrogate(c) ? char16_t(0xFFFD) : c;
    out += char(0xE0 | (v >> 12));
    out += char(0x80 | ((v >> 6) & 0x3F));
    out += char(0x80 | (v & 0x3F));
    return i + 1;
}

} // namespace exchange

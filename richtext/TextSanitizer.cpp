#include "richtext/TextSanitizer.h"

namespace richtext {

namespace {

bool needsWork(const QString& text, bool keepLineBreaks)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 && u != '\t' && !(keepLineBreaks && u == '\n'))
            return true;
        if (c.isSurrogate() || u == 0xFDD0 || u == 0xFDD1 || u == 0xFFFC || (u == 0x2029 && !keepLineBreaks))
            return true;
    }
    return false;
}

} // namespace

QString sanitizedText(QString text, bool keepLineBreaks)
{
    if (!needsWork(text, keepLineBreaks))
        return text;
    QString out;
    out.reserve(text.size());
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        if (c.isHighSurrogate()) {
            if (i + 1 < size && text.at(i + 1).isLowSurrogate()) {
                out += c;
                out += text.at(++i);
            } else {
                out += QChar::ReplacementCharacter;
            }
        } else if (c.isLowSurrogate() || u == 0xFDD0 || u == 0xFDD1 || u == 0xFFFC) {
            out += QChar::ReplacementCharacter;
        } else if (u == 0x2029 && !keepLineBreaks) {
            out += QChar::LineSeparator;
        } else if (u >= 0x20 || u == '\t' || (keepLineBreaks && u == '\n')) {
            out += c;
        }
    }
    return out;
}

} // namespace richtext

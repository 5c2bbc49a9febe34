#include "data/StoredText.h"

#include <algorithm>

namespace data {

namespace {
bool isRemoved(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 && u != u'\t' && u != u'\r' && u != u'\n';
}
} // namespace

bool hasControlCharacters(const QString& text)
{
    return std::any_of(text.begin(), text.end(), isRemoved);
}

QString withoutControlCharacters(const QString& text)
{
    if (!hasControlCharacters(text))
        return text;
    QString out = text;
    out.removeIf(isRemoved);
    return out;
}

} // namespace data

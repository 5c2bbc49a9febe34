#include "exchange/VCardFields.h"

namespace exchange::vcard {

bool isBetterAddress(const Property& candidate, const Property* chosen)
{
    return !chosen || (candidate.hasType("home") && !chosen->hasType("home"));
}

bool isBetterEmail(const Property& candidate, const Property* chosen)
{
    return !chosen || (candidate.pref && !chosen->pref);
}

namespace {

bool isCell(const Property& p)
{
    return p.hasType("cell") || p.hasType("mobile") || p.hasType("iphone");
}

} // namespace

bool isSpecialPhone(const Property& p)
{
    return p.hasType("fax") || p.hasType("pager") || p.hasType("textphone") || (p.hasType("video") && !isCell(p));
}

std::optional<Field> phoneField(const Property& p)
{
    if (isSpecialPhone(p))
        return std::nullopt;
    if (isCell(p))
        return Field::Cell;
    if (p.hasType("work"))
        return Field::WorkTel;
    if (p.hasType("home"))
        return Field::Tel;
    return std::nullopt;
}

SplitName splitFormattedName(const QString& formattedName)
{
    const qsizetype space = formattedName.lastIndexOf(QLatin1Char(' '));
    if (space < 0)
        return {formattedName, {}};
    return {formattedName.mid(space + 1), formattedName.left(space).trimmed()};
}

QString stripScheme(const QString& value, QLatin1String scheme)
{
    return value.startsWith(scheme, Qt::CaseInsensitive) ? value.mid(scheme.size()) : value;
}

} // namespace exchange::vcard

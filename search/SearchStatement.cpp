#include "search/SearchStatement.h"

#include "data/ContactStore.h"

namespace search {

QStringList searchStatement(const QString& field, const QString& word, bool notSearch)
{
    QString literal;
    literal.reserve(word.size() + 8);
    for (const QChar c : word) {
        if (c == u'\\' || c == u'%' || c == u'_')
            literal += u'\\';
        literal += c;
        if (c == u'"')
            literal += c;
    }
    QString subject = field.contains(QLatin1Char(' ')) ? QLatin1Char('[') + field + QLatin1Char(']') : field;
    for (const data::FieldDef& f : data::contactFields())
        if (f.kind == data::FieldKind::Date && f.name.compare(field, Qt::CaseInsensitive) == 0)
            subject = QStringLiteral("date_shown(%1)").arg(subject);
    // NOT LIKE is neither true nor false for a field with no value: such a field does not hold the word either.
    if (notSearch)
        subject = QStringLiteral("coalesce(%1,'')").arg(subject);
    return {QStringLiteral("SELECT * from HomeAd"), QStringLiteral("WHERE"), subject,
            notSearch ? QStringLiteral("NOT LIKE") : QStringLiteral("LIKE"),
            QStringLiteral("\"%") + literal + QStringLiteral("%\" ESCAPE '\\'")};
}

QStringList resetStatement()
{
    return {QStringLiteral("SELECT * FROM HomeAd"), QStringLiteral("ORDER by Surname")};
}

} // namespace search

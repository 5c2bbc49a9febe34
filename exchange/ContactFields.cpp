#include "exchange/ContactFields.h"

#include <QStringList>

namespace exchange {

QString fieldName(Field f)
{
    return QString::fromLatin1(info(f).name);
}

std::optional<Field> fieldByName(const QString& name)
{
    for (const FieldInfo& fi : Fields) {
        if (name.compare(QLatin1String(fi.name), Qt::CaseInsensitive) == 0)
            return fi.field;
    }
    return std::nullopt;
}

bool Contact::isEmpty() const
{
    for (const QString& v : values) {
        if (!v.isEmpty())
            return false;
    }
    return true;
}

QString Contact::displayName() const
{
    QStringList parts;
    for (Field f : {Field::Firstname, Field::Midname, Field::Surname}) {
        if (!(*this)[f].isEmpty())
            parts << (*this)[f];
    }
    return parts.join(QLatin1Char(' '));
}

} // namespace exchange

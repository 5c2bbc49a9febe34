#include "exchange/ControlCharacters.h"

#include "data/StoredText.h"

#include <QStringList>

namespace exchange {

bool removeControlCharacters(ReadContact& read, ImportLog& log)
{
    QStringList changed;
    for (const FieldInfo& fi : Fields) {
        QString& value = read.contact[fi.field];
        if (data::hasControlCharacters(value)) {
            value = data::withoutControlCharacters(value);
            changed << QString::fromLatin1(fi.name);
        }
    }
    if (changed.isEmpty())
        return false;
    QString name = read.contact.displayName();
    if (name.isEmpty())
        name = !read.contact[Field::Workplace].isEmpty() ? read.contact[Field::Workplace] : read.contact[Field::Email];
    const QString who = name.isEmpty() ? QString() : QStringLiteral(" of %1").arg(name);
    log.add(Severity::Warning, read.record, read.line,
            QStringLiteral("control characters removed from %1%2").arg(changed.join(QStringLiteral(", ")), who));
    return true;
}

} // namespace exchange

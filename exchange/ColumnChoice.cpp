#include "exchange/ColumnChoice.h"

#include "platform/AppError.h"
#include "platform/IniFile.h"

#include <QCryptographicHash>

namespace exchange {

namespace {

const QString RememberedSection = QStringLiteral("Import columns");

// The header row as one short key: its column names' keys, hashed (an INI key holds no '=' or brackets).
QString headerKey(const QStringList& columns)
{
    QByteArray all;
    for (const QString& c : columns)
        all += columnKey(c).toUtf8() + '\x1F';
    return QString::fromLatin1(QCryptographicHash::hash(all, QCryptographicHash::Sha1).toHex().left(20));
}

// Splits at `separator` outside double quotes, dropping the quotes ("" inside them is one quote).
QStringList splitQuoted(const QString& text, QChar separator)
{
    QStringList out;
    QString part;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('"')) {
            if (quoted && i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                part += c;
                ++i;
            } else {
                quoted = !quoted;
            }
        } else if (c == separator && !quoted) {
            out << part;
            part.clear();
        } else {
            part += c;
        }
    }
    out << part;
    return out;
}

} // namespace

QString columnKey(const QString& name)
{
    QString k;
    k.reserve(name.size());
    for (QChar c : name) {
        if (c.isLetterOrNumber())
            k += c.toLower();
    }
    return k;
}

std::optional<ColumnChoice> columnChoiceByName(const QString& name)
{
    const QString n = name.trimmed();
    if (n.compare(QLatin1String("Skip"), Qt::CaseInsensitive) == 0)
        return ColumnChoice{ColumnChoice::Use::Skip, Field::Surname};
    if (n.compare(QLatin1String("Notes"), Qt::CaseInsensitive) == 0)
        return ColumnChoice{ColumnChoice::Use::Notes, Field::Notes};
    if (const std::optional<Field> f = fieldByName(n))
        return ColumnChoice{ColumnChoice::Use::Field, *f};
    return std::nullopt;
}

QString columnChoiceName(const ColumnChoice& choice)
{
    switch (choice.use) {
    case ColumnChoice::Use::Skip:
        return QStringLiteral("Skip");
    case ColumnChoice::Use::Notes:
        return QStringLiteral("Notes");
    case ColumnChoice::Use::Field:
        break;
    }
    return fieldName(choice.field);
}

ColumnChoices parseColumnMap(const QString& text)
{
    ColumnChoices out;
    for (const QString& item : splitQuoted(text, QLatin1Char(','))) {
        if (item.trimmed().isEmpty())
            continue;
        const QStringList sides = splitQuoted(item, QLatin1Char('='));
        const QString column = sides.value(0).trimmed();
        const std::optional<ColumnChoice> choice =
            sides.size() == 2 ? columnChoiceByName(sides[1]) : std::nullopt;
        if (column.isEmpty() || !choice) {
            QStringList names;
            for (const FieldInfo& f : Fields)
                names << QLatin1String(f.name);
            throw platform::AppError(
                QStringLiteral("--map: \"%1\" is not COLUMN=FIELD; FIELD is one of %2, Notes or Skip")
                    .arg(item.trimmed(), names.join(QStringLiteral(", "))));
        }
        out.append({column, *choice});
    }
    return out;
}

const ColumnChoice* choiceFor(const ColumnChoices& choices, const QString& column)
{
    const QString name = column.trimmed();
    for (const auto& [n, c] : choices) {
        if (n == name)
            return &c;
    }
    const QString key = columnKey(name);
    for (const auto& [n, c] : choices) {
        if (!key.isEmpty() && columnKey(n) == key)
            return &c;
    }
    return nullptr;
}

ColumnChoices rememberedChoices(const QString& iniPath, const QStringList& columns)
{
    ColumnChoices out;
    if (iniPath.isEmpty() || columns.isEmpty())
        return out;
    // "0=Firstname;3=Skip": by position, the header row being the same.
    const QString kept = IniFile(iniPath).readString(RememberedSection, headerKey(columns));
    for (const QString& item : kept.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int column = item.section(QLatin1Char('='), 0, 0).toInt(&ok);
        const std::optional<ColumnChoice> choice = columnChoiceByName(item.section(QLatin1Char('='), 1));
        if (ok && choice && column >= 0 && column < columns.size())
            out.append({columns[column], *choice});
    }
    return out;
}

void rememberChoices(const QString& iniPath, const QStringList& columns, const ColumnChoices& choices)
{
    QStringList items;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (const ColumnChoice* c = choiceFor(choices, columns[i]))
            items << QStringLiteral("%1=%2").arg(i).arg(columnChoiceName(*c));
    }
    IniFile(iniPath).writeString(RememberedSection, headerKey(columns), items.join(QLatin1Char(';')));
}

} // namespace exchange

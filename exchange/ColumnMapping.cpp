#include "exchange/ColumnMapping.h"

#include "exchange/ContactDraft.h"
#include "exchange/ImportLog.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>

// Resources of a static library are registered by hand, outside any namespace.
static void initColumnNames()
{
    Q_INIT_RESOURCE(ColumnNames);
}

namespace exchange {

namespace {

using Role = ColumnTarget::Role;

QString key(const QString& name)
{
    return columnKey(name);
}

// The names other programs give their columns, from the table compiled in with the program.
QHash<QString, ColumnTarget> readKnownColumns()
{
    initColumnNames();
    QFile file(QStringLiteral(":/exchange/ColumnNames.tsv"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("the table of column names is missing from the program");
    static const QHash<QString, Role> roles{
        {QStringLiteral("street"), Role::Street},         {QStringLiteral("name"), Role::FullName},
        {QStringLiteral("birthday"), Role::Birthday},     {QStringLiteral("birth year"), Role::BirthYear},
        {QStringLiteral("birth month"), Role::BirthMonth}, {QStringLiteral("birth day"), Role::BirthDay},
        {QStringLiteral("categories"), Role::Categories}, {QStringLiteral("label"), Role::Label},
        {QStringLiteral("binary"), Role::Binary},
    };
    QHash<QString, ColumnTarget> t;
    int lineNumber = 0;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        ++lineNumber;
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList cells = line.split(QLatin1Char('\t'));
        const QString target = cells.value(0).trimmed();
        const QString k = key(cells.value(1));
        ColumnTarget c;
        if (target.startsWith(QLatin1String("note:"))) {
            c = ColumnTarget{Role::Note, Field::Notes, {}, 0, target.mid(5)};
        } else if (const auto role = roles.constFind(target); role != roles.constEnd()) {
            c.role = *role;
        } else if (const std::optional<Field> f = fieldByName(target)) {
            c = ColumnTarget{Role::Value, *f, {}, 0, {}};
        } else {
            qFatal("line %d of the table of column names: no such target \"%s\"", lineNumber, qPrintable(target));
        }
        if (!k.isEmpty() && !t.contains(k))
            t.insert(k, c);
    }
    return t;
}

const QHash<QString, ColumnTarget>& knownColumns()
{
    static const QHash<QString, ColumnTarget> table = readKnownColumns();
    return table;
}

bool isAddressLine(Field f)
{
    return f == Field::Address1 || f == Field::Address2 || f == Field::A3_Village;
}

// Values Outlook writes into every row when nothing was entered.
bool isOutlookDefault(const QString& column, const QString& value)
{
    static const char* const defaults[][2] = {
        {"gender", "unspecified"}, {"sensitivity", "normal"}, {"priority", "normal"}, {"private", "false"}};
    const QString k = key(column);
    for (const auto& d : defaults) {
        if (k == QLatin1String(d[0]) && value.trimmed().compare(QLatin1String(d[1]), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Google puts several values of one kind into one column: "a@example.com ::: b@example.com".
QStringList splitMulti(const QString& value)
{
    QStringList out;
    for (const QString& v : value.split(QStringLiteral(":::"))) {
        if (!v.trimmed().isEmpty())
            out << v.trimmed();
    }
    return out;
}

// "* Home": Google marks the primary value's type with a star.
QString typeName(QString type)
{
    type = type.trimmed();
    if (type.startsWith(QLatin1Char('*')))
        type = type.mid(1).trimmed();
    return type;
}

QString capitalised(QString s)
{
    if (!s.isEmpty())
        s[0] = s[0].toUpper();
    return s;
}

bool addressFieldsEmpty(const Contact& c)
{
    for (Field f : {Field::Address1, Field::Address2, Field::A3_Village, Field::Town, Field::County, Field::PostCode,
                    Field::Country}) {
        if (!c[f].isEmpty())
            return false;
    }
    return true;
}

} // namespace

ColumnTarget columnTarget(const QString& columnName)
{
    const QString k = key(columnName);
    const auto it = knownColumns().constFind(k);
    if (it != knownColumns().constEnd())
        return *it;
    // Google: "Phone 1 - Value", "Address 2 - City"; Outlook: "E-mail 2 Address".
    static const QRegularExpression numbered(
        QStringLiteral("^(email|phone|address|organization|website|relation|event|im|customfield)(\\d+)([a-z]*)$"));
    QRegularExpressionMatch m = numbered.match(k);
    if (m.hasMatch())
        return ColumnTarget{Role::Part, Field::Notes, m.captured(1), m.captured(2).toInt(), m.captured(3)};
    // Outlook's work and other addresses: "Business Street", "Other Country/Region".
    static const QRegularExpression outlookAddress(QStringLiteral(
        "^(business|other)(street|street2|street3|city|state|postalcode|countryregion|addresspobox|pobox)$"));
    m = outlookAddress.match(k);
    if (m.hasMatch()) {
        static const QHash<QString, QString> parts{{QStringLiteral("state"), QStringLiteral("region")},
                                                   {QStringLiteral("countryregion"), QStringLiteral("country")},
                                                   {QStringLiteral("addresspobox"), QStringLiteral("pobox")}};
        const QString part = m.captured(2);
        return ColumnTarget{Role::Part, Field::Notes, m.captured(1), 0, parts.value(part, part)};
    }
    return {};
}

qsizetype RowMapper::Group::column(const QString& part) const
{
    for (const auto& [name, column] : parts) {
        if (name == part)
            return column;
    }
    return -1;
}

RowMapper::RowMapper(const QStringList& columnNames, Unplaced unplaced, const ColumnChoices& choices)
    : m_names(columnNames), m_unplacedToNotes(unplaced == Unplaced::ToNotes), m_inNotes(columnNames.size(), 0)
{
    bool partsOfBirthday = false;
    for (const QString& n : columnNames) {
        ColumnTarget t = columnTarget(n);
        if (const ColumnChoice* choice = choiceFor(choices, n)) {
            switch (choice->use) {
            case ColumnChoice::Use::Skip:
                t = ColumnTarget{Role::Skip, Field::Notes, {}, 0, {}};
                break;
            case ColumnChoice::Use::Notes:
                t = ColumnTarget{Role::Note, Field::Notes, {}, 0, n.trimmed()};
                break;
            case ColumnChoice::Use::Field:
                t = choice->field == Field::Birthday ? ColumnTarget{Role::Birthday, Field::Birthday, {}, 0, {}}
                                                     : ColumnTarget{Role::Value, choice->field, {}, 0, {}};
                break;
            }
        }
        m_targets << t;
        partsOfBirthday = partsOfBirthday || t.role == Role::BirthMonth;
        qsizetype group = -1;
        if (t.role == Role::Part) {
            for (qsizetype g = 0; g < m_groups.size() && group < 0; ++g) {
                if (m_groups[g].kind == t.group && m_groups[g].number == t.number)
                    group = g;
            }
            if (group < 0) {
                group = m_groups.size();
                m_groups.append(Group{t.group, t.number, m_targets.size() - 1, {}});
            }
            m_groups[group].parts.append({t.part, m_targets.size() - 1});
        }
        m_groupOf << group;
    }
    // Beside "Birth Year" and "Birth Month", "Birth Day" (German "Geburtstag") is the day of the month, not the date.
    for (qsizetype i = 0; partsOfBirthday && i < m_targets.size(); ++i) {
        if (m_targets[i].role == Role::Birthday &&
            (m_names[i].trimmed().contains(QLatin1Char(' ')) || key(m_names[i]) == QLatin1String("geburtstag")))
            m_targets[i].role = Role::BirthDay;
    }
}

bool RowMapper::mapsAnything() const
{
    for (const ColumnTarget& t : m_targets) {
        if (t.role != Role::None && t.role != Role::Label && t.role != Role::Binary && t.role != Role::Skip)
            return true;
    }
    return false;
}

bool RowMapper::mapsName() const
{
    for (const ColumnTarget& t : m_targets) {
        if (t.role == Role::FullName ||
            (t.role == Role::Value &&
             (t.field == Field::Surname || t.field == Field::Firstname || t.field == Field::Workplace)) ||
            (t.role == Role::Part && t.group == QLatin1String("organization") && t.part == QLatin1String("name")))
            return true;
    }
    return false;
}

QString RowMapper::becomes(qsizetype column) const
{
    const ColumnTarget& t = m_targets.at(column);
    switch (t.role) {
    case Role::None:
        return m_unplacedToNotes ? QStringLiteral("Notes") : QStringLiteral("Skip");
    case Role::Value:
        return fieldName(t.field);
    case Role::Street:
        return QStringLiteral("Address1, Address2");
    case Role::FullName:
        return QStringLiteral("Surname, Firstname");
    case Role::Birthday:
    case Role::BirthYear:
    case Role::BirthMonth:
    case Role::BirthDay:
        return QStringLiteral("Birthday");
    case Role::Part:
        if (t.group == QLatin1String("email"))
            return QStringLiteral("Email, then Notes");
        if (t.group == QLatin1String("phone"))
            return QStringLiteral("Tel, Cell or Work Tel by its type");
        if (t.group == QLatin1String("address"))
            return QStringLiteral("the address fields");
        if (t.group == QLatin1String("organization") && t.part == QLatin1String("name"))
            return QStringLiteral("Workplace");
        return QStringLiteral("Notes");
    case Role::Label:
        return QStringLiteral("Skip (it describes another column)");
    case Role::Categories:
        return QStringLiteral("Flag, Flag2");
    case Role::Note:
        return QStringLiteral("Notes");
    case Role::Binary:
        return QStringLiteral("Skip (not stored)");
    case Role::Skip:
        return QStringLiteral("Skip");
    }
    return {};
}

QList<std::pair<QString, qint64>> RowMapper::columnsInNotes() const
{
    QList<std::pair<QString, qint64>> out;
    for (qsizetype i = 0; i < m_names.size(); ++i) {
        if (m_inNotes[i] > 0)
            out.append({m_names[i], m_inNotes[i]});
    }
    return out;
}

void RowMapper::applyGroup(const Group& g, const QStringList& values, ContactDraft& d) const
{
    Contact& c = d.contact;
    QStringList used{QStringLiteral("type"), QStringLiteral("label"), QStringLiteral("displayname")};
    auto take = [&](const char* part) {
        used << QLatin1String(part);
        const qsizetype column = g.column(QLatin1String(part));
        return column < 0 ? QString() : normalizeLineBreaks(values.value(column)).trimmed();
    };
    QString type = typeName(take("type"));
    if (type.isEmpty())
        type = typeName(take("label"));

    if (g.kind == QLatin1String("email")) {
        if (type.compare(QLatin1String("SMTP"), Qt::CaseInsensitive) == 0) // Outlook's "E-mail 2 Type"
            type.clear();
        const QString label = type.isEmpty() || type.compare(QLatin1String("Other"), Qt::CaseInsensitive) == 0
                                  ? QStringLiteral("E-mail")
                                  : type + QStringLiteral(" e-mail");
        for (const QString& v : splitMulti(take("value")) + splitMulti(take("address"))) {
            if (c[Field::Email].isEmpty())
                c[Field::Email] = v;
            else
                d.addNoteLine(label, v);
        }
    } else if (g.kind == QLatin1String("phone")) {
        const QString lower = type.toLower();
        for (const QString& v : splitMulti(take("value"))) {
            // "Other" is no home number: it goes to Notes with the fax and pager numbers.
            if (lower.contains(QLatin1String("fax")) || lower.contains(QLatin1String("pager")) ||
                lower.trimmed() == QLatin1String("other")) {
                d.addNoteLine(capitalised(type), v);
                continue;
            }
            Field f = Field::Tel;
            if (lower.contains(QLatin1String("mobile")) || lower.contains(QLatin1String("cell")))
                f = Field::Cell;
            else if (lower.contains(QLatin1String("work")) || lower.contains(QLatin1String("business")))
                f = Field::WorkTel;
            if (c[f].isEmpty())
                c[f] = v;
            else
                d.addNoteLine(type.isEmpty() ? QStringLiteral("Other phone") : type + QStringLiteral(" phone"), v);
        }
    } else if (g.kind == QLatin1String("address") || g.kind == QLatin1String("business") ||
               g.kind == QLatin1String("other")) {
        const QString formatted = take("formatted");
        QStringList street;
        // The street first, as on an envelope; the PO box after it.
        for (const char* part : {"street", "street2", "street3", "pobox"})
            street << take(part).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        const QString extended = take("extendedaddress");
        const QString city = take("city"), region = take("region"), code = take("postalcode"),
                      country = take("country");
        QStringList parts{extended};
        parts << street << city << region << code << country;
        QStringList kept;
        for (const QString& p : parts) {
            if (!p.trimmed().isEmpty())
                kept << p.trimmed();
        }
        if (kept.isEmpty() && formatted.isEmpty())
            return;
        if (g.kind == QLatin1String("address") && addressFieldsEmpty(c)) {
            // The first address takes the fields; a formatted one alone gives the street lines.
            if (kept.isEmpty())
                street = formatted.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            d.setStreet(street);
            c[Field::A3_Village] = extended;
            c[Field::Town] = city;
            c[Field::County] = region;
            c[Field::PostCode] = code;
            c[Field::Country] = country;
        } else {
            QString label = g.kind == QLatin1String("business") ? QStringLiteral("Work address")
                            : g.kind == QLatin1String("other") || type.isEmpty() ? QStringLiteral("Other address")
                                                                                 : type + QStringLiteral(" address");
            QStringList lines;
            for (const QString& l : formatted.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
                lines << l.trimmed();
            d.addNoteLine(label, formatted.isEmpty() ? kept.join(QStringLiteral(", ")) : lines.join(QStringLiteral(", ")));
        }
    } else if (g.kind == QLatin1String("organization")) {
        const QString name = take("name");
        if (!name.isEmpty()) {
            if (c[Field::Workplace].isEmpty())
                c[Field::Workplace] = name;
            else
                d.addNoteLine(QStringLiteral("Organisation"), name);
        }
        const QString title = take("title"), department = take("department");
        if (!title.isEmpty())
            d.addNoteLine(QStringLiteral("Job title"), title);
        if (!department.isEmpty())
            d.addNoteLine(QStringLiteral("Department"), department);
    } else {
        QString label;
        if (g.kind == QLatin1String("website"))
            label = type.isEmpty() ? QStringLiteral("Web page") : QStringLiteral("Web page (%1)").arg(type);
        else if (g.kind == QLatin1String("im")) {
            const QString service = typeName(take("service"));
            label = service.isEmpty() ? QStringLiteral("IM") : QStringLiteral("IM (%1)").arg(service);
        } else {
            label = !type.isEmpty()                           ? capitalised(type)
                    : g.kind == QLatin1String("relation")      ? QStringLiteral("Relation")
                    : g.kind == QLatin1String("event")         ? QStringLiteral("Event")
                                                               : QStringLiteral("Custom field");
        }
        for (const QString& v : splitMulti(take("value")))
            d.addNoteLine(label, g.kind == QLatin1String("event") ? d.noteDate(v) : v);
    }
    // Any other column of the group under its own name ("Organization 1 - Location").
    for (const auto& [part, column] : g.parts) {
        const QString v = normalizeLineBreaks(values.value(column)).trimmed();
        if (!used.contains(part) && !v.isEmpty())
            d.addNoteLine(m_names[column], v);
    }
}

void RowMapper::apply(const QStringList& values, ContactDraft& d, ImportLog& log) const
{
    Contact& c = d.contact;
    qsizetype i = 0;
    auto put = [&](Field f, const QString& v, const QString& column) {
        QString& slot = c[f];
        if (slot.isEmpty())
            slot = v;
        else if (isAddressLine(f))
            slot += QStringLiteral(", ") + v;
        else if (f == Field::Notes)
            slot += QLatin1Char('\n') + v;
        else if (!m_unplacedToNotes)
            log.skip(QStringLiteral("column \"%1\" (%2 already filled)").arg(column, fieldName(f)));
        else if (slot != v) {
            d.addNoteLine(column, v);
            ++m_inNotes[i];
        }
    };

    QString fullName, year, month, day;
    bool haveBirthday = false;
    for (i = 0; i < m_targets.size(); ++i) {
        const ColumnTarget& t = m_targets[i];
        if (t.role == Role::Part) {
            // A group is read whole at its first column, whatever that column holds.
            if (m_groups[m_groupOf[i]].firstColumn == i)
                applyGroup(m_groups[m_groupOf[i]], values, d);
            continue;
        }
        const QString v = normalizeLineBreaks(values.value(i));
        if (v.trimmed().isEmpty())
            continue;
        const QString& column = m_names[i];
        switch (t.role) {
        case Role::None:
            if (!m_unplacedToNotes)
                log.skip(QStringLiteral("column \"%1\"").arg(column));
            else if (!isOutlookDefault(column, v)) {
                d.addNoteLine(column, v.trimmed());
                ++m_inNotes[i];
            }
            break;
        case Role::Note:
            d.addNoteLine(t.part, t.part == QLatin1String("Anniversary") ? d.noteDate(v) : v.trimmed());
            ++m_inNotes[i];
            break;
        case Role::Skip:
            log.skip(QStringLiteral("column \"%1\" (skipped as chosen)").arg(column));
            break;
        case Role::Binary:
            d.notStored(QStringLiteral("column \"%1\"").arg(column));
            break;
        case Role::Part:
            break;
        case Role::Value:
            put(t.field, v, column);
            break;
        case Role::Street: {
            const QStringList lines = v.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            if (!lines.isEmpty())
                put(Field::Address1, lines[0].trimmed(), column);
            for (qsizetype l = 1; l < lines.size(); ++l)
                put(Field::Address2, lines[l].trimmed(), column);
            break;
        }
        case Role::FullName:
            fullName = v.trimmed();
            break;
        case Role::Birthday:
            if (haveBirthday) {
                d.addNoteLine(column, v.trimmed());
            } else {
                haveBirthday = true;
                d.setBirthday(v);
            }
            break;
        case Role::BirthYear:
            year = v.trimmed();
            break;
        case Role::BirthMonth:
            month = v.trimmed();
            break;
        case Role::BirthDay:
            day = v.trimmed();
            break;
        case Role::Label:
            break;
        case Role::Categories:
            d.setCategories(v.split(QRegularExpression(QStringLiteral(":::|;|,")), Qt::SkipEmptyParts));
            break;
        }
    }

    if (!haveBirthday && (!year.isEmpty() || !month.isEmpty() || !day.isEmpty())) {
        const int y = year.toInt(), m = month.toInt(), dd = day.toInt();
        if (year.isEmpty() && m > 0 && dd > 0) {
            d.setBirthday(QStringLiteral("--%1%2").arg(m, 2, 10, QLatin1Char('0')).arg(dd, 2, 10, QLatin1Char('0')));
        } else if (QDate(y, m, dd).isValid() && y > 0) {
            d.setBirthdayDate(QDate(y, m, dd));
        } else {
            d.addNoteLine(QStringLiteral("Birthday: %1/%2/%3").arg(day, month, year));
            d.warn(QStringLiteral("the birthday columns (day \"%1\", month \"%2\", year \"%3\") do not make a "
                                  "date; kept in Notes.")
                       .arg(day, month, year));
        }
    }
    if (!fullName.isEmpty()) {
        if (!c[Field::Surname].isEmpty() || !c[Field::Firstname].isEmpty()) {
            // Kept when it says more than the name columns ("Dr Ann Lee").
            const QString names =
                QStringList{c[Field::Firstname], c[Field::Midname], c[Field::Surname]}.join(QLatin1Char(' ')).simplified();
            if (fullName.simplified() != names)
                d.addNoteLine(QStringLiteral("Name"), fullName);
        } else {
            const qsizetype space = fullName.lastIndexOf(QLatin1Char(' '));
            if (space < 0) {
                c[Field::Surname] = fullName;
            } else {
                c[Field::Surname] = fullName.mid(space + 1);
                c[Field::Firstname] = fullName.left(space).trimmed();
            }
        }
    }
}

} // namespace exchange

#include "exchange/ColumnMapping.h"

#include "exchange/ContactDraft.h"
#include "exchange/ImportLog.h"

#include <QHash>
#include <QRegularExpression>

namespace exchange {

namespace {

using Role = ColumnTarget::Role;

QString key(const QString& name)
{
    QString k;
    for (QChar c : name) {
        if (c.isLetterOrNumber())
            k += c.toLower();
    }
    return k;
}

const QHash<QString, ColumnTarget>& knownColumns()
{
    static const QHash<QString, ColumnTarget> table = [] {
        QHash<QString, ColumnTarget> t;
        auto value = [&t](Field f, std::initializer_list<const char*> names) {
            for (const char* n : names)
                t.insert(QString::fromLatin1(n), ColumnTarget{Role::Value, f, 0});
        };
        auto role = [&t](Role r, std::initializer_list<const char*> names) {
            for (const char* n : names)
                t.insert(QString::fromLatin1(n), ColumnTarget{r, Field::Surname, 0});
        };
        value(Field::Surname, {"surname", "lastname", "familyname", "last"});
        value(Field::Midname, {"midname", "middlename", "middlenames", "additionalname", "middle"});
        value(Field::Firstname, {"firstname", "givenname", "forename", "forenames", "first"});
        value(Field::Address1, {"address1", "addressline1"});
        value(Field::Address2, {"address2", "addressline2", "homestreet2", "homeaddress2"});
        value(Field::A3_Village,
              {"a3village", "village", "address3", "addressline3", "homestreet3", "address1extendedaddress"});
        value(Field::Town, {"town", "city", "homecity", "address1city", "locality", "towncity"});
        value(Field::County,
              {"county", "state", "region", "province", "homestate", "homeregion", "address1region", "stateprovince"});
        value(Field::PostCode, {"postcode", "postalcode", "zip", "zipcode", "homepostalcode", "homezipcode", "homezip",
                                "address1postalcode", "postcodezip"});
        value(Field::Country, {"country", "countryregion", "homecountryregion", "homecountry", "address1country"});
        value(Field::Tel,
              {"tel", "telephone", "phone", "homephone", "phonenumber", "hometelephone", "hometel", "privatephone"});
        value(Field::Cell, {"cell", "mobile", "mobilephone", "cellphone", "cellular", "mobiletelephone", "mobilenumber",
                            "cellnumber"});
        value(Field::Email,
              {"email", "emailaddress", "email1value", "email1address", "primaryemail", "mail", "emailaddr"});
        value(Field::Notes, {"notes", "note", "comments", "comment", "memo"});
        value(Field::Workplace,
              {"workplace", "company", "organization", "organisation", "organization1name", "employer", "companyname"});
        value(Field::WorkTel,
              {"worktel", "workphone", "businessphone", "officephone", "worktelephone", "businesstelephone"});
        value(Field::Flag, {"flag"});
        value(Field::Flag2, {"flag2"});
        role(Role::Street, {"street", "streetaddress", "address", "homestreet", "homeaddress", "address1street",
                            "homeaddressstreet"});
        role(Role::FullName, {"name", "fullname", "displayname"});
        role(Role::Birthday, {"birthday", "birthdate", "dateofbirth", "dob", "bday"});
        role(Role::BirthYear, {"birthyear"});
        role(Role::BirthMonth, {"birthmonth"});
        role(Role::BirthDay, {"birthdayofmonth"});
        role(Role::Categories, {"categories", "category"});
        return t;
    }();
    return table;
}

bool isAddressLine(Field f)
{
    return f == Field::Address1 || f == Field::Address2 || f == Field::A3_Village;
}

} // namespace

ColumnTarget columnTarget(const QString& columnName)
{
    const QString k = key(columnName);
    const auto it = knownColumns().constFind(k);
    if (it != knownColumns().constEnd())
        return *it;
    static const QRegularExpression phone(QStringLiteral("^phone(\\d+)(value|type)$"));
    const QRegularExpressionMatch m = phone.match(k);
    if (m.hasMatch()) {
        return ColumnTarget{m.captured(2) == QLatin1String("value") ? Role::PhoneValue : Role::PhoneType, Field::Tel,
                            m.captured(1).toInt()};
    }
    static const QRegularExpression label(
        QStringLiteral("^(email|address|organization|website|relation|event|im)\\d+(type|label)$"));
    if (label.match(k).hasMatch())
        return ColumnTarget{Role::Label, Field::Surname, 0};
    return {};
}

RowMapper::RowMapper(const QStringList& columnNames) : m_names(columnNames)
{
    bool partsOfBirthday = false;
    for (const QString& n : columnNames) {
        m_targets << columnTarget(n);
        partsOfBirthday = partsOfBirthday || m_targets.last().role == Role::BirthMonth;
    }
    // Beside "Birth Year" and "Birth Month", "Birth Day" is the day of the month, not the date.
    for (qsizetype i = 0; partsOfBirthday && i < m_targets.size(); ++i) {
        if (m_targets[i].role == Role::Birthday && m_names[i].trimmed().contains(QLatin1Char(' ')))
            m_targets[i].role = Role::BirthDay;
    }
}

bool RowMapper::mapsAnything() const
{
    for (const ColumnTarget& t : m_targets) {
        if (t.role != Role::None && t.role != Role::PhoneType && t.role != Role::Label)
            return true;
    }
    return false;
}

void RowMapper::apply(const QStringList& values, ContactDraft& d, ImportLog& log) const
{
    Contact& c = d.contact;
    auto put = [&](Field f, const QString& v, const QString& column) {
        QString& slot = c[f];
        if (slot.isEmpty())
            slot = v;
        else if (isAddressLine(f))
            slot += QStringLiteral(", ") + v;
        else if (f == Field::Notes)
            slot += QLatin1Char('\n') + v;
        else
            log.skip(QStringLiteral("column \"%1\" (%2 already filled)").arg(column, fieldName(f)));
    };

    QString fullName, year, month, day;
    bool haveBirthday = false;
    for (qsizetype i = 0; i < m_targets.size(); ++i) {
        const QString v = normalizeLineBreaks(values.value(i));
        if (v.trimmed().isEmpty())
            continue;
        const ColumnTarget& t = m_targets[i];
        const QString& column = m_names[i];
        switch (t.role) {
        case Role::None:
            log.skip(QStringLiteral("column \"%1\"").arg(column));
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
                log.skip(QStringLiteral("column \"%1\" (Birthday already filled)").arg(column));
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
        case Role::PhoneValue: {
            QString type;
            for (qsizetype j = 0; j < m_targets.size(); ++j) {
                if (m_targets[j].role == Role::PhoneType && m_targets[j].number == t.number)
                    type = values.value(j).toLower();
            }
            if (type.contains(QLatin1String("fax")) || type.contains(QLatin1String("pager"))) {
                log.skip(QStringLiteral("column \"%1\" (%2)").arg(column, type.trimmed()));
                break;
            }
            Field f = Field::Tel;
            if (type.contains(QLatin1String("mobile")) || type.contains(QLatin1String("cell")))
                f = Field::Cell;
            else if (type.contains(QLatin1String("work")) || type.contains(QLatin1String("business")))
                f = Field::WorkTel;
            put(f, v.trimmed(), column);
            break;
        }
        case Role::PhoneType:
        case Role::Label:
            break;
        case Role::Categories: {
            const QStringList items = v.split(QRegularExpression(QStringLiteral("[;,]")), Qt::SkipEmptyParts);
            for (qsizetype k = 0; k < items.size(); ++k) {
                if (k < 2)
                    put(k == 0 ? Field::Flag : Field::Flag2, items[k].trimmed(), column);
                else
                    log.skip(QStringLiteral("column \"%1\" (past the second category)").arg(column));
            }
            break;
        }
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
        if (c[Field::Surname].isEmpty() && c[Field::Firstname].isEmpty()) {
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

#pragma once

#include "exchange/ContactFields.h"

#include <QList>
#include <QStringList>

namespace exchange {

class ContactDraft;
class ImportLog;

// What a column of a CSV file or an Access table holds, judged by its name.
struct ColumnTarget
{
    enum class Role {
        None,      // no place in a contact: non-empty values are counted as skipped
        Value,     // straight into `field`
        Street,    // street lines: the first to Address1, the rest to Address2
        FullName,  // "Name", "Display Name": split when no name column has a value
        Birthday,  // a date as text
        BirthYear, // the three parts of a birthday in separate columns
        BirthMonth,
        BirthDay,
        PhoneValue, // "Phone 1 - Value", placed by the "Phone 1 - Type" column of the same number
        PhoneType,
        Label,      // the type column of another pair ("E-mail 1 - Type"): read with its value, never counted
        Categories, // "Categories": the first two fill Flag and Flag2
    };
    Role role = Role::None;
    Field field = Field::Surname;
    int number = 0; // the 1 of "Phone 1 - Value"
};

// Column names are compared without case, spaces or punctuation: "E-mail Address" = "emailaddress".
[[nodiscard]] ColumnTarget columnTarget(const QString& columnName);

// Puts the values of one row into a contact by the column names of the header.
class RowMapper
{
public:
    explicit RowMapper(const QStringList& columnNames);

    // Whether any column has a place in a contact.
    [[nodiscard]] bool mapsAnything() const;
    [[nodiscard]] const QStringList& columnNames() const { return m_names; }
    // Values beyond the columns are not seen here; missing values count as empty.
    void apply(const QStringList& values, ContactDraft& draft, ImportLog& log) const;

private:
    QStringList m_names;
    QList<ColumnTarget> m_targets;
};

} // namespace exchange

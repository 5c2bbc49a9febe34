#pragma once

#include "exchange/ColumnChoice.h"
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
        Part,       // one column of a numbered group: "Phone 1 - Value", "Address 2 - City", "Business Street"
        Label,      // a column that only describes another ("E-mail Type", "E-mail Display Name"): never stored
        Categories, // "Categories", "Group Membership": Flag, Flag2 and Notes (ContactDraft::setCategories)
        Note,       // a value with no field of its own, to Notes under `label`: "Nickname", "Job Title"
        Binary,     // "Photo": counted as not stored
        Skip,       // left out as the user chose: counted as skipped
    };
    Role role = Role::None;
    Field field = Field::Surname;
    QString group; // Part: "email", "phone", "address", "organization", "website", "im", "relation", "event",
                   // "customfield", or "business"/"other" for those addresses of Outlook's
    int number = 0; // Part: the 1 of "Phone 1 - Value"
    QString part;   // Part: "value", "type", "label", "street", "city"...; Note: the label
};

// Column names are compared without case, spaces or punctuation: "E-mail Address" = "emailaddress".
[[nodiscard]] ColumnTarget columnTarget(const QString& columnName);

// Puts the values of one row into a contact by the column names of the header. Every non-empty value lands in a
// field or in Notes: a column without a place of its own, or whose field is already filled, gives a Notes line
// "Column: value"; the numbered groups of Google's export (E-mail, Phone, Address, Website, IM, Event...) and
// Outlook's work and other addresses give one labelled line per value ("Work Fax: ...", "Work address: ...").
class RowMapper
{
public:
    // Unplaced::Skip: a column without a place is counted as skipped instead (the key and bookkeeping columns
    // of a database table are no notes).
    enum class Unplaced { ToNotes, Skip };
    // `choices`: what the user said of some columns, in place of what their names say.
    explicit RowMapper(const QStringList& columnNames, Unplaced unplaced = Unplaced::ToNotes,
                       const ColumnChoices& choices = {});

    // Whether any column has a place in a contact.
    [[nodiscard]] bool mapsAnything() const;
    // Whether a column gives the contact a name: Surname, Firstname, Workplace or a whole name.
    [[nodiscard]] bool mapsName() const;
    [[nodiscard]] const QStringList& columnNames() const { return m_names; }
    // What the values of a column become, for the user: "Email", "Notes", "Skip", "Tel, Cell or Work Tel by type".
    [[nodiscard]] QString becomes(qsizetype column) const;
    // The columns whose values went to Notes so far as labelled lines, with how many values each.
    [[nodiscard]] QList<std::pair<QString, qint64>> columnsInNotes() const;
    // Values beyond the columns are not seen here; missing values count as empty.
    void apply(const QStringList& values, ContactDraft& draft, ImportLog& log) const;

private:
    // The columns of one numbered group, by part.
    struct Group
    {
        QString kind;
        int number = 0;
        qsizetype firstColumn = 0;
        QList<std::pair<QString, qsizetype>> parts;
        [[nodiscard]] qsizetype column(const QString& part) const;
    };
    void applyGroup(const Group& g, const QStringList& values, ContactDraft& d) const;

    QStringList m_names;
    QList<ColumnTarget> m_targets;
    QList<Group> m_groups;
    QList<qsizetype> m_groupOf; // by column: the index in m_groups, or -1
    bool m_unplacedToNotes;
    mutable QList<qint64> m_inNotes; // by column: values put into Notes under the column's name
};

} // namespace exchange

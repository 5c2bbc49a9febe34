#pragma once

#include "exchange/ContactReader.h"

#include <QDateTime>
#include <functional>
#include <memory>
#include <optional>

class QIODevice;

namespace exchange {

// What to do with a contact that has a value longer than its field allows, even after fitting (fitToFields):
// keep it, with the value shortened and kept whole in Notes, or leave the contact out.
enum class OverLongChoice { Keep, SkipContact };

struct OverLongValue
{
    Field field;
    int length;
    int maxLength;
    friend bool operator==(const OverLongValue&, const OverLongValue&) = default;
};

struct OverLongContact
{
    qint64 record = 0;
    qint64 line = 0;
    QString name; // for the list: the name, else the workplace or e-mail
    QList<OverLongValue> values;
};

// A contact whose surname was taken from another field, for the preview to list.
struct NamelessContact
{
    qint64 record = 0;
    qint64 line = 0;
    QString surname;
    QString takenFrom; // "Workplace", "Email" or "phone number"
};

// The values of a contact that exceed their field's maximum length.
[[nodiscard]] QList<OverLongValue> overLongValues(const Contact& contact);

// A contact made to fit its fields, and the values that had to be shortened.
struct FittedContact
{
    Contact contact;
    QList<OverLongValue> shortened; // lengths as read; each of these is kept whole in Notes
};

// Makes every value fit its field without losing anything: an over-long street line is split at commas or
// spaces over the empty address lines after it (Address1, Address2, A3_Village); a phone number drops spaces,
// brackets, dots and dashes. What still does not fit is shortened, and its whole value is added to Notes as a
// line "Field: whole value".
[[nodiscard]] FittedContact fitToFields(Contact contact);

// What an import will do, found by reading the whole source once without keeping it.
struct ImportPlan
{
    QString source;                  // "vCard, UTF-8", "CSV, semicolon separated, Windows-1252"...
    qint64 contactCount = 0;         // contacts read
    std::optional<Contact> first;    // the first of them as it will be stored (kept if over-long)
    QList<Field> firstShortened;     // the fields of `first` that were shortened
    QList<OverLongContact> overLong; // the first MaxOverLongListed contacts with values shortened to fit
    qint64 overLongCount = 0;        // all contacts with values shortened to fit
    qint64 shortenedValues = 0;      // values shortened (each kept whole in Notes)
    QList<NamelessContact> nameless; // the first MaxOverLongListed contacts without a name
    qint64 namelessCount = 0;
    qint64 movedToNotes = 0; // values with no field of their own, kept in Notes
    qint64 notStored = 0;    // binary values not stored
    QMap<QString, qint64> skipped;   // property or column -> values skipped
    QList<Notice> notices;           // the first ImportLog::MaxNotices
    qint64 noticeCount = 0;
    qint64 warningCount = 0;
    QStringList columns;                              // a CSV file's header row
    bool noNameColumn = false;                        // no column gives a name: nothing was read (NoNameColumn)
    bool columnsAreProperties = false;                // `columns` are a vCard's property kinds without a field
    QList<std::pair<QString, qint64>> columnsInNotes; // columns whose values went to Notes, and how many

    // How many contacts will be added with the given choice.
    [[nodiscard]] qint64 toAdd(OverLongChoice choice) const
    {
        return choice == OverLongChoice::Keep ? contactCount : contactCount - overLongCount;
    }

    static constexpr qsizetype MaxOverLongListed = 10000;
};

struct ImportResult
{
    qint64 added = 0;
    qint64 shortened = 0;       // contacts added with values shortened (kept whole in Notes)
    qint64 shortenedValues = 0; // the values shortened in them
    qint64 movedToNotes = 0;    // values of the added contacts with no field of their own, kept in Notes
    qint64 notStored = 0;       // binary values of the added contacts not stored
    qint64 skipped = 0;         // contacts left out for over-long values
    bool cancelled = false;
};

// Work done and the whole (bytes or rows; whole 0 when unknown). Returning false cancels.
using Progress = std::function<bool(qint64 done, qint64 total)>;
// Takes one contact into the store; may throw to stop the import (the caller rolls back).
using AddContact = std::function<void(const Contact&)>;

// Reads a source to its end and tells what an import would do. nullopt: cancelled.
[[nodiscard]] std::optional<ImportPlan> makePlan(ContactReader& reader, const Progress& progress = {});
// Reads a source and hands every contact to `add`, treating over-long values as chosen. `seen`, when given, is
// filled as makePlan() would fill it, in the same pass.
ImportResult importContacts(ContactReader& reader, OverLongChoice choice, const AddContact& add,
                            const Progress& progress = {}, ImportPlan* seen = nullptr);

enum class SourceKind { VCard, Csv, Access, Tovrel };

// An Access-format file by its header; another address book of ours (an SQLite file with a HomeAd table); else a
// vCard when the first text line is BEGIN:VCARD; else CSV. Any other SQLite file is refused (platform::AppError): read
// as text it would give nonsense contacts.
[[nodiscard]] SourceKind detectSourceKind(const QString& path);
// A reader for a vCard or CSV stream.
[[nodiscard]] std::unique_ptr<ContactReader> makeTextReader(QIODevice& device, SourceKind kind,
                                                            const ReadOptions& options = {});

// Import from a file in two passes: plan() reads it for the preview, run() reads it again and adds the
// contacts. run() refuses when the file changed since plan(). Without a preview, run() alone reads it once and
// tells in `seen` what plan() would have told.
class Importer
{
public:
    // `table`: for an Access-format file, the table to read ("HomeAd" when empty).
    explicit Importer(QString path, QString table = {}, ReadOptions options = {});

    [[nodiscard]] SourceKind kind() const { return m_kind; }
    [[nodiscard]] const QString& path() const { return m_path; }
    [[nodiscard]] std::optional<ImportPlan> plan(const Progress& progress = {});
    ImportResult run(OverLongChoice choice, const AddContact& add, const Progress& progress = {},
                     ImportPlan* seen = nullptr);

private:
    template <typename F> auto withReader(F&& f);

    QString m_path;
    QString m_table;
    ReadOptions m_options;
    SourceKind m_kind;
    bool m_planned = false;
    qint64 m_plannedSize = 0;
    QDateTime m_plannedModified;
};

} // namespace exchange

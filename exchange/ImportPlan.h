#pragma once

#include "exchange/ContactReader.h"

#include <QDateTime>
#include <functional>
#include <memory>
#include <optional>

class QIODevice;

namespace exchange {

// What to do with a contact that has a value longer than its field allows.
enum class OverLongChoice { Cut, SkipContact };

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

// The values of a contact that exceed their field's maximum length.
[[nodiscard]] QList<OverLongValue> overLongValues(const Contact& contact);
// The contact with every value cut to its field's maximum length, never inside a surrogate pair.
[[nodiscard]] Contact cutToLimits(Contact contact);

// What an import will do, found by reading the whole source once without keeping it.
struct ImportPlan
{
    QString source;                  // "vCard, UTF-8", "CSV, semicolon separated, Windows-1252"...
    qint64 contactCount = 0;         // contacts read
    std::optional<Contact> first;    // the first of them, mapped to our fields, before any cut
    QList<OverLongContact> overLong; // the first MaxOverLongListed contacts with over-long values
    qint64 overLongCount = 0;        // all contacts with over-long values
    QMap<QString, qint64> skipped;   // property or column -> values skipped
    QList<Notice> notices;           // the first ImportLog::MaxNotices
    qint64 noticeCount = 0;
    qint64 warningCount = 0;

    // How many contacts will be added with the given choice.
    [[nodiscard]] qint64 toAdd(OverLongChoice choice) const
    {
        return choice == OverLongChoice::Cut ? contactCount : contactCount - overLongCount;
    }

    static constexpr qsizetype MaxOverLongListed = 10000;
};

struct ImportResult
{
    qint64 added = 0;
    qint64 cut = 0;     // contacts added with values cut
    qint64 skipped = 0; // contacts left out for over-long values
    bool cancelled = false;
};

// Work done and the whole (bytes or rows; whole 0 when unknown). Returning false cancels.
using Progress = std::function<bool(qint64 done, qint64 total)>;
// Takes one contact into the store; may throw to stop the import (the caller rolls back).
using AddContact = std::function<void(const Contact&)>;

// Reads a source to its end and tells what an import would do. nullopt: cancelled.
[[nodiscard]] std::optional<ImportPlan> makePlan(ContactReader& reader, const Progress& progress = {});
// Reads a source and hands every contact to `add`, treating over-long values as chosen.
ImportResult importContacts(ContactReader& reader, OverLongChoice choice, const AddContact& add,
                            const Progress& progress = {});

enum class SourceKind { VCard, Csv, Access };

// An Access-format file by its header; else a vCard when the first text line is BEGIN:VCARD; else CSV.
[[nodiscard]] SourceKind detectSourceKind(const QString& path);
// A reader for a vCard or CSV stream.
[[nodiscard]] std::unique_ptr<ContactReader> makeTextReader(QIODevice& device, SourceKind kind,
                                                            const ReadOptions& options = {});

// Import from a file in two passes: plan() reads it for the preview, run() reads it again and adds the
// contacts. run() refuses when the file changed since plan().
class Importer
{
public:
    // `table`: for an Access-format file, the table to read ("HomeAd" when empty).
    explicit Importer(QString path, QString table = {}, ReadOptions options = {});

    [[nodiscard]] SourceKind kind() const { return m_kind; }
    [[nodiscard]] std::optional<ImportPlan> plan(const Progress& progress = {});
    ImportResult run(OverLongChoice choice, const AddContact& add, const Progress& progress = {});

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

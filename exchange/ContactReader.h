#pragma once

#include "exchange/ColumnChoice.h"
#include "exchange/ContactFields.h"
#include "exchange/ImportLog.h"

namespace exchange {

struct ReadOptions
{
    // Two-digit years of dates are read relative to this year; 0: the clock's year.
    int currentYear = 0;
    // What some columns of a CSV file hold, as the user said, in place of what their names say.
    ColumnChoices columns = {};
};

// A contact as read, with where it came from.
struct ReadContact
{
    Contact contact;
    qint64 record = 0; // one-based number in the file
    qint64 line = 0;   // line (or table row) where it starts
    int movedToNotes = 0;  // values with no field of their own, written into Notes
    int notStored = 0;     // binary values (photos, keys, sounds) not stored
    QString nameTakenFrom; // a nameless contact's surname came from: "Workplace", "Email" or "phone number"
};

// A streamed source of contacts: vCard, CSV or an Access-format table.
class ContactReader
{
public:
    virtual ~ContactReader() = default;
    ContactReader(const ContactReader&) = delete;
    ContactReader& operator=(const ContactReader&) = delete;

    // The next contact; false at the end. Throws platform::AppError when the source cannot be read on.
    [[nodiscard]] virtual bool next(ReadContact& out) = 0;
    // Progress: work done and the whole (bytes or rows); total 0 when unknown.
    [[nodiscard]] virtual qint64 progressDone() const = 0;
    [[nodiscard]] virtual qint64 progressTotal() const = 0;
    // A short description of the source for the preview, e.g. "vCard, UTF-8".
    [[nodiscard]] virtual QString description() const = 0;
    // The source's column names (a CSV file's header row); empty for sources without columns.
    [[nodiscard]] virtual QStringList columnNames() const { return {}; }
    // Whether those are kinds of vCard property without a field (each left out unless chosen) rather than columns.
    [[nodiscard]] virtual bool columnsAreProperties() const { return false; }
    // The columns whose values went to Notes so far as labelled lines, with how many values each.
    [[nodiscard]] virtual QList<std::pair<QString, qint64>> columnsInNotes() const { return {}; }

    [[nodiscard]] ImportLog& log() { return m_log; }
    [[nodiscard]] const ImportLog& log() const { return m_log; }

protected:
    explicit ContactReader(const ReadOptions& options);
    [[nodiscard]] int currentYear() const { return m_currentYear; }

private:
    ImportLog m_log;
    int m_currentYear;
};

} // namespace exchange

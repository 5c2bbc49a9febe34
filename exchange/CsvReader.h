#pragma once

#include "exchange/ColumnMapping.h"
#include "exchange/ContactReader.h"
#include "exchange/LineReader.h"

#include "platform/AppError.h"

#include <memory>
#include <vector>

namespace exchange {

// No column of the header row is taken for Surname, Firstname, Workplace or a whole name: every contact would come
// in without a name. The message lists the columns and how to say what they hold.
class NoNameColumn : public platform::AppError
{
public:
    NoNameColumn(qint64 line, QStringList columns);
    [[nodiscard]] const QStringList& columns() const { return m_columns; }

private:
    QStringList m_columns;
};

// Reads a CSV file with a header row, one contact per row, streamed. The separator (comma, semicolon
// or tab) is the one the header row uses most. Columns are placed by name (ColumnMapping.h), so our
// own export and the usual address-book exports read alike; a value with no field of its own goes to Notes.
// A row without a name is named by ContactDraft::nameFromOtherFields. Quoted values may hold separators, quotes
// ("" for one) and line breaks. A row with too few values is read with the rest empty; values past the
// header's columns go to Notes as "Extra value: ..."; both with a warning naming the line.
// A quoted value that is never closed stops the import with an error naming the line it opened on. A header row
// with no column for a name stops it with NoNameColumn.
class CsvReader final : public ContactReader
{
public:
    explicit CsvReader(QIODevice& device, const ReadOptions& options = {});

    [[nodiscard]] bool next(ReadContact& out) override;
    [[nodiscard]] qint64 progressDone() const override { return m_lines.position(); }
    [[nodiscard]] qint64 progressTotal() const override { return m_lines.size(); }
    [[nodiscard]] QString description() const override;

    // The header's column names (after the first call of next()).
    [[nodiscard]] QStringList columnNames() const override
    {
        return m_mapper ? m_mapper->columnNames() : QStringList();
    }
    [[nodiscard]] QList<std::pair<QString, qint64>> columnsInNotes() const override
    {
        return m_mapper ? m_mapper->columnsInNotes() : QList<std::pair<QString, qint64>>();
    }

private:
    // One row into m_row, its values as (start, length) in m_spans; false at the end. `firstLine` is where the row
    // starts.
    bool nextRow(qint64& firstLine);
    void readHeader();
    // `column`: its index in the header row; -1 for the header row itself.
    QString decode(QByteArrayView bytes, qint64 line, qsizetype column);

    LineReader m_lines;
    ColumnChoices m_choices;
    char m_separator = ',';
    QByteArray m_row;                                   // the row's values, unquoted, one after the other
    std::vector<std::pair<qsizetype, qsizetype>> m_spans; // each value's start and length in m_row
    std::unique_ptr<RowMapper> m_mapper;
    qsizetype m_columnCount = 0;
    qint64 m_records = 0;
    bool m_toldFallback = false;
    bool m_toldStrayQuote = false;
};

} // namespace exchange

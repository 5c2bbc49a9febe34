#pragma once

#include "exchange/ColumnMapping.h"
#include "exchange/ContactReader.h"
#include "exchange/LineReader.h"

#include <memory>

namespace exchange {

// Reads a CSV file with a header row, one contact per row, streamed. The separator (comma, semicolon
// or tab) is the one the header row uses most. Columns are placed by name (ColumnMapping.h), so our
// own export and the usual address-book exports read alike; a value with no field of its own goes to Notes.
// A row without a name is named by ContactDraft::nameFromOtherFields. Quoted values may hold separators, quotes
// ("" for one) and line breaks. A row with too few values is read with the rest empty; values past the
// header's columns go to Notes as "Extra value: ..."; both with a warning naming the line.
// A quoted value that is never closed stops the import with an error naming the line it opened on.
class CsvReader final : public ContactReader
{
public:
    explicit CsvReader(QIODevice& device, const ReadOptions& options = {});

    [[nodiscard]] bool next(ReadContact& out) override;
    [[nodiscard]] qint64 progressDone() const override { return m_lines.position(); }
    [[nodiscard]] qint64 progressTotal() const override { return m_lines.size(); }
    [[nodiscard]] QString description() const override;

    // The header's column names (after the first call of next()).
    [[nodiscard]] QStringList columns() const { return m_mapper ? m_mapper->columnNames() : QStringList(); }

private:
    // One row as raw values; false at the end. `firstLine` is where the row starts.
    bool nextRow(QList<QByteArray>& values, qint64& firstLine);
    void readHeader();
    // `column`: its header name; empty for the header row itself.
    QString decode(const QByteArray& bytes, qint64 line, const QString& column);

    LineReader m_lines;
    char m_separator = ',';
    std::unique_ptr<RowMapper> m_mapper;
    qsizetype m_columnCount = 0;
    qint64 m_records = 0;
    bool m_toldFallback = false;
    bool m_toldStrayQuote = false;
};

} // namespace exchange

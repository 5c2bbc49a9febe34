#pragma once

#include "data/SqliteFile.h"
#include "exchange/ColumnMapping.h"
#include "exchange/ContactReader.h"

#include <QString>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace exchange {

// Whether the file starts as an SQLite database does ("SQLite format 3" and a NUL).
[[nodiscard]] bool isSqliteFile(const QString& path);
// Whether the SQLite database at path has a HomeAd table (another address book of ours). Throws platform::AppError
// when the file cannot be read as a database.
[[nodiscard]] bool hasContactTable(const QString& path);

// The contacts of another address book of ours: the HomeAd table of an SQLite file, opened read-only, columns
// placed by name; its other tables (the shared address book's state, the recently deleted) are not read.
class TovrelFileReader final : public ContactReader
{
public:
    // Throws platform::AppError when the file cannot be opened or has no HomeAd table.
    explicit TovrelFileReader(const QString& path, const ReadOptions& options = {});
    ~TovrelFileReader() override;

    [[nodiscard]] bool next(ReadContact& out) override;
    [[nodiscard]] qint64 progressDone() const override { return m_rowsRead; }
    [[nodiscard]] qint64 progressTotal() const override { return m_rowCount; }
    [[nodiscard]] QString description() const override;

private:
    data::SqliteFile m_file;
    sqlite3_stmt* m_rows = nullptr;
    QStringList m_columns;
    std::unique_ptr<RowMapper> m_mapper;
    qint64 m_rowCount = 0;
    qint64 m_rowsRead = 0;
    qint64 m_records = 0;
};

} // namespace exchange

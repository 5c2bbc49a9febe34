#pragma once

#include "exchange/ColumnMapping.h"
#include "exchange/ContactReader.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace exchange {

// Whether the file starts like an Access-format (Jet or ACE) database: "Standard Jet DB" or
// "Standard ACE DB" at byte 4. Needs no library.
[[nodiscard]] bool isAccessFile(const QString& path);
// Whether this build can read Access-format files (it was made with the mdbtools library).
[[nodiscard]] bool canReadAccessFiles();

// The user tables of an Access-format file (system tables left out). Throws platform::AppError.
[[nodiscard]] QStringList accessTables(const QString& path);

// One table of an Access-format file, read row by row. Values come as text: dates as ISO text
// (with the time only when it is not midnight), memo text whole, empty and missing values as "",
// binary values (pictures) as "[binary data]".
class AccessTable
{
public:
    // Throws platform::AppError when the file cannot be opened or has no such table (case is ignored).
    AccessTable(const QString& path, const QString& table);
    ~AccessTable();
    AccessTable(const AccessTable&) = delete;
    AccessTable& operator=(const AccessTable&) = delete;

    [[nodiscard]] const QStringList& columns() const { return m_columns; }
    [[nodiscard]] QString name() const { return m_name; }
    [[nodiscard]] qint64 rowCount() const;
    [[nodiscard]] qint64 rowsRead() const { return m_rowsRead; }
    // The next row's values, one per column; false at the end.
    [[nodiscard]] bool next(QStringList& values);

private:
    struct Handle;
    std::unique_ptr<Handle> m_handle;
    QStringList m_columns;
    QString m_name;
    qint64 m_rowsRead = 0;
};

// Contacts from a table of an Access-format file, columns placed by name as for CSV
// (LastName/Surname, FirstName, Address (lines to Address1 and Address2), City, Region, PostalCode,
// Country, HomePhone, BirthDate, Notes...). Our own old table HomeAd has our field names.
class AccessReader final : public ContactReader
{
public:
    AccessReader(const QString& path, const QString& table, const ReadOptions& options = {});

    [[nodiscard]] bool next(ReadContact& out) override;
    [[nodiscard]] qint64 progressDone() const override { return m_table.rowsRead(); }
    [[nodiscard]] qint64 progressTotal() const override { return m_table.rowCount(); }
    [[nodiscard]] QString description() const override;

private:
    AccessTable m_table;
    RowMapper m_mapper;
    qint64 m_records = 0;
};

} // namespace exchange

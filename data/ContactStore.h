#pragma once

#include "data/Connection.h"
#include "data/DataSource.h"
#include "data/Dataset.h"

#include <QObject>

namespace data {

// The contact record: the query's fields in their fixed order.
[[nodiscard]] const QList<data::FieldDef>& contactFields();

// The SQL text at start.
[[nodiscard]] QStringList startSql();

[[nodiscard]] QString databaseFileName(); // "Tovrel.mdb"

// Makes an empty contact database at path when no file is there; never touches an existing file.
// Returns true when a new file was made.
bool createDatabaseIfMissing(const QString& path);

// The one connection, the one query over the contact table and its data source.
class ContactStore : public QObject
{
    Q_OBJECT
public:
    explicit ContactStore(QObject* parent = nullptr);

    // Points the connection at the database in the program folder; opens nothing.
    void configure(const QString& programFolder);

    data::Connection connection; // the SQLite file the query reads and writes
    data::Dataset HomeQuery;
    data::DataSource dsHome;
};

// The first character of a surname as the user sees it: one whole character, never half of one.
[[nodiscard]] QString initialOf(const QString& surname);

} // namespace data

#pragma once

#include "exchange/ImportPlan.h"

#include <QString>

struct sqlite3;
struct sqlite3_stmt;

namespace exchange {

// Adds contacts to the HomeAd table of an open database through one prepared statement.
class ContactInserter
{
public:
    explicit ContactInserter(sqlite3* db);
    ~ContactInserter();
    ContactInserter(const ContactInserter&) = delete;
    ContactInserter& operator=(const ContactInserter&) = delete;

    // Throws platform::AppError with the engine's message when the row is refused.
    void add(const exchange::Contact& contact);

private:
    sqlite3* m_db;
    sqlite3_stmt* m_statement = nullptr;
};

// Reads the importer's source and adds its contacts to db as one transaction: every contact or none.
// A failure rolls back and throws; a cancel (progress answering false) rolls back and returns the result
// with `cancelled` set and nothing added. `seen`: see Importer::run().
exchange::ImportResult importIntoDatabase(sqlite3* db, exchange::Importer& importer, exchange::OverLongChoice choice,
                                          const exchange::Progress& progress = {},
                                          exchange::ImportPlan* seen = nullptr);

// Turns an Access-format contact database at `path` into one of ours: the table's rows go into a new
// database made beside it, the original is renamed to path + ".access" (never overwritten), and the new one
// takes its name. Over-long values are shortened, each kept whole in Notes. On any failure the original stays where and as it was.
exchange::ImportResult convertAccessDatabase(const QString& path, const QString& table = QStringLiteral("HomeAd"),
                                             const exchange::Progress& progress = {});

// The name the original of a converted database is kept under.
[[nodiscard]] QString accessBackupPath(const QString& path);

} // namespace exchange

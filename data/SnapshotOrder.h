#pragma once

#include "data/RowStore.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// Loading a large query in index order costs the engine one random lookup per row; reading the table in
// storage order and sorting the snapshot here gives the same rows in the same order several times faster.
// Only the plain case is taken this way: one column of text, in the collation the engine itself would use.
namespace data::order {

enum class Collation { Binary, NoCase };

struct PlainOrder
{
    QByteArray unorderedSql; // the statement without its ORDER BY
    QString column;
    bool descending = false;
};

// The statement split at a final "ORDER BY column [ASC|DESC]" when nothing else in it could depend on the
// order (no other ORDER BY, LIMIT, comment or compound); nothing otherwise.
[[nodiscard]] std::optional<PlainOrder> plainOrder(const QString& sql);

// The collation the engine compares a result column with, when it is a plain text column of a table that
// sorts by BINARY or NOCASE; nothing otherwise.
[[nodiscard]] std::optional<Collation> textCollation(sqlite3* db, sqlite3_stmt* stmt, int column);

// Sorts rows by one stored field as the engine would: NULL and empty first, then by the collation; rows with
// equal values keep the order an index would give them (ascending key, descending key when descending).
void sortRows(std::vector<RowStore::Row>& rows, int field, Collation collation, bool descending);

} // namespace data::order

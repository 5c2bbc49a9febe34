#pragma once

#include "data/RowStore.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <string_view>
#include <vector>

// Rows are sorted by text here, in the order people read (data/TextOrder.h), not by the engine: its ORDER BY
// compares as the file's column declares (byte by byte, or ASCII letters only without case). Reading the table in
// storage order and sorting the snapshot is also several times faster than loading it in index order.
namespace data::order {

struct PlainOrder
{
    QByteArray unorderedSql; // the statement without its ORDER BY
    QString column;
    bool descending = false;
};

// The statement split at a final "ORDER BY column [ASC|DESC]" when nothing else in it could depend on the
// order (no other ORDER BY, LIMIT, comment or compound); nothing otherwise, and the engine orders the rows.
[[nodiscard]] std::optional<PlainOrder> plainOrder(const QString& sql);

// True where the statement has an ORDER BY of its own (outside its quoted texts and names).
[[nodiscard]] bool hasOrderBy(const QString& sql);

// Sorts rows by the text of one stored field (NULL and empty first), case aside; rows with texts that are the same
// to a reader go by the thenBy fields (the names: same surname by first name), then by case, then by their key.
// Descending reverses the whole order.
void sortRows(std::vector<RowStore::Row>& rows, int field, bool descending, const std::vector<int>& thenBy = {});

// The same by a text given for each row, in the rows' order (a calculated field).
void sortRows(std::vector<RowStore::Row>& rows, const std::vector<std::string_view>& texts, bool descending,
              const std::vector<int>& thenBy = {});

} // namespace data::order

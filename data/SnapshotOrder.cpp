#include "data/SnapshotOrder.h"

#include <QRegularExpression>
#include <algorithm>
#include <cstring>
#include <sqlite3.h>
#include <string_view>

namespace data::order {

std::optional<PlainOrder> plainOrder(const QString& sql)
{
    static const QRegularExpression tail(
        QStringLiteral(R"(^(.*\S)\s+order\s+by\s+("[^"]+"|\[[^\]]+\]|[A-Za-z_][A-Za-z0-9_]*)(?:\s+(asc|desc))?\s*;?\s*$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression unsafe(QStringLiteral(R"(\b(order|limit|union|intersect|except|offset)\b|--|/\*)"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = tail.match(sql);
    if (!m.hasMatch())
        return std::nullopt;
    const QString body = m.captured(1);
    if (unsafe.match(body).hasMatch())
        return std::nullopt;
    QString column = m.captured(2);
    if (column.startsWith(QLatin1Char('"')) || column.startsWith(QLatin1Char('[')))
        column = column.mid(1, column.size() - 2);
    return PlainOrder{body.toUtf8(), column, m.captured(3).compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0};
}

std::optional<Collation> textCollation(sqlite3* db, sqlite3_stmt* stmt, int column)
{
#ifdef SQLITE_ENABLE_COLUMN_METADATA
    constexpr bool metadata = true;
#else
    constexpr bool metadata = false;
#endif
    if (!metadata && !sqlite3_compileoption_used("ENABLE_COLUMN_METADATA"))
        return std::nullopt;
    const char* database = sqlite3_column_database_name(stmt, column);
    const char* table = sqlite3_column_table_name(stmt, column);
    const char* origin = sqlite3_column_origin_name(stmt, column);
    if (!database || !table || !origin)
        return std::nullopt; // an expression: its collation is not the column's
    const char* type = nullptr;
    const char* collation = nullptr;
    if (sqlite3_table_column_metadata(db, database, table, origin, &type, &collation, nullptr, nullptr, nullptr) !=
        SQLITE_OK)
        return std::nullopt;
    // Text affinity only: other affinities compare numbers as numbers.
    const QString declared = QString::fromUtf8(type ? type : "").toUpper();
    if (!declared.contains(QLatin1String("TEXT")) && !declared.contains(QLatin1String("CHAR")) &&
        !declared.contains(QLatin1String("CLOB")))
        return std::nullopt;
    if (!collation || sqlite3_stricmp(collation, "BINARY") == 0)
        return Collation::Binary;
    if (sqlite3_stricmp(collation, "NOCASE") == 0)
        return Collation::NoCase;
    return std::nullopt;
}

namespace {

struct Entry
{
    quint64 prefix; // the first eight bytes as compared (folded for NOCASE), big-endian, zero-padded
    std::string_view value;
    qint64 key;
    size_t position; // the storage order, for rows without a key
    RowStore::Row row;
};

inline unsigned char folded(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

// The engine's NOCASE: ASCII letters folded, everything else compared byte by byte, then the shorter first.
int compareNoCase(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = folded(uchar(a[i]));
        const unsigned char y = folded(uchar(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int compareBinary(std::string_view a, std::string_view b)
{
    const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    if (c != 0)
        return c;
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

} // namespace

quint64 prefixOf(std::string_view value, Collation collation)
{
    quint64 prefix = 0;
    for (size_t i = 0; i < 8; ++i) {
        unsigned char c = i < value.size() ? uchar(value[i]) : 0;
        if (collation == Collation::NoCase)
            c = folded(c);
        prefix = (prefix << 8) | c;
    }
    return prefix;
}

void sortRows(std::vector<RowStore::Row>& rows, int field, Collation collation, bool descending)
{
    std::vector<Entry> entries;
    entries.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::string_view value = RowStore::bytes(rows[i], field);
        entries.push_back(Entry{prefixOf(value, collation), value, RowStore::key(rows[i]), i, rows[i]});
    }
    const auto compareAll = collation == Collation::NoCase ? compareNoCase : compareBinary;
    // Most pairs differ within their first eight bytes: one integer comparison decides them.
    auto compare = [&](const Entry& a, const Entry& b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix ? -1 : 1;
        if (a.value.size() <= 8 && b.value.size() <= 8)
            return a.value.size() == b.value.size() ? 0 : (a.value.size() < b.value.size() ? -1 : 1);
        return compareAll(a.value, b.value);
    };
    std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
        const int c = compare(a, b);
        if (c != 0)
            return descending ? c > 0 : c < 0;
        if (a.key != b.key)
            return descending ? a.key > b.key : a.key < b.key;
        return a.position < b.position;
    });
    for (size_t i = 0; i < entries.size(); ++i)
        rows[i] = entries[i].row;
}

} // namespace data::order

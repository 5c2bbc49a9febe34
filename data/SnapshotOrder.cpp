#include "data/SnapshotOrder.h"

#include "data/TextOrder.h"

#include <QCollator>
#include <QRegularExpression>
#include <algorithm>
#include <numeric>
#include <unordered_map>

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

namespace {

struct Entry
{
    quint32 rank; // of the row's text among the distinct texts, in collation order
    quint32 position;
    qint64 key;
    RowStore::Row row;
};

template <class TextOf> void sortByText(std::vector<RowStore::Row>& rows, TextOf textOf, bool descending)
{
    // Names and towns repeat: each distinct text goes through the collation once, and the rows are then sorted
    // by whole numbers.
    std::unordered_map<std::string_view, quint32> ids;
    std::vector<std::string_view> distinct;
    std::vector<Entry> entries;
    entries.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const auto [it, added] = ids.try_emplace(textOf(i), quint32(distinct.size()));
        if (added)
            distinct.push_back(it->first);
        entries.push_back(Entry{it->second, quint32(i), RowStore::key(rows[i]), rows[i]});
    }

    const QCollator& collator = textCollator();
    std::vector<QCollatorSortKey> keys;
    keys.reserve(distinct.size());
    for (const std::string_view text : distinct)
        keys.push_back(collator.sortKey(QString::fromUtf8(text.data(), qsizetype(text.size()))));
    std::vector<quint32> byText(distinct.size());
    std::iota(byText.begin(), byText.end(), 0u);
    std::sort(byText.begin(), byText.end(), [&](quint32 a, quint32 b) { return keys[a].compare(keys[b]) < 0; });
    // Texts the collation finds equal share a rank, so their rows fall back on the key.
    std::vector<quint32> rank(distinct.size());
    quint32 r = 0;
    for (size_t i = 0; i < byText.size(); ++i) {
        if (i > 0 && keys[byText[i - 1]].compare(keys[byText[i]]) != 0)
            ++r;
        rank[byText[i]] = r;
    }
    for (Entry& e : entries)
        e.rank = rank[e.rank];

    std::sort(entries.begin(), entries.end(), [descending](const Entry& a, const Entry& b) {
        if (a.rank != b.rank)
            return descending ? a.rank > b.rank : a.rank < b.rank;
        if (a.key != b.key)
            return descending ? a.key > b.key : a.key < b.key;
        return a.position < b.position;
    });
    for (size_t i = 0; i < entries.size(); ++i)
        rows[i] = entries[i].row;
}

} // namespace

void sortRows(std::vector<RowStore::Row>& rows, int field, bool descending)
{
    sortByText(rows, [&](size_t i) { return RowStore::bytes(rows[i], field); }, descending);
}

void sortRows(std::vector<RowStore::Row>& rows, const std::vector<std::string_view>& texts, bool descending)
{
    sortByText(rows, [&](size_t i) { return texts[i]; }, descending);
}

} // namespace data::order

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

bool hasOrderBy(const QString& sql)
{
    // Texts and names may hold any words: only what stands outside them counts.
    static const QRegularExpression quoted(QStringLiteral(R"('[^']*'|"[^"]*"|\[[^\]]*\]|`[^`]*`)"));
    static const QRegularExpression orderBy(QStringLiteral(R"(\border\s+by\b)"),
                                            QRegularExpression::CaseInsensitiveOption);
    return orderBy.match(QString(sql).replace(quoted, QStringLiteral(" "))).hasMatch();
}

namespace {

// Each row's rank among the distinct texts in the collator's order: texts the collator finds equal share one.
// Names and towns repeat, so each distinct text goes through the collation once.
template <class TextOf> std::vector<quint32> ranks(size_t count, TextOf textOf, const QCollator& collator)
{
    std::unordered_map<std::string_view, quint32> ids;
    std::vector<std::string_view> distinct;
    std::vector<quint32> id(count);
    for (size_t i = 0; i < count; ++i) {
        const auto [it, added] = ids.try_emplace(textOf(i), quint32(distinct.size()));
        if (added)
            distinct.push_back(it->first);
        id[i] = it->second;
    }
    std::vector<QCollatorSortKey> keys;
    keys.reserve(distinct.size());
    for (const std::string_view text : distinct)
        keys.push_back(collator.sortKey(QString::fromUtf8(text.data(), qsizetype(text.size()))));
    std::vector<quint32> byText(distinct.size());
    std::iota(byText.begin(), byText.end(), 0u);
    std::sort(byText.begin(), byText.end(), [&](quint32 a, quint32 b) { return keys[a].compare(keys[b]) < 0; });
    std::vector<quint32> rank(distinct.size());
    quint32 r = 0;
    for (size_t i = 0; i < byText.size(); ++i) {
        if (i > 0 && keys[byText[i - 1]].compare(keys[byText[i]]) != 0)
            ++r;
        rank[byText[i]] = r;
    }
    for (quint32& v : id)
        v = rank[v];
    return id;
}

template <class TextOf>
void sortByText(std::vector<RowStore::Row>& rows, TextOf textOf, bool descending, const std::vector<int>& thenBy,
                int field)
{
    const size_t count = rows.size();
    // The levels compared in turn: the text case aside, each name case aside, the text with its case.
    std::vector<std::vector<quint32>> levels;
    levels.push_back(ranks(count, textOf, textCollatorIgnoringCase()));
    for (const int name : thenBy)
        if (name != field)
            levels.push_back(ranks(
                count, [&](size_t i) { return RowStore::bytes(rows[i], name); }, textCollatorIgnoringCase()));
    levels.push_back(ranks(count, textOf, textCollator()));

    std::vector<quint32> order(count);
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](quint32 a, quint32 b) {
        for (const std::vector<quint32>& level : levels)
            if (level[a] != level[b])
                return descending ? level[a] > level[b] : level[a] < level[b];
        const qint64 ka = RowStore::key(rows[a]), kb = RowStore::key(rows[b]);
        if (ka != kb)
            return descending ? ka > kb : ka < kb;
        return a < b;
    });
    std::vector<RowStore::Row> sorted(count);
    for (size_t i = 0; i < count; ++i)
        sorted[i] = rows[order[i]];
    rows.swap(sorted);
}

} // namespace

void sortRows(std::vector<RowStore::Row>& rows, int field, bool descending, const std::vector<int>& thenBy)
{
    sortByText(
        rows, [&](size_t i) { return RowStore::bytes(rows[i], field); }, descending, thenBy, field);
}

void sortRows(std::vector<RowStore::Row>& rows, const std::vector<std::string_view>& texts, bool descending,
              const std::vector<int>& thenBy)
{
    sortByText(
        rows, [&](size_t i) { return texts[i]; }, descending, thenBy, -1);
}

} // namespace data::order

#pragma once

// Small helpers shared by the report tests: sources from a few values, and reading the display list.

#include "reports/Pages.h"
#include "reports/RecordSource.h"

#include <QStringList>
#include <vector>

namespace reporttest {

// A contact source whose rows give only the named fields, in order; other fields are empty.
inline reports::MemoryRecordSource contacts(const QStringList& fields, const std::vector<QStringList>& values)
{
    const QStringList all = reports::MemoryRecordSource::contactFields();
    reports::MemoryRecordSource source(all);
    for (const QStringList& v : values) {
        QStringList row(all.size());
        for (int i = 0; i < fields.size() && i < v.size(); ++i)
            row[all.indexOf(fields[i])] = v[i];
        row[all.indexOf(QStringLiteral("Cap"))] = row[0].left(1);
        source.addRow(row);
    }
    return source;
}

// n contacts with the surnames "Name1".."Namen".
inline reports::MemoryRecordSource numbered(int n)
{
    std::vector<QStringList> rows;
    for (int i = 1; i <= n; ++i)
        rows.push_back({QStringLiteral("Name%1").arg(i)});
    return contacts({QStringLiteral("Surname")}, rows);
}

inline std::vector<reports::TextItem> texts(const reports::Page& page)
{
    std::vector<reports::TextItem> result;
    for (const auto& item : page.items)
        if (const auto* t = std::get_if<reports::TextItem>(&item))
            result.push_back(*t);
    return result;
}

inline std::vector<reports::LineItem> lines(const reports::Page& page)
{
    std::vector<reports::LineItem> result;
    for (const auto& item : page.items)
        if (const auto* l = std::get_if<reports::LineItem>(&item))
            result.push_back(*l);
    return result;
}

inline QStringList textsOf(const reports::Page& page)
{
    QStringList result;
    for (const auto& t : texts(page))
        result.push_back(t.text);
    return result;
}

// The first text item with exactly this text; a null box where there is none.
inline reports::TextItem find(const reports::Page& page, const QString& text)
{
    for (const auto& t : texts(page))
        if (t.text == text)
            return t;
    return {};
}

inline bool near(double a, double b, double tolerance = 1e-6)
{
    return std::abs(a - b) <= tolerance;
}

} // namespace reporttest

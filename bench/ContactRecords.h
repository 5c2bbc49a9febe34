#pragma once

// Generated contacts as rows for the report engine, as the contact query gives them: every field including
// Cap, sorted by surname.

#include "ContactGenerator.h"

#include "reports/RecordSource.h"

#include <algorithm>

namespace bench {

inline reports::MemoryRecordSource contactRecords(int count, unsigned seed = 42)
{
    const QStringList fields = reports::MemoryRecordSource::contactFields();
    const int cap = int(fields.indexOf(QStringLiteral("Cap")));
    std::mt19937 rng(seed);
    std::vector<QStringList> rows;
    rows.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        QStringList row = generateContact(rng, i); // the stored fields: Cap is not among them
        row.insert(cap, row[0].left(1));
        rows.push_back(std::move(row));
    }
    std::stable_sort(rows.begin(), rows.end(), [](const QStringList& a, const QStringList& b) {
        return a[0].compare(b[0], Qt::CaseInsensitive) < 0;
    });
    return reports::MemoryRecordSource(fields, std::move(rows));
}

} // namespace bench

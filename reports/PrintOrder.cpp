#include "reports/PrintOrder.h"

#include "data/TextOrder.h"
#include "reports/RecordSource.h"

#include <QCollator>
#include <algorithm>
#include <numeric>

namespace reports {

const QCollator& nameCollator()
{
    // The contact list's own order (start-up and column sort): the user's collation.
    return data::textCollator();
}

std::vector<int> printOrder(const RecordSource& source, const QString& fieldName)
{
    if (fieldName.isEmpty())
        return {};
    const int field = source.fieldIndex(fieldName);
    const int rows = source.rowCount();
    if (field < 0 || rows < 2)
        return {};
    const QCollator& collator = nameCollator();
    // Mostly the selection is sorted by the field already (as at start-up): one pass tells.
    QString previous = source.text(0, field);
    bool sorted = true;
    for (int row = 1; row < rows && sorted; ++row) {
        QString current = source.text(row, field);
        sorted = collator.compare(previous, current) <= 0;
        previous = std::move(current);
    }
    if (sorted)
        return {};
    // Compared as the check above compares (sort keys may order case apart where compare() does not).
    std::vector<QString> names;
    names.reserve(static_cast<size_t>(rows));
    for (int row = 0; row < rows; ++row)
        names.push_back(source.text(row, field));
    std::vector<int> order(static_cast<size_t>(rows));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return collator.compare(names[static_cast<size_t>(a)], names[static_cast<size_t>(b)]) < 0;
    });
    return order;
}

} // namespace reports

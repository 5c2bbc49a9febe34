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
    // As the contact list orders: the field case aside, then the names (the same surname by first name), then
    // the field with its case.
    std::vector<int> levels{field};
    for (const char* name : {"Surname", "Firstname", "Midname"}) {
        const int f = source.fieldIndex(QLatin1String(name));
        if (f >= 0 && f != field)
            levels.push_back(f);
    }
    std::vector<std::vector<QString>> texts(levels.size());
    for (size_t l = 0; l < levels.size(); ++l) {
        texts[l].reserve(static_cast<size_t>(rows));
        for (int row = 0; row < rows; ++row)
            texts[l].push_back(source.text(row, levels[l]));
    }
    const QCollator& ignoringCase = data::textCollatorIgnoringCase();
    const QCollator& withCase = nameCollator();
    const auto compare = [&](int a, int b) {
        for (const std::vector<QString>& t : texts)
            if (const int c = ignoringCase.compare(t[static_cast<size_t>(a)], t[static_cast<size_t>(b)]))
                return c;
        return withCase.compare(texts[0][static_cast<size_t>(a)], texts[0][static_cast<size_t>(b)]);
    };
    // Mostly the selection is in that order already (as at start-up): one pass tells.
    bool sorted = true;
    for (int row = 1; row < rows && sorted; ++row)
        sorted = compare(row - 1, row) <= 0;
    if (sorted)
        return {};
    std::vector<int> order(static_cast<size_t>(rows));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(a, b) < 0; });
    return order;
}

} // namespace reports

#pragma once

#include <QString>
#include <vector>

class QCollator;

namespace reports {

class RecordSource;

// The program's order for names, as the contact list sorts a column: the one place the reports take it from.
[[nodiscard]] const QCollator& nameCollator();

// The rows of the source in the order of one field's text as the contact list sorts it (ties by the names, the
// same surname by first name), further ties in the source's order; empty where the source is in that order
// already, has no such field, or no field is named (print in the source's order).
[[nodiscard]] std::vector<int> printOrder(const RecordSource& source, const QString& field);

} // namespace reports

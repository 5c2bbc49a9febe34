#pragma once

#include "exchange/ContactWriter.h"

#include <QString>

namespace data {
class Dataset;
}

namespace exchange {

// The save dialog's choices, in the order offered.
[[nodiscard]] const QStringList& exportFilters();

// The format for a chosen file and filter: a .csv, .vcf or .vcard name decides CSV or vCard itself (the filter
// then only tells the vCard version); any other name takes the filter's format. The path gets the format's
// suffix when it has none.
[[nodiscard]] exchange::ExportFormat exportFormatFor(QString& path, const QString& filter);

// Writes the rows of the open query, first to last in their current order (a column sort included),
// exactly as the grid shows them. Returns the number written.
qint64 exportQuery(const data::Dataset& query, const QString& path, exchange::ExportFormat format);

} // namespace exchange

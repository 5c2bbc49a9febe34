#pragma once

#include "reports/ReportDefinition.h"

#include <QString>

namespace reports {

class RecordSource;

// Renders a report from the source and writes its pages to a PDF file (the batch "--report NAME --pdf FILE").
// Returns the number of pages written. Throws platform::AppError where the report has no page (an empty
// selection without print-if-empty) or the file cannot be written; the file is then left as it was.
int renderToPdf(const ReportDefinition& definition, RecordSource& source, const QString& path);

} // namespace reports

#pragma once

#include "reports/ReportDefinition.h"

#include <QString>

namespace reports {

class RecordSource;

struct BatchOutcome
{
    int pages = 0;
    int shortened = 0; // values printed smaller or cut to fit their place
};

// Renders a report from the source and writes its pages to a PDF file (the batch "--report NAME --pdf FILE"),
// each page as soon as it is laid out, so that memory does not grow with the report. Throws
// platform::AppError where the selection is empty (whatever the report would print for it) or the file
// cannot be written; the file is then left as it was.
BatchOutcome renderToPdf(const ReportDefinition& definition, RecordSource& source, const QString& path);

// The same, keeping every page until the end and writing them then: the way a preview holds its pages. For
// comparison in the benchmarks.
BatchOutcome renderAllThenPdf(const ReportDefinition& definition, RecordSource& source, const QString& path);

} // namespace reports

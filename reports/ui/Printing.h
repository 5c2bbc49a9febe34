#pragma once

#include "reports/Renderer.h"

#include <QString>

class QPrinter;

// Printing a report: its print settings on a printer and back, and sending rendered pages to a printer.
namespace reports {

// Where a printer's painter origin lies on the paper, mm: the top-left corner of its printable area, or
// (0, 0) for a printer set to full page.
[[nodiscard]] QPointF printerOffset(const QPrinter& printer);


class RecordSource;

// The preview's caption and the print job's name for pages with this title: the title, or "Print Preview".
[[nodiscard]] QString captionFor(const QString& title);
// The job name of a report: its title, or the preview's caption where it has none.
[[nodiscard]] QString printJobName(const ReportDefinition& definition);

// Puts a report's print settings on a printer: its printer (where it is still installed; otherwise the
// printer's own default stays), copies, paper, orientation and paper source, and names the job after the
// report. The page range is left off: printing picks the pages itself, so the printer must not pick again.
void applyPrintSettings(const ReportDefinition& definition, QPrinter& printer);

// The print dialog's starting point: the settings above and the report's page range.
void applyDialogSettings(const ReportDefinition& definition, QPrinter& printer);

// What the user chose in the print dialog becomes the report's: printer, copies, orientation and page range
// (all pages: 0 and 0; from and to: those two numbers).
void takePrintSettings(const QPrinter& printer, ReportDefinition& definition);

// Sends the pages of a rendering that lie in the range (0 and 0: all) to the printer as one job, each page at
// its place on the paper less the printer's unprintable offset. A range with no page in it starts no job at
// all. Returns the number of pages sent; throws platform::AppError where the printer cannot take the job.
// An adjustment moves every page by its shift and declares a wide page's paper as it is, unturned, where the
// sheets go in long edge first.
int sendPages(const Rendering& rendering, const PageRange& range, QPrinter& printer,
              const PrintAdjustment& adjustment = {});

struct PrintOutcome
{
    int pagesRendered = 0;
    int pagesSent = 0;
    bool cancelled = false; // stopped while rendering: nothing was sent
};

// Prints a report: renders it anew from the first row of the source, then sends the pages in the report's
// page range, with the report's adjustment for that printer. Nothing reaches the printer before the rendering has finished, so a cancel (asked through the
// callbacks, which also see the progress) leaves no job behind.
PrintOutcome printReport(const ReportDefinition& definition, RecordSource& source, QPrinter& printer,
                         const RenderCallbacks& callbacks = {});

} // namespace reports

#pragma once

#include "reports/Pages.h"
#include "reports/ReportDefinition.h"

#include <functional>

// The report engine in one view:
//   ReportDefinition (ReportDefinition.h, layouts such as phoneListReport() in layouts/PhoneList.h)
//     + RecordSource (RecordSource.h: the rows, adapted from the shared contact query)
//     -> render() -> Rendering (Pages.h: pages as a display list in mm)
//     -> paintPage() / writePdf() (PagePainter.h) for preview, printer and PDF
//     -> saveReport() / loadReport() (ReportFile.h) for saved reports.
namespace reports {

class RecordSource;

struct RenderCallbacks
{
    // After every record: records done × 100 ÷ records in the selection, as a whole number. A window may
    // let the event loop run here so that the preview fills and a cancel takes effect.
    std::function<void(int percent)> progress;
    // Each page once it is finished and stored in the rendering (0-based index).
    std::function<void(int pageIndex)> pageFinished;
    // Where set, each finished page is handed here, with the rendering whose fonts and documents it refers
    // to, and then dropped instead of stored: memory stays flat however long the report (batch output).
    // pageFinished still follows with the page's index.
    std::function<void(const Rendering& rendering, const Page& page)> takePage;
    // Asked after every record; true stops the rendering. The pages finished so far stay, the page under
    // way is dropped, and Rendering::finished stays false.
    std::function<bool()> cancelRequested;
};

// Renders a report from the source's rows into `out`, replacing what it held: the pages fill column by
// column and page by page, with title, column header, group header, detail and page footer bands, in steps
// of 0.1 mm. The source is told when rendering starts and ends (see RecordSource). Items are appended to a
// page only until it is finished; `out.pages` may grow (and move) at every pageFinished call.
// Throws platform::AppError for a definition that cannot be rendered. Needs a QGuiApplication.
// Where a callback lets the event loop run, the definition, the source and `out` must stay alive and
// unchanged until render() returns: a window that closes meanwhile asks to cancel and drops the rendering
// afterwards.
void render(const ReportDefinition& definition, RecordSource& source, Rendering& out,
            const RenderCallbacks& callbacks = {});

[[nodiscard]] Rendering render(const ReportDefinition& definition, RecordSource& source);

} // namespace reports

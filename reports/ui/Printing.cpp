#include "reports/ui/Printing.h"

#include "platform/AppError.h"
#include "reports/PagePainter.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace reports {

QPointF printerOffset(const QPrinter& printer)
{
    if (printer.fullPage())
        return {};
    // Where the device really puts its origin: Qt's PDF and CUPS engines round the printable area to whole
    // points, up to half a point away from the margins as set.
    const QPointF pixels =
        printer.pageRect(QPrinter::DevicePixel).topLeft() - printer.paperRect(QPrinter::DevicePixel).topLeft();
    return printer.resolution() > 0 ? pixels * kMmPerInch / printer.resolution() : QPointF();
}


namespace {

QPageLayout::Orientation pageOrientation(Orientation orientation)
{
    return orientation == Orientation::Landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
}

// A page's paper on the printer: the portrait paper, turned for a landscape page.
void setPaper(QPrinter& printer, const QSizeF& pageSizeMm, bool longEdgeFirst)
{
    const bool landscape = pageSizeMm.width() > pageSizeMm.height() && !longEdgeFirst;
    const QPageSize paper(landscape ? pageSizeMm.transposed() : pageSizeMm, QPageSize::Millimeter);
    if (!printer.pageLayout().pageSize().isEquivalentTo(paper))
        printer.setPageSize(paper);
    const QPageLayout::Orientation orientation = landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
    if (printer.pageLayout().orientation() != orientation)
        printer.setPageOrientation(orientation);
}

QString printerLabel(const QPrinter& printer)
{
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        return printer.outputFileName();
    return printer.printerName().isEmpty() ? QStringLiteral("the printer") : printer.printerName();
}

} // namespace

QString captionFor(const QString& title)
{
    return title.isEmpty() ? QStringLiteral("Print Preview") : title;
}

QString printJobName(const ReportDefinition& definition)
{
    return captionFor(definition.title);
}

void applyPrintSettings(const ReportDefinition& definition, QPrinter& printer)
{
    if (!definition.printer.isEmpty() && definition.printer != printer.printerName() &&
        QPrinterInfo::availablePrinterNames().contains(definition.printer))
        printer.setPrinterName(definition.printer);
    printer.setCopyCount(std::max(1, definition.copies));
    printer.setFullPage(false);
    printer.setPageSize(QPageSize(definition.paper.size, QPageSize::Millimeter));
    printer.setPageOrientation(pageOrientation(definition.orientation));
    printer.setPaperSource(definition.paperSource == PaperSource::FirstTray ? QPrinter::Upper : QPrinter::Auto);
    printer.setDocName(printJobName(definition));
    printer.setPrintRange(QPrinter::AllPages);
}

void applyDialogSettings(const ReportDefinition& definition, QPrinter& printer)
{
    applyPrintSettings(definition, printer);
    if (!definition.pageRange.all()) {
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(std::max(1, definition.pageRange.from),
                          std::max(std::max(1, definition.pageRange.from), definition.pageRange.to));
    }
}

void takePrintSettings(const QPrinter& printer, ReportDefinition& definition)
{
    if (printer.outputFormat() == QPrinter::NativeFormat)
        definition.printer = printer.printerName();
    definition.copies = std::max(1, printer.copyCount());
    definition.orientation =
        printer.pageLayout().orientation() == QPageLayout::Landscape ? Orientation::Landscape : Orientation::Portrait;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0)
        definition.pageRange = {printer.fromPage(), std::max(printer.fromPage(), printer.toPage())};
    else
        definition.pageRange = {};
}

int sendPages(const Rendering& rendering, const PageRange& range, QPrinter& printer,
              const PrintAdjustment& adjustment)
{
    const std::vector<int> pages = pagesToPrint(range, rendering.pageCount());
    if (pages.empty())
        return 0;
    QPainter painter;
    for (size_t n = 0; n < pages.size(); ++n) {
        const int index = pages[n];
        setPaper(printer, rendering.pages[static_cast<size_t>(index)].size, adjustment.longEdgeFirst);
        if (n == 0) {
            if (!painter.begin(&printer))
                throw platform::AppError(QStringLiteral("Cannot print on %1").arg(printerLabel(printer)));
        } else if (!printer.newPage()) {
            throw platform::AppError(QStringLiteral("Cannot print on %1").arg(printerLabel(printer)));
        }
        // The painter's origin is the corner of the printable area: positions measured from the paper's corner
        // move back by that much.
        // A printer that puts things too far right or down gets them that much further left or up.
        paintPage(painter, rendering, index,
                  PaintOptions{devicePixelsPerMm(printer), printerOffset(printer) + adjustment.shift, false});
    }
    if (!painter.end())
        throw platform::AppError(QStringLiteral("Cannot print on %1").arg(printerLabel(printer)));
    return static_cast<int>(pages.size());
}

PrintOutcome printReport(const ReportDefinition& definition, RecordSource& source, QPrinter& printer,
                         const RenderCallbacks& callbacks)
{
    PrintOutcome outcome;
    Rendering rendering;
    render(definition, source, rendering, callbacks);
    outcome.pagesRendered = rendering.pageCount();
    if (!rendering.finished) {
        outcome.cancelled = true;
        return outcome;
    }
    const PrintAdjustment adjustment =
        definition.printAdjustment ? definition.printAdjustment(printer.printerName()) : PrintAdjustment{};
    outcome.pagesSent = sendPages(rendering, definition.pageRange, printer, adjustment);
    return outcome;
}

} // namespace reports

#include "reports/Batch.h"

#include "platform/AppError.h"
#include "reports/PagePainter.h"
#include "reports/RecordSource.h"
#include "reports/Renderer.h"

namespace reports {

namespace {

// Every report says the same for an empty selection, whether or not it would print an empty page.
void requireRows(const RecordSource& source)
{
    if (source.rowCount() <= 0)
        throw platform::AppError(QStringLiteral("The report has no pages: the selection is empty"));
}

} // namespace

BatchOutcome renderToPdf(const ReportDefinition& definition, RecordSource& source, const QString& path)
{
    requireRows(source);
    PdfFile file(path);
    RenderCallbacks callbacks;
    callbacks.takePage = [&file](const Rendering& rendering, const Page& page) { file.addPage(rendering, page); };
    Rendering rendering;
    render(definition, source, rendering, callbacks);
    if (file.pageCount() == 0)
        throw platform::AppError(QStringLiteral("The report has no pages: the selection is empty"));
    file.finish();
    return {file.pageCount(), rendering.shortened};
}

BatchOutcome renderAllThenPdf(const ReportDefinition& definition, RecordSource& source, const QString& path)
{
    requireRows(source);
    const Rendering rendering = render(definition, source);
    writePdf(rendering, path);
    return {rendering.pageCount(), rendering.shortened};
}

} // namespace reports

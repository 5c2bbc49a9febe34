#include "reports/Batch.h"

#include "platform/AppError.h"
#include "reports/PagePainter.h"
#include "reports/Renderer.h"

#include <cstdio>

namespace reports {

int renderToPdf(const ReportDefinition& definition, RecordSource& source, const QString& path)
{
    const Rendering rendering = render(definition, source);
    if (rendering.pageCount() == 0)
        throw platform::AppError(QStringLiteral("The report has no pages: the selection is empty"));
    writePdf(rendering, path);
    if (!rendering.unknownMergeFields.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(unknownMergeFieldsText(rendering)));
    return rendering.pageCount();
}

} // namespace reports

#include "reports/RichTextLayout.h"

#include "reports/TextMetrics.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

namespace reports {

std::unique_ptr<QTextDocument> layoutRichText(const QString& html, double widthMm)
{
    installFontSubstitutions();
    auto document = std::make_unique<QTextDocument>();
    document->documentLayout()->setPaintDevice(referenceDevice());
    document->setDocumentMargin(0);
    document->setHtml(html);
    document->setTextWidth(mmToReferenceUnits(widthMm));
    return document;
}

double fittingHeight(QTextDocument& document, double heightMm)
{
    const double limit = mmToReferenceUnits(heightMm);
    QAbstractTextDocumentLayout* layout = document.documentLayout();
    double cut = limit;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QRectF blockRect = layout->blockBoundingRect(block);
        if (blockRect.top() >= cut)
            continue;
        const QTextLayout* lines = block.layout();
        for (int i = 0; lines && i < lines->lineCount(); ++i) {
            const QRectF line = lines->lineAt(i).rect().translated(blockRect.topLeft());
            if (line.bottom() > limit + 1e-6)
                cut = std::min(cut, line.top());
        }
    }
    return referenceUnitsToMm(std::max(0.0, cut));
}

} // namespace reports

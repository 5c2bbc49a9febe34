#include "reports/RichTextLayout.h"

#include "reports/TextMetrics.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

namespace reports {

namespace {

// Lengths in a document are pixels of the screen it was written on (96 per inch). Qt's layout scales most of
// them to the paint device (vertical spacing, list indents, tab stops, tables) but not a paragraph's left and
// right margins or its first-line indent; on the reference device those are scaled here, so that an indent
// of one inch stays one inch on paper.
constexpr double kScreenDpi = 96.0;

void scaleHorizontalIndents(QTextDocument& document, double factor)
{
    QTextCursor cursor(&document);
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextBlockFormat format = block.blockFormat();
        if (format.leftMargin() == 0 && format.rightMargin() == 0 && format.textIndent() == 0)
            continue;
        format.setLeftMargin(format.leftMargin() * factor);
        format.setRightMargin(format.rightMargin() * factor);
        format.setTextIndent(format.textIndent() * factor);
        cursor.setPosition(block.position());
        cursor.setBlockFormat(format);
    }
}

} // namespace

std::unique_ptr<QTextDocument> layoutRichText(const QString& html, double widthMm)
{
    installFontSubstitutions();
    auto document = std::make_unique<QTextDocument>();
    document->documentLayout()->setPaintDevice(referenceDevice());
    document->setDocumentMargin(0);
    document->setHtml(html);
    scaleHorizontalIndents(*document, kReferenceDpi / kScreenDpi);
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

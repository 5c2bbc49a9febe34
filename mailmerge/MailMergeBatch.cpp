#include "mailmerge/MailMergeBatch.h"

#include "mailmerge/MailMergeEdit.h"
#include "mailmerge/MailMergeQR.h"
#include "reports/Batch.h"
#include "richtext/RichText.h"

#include <QTextDocument>

namespace mailmerge {

void loadLetter(const QString& path, QTextDocument& document)
{
    richtext::loadFile(path, document, TfmMailMergeEdit::initialBaseFont());
}

int writeLetters(const QString& letterPath, const std::optional<QFont>& baseFont, reports::RecordSource& source,
                 const QString& pdfPath)
{
    QTextDocument letter;
    loadLetter(letterPath, letter);
    TfmMailQR report([&letter] { return &letter; });
    if (baseFont)
        report.setBaseFont(*baseFont, Qt::black);
    return reports::renderToPdf(report.QuickRep1, source, pdfPath);
}

} // namespace mailmerge

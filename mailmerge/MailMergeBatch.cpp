#include "mailmerge/MailMergeBatch.h"

#include "mailmerge/MailMergeEdit.h"
#include "reports/layouts/MergedLetters.h"
#include "platform/AppError.h"
#include "richtext/RichText.h"

#include <QTextDocument>
#include <memory>
#include <optional>

namespace mailmerge {

namespace {

// Removes "name VALUE" from the options and returns VALUE; none where the option is not given.
std::optional<QString> takeOption(QStringList& options, const QString& name, const char* what)
{
    const qsizetype at = options.indexOf(name);
    if (at < 0)
        return std::nullopt;
    if (at + 1 >= options.size())
        throw platform::UsageError(QStringLiteral("%1 needs %2").arg(name, QString::fromLatin1(what)));
    const QString value = options.at(at + 1);
    options.remove(at, 2);
    if (options.contains(name))
        throw platform::UsageError(QStringLiteral("%1 is given twice").arg(name));
    return value;
}

} // namespace

void loadLetter(const QString& path, QTextDocument& document)
{
    richtext::loadFile(path, document, TfmMailMergeEdit::initialBaseFont());
}

reports::ReportDefinition letterBatchReport(QStringList& options)
{
    const std::optional<QString> letterPath = takeOption(options, QStringLiteral("--letter"), "a file name");
    const std::optional<QString> fontText = takeOption(options, QStringLiteral("--font"), "FAMILY,SIZE");
    if (!letterPath)
        throw platform::AppError(QStringLiteral("--letter FILE is missing"));
    const std::optional<QFont> font = fontText ? std::optional(parseFontOption(*fontText)) : std::nullopt;

    // The definition keeps the document alive for as long as it is rendered.
    auto letter = std::make_shared<QTextDocument>();
    loadLetter(*letterPath, *letter);
    TfmMailQR report([letter]() -> const QTextDocument* { return letter.get(); });
    if (font)
        report.setBaseFont(*font, Qt::black);
    return report.QuickRep1;
}

} // namespace mailmerge

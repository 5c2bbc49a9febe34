#pragma once

// Helpers for the preview, printing and batch tests: a source that lets a test act while a report renders, and
// reading PDF files back with poppler's tools.

#include "ReportTestUtil.h"

#include "reports/layouts/PhoneList.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <functional>

namespace previewtest {

// Rows in memory that call onRow the first time the renderer reads each row, so that a test can look at the
// window, press its buttons or close it in the middle of a rendering, as a user would between two records.
class WatchedSource : public reports::MemoryRecordSource
{
public:
    explicit WatchedSource(reports::MemoryRecordSource rows) : reports::MemoryRecordSource(std::move(rows)) {}

    std::function<void(int row)> onRow;
    mutable int highestRowRead = -1;

    [[nodiscard]] QString text(int row, int field) const override
    {
        if (row > highestRowRead) {
            highestRowRead = row;
            if (onRow)
                onRow(row);
        }
        return reports::MemoryRecordSource::text(row, field);
    }
    using RecordSource::text;

    void renderStarted() override
    {
        highestRowRead = -1;
        reports::MemoryRecordSource::renderStarted();
    }
};

// The phone list printing the rows in the source's order: its numbered names ("Name10" before "Name2") are not in
// surname order, and a test that watches which row is read needs them read in turn.
[[nodiscard]] inline reports::ReportDefinition phoneList()
{
    reports::ReportDefinition d = reports::phoneListReport();
    d.printOrderField.clear();
    return d;
}

[[nodiscard]] inline bool hasPoppler()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
}

[[nodiscard]] inline QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

// pdfinfo's value for a key ("Pages", "Title", "Page size"); empty where it has none.
[[nodiscard]] inline QString pdfInfo(const QString& path, const QString& key)
{
    const QRegularExpression line(QLatin1Char('^') + QRegularExpression::escape(key) + QStringLiteral(":\\s*(.*)$"),
                                  QRegularExpression::MultilineOption);
    return line.match(run(QStringLiteral("pdfinfo"), {path})).captured(1).trimmed();
}

[[nodiscard]] inline int pdfPages(const QString& path)
{
    const QString pages = pdfInfo(path, QStringLiteral("Pages"));
    return pages.isEmpty() ? -1 : pages.toInt();
}

[[nodiscard]] inline QString pdfText(const QString& path)
{
    return run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
}

// The "Page N" footers of a phone list PDF, in order.
[[nodiscard]] inline QStringList pageFooters(const QString& path)
{
    QStringList footers;
    const QRegularExpression footer(QStringLiteral("Page (\\d+)"));
    for (auto it = footer.globalMatch(pdfText(path)); it.hasNext();)
        footers << it.next().captured(0);
    return footers;
}

} // namespace previewtest

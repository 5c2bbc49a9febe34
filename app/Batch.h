#pragma once

#include "reports/Batch.h"
#include "reports/ReportDefinition.h"

#include <QString>
#include <QStringList>
#include <functional>

// Reports from the command line, without any window:
//   tovrel --report NAME --pdf FILE [--search FIELD WORD] [--not] [--folder DIR]
//   (labels: --stock NAME [--start N]; envelopes: --envelope NAME)
namespace app {

// Makes a report known to the command line under a name. A factory that takes options receives the arguments
// the batch command does not know itself; it removes those it uses and throws platform::AppError for a
// malformed one. Whatever it leaves is an unknown option.
using BatchReportFactory = std::function<reports::ReportDefinition()>;
using BatchReportFactoryWithOptions = std::function<reports::ReportDefinition(QStringList& options)>;
void registerBatchReport(const QString& name, BatchReportFactory factory);
void registerBatchReport(const QString& name, BatchReportFactoryWithOptions factory);

// The reports of the program, registered once (every report that runs from the command line is listed here).
void registerBuiltInBatchReports();
[[nodiscard]] QStringList batchReportNames();

struct BatchOptions
{
    QString report;
    QString pdf;
    bool search = false;
    QString searchField;
    QString searchWord;
    bool notSearch = false;
    QString find; // --find: the words every contact holds
    QStringList reportOptions; // arguments left for the report's own factory
};

// Whether the arguments (those the general command line left) ask for a batch report.
[[nodiscard]] bool isBatchCommand(const QStringList& arguments);
// Throws platform::AppError for a malformed command.
[[nodiscard]] BatchOptions parseBatchOptions(const QStringList& arguments);

// Opens the contacts of the program folder as at start-up (all contacts by surname), narrows them as the search
// dialog would where asked, renders the report and writes its PDF. Returns the pages written and the values
// shortened to fit. Needs a
// QGuiApplication; throws platform::AppError for an unknown report or field, an unreadable database, a selection
// without pages or a file that cannot be written.
reports::BatchOutcome runBatchReport(const BatchOptions& options);

// The whole batch command: Qt without windows (offscreen unless a platform is set), then runBatchReport().
// Errors go to standard error; returns the exit status (0 done, 1 failed, 2 malformed command).
int runBatch(int argc, char* argv[], const QStringList& arguments);

} // namespace app

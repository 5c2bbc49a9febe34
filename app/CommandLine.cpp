#include "app/CommandLine.h"

#include "app/Application.h"
#include "app/Batch.h"
#include "app/ExchangeCli.h"
#include "app/HomeGrid.h"
#include "app/SyncCli.h"
#include "app/SyncCommands.h"
#include "platform/AppError.h"
#include "platform/Fonts.h"
#include "platform/ProgramFolder.h"

#include <QApplication>
#include <QDir>
#include <cstdio>

namespace app {

namespace {
const char* const Usage =
    "Usage: tovrel [--folder DIR]\n"
    "       tovrel --init-database [--folder DIR]\n"
    "       tovrel --report NAME --pdf FILE [--search FIELD WORD [--not]] [--folder DIR]\n"
    "  --folder DIR         use DIR as the program folder (database, settings, county list, manual)\n"
    "  --init-database      make an empty Tovrel.mdb in the program folder if there is none, then stop\n"
    "  --report NAME        render the report NAME over all contacts by surname, without any window\n"
    "                       (reports: %1)\n"
    "  --pdf FILE           the PDF file the report is written to\n"
    "  --search FIELD WORD  first keep only the contacts whose FIELD holds WORD, as the search dialog does\n"
    "  --not                with --search: keep those whose FIELD does not hold WORD\n";

QByteArray usage()
{
    return QString::fromLatin1(Usage).arg(batchReportNames().join(QStringLiteral(", "))).toLocal8Bit();
}

void printError(const QString& text) { std::fprintf(stderr, "tovrel: %s\n", qPrintable(text)); }

void printUsage(FILE* to)
{
    std::fputs(usage().constData(), to);
    std::fputs(ExchangeUsage, to);
    std::fputs(SyncUsage, to);
}
} // namespace

Options parseOptions(const QStringList& arguments)
{
    Options options;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--folder")) {
            if (i + 1 >= arguments.size())
                throw platform::AppError(QStringLiteral("--folder needs a folder"));
            options.folder = arguments[++i];
        } else if (a == QLatin1String("--init-database")) {
            options.initDatabase = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            options.help = true;
        } else if (a == QLatin1String("--report") || a == QLatin1String("--pdf") || a == QLatin1String("--search")) {
            // A batch option and its values, whatever they look like (a search word may begin with "-").
            options.rest << a;
            const int values = a == QLatin1String("--search") ? 2 : 1;
            for (int v = 0; v < values && i + 1 < arguments.size(); ++v)
                options.rest << arguments[++i];
        } else {
            options.rest << a;
        }
    }
    return options;
}

int runProgram(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    Options options;
    try {
        options = parseOptions(arguments);
    } catch (const platform::AppError& e) {
        printError(e.message());
        printUsage(stderr);
        return 2;
    }
    if (options.help) {
        printUsage(stdout);
        return 0;
    }
    if (!options.folder.isEmpty()) {
        if (!QDir(options.folder).exists()) {
            printError(QStringLiteral("the folder %1 does not exist").arg(options.folder));
            return 2;
        }
        platform::setProgramFolder(options.folder);
    }
    if (options.initDatabase) {
        QCoreApplication core(argc, argv);
        try {
            createDatabaseIfMissing(platform::programFile(databaseFileName()));
        } catch (const platform::AppError& e) {
            printError(e.message());
            return 1;
        }
        return 0;
    }
    if (isBatchCommand(options.rest))
        return runBatch(argc, argv, options.rest);
    if (const std::optional<int> status = runExchangeCommand(options.rest, argc, argv))
        return *status;
    if (const std::optional<int> status = runSyncCommand(options.rest, argc, argv))
        return *status;
    const QString fileToOpen = takeFileToOpen(options.rest);
    if (!options.rest.isEmpty()) {
        printError(QStringLiteral("unknown option %1").arg(options.rest.first()));
        printUsage(stderr);
        return 2;
    }

    QApplication qtApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tovrel"));
    // No display name: X11 would append it to every window caption ("Tovrel Mail Merge — Tovrel").
    QApplication::setQuitOnLastWindowClosed(false);
    platform::installFontSubstitutions();
    Application application;
    application.startUp();
    if (!application.fmHomeAddMain)
        return 1;
    if (!fileToOpen.isEmpty())
        importAfterStartUp(fileToOpen);
    syncAtStartIfAsked(application.fmHomeAddMain, application.store);
    const int status = QApplication::exec();
    syncAtExitIfAsked(application.store);
    return status;
}

} // namespace app

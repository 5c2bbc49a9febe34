#include "app/CommandLine.h"
#include "platform/ui/RealServices.h"

#include "app/Application.h"
#include "app/Batch.h"
#include "app/FirstStart.h"
#include "app/StopSignals.h"
#include "data/ContactStore.h"
#include "data/DatabaseCheck.h"
#include "exchange/ExchangeCli.h"
#include "search/Duplicates.h"
#include "exchange/ui/ImportDialog.h"
#include "mainwindow/MainWindow.h"
#include "sync/SyncCli.h"
#include "sync/ui/SyncCommands.h"
#include "platform/ui/Accessibility.h"
#include "platform/AppError.h"
#include "platform/Console.h"
#include "platform/Fonts.h"
#include "platform/ProgramFolder.h"
#include "reports/stocks/LabelStock.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <memory>
#include <cstdio>
#include <sqlite3.h>

namespace app {

using platform::printError;

namespace {
// Every option once, in the order the README gives them.
const char* const Usage =
    "Usage: tovrel [--folder DIR] [FILE]\n"
    "  or:  tovrel --init-database [--folder DIR]\n"
    "  or:  tovrel --report NAME --pdf FILE [--search FIELD WORD [--not]] [--find WORDS] [--folder DIR]\n"
    "  or:  tovrel --report letters --letter FILE [--font \"FAMILY,SIZE[,bold][,italic]\"] --pdf FILE "
    "[--search FIELD WORD [--not]] [--find WORDS] [--folder DIR]\n"
    "  or:  tovrel --report labels --stock NAME [--start N] --pdf FILE [--search FIELD WORD [--not]] [--find WORDS] "
    "[--folder DIR]\n"
    "  or:  tovrel --report envelopes --envelope NAME --pdf FILE [--search FIELD WORD [--not]] [--find WORDS] "
    "[--folder DIR]\n"
    "  or:  tovrel --export FILE.vcf|FILE.csv|FILE.ics [--search FIELD WORD [--not]] [--find WORDS] [--folder DIR]\n"
    "  or:  tovrel --import FILE [--table NAME] [--skip-long] [--map \"COLUMN=FIELD,...\"] [--folder DIR]\n"
    "  or:  tovrel --duplicates [--folder DIR]\n"
    "  or:  tovrel --sync [URL --user NAME] [--password-file FILE] [--allow-http] [--folder DIR]\n"
    "  or:  tovrel --version | --help\n"
    "\n"
    "  --folder DIR         the folder of the contacts, settings and county list (default: the user's data\n"
    "                       folder %2, or the program's own folder when it holds Tovrel.mdb)\n"
    "  --init-database      make an empty Tovrel.mdb in that folder if there is none, then stop\n"
    "  --report NAME        render the report NAME over all contacts by surname and write it as a PDF,\n"
    "                       without any window (reports: %1)\n"
    "  --pdf FILE           the PDF file --report writes\n"
    "  --letter FILE        with --report letters: the letter body, an RTF or plain text file\n"
    "  --font \"FAMILY,SIZE[,bold][,italic]\"\n"
    "                       with --report letters: the base font of the address and salutation (Arial,10)\n"
    "  --stock NAME         with --report labels: the label stock (%3, or one of your own)\n"
    "  --start N            with --report labels: the first free label of the first sheet\n"
    "  --envelope NAME      with --report envelopes: the envelope (%4)\n"
    "  --search FIELD WORD  with --report or --export: only the contacts whose FIELD holds WORD\n"
    "  --not                with --search: only those whose FIELD does not hold WORD\n"
    "  --find \"WORDS\"       with --report or --export: only the contacts holding every word in some field\n"
    "  FILE                 start as usual, then open the import preview for FILE\n"
    "  --export FILE        write the contacts to a vCard 3.0 (.vcf) or CSV (.csv) file\n"
    "  --import FILE        add the contacts of a vCard, CSV or Access-format file in one transaction\n"
    "  --table NAME         with --import of an Access-format file: the table to read (default HomeAd)\n"
    "  --skip-long          with --import: leave out the contacts with values longer than their fields allow;\n"
    "                       without it they are added with the values shortened and kept whole in Notes\n"
    "  --map \"A=F,...\"     with --import of a CSV file: column A goes to field F (or Notes, or Skip),\n"
    "                       whatever its name says, e.g. --map \"Vorname=Firstname,Nachname=Surname\"\n"
    "  --duplicates         print the groups of contacts that are probably one person, without any window\n"
    "  --sync [URL]         synchronise once with the shared address book (CardDAV), without any window;\n"
    "                       a URL given with --user NAME is kept as the account for later\n"
    "  --password-file FILE with --sync: the password is the first line of FILE (otherwise the keyring's)\n"
    "  --allow-http         with --sync: allow plain http:// to a server that is not this machine\n"
    "  --version            the program's version\n"
    "  --help               this list\n"
    "\n"
    "Exit status: 0 done, 1 the command failed (the message says why), 2 a malformed command line.\n";

QByteArray usage()
{
    const reports::StockCatalogue& catalogue = reports::StockCatalogue::builtIn();
    // The home folder as "~", so that the text (and the man page made from it) reads the same for every user.
    QString dataFolder = QDir::toNativeSeparators(platform::userDataFolder());
    const QString home = QDir::toNativeSeparators(QDir::homePath());
    if (dataFolder.startsWith(home + QDir::separator()))
        dataFolder = QStringLiteral("~") + dataFolder.mid(home.size());
    return QString::fromLatin1(Usage)
        .arg(batchReportNames().join(QStringLiteral(", ")), dataFolder,
             catalogue.stockNames().join(QStringLiteral(", ")), catalogue.envelopeNames().join(QStringLiteral(", ")))
        .toLocal8Bit();
}

void printUsage(FILE* to) { std::fputs(usage().constData(), to); }

// Qt warns on standard error when XDG_RUNTIME_DIR is not set (root, cron, ssh); a command without windows gets a
// private one for its run, so that a successful command writes nothing there.
std::unique_ptr<QTemporaryDir> privateRuntimeFolder()
{
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return nullptr;
    auto folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/tovrel-runtime-XXXXXX"));
    if (!folder->isValid())
        return nullptr;
    QFile::setPermissions(folder->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder->path()));
    return folder;
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
        } else if (a == QLatin1String("--version")) {
            options.version = true;
        } else if (a == QLatin1String("--report") || a == QLatin1String("--pdf") || a == QLatin1String("--search") ||
                   a == QLatin1String("--find")) {
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

// The application object reads the command line as the system gives it (in the locale's encoding here, as UTF-16
// on Windows); a short-lived one reads it before the command decides which application object it needs.
QStringList programArguments(int argc, char* argv[])
{
    if (QCoreApplication::instance())
        return QCoreApplication::arguments();
    QCoreApplication reader(argc, argv);
    return QCoreApplication::arguments();
}

// The groups of probable duplicates, one contact a line, a blank line between groups.
void printDuplicates()
{
    data::ContactStore store;
    store.configure(platform::programFolder());
    // Only reads: the file stays as it is.
    store.connection.setReadOnce(true);
    data::requireSoundDatabase(store.connection, QStringLiteral("no duplicates were looked for"));
    sqlite3* db = store.connection.handle();
    // The groups and the names printed come from one reading of the file, whatever another program writes.
    if (sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
        throw platform::AppError(QString::fromUtf8(sqlite3_errmsg(db)));
    const auto end = qScopeGuard([db] { sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr); });
    bool first = true;
    for (const search::duplicates::Group& g : search::duplicates::findGroups(db)) {
        // Written a thousand lines at a time: a large book's list need not be held whole.
        QByteArray out;
        if (!first)
            out += '\n';
        first = false;
        for (qsizetype start = 0; start < g.ids.size(); start += 1000) {
            const auto names = search::duplicates::namesOf(db, g.ids.mid(start, 1000));
            for (qsizetype i = 0; i < names.size(); ++i)
                out += QStringLiteral("%1\t%2\t%3\t%4\n")
                           .arg(g.ids[start + i])
                           .arg(names[i].first, names[i].second, g.reasons[start + i])
                           .toUtf8();
            std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
            out.clear();
        }
    }
    // A full disk or a closed pipe is a failed run, not a short list reported as done.
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        throw platform::AppError(QStringLiteral("cannot write the list of duplicates"));
}

int runProgram(int argc, char* argv[])
{
    const QStringList arguments = programArguments(argc, argv);
    Options options;
    try {
        options = parseOptions(arguments);
    } catch (const platform::AppError& e) {
        printError(e.message());
        printUsage(stderr);
        return 2;
    }
    if (options.version) {
        std::fputs("tovrel " TOVREL_VERSION "\n", stdout);
        return 0;
    }
    if (options.help) {
        QCoreApplication core(argc, argv);
        printUsage(stdout);
        return 0;
    }
    platform::installRealServices();
    // A folder that does not exist yet is fine for the window: its first start offers to make the address book.
    if (!options.folder.isEmpty())
        platform::setProgramFolder(options.folder);
    const bool duplicates = options.rest.contains(QStringLiteral("--duplicates"));
    const bool windowless = options.initDatabase || duplicates || isBatchCommand(options.rest) ||
                            exchange::isExchangeCommand(options.rest) || sharing::isSyncCommand(options.rest);
    const std::unique_ptr<QTemporaryDir> runtime = windowless ? privateRuntimeFolder() : nullptr;
    if (options.initDatabase) {
        if (!options.rest.isEmpty()) {
            printError(QStringLiteral("unknown option %1").arg(options.rest.first()));
            printUsage(stderr);
            return 2;
        }
        QCoreApplication core(argc, argv);
        try {
            makeNewAddressBook(platform::programFolder());
        } catch (const platform::AppError& e) {
            printError(e.message());
            return 1;
        }
        return 0;
    }
    if (windowless && !options.folder.isEmpty() && !QDir(options.folder).exists()) {
        printError(QStringLiteral("the folder %1 does not exist").arg(options.folder));
        return 1;
    }
    if (duplicates) {
        if (options.rest.size() != 1) {
            printError(QStringLiteral("--duplicates takes no other option than --folder"));
            return 2;
        }
        QCoreApplication core(argc, argv);
        try {
            printDuplicates();
        } catch (const platform::AppError& e) {
            printError(e.message());
            return 1;
        }
        return 0;
    }
    if (isBatchCommand(options.rest))
        return runBatch(argc, argv, options.rest);
    if (const std::optional<int> status = exchange::runExchangeCommand(options.rest, argc, argv))
        return *status;
    if (const std::optional<int> status = sharing::runSyncCommand(options.rest, argc, argv))
        return *status;
    const QString fileToOpen = exchange::takeFileToOpen(options.rest);
    if (!options.rest.isEmpty()) {
        printError(QStringLiteral("unknown option %1").arg(options.rest.first()));
        printUsage(stderr);
        return 2;
    }

    {
        // The text size is a scale for the whole interface, and that is set before the application object exists;
        // the program folder is found only with an application object.
        QCoreApplication probe(argc, argv);
        platform::applyTextSizeBeforeStart(platform::programFile(QStringLiteral("TovrelIni.ini")));
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
        exchange::importAfterStartUp(application.fmHomeAddMain, application.store, fileToOpen);
    sharing::syncAtStartIfAsked(application.fmHomeAddMain, application.store);
    const std::unique_ptr<StopSignals> stopSignals = closeOnStopSignals(application);
    const int status = QApplication::exec();
    finishWindowedRun(application);
    return status;
}

} // namespace app

#include "app/Batch.h"

#include "app/Application.h"
#include "reports/stocks/IniSettings.h"
#include "mailmerge/MailMergeBatch.h"
#include "platform/AppError.h"
#include "platform/Console.h"
#include "platform/Fonts.h"
#include "platform/ProgramFolder.h"
#include "platform/Services.h"
#include "reports/Batch.h"
#include "reports/DatasetSource.h"
#include "reports/stocks/SettingsStore.h"
#include "reports/Pages.h"
#include "reports/layouts/DiaryPages.h"
#include "reports/layouts/FilofaxPages.h"
#include "reports/layouts/AddressLabels14.h"
#include "reports/layouts/AddressLabels16.h"
#include "reports/layouts/AddressLabels21.h"
#include "reports/layouts/PhoneList.h"
#include "data/DatabaseCheck.h"
#include "data/FindText.h"
#include "reports/layouts/Birthdays.h"
#include "search/SearchStatement.h"

#include <QApplication>
#include <cstdio>
#include <utility>
#include <vector>

namespace app {

using platform::printError;

namespace {

// Names in the order they were registered, so that the usage lists them as the program does.
std::vector<std::pair<QString, BatchReportFactoryWithOptions>>& registry()
{
    static std::vector<std::pair<QString, BatchReportFactoryWithOptions>> reports;
    return reports;
}

const BatchReportFactoryWithOptions* factoryOf(const QString& name)
{
    for (const auto& [registered, factory] : registry())
        if (registered == name)
            return &factory;
    return nullptr;
}

// The stored field of the contact table with this name, as the search dialog lists it; compared without regard to
// case, like the database does.
QString contactField(const data::Dataset& query, const QString& name)
{
    QStringList names;
    for (const data::FieldDef& field : query.fields()) {
        if (!field.isStored())
            continue;
        if (field.name.compare(name, Qt::CaseInsensitive) == 0)
            return field.name;
        names << field.name;
    }
    throw platform::AppError(
        QStringLiteral("unknown field \"%1\"; the fields are: %2").arg(name, names.join(QStringLiteral(", "))));
}

// The value after an option the factory knows, taken out of the options; empty where the option is not there.
QString takeOption(QStringList& options, const QString& option, const char* what)
{
    const qsizetype at = options.indexOf(option);
    if (at < 0)
        return {};
    if (at + 1 >= options.size())
        throw platform::UsageError(QStringLiteral("%1 needs %2").arg(option, QString::fromLatin1(what)));
    const QString value = options.at(at + 1);
    options.remove(at, 2);
    return value;
}

// --report labels --stock NAME [--start N]: a stock of the catalogue, or one the user keeps in the settings.
reports::ReportDefinition stockLabelsBatchReport(QStringList& options)
{
    const QString name = takeOption(options, QStringLiteral("--stock"), "a stock name");
    const QString start = takeOption(options, QStringLiteral("--start"), "a label number");
    const reports::StockCatalogue& catalogue = reports::StockCatalogue::builtIn();
    const IniSettings settings(platform::programFile(QStringLiteral("TovrelIni.ini")));
    const QStringList own = reports::customStockNames(settings);
    const QStringList known = catalogue.stockNames() + own;
    if (name.isEmpty())
        throw platform::AppError(
            QStringLiteral("--stock NAME is missing; the stocks are: %1").arg(known.join(QStringLiteral(", "))));
    reports::LabelStock stock;
    if (const reports::LabelStock* listed = catalogue.stock(name))
        stock = *listed;
    else if (own.contains(name, Qt::CaseInsensitive))
        stock = reports::readCustomStock(settings, name);
    else
        throw platform::AppError(QStringLiteral("unknown stock \"%1\"; the stocks are: %2")
                                     .arg(name, known.join(QStringLiteral(", "))));
    reports::LabelOptions labelOptions = reports::readLabelOptions(settings);
    if (!start.isEmpty()) {
        bool ok = false;
        labelOptions.startAtLabel = start.toInt(&ok);
        if (!ok || labelOptions.startAtLabel < 1 || labelOptions.startAtLabel > stock.count())
            throw platform::AppError(QStringLiteral("--start %1: the stock %2 has labels 1 to %3")
                                         .arg(start, stock.name)
                                         .arg(stock.count()));
    }
    return reports::stockLabelsReport(stock, labelOptions);
}

// --report envelopes --envelope DL|C5|C6|10, with the lines, font and return address kept in the settings.
reports::ReportDefinition envelopesBatchReport(QStringList& options)
{
    const QString name = takeOption(options, QStringLiteral("--envelope"), "an envelope name");
    const reports::StockCatalogue& catalogue = reports::StockCatalogue::builtIn();
    const QString known = catalogue.envelopeNames().join(QStringLiteral(", "));
    if (name.isEmpty())
        throw platform::AppError(QStringLiteral("--envelope NAME is missing; the envelopes are: %1").arg(known));
    const reports::EnvelopeStock* envelope = catalogue.envelope(name);
    if (!envelope)
        throw platform::AppError(QStringLiteral("unknown envelope \"%1\"; the envelopes are: %2").arg(name, known));
    const IniSettings settings(platform::programFile(QStringLiteral("TovrelIni.ini")));
    return reports::envelopesReport(*envelope, reports::readEnvelopeOptions(settings));
}

} // namespace

void registerBatchReport(const QString& name, BatchReportFactory factory)
{
    registerBatchReport(
        name, BatchReportFactoryWithOptions([factory = std::move(factory)](QStringList&) { return factory(); }));
}

void registerBatchReport(const QString& name, BatchReportFactoryWithOptions factory)
{
    for (auto& [registered, existing] : registry()) {
        if (registered == name) {
            existing = std::move(factory);
            return;
        }
    }
    registry().emplace_back(name, std::move(factory));
}

void registerBuiltInBatchReports()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    registerBatchReport(QStringLiteral("phone-list"), BatchReportFactory(reports::phoneListReport));
    registerBatchReport(QStringLiteral("labels-21"), BatchReportFactory(reports::labels21Report));
    registerBatchReport(QStringLiteral("labels-16"), BatchReportFactory(reports::labels16Report));
    registerBatchReport(QStringLiteral("labels-14"), BatchReportFactory(reports::labels14Report));
    registerBatchReport(QStringLiteral("labels"), BatchReportFactoryWithOptions(stockLabelsBatchReport));
    registerBatchReport(QStringLiteral("envelopes"), BatchReportFactoryWithOptions(envelopesBatchReport));
    registerBatchReport(QStringLiteral("filofax"), BatchReportFactory(reports::filofaxReport));
    registerBatchReport(QStringLiteral("diary"), BatchReportFactory(reports::a5DiaryReport));
    registerBatchReport(QStringLiteral("letters"), BatchReportFactoryWithOptions(mailmerge::letterBatchReport));
    registerBatchReport(QStringLiteral("birthdays"), BatchReportFactory(reports::birthdaysReport));
}

QStringList batchReportNames()
{
    registerBuiltInBatchReports();
    QStringList names;
    for (const auto& entry : registry())
        names << entry.first;
    return names;
}

bool isBatchCommand(const QStringList& arguments)
{
    return arguments.contains(QStringLiteral("--report")) || arguments.contains(QStringLiteral("--pdf"));
}

BatchOptions parseBatchOptions(const QStringList& arguments)
{
    BatchOptions options;
    auto value = [&](qsizetype& i, const char* what) {
        if (i + 1 >= arguments.size())
            throw platform::AppError(QStringLiteral("%1 needs %2").arg(arguments[i], QString::fromLatin1(what)));
        return arguments[++i];
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--report")) {
            options.report = value(i, "a report name");
        } else if (a == QLatin1String("--pdf")) {
            options.pdf = value(i, "a file name");
        } else if (a == QLatin1String("--search")) {
            options.search = true;
            options.searchField = value(i, "a field and a word");
            options.searchWord = value(i, "a field and a word");
        } else if (a == QLatin1String("--not")) {
            options.notSearch = true;
        } else if (a == QLatin1String("--find")) {
            options.find = value(i, "the words to find");
        } else {
            options.reportOptions << a;
        }
    }
    if (options.report.isEmpty())
        throw platform::AppError(QStringLiteral("--report NAME is missing"));
    if (options.pdf.isEmpty())
        throw platform::AppError(QStringLiteral("--pdf FILE is missing"));
    if (options.notSearch && !options.search)
        throw platform::AppError(QStringLiteral("--not goes with --search FIELD WORD"));
    return options;
}

reports::BatchOutcome runBatchReport(const BatchOptions& options)
{
    registerBuiltInBatchReports();
    const BatchReportFactoryWithOptions* factory = factoryOf(options.report);
    // An unknown name is an error of the command, not a malformed command line: exit status 1.
    if (!factory)
        throw platform::AppError(QStringLiteral("unknown report \"%1\"; the reports are: %2")
                                     .arg(options.report, batchReportNames().join(QStringLiteral(", "))));
    // The application object first: a report's layout may refer to what it holds.
    Application application;
    QStringList rest = options.reportOptions;
    const reports::ReportDefinition definition = (*factory)(rest);
    if (!rest.isEmpty())
        throw platform::UsageError(QStringLiteral("unknown option %1").arg(rest.first()));

    // The selection as at start-up, then narrowed as the search dialog narrows it. Read once into the snapshot:
    // the file need not stay in memory besides.
    application.store.connection.setReadOnce(true);
    data::requireSoundDatabase(application.store.connection, QStringLiteral("no report was written"));
    application.openQuery();
    data::Dataset& query = application.store.HomeQuery;
    if (options.search) {
        const QString field = contactField(query, options.searchField);
        query.close();
        query.setSql(search::searchStatement(field, options.searchWord, options.notSearch));
        query.open();
    }
    if (!options.find.isEmpty()) {
        const QStringList sql = query.sql();
        query.close();
        query.setSql(data::find::narrowed(sql, options.find));
        query.open();
    }
    reports::DatasetSource source(query);
    if (options.report == QLatin1String("birthdays")) {
        reports::BirthdaySource birthdays(source, platform::clock().now().date().year());
        return reports::renderToPdf(definition, birthdays, options.pdf);
    }
    return reports::renderToPdf(definition, source, options.pdf);
}

int runBatch(int argc, char* argv[], const QStringList& arguments)
{
    BatchOptions options;
    try {
        options = parseBatchOptions(arguments);
    } catch (const platform::AppError& e) {
        printError(e.message());
        return 2;
    }
    // No window is shown: Qt needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tovrel"));
    platform::installFontSubstitutions();
    try {
        const reports::BatchOutcome outcome = runBatchReport(options);
        // Not an error: the PDF is written, but the user may want to fix those values before printing.
        if (outcome.shortened > 0)
            std::fprintf(stderr, "%s\n", qPrintable(reports::shortenedNotice(outcome.shortened)));
    } catch (const platform::UsageError& e) {
        printError(e.message());
        return 2;
    } catch (const platform::AppError& e) {
        printError(e.message());
        return 1;
    } catch (const std::exception& e) {
        printError(QString::fromLocal8Bit(e.what()));
        return 1;
    }
    return 0;
}

} // namespace app

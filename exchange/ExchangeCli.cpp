#include "exchange/ExchangeCli.h"

#include "data/ContactStore.h"
#include "data/DatabaseCheck.h"
#include "exchange/AccessFile.h"
#include "exchange/ContactExport.h"
#include "exchange/ContactImport.h"
#include "exchange/ImportLog.h"
#include "platform/AppError.h"
#include "platform/Console.h"
#include "platform/OutputFile.h"
#include "platform/ProgramFolder.h"
#include "data/FindText.h"
#include "exchange/BirthdayCalendar.h"
#include "platform/Services.h"
#include "search/SearchStatement.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace exchange {

using platform::printError;

namespace {

QString contacts(qint64 n)
{
    return n == 1 ? QStringLiteral("1 contact") : QStringLiteral("%1 contacts").arg(n);
}

QString values(qint64 n)
{
    return n == 1 ? QStringLiteral("1 value") : QStringLiteral("%1 values").arg(n);
}

struct ExchangeOptions
{
    QString exportFile;
    QString importFile;
    QString searchField;
    QString searchWord;
    bool searchGiven = false;
    bool notSearch = false;
    QString find;
    bool findGiven = false;
    QString table;
    bool tableGiven = false;
    bool cut = false;
    bool skipLong = false;
    exchange::ColumnChoices map;
    bool mapGiven = false;
};

ExchangeOptions parse(const QStringList& arguments)
{
    ExchangeOptions o;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--export")) {
            o.exportFile = platform::optionValue(arguments, i);
        } else if (a == QLatin1String("--import")) {
            o.importFile = platform::optionValue(arguments, i);
        } else if (a == QLatin1String("--search")) {
            o.searchField = platform::optionValue(arguments, i);
            o.searchWord = platform::optionValue(arguments, i);
            o.searchGiven = true;
        } else if (a == QLatin1String("--not")) {
            o.notSearch = true;
        } else if (a == QLatin1String("--find")) {
            o.find = platform::optionValue(arguments, i);
            o.findGiven = true;
        } else if (a == QLatin1String("--table")) {
            o.table = platform::optionValue(arguments, i);
            o.tableGiven = true;
        } else if (a == QLatin1String("--cut")) {
            o.cut = true;
        } else if (a == QLatin1String("--skip-long")) {
            o.skipLong = true;
        } else if (a == QLatin1String("--map")) {
            o.map += exchange::parseColumnMap(platform::optionValue(arguments, i));
            o.mapGiven = true;
        } else {
            throw platform::AppError(QStringLiteral("unknown option %1").arg(a));
        }
    }
    if (!o.exportFile.isEmpty() && !o.importFile.isEmpty())
        throw platform::AppError(QStringLiteral("--export and --import cannot be given together"));
    if (!o.importFile.isEmpty() && (o.searchGiven || o.notSearch || o.findGiven))
        throw platform::AppError(QStringLiteral("--search, --not and --find go with --export only"));
    if (!o.exportFile.isEmpty() && (o.tableGiven || o.cut || o.skipLong || o.mapGiven))
        throw platform::AppError(QStringLiteral("--table, --cut, --skip-long and --map go with --import only"));
    if (o.cut && o.skipLong)
        throw platform::AppError(QStringLiteral("--cut and --skip-long cannot be given together"));
    if (o.notSearch && !o.searchGiven)
        throw platform::AppError(QStringLiteral("--not needs --search"));
    return o;
}

// Refuses an Access-format database: it is converted only with the user watching, at start-up.
void requireOurDatabase(const data::ContactStore& store)
{
    const QString path = store.connection.databasePath();
    if (exchange::isAccessFile(path))
        throw platform::AppError(data::accessFormatMessage(path));
}

QString storedFieldName(const QString& name)
{
    QStringList names;
    for (const data::FieldDef& f : data::contactFields()) {
        if (!f.isStored())
            continue;
        if (f.name.compare(name, Qt::CaseInsensitive) == 0)
            return f.name;
        names << f.name;
    }
    throw platform::AppError(
        QStringLiteral("there is no field %1; the fields are: %2").arg(name, names.join(QStringLiteral(", "))));
}

// The selection the options name, on a connection that only reads: the file is left exactly as it was found.
void openSelection(data::ContactStore& store, const ExchangeOptions& o)
{
    store.configure(platform::programFolder());
    store.connection.setReadOnce(true);
    requireOurDatabase(store);
    data::requireSoundDatabase(store.connection, QStringLiteral("nothing was exported"));
    if (o.searchGiven)
        store.HomeQuery.setSql(search::searchStatement(storedFieldName(o.searchField), o.searchWord, o.notSearch));
    if (o.findGiven)
        store.HomeQuery.setSql(data::find::narrowed(store.HomeQuery.sql(), o.find));
    store.HomeQuery.open();
}

// The birthdays of the selection as a calendar.
int runBirthdayExport(const ExchangeOptions& o)
{
    data::ContactStore store;
    openSelection(store, o);
    const qint64 written = exchange::writeBirthdayCalendar(store.HomeQuery, o.exportFile, platform::clock().now());
    std::printf("%s\n", qPrintable(QStringLiteral("%1 birthday%2 exported to %3")
                                       .arg(written)
                                       .arg(written == 1 ? QString() : QStringLiteral("s"), o.exportFile)));
    return 0;
}

int runExport(const ExchangeOptions& o)
{
    if (o.exportFile.endsWith(QLatin1String(".ics"), Qt::CaseInsensitive))
        return runBirthdayExport(o);
    const std::optional<exchange::ExportFormat> format = exchange::exportFormatForPath(o.exportFile);
    if (!format)
        throw platform::AppError(
            QStringLiteral("%1: the file name must end in .vcf (vCard 3.0), .csv (CSV) or .ics (iCalendar, the "
                           "birthdays)").arg(o.exportFile));
    data::ContactStore store;
    openSelection(store, o);
    // As --report does: a file of headers alone would take the place of a good export.
    if (store.HomeQuery.recordCount() == 0)
        throw platform::AppError(QStringLiteral("There are no contacts to export: the selection is empty; %1 was not "
                                                "written")
                                     .arg(o.exportFile));
    const qint64 written = exportQuery(store.HomeQuery, o.exportFile, *format);
    std::printf("%s\n", qPrintable(QStringLiteral("%1 exported to %2").arg(contacts(written), o.exportFile)));
    return 0;
}

int runImport(const ExchangeOptions& o)
{
    const QString& file = o.importFile;
    if (!QFileInfo(file).isFile())
        throw platform::AppError(QStringLiteral("%1: no such file").arg(file));
    if (o.tableGiven && !exchange::isAccessFile(file))
        throw platform::AppError(QStringLiteral("%1: --table goes with Access-format files only").arg(file));
    // Contacts added to a damaged file could be lost with it, as the export and the reports would find. Checked on
    // a connection that only reads, before the one that writes sets up its side tables.
    {
        data::ContactStore probe;
        probe.configure(platform::programFolder());
        probe.connection.setReadOnce(true);
        requireOurDatabase(probe);
        data::requireSoundDatabase(probe.connection, QStringLiteral("nothing was imported"));
        // The book itself, however its name reaches it, would double every contact.
        if (platform::sameFile(file, probe.connection.databasePath()))
            throw platform::AppError(QStringLiteral("%1 is the address book itself; nothing was imported").arg(file));
    }
    data::ContactStore store;
    store.configure(platform::programFolder());
    requireOurDatabase(store);
    store.connection.open();

    exchange::ReadOptions options;
    options.columns = o.map;
    exchange::Importer importer(file, o.table, options);
    if (o.mapGiven && importer.kind() != exchange::SourceKind::Csv)
        throw platform::AppError(QStringLiteral("%1: --map goes with CSV files only").arg(file));
    const exchange::OverLongChoice choice =
        o.skipLong ? exchange::OverLongChoice::SkipContact : exchange::OverLongChoice::Keep;
    // One pass: what the file holds is told from the same reading that adds it.
    exchange::ImportPlan seen;
    exchange::ImportResult result;
    try {
        result = importIntoDatabase(store.connection.handle(), importer, choice, {}, &seen);
    } catch (const platform::AppError& e) {
        throw platform::AppError(QStringLiteral("%1: %2").arg(file, e.message()));
    }
    const exchange::ImportPlan* plan = &seen;
    for (auto it = plan->skipped.cbegin(); it != plan->skipped.cend(); ++it)
        printError(QStringLiteral("%1: not imported: %2, %3 values").arg(file, it.key(), QString::number(it.value())));
    for (const exchange::Notice& n : plan->notices)
        printError(QStringLiteral("%1: %2").arg(file, n.toString()));
    if (plan->noticeCount > plan->notices.size())
        printError(QStringLiteral("%1: ... and %2 more notes")
                       .arg(file, QString::number(plan->noticeCount - plan->notices.size())));
    const QString fate =
        o.skipLong ? QStringLiteral("left out") : QStringLiteral("shortened, each kept whole in Notes");
    for (const exchange::OverLongContact& c : plan->overLong) {
        QStringList fields;
        for (const exchange::OverLongValue& v : c.values)
            fields << QStringLiteral("%1 has %2 characters (at most %3)")
                          .arg(exchange::fieldName(v.field))
                          .arg(v.length)
                          .arg(v.maxLength);
        printError(QStringLiteral("%1: Record %2, line %3: %4: %5: %6")
                       .arg(file, QString::number(c.record), QString::number(c.line),
                            exchange::shortenedForNote(c.name), fields.join(QStringLiteral(", ")), fate));
    }
    if (plan->overLongCount > plan->overLong.size())
        printError(QStringLiteral("%1: ... and %2 more contacts with over-long values: %3")
                       .arg(file, QString::number(plan->overLongCount - plan->overLong.size()), fate));
    for (const exchange::NamelessContact& c : plan->nameless)
        printError(QStringLiteral("%1: Record %2, line %3: no name; Surname taken from %4: %5")
                       .arg(file, QString::number(c.record), QString::number(c.line), c.takenFrom,
                            exchange::shortenedForNote(c.surname)));
    if (plan->namelessCount > plan->nameless.size())
        printError(QStringLiteral("%1: ... and %2 more contacts without a name")
                       .arg(file, QString::number(plan->namelessCount - plan->nameless.size())));

    std::printf("%s\n", qPrintable(QStringLiteral("%1 added from %2").arg(contacts(result.added), file)));
    std::printf("%s\n", qPrintable(QStringLiteral("%1 shortened (kept whole in Notes), %2 moved to Notes, %3 not stored")
                                       .arg(values(result.shortenedValues), values(result.movedToNotes),
                                            result.notStored == 1 ? QStringLiteral("1 binary value")
                                                                  : QStringLiteral("%1 binary values")
                                                                        .arg(result.notStored))));
    if (!plan->columnsInNotes.isEmpty()) {
        QStringList columns;
        for (const auto& [name, count] : plan->columnsInNotes)
            columns << QStringLiteral("%1 (%2)").arg(name, values(count));
        std::printf("%s\n", qPrintable(QStringLiteral("Columns kept in Notes: %1").arg(columns.join(QStringLiteral(", ")))));
    }
    if (result.skipped > 0)
        printError(QStringLiteral("%1 left out for values longer than their fields allow (without --skip-long they "
                                  "are added with the values shortened and kept whole in Notes)")
                       .arg(contacts(result.skipped)));
    return 0;
}

} // namespace

bool isExchangeCommand(const QStringList& arguments)
{
    return arguments.contains(QLatin1String("--export")) || arguments.contains(QLatin1String("--import"));
}

std::optional<int> runExchangeCommand(const QStringList& arguments, int& argc, char** argv)
{
    if (!isExchangeCommand(arguments))
        return std::nullopt;
    ExchangeOptions options;
    try {
        options = parse(arguments);
    } catch (const platform::AppError& e) {
        printError(e.message());
        return 2;
    }
    QCoreApplication core(argc, argv);
    try {
        return options.importFile.isEmpty() ? runExport(options) : runImport(options);
    } catch (const platform::AppError& e) {
        printError(e.message());
        return 1;
    }
}

QString takeFileToOpen(QStringList& arguments)
{
    QStringList files;
    for (const QString& a : arguments)
        if (!a.startsWith(QLatin1Char('-')))
            files << a;
    if (files.size() != 1 || files.size() != arguments.size())
        return {};
    arguments.clear();
    return files.constFirst();
}

} // namespace exchange

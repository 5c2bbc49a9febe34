// Parsing and writing 100,000 contacts: the vCard reader alone, the two passes of an import
// (preview, then the run that hands every contact to the store), the same into the contact table in one
// transaction, and the writers. Beside them, on a book of realistic values (many distinct names, streets, towns,
// numbers and notes of every length, as real books have): --import of a CSV file (one pass, as the batch does it)
// against the sqlite3 shell's .import of the same file, and the export of the open list as CSV and vCard against
// `sqlite3 -csv` of the same table. Run it on a quiet machine: the shell's figures are wall time of a process.
#include "BenchMain.h"
#include "QuerySide.h"
#include "exchange/ContactExport.h"
#include "exchange/ContactImport.h"
#include "data/ContactStore.h"
#include "exchange/ContactWriter.h"
#include "exchange/ImportPlan.h"
#include "exchange/VCardReader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <random>
#include <sqlite3.h>

using namespace exchange;

namespace {

constexpr int ContactCount = 100000;

Contact generated(int i)
{
    Contact c;
    c[Field::Surname] = QStringLiteral("Surname%1").arg(i);
    c[Field::Firstname] = i % 3 ? QStringLiteral("Zoë") : QStringLiteral("John");
    c[Field::Midname] = i % 5 ? QString() : QStringLiteral("Q");
    c[Field::Address1] = QStringLiteral("%1 High Street").arg(i % 200);
    c[Field::Address2] = i % 4 ? QString() : QStringLiteral("Flat %1").arg(i % 9);
    c[Field::A3_Village] = QStringLiteral("Little Snoring");
    c[Field::Town] = QStringLiteral("Fakenham");
    c[Field::County] = QStringLiteral("Norfolk");
    c[Field::PostCode] = QStringLiteral("NR21 %1AA").arg(i % 10);
    c[Field::Country] = QStringLiteral("United Kingdom");
    c[Field::Tel] = QStringLiteral("01328 %1").arg(100000 + i % 900000);
    c[Field::Cell] = QStringLiteral("07700 %1").arg(900000 + i % 99999);
    c[Field::Email] = QStringLiteral("person%1@example.org").arg(i);
    c[Field::Birthday] = QDate(1940, 1, 1).addDays(i % 25000).toString(Qt::ISODate);
    c[Field::Notes] =
        i % 7 ? QString() : QStringLiteral("Met at the fair; likes apples, pears\nand a long second line of notes");
    c[Field::Workplace] = QStringLiteral("Acme Widgets Ltd");
    c[Field::WorkTel] = QStringLiteral("01603 000111");
    c[Field::Flag] = i % 2 ? QStringLiteral("XMAS") : QString();
    return c;
}

const QByteArray& vcardFile()
{
    static const QByteArray bytes = [] {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        const auto writer = makeWriter(ExportFormat::VCard40, buffer);
        for (int i = 0; i < ContactCount; ++i)
            writer->write(generated(i));
        return buffer.data();
    }();
    return bytes;
}

void BM_ParseVCards(benchmark::State& state)
{
    const QByteArray& bytes = vcardFile(); // made before the timing starts
    for (auto _ : state) {
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        VCardReader reader(buffer, ReadOptions{2024});
        ReadContact rc;
        qint64 n = 0;
        while (reader.next(rc))
            ++n;
        if (n != ContactCount)
            state.SkipWithError("wrong count");
    }
    state.SetItemsProcessed(state.iterations() * ContactCount);
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_ParseVCards)->Unit(benchmark::kMillisecond);

// Both passes of an import from a file: the preview, then the run into a store that keeps the contacts.
void BM_ImportVCardFile(benchmark::State& state)
{
    (void)vcardFile();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("contacts.vcf"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(vcardFile()) != vcardFile().size())
            state.SkipWithError("cannot write the file");
    }
    for (auto _ : state) {
        Importer importer(path, {}, ReadOptions{2024});
        const auto plan = importer.plan();
        std::vector<Contact> store;
        store.reserve(ContactCount);
        const ImportResult r = importer.run(OverLongChoice::Keep, [&](const Contact& c) { store.push_back(c); });
        if (!plan || r.added != ContactCount)
            state.SkipWithError("wrong count");
    }
    state.SetItemsProcessed(state.iterations() * ContactCount);
}
BENCHMARK(BM_ImportVCardFile)->Unit(benchmark::kMillisecond);

// What File > Import does with 100,000 vCards: the preview pass, then the run that inserts every contact into
// the HomeAd table of a new database file as one transaction.
void BM_ImportVCardsIntoDatabase(benchmark::State& state)
{
    (void)vcardFile();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("contacts.vcf"));
    const QString database = dir.filePath(QStringLiteral("Tovrel.mdb"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(vcardFile()) != vcardFile().size())
            state.SkipWithError("cannot write the file");
    }
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(database);
        data::createDatabaseIfMissing(database);
        sqlite3* db = nullptr;
        sqlite3_open_v2(database.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        state.ResumeTiming();
        Importer importer(path, {}, ReadOptions{2024});
        const auto plan = importer.plan();
        const ImportResult r = exchange::importIntoDatabase(db, importer, OverLongChoice::Keep);
        state.PauseTiming();
        sqlite3_close(db);
        state.ResumeTiming();
        if (!plan || r.added != ContactCount)
            state.SkipWithError("wrong count");
    }
    state.SetItemsProcessed(state.iterations() * ContactCount);
}
BENCHMARK(BM_ImportVCardsIntoDatabase)->Unit(benchmark::kMillisecond);

void BM_Write(benchmark::State& state)
{
    const auto format = static_cast<ExportFormat>(state.range(0));
    std::vector<Contact> contacts;
    for (int i = 0; i < ContactCount; ++i)
        contacts.push_back(generated(i));
    for (auto _ : state) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        const auto writer = makeWriter(format, buffer);
        for (const Contact& c : contacts)
            writer->write(c);
        benchmark::DoNotOptimize(buffer.data().size());
    }
    state.SetItemsProcessed(state.iterations() * ContactCount);
}
BENCHMARK(BM_Write)->Arg(int(ExportFormat::VCard40))->Arg(int(ExportFormat::Csv))->Unit(benchmark::kMillisecond);

// A contact of a real book: names, streets and towns built from many parts so that few repeat, numbers and
// addresses all different, a quarter with notes of any length, some text beyond ASCII, many fields empty.
Contact realistic(std::mt19937& rng, int i)
{
    std::uniform_int_distribution<int> percent(0, 99);
    auto pick = [&](std::initializer_list<const char*> parts) {
        std::uniform_int_distribution<size_t> d(0, parts.size() - 1);
        return QString::fromUtf8(*(parts.begin() + d(rng)));
    };
    auto word = [&](int syllables) {
        QString w;
        for (int k = 0; k < syllables; ++k)
            w += pick({"ba", "ker", "mil", "son", "ton", "ham", "ley", "ford", "wood", "ash", "bur", "ing", "ric",
                       "dal", "mor", "ván", "øst", "ski", "ner", "ow", "ell", "art", "ü", "ca", "ro", "li"});
        w[0] = w[0].toUpper();
        return w;
    };
    auto digits = [&](int n) {
        QString d;
        for (int k = 0; k < n; ++k)
            d += QChar(u'0' + std::uniform_int_distribution<int>(0, 9)(rng));
        return d;
    };
    Contact c;
    c[Field::Surname] = word(2 + percent(rng) % 2);
    c[Field::Firstname] = percent(rng) < 95 ? word(2) : QString();
    c[Field::Midname] = percent(rng) < 20 ? word(1) : QString();
    c[Field::Address1] = QStringLiteral("%1 %2 %3").arg(1 + percent(rng) * 3).arg(word(2), pick({"Road", "Street", "Lane", "Close", "Avenue"}));
    c[Field::Address2] = percent(rng) < 30 ? QStringLiteral("Flat %1").arg(digits(2)) : QString();
    c[Field::A3_Village] = percent(rng) < 25 ? word(3) : QString();
    c[Field::Town] = word(2 + percent(rng) % 2);
    c[Field::County] = percent(rng) < 70 ? word(3) + QStringLiteral("shire") : QString();
    c[Field::PostCode] = QStringLiteral("%1%2 %3AB").arg(pick({"LS", "YO", "BA", "NR", "EX", "CA"}), digits(2), digits(1));
    c[Field::Country] = percent(rng) < 85 ? QStringLiteral("United Kingdom") : word(3);
    c[Field::Tel] = percent(rng) < 70 ? QStringLiteral("01%1 %2").arg(digits(3), digits(6)) : QString();
    c[Field::Cell] = percent(rng) < 75 ? QStringLiteral("07%1 %2").arg(digits(3), digits(6)) : QString();
    c[Field::Email] = percent(rng) < 65 ? QStringLiteral("%1.%2%3@%4.example")
                                              .arg(c[Field::Firstname].toLower(), c[Field::Surname].toLower(),
                                                   QString::number(i), word(2).toLower())
                                        : QString();
    c[Field::Birthday] = percent(rng) < 50 ? QDate(1930, 1, 1).addDays(rng() % 30000).toString(Qt::ISODate) : QString();
    if (percent(rng) < 25) {
        QStringList sentences;
        const int n = 1 + percent(rng) % 6;
        for (int k = 0; k < n; ++k)
            sentences << word(3) + QStringLiteral(", ") + word(2) + QStringLiteral(" \"") + word(1) +
                             QStringLiteral("\" ") + word(4) + QLatin1Char('.');
        c[Field::Notes] = sentences.join(QLatin1Char('\n'));
    }
    c[Field::Workplace] = percent(rng) < 40 ? word(3) + pick({" Ltd", " plc", " & Sons", " Trust", ""}) : QString();
    c[Field::WorkTel] = percent(rng) < 35 ? QStringLiteral("020 %1 %2").arg(digits(4), digits(4)) : QString();
    c[Field::Flag] = percent(rng) < 20 ? pick({"XMAS", "club", "work", "golf"}) : QString();
    c[Field::Flag2] = percent(rng) < 10 ? pick({"A", "B", "VIP"}) : QString();
    return c;
}

const std::vector<Contact>& realisticBook()
{
    static const std::vector<Contact> book = [] {
        std::mt19937 rng(42);
        std::vector<Contact> out;
        out.reserve(ContactCount);
        for (int i = 0; i < ContactCount; ++i)
            out.push_back(realistic(rng, i));
        return out;
    }();
    return book;
}

// The realistic book as our CSV export and as an address book, made once in the temporary folder.
struct RealisticFiles
{
    QString folder = QDir::tempPath() + QStringLiteral("/tovrel-bench/exchange-realistic/");
    QString csv = folder + QStringLiteral("book.csv");
    QString database = folder + QStringLiteral("Tovrel.mdb");

    RealisticFiles()
    {
        if (QFileInfo::exists(csv) && QFileInfo::exists(database))
            return;
        QDir().mkpath(folder);
        size_t next = 0;
        exportToFile(csv, ExportFormat::Csv, [&](Contact& c) {
            if (next >= realisticBook().size())
                return false;
            c = realisticBook()[next++];
            return true;
        });
        QFile::remove(database);
        data::createDatabaseIfMissing(database);
        sqlite3* db = nullptr;
        sqlite3_open_v2(database.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        {
            ContactInserter inserter(db);
            for (const Contact& c : realisticBook())
                inserter.add(c);
        }
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
};

const RealisticFiles& realisticFiles()
{
    static const RealisticFiles files;
    return files;
}

// What `tovrel --import book.csv` does: one pass that reads, fits and inserts in one transaction, noting what it
// saw as it goes.
void BM_ImportCsvOnce(benchmark::State& state)
{
    const RealisticFiles& files = realisticFiles();
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("Tovrel.mdb"));
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(database);
        data::createDatabaseIfMissing(database);
        sqlite3* db = nullptr;
        sqlite3_open_v2(database.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        state.ResumeTiming();
        Importer importer(files.csv, {}, ReadOptions{2024});
        ImportPlan seen;
        const ImportResult r = importIntoDatabase(db, importer, OverLongChoice::Keep, {}, &seen);
        state.PauseTiming();
        sqlite3_close(db);
        state.ResumeTiming();
        if (r.added != ContactCount)
            state.SkipWithError("wrong count");
    }
    state.SetItemsProcessed(state.iterations() * ContactCount);
}
BENCHMARK(BM_ImportCsvOnce)->Unit(benchmark::kMillisecond);

// The sqlite3 shell's .import of the same file into a new table of a new database: start, read, insert, end.
void BM_ImportCsvSqliteShell(benchmark::State& state)
{
    const RealisticFiles& files = realisticFiles();
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("shell.db"));
    const QByteArray command = (QStringLiteral("sqlite3 ") + bench::shellQuoted(database) + QLatin1Char(' ') +
                                bench::shellQuoted(QStringLiteral(".import --csv %1 HomeAd").arg(files.csv)))
                                   .toLocal8Bit();
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(database);
        state.ResumeTiming();
        if (std::system(command.constData()) != 0)
            state.SkipWithError("sqlite3 shell failed");
    }
    state.SetItemsProcessed(state.iterations() * ContactCount);
}
BENCHMARK(BM_ImportCsvSqliteShell)->Unit(benchmark::kMillisecond)->UseRealTime();

// File > Export of the open list of the realistic book (the list is open, as it is in the window).
void BM_ExportQuery(benchmark::State& state)
{
    const auto format = static_cast<ExportFormat>(state.range(0));
    const RealisticFiles& files = realisticFiles();
    data::ContactStore store;
    store.configure(files.folder);
    store.HomeQuery.open();
    QTemporaryDir dir;
    const QString path = dir.filePath(format == ExportFormat::Csv ? QStringLiteral("out.csv") : QStringLiteral("out.vcf"));
    for (auto _ : state) {
        if (exportQuery(store.HomeQuery, path, format) != ContactCount)
            state.SkipWithError("wrong count");
    }
    state.SetItemsProcessed(state.iterations() * ContactCount);
}
BENCHMARK(BM_ExportQuery)->Arg(int(ExportFormat::Csv))->Arg(int(ExportFormat::VCard30))->Unit(benchmark::kMillisecond);

// `sqlite3 -csv` of the same table to a file: start, open, read every row, write it, end.
void BM_ExportSqliteShellCsv(benchmark::State& state)
{
    const RealisticFiles& files = realisticFiles();
    QTemporaryDir dir;
    const QByteArray command =
        (QStringLiteral("sqlite3 -csv -header ") + bench::shellQuoted(files.database) + QLatin1Char(' ') +
         bench::shellQuoted(QStringLiteral("SELECT Surname, Midname, Firstname, Address1, Address2, A3_Village, Town, "
                                           "County, PostCode, Country, Tel, Cell, Email, Birthday, Notes, Workplace, "
                                           "[Work Tel], Flag, Flag2 FROM HomeAd ORDER BY Surname")) +
         QStringLiteral(" > ") + bench::shellQuoted(dir.filePath(QStringLiteral("shell.csv"))))
            .toLocal8Bit();
    for (auto _ : state)
        if (std::system(command.constData()) != 0)
            state.SkipWithError("sqlite3 shell failed");
    state.SetItemsProcessed(state.iterations() * ContactCount);
}
BENCHMARK(BM_ExportSqliteShellCsv)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return bench::runBenchmarks(argc, argv, bench::AppKind::Core);
}

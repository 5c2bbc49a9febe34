// Parsing and writing 100,000 contacts: the vCard reader alone, the two passes of an import
// (preview, then the run that hands every contact to the store), the same into the contact table in one
// transaction, and the writers.
#include "BenchMain.h"
#include "exchange/ContactImport.h"
#include "data/ContactStore.h"
#include "exchange/ContactWriter.h"
#include "exchange/ImportPlan.h"
#include "exchange/VCardReader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
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

} // namespace

int main(int argc, char** argv)
{
    return bench::runBenchmarks(argc, argv, bench::AppKind::Core);
}

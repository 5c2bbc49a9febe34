// Find as you type and duplicate finding over generated books, side by side with the sqlite3 shell's LIKE over
// all twenty fields of the same file; the birthdays report beside the phone list of the same contacts.
// Run: build/bench/bench_care  (databases are generated once into /tmp/tovrel-bench)
#include "BenchMain.h"
#include "ContactGenerator.h"
#include "ContactRecords.h"

#include "data/ContactStore.h"
#include "data/FindText.h"
#include "reports/layouts/Birthdays.h"
#include "reports/layouts/PhoneList.h"
#include "reports/Renderer.h"
#include "search/Duplicates.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <cstdlib>

namespace {

const QString kWords = QStringLiteral("smi lon");

// One keystroke: the selection read again, narrowed to the words typed.
void BM_FindKeystroke(benchmark::State& state)
{
    data::ContactStore store;
    store.configure(bench::contactsFolder(int(state.range(0))));
    const QStringList sql = data::find::narrowed(data::startSql(), kWords);
    store.HomeQuery.open();
    for (auto _ : state) {
        store.HomeQuery.close();
        store.HomeQuery.setSql(sql);
        store.HomeQuery.open();
    }
    state.counters["rows"] = store.HomeQuery.recordCount();
}

QString shellQuoted(const QString& text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// The same words with LIKE over every field, in the shell.
void BM_ShellLikeAllFields(benchmark::State& state)
{
    QStringList conditions;
    for (const QString& word : kWords.split(QLatin1Char(' '))) {
        QStringList any;
        for (const data::FieldDef& f : data::contactFields())
            if (f.isStored())
                any << QStringLiteral("\"%1\" LIKE '%%2%'").arg(f.name, word);
        conditions << QLatin1Char('(') + any.join(QStringLiteral(" OR ")) + QLatin1Char(')');
    }
    const QString sql = QStringLiteral("SELECT * FROM HomeAd WHERE ") + conditions.join(QStringLiteral(" AND "));
    const QByteArray command = (QStringLiteral("sqlite3 ") +
                                shellQuoted(bench::contactsFolder(int(state.range(0))) + QStringLiteral("Tovrel.mdb")) +
                                QLatin1Char(' ') + shellQuoted(sql) + QStringLiteral(" > /dev/null"))
                                   .toLocal8Bit();
    for (auto _ : state)
        if (std::system(command.constData()) != 0)
            state.SkipWithError("sqlite3 shell failed");
}

void BM_Duplicates(benchmark::State& state)
{
    data::ContactStore store;
    store.configure(bench::contactsFolder(int(state.range(0))));
    store.connection.open();
    size_t groups = 0;
    for (auto _ : state)
        groups = size_t(search::duplicates::findGroups(store.connection.handle()).size());
    state.counters["groups"] = double(groups);
}

void BM_PhoneListReport(benchmark::State& state)
{
    auto source = bench::contactRecords(int(state.range(0)));
    const auto definition = reports::phoneListReport();
    for (auto _ : state)
        benchmark::DoNotOptimize(reports::render(definition, source).pageCount());
}

void BM_BirthdaysReport(benchmark::State& state)
{
    auto source = bench::contactRecords(int(state.range(0)));
    const auto definition = reports::birthdaysReport();
    for (auto _ : state) {
        reports::BirthdaySource birthdays(source, 2026);
        benchmark::DoNotOptimize(reports::render(definition, birthdays).pageCount());
    }
}

BENCHMARK(BM_FindKeystroke)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShellLikeAllFields)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Duplicates)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PhoneListReport)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BirthdaysReport)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return bench::runBenchmarks(argc, argv, bench::AppKind::Gui);
}

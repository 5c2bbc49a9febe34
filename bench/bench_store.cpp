// Opening the contact query over generated databases, side by side with the sqlite3 shell on the same file.
// Run: build/bench/bench_store  (databases are generated once into /tmp/tovrel-bench)
#include "ContactGenerator.h"

#include <QDir>
#include <QFileInfo>
#include <benchmark/benchmark.h>
#include <cstdlib>

namespace {

void BM_OpenHomeQuery(benchmark::State& state)
{
    const QString folder = bench::contactsFolder(int(state.range(0)));
    size_t memory = 0;
    for (auto _ : state) {
        data::ContactStore store;
        store.configure(folder);
        store.HomeQuery.open();
        memory = store.HomeQuery.memoryUsed();
        benchmark::DoNotOptimize(store.HomeQuery.recordCount());
        state.PauseTiming();
        store.HomeQuery.close();
        state.ResumeTiming();
    }
    const double fileSize = double(QFileInfo(folder + QStringLiteral("Tovrel.mdb")).size());
    state.counters["snapshot_MB"] = double(memory) / 1e6;
    state.counters["file_MB"] = fileSize / 1e6;
    state.counters["snapshot_per_file"] = double(memory) / fileSize;
}
BENCHMARK(BM_OpenHomeQuery)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same contacts ordered by the engine itself (a statement the snapshot leaves to it), for comparison.
void BM_OpenHomeQueryEngineOrder(benchmark::State& state)
{
    const QString folder = bench::contactsFolder(int(state.range(0)));
    for (auto _ : state) {
        data::ContactStore store;
        store.configure(folder);
        store.HomeQuery.setSql({QStringLiteral("select * from HomeAd"), QStringLiteral("order by Surname, ID")});
        store.HomeQuery.open();
        benchmark::DoNotOptimize(store.HomeQuery.recordCount());
        state.PauseTiming();
        store.HomeQuery.close();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenHomeQueryEngineOrder)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

void shell(benchmark::State& state, const char* sql)
{
    const QString folder = bench::contactsFolder(int(state.range(0)));
    const QByteArray command =
        QStringLiteral("sqlite3 '%1Tovrel.mdb' '%2' > /dev/null").arg(folder, QString::fromLatin1(sql)).toLocal8Bit();
    for (auto _ : state)
        if (std::system(command.constData()) != 0)
            state.SkipWithError("sqlite3 shell failed");
}

void BM_ShellSelectAll(benchmark::State& state) { shell(state, "SELECT * FROM HomeAd"); }
BENCHMARK(BM_ShellSelectAll)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ShellSelectOrdered(benchmark::State& state) { shell(state, "SELECT * FROM HomeAd ORDER BY Surname"); }
BENCHMARK(BM_ShellSelectOrdered)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SortByTown(benchmark::State& state)
{
    data::ContactStore store;
    store.configure(bench::contactsFolder(int(state.range(0))));
    store.HomeQuery.open();
    bool descending = false;
    for (auto _ : state) {
        store.HomeQuery.setSort(descending ? QStringLiteral("Town DESC") : QStringLiteral("Town ASC"));
        descending = !descending;
    }
}
BENCHMARK(BM_SortByTown)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

BENCHMARK_MAIN();

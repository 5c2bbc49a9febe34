// Find as you type and duplicate finding over generated books (duplicates also over a realistic one), side by side
// with the sqlite3 shell's LIKE over all twenty fields of the same file; the birthdays report beside the phone list
// of the same contacts.
// Run: build-bench/bench/bench_care  (databases are generated once into /tmp/tovrel-bench)
#include "BenchMain.h"
#include "QuerySide.h"
#include "ContactGenerator.h"
#include "ContactRecords.h"
#include "PeakMemory.h"

#include "data/ContactStore.h"
#include "data/widgets/DatasetModel.h"
#include "data/FindText.h"
#include "reports/layouts/Birthdays.h"
#include "reports/layouts/PhoneList.h"
#include "reports/Renderer.h"
#include "search/Duplicates.h"

#include <QApplication>
#include <QFileInfo>
#include <QTableView>
#include <benchmark/benchmark.h>
#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace {

const QString kWords = QStringLiteral("smi lee");

// The contact grid as the main window shows it: the dataset's model in a table view, drawn off screen.
struct Grid
{
    data::ContactStore store;
    data::DatasetModel model{&store.dsHome};
    QTableView view;
    explicit Grid(int count)
    {
        store.configure(bench::contactsFolder(count));
        store.HomeQuery.open();
        view.setModel(&model);
        view.resize(1000, 600);
        view.show();
        QCoreApplication::processEvents();
    }
    // What the user sees after a keystroke: the rows narrowed, the grid reset and drawn again.
    void show()
    {
        view.viewport()->repaint();
    }
};

// Each keystroke of "smi lon" typed into the find box, from the keystroke to the grid showing its rows; the index
// is made beforehand (the find box does that while it has the focus). Time per keystroke.
void BM_FindKeystroke(benchmark::State& state)
{
    Grid grid(int(state.range(0)));
    data::find::Narrower narrower;
    while (!narrower.prepare(grid.store.HomeQuery, 1u << 30)) {
    }
    int rows = 0;
    double keys = 0, seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (int n = 1; n <= kWords.size(); ++n) {
            narrower.apply(grid.store.HomeQuery, kWords.left(n));
            grid.show();
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        keys += double(kWords.size());
        rows = grid.store.HomeQuery.recordCount();
        state.PauseTiming(); // the box emptied again: not a keystroke of the words
        narrower.apply(grid.store.HomeQuery, {});
        grid.show();
        state.ResumeTiming();
    }
    state.counters["rows"] = rows;
    state.counters["ms_per_key"] = seconds * 1000.0 / keys;
}

// The slowest keystroke: the first letter, which finds most rows and narrows every row of the book.
void BM_FindFirstKeystroke(benchmark::State& state)
{
    Grid grid(int(state.range(0)));
    data::find::Narrower narrower;
    while (!narrower.prepare(grid.store.HomeQuery, 1u << 30)) {
    }
    for (auto _ : state) {
        narrower.apply(grid.store.HomeQuery, QStringLiteral("s"));
        grid.show();
        state.PauseTiming();
        narrower.apply(grid.store.HomeQuery, {});
        state.ResumeTiming();
    }
    state.counters["rows"] = grid.store.HomeQuery.recordCount();
}

// Making the index once for a result; its memory beside the file's size.
void BM_FindIndexBuild(benchmark::State& state)
{
    Grid grid(int(state.range(0)));
    size_t memory = 0;
    for (auto _ : state) {
        data::find::Narrower narrower;
        while (!narrower.prepare(grid.store.HomeQuery, 1u << 30)) {
        }
        memory = narrower.memoryUsed();
    }
    const double file = double(QFileInfo(bench::contactsFolder(int(state.range(0))) + QStringLiteral("Tovrel.mdb")).size());
    state.counters["index_MB"] = double(memory) / 1e6;
    state.counters["file_MB"] = file / 1e6;
    state.counters["index_per_file"] = double(memory) / file;
}

// The way each keystroke went before: the selection read again through SQL, narrowed by the find function.
void BM_FindKeystrokeBySql(benchmark::State& state)
{
    bench::reopenQuery(state, bench::contactsFolder(int(state.range(0))),
                       data::find::narrowed(data::startSql(), kWords));
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
    bench::shellQuery(state, bench::contactsFolder(int(state.range(0))), sql);
}

// Duplicate finding over the whole book, of the simple generator (realistic:0) or of RealisticBook (realistic:1);
// peak_per_file is the resident memory it adds at its peak, beside the file's size, and largest the most contacts
// in one group.
void BM_Duplicates(benchmark::State& state)
{
    const int count = int(state.range(0));
    const auto book = state.range(1) ? bench::Book::Realistic : bench::Book::Simple;
    // The book open in the window, as when the user chooses Find Duplicates: its rows are read and the file mapped
    // before the search begins.
    data::ContactStore store;
    store.configure(bench::contactsFolder(count, book));
    store.HomeQuery.open();
    size_t groups = 0, largest = 0, grouped = 0;
    double grown = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const double before = bench::residentMegabytes();
        bench::resetPeak();
        state.ResumeTiming();
        const QList<search::duplicates::Group> found = search::duplicates::findGroups(store.connection.handle());
        grown = std::max(grown, bench::peakMegabytes() - before);
        state.PauseTiming();
        groups = size_t(found.size());
        largest = grouped = 0;
        for (const search::duplicates::Group& g : found) {
            largest = std::max(largest, size_t(g.ids.size()));
            grouped += size_t(g.ids.size());
        }
        state.ResumeTiming();
    }
    const double file = double(QFileInfo(bench::contactsFolder(count, book) + QStringLiteral("Tovrel.mdb")).size());
    state.counters["groups"] = double(groups);
    state.counters["grouped"] = double(grouped);
    state.counters["largest"] = double(largest);
    state.counters["peak_MB"] = grown;
    state.counters["peak_per_file"] = grown * 1024.0 * 1024.0 / file;
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
BENCHMARK(BM_FindFirstKeystroke)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindIndexBuild)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindKeystrokeBySql)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShellLikeAllFields)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Duplicates)
    ->ArgsProduct({{100000, 1000000}, {0, 1}})
    ->ArgNames({"contacts", "realistic"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PhoneListReport)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BirthdaysReport)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return bench::runBenchmarks(argc, argv, bench::AppKind::Widgets);
}

// The three ways the selection is replaced (a search, a letter of the alphabet filter, Reset), each as the program
// runs it (close, new statement, open: statement and snapshot), side by side with the sqlite3 shell running the same
// statement on the same file; and scrolling the grid over a million rows.
// Run: build/bench/bench_search  (databases are generated once into /tmp/tovrel-bench)
#include "BenchMain.h"
#include "QuerySide.h"
#include "ContactGenerator.h"

#include "mainwindow/ContactGrid.h"
#include "data/Connection.h"
#include "data/widgets/DatasetModel.h"
#include "search/SearchStatement.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QScrollBar>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <sqlite3.h>

namespace {

constexpr int Contacts = 100000;

// A search on a non-ASCII part of a surname that narrows 100,000 contacts to a few hundred.
QStringList searchSql()
{
    return search::searchStatement(QStringLiteral("Surname"), QStringLiteral("Dvořák-"), false);
}
QStringList letterSql()
{
    return {QStringLiteral("SELECT * FROM HomeAd WHERE Surname LIKE 'M%'")};
}
QStringList resetSql()
{
    return {QStringLiteral("SELECT * FROM HomeAd")};
}

void reopen(benchmark::State& state, const QStringList& sql)
{
    bench::reopenQuery(state, bench::contactsFolder(Contacts), sql);
}

void shell(benchmark::State& state, const QStringList& sql)
{
    bench::shellQuery(state, bench::contactsFolder(Contacts), sql.join(QLatin1Char('\n')));
}

void BM_Search(benchmark::State& state)
{
    reopen(state, searchSql());
}
void BM_ShellSearch(benchmark::State& state)
{
    shell(state, searchSql());
}
void BM_AlphabetLetter(benchmark::State& state)
{
    reopen(state, letterSql());
}
void BM_ShellAlphabetLetter(benchmark::State& state)
{
    shell(state, letterSql());
}
void BM_Reset(benchmark::State& state)
{
    reopen(state, resetSql());
}
void BM_ShellReset(benchmark::State& state)
{
    shell(state, resetSql());
}

BENCHMARK(BM_Search)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ShellSearch)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_AlphabetLetter)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ShellAlphabetLetter)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Reset)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ShellReset)->Unit(benchmark::kMillisecond)->MinTime(2);

std::unique_ptr<mainwindow::ContactGrid> makeGrid(data::ContactStore& store)
{
    auto grid = std::make_unique<mainwindow::ContactGrid>(&store.dsHome);
    QList<data::ColumnDef> columns;
    for (const char* field : {"Surname", "Firstname", "Address1", "Town", "County", "PostCode", "Tel"})
        columns << data::ColumnDef{QString::fromLatin1(field), {}};
    grid->datasetModel()->setColumns(columns);
    grid->resize(900, 600);
    grid->show();
    return grid;
}

int g_statements = 0;
int countStatement(unsigned, void*, void*, void*)
{
    ++g_statements;
    return 0;
}

// From the first to the last of a million rows and back, painting each end: the grid asks the snapshot only,
// never the database (counter statements: statements run while scrolling).
void BM_GridScrollMillion(benchmark::State& state)
{
    data::ContactStore store;
    store.configure(bench::contactsFolder(1000000));
    store.HomeQuery.open();
    const auto grid = makeGrid(store);
    g_statements = 0;
    sqlite3_trace_v2(store.connection.handle(), SQLITE_TRACE_STMT, countStatement, nullptr);
    for (auto _ : state) {
        grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
        benchmark::DoNotOptimize(grid->viewport()->grab());
        grid->verticalScrollBar()->setValue(0);
        benchmark::DoNotOptimize(grid->viewport()->grab());
    }
    sqlite3_trace_v2(store.connection.handle(), 0, nullptr, nullptr);
    state.counters["rows"] = grid->model()->rowCount();
    state.counters["statements"] = g_statements;
}
BENCHMARK(BM_GridScrollMillion)->Unit(benchmark::kMillisecond)->MinTime(2);

// A report walks every row of the selection from first to last; the grid follows the current row all the way.
void BM_WalkRowsUnderTheGrid(benchmark::State& state)
{
    data::ContactStore store;
    store.configure(bench::contactsFolder(Contacts));
    store.HomeQuery.open();
    std::unique_ptr<mainwindow::ContactGrid> grid;
    if (state.range(0))
        grid = makeGrid(store);
    for (auto _ : state) {
        store.HomeQuery.first();
        while (!store.HomeQuery.eof())
            store.HomeQuery.next();
    }
    state.counters["rows"] = store.HomeQuery.recordCount();
}
BENCHMARK(BM_WalkRowsUnderTheGrid)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2);

} // namespace

int main(int argc, char** argv)
{
    return bench::runBenchmarks(argc, argv, bench::AppKind::Widgets);
}

// The batch phone list to PDF over generated databases: pages streamed to the file as they are laid out and the
// file read once (as the batch does), side by side with keeping every page until the end over the mapped file (as
// the preview does), and with streaming over the mapped file. Each run is a child process of its own, so that its
// peak memory (getrusage, mapped file pages included) is its own. Run: build/bench/bench_batchmemory (databases
// are generated once into /tmp/tovrel-bench; --benchmark_filter=/100000/ for the quick size only)
#include "BenchMain.h"
#include "ContactGenerator.h"

#include "data/ContactStore.h"
#include "reports/Batch.h"
#include "reports/DatasetSource.h"
#include "reports/layouts/PhoneList.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <sys/resource.h>

namespace {

// The child: opens the contacts, writes the phone list, prints "seconds peakMB pages snapshotMB".
int child(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QByteArray mode(argv[2]);
    const bool stream = mode != "keep";
    const QString folder = QString::fromLocal8Bit(argv[3]);
    const QString pdf = QString::fromLocal8Bit(argv[4]);
    QElapsedTimer timer;
    timer.start();
    data::ContactStore store;
    store.configure(folder);
    store.connection.setReadOnce(mode == "stream");
    store.HomeQuery.open();
    const double snapshot = double(store.HomeQuery.memoryUsed()) / (1024.0 * 1024.0);
    reports::DatasetSource source(store.HomeQuery);
    const auto definition = reports::phoneListReport();
    const reports::BatchOutcome outcome = stream ? reports::renderToPdf(definition, source, pdf)
                                                 : reports::renderAllThenPdf(definition, source, pdf);
    const double seconds = timer.nsecsElapsed() / 1e9;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%f %f %d %f\n", seconds, usage.ru_maxrss / 1024.0, outcome.pages, snapshot);
    return 0;
}

void BM_PhoneListBatchPdf(benchmark::State& state, const char* mode)
{
    const int count = int(state.range(0));
    const QString folder = bench::contactsFolder(count);
    QTemporaryDir dir;
    double peak = 0;
    double snapshot = 0;
    int pages = 0;
    for (auto _ : state) {
        QProcess process;
        process.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--child"), QString::fromLatin1(mode), folder,
                       dir.filePath(QStringLiteral("phones.pdf"))});
        if (!process.waitForFinished(-1) || process.exitCode() != 0) {
            state.SkipWithError("the child run failed");
            return;
        }
        const QStringList figures = QString::fromLocal8Bit(process.readAllStandardOutput()).split(u' ');
        state.SetIterationTime(figures.value(0).toDouble());
        peak = std::max(peak, figures.value(1).toDouble());
        pages = figures.value(2).toInt();
        snapshot = figures.value(3).toDouble();
    }
    state.counters["peakMB"] = peak;
    state.counters["snapshotMB"] = snapshot;
    state.counters["pages"] = pages;
}

} // namespace

BENCHMARK_CAPTURE(BM_PhoneListBatchPdf, keep_all_pages, "keep")
    ->Arg(100000)->Arg(1000000)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_PhoneListBatchPdf, stream_pages_mapped_file, "stream-mapped")
    ->Arg(100000)->Arg(1000000)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_PhoneListBatchPdf, stream_pages, "stream")
    ->Arg(100000)->Arg(1000000)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

int main(int argc, char** argv)
{
    if (argc >= 5 && QByteArray(argv[1]) == "--child")
        return child(argc, argv);
    return bench::runBenchmarks(argc, argv, bench::AppKind::Core);
}

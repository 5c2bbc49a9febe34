// Address labels, 21 to a sheet, for 10,000 generated contacts (477 sheets): into pages for the preview, and
// from the rows into a PDF file as the batch mode makes it. Targets: under 1 s and under 3 s.
#include "BenchMain.h"
#include "ContactRecords.h"

#include "reports/Batch.h"
#include "reports/PagePainter.h"
#include "reports/layouts/AddressLabels21.h"
#include "reports/RecordSource.h"
#include "reports/Renderer.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void BM_Labels21Render(benchmark::State& state)
{
    auto source = bench::contactRecords(static_cast<int>(state.range(0)));
    const auto definition = reports::labels21Report();
    reports::Rendering rendering;
    for (auto _ : state) {
        reports::render(definition, source, rendering);
        benchmark::DoNotOptimize(rendering.pages.data());
    }
    state.counters["pages"] = rendering.pageCount();
}

void BM_Labels21Pdf(benchmark::State& state)
{
    auto source = bench::contactRecords(static_cast<int>(state.range(0)));
    const auto definition = reports::labels21Report();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("labels.pdf"));
    int pages = 0;
    for (auto _ : state)
        pages = reports::renderToPdf(definition, source, path).pages;
    state.counters["pages"] = pages;
    state.counters["pdfMB"] = QFileInfo(path).size() / (1024.0 * 1024.0);
}

} // namespace

BENCHMARK(BM_Labels21Render)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Labels21Pdf)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv)
{
    return bench::runBenchmarks(argc, argv, bench::AppKind::Gui);
}

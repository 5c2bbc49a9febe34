// Phone list of 10,000 generated contacts: rendering into pages, writing the PDF, saving the pages.
#include "BenchMain.h"
#include "ContactRecords.h"

#include "reports/PagePainter.h"
#include "reports/layouts/PhoneList.h"
#include "reports/RecordSource.h"
#include "reports/Renderer.h"
#include "reports/ReportFile.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>

namespace {

// What the stored pages take in memory, roughly: the items plus the text they hold.
double storedMegabytes(const reports::Rendering& r)
{
    double bytes = 0;
    for (const reports::Page& page : r.pages) {
        bytes += sizeof(reports::Page) + page.items.capacity() * sizeof(reports::PageItem);
        for (const reports::PageItem& item : page.items)
            if (const auto* text = std::get_if<reports::TextItem>(&item))
                bytes += 32 + text->text.capacity() * 2;
    }
    return bytes / (1024.0 * 1024.0);
}

void BM_PhoneListRender(benchmark::State& state)
{
    auto source = bench::contactRecords(static_cast<int>(state.range(0)));
    const auto definition = reports::phoneListReport();
    reports::Rendering rendering;
    for (auto _ : state) {
        reports::render(definition, source, rendering);
        benchmark::DoNotOptimize(rendering.pages.data());
    }
    state.counters["pages"] = rendering.pageCount();
    state.counters["storedMB"] = storedMegabytes(rendering);
}

void BM_PhoneListPdf(benchmark::State& state)
{
    auto source = bench::contactRecords(static_cast<int>(state.range(0)));
    const auto rendering = reports::render(reports::phoneListReport(), source);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("phones.pdf"));
    for (auto _ : state)
        reports::writePdf(rendering, path);
    state.counters["pages"] = rendering.pageCount();
    state.counters["pdfMB"] = QFileInfo(path).size() / (1024.0 * 1024.0);
}

void BM_PhoneListSaveLoad(benchmark::State& state)
{
    auto source = bench::contactRecords(static_cast<int>(state.range(0)));
    const auto rendering = reports::render(reports::phoneListReport(), source);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("phones.trp"));
    for (auto _ : state) {
        reports::saveReport(rendering, path);
        benchmark::DoNotOptimize(reports::loadReport(path).pages.size());
    }
    state.counters["fileMB"] = QFileInfo(path).size() / (1024.0 * 1024.0);
}

} // namespace

BENCHMARK(BM_PhoneListRender)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PhoneListPdf)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PhoneListSaveLoad)->Arg(10000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    return bench::runBenchmarks(argc, argv, bench::AppKind::Gui);
}

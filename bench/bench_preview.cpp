// The phone list of 10,000 generated contacts read from a real contact database through the shared query:
// into the preview window (events handled after every record, as the user sees it), the bare rendering, the PDF,
// and the memory the stored pages take.
#include "BenchMain.h"
#include "ContactGenerator.h"

#include "data/ContactStore.h"
#include "platform/Fakes.h"
#include "platform/Fonts.h"
#include "reports/DatasetSource.h"
#include "reports/PagePainter.h"
#include "reports/ui/Preview.h"
#include "reports/layouts/PhoneList.h"
#include "reports/Renderer.h"

#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <malloc.h>

namespace {

// One database and one open query for all the benchmarks, as in the running program.
struct Contacts
{
    QTemporaryDir dir;
    data::ContactStore store;
    int count = 0;

    explicit Contacts(int n) : count(n)
    {
        bench::writeContacts(dir.filePath(QStringLiteral("Tovrel.mdb")), n);
        store.configure(dir.path() + QLatin1Char('/'));
        store.HomeQuery.open();
    }
};

Contacts& contacts(int n)
{
    static std::map<int, std::unique_ptr<Contacts>> made;
    auto& slot = made[n];
    if (!slot)
        slot = std::make_unique<Contacts>(n);
    return *slot;
}

double heapMegabytes()
{
    return double(mallinfo2().uordblks) / (1024.0 * 1024.0);
}

void BM_PhoneListIntoPreview(benchmark::State& state)
{
    Contacts& c = contacts(int(state.range(0)));
    reports::DatasetSource source(c.store.HomeQuery);
    reports::ReportDefinition definition = reports::phoneListReport();
    int pages = 0;
    for (auto _ : state) {
        TfmPreview preview(definition, source);
        preview.resize(1200, 900);
        preview.show();
        preview.renderReport();
        pages = preview.shownPages().pageCount();
    }
    state.counters["pages"] = pages;
}

void BM_PhoneListRenderFromQuery(benchmark::State& state)
{
    Contacts& c = contacts(int(state.range(0)));
    reports::DatasetSource source(c.store.HomeQuery);
    const reports::ReportDefinition definition = reports::phoneListReport();
    double stored = 0;
    for (auto _ : state) {
        const double before = heapMegabytes();
        reports::Rendering rendering;
        reports::render(definition, source, rendering);
        stored = heapMegabytes() - before;
        benchmark::DoNotOptimize(rendering.pages.data());
    }
    state.counters["storedMB"] = stored;
}

void BM_PhoneListPdfFromQuery(benchmark::State& state)
{
    Contacts& c = contacts(int(state.range(0)));
    reports::DatasetSource source(c.store.HomeQuery);
    const reports::ReportDefinition definition = reports::phoneListReport();
    const QString path = c.dir.filePath(QStringLiteral("phones.pdf"));
    for (auto _ : state) {
        const reports::Rendering rendering = reports::render(definition, source);
        reports::writePdf(rendering, path);
    }
    state.counters["pdfMB"] = QFileInfo(path).size() / (1024.0 * 1024.0);
}

} // namespace

BENCHMARK(BM_PhoneListIntoPreview)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PhoneListRenderFromQuery)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PhoneListPdfFromQuery)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv)
{
    return bench::runBenchmarks(argc, argv, bench::AppKind::Widgets, [] {
        platform::installFakes();
        platform::installFontSubstitutions();
    });
}

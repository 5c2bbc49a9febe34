// Phone list of 10,000 generated contacts: rendering into pages, writing the PDF, saving the pages.
#include "reports/PagePainter.h"
#include "reports/QReport1.h"
#include "reports/RecordSource.h"
#include "reports/Renderer.h"
#include "reports/ReportFile.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>

namespace {

// Contacts that look like a real address book: repeated surnames and towns, sorted by surname, some
// fields empty, unique e-mail addresses.
reports::MemoryRecordSource generatedContacts(int count)
{
    static const char* const surnames[] = {"Adams",   "Baker",  "Clarke", "Davies",  "Evans",    "Fisher",   "Green",
                                           "Hughes",  "Ince",   "Jones",  "King",    "Lewis",    "Morgan",   "Nash",
                                           "O'Brien", "Price",  "Quinn",  "Roberts", "Smith",    "Taylor",   "Upton",
                                           "Vaughan", "Walker", "Young",  "Zeller",  "de Vries", "MacDonald"};
    static const char* const firstnames[] = {"Alice", "Bob",    "Catherine", "David",     "Eleanor", "Frank",   "Grace",
                                             "Henry", "Isabel", "James",     "Katherine", "Liam",    "Margaret"};
    static const char* const towns[] = {"Bristol", "Cardiff", "Exeter", "Gloucester", "Hereford", "Swansea"};
    quint32 seed = 12345;
    auto next = [&seed](quint32 n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    std::vector<QStringList> rows;
    rows.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const QString surname = QString::fromLatin1(surnames[next(std::size(surnames))]) +
                                (next(3) == 0 ? QStringLiteral("-") + QString::number(next(100)) : QString());
        const QString first = QString::fromLatin1(firstnames[next(std::size(firstnames))]);
        QStringList row(20);
        row[0] = surname;
        row[2] = first;
        row[3] = QStringLiteral("%1 High Street").arg(next(200) + 1);
        row[5] = next(4) == 0 ? QStringLiteral("Little Dean") : QString();
        row[6] = QString::fromLatin1(towns[next(std::size(towns))]);
        row[7] = QStringLiteral("Gloucestershire");
        row[8] = QStringLiteral("GL%1 %2AB").arg(next(20) + 1).arg(next(9) + 1);
        row[10] = QStringLiteral("01452 %1").arg(100000 + next(900000));
        row[11] = next(2) ? QStringLiteral("07700 %1").arg(100000 + next(900000)) : QString();
        row[12] = QStringLiteral("%1.%2%3@example.org").arg(first.toLower(), surname.toLower()).arg(i);
        row[16] = next(3) == 0 ? QStringLiteral("0117 %1").arg(1000000 + next(9000000)) : QString();
        row[18] = surname.left(1);
        rows.push_back(row);
    }
    std::stable_sort(rows.begin(), rows.end(), [](const QStringList& a, const QStringList& b) {
        return a[0].compare(b[0], Qt::CaseInsensitive) < 0;
    });
    return reports::MemoryRecordSource(reports::MemoryRecordSource::contactFields(), std::move(rows));
}

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
    auto source = generatedContacts(static_cast<int>(state.range(0)));
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
    auto source = generatedContacts(static_cast<int>(state.range(0)));
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
    auto source = generatedContacts(static_cast<int>(state.range(0)));
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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

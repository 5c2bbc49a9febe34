// Merged letters for 1,000 contacts with a one-page formatted RTF body: rendering into the preview's pages
// (with the first page drawn, as the preview shows it) and writing the PDF.
#include "ContactRecords.h"

#include "mailmerge/MailMergeQR.h"
#include "reports/PagePainter.h"
#include "reports/RecordSource.h"
#include "reports/Renderer.h"
#include "reports/RichTextLayout.h"
#include "reports/TextMetrics.h"
#include "richtext/RichText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <benchmark/benchmark.h>

namespace {

QString letterFixture()
{
    return QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("../tests/data/rtf/libreoffice-letter.rtf"));
}

// A word processor's letter (heading, bold, italic, several fonts, non-ASCII text, a table, a list), repeated
// until it fills the body area of a page.
QTextDocument& onePageLetter()
{
    static QTextDocument* document = [] {
        QFile file(letterFixture());
        if (!file.open(QIODevice::ReadOnly))
            qFatal("cannot read %s", qPrintable(letterFixture()));
        const QByteArray rtf = file.readAll();
        auto* doc = new QTextDocument;
        QTextDocument part;
        richtext::readDocument(rtf, part, QFont(QStringLiteral("MS Sans Serif"), 8));
        richtext::readDocument(rtf, *doc, QFont(QStringLiteral("MS Sans Serif"), 8));
        auto height = [doc] {
            const auto laidOut = reports::layoutRichText(doc->toHtml(), 188.1);
            return reports::referenceUnitsToMm(laidOut->size().height());
        };
        while (height() < 206.6) {
            QTextCursor end(doc);
            end.movePosition(QTextCursor::End);
            end.insertBlock();
            end.insertFragment(QTextDocumentFragment(&part));
        }
        return doc;
    }();
    return *document;
}

// What the preview does: every page made, the event loop let run after each record, the first page drawn.
void BM_LettersPreview(benchmark::State& state)
{
    QTextDocument& letter = onePageLetter();
    auto source = bench::contactRecords(static_cast<int>(state.range(0)));
    TfmMailQR holder([&letter] { return &letter; });
    QImage screen(QSize(794, 1123), QImage::Format_ARGB32_Premultiplied); // A4 at 96 dpi
    for (auto _ : state) {
        reports::Rendering rendering;
        reports::RenderCallbacks callbacks;
        callbacks.progress = [](int) { QCoreApplication::processEvents(); };
        reports::render(holder.QuickRep1, source, rendering, callbacks);
        QPainter painter(&screen);
        reports::paintPage(painter, rendering, 0, {96 / 25.4, {}, true});
        state.counters["pages"] = rendering.pageCount();
    }
}

void BM_LettersPdf(benchmark::State& state)
{
    QTextDocument& letter = onePageLetter();
    auto source = bench::contactRecords(static_cast<int>(state.range(0)));
    TfmMailQR holder([&letter] { return &letter; });
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("letters.pdf"));
    for (auto _ : state) {
        const reports::Rendering rendering = reports::render(holder.QuickRep1, source);
        reports::writePdf(rendering, path);
        state.counters["pages"] = rendering.pageCount();
    }
    state.counters["pdfMB"] = QFileInfo(path).size() / (1024.0 * 1024.0);
}

} // namespace

BENCHMARK(BM_LettersPreview)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LettersPdf)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);

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

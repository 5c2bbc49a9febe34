// Merged letters for 1,000 contacts with a one-page formatted RTF body: rendering into the preview's pages
// (with the first page drawn, as the preview shows it) and writing the PDF; and the same letter with a picture
// letterhead and ten merge fields, to be compared side by side with the plain one.
#include "BenchMain.h"
#include "ContactRecords.h"

#include "reports/layouts/MergedLetters.h"
#include "reports/PagePainter.h"
#include "reports/RecordSource.h"
#include "reports/Renderer.h"
#include "reports/RichTextLayout.h"
#include "reports/TextMetrics.h"
#include "richtext/RichText.h"

#include <QBuffer>
#include <QDir>
#include <QUrl>
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
#include <map>
#include <memory>

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

// A letter for each contact, rendered and written to a PDF, with the PDF's size as a counter; returns the file,
// left in dir for a further look.
QString lettersToPdf(benchmark::State& state, QTextDocument& letter, const QTemporaryDir& dir)
{
    auto source = bench::contactRecords(static_cast<int>(state.range(0)));
    TfmMailQR holder([&letter] { return &letter; });
    const QString path = dir.filePath(QStringLiteral("letters.pdf"));
    for (auto _ : state) {
        const reports::Rendering rendering = reports::render(holder.QuickRep1, source);
        reports::writePdf(rendering, path);
        state.counters["pages"] = rendering.pageCount();
    }
    state.counters["pdfMB"] = QFileInfo(path).size() / (1024.0 * 1024.0);
    return path;
}

void BM_LettersPdf(benchmark::State& state)
{
    QTemporaryDir dir;
    lettersToPdf(state, onePageLetter(), dir);
}

// The same letter with a picture letterhead at its top and ten merge fields, as a mail merge letter has them.
QTextDocument& mergedLetter()
{
    static QTextDocument* document = [] {
        auto* doc = onePageLetter().clone();
        QImage logo(QSize(600, 120), QImage::Format_RGB32);
        logo.fill(QColor(30, 60, 150));
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        logo.save(&buffer, "PNG");
        QByteArray head = "{\\rtf1{\\pict\\pngblip\\picwgoal9000\\pichgoal1800 " + png.toHex() + "}\\par ";
        for (const char* field : {"Firstname", "Surname", "Address1", "Address2", "A3_Village", "Town", "County",
                                  "PostCode", "Country", "Email"})
            head += QByteArray("{\\field{\\*\\fldinst MERGEFIELD ") + field + "}} ";
        head += "\\par}";
        QTextDocument top;
        richtext::readDocument(head, top, QFont(QStringLiteral("MS Sans Serif"), 8));
        QTextCursor start(doc);
        start.insertFragment(QTextDocumentFragment(&top));
        start.insertBlock();
        // The fragment carries the formats but not the picture itself.
        for (const auto& [name, image] : reports::richTextImages(top))
            doc->addResource(QTextDocument::ImageResource, QUrl(name), image);
        return doc;
    }();
    return *document;
}

void BM_MergedLettersPdf(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = lettersToPdf(state, mergedLetter(), dir);
    QFile pdf(path);
    pdf.open(QIODevice::ReadOnly);
    state.counters["pdfImages"] = double(pdf.readAll().count("/Subtype /Image"));
    // For a look with other tools (pdfimages -list): the file is kept where this names.
    const QString keep = qEnvironmentVariable("TOVREL_BENCH_KEEP_PDF");
    if (!keep.isEmpty()) {
        QFile::remove(keep);
        QFile::copy(path, keep);
    }
}

// A letter body of many short paragraphs, or of one paragraph that is a single long word, as long as the
// argument says; three letters rendered. Only the first page's worth is printed, so the time should grow in step
// with the length at most: compare 10,000 with 40,000 paragraphs, and 200 KB with 2 MB, in one run.
QTextDocument& longBody(bool paragraphs, int size)
{
    static std::map<std::pair<bool, int>, std::unique_ptr<QTextDocument>> made;
    auto& doc = made[{paragraphs, size}];
    if (!doc) {
        doc = std::make_unique<QTextDocument>();
        QTextCursor cursor(doc.get());
        if (paragraphs) {
            QString text;
            for (int i = 0; i < size; ++i)
                text += QStringLiteral("Line %1 of the letter.\n").arg(i);
            cursor.insertText(text);
        } else {
            cursor.insertText(QString(size, QLatin1Char('w')));
        }
    }
    return *doc;
}

// Rendered and written to a PDF, as `--report letters` does.
void BM_LongLetterBody(benchmark::State& state)
{
    QTextDocument& body = longBody(state.range(0) != 0, static_cast<int>(state.range(1)));
    auto source = bench::contactRecords(3);
    QTemporaryDir dir;
    for (auto _ : state) {
        TfmMailQR holder([&body] { return &body; });
        const reports::Rendering rendering = reports::render(holder.QuickRep1, source);
        reports::writePdf(rendering, dir.filePath(QStringLiteral("letters.pdf")));
        benchmark::DoNotOptimize(rendering.pageCount());
    }
    state.counters["chars"] = body.characterCount();
}

// The same bodies as the editor prints them: every page of the letter made.
void BM_LongLetterPrintout(benchmark::State& state)
{
    QTextDocument& body = longBody(state.range(0) != 0, static_cast<int>(state.range(1)));
    for (auto _ : state) {
        const reports::Rendering rendering = reports::documentPages(body, QString());
        state.counters["pages"] = rendering.pageCount();
    }
    state.counters["chars"] = body.characterCount();
}

} // namespace

BENCHMARK(BM_LettersPreview)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LettersPdf)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MergedLettersPdf)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);
// {1: paragraphs, 0: one long word}, length.
BENCHMARK(BM_LongLetterBody)
    ->Args({1, 10000})
    ->Args({1, 40000})
    ->Args({0, 200000})
    ->Args({0, 2000000})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_LongLetterPrintout)
    ->Args({1, 10000})
    ->Args({1, 40000})
    ->Args({0, 200000})
    ->Args({0, 2000000})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

int main(int argc, char** argv)
{
    return bench::runBenchmarks(argc, argv, bench::AppKind::Gui);
}

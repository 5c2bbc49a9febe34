// Reading and writing large documents: the reader must stay linear in the size of the input.
#include "BenchMain.h"
#include "reports/Pages.h"
#include "reports/RichTextLayout.h"
#include "richtext/RichText.h"

#include <QBuffer>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextDocument>

#include <benchmark/benchmark.h>
#include <cmath>

namespace {

// About 50 MB of RTF like a word processor writes it: formatted runs, code page bytes, \uN, tables.
QByteArray makeRtf(qsizetype targetSize)
{
    QByteArray rtf = R"({\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0\froman Times New Roman;}{\f1\fswiss Arial;}})"
                     R"({\colortbl;\red255\green0\blue0;}{\info{\title Letter}})"
                     "\n";
    const QByteArray paragraph = R"(\pard\qj\li720\fi-360 {\f1\fs28\b Dear} caf\'e9 na\u239?ve {\i\cf1 red} )"
                                 R"(text text text text text text text text\par)"
                                 "\n"
                                 R"(\trowd\cellx2000\cellx4000\pard\intbl a\cell b\cell\row\pard)"
                                 "\n";
    while (rtf.size() < targetSize)
        rtf += paragraph;
    rtf += '}';
    return rtf;
}

QByteArray makePlain(qsizetype targetSize)
{
    QByteArray text;
    const QByteArray line = "A plain line of text with an accent: caf\xC3\xA9 and some more words\r\n";
    while (text.size() < targetSize)
        text += line;
    return text;
}

void BM_ReadRtf(benchmark::State& state)
{
    const QByteArray rtf = makeRtf(state.range(0) << 20);
    const QFont base(QStringLiteral("MS Sans Serif"), 8);
    for (auto _ : state) {
        QTextDocument doc;
        richtext::readDocument(rtf, doc, base);
        benchmark::DoNotOptimize(doc.blockCount());
    }
    state.SetBytesProcessed(state.iterations() * rtf.size());
}
BENCHMARK(BM_ReadRtf)->Arg(5)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ReadPlainText(benchmark::State& state)
{
    const QByteArray text = makePlain(state.range(0) << 20);
    const QFont base(QStringLiteral("MS Sans Serif"), 8);
    for (auto _ : state) {
        QTextDocument doc;
        richtext::readDocument(text, doc, base);
        benchmark::DoNotOptimize(doc.blockCount());
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_ReadPlainText)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_WriteRtf(benchmark::State& state)
{
    const QByteArray rtf = makeRtf(state.range(0) << 20);
    QTextDocument doc;
    richtext::readDocument(rtf, doc, QFont(QStringLiteral("MS Sans Serif"), 8));
    for (auto _ : state)
        benchmark::DoNotOptimize(richtext::writeRtf(doc).size());
}
BENCHMARK(BM_WriteRtf)->Arg(5)->Unit(benchmark::kMillisecond)->Iterations(1);

// A PNG of about `bytes` that does not compress: noise.
QByteArray noisePng(int bytes, quint32 seed)
{
    const int side = int(std::sqrt(bytes / 3.0));
    QImage image(side, side, QImage::Format_RGB888);
    QRandomGenerator random(seed);
    for (int y = 0; y < side; ++y)
        random.fillRange(reinterpret_cast<quint32*>(image.scanLine(y)), image.bytesPerLine() / 4);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

// A ten-page letter as a word processor writes it, with five pictures (2 MB of PNG in all) and three tables.
QByteArray pictureLetter()
{
    QByteArray rtf = R"({\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0\froman Times New Roman;}{\f1\fswiss Arial;}})"
                     "\n";
    const QByteArray paragraph = R"(\pard\qj\sa120 {\f1\fs22 Dear friend,} caf\'e9 na\u239?ve {\i text} text text )"
                                 R"(text text text text text text text text text text text text text text text\par)"
                                 "\n";
    for (int page = 0; page < 10; ++page) {
        for (int i = 0; i < 15 + page % 2; ++i)
            rtf += paragraph;
        if (page % 2 == 0) {
            const QByteArray png = noisePng(400 * 1024, quint32(page));
            rtf += R"({\*\shppict{\pict\pngblip\picwgoal4000\pichgoal4000 )";
            const QByteArray hex = png.toHex();
            for (qsizetype at = 0; at < hex.size(); at += 128)
                rtf += hex.mid(at, 128) + '\n';
            rtf += "}}\\par\n";
        }
        if (page % 3 == 1) {
            for (int row = 0; row < 8; ++row)
                rtf += R"(\trowd\trgaph108\cellx2000\cellx5000\cellx9000\pard\intbl Item\cell {\b Price}\cell Note\cell\row)"
                       "\n";
            rtf += "\\pard\\par\n";
        }
    }
    rtf += '}';
    return rtf;
}

void BM_OpenPictureLetter(benchmark::State& state)
{
    const QByteArray rtf = pictureLetter();
    const QFont base(QStringLiteral("MS Sans Serif"), 8);
    for (auto _ : state) {
        QTextDocument doc;
        richtext::readDocument(rtf, doc, base);
        benchmark::DoNotOptimize(doc.blockCount());
    }
    state.counters["rtfMB"] = rtf.size() / (1024.0 * 1024.0);
    // The size as printed: A4 pages of the editor's printout.
    QTextDocument doc;
    richtext::readDocument(rtf, doc, base);
    state.counters["pages"] = reports::documentPages(doc, QString()).pageCount();
}
BENCHMARK(BM_OpenPictureLetter)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SavePictureLetter(benchmark::State& state)
{
    const QByteArray rtf = pictureLetter();
    QTextDocument doc;
    richtext::readDocument(rtf, doc, QFont(QStringLiteral("MS Sans Serif"), 8));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("letter.rtf"));
    for (auto _ : state)
        richtext::saveFile(path, doc);
}
BENCHMARK(BM_SavePictureLetter)->Unit(benchmark::kMillisecond)->Iterations(5);

// Letter shapes that once grew faster than their size; each is run at two sizes four times apart, and the time of
// the larger must stay within five times the smaller's.
enum class Shape { TableRows, CellsWithoutRow, LongWord, Pictures };

QByteArray shapeRtf(Shape shape, int count)
{
    QByteArray rtf = R"({\rtf1\ansi\deff0{\fonttbl{\f0\froman Times New Roman;}}\pard Dear Ann,\par)"
                     "\n";
    switch (shape) {
    case Shape::TableRows:
        for (int row = 0; row < count; ++row)
            rtf += R"(\trowd\cellx2000\cellx5000\pard\intbl Item\cell 12.50\cell\row)"
                   "\n";
        rtf += "\\pard\\par\n";
        break;
    case Shape::CellsWithoutRow:
        rtf += R"(\trowd\cellx2000\cellx5000\pard)";
        for (int cell = 0; cell < count; ++cell)
            rtf += "\\intbl x\\cell\n";
        break;
    case Shape::LongWord:
        rtf += QByteArray(count, 'w');
        break;
    case Shape::Pictures: {
        const QByteArray hex = noisePng(300, 1).toHex();
        for (int picture = 0; picture < count; ++picture)
            rtf += R"({\pict\pngblip\picwgoal200\pichgoal200 )" + hex + "}\n";
        break;
    }
    }
    rtf += '}';
    return rtf;
}

void BM_ReadLetterShape(benchmark::State& state)
{
    const QByteArray rtf = shapeRtf(Shape(state.range(0)), int(state.range(1)));
    const QFont base(QStringLiteral("MS Sans Serif"), 8);
    for (auto _ : state) {
        QTextDocument doc;
        richtext::readDocument(rtf, doc, base);
        // Printed as well: the printing copy is read again from HTML and laid out at the reference resolution,
        // where pictures and very tall letters cost.
        const reports::Rendering printed = reports::documentPages(doc, QString());
        benchmark::DoNotOptimize(printed.pageCount());
        state.counters["pages"] = printed.pageCount();
    }
}
BENCHMARK(BM_ReadLetterShape)
    ->ArgNames({"shape", "count"})
    ->Args({int(Shape::TableRows), 5000})
    ->Args({int(Shape::TableRows), 20000})
    ->Args({int(Shape::CellsWithoutRow), 12500})
    ->Args({int(Shape::CellsWithoutRow), 50000})
    ->Args({int(Shape::LongWord), 1 << 20})
    ->Args({int(Shape::LongWord), 4 << 20})
    ->Args({int(Shape::Pictures), 2000})
    ->Args({int(Shape::Pictures), 8000})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    return bench::runBenchmarks(argc, argv, bench::AppKind::Gui);
}

// Reading and writing large documents: the reader must stay linear in the size of the input.
#include "richtext/RichText.h"

#include <QFont>
#include <QGuiApplication>
#include <QTextDocument>

#include <benchmark/benchmark.h>

namespace {

// About 50 MB of RTF like a word processor writes it: formatted runs, code page bytes, \uN, tables.
QByteArray makeRtf(qsizetype targetSize)
{
    QByteArray rtf = R"({\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0\froman Times New Roman;}{\f1\fswiss Arial;}})"
                     R"({\colortbl;\red255\green0\blue0;}{\info{\title Letter}})" "\n";
    const QByteArray paragraph = R"(\pard\qj\li720\fi-360 {\f1\fs28\b Dear} caf\'e9 na\u239?ve {\i\cf1 red} )"
                                 R"(text text text text text text text text\par)" "\n"
                                 R"(\trowd\cellx2000\cellx4000\pard\intbl a\cell b\cell\row\pard)" "\n";
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

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// libFuzzer target for the RTF reader (clang only):
//   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVREL_FUZZ=ON \
//       -DTOVREL_TESTS=OFF && cmake --build build-fuzz --target fuzz_rtf
//   build-fuzz/bench/fuzz_rtf -dict=bench/fuzz_rtf.dict -max_len=4096 -timeout=10 corpus/ tests/data/rtf
// Any input must read, or be refused with the load error, without a crash, a hang or a sanitizer report;
// and what the writer makes of the result (tables, pictures, links and merge fields included) must read back
// to the same text, pictures being one character each, and write the same again.
#include "platform/AppError.h"
#include "richtext/RichText.h"

#include <QFont>
#include <QGuiApplication>
#include <QTextBlock>
#include <QTextDocument>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

QString paragraphs(const QTextDocument& doc)
{
    QString text;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        text += b.text() + QLatin1Char('\n');
    return text;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QFont base(QStringLiteral("MS Sans Serif"), 8);
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QTextDocument doc;
    try {
        richtext::readDocument(bytes, doc, base);
    } catch (const platform::AppError& e) {
        if (e.message() != QLatin1String("Failed to Load Stream"))
            std::abort();
        return 0;
    }
    (void)richtext::unkeptContent(doc);
    const richtext::MergeTemplate merge(doc, [](const QTextDocument& d) { return d.toPlainText(); });
    (void)merge.fill([](const QString& name) -> std::optional<QString> {
        return name.size() % 2 ? std::optional(name) : std::nullopt;
    }, nullptr);
    const QByteArray written = richtext::writeRtf(doc);
    QTextDocument copy;
    richtext::readDocument(written, copy, base);
    if (paragraphs(copy) != paragraphs(doc)) {
        std::fprintf(stderr, "round trip changed the text\n");
        std::abort();
    }
    if (richtext::writeRtf(copy) != written) {
        std::fprintf(stderr, "a second round trip changed the file\n");
        std::abort();
    }
    return 0;
}

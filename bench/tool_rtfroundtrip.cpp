// Opens an RTF letter as the editor does and saves it unchanged, to compare both in a word processor:
// tool_rtfroundtrip IN.rtf OUT.rtf. Prints what the editor could not keep, as its save question names it.
#include "richtext/RichText.h"

#include <QFont>
#include <QGuiApplication>
#include <QTextDocument>
#include <cstdio>

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: tool_rtfroundtrip IN.rtf OUT.rtf\n");
        return 2;
    }
    QTextDocument document;
    try {
        richtext::loadFile(QString::fromLocal8Bit(argv[1]), document, QFont(QStringLiteral("MS Sans Serif"), 8));
        richtext::saveFile(QString::fromLocal8Bit(argv[2]), document);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    for (const QString& what : richtext::unkeptContent(document))
        std::printf("not kept: %s\n", qPrintable(what));
    return 0;
}

#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>

namespace bench {

// Which application object a benchmark needs: none of Qt's windows, the painter and fonts, or widgets too.
enum class AppKind { Core, Gui, Widgets };

// A benchmark program's main(): the application object (offscreen, unless the caller set a platform), then
// Google Benchmark over the program's arguments. `prepare` runs once the application object exists.
inline int runBenchmarks(int argc, char** argv, AppKind kind, const std::function<void()>& prepare = {})
{
    if (kind != AppKind::Core && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app;
    switch (kind) {
    case AppKind::Core:
        app = std::make_unique<QCoreApplication>(argc, argv);
        break;
    case AppKind::Gui:
        app = std::make_unique<QGuiApplication>(argc, argv);
        break;
    case AppKind::Widgets:
        app = std::make_unique<QApplication>(argc, argv);
        break;
    }
    if (prepare)
        prepare();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace bench

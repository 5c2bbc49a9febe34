// Pictures of the program's windows for the manual, taken without a screen while the program is built, so that
// they always show the windows as they are.
//
//   manual_pictures FOLDER
//
// Starts the program over a few dozen generated contacts, opens each window that the main window's commands show
// and writes it as FOLDER/shot-<command>.png (the main window as shot-main.png). A window that this build does not
// have is skipped; the manual leaves its picture out.

#include "app/Application.h"
#include "mainwindow/MainWindow.h"
#include "bench/ContactGenerator.h"
#include "platform/Fakes.h"
#include "platform/ProgramFolder.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

namespace {

QSet<QWidget*> visibleWindows()
{
    QSet<QWidget*> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
            windows.insert(w);
    return windows;
}

bool save(QWidget* window, const QString& path)
{
    const bool saved = window->grab().save(path, "PNG");
    if (!saved)
        std::fprintf(stderr, "manual_pictures: cannot write %s\n", qPrintable(path));
    return saved;
}

// Runs a command and pictures the window it brings up. A modal window is taken from inside its own event loop
// and closed, so that the command returns.
bool shoot(app::Application& application, platform::Command command, const QDir& folder)
{
    if (!application.hasCommand(command))
        return true;
    const QSet<QWidget*> before = visibleWindows();
    bool taken = false;
    bool saved = true;
    const auto take = [&] {
        if (taken)
            return;
        for (QWidget* window : visibleWindows()) {
            if (before.contains(window))
                continue;
            taken = true;
            saved = save(window, folder.filePath(QStringLiteral("shot-%1.png").arg(platform::commandName(command))));
            window->close();
            return;
        }
    };
    QTimer::singleShot(0, qApp, take);
    application.runCommand(command);
    QCoreApplication::processEvents();
    take();
    return saved;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication qtApp(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: manual_pictures FOLDER\n");
        return 2;
    }
    QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral(".")))
        return 1;
    for (const QString& old : folder.entryList({QStringLiteral("shot-*.png")}))
        folder.remove(old);

    // A window that waits for something nobody will do here must fail the build, not hang it.
    QTimer::singleShot(120000, qApp, [] {
        std::fprintf(stderr, "manual_pictures: a window did not close; giving up\n");
        std::_Exit(3);
    });

    QTemporaryDir programFolder;
    bench::writeContacts(programFolder.filePath(QStringLiteral("Tovrel.mdb")), 40, 7);
    platform::setProgramFolder(programFolder.path());
    platform::installFakes(); // no box waits for an answer, no sound, no printer
    app::Application application;
    application.startUp();
    if (!application.fmHomeAddMain)
        return 1;
    QCoreApplication::processEvents();

    bool saved = save(application.fmHomeAddMain, folder.filePath(QStringLiteral("shot-main.png")));
    using platform::Command;
    for (const Command command : {Command::RecordCard, Command::FormView, Command::SearchDialog, Command::CountyEditor,
                                  Command::MailMerge, Command::Notepad, Command::HelpNote, Command::About})
        saved = shoot(application, command, folder) && saved;
    return saved ? 0 : 1;
}

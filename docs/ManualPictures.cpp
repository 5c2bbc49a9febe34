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
#include "reports/ui/Preview.h"

#include <QApplication>
#include <QDir>
#include <QImage>
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

// Drawn at twice the screen's resolution, so that the text stays sharp at the size the manual prints it; the file
// says so (192 dots per inch), and the manual's layout sizes it by that.
bool save(QWidget* window, const QString& path)
{
    constexpr int Scale = 2;
    QImage image(window->size() * Scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(Scale);
    image.fill(window->palette().color(QPalette::Window));
    window->render(&image);
    const int dotsPerMetre = qRound(Scale * 96 / 0.0254);
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    const bool saved = image.save(path, "PNG");
    if (!saved)
        std::fprintf(stderr, "manual_pictures: cannot write %s\n", qPrintable(path));
    return saved;
}

// Runs a command and pictures the window it brings up, once it has finished drawing (a preview once its pages are
// made). A modal window is taken from inside its own event loop and closed, so that the command returns.
bool shoot(app::Application& application, platform::Command command, const QDir& folder)
{
    if (!application.hasCommand(command))
        return true;
    const QSet<QWidget*> before = visibleWindows();
    bool taken = false;
    bool saved = true;
    QTimer look;
    look.setInterval(0);
    QObject::connect(&look, &QTimer::timeout, qApp, [&] {
        for (QWidget* window : visibleWindows()) {
            if (before.contains(window) || window->windowType() == Qt::Popup)
                continue;
            if (const auto* preview = qobject_cast<TfmPreview*>(window); preview && preview->isRendering())
                return;
            taken = true;
            look.stop();
            saved = save(window, folder.filePath(QStringLiteral("shot-%1.png").arg(platform::commandName(command))));
            window->close();
            return;
        }
    });
    look.start();
    application.runCommand(command);
    // A window that is not modal shows once its events are through; one that never shows has no picture.
    for (int round = 0; round < 1000 && !taken; ++round)
        QCoreApplication::processEvents();
    look.stop();
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
    for (const Command command :
         {Command::RecordCard, Command::FormView, Command::SearchDialog, Command::CountyEditor, Command::PhoneList,
          Command::StockLabels, Command::Envelopes, Command::MailMerge, Command::Notepad, Command::HelpNote,
          Command::About})
        saved = shoot(application, command, folder) && saved;
    return saved ? 0 : 1;
}

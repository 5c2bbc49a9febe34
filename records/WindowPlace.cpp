#include "records/WindowPlace.h"

#include "app/Application.h"
#include "mainwindow/HomeGrid.h"
#include "platform/ProgramFolder.h"

#include <QCoreApplication>

#include <QWidget>

namespace records {

QString settingsFileName()
{
    return platform::programFile(QStringLiteral("TovrelIni.ini"));
}

int closingStatus(const QWidget& window)
{
    return window.isActiveWindow() ? 1 : 2;
}

bool programIsEnding()
{
    if (QCoreApplication::closingDown())
        return true;
    const TfmHomeAddMain* main = app::Application::exists() ? app::Application::instance().fmHomeAddMain : nullptr;
    return main && !main->isVisible();
}

bool isNormalState(const QWidget& window)
{
    return !(window.windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

} // namespace records

#include "records/WindowPlace.h"

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

bool programIsEnding(const QWidget& window)
{
    if (QCoreApplication::closingDown())
        return true;
    const QWidget* main = window.parentWidget();
    return main && !main->isVisible();
}

bool isNormalState(const QWidget& window)
{
    return !(window.windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

} // namespace records

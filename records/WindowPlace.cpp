#include "records/WindowPlace.h"

#include "platform/ProgramFolder.h"

#include <QWidget>

namespace records {

QString settingsFileName() { return platform::programFile(QStringLiteral("TovrelIni.ini")); }

int closingStatus(const QWidget& window) { return window.isActiveWindow() ? 1 : 2; }

bool isNormalState(const QWidget& window)
{
    return !(window.windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

} // namespace records

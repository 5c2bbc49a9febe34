#include "support/Python.h"

#include <QStandardPaths>

namespace testsupport {

QString python()
{
    const QString name = QStringLiteral("python3");
    const QString system =
        QStandardPaths::findExecutable(name, {QStringLiteral("/usr/bin"), QStringLiteral("/usr/local/bin")});
    return system.isEmpty() ? QStandardPaths::findExecutable(name) : system;
}

} // namespace testsupport

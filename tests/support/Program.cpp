#include "support/Program.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QtGlobal>

namespace testsupport {

Run tovrel(const QStringList& arguments, const std::function<void()>& whileRunning)
{
    QProcess process;
    process.start(QStringLiteral(TOVREL_BINARY), arguments);
    if (!process.waitForStarted())
        qFatal("tovrel did not start");
    const QDeadlineTimer deadline(120000);
    while (!process.waitForFinished(whileRunning ? 20 : 1000)) {
        if (process.state() == QProcess::NotRunning)
            break;
        if (deadline.hasExpired())
            qFatal("tovrel did not finish");
        if (whileRunning)
            whileRunning();
    }
    if (whileRunning)
        whileRunning();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

} // namespace testsupport

#include "app/StopSignals.h"

#include "app/Application.h"
#include "mainwindow/MainWindow.h"
#include "platform/Console.h"
#include "platform/ProgramFolder.h"
#include "platform/ui/ErrorBox.h"
#include "sync/SyncCli.h"
#include "sync/ui/SyncCommands.h"

#include <QApplication>
#include <QDialog>
#include <QSet>
#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace app {

namespace {

constexpr std::array<int, 3> Signals = {SIGTERM, SIGINT, SIGHUP};
int wakeFds[2] = {-1, -1};
struct sigaction former[Signals.size()];

// All a signal handler may safely do: one byte into the pipe the event loop watches.
extern "C" void onStopSignal(int signal)
{
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    (void)!::write(wakeFds[1], &byte, 1);
    errno = saved;
}

} // namespace

StopSignals::StopSignals(std::function<void()> stop) : m_stop(std::move(stop))
{
    if (::pipe2(wakeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        wakeFds[0] = wakeFds[1] = -1;
        return; // the signals then end the program as before
    }
    m_notifier = std::make_unique<QSocketNotifier>(wakeFds[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(wakeFds[0], bytes, sizeof bytes) > 0) {
        }
        if (m_stop)
            m_stop();
    });
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (size_t i = 0; i < Signals.size(); ++i)
        ::sigaction(Signals[i], &action, &former[i]);
}

StopSignals::~StopSignals()
{
    if (wakeFds[0] < 0)
        return;
    for (size_t i = 0; i < Signals.size(); ++i)
        ::sigaction(Signals[i], &former[i], nullptr);
    m_notifier.reset();
    ::close(wakeFds[0]);
    ::close(wakeFds[1]);
    wakeFds[0] = wakeFds[1] = -1;
}

namespace {

bool stopped = false;

// Held from the first stop signal to the end of the process: nothing asks any more.
platform::ErrorsToConsole* noQuestions = nullptr;

} // namespace

bool stoppedBySignal()
{
    return stopped;
}

std::unique_ptr<StopSignals> closeOnStopSignals(Application& application)
{
    return std::make_unique<StopSignals>([&application] {
        stopped = true;
        if (!noQuestions)
            noQuestions = new platform::ErrorsToConsole;
        // A box or dialog left open (Close's own error box, a question, a progress window) would hold the close
        // up until somebody answers it: it is answered as Cancel would, and whatever opened it goes on without
        // asking. A sync in progress is cancelled that way too.
        QSet<QWidget*> answered;
        while (QWidget* modal = QApplication::activeModalWidget()) {
            if (answered.contains(modal))
                break;
            answered.insert(modal);
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            else
                modal->close();
        }
        if (application.fmHomeAddMain)
            application.fmHomeAddMain->closeWithoutQuestions();
        // A close already under way (behind the box just answered) finishes as the stack unwinds; the program ends
        // all the same.
        QCoreApplication::quit();
    });
}

void finishWindowedRun(Application& application)
{
    if (!stopped) {
        sharing::syncAtExitIfAsked(application.store);
        return;
    }
    if (sharing::readSyncAccount(platform::programFile(QStringLiteral("TovrelIni.ini"))).syncAtExit)
        platform::printError(QStringLiteral("The synchronisation at exit was left out, as the program was told to "
                                            "stop; the next one takes up the changes"));
}

} // namespace app

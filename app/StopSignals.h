#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace app {

class Application;

// While it lives, SIGTERM, SIGINT and SIGHUP (a logout or shutdown, Ctrl+C in the terminal, the terminal closed)
// run `stop` on the event loop instead of ending the process where it stands. A second signal of the same kind ends
// the process at once, for a close that hangs. One at a time.
class StopSignals : public QObject
{
public:
    explicit StopSignals(std::function<void()> stop);
    ~StopSignals() override;
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    std::function<void()> m_stop;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

// What the windowed program does on those signals: answers any open box or dialog as Cancel would, closes its main
// window as Close does without questions (errors to standard error from then on) and ends the event loop.
[[nodiscard]] std::unique_ptr<StopSignals> closeOnStopSignals(Application& application);

// Whether closeOnStopSignals' stop has run in this process.
[[nodiscard]] bool stoppedBySignal();

// What the windowed program does once its event loop has ended: the synchronisation at exit where it is asked for,
// except after a stop signal, which waits for no server and no password (said on standard error instead).
void finishWindowedRun(Application& application);

} // namespace app

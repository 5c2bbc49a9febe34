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

// What the windowed program does on those signals: closes its main window as Close does, without questions.
[[nodiscard]] std::unique_ptr<StopSignals> closeOnStopSignals(Application& application);

} // namespace app

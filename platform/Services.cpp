#include "platform/Services.h"

namespace platform {

namespace {

class SystemClock final : public Clock
{
public:
    QDateTime now() override { return QDateTime::currentDateTime(); }
};

} // namespace

Services& services()
{
    // The windows' own services come from installRealServices() (or a test's fakes); the clock needs no window.
    static Services s = [] {
        Services made;
        made.clock = std::make_unique<SystemClock>();
        return made;
    }();
    return s;
}

} // namespace platform

#pragma once

#include <QString>
#include <utility>

class QWidget;

namespace platform {

// The text as the default error box shows it: a full stop is added unless the last
// character is a full stop or sorts before one.
[[nodiscard]] QString withFullStop(const QString& text);

// The application's report of an error no handler dealt with: caption "Tovrel", error icon, OK.
void showDefaultError(const QString& text);

// While one lives, the default error box is written to standard error instead: the program is being stopped (a
// logout, a shutdown) and nobody is there to answer a box.
class ErrorsToConsole
{
public:
    ErrorsToConsole();
    ~ErrorsToConsole();
    ErrorsToConsole(const ErrorsToConsole&) = delete;
    ErrorsToConsole& operator=(const ErrorsToConsole&) = delete;
};
[[nodiscard]] bool errorsGoToConsole();

// Runs a handler and turns any error it throws into the default error box. Returns false on error.
// Qt does not carry exceptions through its event loop, so every handler that may throw runs inside one.
template <class F>
bool guard(F&& handler);

bool reportCurrentException();

template <class F>
bool guard(F&& handler)
{
    try {
        std::forward<F>(handler)();
        return true;
    } catch (...) {
        return reportCurrentException();
    }
}

} // namespace platform

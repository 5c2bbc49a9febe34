#pragma once

#include <QString>

class QWidget;

namespace records {

// The layout settings file of the program folder, shared by the main window, the form view and the record card.
[[nodiscard]] QString settingsFileName();

// The state code a closing form view or record card writes: 1 when it is the active window, otherwise 2.
[[nodiscard]] int closingStatus(const QWidget& window);

// True once the main window (the window's owner) has closed: windows closed from then on are closed by the program's
// end, and a window still open at the end saves no layout.
[[nodiscard]] bool programIsEnding(const QWidget& window);

// Neither minimised nor maximised.
[[nodiscard]] bool isNormalState(const QWidget& window);

} // namespace records

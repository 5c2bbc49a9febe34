#pragma once

#include <QString>
#include <functional>

#include <QColor>

class QLabel;
class QWidget;

namespace platform {

// Escape in any control of the window does what its Close or Cancel does (by default: closes it).
void closeOnEscape(QWidget* window, std::function<void()> action = {});

// Moves and, where it must, shrinks a window about to be shown so that the whole of it, frame included, lies on the
// available area of its screen.
void keepOnScreen(QWidget& window);

// From now on, every window of the program is kept wholly on its screen as it is shown (see keepOnScreen), but
// for one put back where the settings file kept it (placeWindow), which stays where the user left it.
void keepWindowsOnScreen();

// Gives a control a label a screen reader finds (a hidden label whose buddy it is), for controls that take their
// spoken name from their content instead of the name set on them, as a combo box does on Linux. Call it once the
// control has its final parent; the label goes with the control.
void labelForReader(QWidget* control, const QString& text);

// From now on, Ctrl+Tab and Ctrl+Shift+Tab move the focus on from a text box that takes Tab as a character (a
// letter's text), as they do from the contact grid: otherwise the keyboard cannot leave it.
void ctrlTabLeavesTextBoxes();

// Shows text in a status label and passes it on to a screen reader, which does not follow a label's text by itself:
// the label's name changes and it raises an alert, the control with the focus carries the text as its
// description until the focus leaves it, and a notification named with the text appears in the focused window.
void announce(QLabel* label, const QString& text);

// Tells a screen reader something without showing it, the way announce does.
void tellReader(const QString& text);

// The contrast ratio of two colours as WCAG 2.1 defines it: 1 (the same) to 21 (black on white).
[[nodiscard]] double contrastRatio(const QColor& a, const QColor& b);
// colour made darker, as little as it takes, until text in "against" on it (or it on "against") reaches ratio.
[[nodiscard]] QColor darkenedFor(const QColor& colour, const QColor& against, double ratio = 4.5);

// The text size chosen in the program (normal, large, larger), kept in the settings file and applied at start-up
// by scaling the whole interface, so that fixed layouts grow with their text.
enum class TextSize { Normal = 0, Large = 1, Larger = 2 };
[[nodiscard]] double textScale(TextSize size);
[[nodiscard]] TextSize readTextSize(const QString& settingsFile);
void writeTextSize(const QString& settingsFile, TextSize size);
// Before the application object is made: multiplies any scale factor already asked for by the chosen text size.
void applyTextSizeBeforeStart(const QString& settingsFile);

} // namespace platform

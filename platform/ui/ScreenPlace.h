#pragma once

#include <QList>
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// Where a window stands, as the settings file keeps it: the top-left corner of its frame and the size of its client
// area. Saved and restored the same way, a window comes back where it was under a window manager that adds a
// frame as under one that adds none; the frame's size is never part of what is kept.
namespace platform {

struct ScreenPlace
{
    QPoint frame;  // top-left corner of the frame (of the client area when there is no frame)
    QSize client;  // size of the client area
    bool operator==(const ScreenPlace&) const = default;
};

// The least of a title bar that must lie on a screen for the window to be dragged back.
inline constexpr int TitleBarGrip = 40;

// A place brought onto the screens: the client size at least the minimum and no larger than the nearest screen
// leaves room for, and, when the title bar (the top of the frame, or of the window without a frame) would be off
// every screen or the size had to change, the whole window moved onto the nearest screen. Other places stay as
// they are, partly off a screen included. Screens are their available areas.
[[nodiscard]] ScreenPlace fitOnScreens(ScreenPlace wanted, QMargins frame, QSize minimum, const QList<QRect>& screens);

// The window's place now.
[[nodiscard]] ScreenPlace screenPlaceOf(const QWidget& window);

// Puts a window that is not shown at the given place, brought onto the screens first. Called before the window
// shows: a position applied after it is made but before the window manager has framed it lands shifted by the
// frame. An empty client size keeps the window's size.
void placeWindow(QWidget& window, ScreenPlace place);
// The property placeWindow() sets on a window it placed.
inline constexpr const char* PlacedFromSettings = "tovrelPlacedFromSettings";

} // namespace platform

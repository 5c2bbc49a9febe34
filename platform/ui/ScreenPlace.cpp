#include "platform/ui/ScreenPlace.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>
#include <limits>

namespace platform {

namespace {

// Rectangles in 64 bits: a hand-edited settings file may hold any whole number.
struct Box
{
    qint64 left, top, width, height;
    [[nodiscard]] qint64 right() const { return left + width; }
    [[nodiscard]] qint64 bottom() const { return top + height; }
};

Box boxOf(const QRect& r) { return {r.left(), r.top(), r.width(), r.height()}; }

qint64 overlap(qint64 a0, qint64 a1, qint64 b0, qint64 b1) { return std::max<qint64>(0, std::min(a1, b1) - std::max(a0, b0)); }

qint64 gap(qint64 a0, qint64 a1, qint64 b0, qint64 b1) { return std::max<qint64>({0, b0 - a1, a0 - b1}); }

// The screen sharing the most area with the window, or, when none does, the closest one.
const QRect& nearestScreen(const Box& outer, const QList<QRect>& screens)
{
    const QRect* best = &screens.first();
    qint64 bestArea = -1;
    qint64 bestDistance = std::numeric_limits<qint64>::max();
    for (const QRect& screen : screens) {
        const Box s = boxOf(screen);
        const qint64 area = overlap(outer.left, outer.right(), s.left, s.right()) *
                            overlap(outer.top, outer.bottom(), s.top, s.bottom());
        const qint64 dx = gap(outer.left, outer.right(), s.left, s.right());
        const qint64 dy = gap(outer.top, outer.bottom(), s.top, s.bottom());
        // Far beyond the screens the squares would overflow; the sum of the gaps orders them just as well there.
        const qint64 distance = (dx > 1'000'000 || dy > 1'000'000) ? dx + dy : dx * dx + dy * dy;
        if (area > bestArea || (area == 0 && bestArea == 0 && distance < bestDistance)) {
            best = &screen;
            bestArea = area;
            bestDistance = distance;
        }
    }
    return *best;
}

bool titleBarReachable(const Box& outer, qint64 titleHeight, const QList<QRect>& screens)
{
    const qint64 needed = std::min<qint64>(outer.width, TitleBarGrip);
    for (const QRect& screen : screens) {
        const Box s = boxOf(screen);
        if (outer.top >= s.top && outer.top + titleHeight <= s.bottom() &&
            overlap(outer.left, outer.right(), s.left, s.right()) >= needed)
            return true;
    }
    return false;
}

} // namespace

ScreenPlace fitOnScreens(ScreenPlace wanted, QMargins frame, QSize minimum, const QList<QRect>& screens)
{
    if (screens.isEmpty())
        return wanted;
    const qint64 extraWidth = frame.left() + frame.right();
    const qint64 extraHeight = frame.top() + frame.bottom();
    qint64 width = std::max<qint64>(wanted.client.width(), minimum.width());
    qint64 height = std::max<qint64>(wanted.client.height(), minimum.height());
    Box outer{wanted.frame.x(), wanted.frame.y(), width + extraWidth, height + extraHeight};

    const Box screen = boxOf(nearestScreen(outer, screens));
    width = std::max<qint64>(std::min(width, screen.width - extraWidth), minimum.width());
    height = std::max<qint64>(std::min(height, screen.height - extraHeight), minimum.height());
    const bool resized = width != wanted.client.width() || height != wanted.client.height();
    outer.width = width + extraWidth;
    outer.height = height + extraHeight;

    // Without a frame the window's own top row stands in for the title bar: its menu must stay within reach.
    const qint64 titleHeight = std::max(frame.top(), 20);
    if (resized || !titleBarReachable(outer, titleHeight, screens)) {
        // Onto the nearest screen, the top-left corner first where the window is larger than the screen.
        outer.left = std::max(std::min(outer.left, screen.right() - outer.width), screen.left);
        outer.top = std::max(std::min(outer.top, screen.bottom() - outer.height), screen.top);
    }
    return {QPoint(int(outer.left), int(outer.top)), QSize(int(width), int(height))};
}

ScreenPlace screenPlaceOf(const QWidget& window)
{
    return {window.frameGeometry().topLeft(), window.size()};
}

void placeWindow(QWidget& window, ScreenPlace place)
{
    // A place the user chose and the settings kept stays as fitOnScreens leaves it, partly off a screen included.
    window.setProperty(PlacedFromSettings, true);
    if (place.client.isEmpty())
        place.client = window.size();
    // The frame as last seen, or as the style would draw a title bar before the window was ever shown.
    QMargins frame;
    const QRect outer = window.frameGeometry();
    const QRect inner = window.geometry();
    if (outer != inner)
        frame = QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                         outer.bottom() - inner.bottom());
    else if (window.windowFlags().testFlag(Qt::FramelessWindowHint))
        frame = QMargins();
    else
        frame = QMargins(0, window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window), 0, 0);
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens << screen->availableGeometry();
    const QSize minimum = window.minimumSize().expandedTo(window.minimumSizeHint());
    const ScreenPlace fitted = fitOnScreens(place, frame, minimum, screens);
    window.resize(fitted.client);
    window.move(fitted.frame);
}

} // namespace platform

#include "platform/ui/Accessibility.h"

#include "platform/IniFile.h"
#include "platform/ui/ScreenPlace.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QKeySequence>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QShortcut>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace platform {

namespace {
// A section of its own: the keys other windows keep are left as they are.
const QString Section = QStringLiteral("Display");
const QString Key = QStringLiteral("TextSize");
} // namespace

void closeOnEscape(QWidget* window, std::function<void()> action)
{
    auto* shortcut = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, window, [window, action = std::move(action)] {
        if (action)
            action();
        else
            window->close();
    });
}

void keepOnScreen(QWidget& window)
{
    QScreen* screen = QGuiApplication::screenAt(window.geometry().center());
    if (!screen)
        screen = window.screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    // Before the window manager frames it the frame is not known: allow for a title bar and borders.
    QMargins frame = window.frameGeometry().size() != window.size()
                         ? QMargins(window.geometry().left() - window.frameGeometry().left(),
                                    window.geometry().top() - window.frameGeometry().top(),
                                    window.frameGeometry().right() - window.geometry().right(),
                                    window.frameGeometry().bottom() - window.geometry().bottom())
                         : QMargins(4, 30, 4, 4);
    const QSize room = area.size().shrunkBy(frame);
    QSize size = window.size().boundedTo(room).expandedTo(window.minimumSize());
    if (size != window.size())
        window.resize(size);
    QRect whole(window.pos(), size.grownBy(frame));
    whole.moveLeft(std::clamp(whole.left(), area.left(), std::max(area.left(), area.right() + 1 - whole.width())));
    whole.moveTop(std::clamp(whole.top(), area.top(), std::max(area.top(), area.bottom() + 1 - whole.height())));
    if (whole.topLeft() != window.pos())
        window.move(whole.topLeft());
}

namespace {
class ScreenKeeper : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            // Menus, tooltips and pop-ups place themselves; maximised windows are the window manager's.
            if (w->isWindow() && !(w->windowType() == Qt::Popup || w->windowType() == Qt::ToolTip) &&
                !w->property(PlacedFromSettings).toBool() &&
                !(w->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
                keepOnScreen(*w);
        }
        return QObject::eventFilter(watched, event);
    }
};
} // namespace

void keepWindowsOnScreen()
{
    static ScreenKeeper* keeper = nullptr;
    if (keeper || !qApp)
        return;
    keeper = new ScreenKeeper(qApp);
    qApp->installEventFilter(keeper);
}

namespace {
class CtrlTabLeaver : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
            return QObject::eventFilter(watched, event);
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab) ||
            !(key->modifiers() & Qt::ControlModifier) || (key->modifiers() & Qt::AltModifier))
            return QObject::eventFilter(watched, event);
        auto* w = static_cast<QWidget*>(watched);
        const auto* text = qobject_cast<QTextEdit*>(w);
        const auto* plain = qobject_cast<QPlainTextEdit*>(w);
        const bool takesTab = (text && !text->tabChangesFocus() && !text->isReadOnly()) ||
                              (plain && !plain->tabChangesFocus() && !plain->isReadOnly());
        if (!takesTab)
            return QObject::eventFilter(watched, event);
        const bool forward = key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier);
        for (QWidget* next = forward ? w->nextInFocusChain() : w->previousInFocusChain(); next && next != w;
             next = forward ? next->nextInFocusChain() : next->previousInFocusChain())
            if (next->window() == w->window() && (next->focusPolicy() & Qt::TabFocus) && next->isVisible() &&
                next->isEnabled() && !next->focusProxy()) {
                next->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
                return true;
            }
        return QObject::eventFilter(watched, event);
    }
};
} // namespace

void ctrlTabLeavesTextBoxes()
{
    static CtrlTabLeaver* leaver = nullptr;
    if (leaver || !qApp)
        return;
    leaver = new CtrlTabLeaver(qApp);
    qApp->installEventFilter(leaver);
}

void labelForReader(QWidget* control, const QString& text)
{
    auto* label = new QLabel(text, control->parentWidget());
    label->hide();
    label->setBuddy(control);
    QObject::connect(control, &QObject::destroyed, label, &QObject::deleteLater);
}

namespace {
// The description a control had of its own, kept while an announcement stands in for it.
const char* const OwnDescription = "tovrelOwnDescription";

// A reader speaks a change of the focused control's description, where it ignores a label's: the announcement is
// lent to the control the keys are in, and the control gets its own description back when the focus leaves it.
void lendToFocus(const QString& text)
{
    static bool watching = false;
    if (!watching && qApp) {
        watching = true;
        QObject::connect(qApp, &QApplication::focusChanged, qApp, [](QWidget* old, QWidget*) {
            if (old && old->property(OwnDescription).isValid()) {
                old->setAccessibleDescription(old->property(OwnDescription).toString());
                old->setProperty(OwnDescription, QVariant());
            }
        });
    }
    QWidget* focus = QApplication::focusWidget();
    if (!focus || text.isEmpty())
        return;
    if (!focus->property(OwnDescription).isValid())
        focus->setProperty(OwnDescription, focus->accessibleDescription());
    focus->setAccessibleDescription(text);
}

const QString NoticeName = QStringLiteral("tovrelReaderNotice");

QAccessibleInterface* noticeFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("QWidget") && object && object->objectName() == NoticeName)
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Notification);
    return nullptr;
}

// Qt sends a changed description over AT-SPI without its text, so a reader has nothing to speak; a notification
// object that appears is spoken with its name. The notice is an empty, unfocusable child of the focused window.
void showNotice(const QString& text)
{
    QWidget* focus = QApplication::focusWidget();
    if (!focus || text.isEmpty())
        return;
    QWidget* window = focus->window();
    auto* notice = window->findChild<QWidget*>(NoticeName, Qt::FindDirectChildrenOnly);
    if (!notice) {
        static bool installed = false;
        if (!installed) {
            installed = true;
            QAccessible::installFactory(noticeFactory);
        }
        notice = new QWidget(window);
        notice->setObjectName(NoticeName);
        notice->setFocusPolicy(Qt::NoFocus);
        notice->setAttribute(Qt::WA_TransparentForMouseEvents);
        notice->setGeometry(0, 0, 0, 0);
    }
    notice->hide();
    notice->setAccessibleName(text);
    notice->show();
}
} // namespace

void tellReader(const QString& text)
{
    lendToFocus(text);
    showNotice(text);
}

void announce(QLabel* label, const QString& text)
{
    label->setText(text);
    label->setAccessibleName(text);
    lendToFocus(text);
    showNotice(text);
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent changed(label, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
    QAccessibleEvent alert(label, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

namespace {
double luminance(const QColor& c)
{
    const auto channel = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    const QColor rgb = c.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}
} // namespace

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor darkenedFor(const QColor& colour, const QColor& against, double ratio)
{
    QColor c = colour.toRgb();
    for (int step = 0; step < 100 && contrastRatio(c, against) < ratio; ++step)
        c = QColor::fromRgbF(c.redF() * 0.95f, c.greenF() * 0.95f, c.blueF() * 0.95f);
    return c;
}

double textScale(TextSize size)
{
    switch (size) {
    case TextSize::Large:
        return 1.25;
    case TextSize::Larger:
        return 1.5;
    case TextSize::Normal:
        break;
    }
    return 1.0;
}

TextSize readTextSize(const QString& settingsFile)
{
    const int value = IniFile(settingsFile).readInteger(Section, Key, 0);
    return TextSize(std::clamp(value, 0, 2));
}

void writeTextSize(const QString& settingsFile, TextSize size)
{
    IniFile(settingsFile).writeInteger(Section, Key, int(size));
}

void applyTextSizeBeforeStart(const QString& settingsFile)
{
    const double scale = textScale(readTextSize(settingsFile));
    if (scale == 1.0)
        return;
    bool ok = false;
    double asked = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&ok);
    if (!ok || asked <= 0)
        asked = 1.0;
    qputenv("QT_SCALE_FACTOR", QByteArray::number(asked * scale));
}

} // namespace platform

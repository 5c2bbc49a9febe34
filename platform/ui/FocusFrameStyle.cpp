#include "platform/ui/FocusFrameStyle.h"

#include "platform/ui/Accessibility.h"

#include <QApplication>
#include <QFocusFrame>
#include <QPainter>
#include <QPointer>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QStyleOption>

namespace platform {

namespace {
bool focused(const QStyleOption* option)
{
    return option && (option->state & QStyle::State_HasFocus);
}

void drawFrame(QPainter* painter, const QRect& rect, const QPalette& palette)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(FocusFrameStyle::frameColour(palette), 2));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(rect.adjusted(1, 1, -1, -1));
    painter->restore();
}
} // namespace

QColor FocusFrameStyle::frameColour(const QPalette& palette)
{
    return darkenedFor(palette.color(QPalette::Active, QPalette::Highlight), palette.color(QPalette::Window), 3.0);
}

void FocusFrameStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                    const QWidget* widget) const
{
    if (element == PE_FrameFocusRect) {
        drawFrame(painter, option->rect, option->palette);
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    if (element == PE_FrameLineEdit && focused(option))
        drawFrame(painter, option->rect, option->palette);
    // A box drawn without a frame (one that stands on a card) gets the frame while it has the focus.
    if (element == PE_PanelLineEdit && focused(option))
        if (const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option); frame && frame->lineWidth <= 0)
            drawFrame(painter, option->rect, option->palette);
}

void FocusFrameStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                  const QWidget* widget) const
{
    QProxyStyle::drawControl(element, option, painter, widget);
    if (element == CE_PushButton && focused(option))
        drawFrame(painter, option->rect, option->palette);
    // Around a frameless text box (see useFocusFrameStyle).
    if (element == CE_FocusFrame)
        drawFrame(painter, option->rect, option->palette);
}

void FocusFrameStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                         QPainter* painter, const QWidget* widget) const
{
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    if ((control == CC_ToolButton || control == CC_ComboBox || control == CC_SpinBox) && focused(option))
        drawFrame(painter, option->rect, option->palette);
}

void useFocusFrameStyle()
{
    if (!dynamic_cast<FocusFrameStyle*>(QApplication::style()))
        QApplication::setStyle(new FocusFrameStyle(QApplication::style()->name()));
    // The grey of a box's placeholder text is made dark enough to be read (4.5:1).
    QPalette palette = QApplication::palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive})
        palette.setColor(group, QPalette::PlaceholderText,
                         darkenedFor(palette.color(group, QPalette::PlaceholderText), palette.color(group, QPalette::Base)));
    QApplication::setPalette(palette);
    // A text box without a frame of its own (the notes on a card) has its text area over its whole face: the frame
    // is drawn just around it instead, while it has the focus.
    static QPointer<QFocusFrame> around;
    static bool following = false;
    if (following)
        return;
    following = true;
    QObject::connect(qApp, &QApplication::focusChanged, qApp, [](QWidget*, QWidget* now) {
        auto* box = qobject_cast<QAbstractScrollArea*>(now);
        const bool frameless = box && box->frameWidth() == 0 &&
                               (qobject_cast<QTextEdit*>(box) || qobject_cast<QPlainTextEdit*>(box)) &&
                               box->parentWidget();
        if (!frameless) {
            if (around)
                around->setWidget(nullptr);
            return;
        }
        if (!around)
            around = new QFocusFrame(box);
        around->setWidget(box);
    });
}

} // namespace platform

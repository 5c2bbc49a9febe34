#include "platform/ui/FocusFrameStyle.h"

#include "platform/ui/Accessibility.h"

#include <QApplication>
#include <QPainter>
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
}

void FocusFrameStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                  const QWidget* widget) const
{
    QProxyStyle::drawControl(element, option, painter, widget);
    if (element == CE_PushButton && focused(option))
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
}

} // namespace platform

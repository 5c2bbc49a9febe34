#pragma once

#include <QProxyStyle>

namespace platform {

// The platform's look with a focus that can be seen: the control that has the keyboard focus (a button, a box, a
// check box, a text box, a frameless box on a card) gets a 2-pixel frame in a dark highlight colour, where the usual
// 1-pixel tint is easily missed.
class FocusFrameStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;

    // The frame's colour: the highlight, darkened until it stands out from the window (3:1).
    [[nodiscard]] static QColor frameColour(const QPalette& palette);
};

// Puts the style in use for the whole program.
void useFocusFrameStyle();

} // namespace platform

#pragma once

#include "platform/ui/Accessibility.h"

#include <QLinearGradient>
#include <QPainter>
#include <QWidget>

namespace platform {

// A heading strip painted like an active title bar: the highlight colour fading to a lighter shade
// (lighter as QColor::lighter takes it: 150 is half as bright again). Both ends are kept dark enough for its white
// heading to be read (4.5:1).
class CaptionStrip : public QWidget
{
public:
    explicit CaptionStrip(QWidget* parent, int lighter = 150) : QWidget(parent), m_lighter(lighter) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QColor highlight = palette().color(QPalette::Active, QPalette::Highlight);
        QLinearGradient gradient(rect().topLeft(), rect().topRight());
        gradient.setColorAt(0, darkenedFor(highlight, Qt::white));
        gradient.setColorAt(1, darkenedFor(highlight.lighter(m_lighter), Qt::white));
        painter.fillRect(rect(), gradient);
    }

private:
    int m_lighter;
};

} // namespace platform

#pragma once

#include <QLinearGradient>
#include <QPainter>
#include <QWidget>

namespace platform {

// A heading strip painted like an active title bar: the highlight colour fading to a lighter shade
// (lighter as QColor::lighter takes it: 150 is half as bright again).
class CaptionStrip : public QWidget
{
public:
    explicit CaptionStrip(QWidget* parent, int lighter = 150) : QWidget(parent), m_lighter(lighter) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QColor start = palette().color(QPalette::Active, QPalette::Highlight);
        QLinearGradient gradient(rect().topLeft(), rect().topRight());
        gradient.setColorAt(0, start);
        gradient.setColorAt(1, start.lighter(m_lighter));
        painter.fillRect(rect(), gradient);
    }

private:
    int m_lighter;
};

} // namespace platform

#include "reports/ui/SheetPicture.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

TSheetPicture::TSheetPicture(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("imgSheet"));
    setMinimumSize(160, 200);
    setToolTip(QStringLiteral("Click the first free label"));
    setCursor(Qt::PointingHandCursor);
}

void TSheetPicture::setStock(const reports::LabelStock* stock)
{
    if (stock)
        m_stock = *stock;
    else
        m_stock.reset();
    setStartAtLabel(m_start);
    update();
}

void TSheetPicture::setStartAtLabel(int label)
{
    const int last = m_stock ? m_stock->count() : 1;
    const int start = std::clamp(label, 1, std::max(1, last));
    if (start == m_start)
        return;
    m_start = start;
    update();
    emit startAtLabelChanged(m_start);
}

double TSheetPicture::scale() const
{
    if (!m_stock)
        return 1;
    const QSizeF paper = m_stock->paper.size;
    return std::min((width() - 8) / paper.width(), (height() - 8) / paper.height());
}

QPointF TSheetPicture::paperOrigin() const
{
    if (!m_stock)
        return {};
    const QSizeF paper = m_stock->paper.size * scale();
    return {(width() - paper.width()) / 2, (height() - paper.height()) / 2};
}

QRectF TSheetPicture::labelArea(int label) const
{
    if (!m_stock || label < 1 || label > m_stock->count())
        return {};
    const QRectF mm = m_stock->labelRect(label - 1);
    const double s = scale();
    return {paperOrigin() + mm.topLeft() * s, mm.size() * s};
}

int TSheetPicture::labelAt(const QPointF& point) const
{
    if (!m_stock)
        return 0;
    for (int label = 1; label <= m_stock->count(); ++label)
        if (labelArea(label).contains(point))
            return label;
    return 0;
}

void TSheetPicture::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!m_stock)
        return;
    const double s = scale();
    painter.setPen(QPen(palette().color(QPalette::Mid)));
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(paperOrigin(), m_stock->paper.size * s));
    QFont font = painter.font();
    font.setPixelSize(std::clamp(static_cast<int>(std::min(m_stock->width, m_stock->height) * s / 2.2), 5, 14));
    painter.setFont(font);
    const double radius = m_stock->radius * s;
    for (int label = 1; label <= m_stock->count(); ++label) {
        const QRectF area = labelArea(label);
        const bool used = label < m_start;
        painter.setPen(QPen(label == m_start ? QColor(Qt::darkBlue) : QColor(Qt::darkGray), label == m_start ? 2 : 1));
        painter.setBrush(used ? QColor(200, 200, 200) : label == m_start ? QColor(200, 220, 255) : QColor(Qt::white));
        painter.drawRoundedRect(area, radius, radius);
        if (area.height() >= 6 && area.width() >= 8) {
            painter.setPen(used ? Qt::gray : Qt::black);
            painter.drawText(area, Qt::AlignCenter, QString::number(label));
        }
    }
}

void TSheetPicture::mousePressEvent(QMouseEvent* event)
{
    const int label = labelAt(event->position());
    if (label > 0)
        setStartAtLabel(label);
}

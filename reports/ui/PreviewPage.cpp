#include "reports/ui/PreviewPage.h"

#include "reports/PagePainter.h"
#include "reports/Pages.h"

#include <QPaintEvent>
#include <QPainter>
#include <QtMath>

namespace reports {

PreviewPage::PreviewPage(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

void PreviewPage::setPage(const Rendering* rendering, int index)
{
    const QSizeF before = pageSizeMm();
    m_rendering = rendering;
    m_index = rendering && index >= 0 && index < rendering->pageCount() ? index : -1;
    if (pageSizeMm() != before)
        resize(sizeHint());
    update();
}

void PreviewPage::setPixelsPerMm(double pixelsPerMm)
{
    if (pixelsPerMm <= 0 || pixelsPerMm == m_pixelsPerMm)
        return;
    m_pixelsPerMm = pixelsPerMm;
    resize(sizeHint());
    update();
}

QSizeF PreviewPage::pageSizeMm() const
{
    if (!m_rendering || m_index < 0)
        return {};
    return m_rendering->pages[static_cast<size_t>(m_index)].size;
}

QSize PreviewPage::sizeHint() const
{
    const QSizeF sheet = pageSizeMm() * m_pixelsPerMm;
    return QSize(qCeil(sheet.width()), qCeil(sheet.height())) + QSize(2 * kDeskMargin, 2 * kDeskMargin);
}

void PreviewPage::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), QColor(0x80, 0x80, 0x80));
    if (!m_rendering || m_index < 0)
        return;
    const QSizeF sheet = pageSizeMm() * m_pixelsPerMm;
    const QRectF paper(kDeskMargin, kDeskMargin, sheet.width(), sheet.height());
    painter.fillRect(paper.translated(3, 3), QColor(0x40, 0x40, 0x40)); // shadow
    painter.translate(paper.topLeft());
    paintPage(painter, *m_rendering, m_index, PaintOptions{m_pixelsPerMm, {}, true});
}

} // namespace reports

#include "mailmerge/MailMergeEditIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

const QColor Outline(60, 60, 60);
const QColor Paper(255, 255, 255);
const QColor Folder(230, 180, 60);
const QColor FolderFront(250, 210, 100);
const QColor Disk(40, 90, 170);
const QColor Red(200, 40, 40);

// A sheet of paper with a folded corner, in a 16 x 16 grid.
void drawPage(QPainter& p, const QRectF& r)
{
    const qreal fold = r.width() * 0.35;
    QPainterPath page;
    page.moveTo(r.left(), r.top());
    page.lineTo(r.right() - fold, r.top());
    page.lineTo(r.right(), r.top() + fold);
    page.lineTo(r.right(), r.bottom());
    page.lineTo(r.left(), r.bottom());
    page.closeSubpath();
    p.setPen(QPen(Outline, 0.8));
    p.setBrush(Paper);
    p.drawPath(page);
    p.drawPolyline(
        QPolygonF{{r.right() - fold, r.top()}, {r.right() - fold, r.top() + fold}, {r.right(), r.top() + fold}});
}

void drawLines(QPainter& p, const QRectF& r, int count)
{
    p.setPen(QPen(QColor(150, 150, 150), 0.8));
    for (int i = 0; i < count; ++i) {
        const qreal y = r.top() + 2.0 * i;
        p.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
    }
}

void drawDisk(QPainter& p, const QRectF& r)
{
    p.setPen(QPen(Outline, 0.8));
    p.setBrush(Disk);
    p.drawRoundedRect(r, 1.2, 1.2);
    p.setBrush(QColor(200, 200, 210));
    p.drawRect(QRectF(r.left() + r.width() * 0.25, r.top(), r.width() * 0.5, r.height() * 0.3));
    p.setBrush(Paper);
    p.drawRect(QRectF(r.left() + r.width() * 0.15, r.top() + r.height() * 0.55, r.width() * 0.7, r.height() * 0.45));
}

void drawLetter(QPainter& p, const QString& letter, bool bold, bool italic, bool underline)
{
    QFont font(QStringLiteral("Times New Roman"));
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(14);
    font.setBold(bold);
    font.setItalic(italic);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QRectF(0, -1, 16, 15), Qt::AlignCenter, letter);
    if (underline) {
        p.setPen(QPen(Qt::black, 1.2));
        p.drawLine(QPointF(3, 14.5), QPointF(13, 14.5));
    }
}

void draw(QPainter& p, EditorIcon which)
{
    switch (which) {
    case EditorIcon::New:
        drawPage(p, QRectF(3, 1, 10, 14));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(250, 200, 0));
        p.drawEllipse(QPointF(4, 3), 2.2, 2.2);
        break;
    case EditorIcon::Open: {
        p.setPen(QPen(Outline, 0.8));
        p.setBrush(Folder);
        p.drawPolygon(QPolygonF{{1, 3}, {6, 3}, {7.5, 5}, {14, 5}, {14, 14}, {1, 14}});
        p.setBrush(FolderFront);
        p.drawPolygon(QPolygonF{{3.5, 7.5}, {15.5, 7.5}, {13.5, 14}, {1, 14}});
        break;
    }
    case EditorIcon::Save:
        drawDisk(p, QRectF(1.5, 1.5, 13, 13));
        break;
    case EditorIcon::SaveAs:
        drawDisk(p, QRectF(1, 1, 11, 11));
        p.setPen(QPen(QColor(230, 170, 0), 2.2, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(8.5, 14), QPointF(14.5, 8));
        p.setPen(QPen(Outline, 1.0));
        p.drawLine(QPointF(7.2, 15.2), QPointF(8.5, 14));
        break;
    case EditorIcon::Close:
        p.setPen(QPen(Outline, 0.8));
        p.setBrush(Paper);
        p.drawRect(QRectF(1.5, 2.5, 13, 11));
        p.setBrush(QColor(70, 110, 190));
        p.drawRect(QRectF(1.5, 2.5, 13, 2.5));
        p.setPen(QPen(Red, 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5.5, 7), QPointF(10.5, 12));
        p.drawLine(QPointF(10.5, 7), QPointF(5.5, 12));
        break;
    case EditorIcon::Cut:
        p.setPen(QPen(Outline, 1.1, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5.5, 10), QPointF(11, 1.5));
        p.drawLine(QPointF(10.5, 10), QPointF(5, 1.5));
        p.setPen(QPen(Red, 1.3));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(4.5, 12.5), 2.3, 2.3);
        p.drawEllipse(QPointF(11.5, 12.5), 2.3, 2.3);
        break;
    case EditorIcon::Copy:
        drawPage(p, QRectF(1.5, 1.5, 8, 10));
        drawPage(p, QRectF(6.5, 4.5, 8, 10.5));
        drawLines(p, QRectF(8, 9, 5, 0), 3);
        break;
    case EditorIcon::Paste:
        p.setPen(QPen(Outline, 0.8));
        p.setBrush(QColor(170, 120, 60));
        p.drawRoundedRect(QRectF(1.5, 2, 10, 13), 1, 1);
        p.setBrush(QColor(190, 190, 190));
        p.drawRect(QRectF(4, 1, 5, 2.5));
        drawPage(p, QRectF(7, 6, 8, 9.5));
        drawLines(p, QRectF(8.5, 10, 5, 0), 3);
        break;
    case EditorIcon::Font: {
        QFont font(QStringLiteral("Times New Roman"));
        font.setStyleHint(QFont::Serif);
        font.setPixelSize(13);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Disk);
        p.drawText(QRectF(0, 0, 11, 14), Qt::AlignCenter, QStringLiteral("A"));
        font.setPixelSize(10);
        p.setFont(font);
        p.setPen(Red);
        p.drawText(QRectF(8, 4, 8, 11), Qt::AlignCenter, QStringLiteral("a"));
        break;
    }
    case EditorIcon::Bold:
        drawLetter(p, QStringLiteral("B"), true, false, false);
        break;
    case EditorIcon::Italic:
        drawLetter(p, QStringLiteral("I"), true, true, false);
        break;
    case EditorIcon::Underline:
        drawLetter(p, QStringLiteral("U"), false, false, true);
        break;
    case EditorIcon::Index:
        p.setPen(QPen(Outline, 0.8));
        p.setBrush(Disk);
        p.drawRect(QRectF(2.5, 1.5, 10, 13));
        p.setBrush(Paper);
        p.drawRect(QRectF(12.5, 2.5, 1.5, 12));
        drawLines(p, QRectF(5, 5, 5, 0), 1);
        break;
    case EditorIcon::Help: {
        p.setPen(Qt::NoPen);
        p.setBrush(Disk);
        p.drawEllipse(QRectF(1, 1, 14, 14));
        QFont font;
        font.setPixelSize(11);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Paper);
        p.drawText(QRectF(1, 1, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    }
}

QPixmap render(EditorIcon which, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(size / 16.0, size / 16.0);
    draw(p, which);
    return pixmap;
}

} // namespace

QIcon editorIcon(EditorIcon which)
{
    QIcon icon;
    for (int size : {16, 24, 32})
        icon.addPixmap(render(which, size));
    return icon;
}

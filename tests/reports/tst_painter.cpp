#include "ReportTestUtil.h"

#include "platform/AppError.h"
#include "reports/Batch.h"
#include "reports/PagePainter.h"
#include "reports/ui/Printing.h"
#include "reports/layouts/PhoneList.h"
#include "reports/Renderer.h"
#include "reports/TextMetrics.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

using namespace reports;

namespace {

Rendering phoneList(int rows)
{
    std::vector<QStringList> values;
    for (int i = 0; i < rows; ++i)
        values.push_back({QStringLiteral("Adams"), QStringLiteral("Jo")});
    auto source = reporttest::contacts({QStringLiteral("Surname"), QStringLiteral("Firstname")}, values);
    return render(phoneListReport(), source);
}

QImage paint(const Rendering& r, int page, double pixelsPerMm, QPointF offset = {})
{
    const QSizeF size = r.pages[size_t(page)].size * pixelsPerMm;
    QImage image(size.toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    paintPage(painter, r, page, {pixelsPerMm, offset, false});
    return image;
}

// The ink (dark pixels) inside an area given in mm, as a rectangle in mm; empty where there is none.
QRectF ink(const QImage& image, double pixelsPerMm, const QRectF& areaMm)
{
    const QRect area = QRect(QPoint(int(areaMm.left() * pixelsPerMm), int(areaMm.top() * pixelsPerMm)),
                             QPoint(int(areaMm.right() * pixelsPerMm), int(areaMm.bottom() * pixelsPerMm)))
                           .intersected(image.rect());
    int left = INT_MAX, right = -1, top = INT_MAX, bottom = -1;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 128) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    if (right < 0)
        return {};
    return QRectF(QPointF(left / pixelsPerMm, top / pixelsPerMm),
                  QPointF((right + 1) / pixelsPerMm, (bottom + 1) / pixelsPerMm));
}

QList<QSizeF> mediaBoxes(const QString& pdf)
{
    QFile file(pdf);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromLatin1(file.readAll());
    QList<QSizeF> boxes;
    static const QRegularExpression box(QStringLiteral("/MediaBox \\[0 0 ([0-9.]+) ([0-9.]+)\\]"));
    for (auto it = box.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        boxes << QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble());
    }
    return boxes;
}

} // namespace

class TestPainter : public QObject
{
    Q_OBJECT
private slots:
    // The same page at any scale puts its ink where the layout says, less the offset.
    void inkFollowsTheLayout_data()
    {
        QTest::addColumn<double>("pixelsPerMm");
        QTest::addColumn<QPointF>("offset");
        QTest::newRow("screen, zoomed out") << 3.78 << QPointF();
        QTest::newRow("300 dpi") << 300 / 25.4 << QPointF();
        QTest::newRow("printer offset") << 300 / 25.4 << QPointF(4.0, 5.0);
    }
    void inkFollowsTheLayout()
    {
        QFETCH(double, pixelsPerMm);
        QFETCH(QPointF, offset);
        const Rendering r = phoneList(1);
        const QImage image = paint(r, 0, pixelsPerMm, offset);
        const double pixel = 1.0 / pixelsPerMm + 0.05;

        // The rule above the row: 1 point thick at 28.5 mm, from 10 to 200 mm.
        const QRectF rule = ink(image, pixelsPerMm, QRectF(QPointF(0, 27.5), QPointF(210, 29.0)).translated(-offset));
        QVERIFY2(std::abs(rule.left() - (10 - offset.x())) <= pixel &&
                     std::abs(rule.right() - (200 - offset.x())) <= pixel,
                 qPrintable(QStringLiteral("%1..%2").arg(rule.left()).arg(rule.right())));
        QVERIFY(std::abs(rule.center().y() - (28.5 - offset.y())) <= pixel);

        // "Page 1": the text ends at the right margin and stands in its line from 280.9 mm.
        const QRectF number = ink(image, pixelsPerMm, QRectF(QPointF(180, 280), QPointF(210, 287)).translated(-offset));
        QVERIFY2(number.right() <= 200 - offset.x() + pixel && number.right() > 199 - offset.x(),
                 qPrintable(QString::number(number.right())));
        QVERIFY(number.top() >= 280.9 - offset.y() - pixel && number.bottom() <= 284.1 - offset.y() + pixel);
        // Nine point texts keep their width at every scale: "Adams" starts at 10.5 mm.
        const QRectF adams = ink(image, pixelsPerMm, QRectF(QPointF(0, 29), QPointF(40, 33)).translated(-offset));
        QVERIFY(std::abs(adams.left() - (10.5 - offset.x())) <= pixel + 0.2);
        QVERIFY(std::abs(adams.width() - FontMetrics(ReportFont::arial(9)).width(QStringLiteral("Adams"))) < 0.6);
    }

    void paperIsFilledOnlyWhenAsked()
    {
        const Rendering r = phoneList(1);
        QImage image(QSize(210, 297) * 2, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            paintPage(painter, r, 0, {2.0, {}, false});
        }
        QCOMPARE(qAlpha(image.pixel(4, 4)), 0);
        {
            QPainter painter(&image);
            paintPage(painter, r, 0, {2.0, {}, true});
        }
        QCOMPARE(image.pixel(4, 4), qRgb(255, 255, 255));
    }

    // A letter body shows only the lines that fit, drawn where its block lies.
    void richTextIsCutAtItsHeight()
    {
        QTextDocument letter;
        QTextCursor cursor(&letter);
        for (int i = 0; i < 60; ++i)
            cursor.insertText(QStringLiteral("Line %1 of a letter that goes on and on.\n").arg(i + 1));
        ReportDefinition d;
        d.margins = {10, 10, 10, 10};
        Band detail;
        detail.height = 60;
        detail.elements = {
            richTextElement(QStringLiteral("QRRichText1"), 0.8, 0.5, 188.1, 30.0, [&letter] { return &letter; })};
        d.bands = {detail};
        auto source = reporttest::numbered(1);
        const Rendering r = render(d, source);
        const auto block = std::get<RichTextItem>(r.pages[0].items.at(0));
        const double ppm = 8.0;
        const QImage image = paint(r, 0, ppm);
        const QRectF shown = ink(image, ppm, QRectF(0, 0, 210, 297));
        QVERIFY(shown.top() >= 10.5 && shown.top() < 12.0);
        QVERIFY(shown.left() >= 10.8 && shown.left() < 11.5);
        QVERIFY2(shown.bottom() <= 10.5 + block.visibleHeight + 0.2, qPrintable(QString::number(shown.bottom())));
        QVERIFY(shown.bottom() > 10.5 + block.visibleHeight - 5.0);
    }

    void printerOffsetIsThePrintableAreasCorner()
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageMargins(QMarginsF(5, 6, 7, 8), QPageLayout::Millimeter);
        // The device's own origin, which its engine rounds to whole points: within half a point of the margins.
        const QPointF offset = printerOffset(printer);
        const QPointF device = printer.pageRect(QPrinter::DevicePixel).topLeft() * 25.4 / printer.resolution();
        QVERIFY(std::abs(offset.x() - device.x()) < 1e-9 && std::abs(offset.y() - device.y()) < 1e-9);
        QVERIFY(std::abs(offset.x() - 5) < 0.18 && std::abs(offset.y() - 6) < 0.18);
        printer.setFullPage(true);
        QCOMPARE(printerOffset(printer), QPointF());
    }

    void pdfHasOnePageOfTheRightSizePerPage()
    {
        Rendering r = phoneList(50);
        r.pages.push_back(Page{QSizeF(297, 210), {}});
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.pdf"));
        writePdf(r, path);
        QCOMPARE(mediaBoxes(path), (QList<QSizeF>{{595, 842}, {595, 842}, {842, 595}}));
        writePdf(r, path, {2});
        QCOMPARE(mediaBoxes(path), QList<QSizeF>{QSizeF(842, 595)});
    }

    void renderToPdf_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<QString>("error");
        QTest::newRow("written") << 3 << true << QString();
        QTest::newRow("empty selection") << 0 << true << "no pages";
        QTest::newRow("folder is a file") << 3 << false << "Cannot write the file";
    }
    void renderToPdf()
    {
        QFETCH(int, rows);
        QFETCH(bool, writable);
        QFETCH(QString, error);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("phones.pdf"));
        if (!writable) {
            QFile blocker(dir.filePath(QStringLiteral("blocker")));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            path = blocker.fileName() + QStringLiteral("/phones.pdf");
        } else {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        }
        auto source = reporttest::numbered(rows);
        try {
            QCOMPARE(reports::renderToPdf(phoneListReport(), source, path).pages, 1);
            QVERIFY(error.isEmpty());
            QCOMPARE(mediaBoxes(path).size(), 1);
        } catch (const platform::AppError& e) {
            QVERIFY2(!error.isEmpty() && e.message().contains(error), qPrintable(e.message()));
            if (writable) {
                QFile old(path);
                QVERIFY(old.open(QIODevice::ReadOnly));
                QCOMPARE(old.readAll(), QByteArray("old")); // left as it was
            }
        }
    }

    void pagesToPrint_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("pageCount");
        QTest::addColumn<std::vector<int>>("pages");
        QTest::newRow("all") << 0 << 0 << 3 << std::vector<int>{0, 1, 2};
        QTest::newRow("2 to 3") << 2 << 3 << 5 << std::vector<int>{1, 2};
        QTest::newRow("2 to 2 of one page") << 2 << 2 << 1 << std::vector<int>{};
        QTest::newRow("past the end is clipped") << 2 << 9 << 3 << std::vector<int>{1, 2};
        QTest::newRow("none rendered") << 0 << 0 << 0 << std::vector<int>{};
    }
    void pagesToPrint()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(int, pageCount);
        QFETCH(std::vector<int>, pages);
        QCOMPARE(reports::pagesToPrint(PageRange{from, to}, pageCount), pages);
    }
};

QTEST_MAIN(TestPainter)
#include "tst_painter.moc"

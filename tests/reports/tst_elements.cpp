#include "ReportTestUtil.h"

#include "reports/Renderer.h"
#include "reports/TextMetrics.h"

#include <QFontInfo>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

using namespace reports;
using reporttest::near;
using reporttest::texts;

namespace {

// Renders one detail band holding the elements, for the given rows; the band's corner is at (10, 10) and it
// is 190 mm wide.
Rendering renderBand(std::vector<Element> elements, const std::vector<QStringList>& rows,
                     const QStringList& fields = {QStringLiteral("Surname")}, double height = 50.0)
{
    ReportDefinition d;
    d.name = QStringLiteral("Band");
    d.margins = {10, 10, 10, 10};
    Band detail;
    detail.kind = BandKind::Detail;
    detail.height = height;
    detail.elements = std::move(elements);
    d.bands.push_back(detail);
    auto source = reporttest::contacts(fields, rows);
    return render(d, source);
}

double lineHeight(double points)
{
    return FontMetrics(ReportFont::arial(points)).lineHeight();
}

double widthOf(const QString& text, double points = 10)
{
    return FontMetrics(ReportFont::arial(points)).width(text);
}

} // namespace

class TestElements : public QObject
{
    Q_OBJECT
private slots:
    void arialIsDrawnWithLiberationSansWhereMissing()
    {
        const QFontInfo info(QFont(ReportFont::arial(10).toQFont(), referenceDevice()));
        QVERIFY2(info.family() == QStringLiteral("Arial") || info.family() == QStringLiteral("Liberation Sans"),
                 qPrintable(info.family()));
    }

    // One font line is ascent + descent, more than the capital W's own drawn height.
    void lineSpacingIsTheFontLine()
    {
        const FontMetrics m(ReportFont::arial(10));
        QCOMPARE(m.lineHeight(), m.ascent() + m.descent());
        const QFontMetricsF reference(ReportFont::arial(10).toQFont(), referenceDevice());
        QVERIFY(m.lineHeight() > referenceUnitsToMm(reference.tightBoundingRect(QStringLiteral("W")).height()));
        QVERIFY(near(m.lineHeight(), referenceUnitsToMm(reference.boundingRect(QStringLiteral("W")).height()), 1e-9));
    }

    void autoSizedTextRunsPastTheBand()
    {
        const QString email = QStringLiteral("someone.with.a.very.long.address@a-long-domain.example.org");
        Element e = fieldElement(QStringLiteral("QRDBText6"), 140.0, 1.1, QStringLiteral("Email"));
        e.width = 20;
        const Rendering r = renderBand({e}, {{email}}, {QStringLiteral("Email")});
        const auto items = texts(r.pages[0]);
        QCOMPARE(items.size(), size_t(1));
        QCOMPARE(items[0].text, email);
        QCOMPARE(items[0].box.topLeft(), QPointF(150.0, 11.1));
        QVERIFY(near(items[0].box.width(), widthOf(email)));
        QVERIFY(items[0].box.right() > 200.0);
    }

    // A fitted value too wide for its place is printed in the largest half-point size that fits, down to the
    // least size, and is cut after the last whole character that fits there, ending in "…". It keeps its
    // baseline and stays within its place and the page's right margin (200 mm).
    void shrinkThenCut_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<double>("left");  // the element's offset in the band (at 10 mm)
        QTest::addColumn<double>("width"); // its place
        QTest::addColumn<QString>("how");  // "whole", "smaller" or "cut"
        const QString accents = QStringLiteral("Zoe\u0301 Ba\u0308r ").repeated(8);
        QTest::newRow("fits") << QStringLiteral("Ann Bee") << 0.0 << 40.0 << "whole";
        QTest::newRow("fits exactly") << QStringLiteral("Ann Bee") << 0.0 << widthOf(QStringLiteral("Ann Bee"))
                                      << "whole";
        QTest::newRow("a little too wide") << QStringLiteral("Featherstonehaugh-Cholmondeley") << 0.0 << 40.0
                                           << "smaller";
        QTest::newRow("far too wide") << QString(60, u'W') << 0.0 << 40.0 << "cut";
        QTest::newRow("combining accents") << accents << 0.0 << 30.0 << "cut";
        QTest::newRow("blank at the cut") << QStringLiteral("WWWWWWWWWWW WWWWWWWWWWWWWWWWWWWWW") << 0.0 << 25.0
                                          << "cut";
        QTest::newRow("place beyond the page, smaller") << QStringLiteral("Cholmondeley") << 170.0 << 40.0
                                                        << "smaller";
        QTest::newRow("place beyond the page, cut") << QStringLiteral("Featherstonehaugh-Cholmondeley") << 170.0
                                                    << 40.0 << "cut";
    }
    void shrinkThenCut()
    {
        QFETCH(QString, value);
        QFETCH(double, left);
        QFETCH(double, width);
        QFETCH(QString, how);
        Element e = fieldElement(QStringLiteral("QRDBText1"), left, 2.0, QStringLiteral("Surname"));
        e.font = ReportFont::arial(10);
        e.fit = Fit::ShrinkThenCut;
        e.minPointSize = 6;
        e.width = width;
        const Rendering r = renderBand({e}, {{value}});
        const auto items = texts(r.pages[0]);
        QCOMPARE(items.size(), size_t(1));
        const TextItem& t = items[0];
        const double size = r.fonts()[size_t(t.font)].pointSize;
        const double available = std::min(width, 200.0 - (10.0 + left));
        QVERIFY2(t.box.right() <= 10.0 + left + available + 1e-9, qPrintable(QString::number(t.box.right())));
        QVERIFY(near(t.box.left(), 10.0 + left));
        // The same baseline whatever the size.
        QVERIFY(near(t.box.top() + FontMetrics(ReportFont::arial(size)).ascent(),
                     10.0 + 2.0 + FontMetrics(ReportFont::arial(10)).ascent()));
        QCOMPARE(r.shortened, how == QLatin1String("whole") ? 0 : 1);
        if (how == QLatin1String("whole")) {
            QCOMPARE(t.text, value);
            QCOMPARE(size, 10.0);
        } else if (how == QLatin1String("smaller")) {
            QCOMPARE(t.text, value);
            QVERIFY(size < 10.0 && size >= 6.0);
            QVERIFY(widthOf(value, size + 0.5) > available); // the largest size that fits
        } else {
            QCOMPARE(size, 6.0);
            QVERIFY(t.text.endsWith(QChar(0x2026)));
            const QString kept = t.text.chopped(1);
            QVERIFY(!kept.isEmpty() && value.startsWith(kept) && !kept.back().isSpace());
            QVERIFY(!value.at(kept.size()).isMark()); // never between a letter and its accent
            // One more character (past any blanks) would not fit.
            qsizetype next = kept.size();
            while (value.at(next).isSpace())
                ++next;
            ++next;
            while (next < value.size() && value.at(next).isMark())
                ++next;
            QVERIFY(widthOf(value.left(next) + QChar(0x2026), 6) > available);
        }
    }

    // Placement by alignment: in the element's box, or at the band's edges with align-to-band.
    void alignment_data()
    {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<bool>("toBand");
        QTest::addColumn<bool>("autoSize");
        QTest::addColumn<QString>("edge"); // which edge of the text lands on `at`
        QTest::addColumn<double>("at");
        const int left = int(Alignment::Left), center = int(Alignment::Center), right = int(Alignment::Right);
        QTest::newRow("left") << left << false << false << "left" << 60.0;
        QTest::newRow("left, auto-size") << left << false << true << "left" << 60.0;
        QTest::newRow("right keeps the right edge") << right << false << false << "right" << 100.0;
        QTest::newRow("right, auto-size grows left") << right << false << true << "right" << 100.0;
        QTest::newRow("centre") << center << false << false << "centre" << 80.0;
        QTest::newRow("band left") << left << true << false << "left" << 10.0;
        QTest::newRow("band right") << right << true << false << "right" << 200.0;
        QTest::newRow("band right, auto-size") << right << true << true << "right" << 200.0;
        QTest::newRow("band centre") << center << true << true << "centre" << 105.0;
    }
    void alignment()
    {
        QFETCH(int, alignment);
        QFETCH(bool, toBand);
        QFETCH(bool, autoSize);
        QFETCH(QString, edge);
        QFETCH(double, at);
        Element e = textElement(QStringLiteral("QRLabel1"), 50, 0, QStringLiteral("Cell Phone"));
        e.width = 40;
        e.alignment = static_cast<Alignment>(alignment);
        e.alignToBand = toBand;
        e.autoSize = autoSize;
        const TextItem t = texts(renderBand({e}, {{}}).pages[0]).at(0);
        const double x = edge == QLatin1String("left")    ? t.box.left()
                         : edge == QLatin1String("right") ? t.box.right()
                                                          : t.box.center().x();
        QVERIFY2(near(x, at, 1e-9), qPrintable(QString::number(x)));
        QCOMPARE(t.alignment, e.alignment);
    }

    // Without auto-size a text breaks at blanks; lines that reach below the element are not printed.
    void wrapping_data()
    {
        QTest::addColumn<bool>("wordWrap");
        QTest::addColumn<double>("height");
        QTest::addColumn<QStringList>("printed");
        QTest::newRow("room for all") << true << 20.0 << QStringList{"alpha beta", "gamma", "delta"};
        QTest::newRow("room for two") << true << 2 * lineHeight(10) << QStringList{"alpha beta", "gamma"};
        QTest::newRow("lower than a line prints one") << true << 1.0 << QStringList{"alpha beta"};
        QTest::newRow("no wrap") << false << 20.0 << QStringList{"alpha beta gamma delta"};
    }
    void wrapping()
    {
        QFETCH(bool, wordWrap);
        QFETCH(double, height);
        QFETCH(QStringList, printed);
        Element e = textElement(QStringLiteral("QRLabel1"), 0, 2, QStringLiteral("alpha beta gamma delta"));
        e.autoSize = false;
        e.wordWrap = wordWrap;
        e.width = widthOf(QStringLiteral("alpha beta")) + 0.01;
        e.height = height;
        const Page page = renderBand({e}, {{}}).pages[0];
        QCOMPARE(reporttest::textsOf(page), printed);
        const auto items = texts(page);
        for (size_t i = 0; i < items.size(); ++i)
            QVERIFY(near(items[i].box.top(), 12.0 + static_cast<double>(i) * lineHeight(10)));
    }

    // Memo lines lie one font line apart; removed lines let the ones below move up; lines reaching below the
    // element's bottom are not printed.
    void memoLines_data()
    {
        QTest::addColumn<QStringList>("row"); // Firstname, Surname, Address1, Address2, A3_Village, Town
        QTest::addColumn<double>("height");
        QTest::addColumn<QStringList>("printed");
        QTest::newRow("full") << QStringList{"Anna", "Smith", "1 Lane", "Upper", "Dean", "Exeter"} << 31.8
                              << QStringList{"Anna Smith", "1 Lane Upper", "Dean", "Exeter"};
        QTest::newRow("village removed") << QStringList{"Anna", "Smith", "1 Lane", "", "", "Exeter"} << 31.8
                                         << QStringList{"Anna Smith", "1 Lane ", "Exeter"};
        QTest::newRow("no address: the blank line closes up")
            << QStringList{"", "Smith", "", "", "", ""} << 31.8 << QStringList{" Smith"};
        QTest::newRow("cut below the bottom")
            << QStringList{"Anna", "Smith", "1 Lane", "Upper", "Dean", "Exeter"} << 3 * lineHeight(10) + 0.5
            << QStringList{"Anna Smith", "1 Lane Upper", "Dean"};
    }
    void memoLines()
    {
        QFETCH(QStringList, row);
        QFETCH(double, height);
        QFETCH(QStringList, printed);
        const QStringList fields = {"Firstname", "Surname", "Address1", "Address2", "A3_Village", "Town"};
        const Element memo = memoElement(
            QStringLiteral("QRExprMemo1"), 1.1, 0.8, 59.3, height,
            {"{Firstname +' '+Surname}", "{Address1 +' '+ Address2}", "{A3_Village}", "{Town}", "{County}"}, true);
        const auto items = texts(renderBand({memo}, {row}, fields).pages[0]);
        QStringList got;
        for (size_t i = 0; i < items.size(); ++i) {
            got << items[i].text;
            QVERIFY(near(items[i].box.left(), 11.1));
            QVERIFY(near(items[i].box.top(), 10.8 + static_cast<double>(i) * lineHeight(10)));
        }
        QCOMPARE(got, printed);
    }

    void fieldWithLineBreaksPrintsSeveralLines()
    {
        Element e = fieldElement(QStringLiteral("QRDBText1"), 0, 0, QStringLiteral("Notes"));
        e.height = 20;
        const auto items = texts(renderBand({e}, {{"first\r\nsecond\nthird"}}, {"Notes"}).pages[0]);
        QCOMPARE(items.size(), size_t(3));
        QCOMPARE(items[2].text, QStringLiteral("third"));
        QVERIFY(near(items[2].box.top(), 10.0 + 2 * lineHeight(10)));
    }

    void opaqueElementFillsItsBoxFirst()
    {
        Element e = textElement(QStringLiteral("QRLabel1"), 0.8, 34.9, QStringLiteral("Dear"));
        e.opaque = true;
        e.height = 4.5;
        const Page page = renderBand({e}, {{}}).pages[0];
        QCOMPARE(page.items.size(), size_t(2));
        const auto* fill = std::get_if<RectItem>(&page.items[0]);
        QVERIFY(fill);
        QCOMPARE(fill->fill, QColor(Qt::white));
        QCOMPARE(fill->rect.topLeft(), QPointF(10.8, 44.9));
        QVERIFY(near(fill->rect.width(), widthOf(QStringLiteral("Dear"))));
        QCOMPARE(fill->rect.height(), 4.5);
    }

    void framesAndShapes()
    {
        ReportDefinition d;
        d.margins = {10, 10, 10, 10};
        Band detail;
        detail.height = 6.6;
        detail.frame.top = true;
        detail.frame.right = true;
        detail.elements = {lineElement(QStringLiteral("QRShape1"), ShapeKind::HorizontalLine, 5, 2, 50, 2),
                           rectangleElement(QStringLiteral("QRShape2"), 100, 1, 20, 4)};
        d.bands.push_back(detail);
        auto source = reporttest::numbered(1);
        const Page page = render(d, source).pages[0];
        const auto lines = reporttest::lines(page);
        QCOMPARE(lines.size(), size_t(3));
        QCOMPARE(lines[0].from, QPointF(10, 10));
        QCOMPARE(lines[0].to, QPointF(200, 10));
        QVERIFY(near(lines[0].width, 25.4 / 72));
        QCOMPARE(lines[1].from, QPointF(200, 10));
        QVERIFY(near(lines[1].to.y(), 16.6));
        QCOMPARE(lines[2].from, QPointF(15, 12));
        QVERIFY(near(lines[2].width, 2 * 25.4 / 72));
        const auto* rect = std::get_if<RectItem>(&page.items.back());
        QVERIFY(rect);
        QCOMPARE(rect->rect, QRectF(110, 11, 20, 4));
    }

    // The document is read as each page is made, laid out at the element's width and cut at its height
    // without showing half a line; pages that show the same document share one copy of it.
    void richTextBlock()
    {
        QTextDocument letter;
        QTextCursor cursor(&letter);
        for (int i = 0; i < 40; ++i)
            cursor.insertText(QStringLiteral("Paragraph %1 of the letter body.\n").arg(i + 1));
        ReportDefinition d;
        d.margins = {10, 10, 10, 10};
        Band detail;
        detail.height = 40.2;
        detail.elements = {textElement(QStringLiteral("QRLabel1"), 0, 0, QStringLiteral("Dear"))};
        Band footer;
        footer.kind = BandKind::PageFooter;
        footer.height = 227.3;
        footer.elements = {
            richTextElement(QStringLiteral("QRRichText1"), 0.8, 0.5, 188.1, 50.0, [&letter] { return &letter; })};
        d.bands = {detail, footer};
        auto source = reporttest::numbered(3);
        Rendering r;
        RenderCallbacks callbacks;
        callbacks.pageFinished = [&](int page) {
            if (page == 1)
                cursor.insertText(QStringLiteral("Added after page 2."));
        };
        render(d, source, r, callbacks);

        QCOMPARE(r.pageCount(), 3);
        std::vector<RichTextItem> blocks;
        for (const Page& page : r.pages)
            for (const PageItem& item : page.items)
                if (const auto* block = std::get_if<RichTextItem>(&item))
                    blocks.push_back(*block);
        QCOMPARE(blocks.size(), size_t(3));
        QCOMPARE(blocks[0].rect, QRectF(10.8, 59.7 + 0.5, 188.1, 50.0));
        QCOMPARE(blocks[1].content, blocks[0].content);
        QCOMPARE(blocks[2].content, 1); // the edited document, read when page 3 was made
        QCOMPARE(r.richTexts().size(), size_t(2));
        QVERIFY(r.richTexts()[1].contains(QStringLiteral("Added after page 2.")));

        // Lines of one size: the cut falls on a whole number of lines, the last of them within 50 mm.
        const double line = blocks[0].visibleHeight;
        QVERIFY(line > 40.0 && line <= 50.0);
        QTextDocument copy;
        copy.setHtml(r.richTexts()[0]);
        const QFontMetricsF fm(QFont(copy.defaultFont(), referenceDevice()), referenceDevice());
        const double perLine = referenceUnitsToMm(fm.height());
        const double lines = line / perLine;
        QVERIFY2(std::abs(lines - std::round(lines)) < 0.05, qPrintable(QString::number(lines)));
        QVERIFY(50.0 - line < perLine);
    }

    void emptyRichTextPrintsNothing()
    {
        QTextDocument empty;
        const Rendering r = renderBand(
            {richTextElement(QStringLiteral("QRRichText1"), 0, 0, 100, 40, [&empty] { return &empty; })}, {{}});
        QVERIFY(r.pages[0].items.empty());
        QVERIFY(r.richTexts().empty());
    }
};

QTEST_MAIN(TestElements)
#include "tst_elements.moc"

#include "ReportTestUtil.h"

#include "platform/AppError.h"
#include "reports/Renderer.h"

#include <QTest>

using namespace reports;
using reporttest::find;
using reporttest::near;
using reporttest::numbered;
using reporttest::texts;

using Breaker = std::function<void(ReportDefinition&)>;
Q_DECLARE_METATYPE(std::vector<double>)
Q_DECLARE_METATYPE(Breaker)

namespace {

Band band(BandKind kind, const QString& name, double height, std::vector<Element> elements = {})
{
    Band b;
    b.kind = kind;
    b.name = name;
    b.height = height;
    b.elements = std::move(elements);
    return b;
}

// A report of one detail band that prints the surname at the band's top-left corner.
ReportDefinition grid(Margins margins, int columns, double spacing, double detailHeight,
                      Orientation orientation = Orientation::Portrait)
{
    ReportDefinition d;
    d.name = QStringLiteral("Grid");
    d.margins = margins;
    d.columns = columns;
    d.columnSpacing = spacing;
    d.orientation = orientation;
    d.bands.push_back(band(BandKind::Detail, QStringLiteral("DetailBand1"), detailHeight,
                           {fieldElement(QStringLiteral("QRDBText1"), 0, 0, QStringLiteral("Surname"))}));
    return d;
}

// Which band tops and lefts the rows went to, by the surname they print.
QPointF placeOf(const Rendering& r, int page, const QString& surname)
{
    const TextItem t = find(r.pages[static_cast<size_t>(page)], surname);
    return t.box.topLeft();
}

} // namespace

class TestRenderer : public QObject
{
    Q_OBJECT
private slots:
    // The label, Filofax and diary sheets: columns fill top to bottom, then the next column, then a new sheet.
    void sheetGrid_data()
    {
        QTest::addColumn<double>("top");
        QTest::addColumn<double>("bottom");
        QTest::addColumn<double>("left");
        QTest::addColumn<double>("right");
        QTest::addColumn<int>("columns");
        QTest::addColumn<double>("spacing");
        QTest::addColumn<double>("height");
        QTest::addColumn<bool>("landscape");
        QTest::addColumn<std::vector<double>>("columnLefts");
        QTest::addColumn<std::vector<double>>("rowTops");
        QTest::newRow("21 labels") << 18.0 << 10.0 << 12.0 << 10.0 << 3 << 5.0 << 38.1 << false
                                   << std::vector<double>{12.0, 76.3333, 140.6667}
                                   << std::vector<double>{18.0, 56.1, 94.2, 132.3, 170.4, 208.5, 246.6};
        QTest::newRow("16 labels") << 15.0 << 0.0 << 15.0 << 10.0 << 2 << 25.0 << 33.6 << false
                                   << std::vector<double>{15.0, 120.0}
                                   << std::vector<double>{15.0, 48.6, 82.2, 115.8, 149.4, 183.0, 216.6, 250.2};
        QTest::newRow("filofax") << 5.0 << 127.0 << 15.0 << 50.0 << 2 << 15.0 << 31.2 << false
                                 << std::vector<double>{15.0, 95.0}
                                 << std::vector<double>{5.0, 36.2, 67.4, 98.6, 129.8};
        QTest::newRow("A5 diary, landscape")
            << 8.0 << 5.0 << 10.0 << 10.0 << 4 << 5.0 << 48.9 << true << std::vector<double>{10.0, 80.5, 151.0, 221.5}
            << std::vector<double>{8.0, 56.9, 105.8, 154.7};
    }
    void sheetGrid()
    {
        QFETCH(double, top);
        QFETCH(double, bottom);
        QFETCH(double, left);
        QFETCH(double, right);
        QFETCH(int, columns);
        QFETCH(double, spacing);
        QFETCH(double, height);
        QFETCH(bool, landscape);
        QFETCH(std::vector<double>, columnLefts);
        QFETCH(std::vector<double>, rowTops);

        const auto d = grid({top, bottom, left, right}, columns, spacing, height,
                            landscape ? Orientation::Landscape : Orientation::Portrait);
        const int perPage = static_cast<int>(columnLefts.size() * rowTops.size());
        auto source = numbered(perPage + 1);
        const Rendering r = render(d, source);

        QCOMPARE(r.pageCount(), 2);
        QCOMPARE(r.pages[0].size, landscape ? QSizeF(297, 210) : QSizeF(210, 297));
        for (int i = 0; i < perPage; ++i) {
            const QPointF at = placeOf(r, 0, QStringLiteral("Name%1").arg(i + 1));
            const size_t column = static_cast<size_t>(i) / rowTops.size();
            const size_t row = static_cast<size_t>(i) % rowTops.size();
            QVERIFY2(near(at.x(), columnLefts[column], 1e-3) && near(at.y(), rowTops[row], 1e-9),
                     qPrintable(QStringLiteral("record %1 at %2,%3").arg(i + 1).arg(at.x()).arg(at.y())));
        }
        QCOMPARE(texts(r.pages[1]).size(), size_t(1));
        QCOMPARE(placeOf(r, 1, QStringLiteral("Name%1").arg(perPage + 1)), QPointF(columnLefts[0], rowTops[0]));
    }

    // The current position moves by the band height taken to the nearest 0.1 mm.
    void positionsMoveInTenths_data()
    {
        QTest::addColumn<double>("height");
        QTest::addColumn<std::vector<double>>("tops");
        QTest::newRow("6.66 moves 6.7") << 6.66 << std::vector<double>{10.0, 16.7, 23.4, 30.1};
        QTest::newRow("6.64 moves 6.6") << 6.64 << std::vector<double>{10.0, 16.6, 23.2, 29.8};
        QTest::newRow("6.65 moves 6.7") << 6.65 << std::vector<double>{10.0, 16.7, 23.4, 30.1};
    }
    void positionsMoveInTenths()
    {
        QFETCH(double, height);
        QFETCH(std::vector<double>, tops);
        auto source = numbered(static_cast<int>(tops.size()));
        const Rendering r = render(grid({10, 10, 10, 10}, 1, 0, height), source);
        for (size_t i = 0; i < tops.size(); ++i)
            QCOMPARE(placeOf(r, 0, QStringLiteral("Name%1").arg(i + 1)).y(), tops[i]);
    }

    void bandThatExactlyFillsTheRoomStaysInTheColumn()
    {
        // 297 - 10 - 257 leaves 30 mm from the top margin: three 10 mm bands fit, the last one exactly.
        auto source = numbered(4);
        const Rendering r = render(grid({10, 257, 10, 10}, 1, 0, 10.0), source);
        QCOMPARE(r.pageCount(), 2);
        QCOMPARE(placeOf(r, 0, QStringLiteral("Name3")).y(), 30.0);
        QCOMPARE(placeOf(r, 1, QStringLiteral("Name4")).y(), 10.0);
    }

    // Title on page 1 only; column header at the top of every column and page, under the title on page 1;
    // page footer on every page, on the last only with footer-on-last-page.
    void titleHeaderAndFooterBands_data()
    {
        QTest::addColumn<bool>("footerOnLastPage");
        QTest::newRow("footer on last page") << true;
        QTest::newRow("no footer on last page") << false;
    }
    void titleHeaderAndFooterBands()
    {
        QFETCH(bool, footerOnLastPage);
        // Band area 10 .. 297-10-5 = 282; title 20, header 12, detail 50: page 1 holds 5 rows in two columns
        // (30+12+50*5 = 292 > 282: 4 rows a column); later pages 10+12+50*5 = 272: 5 rows a column.
        auto d = grid({10, 10, 10, 10}, 2, 10, 50.0);
        d.footerOnLastPage = footerOnLastPage;
        d.bands.insert(d.bands.begin(), band(BandKind::ColumnHeader, QStringLiteral("ColumnHeaderBand1"), 12.0,
                                             {textElement(QStringLiteral("H"), 0, 0, QStringLiteral("Heading"))}));
        d.bands.insert(d.bands.begin(), band(BandKind::Title, QStringLiteral("TitleBand1"), 20.0,
                                             {textElement(QStringLiteral("T"), 0, 0, QStringLiteral("Title"))}));
        d.bands.push_back(band(BandKind::PageFooter, QStringLiteral("PageFooterBand1"), 5.0,
                               {pageNumberElement(QStringLiteral("P"), 0, 0, QStringLiteral("Page "))}));
        auto source = numbered(9);
        const Rendering r = render(d, source);

        QCOMPARE(r.pageCount(), 2);
        const auto& p1 = r.pages[0];
        const auto& p2 = r.pages[1];
        QCOMPARE(find(p1, QStringLiteral("Title")).box.topLeft(), QPointF(10, 10));
        QCOMPARE(find(p2, QStringLiteral("Title")).text, QString());
        std::vector<QPointF> headings;
        for (const auto& t : texts(p1))
            if (t.text == QStringLiteral("Heading"))
                headings.push_back(t.box.topLeft());
        QCOMPARE(headings, (std::vector<QPointF>{{10, 30}, {110, 30}})); // column 2 starts under the title
        QCOMPARE(placeOf(r, 0, QStringLiteral("Name1")), QPointF(10, 42));
        QCOMPARE(placeOf(r, 0, QStringLiteral("Name4")), QPointF(10, 192));
        QCOMPARE(placeOf(r, 0, QStringLiteral("Name5")), QPointF(110, 42));
        QCOMPARE(find(p2, QStringLiteral("Heading")).box.topLeft(), QPointF(10, 10));
        QCOMPARE(placeOf(r, 1, QStringLiteral("Name9")), QPointF(10, 22));
        QCOMPARE(find(p1, QStringLiteral("Page 1")).box.top(), 282.0);
        QCOMPARE(find(p2, QStringLiteral("Page 2")).text.isEmpty(), !footerOnLastPage);
    }

    void emptySelection_data()
    {
        QTest::addColumn<bool>("printIfEmpty");
        QTest::addColumn<bool>("footerOnLastPage");
        QTest::addColumn<QStringList>("printed");
        QTest::newRow("no page") << false << true << QStringList{};
        QTest::newRow("one page with footer") << true << true << QStringList{"Title", " ,", "Page 1"};
        QTest::newRow("one page without footer") << true << false << QStringList{"Title", " ,"};
    }
    void emptySelection()
    {
        QFETCH(bool, printIfEmpty);
        QFETCH(bool, footerOnLastPage);
        QFETCH(QStringList, printed);
        auto d = grid({10, 10, 10, 10}, 1, 0, 20.0);
        d.printIfEmpty = printIfEmpty;
        d.footerOnLastPage = footerOnLastPage;
        d.bands[0].elements.push_back(
            memoElement(QStringLiteral("M"), 0, 5, 50, 10,
                        {QStringLiteral("{Firstname+' '+Surname},"), QStringLiteral("{Town}")}, true));
        d.bands.insert(d.bands.begin(), band(BandKind::ColumnHeader, QStringLiteral("ColumnHeaderBand1"), 5.0,
                                             {textElement(QStringLiteral("H"), 0, 0, QStringLiteral("Heading"))}));
        d.bands.insert(d.bands.begin(), band(BandKind::Title, QStringLiteral("TitleBand1"), 7.0,
                                             {textElement(QStringLiteral("T"), 0, 0, QStringLiteral("Title"))}));
        d.bands.push_back(band(BandKind::GroupHeader, QStringLiteral("QRGroup1"), 5.0,
                               {textElement(QStringLiteral("G"), 0, 0, QStringLiteral("Group"))}));
        d.bands.back().groupExpression = QStringLiteral("Surname");
        d.bands.push_back(band(BandKind::PageFooter, QStringLiteral("PageFooterBand1"), 5.0,
                               {pageNumberElement(QStringLiteral("P"), 0, 0, QStringLiteral("Page "))}));
        MemoryRecordSource source(MemoryRecordSource::contactFields());
        source.setCurrentRow(-1);
        int progressCalls = 0;
        Rendering r;
        RenderCallbacks counting;
        counting.progress = [&](int) { ++progressCalls; };
        render(d, source, r, counting);

        QCOMPARE(r.pageCount(), printed.isEmpty() ? 0 : 1);
        QVERIFY(r.finished);
        QCOMPARE(progressCalls, 0);
        QCOMPARE(source.currentRow(), -1);
        if (r.pageCount() == 1) {
            QCOMPARE(reporttest::textsOf(r.pages[0]), printed);
            QCOMPARE(find(r.pages[0], QStringLiteral(" ,")).box.top(), 10.0 + 7.0 + 5.0); // right under the title
        }
    }

    // Group values are compared exactly; a header keeps with its first record, never alone at a page's foot.
    void groupHeaders()
    {
        auto d = grid({10, 10, 10, 10}, 1, 0, 10.0);
        Band group = band(BandKind::GroupHeader, QStringLiteral("QRGroup1"), 5.0,
                          {expressionElement(QStringLiteral("E"), 0, 0, QStringLiteral("'Group '+COPY(Surname,1,1)"))});
        group.groupExpression = QStringLiteral("COPY(HomeQuery.Surname,1,1)");
        d.bands.insert(d.bands.begin(), group);
        // Band area 10..287: "Group A" at 10..15 and 26 rows to 275; "Group a" would fit at 275..280, its row would
        // not (280 + 10 > 287): both begin page 2.
        std::vector<QStringList> rows;
        for (int i = 0; i < 26; ++i)
            rows.push_back({QStringLiteral("Adams%1").arg(i)});
        rows.push_back({QStringLiteral("adams")});
        rows.push_back({QStringLiteral("Brown")});
        rows.push_back({QStringLiteral("Adams")});
        auto source = reporttest::contacts({QStringLiteral("Surname")}, rows);
        const Rendering r = render(d, source);

        QCOMPARE(r.pageCount(), 2);
        QCOMPARE(find(r.pages[1], QStringLiteral("Group a")).box.top(), 10.0);
        QCOMPARE(placeOf(r, 1, QStringLiteral("adams")).y(), 15.0);
        QStringList page2;
        for (const auto& t : texts(r.pages[1]))
            page2 << t.text;
        QCOMPARE(page2, (QStringList{"Group a", "adams", "Group B", "Brown", "Group A", "Adams"}));
    }

    void progressCancelAndHooks()
    {
        auto d = grid({10, 10, 10, 10}, 1, 0, 100.0); // two rows a page
        auto source = numbered(7);
        QList<int> percents;
        QList<int> finishedPages;
        Rendering r;
        bool sawRendering = true;
        RenderCallbacks callbacks;
        callbacks.progress = [&](int p) {
            percents << p;
            sawRendering = sawRendering && source.rendering();
        };
        callbacks.pageFinished = [&](int index) {
            QCOMPARE(index, r.pageCount() - 1);
            finishedPages << index;
        };
        callbacks.cancelRequested = [&] { return percents.size() == 5; };
        render(d, source, r, callbacks);

        QCOMPARE(percents, (QList<int>{14, 28, 42, 57, 71}));
        QVERIFY(sawRendering);
        QVERIFY(!r.finished);
        QCOMPARE(finishedPages, (QList<int>{0, 1})); // the third page was under way
        QCOMPARE(r.pageCount(), 2);
        QVERIFY(!source.rendering());
        QCOMPARE(source.currentRow(), 4);

        callbacks.cancelRequested = {};
        percents.clear();
        finishedPages.clear();
        render(d, source, r, callbacks);
        QCOMPARE(percents.last(), 100);
        QCOMPARE(percents.size(), 7);
        QVERIFY(r.finished);
        QCOMPARE(finishedPages, (QList<int>{0, 1, 2, 3}));
        QCOMPARE(source.currentRow(), 6); // left on the last row
    }

    // Handed over one by one (the batch's way), the pages are the same as those a rendering keeps, in order, and
    // none stays behind in the rendering.
    void pagesHandedOverAreNotKept()
    {
        const ReportDefinition d = grid({10, 10, 10, 10}, 3, 5, 38.1);
        auto source = numbered(50);
        const Rendering kept = render(d, source);
        QVERIFY(kept.pageCount() > 2);
        std::vector<Page> handed;
        std::vector<int> finished;
        RenderCallbacks callbacks;
        callbacks.takePage = [&](const Rendering& r, const Page& page) {
            QCOMPARE(r.fonts(), kept.fonts());
            handed.push_back(page);
        };
        callbacks.pageFinished = [&](int index) { finished.push_back(index); };
        Rendering streamed;
        render(d, source, streamed, callbacks);
        QVERIFY(streamed.finished);
        QCOMPARE(streamed.pageCount(), 0);
        QVERIFY(handed == kept.pages);
        QCOMPARE(finished.size(), handed.size());
        for (size_t i = 0; i < finished.size(); ++i)
            QCOMPARE(finished[i], int(i));
    }

    void bandTallerThanThePageDoesNotLoop()
    {
        auto source = numbered(3);
        const Rendering r = render(grid({10, 10, 10, 10}, 2, 10, 400.0), source);
        QCOMPARE(r.pageCount(), 2);
        QCOMPARE(placeOf(r, 0, QStringLiteral("Name1")), QPointF(10, 10));
        QCOMPARE(placeOf(r, 0, QStringLiteral("Name2")), QPointF(110, 10));
        QCOMPARE(placeOf(r, 1, QStringLiteral("Name3")), QPointF(10, 10));
    }

    void definitionsThatCannotBeRendered_data()
    {
        QTest::addColumn<Breaker>("breaker");
        QTest::addColumn<QString>("says");
        QTest::newRow("no columns") << Breaker([](ReportDefinition& d) { d.columns = 0; }) << "columns";
        QTest::newRow("negative margin") << Breaker([](ReportDefinition& d) { d.margins.left = -1; })
                                         << "must not be negative";
        QTest::newRow("unknown field") << Breaker([](ReportDefinition& d) {
            d.bands[0].elements[0].text = QStringLiteral("Surnam");
        }) << "\"Surnam\"";
        QTest::newRow("bad group expression") << Breaker([](ReportDefinition& d) {
            Band g = band(BandKind::GroupHeader, QStringLiteral("QRGroup1"), 5);
            g.groupExpression = QStringLiteral("COPY(Surname");
            d.bands.push_back(g);
        }) << "COPY(Surname";
        QTest::newRow("bad expression element") << Breaker([](ReportDefinition& d) {
            d.bands[0].elements.push_back(expressionElement({}, 0, 0, QStringLiteral("UPPER(Town)")));
        }) << "unknown function";
        QTest::newRow("margins leave no room") << Breaker([](ReportDefinition& d) {
            d.margins.top = 200;
            d.margins.bottom = 97;
        }) << "no room";
        QTest::newRow("two detail bands")
            << Breaker([](ReportDefinition& d) { d.bands.push_back(d.bands[0]); }) << "more than once";
    }
    void definitionsThatCannotBeRendered()
    {
        QFETCH(Breaker, breaker);
        QFETCH(QString, says);
        auto d = grid({10, 10, 10, 10}, 1, 0, 10.0);
        breaker(d);
        auto source = numbered(2);
        try {
            (void)render(d, source);
            QFAIL("rendered");
        } catch (const platform::AppError& e) {
            QVERIFY2(e.message().contains(says), qPrintable(e.message()));
        }
        QVERIFY(!source.rendering());
        QCOMPARE(source.currentRow(), -1);
    }
};

QTEST_MAIN(TestRenderer)
#include "tst_renderer.moc"

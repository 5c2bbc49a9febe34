#include "ReportTestUtil.h"

#include "data/ContactStore.h"
#include "reports/layouts/DiaryPages.h"
#include "reports/layouts/FilofaxPages.h"
#include "reports/layouts/AddressLabels14.h"
#include "reports/layouts/AddressLabels16.h"
#include "reports/layouts/AddressLabels21.h"
#include "reports/Renderer.h"
#include "reports/TextMetrics.h"

#include <QTest>

using namespace reports;
using reporttest::contacts;
using reporttest::find;
using reporttest::near;
using reporttest::numbered;
using reporttest::texts;

using Layout = ReportDefinition (*)();
Q_DECLARE_METATYPE(Layout)
Q_DECLARE_METATYPE(std::vector<double>)
Q_DECLARE_METATYPE(std::vector<int>)
Q_DECLARE_METATYPE(reports::PaperSource)

namespace {

const QStringList kAddressFields = {"Firstname", "Surname", "Address1", "Address2", "A3_Village",
                                    "Town",      "County",  "PostCode", "Country"};

const Element& memoOf(const ReportDefinition& d)
{
    return d.band(BandKind::Detail)->elements.at(0);
}

// Where the label of the first line holding `text` begins: its first line less the memo's offset.
QPointF labelOrigin(const ReportDefinition& d, const Page& page, const QString& text)
{
    const TextItem t = find(page, text);
    if (t.text.isEmpty())
        return {-1000, -1000};
    return t.box.topLeft() - QPointF(memoOf(d).left, memoOf(d).top);
}

} // namespace

class TestLabels : public QObject
{
    Q_OBJECT
private slots:
    void settings_data()
    {
        QTest::addColumn<Layout>("layout");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        QTest::addColumn<std::vector<double>>("margins"); // top, bottom, left, right
        QTest::addColumn<int>("columns");
        QTest::addColumn<double>("spacing");
        QTest::addColumn<double>("labelWidth");
        QTest::addColumn<double>("labelHeight");
        QTest::addColumn<bool>("printIfEmpty");
        QTest::addColumn<PaperSource>("paperSource");
        QTest::addColumn<int>("perSheet");
        QTest::addColumn<std::vector<double>>("memo"); // point size, left, top, height
        QTest::newRow("21") << Layout(labels21Report) << "QRLabel"
                            << "Address Labels" << std::vector<double>{18, 10, 12, 10} << 3 << 5.0 << 59.3333 << 38.1
                            << false << PaperSource::FirstTray << 21 << std::vector<double>{10, 1.1, 0.8, 31.8};
        QTest::newRow("16") << Layout(labels16Report) << "QRLabel16Rep"
                            << "" << std::vector<double>{15, 0, 15, 10} << 2 << 25.0 << 80.0 << 33.6 << true
                            << PaperSource::Automatic << 16 << std::vector<double>{9, 1.9, 0.8, 28.8};
        QTest::newRow("14") << Layout(labels14Report) << "QRLabel14"
                            << "" << std::vector<double>{15.15, 15.1, 4.67, 4.67} << 2 << 2.54 << 99.06 << 38.1 << false
                            << PaperSource::FirstTray << 14 << std::vector<double>{10, 1.1, 0.8, 31.8};
    }
    void settings()
    {
        QFETCH(Layout, layout);
        QFETCH(QString, name);
        QFETCH(QString, title);
        QFETCH(std::vector<double>, margins);
        QFETCH(int, columns);
        QFETCH(double, spacing);
        QFETCH(double, labelWidth);
        QFETCH(double, labelHeight);
        QFETCH(bool, printIfEmpty);
        QFETCH(PaperSource, paperSource);
        QFETCH(int, perSheet);
        QFETCH(std::vector<double>, memo);

        const ReportDefinition d = layout();
        QCOMPARE(d.name, name);
        QCOMPARE(d.title, title);
        QCOMPARE(d.pageSize(), QSizeF(210, 297));
        QCOMPARE((std::vector<double>{d.margins.top, d.margins.bottom, d.margins.left, d.margins.right}), margins);
        QCOMPARE(d.columns, columns);
        QCOMPARE(d.columnSpacing, spacing);
        QVERIFY(near(PageGeometry::of(d).columnWidth, labelWidth, 1e-3));
        QCOMPARE(d.printIfEmpty, printIfEmpty);
        QCOMPARE(d.copies, 1);
        QCOMPARE(d.paperSource, paperSource);
        QVERIFY(d.pageRange.all()); // never the stored single page that would print nothing on one sheet
        QCOMPARE(d.labelsPerSheet, perSheet);
        QCOMPARE(d.startAtLabel, 1);

        QCOMPARE(d.bands.size(), size_t(1));
        const Band& detail = d.bands[0];
        QCOMPARE(detail.kind, BandKind::Detail);
        QCOMPARE(detail.height, labelHeight);
        QCOMPARE(detail.elements.size(), size_t(1));
        const Element& e = detail.elements[0];
        QCOMPARE(e.kind, ElementKind::ExprMemo);
        QCOMPARE(e.name, QStringLiteral("QRExprMemo1"));
        QCOMPARE(e.font, ReportFont::arial(memo[0]));
        QCOMPARE((std::vector<double>{e.left, e.top, e.height}), (std::vector<double>{memo[1], memo[2], memo[3]}));
        QCOMPARE(e.alignment, Alignment::Left);
        QVERIFY(e.autoSize);
        QVERIFY(e.removeBlankLines);
        QCOMPARE(e.lines, (QStringList{"{Firstname +' '+Surname}", "{Address1 +' '+ Address2}", "{A3_Village}",
                                       "{Town}", "{County}", "{PostCode}", "{Country}"}));
    }

    // Every label of every page on the stock's grid, filled column by column, in the memo's font.
    void grid_data()
    {
        QTest::addColumn<Layout>("layout");
        QTest::addColumn<std::vector<double>>("columnLefts");
        QTest::addColumn<std::vector<double>>("rowTops");
        QTest::newRow("21") << Layout(labels21Report) << std::vector<double>{12.0, 76.3, 140.7}
                            << std::vector<double>{18.0, 56.1, 94.2, 132.3, 170.4, 208.5, 246.6};
        QTest::newRow("16") << Layout(labels16Report) << std::vector<double>{15.0, 120.0}
                            << std::vector<double>{15.0, 48.6, 82.2, 115.8, 149.4, 183.0, 216.6, 250.2};
        QTest::newRow("14") << Layout(labels14Report) << std::vector<double>{4.67, 106.27}
                            << std::vector<double>{15.15, 53.25, 91.35, 129.45, 167.55, 205.65, 243.75};
    }
    void grid()
    {
        QFETCH(Layout, layout);
        QFETCH(std::vector<double>, columnLefts);
        QFETCH(std::vector<double>, rowTops);
        const ReportDefinition d = layout();
        const int perSheet = static_cast<int>(columnLefts.size() * rowTops.size());
        QCOMPARE(d.labelsPerSheet, perSheet);
        auto source = numbered(2 * perSheet + 1);
        const Rendering r = render(d, source);

        QCOMPARE(r.pageCount(), 3);
        QCOMPARE(reporttest::textsOf(r.pages[2]), (QStringList{QStringLiteral(" Name%1").arg(2 * perSheet + 1)}));
        for (int i = 0; i < 2 * perSheet + 1; ++i) {
            const int page = i / perSheet;
            const int onSheet = i % perSheet;
            const size_t column = static_cast<size_t>(onSheet) / rowTops.size();
            const size_t row = static_cast<size_t>(onSheet) % rowTops.size();
            const QString text = QStringLiteral(" Name%1").arg(i + 1); // no first name: a blank, then the surname
            const QPointF at = labelOrigin(d, r.pages[static_cast<size_t>(page)], text);
            QVERIFY2(near(at.x(), columnLefts[column], 0.1) && near(at.y(), rowTops[row], 0.1),
                     qPrintable(QStringLiteral("label %1 at %2,%3").arg(i + 1).arg(at.x()).arg(at.y())));
            QCOMPARE(r.fonts()[size_t(find(r.pages[size_t(page)], text).font)], *memoOf(d).font);
        }
    }

    void twentyTwoContactsOnTwentyOneLabels()
    {
        const ReportDefinition d = labels21Report();
        auto source = numbered(22);
        const Rendering r = render(d, source);
        QCOMPARE(r.pageCount(), 2);
        QCOMPARE(reporttest::textsOf(r.pages[1]), (QStringList{" Name22"}));
        QCOMPARE(find(r.pages[1], QStringLiteral(" Name22")).box.topLeft(), QPointF(12.0 + 1.1, 18.0 + 0.8));
        QCOMPARE(source.currentRow(), 21);
    }

    // A line left empty or only blank (no address: the blank joining two empty fields) goes, and the rest move up.
    void blankLinesRemoved_data()
    {
        QTest::addColumn<QStringList>("values"); // in the order of kAddressFields
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("names only") << QStringList{"Ann", "Lee"} << QStringList{"Ann Lee"};
        QTest::newRow("no first name") << QStringList{"", "Lee"} << QStringList{" Lee"};
        QTest::newRow("village only") << QStringList{"Ann", "Lee", "", "", "Ash"} << QStringList{"Ann Lee", "Ash"};
        QTest::newRow("gaps") << QStringList{"Ann", "Lee", "1 Mill Rd", "", "", "Bath", "", "BA1 1AB"}
                              << QStringList{"Ann Lee", "1 Mill Rd ", "Bath", "BA1 1AB"};
        QTest::newRow("blank county goes") << QStringList{"Ann", "Lee", "", "", "", "Bath", " ", "", "UK"}
                                           << QStringList{"Ann Lee", "Bath", "UK"};
        QTest::newRow("all seven") << QStringList{"Ann",  "Lee",      "1 Mill Rd", "Flat 2", "Ash",
                                                  "Bath", "Somerset", "BA1 1AB",   "UK"}
                                   << QStringList{"Ann Lee",  "1 Mill Rd Flat 2", "Ash", "Bath",
                                                  "Somerset", "BA1 1AB",          "UK"};
    }
    void blankLinesRemoved()
    {
        QFETCH(QStringList, values);
        QFETCH(QStringList, lines);
        for (const Layout layout : {Layout(labels21Report), Layout(labels16Report)}) {
            const ReportDefinition d = layout();
            auto source = contacts(kAddressFields, {values});
            const Rendering r = render(d, source);
            QCOMPARE(r.pageCount(), 1);
            const auto items = texts(r.pages[0]);
            QStringList printed;
            for (const TextItem& t : items)
                printed << t.text;
            QCOMPARE(printed, lines);
            // One font line apart, from the memo's top down.
            const double lineHeight = FontMetrics(*memoOf(d).font).lineHeight();
            for (size_t i = 0; i < items.size(); ++i)
                QVERIFY(near(items[i].box.top(), d.margins.top + memoOf(d).top + double(i) * lineHeight, 1e-9));
        }
    }

    void emptySelection_data()
    {
        QTest::addColumn<Layout>("layout");
        QTest::addColumn<int>("pages");
        QTest::newRow("21: no page") << Layout(labels21Report) << 0;
        QTest::newRow("14: no page") << Layout(labels14Report) << 0;
        QTest::newRow("16: one blank page") << Layout(labels16Report) << 1;
    }
    void emptySelection()
    {
        QFETCH(Layout, layout);
        QFETCH(int, pages);
        MemoryRecordSource source(MemoryRecordSource::contactFields());
        const Rendering r = render(layout(), source);
        QCOMPARE(r.pageCount(), pages);
        if (pages == 1)
            QVERIFY(texts(r.pages[0]).empty());
    }

    // A part-used sheet: the first sheet leaves the labels before the start label empty, column by column.
    void startAtLabel_data()
    {
        QTest::addColumn<Layout>("layout");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("contacts");
        QTest::addColumn<QPointF>("first"); // label origin of the first contact
        QTest::addColumn<std::vector<int>>("perPage");
        const QPointF r21c1(12.0, 18.0);
        QTest::newRow("21 at 1") << Layout(labels21Report) << 1 << 3 << r21c1 << std::vector<int>{3};
        QTest::newRow("21 at 5: column 1 row 5")
            << Layout(labels21Report) << 5 << 21 << QPointF(12.0, 170.4) << std::vector<int>{17, 4};
        QTest::newRow("21 at 8: column 2 row 1")
            << Layout(labels21Report) << 8 << 2 << QPointF(76.3, 18.0) << std::vector<int>{2};
        QTest::newRow("21 at 21: last label, then a new sheet")
            << Layout(labels21Report) << 21 << 2 << QPointF(140.7, 246.6) << std::vector<int>{1, 1};
        QTest::newRow("21 at 0 counts as 1") << Layout(labels21Report) << 0 << 1 << r21c1 << std::vector<int>{1};
        QTest::newRow("21 past the sheet counts as 21")
            << Layout(labels21Report) << 40 << 1 << QPointF(140.7, 246.6) << std::vector<int>{1};
        QTest::newRow("16 at 9: column 2 row 1")
            << Layout(labels16Report) << 9 << 9 << QPointF(120.0, 15.0) << std::vector<int>{8, 1};
        QTest::newRow("16 empty selection at 3: one sheet, nothing on it")
            << Layout(labels16Report) << 3 << 0 << QPointF() << std::vector<int>{1};
        QTest::newRow("14 at 7: column 1 row 7")
            << Layout(labels14Report) << 7 << 1 << QPointF(4.67, 243.75) << std::vector<int>{1};
        QTest::newRow("not a label report: ignored")
            << Layout(filofaxReport) << 4 << 1 << QPointF(15.0 - 0.0, 5.0) << std::vector<int>{1};
    }
    void startAtLabel()
    {
        QFETCH(Layout, layout);
        QFETCH(int, start);
        QFETCH(int, contacts);
        QFETCH(QPointF, first);
        QFETCH(std::vector<int>, perPage);
        ReportDefinition d = layout();
        d.startAtLabel = start;
        auto source = numbered(contacts);
        const Rendering r = render(d, source);

        QCOMPARE(r.pageCount(), int(perPage.size()));
        if (contacts == 0) {
            // The one label printed for an empty selection has only blank lines, and they close up.
            QVERIFY(texts(r.pages[0]).empty());
            return;
        }
        const auto firstText = texts(r.pages[0]).at(0);
        const QPointF at = firstText.box.topLeft() - QPointF(memoOf(d).left, memoOf(d).top);
        QVERIFY2(near(at.x(), first.x(), 0.1) && near(at.y(), first.y(), 0.1),
                 qPrintable(QStringLiteral("first label at %1,%2").arg(at.x()).arg(at.y())));
        for (size_t p = 0; p < perPage.size(); ++p) {
            int labels = 0;
            for (const TextItem& t : texts(r.pages[p]))
                labels += t.text.contains(QStringLiteral("Name")) ? 1 : 0;
            QCOMPARE(labels, perPage[p]);
        }
        if (perPage.size() > 1) // the rest flows on from the top of the next sheet
            QCOMPARE(texts(r.pages[1]).at(0).box.topLeft() - QPointF(memoOf(d).left, memoOf(d).top),
                     QPointF(d.margins.left, d.margins.top));
    }
};

QTEST_MAIN(TestLabels)
#include "tst_labels.moc"

#include "ReportTestUtil.h"

#include "reports/layouts/PhoneList.h"
#include "reports/Renderer.h"

#include <QTest>
#include <map>

using namespace reports;
using reporttest::contacts;
using reporttest::find;
using reporttest::near;
using reporttest::texts;

namespace {

const QStringList kFields = {"Surname", "Firstname", "Tel", "Cell", "Work Tel", "Email"};

Rendering renderPhoneList(MemoryRecordSource& source)
{
    return render(phoneListReport(), source);
}

// Contacts with the given surnames and every other field of the list filled.
// Each entry a surname, or "Surname|Firstname" (first name "Jo" where none is given).
MemoryRecordSource people(const QStringList& surnames)
{
    std::vector<QStringList> rows;
    for (const QString& s : surnames)
        rows.push_back({s.section(QLatin1Char('|'), 0, 0),
                        s.contains(QLatin1Char('|')) ? s.section(QLatin1Char('|'), 1) : QStringLiteral("Jo"),
                        QStringLiteral("01452 1"), QStringLiteral("07700 2"), QStringLiteral("0117 3"),
                        QStringLiteral("jo@example.org")});
    return contacts(kFields, rows);
}

// The tops of the rules drawn along the top edge of every detail band.
std::vector<double> ruleTops(const Page& page)
{
    std::vector<double> tops;
    for (const LineItem& l : reporttest::lines(page))
        tops.push_back(l.from.y());
    return tops;
}

// The group header texts of a page: the Arial 8 bold texts.
QStringList initials(const Rendering& r, const Page& page)
{
    QStringList result;
    for (const TextItem& t : texts(page))
        if (r.fonts()[size_t(t.font)] == ReportFont::arial(8, true))
            result << t.text;
    return result;
}

} // namespace

class TestPhoneList : public QObject
{
    Q_OBJECT
private slots:
    void settings()
    {
        const ReportDefinition d = phoneListReport();
        QCOMPARE(d.name, QStringLiteral("QuickRep1"));
        QVERIFY(d.title.isEmpty());
        QCOMPARE(d.pageSize(), QSizeF(210, 297));
        QCOMPARE(d.margins.top, 10.0);
        QCOMPARE(d.margins.bottom, 10.0);
        QCOMPARE(d.margins.left, 10.0);
        QCOMPARE(d.margins.right, 10.0);
        QCOMPARE(d.columns, 1);
        QCOMPARE(PageGeometry::of(d).columnWidth, 190.0);
        QVERIFY(d.footerOnLastPage);
        QVERIFY(!d.printIfEmpty);
        QCOMPARE(d.copies, 1);
        QCOMPARE(d.paperSource, PaperSource::FirstTray);
        QVERIFY(d.pageRange.all());
        QCOMPARE(d.defaultFont, ReportFont::arial(8));
        QStringList bands;
        for (const Band& b : d.bands)
            bands << QStringLiteral("%1 %2").arg(b.name).arg(b.height);
        QCOMPARE(bands, (QStringList{"TitleBand1 7.9", "ColumnHeaderBand1 5.8", "QRGroup1 4.8", "DetailBand1 6.6",
                                     "PageFooterBand1 6.1"}));
        QCOMPARE(d.band(BandKind::GroupHeader)->groupExpression, QStringLiteral("INITIAL(HomeQuery.Surname)"));
    }

    // Every text of the first page where the layout puts it, in its font.
    void firstPage_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("left");
        QTest::addColumn<double>("top");
        QTest::addColumn<double>("points");
        QTest::addColumn<bool>("bold");
        QTest::newRow("Surname heading") << "Surname" << 10.5 << 17.9 << 10.0 << true;
        QTest::newRow("Firstname heading, over its column") << "Firstname" << 41.0 << 17.9 << 10.0 << true;
        QTest::newRow("Tel heading") << "Tel" << 68.5 << 17.9 << 10.0 << true;
        QTest::newRow("Cell Phone heading") << "Cell Phone" << 94.4 << 17.9 << 10.0 << true;
        QTest::newRow("Work Tel heading") << "Work Tel" << 124.3 << 18.2 << 10.0 << true;
        QTest::newRow("email heading") << "email" << 150.2 << 18.2 << 10.0 << true;
        QTest::newRow("initial") << "A" << 10.5 << 24.2 << 8.0 << true;
        QTest::newRow("Surname") << "Adams" << 10.5 << 29.6 << 9.0 << false;
        QTest::newRow("Firstname") << "Jo" << 41.0 << 29.6 << 9.0 << false;
        QTest::newRow("Tel") << "01452 1" << 69.3 << 29.8 << 9.0 << false;
        QTest::newRow("Cell") << "07700 2" << 94.7 << 29.6 << 9.0 << false;
        QTest::newRow("Work Tel") << "0117 3" << 124.6 << 29.8 << 9.0 << false;
        QTest::newRow("Email") << "jo@example.org" << 150.0 << 29.6 << 9.0 << false;
    }
    void firstPage()
    {
        QFETCH(QString, text);
        QFETCH(double, left);
        QFETCH(double, top);
        QFETCH(double, points);
        QFETCH(bool, bold);
        auto source = people({QStringLiteral("Adams")});
        const Rendering r = renderPhoneList(source);
        QCOMPARE(r.pageCount(), 1);
        const TextItem t = find(r.pages[0], text);
        QVERIFY2(near(t.box.left(), left) && near(t.box.top(), top),
                 qPrintable(QStringLiteral("%1,%2").arg(t.box.left()).arg(t.box.top())));
        QCOMPARE(r.fonts()[size_t(t.font)], ReportFont::arial(points, bold));
    }

    void titleRuleAndPageNumber()
    {
        auto source = people({QStringLiteral("Adams")});
        const Rendering r = renderPhoneList(source);
        const Page& page = r.pages[0];
        const TextItem title = find(page, QStringLiteral("Tovrel Phone List"));
        QVERIFY(near(title.box.center().x(), 105.0));
        QVERIFY(near(title.box.top(), 10.3));
        QCOMPARE(r.fonts()[size_t(title.font)], ReportFont::arial(14, true));

        const auto rules = reporttest::lines(page);
        QCOMPARE(rules.size(), size_t(1));
        QCOMPARE(rules[0].from, QPointF(10, 28.5));
        QCOMPARE(rules[0].to, QPointF(200, 28.5));
        QVERIFY(near(rules[0].width, 25.4 / 72));

        const TextItem number = find(page, QStringLiteral("Page 1"));
        QVERIFY(near(number.box.right(), 200.0));
        QVERIFY(near(number.box.top(), 280.9));
        QCOMPARE(r.fonts()[size_t(number.font)], ReportFont::arial(8));
        QCOMPARE(source.currentRow(), 0);
    }

    // Later pages: headings at the top margin, rows from 15.8 mm; every page ends with its number at 200 mm,
    // and no row reaches below the page footer at 280.9 mm.
    void laterPages()
    {
        QStringList surnames;
        for (int i = 0; i < 100; ++i)
            surnames << QStringLiteral("Adams%1").arg(i, 2, 10, QLatin1Char('0'));
        auto source = people(surnames);
        const Rendering r = renderPhoneList(source);
        QCOMPARE(r.pageCount(), 3); // 38 rows on page 1, 40 on page 2, 22 on page 3
        for (int p = 0; p < r.pageCount(); ++p) {
            const Page& page = r.pages[size_t(p)];
            const TextItem number = find(page, QStringLiteral("Page %1").arg(p + 1));
            QVERIFY(near(number.box.right(), 200.0));
            QVERIFY(near(number.box.top(), 280.9));
            for (double top : ruleTops(page))
                QVERIFY(top + 6.6 <= 280.9 + 1e-9);
            if (p > 0) {
                QVERIFY(near(find(page, QStringLiteral("Surname")).box.top(), 10.0));
                QCOMPARE(ruleTops(page).front(), 15.8);
                QVERIFY(initials(r, page).isEmpty()); // the group runs on without a new header
            }
        }
        QCOMPARE(ruleTops(r.pages[0]).size(), size_t(38));
        QCOMPARE(ruleTops(r.pages[1]).size(), size_t(40));
        QCOMPARE(source.currentRow(), 99);
    }

    // A group per initial as a reader sees it, headed by that initial as a capital; the rows print in the contact
    // list's order (same surname by first name) whatever the selection's order, which stays as it was, with its
    // current row.
    void groupsInSurnameOrder_data()
    {
        QTest::addColumn<QStringList>("surnames"); // in the selection's order
        QTest::addColumn<QStringList>("printed");  // surname|first name
        QTest::addColumn<QStringList>("headers");
        QTest::newRow("sorted") << QStringList{"Adams", "Brown|Al", "brown|Bo"}
                                << QStringList{"Adams|Jo", "Brown|Al", "brown|Bo"} << QStringList{"A", "B"};
        QTest::newRow("case and accents aside")
            << QStringList{"ap Rhys", "Ångström", "Ali", "adams", "Émile", "Evans", "zed", "ZOË"}
            << QStringList{"adams|Jo", "Ali|Jo", "Ångström|Jo", "ap Rhys|Jo", "Émile|Jo", "Evans|Jo", "zed|Jo", "ZOË|Jo"}
            << QStringList{"A", "E", "Z"};
        QTest::newRow("same surname by first name")
            << QStringList{"Ali|Ffion", "Ali|Aisha", "ali|Bea", "Ali|Kofi"}
            << QStringList{"Ali|Aisha", "ali|Bea", "Ali|Ffion", "Ali|Kofi"} << QStringList{"A"};
        QTest::newRow("after a search") << QStringList{"Walker", "Lee", "Smith", "Wood", "Lamb", "Adams"}
                                        << QStringList{"Adams|Jo", "Lamb|Jo", "Lee|Jo", "Smith|Jo", "Walker|Jo",
                                                       "Wood|Jo"}
                                        << QStringList{"A", "L", "S", "W"};
        QTest::newRow("a letter of its own") << QStringList{"Øberg", "Łukasz", "Ærø"}
                                             << QStringList{"Ærø|Jo", "Łukasz|Jo", "Øberg|Jo"}
                                             << QStringList{"Æ", "L", "O"};
        QTest::newRow("equal names keep their order") << QStringList{"Lee", "Adams", "Lee"}
                                                      << QStringList{"Adams|Jo", "Lee|Jo", "Lee|Jo"}
                                                      << QStringList{"A", "L"};
    }
    void groupsInSurnameOrder()
    {
        QFETCH(QStringList, surnames);
        QFETCH(QStringList, printed);
        QFETCH(QStringList, headers);
        auto source = people(surnames);
        source.setCurrentRow(1);
        const Rendering r = renderPhoneList(source);
        QCOMPARE(initials(r, r.pages[0]), headers);
        // Each row's surname and first name (the two leftmost columns of the rows), top to bottom.
        std::map<double, std::vector<TextItem>> columns; // by left edge
        for (const TextItem& t : texts(r.pages[0]))
            if (r.fonts()[size_t(t.font)] == ReportFont::arial(9))
                columns[t.box.left()].push_back(t);
        QVERIFY(columns.size() >= 2);
        auto column = columns.begin();
        std::vector<TextItem> surnameColumn = column->second, firstnameColumn = (++column)->second;
        QCOMPARE(surnameColumn.size(), firstnameColumn.size());
        const auto byTop = [](const TextItem& a, const TextItem& b) { return a.box.top() < b.box.top(); };
        std::stable_sort(surnameColumn.begin(), surnameColumn.end(), byTop);
        std::stable_sort(firstnameColumn.begin(), firstnameColumn.end(), byTop);
        QStringList order;
        for (size_t i = 0; i < surnameColumn.size(); ++i)
            order << surnameColumn[i].text + QLatin1Char('|') + firstnameColumn[i].text;
        QCOMPARE(order, printed);
        QStringList given;
        for (int row = 0; row < source.rowCount(); ++row)
            given << source.text(row, QStringLiteral("Surname")) + QLatin1Char('|') +
                         source.text(row, QStringLiteral("Firstname"));
        const bool reordered = given != printed;
        QCOMPARE(source.currentRow(), reordered ? 1 : int(surnames.size()) - 1);
        QCOMPARE(source.text(0, QStringLiteral("Surname")), surnames.first().section(QLatin1Char('|'), 0, 0));
    }

    void contactWithoutSurnameHasAnEmptyGroupHeader()
    {
        auto source = people({QString(), QStringLiteral("Adams")});
        const Rendering r = renderPhoneList(source);
        QCOMPARE(initials(r, r.pages[0]), QStringList{"A"});
        // The empty header still takes its 4.8 mm before each row.
        QCOMPARE(ruleTops(r.pages[0]), (std::vector<double>{28.5, 28.5 + 6.6 + 4.8}));
    }

    // 37 rows after "A" end at 272.7 mm: the "B" header would fit there, its row would not; the header keeps with
    // its row and both start page 2 under the headings.
    void groupHeaderKeepsWithItsFirstRow()
    {
        QStringList surnames;
        for (int i = 0; i < 37; ++i)
            surnames << QStringLiteral("Adams");
        surnames << QStringLiteral("Brown");
        auto source = people(surnames);
        const Rendering r = renderPhoneList(source);
        QCOMPARE(r.pageCount(), 2);
        QCOMPARE(initials(r, r.pages[0]), QStringList{"A"});
        QCOMPARE(initials(r, r.pages[1]), QStringList{"B"});
        QVERIFY(near(find(r.pages[1], QStringLiteral("B")).box.top(), 15.8 + 0.5));
        QCOMPARE(ruleTops(r.pages[1]), std::vector<double>{15.8 + 4.8});
        QVERIFY(near(find(r.pages[1], QStringLiteral("Brown")).box.top(), 15.8 + 4.8 + 1.1));
    }

    void emptySelectionGivesNoPage()
    {
        auto source = people({});
        source.setCurrentRow(-1);
        const Rendering r = renderPhoneList(source);
        QCOMPARE(r.pageCount(), 0);
        QVERIFY(r.finished);
        QCOMPARE(source.currentRow(), -1);
    }
};

QTEST_MAIN(TestPhoneList)
#include "tst_phonelist.moc"

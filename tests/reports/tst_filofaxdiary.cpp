#include "ReportTestUtil.h"

#include "reports/layouts/DiaryPages.h"
#include "reports/layouts/FilofaxPages.h"
#include "reports/Renderer.h"
#include "reports/TextMetrics.h"

#include <QRegularExpression>
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

namespace {

const QStringList kFields = {"Surname",  "Firstname", "Address1", "Address2", "A3_Village", "Town",     "County",
                             "PostCode", "Country",   "Tel",      "Cell",     "Email",      "Work Tel", "Flag"};
const QStringList kFull = {"Lee", "Ann",     "1 Mill Rd", "Flat 2",          "Ash",    "Bath", "Somerset", "BA1 1AB",
                           "UK",  "01225 1", "07700 2",   "ann@example.org", "0117 3", "XMAS"};

// What a page shows of one entry: text, offset from the entry's corner, bold.
struct Printed
{
    QString text;
    double left;
    double top;
    bool bold;
};

std::vector<Printed> printed(const Rendering& r, const Page& page, QPointF corner)
{
    std::vector<Printed> result;
    for (const TextItem& t : texts(page))
        result.push_back({t.text, t.box.left() - corner.x(), t.box.top() - corner.y(), r.fonts()[size_t(t.font)].bold});
    return result;
}

QString describe(const std::vector<Printed>& lines)
{
    QStringList parts;
    for (const Printed& p : lines)
        parts << QStringLiteral("'%1' %2,%3%4").arg(p.text).arg(p.left).arg(p.top).arg(p.bold ? " bold" : "");
    return parts.join(QStringLiteral("; "));
}

} // namespace

class TestFilofaxDiary : public QObject
{
    Q_OBJECT
private slots:
    void settings_data()
    {
        QTest::addColumn<Layout>("layout");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSizeF>("page");
        QTest::addColumn<std::vector<double>>("margins"); // top, bottom, left, right
        QTest::addColumn<int>("columns");
        QTest::addColumn<double>("spacing");
        QTest::addColumn<double>("entryWidth");
        QTest::addColumn<double>("entryHeight");
        QTest::addColumn<bool>("printIfEmpty");
        QTest::addColumn<bool>("automaticTray");
        QTest::newRow("filofax") << Layout(filofaxReport) << "fmQRFilo2" << QSizeF(210, 297)
                                 << std::vector<double>{5, 127, 15, 50} << 2 << 15.0 << 65.0 << 31.2 << false << false;
        QTest::newRow("diary") << Layout(a5DiaryReport) << "QRA5Diary" << QSizeF(297, 210)
                               << std::vector<double>{8, 5, 10, 10} << 4 << 5.0 << 65.5 << 48.9 << true << true;
    }
    void settings()
    {
        QFETCH(Layout, layout);
        QFETCH(QString, name);
        QFETCH(QSizeF, page);
        QFETCH(std::vector<double>, margins);
        QFETCH(int, columns);
        QFETCH(double, spacing);
        QFETCH(double, entryWidth);
        QFETCH(double, entryHeight);
        QFETCH(bool, printIfEmpty);
        QFETCH(bool, automaticTray);
        const ReportDefinition d = layout();
        QCOMPARE(d.name, name);
        QVERIFY(d.title.isEmpty()); // "Print Preview"
        QCOMPARE(d.pageSize(), page);
        QCOMPARE((std::vector<double>{d.margins.top, d.margins.bottom, d.margins.left, d.margins.right}), margins);
        QCOMPARE(d.columns, columns);
        QCOMPARE(d.columnSpacing, spacing);
        QVERIFY(near(PageGeometry::of(d).columnWidth, entryWidth, 1e-9));
        QCOMPARE(d.printIfEmpty, printIfEmpty);
        QCOMPARE(d.paperSource, automaticTray ? PaperSource::Automatic : PaperSource::FirstTray);
        QVERIFY(d.pageRange.all());
        QCOMPARE(d.labelsPerSheet, 0);
        QCOMPARE(d.bands.size(), size_t(1));
        QCOMPARE(d.bands[0].kind, BandKind::Detail);
        QCOMPARE(d.bands[0].height, entryHeight);
    }

    // Columns fill top to bottom, then the next column; one contact more than a sheet holds starts a new one.
    void grid_data()
    {
        QTest::addColumn<Layout>("layout");
        QTest::addColumn<std::vector<double>>("columnLefts");
        QTest::addColumn<std::vector<double>>("rowTops");
        QTest::addColumn<QPointF>("firstLine"); // offset of the first line within the entry
        QTest::newRow("filofax: 11 contacts") << Layout(filofaxReport) << std::vector<double>{15.0, 95.0}
                                              << std::vector<double>{5.0, 36.2, 67.4, 98.6, 129.8} << QPointF(1.1, 1.1);
        QTest::newRow("diary: 17 contacts") << Layout(a5DiaryReport) << std::vector<double>{10.0, 80.5, 151.0, 221.5}
                                            << std::vector<double>{8.0, 56.9, 105.8, 154.7} << QPointF(3.1, 0.4);
    }
    void grid()
    {
        QFETCH(Layout, layout);
        QFETCH(std::vector<double>, columnLefts);
        QFETCH(std::vector<double>, rowTops);
        QFETCH(QPointF, firstLine);
        const int perSheet = static_cast<int>(columnLefts.size() * rowTops.size());
        auto source = numbered(perSheet + 1);
        const ReportDefinition d = layout();
        const Rendering r = render(d, source);

        QCOMPARE(r.pageCount(), 2);
        QCOMPARE(r.pages[1].size, d.pageSize());
        auto firstLineOf = [&](int page, int i) {
            // No first name, so no comma after the surname: match the whole number, so Name1 is not Name10.
            const QRegularExpression name(QStringLiteral("^Name%1\\b").arg(i + 1));
            for (const TextItem& t : texts(r.pages[size_t(page)]))
                if (name.match(t.text).hasMatch())
                    return t.box.topLeft() - firstLine;
            return QPointF(-1000, -1000);
        };
        for (int i = 0; i < perSheet; ++i) {
            const QPointF at = firstLineOf(0, i);
            const QPointF want(columnLefts[size_t(i) / rowTops.size()], rowTops[size_t(i) % rowTops.size()]);
            QVERIFY2(near(at.x(), want.x(), 0.1) && near(at.y(), want.y(), 0.1),
                     qPrintable(QStringLiteral("entry %1 at %2,%3").arg(i + 1).arg(at.x()).arg(at.y())));
        }
        const QPointF last = firstLineOf(1, perSheet);
        QVERIFY(near(last.x(), columnLefts[0], 1e-9) && near(last.y(), rowTops[0], 1e-9));
    }

    // Every line of a Filofax entry has its own place: an empty one keeps it and nothing moves up. A label or
    // comma prints only beside a value.
    void filofaxEntry_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("full") << kFull
                              << QStringList{"Lee, Ann",
                                             "1 Mill Rd Flat 2 Ash",
                                             "Bath Somerset",
                                             "BA1 1AB UK",
                                             "T: 01225 1; Cel: 07700 2",
                                             "E:ann@example.org",
                                             "T2: 0117 3"};
        QTest::newRow("surname only") << QStringList{"Lee"} << QStringList{"Lee", "  ", " ", " ", "", "", ""};
        QTest::newRow("first name only") << QStringList{"", "Acme Widgets"}
                                         << QStringList{"Acme Widgets", "  ", " ", " ", "", "", ""};
        QTest::newRow("mobile only") << QStringList{"Lee", "", "", "", "", "", "", "", "", "", "07700 2"}
                                     << QStringList{"Lee", "  ", " ", " ", "Cel: 07700 2", "", ""};
        QTest::newRow("telephone only") << QStringList{"Lee", "", "", "", "", "", "", "", "", "01225 1"}
                                        << QStringList{"Lee", "  ", " ", " ", "T: 01225 1", "", ""};
    }
    void filofaxEntry()
    {
        QFETCH(QStringList, values);
        QFETCH(QStringList, lines);
        auto source = contacts(kFields, {values});
        const Rendering r = render(filofaxReport(), source);
        QCOMPARE(r.pageCount(), 1);
        const double tops[] = {1.1, 5.0, 9.3, 13.5, 17.7, 21.7, 25.9};
        std::vector<Printed> want;
        for (int i = 0; i < lines.size(); ++i)
            if (!lines[i].isEmpty())
                want.push_back({lines[i], 1.1, tops[i], i == 0});
        const std::vector<Printed> got = printed(r, r.pages[0], QPointF(15, 5));
        bool same = got.size() == want.size();
        for (size_t i = 0; same && i < got.size(); ++i)
            same = got[i].text == want[i].text && near(got[i].left, want[i].left, 1e-9) &&
                   near(got[i].top, want[i].top, 1e-9) && got[i].bold == want[i].bold;
        QVERIFY2(same, qPrintable(describe(got)));
        for (const TextItem& t : texts(r.pages[0]))
            QCOMPARE(r.fonts()[size_t(t.font)].pointSize, 9.0);
    }

    void filofaxEmptySelectionGivesNoPage()
    {
        MemoryRecordSource source(MemoryRecordSource::contactFields());
        QCOMPARE(render(filofaxReport(), source).pageCount(), 0);
    }

    // Lines go when their field is empty; the comma and the colon print only between values.
    void diaryEntry_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("name only") << QStringList{"Lee", "Ann"} << QStringList{"Lee, Ann"};
        QTest::newRow("first name only") << QStringList{"", "Ann"} << QStringList{"Ann"};
        QTest::newRow("flag") << QStringList{"Lee", "", "", "", "", "Bath", "", "", "", "", "07700 2", "", "", "club"}
                              << QStringList{"Lee  :     club", "Bath", "07700 2"};
        QTest::newRow("every field") << kFull << QStringList{"Lee, Ann  :     XMAS",
                                                             "1 Mill Rd",
                                                             "Flat 2",
                                                             "Ash",
                                                             "Bath",
                                                             "Somerset",
                                                             "BA1 1AB",
                                                             "UK",
                                                             "01225 1",
                                                             "07700 2"};
    }
    void diaryEntry()
    {
        QFETCH(QStringList, values);
        QFETCH(QStringList, lines);
        auto source = contacts(kFields, {values});
        const Rendering r = render(a5DiaryReport(), source);
        QCOMPARE(r.pageCount(), 1);
        const double lineHeight = FontMetrics(ReportFont::arial(10)).lineHeight();
        const auto items = texts(r.pages[0]);
        QCOMPARE(reporttest::textsOf(r.pages[0]), lines);
        for (size_t i = 0; i < items.size(); ++i) {
            QCOMPARE(r.fonts()[size_t(items[i].font)], ReportFont::arial(10));
            QVERIFY(near(items[i].box.left(), 10.0 + 3.1, 1e-9));
            QVERIFY(near(items[i].box.top(), 8.0 + 0.4 + double(i) * lineHeight, 1e-9));
            QVERIFY(items[i].box.bottom() <= 8.0 + 48.9); // all ten lines fit in the entry
        }
    }

    // No comma or colon without values around them: a blank page.
    void diaryEmptySelectionGivesOneBlankPage()
    {
        MemoryRecordSource source(MemoryRecordSource::contactFields());
        const Rendering r = render(a5DiaryReport(), source);
        QCOMPARE(r.pageCount(), 1);
        QVERIFY(texts(r.pages[0]).empty());
    }
};

QTEST_MAIN(TestFilofaxDiary)
#include "tst_filofaxdiary.moc"

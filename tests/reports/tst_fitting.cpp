// Every printed value stays inside its own place on the drawn page: a label, a column of the phone list, an
// entry of the Filofax or diary pages, the letter's address block; nothing reaches past the page's margin.
#include "ReportTestUtil.h"

#include "data/ContactStore.h"
#include "reports/layouts/MergedLetters.h"
#include "reports/layouts/DiaryPages.h"
#include "reports/layouts/FilofaxPages.h"
#include "reports/layouts/AddressLabels14.h"
#include "reports/layouts/AddressLabels16.h"
#include "reports/layouts/AddressLabels21.h"
#include "reports/layouts/PhoneList.h"
#include "reports/Renderer.h"

#include <QTest>

using namespace reports;
using reporttest::texts;

using Layout = ReportDefinition (*)();
Q_DECLARE_METATYPE(Layout)
Q_DECLARE_METATYPE(std::vector<double>)

namespace {

const QString kLongName = QStringLiteral("Maximilian-Alexander Featherstonehaugh-Cholmondeley");

ReportDefinition letters()
{
    return mailmerge::letterReport([]() -> const QTextDocument* { return nullptr; });
}

// A contact with every field at the longest the contact table allows.
QStringList longestValues()
{
    QStringList row;
    for (const QString& name : MemoryRecordSource::contactFields()) {
        int length = 0;
        for (const auto& def : data::contactFields())
            if (def.name == name)
                length = def.size > 0 ? def.size : 2000;
        row << (name == QStringLiteral("Birthday") ? QStringLiteral("31/12/2000") : QString(length, QChar(u'W')));
    }
    return row;
}

// An ordinary contact with a long name and a long e-mail address.
QStringList longNamedValues()
{
    QStringList row(MemoryRecordSource::contactFields().size());
    auto set = [&](const char* field, const QString& value) {
        row[MemoryRecordSource::contactFields().indexOf(QString::fromLatin1(field))] = value;
    };
    set("Firstname", QStringLiteral("Maximilian-Alexander"));
    set("Surname", QStringLiteral("Featherstonehaugh-Cholmondeley"));
    set("Address1", QStringLiteral("Flat 12, Wellington Court"));
    set("Address2", QStringLiteral("145 Kensington Park Road"));
    set("Town", QStringLiteral("London"));
    set("PostCode", QStringLiteral("W11 2UH"));
    set("Tel", QStringLiteral("+44 20 7946 0000 ext. 1234"));
    set("Email", QStringLiteral("maximilian-alexander.featherstonehaugh-cholmondeley@example.org"));
    return row;
}

// `count` short contacts, the long one at `at`.
MemoryRecordSource selection(const QStringList& longOne, int count, int at)
{
    const QStringList fields = MemoryRecordSource::contactFields();
    MemoryRecordSource source(fields);
    for (int i = 0; i < count; ++i) {
        if (i == at) {
            source.addRow(longOne);
            continue;
        }
        QStringList row(fields.size());
        row[fields.indexOf(QStringLiteral("Surname"))] = QStringLiteral("Bee%1").arg(i);
        source.addRow(row);
    }
    return source;
}

} // namespace

class TestFitting : public QObject
{
    Q_OBJECT
private slots:
    void valuesStayInTheirPlace_data()
    {
        QTest::addColumn<Layout>("layout");
        QTest::addColumn<std::vector<double>>("placeRights"); // right edges of the places across the page, mm
        QTest::addColumn<double>("smallest");                 // the least point size a value may be made
        QTest::addColumn<int>("count");                       // contacts in the selection
        QTest::addColumn<int>("at");                          // where the long one is
        QTest::addColumn<bool>("longest");                    // every field at its longest, or a long name
        const std::vector<double> labels21{12.0 + 59.3, 76.3 + 59.3, 140.7 + 59.3};
        const std::vector<double> labels16{15.0 + 80.0, 120.0 + 80.0};
        const std::vector<double> labels14{4.67 + 99.06, 4.67 + 101.6 + 99.06};
        const std::vector<double> phones{41.0, 69.3, 94.7, 124.6, 150.0, 200.0};
        const std::vector<double> filofax{15.0 + 65.0, 95.0 + 65.0};
        const std::vector<double> diary{10.0 + 65.5, 80.5 + 65.5, 151.0 + 65.5, 221.5 + 65.5};
        const std::vector<double> letter{200.0};
        QTest::newRow("21 labels, long name") << Layout(labels21Report) << labels21 << 6.0 << 1 << 0 << false;
        QTest::newRow("21 labels, right column") << Layout(labels21Report) << labels21 << 6.0 << 15 << 14 << true;
        QTest::newRow("16 labels") << Layout(labels16Report) << labels16 << 6.0 << 9 << 8 << true;
        QTest::newRow("14 labels") << Layout(labels14Report) << labels14 << 6.0 << 8 << 7 << true;
        QTest::newRow("phone list, long name") << Layout(phoneListReport) << phones << 7.0 << 1 << 0 << false;
        QTest::newRow("phone list, longest") << Layout(phoneListReport) << phones << 7.0 << 1 << 0 << true;
        QTest::newRow("filofax") << Layout(filofaxReport) << filofax << 7.0 << 6 << 5 << true;
        QTest::newRow("diary") << Layout(a5DiaryReport) << diary << 7.0 << 13 << 12 << true;
        QTest::newRow("letter, long name") << Layout(letters) << letter << 7.0 << 1 << 0 << false;
        QTest::newRow("letter, longest") << Layout(letters) << letter << 7.0 << 1 << 0 << true;
    }
    void valuesStayInTheirPlace()
    {
        QFETCH(Layout, layout);
        QFETCH(std::vector<double>, placeRights);
        QFETCH(double, smallest);
        QFETCH(int, count);
        QFETCH(int, at);
        QFETCH(bool, longest);
        const ReportDefinition d = layout();
        auto source = selection(longest ? longestValues() : longNamedValues(), count, at);
        const Rendering r = render(d, source);
        const Page& page = r.pages.at(0);
        const double pageRight = d.pageSize().width() - d.margins.right;
        // Fixed captions (column headings, "Dear") are the layout's own, not values.
        QStringList captions;
        for (const Band& band : d.bands)
            for (const Element& e : band.elements)
                if (e.kind == ElementKind::Text)
                    captions << e.text;
        for (const TextItem& t : texts(page)) {
            QVERIFY2(t.box.right() <= pageRight + 1e-6, qPrintable(t.text));
            if (captions.contains(t.text))
                continue;
            const auto place = std::upper_bound(placeRights.begin(), placeRights.end(), t.box.left());
            QVERIFY(place != placeRights.end());
            QVERIFY2(t.box.right() <= *place + 1e-6,
                     qPrintable(QStringLiteral("%1 ends at %2").arg(t.text).arg(t.box.right())));
            QVERIFY(r.fonts()[size_t(t.font)].pointSize >= smallest);
        }
        // The letter's lines have the width of the page: even the longest contact fits there.
        QCOMPARE(r.shortened > 0, layout != Layout(letters));
        // An ordinary long name is made smaller, not cut, wherever the name has a line of its own.
        if (!longest && d.labelsPerSheet > 0)
            QCOMPARE(reporttest::find(page, kLongName).text, kLongName);
    }
};

QTEST_MAIN(TestFitting)
#include "tst_fitting.moc"

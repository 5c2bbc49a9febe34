// Label stocks from the catalogue and the user's own, envelopes, the check sheet and the printer offset: positions
// are read from the rendered pages.
#include "ReportTestUtil.h"

#include "reports/stocks/IniSettings.h"
#include "platform/AppError.h"
#include "reports/stocks/SettingsStore.h"
#include "reports/stocks/LabelStock.h"
#include "reports/layouts/AddressLabels16.h"
#include "reports/layouts/AddressLabels21.h"
#include "reports/Renderer.h"
#include "reports/ui/SheetPicture.h"
#include "reports/ui/StockLabels.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLineF>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <map>
#include <tuple>

using namespace reports;
using reporttest::contacts;
using reporttest::texts;

namespace {

constexpr double kTolerance = 0.2; // mm: what a label may be off its place on the sheet

LabelStock stockNamed(const QString& name)
{
    const LabelStock* stock = StockCatalogue::builtIn().stock(name);
    return stock ? *stock : LabelStock{};
}

// Contacts "Name1".."Namen", each on one line of its own.
MemoryRecordSource named(int n)
{
    std::vector<QStringList> rows;
    for (int i = 1; i <= n; ++i)
        rows.push_back({QStringLiteral("Name%1").arg(i)});
    return contacts({QStringLiteral("Surname")}, rows);
}

LabelStock ownStock()
{
    LabelStock stock;
    stock.name = QStringLiteral("Shop labels");
    stock.paper = *StockCatalogue::builtIn().paper(QStringLiteral("US Letter"));
    stock.width = 70.25;
    stock.height = 33.8667;
    stock.columns = 3;
    stock.rows = 7;
    stock.left = 2.5;
    stock.top = 21.1667;
    stock.hPitch = 71.0;
    stock.vPitch = 33.8667;
    stock.radius = 1.5;
    stock.acrossFirst = false;
    return stock;
}

QByteArray catalogueText()
{
    QFile file(QStringLiteral(":/stocks/LabelStocks.json"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestLabelStocks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Reads the catalogue compiled into the program (and registers its resource).
        QVERIFY(StockCatalogue::builtIn().stocks.size() >= 13);
    }

    // One table of stocks for every test of the catalogue: name, paper, labels to a sheet and whether they fill
    // down the columns (the sheets of the 21- and 16-per-sheet reports) rather than across the rows.
    void stocks_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("paper");
        QTest::addColumn<int>("labels");
        QTest::addColumn<bool>("down");
        const std::tuple<const char*, const char*, int, bool> stocks[] = {
            {"L7159", "A4", 24, false},        {"L7160", "A4", 21, true},         {"L7161", "A4", 18, false},
            {"L7162", "A4", 16, true},         {"L7163", "A4", 14, false},        {"L7165", "A4", 8, false},
            {"L7173", "A4", 10, false},        {"L7651", "A4", 65, false},        {"5160", "US Letter", 30, false},
            {"5161", "US Letter", 20, false},  {"5162", "US Letter", 14, false},  {"5163", "US Letter", 10, false},
            {"5164", "US Letter", 6, false},
        };
        for (const auto& [name, paper, labels, down] : stocks)
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(paper) << labels << down;
    }

    void stocks()
    {
        QFETCH(QString, name);
        QFETCH(QString, paper);
        QFETCH(int, labels);
        QFETCH(bool, down);
        const LabelStock stock = stockNamed(name);
        QCOMPARE(stock.name, name);
        QCOMPARE(stock.paper.name, paper);
        QCOMPARE(stock.count(), labels);

        // Every label on the paper, none over another.
        const QRectF sheet(QPointF(0, 0), stock.paper.size);
        for (int i = 0; i < labels; ++i) {
            const QRectF label = stock.labelRect(i);
            QVERIFY2(sheet.adjusted(-0.005, -0.005, 0.005, 0.005).contains(label), qPrintable(QString::number(i)));
            for (int j = i + 1; j < labels; ++j) {
                const QRectF overlap = label.intersected(stock.labelRect(j));
                QVERIFY2(overlap.width() < 0.01 || overlap.height() < 0.01,
                         qPrintable(QStringLiteral("labels %1 and %2").arg(i + 1).arg(j + 1)));
            }
        }

        // Drawn: a sheet and one more; each contact's first line where its label's memo begins, within 0.2 mm.
        ReportDefinition d = stockLabelsReport(stock, LabelOptions{LineName, ReportFont::arial(8), 1});
        MemoryRecordSource source = named(labels + 1);
        const Rendering r = render(d, source);
        QCOMPARE(r.pageCount(), 2);
        QCOMPARE(r.pages[0].size, stock.paper.size);
        const Element& memo = d.band(BandKind::Detail)->elements.at(0);
        for (int i = 0; i <= labels; ++i) {
            const Page& page = r.pages[i < labels ? 0 : 1];
            const TextItem t = reporttest::find(page, QStringLiteral(" Name%1").arg(i + 1));
            QVERIFY2(!t.text.isEmpty(), qPrintable(QString::number(i + 1)));
            // Row by row (or column by column) from the first label's corner, one pitch apart.
            const int place = i % labels;
            const int column = down ? place / stock.rows : place % stock.columns;
            const int row = down ? place % stock.rows : place / stock.columns;
            const QPointF expected(stock.left + column * stock.hPitch + memo.left,
                                   stock.top + row * stock.vPitch + memo.top);
            QVERIFY2(std::abs(t.box.left() - expected.x()) <= kTolerance &&
                         std::abs(t.box.top() - expected.y()) <= kTolerance,
                     qPrintable(QStringLiteral("label %1 at %2, %3; expected %4, %5")
                                    .arg(i + 1)
                                    .arg(t.box.left())
                                    .arg(t.box.top())
                                    .arg(expected.x())
                                    .arg(expected.y())));
        }
    }

    // A part-used sheet: the first contact goes on the start label, and the next on the label after it in the
    // stock's order (row by row, or column by column for the own stock here).
    void startAtLabel_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("start");
        QTest::addColumn<QPoint>("first"); // column and row of the first contact's label
        QTest::addColumn<QPoint>("second");
        QTest::addColumn<int>("pages");
        QTest::newRow("across, middle of a row") << "L7159" << 5 << QPoint(1, 1) << QPoint(2, 1) << 1;
        QTest::newRow("down, foot of a column") << "L7160" << 7 << QPoint(0, 6) << QPoint(1, 0) << 1;
        QTest::newRow("last label") << "L7651" << 65 << QPoint(4, 12) << QPoint(0, 0) << 2;
        QTest::newRow("beyond the sheet: the last") << "5164" << 99 << QPoint(1, 2) << QPoint(0, 0) << 2;
        QTest::newRow("down, top of a column") << "own" << 8 << QPoint(1, 0) << QPoint(1, 1) << 1;
    }

    void startAtLabel()
    {
        QFETCH(QString, name);
        QFETCH(int, start);
        QFETCH(QPoint, first);
        QFETCH(QPoint, second);
        QFETCH(int, pages);
        const LabelStock stock = name == QLatin1String("own") ? ownStock() : stockNamed(name);
        MemoryRecordSource source = named(2);
        const Rendering r = render(stockLabelsReport(stock, LabelOptions{LineName, ReportFont::arial(8), start}),
                                   source);
        QCOMPARE(r.pageCount(), pages);
        const auto labelAt = [&](QPoint place) {
            return QRectF(stock.left + place.x() * stock.hPitch, stock.top + place.y() * stock.vPitch, stock.width,
                          stock.height);
        };
        QVERIFY(labelAt(first).contains(reporttest::find(r.pages[0], QStringLiteral(" Name1")).box.topLeft()));
        QVERIFY(labelAt(second).contains(reporttest::find(r.pages.back(), QStringLiteral(" Name2")).box.topLeft()));
    }

    // The fixed 21- and 16-per-sheet reports and the stocks of the same sheets fill in one order from one start
    // label: each contact lands on the same label of the sheet (column, row) either way.
    void fixedReportsAndTheirStocksFillAlike_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("start");
        QTest::newRow("21 per sheet and L7160") << "L7160" << 5;
        QTest::newRow("16 per sheet and L7162") << "L7162" << 3;
    }
    void fixedReportsAndTheirStocksFillAlike()
    {
        QFETCH(QString, name);
        QFETCH(int, start);
        const LabelStock stock = stockNamed(name);
        ReportDefinition fixed = name == QLatin1String("L7160") ? labels21Report() : labels16Report();
        fixed.startAtLabel = start;
        MemoryRecordSource source = named(9);
        const Rendering byReport = render(fixed, source);
        const Rendering byStock =
            render(stockLabelsReport(stock, LabelOptions{LineName, ReportFont::arial(10), start}), source);
        // Label k's column and row on the sheet, from where a contact's line lies.
        const auto place = [&](QPointF at) {
            return QPoint(int((at.x() - stock.left + 1) / stock.hPitch), int((at.y() - stock.top + 1) / stock.vPitch));
        };
        for (int i = 1; i <= 9; ++i) {
            const QString text = QStringLiteral(" Name%1").arg(i);
            QCOMPARE(place(reporttest::find(byReport.pages[0], text).box.topLeft()),
                     place(reporttest::find(byStock.pages[0], text).box.topLeft()));
        }
        QCOMPARE(place(reporttest::find(byStock.pages[0], QStringLiteral(" Name2")).box.topLeft()), QPoint(0, start));
    }

    // Long values at a large font stay inside their own labels: cut at the edge, lines below the foot dropped.
    void valuesStayInTheirLabels()
    {
        const LabelStock stock = stockNamed(QStringLiteral("L7651"));
        const QString longText = QStringLiteral("Wolfeschlegelsteinhausenbergerdorff Wolfeschlegel");
        std::vector<QStringList> rows(static_cast<size_t>(stock.count()),
                                      QStringList{longText, longText, longText, longText, longText, longText});
        MemoryRecordSource source = contacts({"Surname", "Firstname", "Address1", "Town", "County", "Country"}, rows);
        const Rendering r = render(stockLabelsReport(stock, LabelOptions{kAllAddressLines, ReportFont::arial(16), 1}),
                                   source);
        QCOMPARE(r.pageCount(), 1);
        const auto items = texts(r.pages[0]);
        QVERIFY(!items.empty());
        for (const TextItem& t : items) {
            bool inside = false;
            for (int i = 0; i < stock.count(); ++i)
                inside = inside || stock.labelRect(i).adjusted(-1e-6, -1e-6, 1e-6, 1e-6).contains(t.box);
            QVERIFY2(inside, qPrintable(t.text));
        }
    }

    // A full address on a label too low for it at the chosen size: the block is printed smaller, and only where
    // even the smallest size cannot hold it are the last lines left off, each counted as shortened.
    void fullAddressKeepsItsLines_data()
    {
        QTest::addColumn<double>("labelHeight"); // 0: the stock as it is
        QTest::addColumn<bool>("allLines");
        QTest::newRow("5160, 25.4 mm") << 0.0 << true;
        QTest::newRow("too low even at the smallest size") << 12.0 << false;
    }
    void fullAddressKeepsItsLines()
    {
        QFETCH(double, labelHeight);
        QFETCH(bool, allLines);
        LabelStock stock = stockNamed(QStringLiteral("5160"));
        if (labelHeight > 0)
            stock.height = labelHeight;
        const QStringList values{"Ada",   "Lovelace",  "12 Harbour Street", "Flat 3", "Lower Largo",
                                 "Leven", "Fife",      "KY8 6BT",           "United Kingdom"};
        MemoryRecordSource source = contacts(
            {"Firstname", "Surname", "Address1", "Address2", "A3_Village", "Town", "County", "PostCode", "Country"},
            {values});
        const Rendering r =
            render(stockLabelsReport(stock, LabelOptions{kAllAddressLines, ReportFont::arial(10), 1}), source);
        QCOMPARE(r.pageCount(), 1);
        const QStringList expected{"Ada Lovelace", "12 Harbour Street Flat 3", "Lower Largo", "Leven", "Fife",
                                   "KY8 6BT",      "United Kingdom"};
        const QRectF label = stock.labelRect(0).adjusted(-1e-6, -1e-6, 1e-6, 1e-6);
        QStringList printed;
        double lastTop = -1;
        for (const TextItem& t : texts(r.pages[0])) {
            QVERIFY2(label.contains(t.box), qPrintable(t.text));
            QVERIFY(t.box.top() > lastTop); // one below the other, in order
            lastTop = t.box.top();
            QVERIFY(r.fonts()[static_cast<size_t>(t.font)].pointSize < 10);
            printed << t.text;
        }
        if (allLines) {
            QCOMPARE(printed, expected);
            QCOMPARE(r.shortened, 1); // the block, printed smaller
        } else {
            QVERIFY(printed.size() >= 2 && printed.size() < expected.size());
            QCOMPARE(printed, expected.mid(0, printed.size())); // the last lines are the ones left off
            QCOMPARE(r.shortened, 1 + int(expected.size() - printed.size()));
            for (const TextItem& t : texts(r.pages[0]))
                QCOMPARE(r.fonts()[static_cast<size_t>(t.font)].pointSize, kLabelMinPointSize);
        }
    }

    // Sizes a sheet cannot take: a message naming the value, and no report to print.
    void badStocks_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("message");
        QTest::newRow("zero width") << "width" << 0.0 << "the label width must be more than 0 mm, not 0";
        QTest::newRow("negative height") << "height" << -5.0 << "the label height must be more than 0 mm, not -5";
        QTest::newRow("negative margin") << "left" << -1.0 << "the left margin must be 0 mm or more, not -1";
        QTest::newRow("not a number") << "top" << std::nan("") << "the top margin must be 0 mm or more, not nan";
        QTest::newRow("no columns") << "columns" << 0.0 << "the number of columns must be 1 or more, not 0";
        QTest::newRow("over 1000 labels") << "rows" << 400.0 << "1200 labels to a sheet (3 columns of 400)";
        QTest::newRow("overlapping") << "hPitch" << 60.0
                                     << "the horizontal pitch 60 mm is less than the label width 70.25 mm";
        QTest::newRow("off the right edge") << "left" << 10.0
                                            << "the last column ends 222.25 mm from the paper's left edge, but the "
                                               "paper (US Letter) is 215.9 mm wide";
        QTest::newRow("off the foot") << "vPitch" << 40.0 << "the last row ends 295.0334 mm from the paper's top edge";
    }

    void badStocks()
    {
        QFETCH(QString, field);
        QFETCH(double, value);
        QFETCH(QString, message);
        LabelStock stock = ownStock();
        stock.rows = 3;
        std::map<QString, std::function<void(double)>> set{
            {"width", [&](double v) { stock.width = v; }},   {"height", [&](double v) { stock.height = v; }},
            {"left", [&](double v) { stock.left = v; }},     {"top", [&](double v) { stock.top = v; }},
            {"columns", [&](double v) { stock.columns = static_cast<int>(v); }},
            {"rows", [&](double v) { stock.rows = static_cast<int>(v); }},
            {"hPitch", [&](double v) { stock.hPitch = v; }}, {"vPitch", [&](double v) { stock.vPitch = v; }},
        };
        if (field == QLatin1String("vPitch"))
            stock.rows = 7;
        set.at(field)(value);
        try {
            (void)stockLabelsReport(stock, LabelOptions{});
            QFAIL("no error");
        } catch (const platform::AppError& e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Label stock \"Shop labels\": ")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        }
    }

    // A damaged catalogue is refused as a whole, with the entry and the value named.
    void damagedCatalogue_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QString>("message");
        QTest::newRow("not JSON") << QByteArray("\"stocks\": [") << QByteArray("\"stocks\": [[")
                                  << "is damaged: ";
        QTest::newRow("cut short") << QByteArray("\"envelopes\"") << QByteArray("") << "is damaged: ";
        QTest::newRow("missing size") << QByteArray("\"width\": 63.5, \"height\": 38.1")
                                      << QByteArray("\"height\": 38.1") << "the stock \"L7160\" has no number \"width\"";
        QTest::newRow("text for a number") << QByteArray("\"columns\": 3, \"rows\": 7")
                                           << QByteArray("\"columns\": \"3\", \"rows\": 7")
                                           << "the stock \"L7160\" has no number \"columns\"";
        QTest::newRow("off the paper") << QByteArray("\"left\": 4.75") << QByteArray("\"left\": 14.75")
                                       << "Label stock \"L7651\": the last column ends 215.25 mm";
        QTest::newRow("zero rows") << QByteArray("\"rows\": 13") << QByteArray("\"rows\": 0")
                                   << "the number of rows must be 1 or more, not 0";
        QTest::newRow("unknown paper") << QByteArray("\"paper\": \"US Letter\"") << QByteArray("\"paper\": \"Legal\"")
                                       << "the stock \"5160\" is on the unknown paper \"Legal\"";
        QTest::newRow("twice") << QByteArray("\"name\": \"L7161\"") << QByteArray("\"name\": \"L7160\"")
                               << "the stock \"L7160\" appears twice";
        QTest::newRow("address off the envelope") << QByteArray("\"addressTop\": 63.5")
                                                  << QByteArray("\"addressTop\": 93.5")
                                                  << "the address area of the envelope \"10\" does not lie on it";
    }

    void damagedCatalogue()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QString, message);
        QByteArray json = catalogueText();
        const qsizetype at = json.indexOf(from);
        QVERIFY2(at >= 0, from.constData());
        json = json.left(at) + to + (to.isEmpty() ? QByteArray() : json.mid(at + from.size()));
        try {
            (void)StockCatalogue::parse(json, QStringLiteral("test.json"));
            QFAIL("no error");
        } catch (const platform::AppError& e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("The label stock catalogue test.json is damaged: ")),
                     qPrintable(e.message()));
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        }
    }

    // The user's own sizes kept by name in TovrelIni.ini come back the same; what cannot be kept is refused and
    // leaves the file alone.
    void customStockRoundTrip()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("TovrelIni.ini"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[Form]\r\nTop=10\r\n");
        }
        IniSettings settings(path);
        const LabelStock stock = ownStock();
        writeCustomStock(settings, stock);
        QCOMPARE(customStockNames(IniSettings(path)), QStringList{QStringLiteral("Shop labels")});
        LabelStock back = readCustomStock(IniSettings(path), QStringLiteral("Shop labels"));
        back.description = stock.description;
        QCOMPARE(back, stock);

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        QVERIFY(before.startsWith("[Form]\r\nTop=10\r\n"));
        LabelStock bad = stock;
        bad.height = 0;
        QVERIFY_THROWS_EXCEPTION(platform::AppError, writeCustomStock(settings, bad));
        LabelStock catalogued = stockNamed(QStringLiteral("L7160"));
        QVERIFY_THROWS_EXCEPTION(platform::AppError, writeCustomStock(settings, catalogued));
        file.seek(0);
        QCOMPARE(file.readAll(), before);

        // A value spoilt in the file is named when the stock is read.
        settings.setValue(QStringLiteral("Custom Stock Shop labels"), QStringLiteral("Width"), QStringLiteral("wide"));
        try {
            (void)readCustomStock(settings, QStringLiteral("Shop labels"));
            QFAIL("no error");
        } catch (const platform::AppError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("the label width must be more than 0 mm, not nan")),
                     qPrintable(e.message()));
        }
    }

    // The address lies in the envelope's window; the return address at the top left, outside it.
    void envelopes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSizeF>("size");
        QTest::newRow("DL") << "DL" << QSizeF(220, 110);
        QTest::newRow("C5") << "C5" << QSizeF(229, 162);
        QTest::newRow("C6") << "C6" << QSizeF(162, 114);
        QTest::newRow("US #10") << "10" << QSizeF(241.3, 104.775);
    }

    void envelopes()
    {
        QFETCH(QString, name);
        QFETCH(QSizeF, size);
        const EnvelopeStock* envelope = StockCatalogue::builtIn().envelope(name);
        QVERIFY(envelope);
        EnvelopeOptions options;
        options.returnAddress = {QStringLiteral("R. Sender"), QStringLiteral("1 High Street")};
        const QStringList fields{"Firstname", "Surname", "Address1", "Address2", "A3_Village",
                                 "Town",      "County",  "PostCode", "Country"};
        MemoryRecordSource source = contacts(
            fields, {{"Anne", "Smith", "12 Long Lane", "Flat 3", "Little Hampden", "Great Missenden",
                      "Buckinghamshire", "HP16 9XX", "United Kingdom"},
                     {"Bob", "Jones", "1 Short Road", "", "", "Leeds", "", "LS1 1AA", ""}});
        const Rendering r = render(envelopesReport(*envelope, options), source);
        QCOMPARE(r.pageCount(), 2);
        QCOMPARE(r.pages[0].size, size);
        for (const Page& page : r.pages) {
            int inWindow = 0;
            for (const TextItem& t : texts(page)) {
                if (t.text == QLatin1String("R. Sender") || t.text == QLatin1String("1 High Street")) {
                    QVERIFY(!t.box.intersects(envelope->addressArea));
                    QVERIFY(t.box.left() >= 5 && t.box.top() >= 5);
                    continue;
                }
                QVERIFY2(envelope->addressArea.adjusted(-1e-6, -1e-6, 1e-6, 1e-6).contains(t.box), qPrintable(t.text));
                ++inWindow;
            }
            QVERIFY(inWindow >= 3);
        }
        QVERIFY(!reporttest::find(r.pages[0], QStringLiteral("Anne Smith")).text.isEmpty());
        QVERIFY(!reporttest::find(r.pages[1], QStringLiteral("LS1 1AA")).text.isEmpty());
    }

    // The check sheet: each label's outline on its place and a cross at its centre, and the rulers.
    void checkSheet()
    {
        const LabelStock stock = stockNamed(QStringLiteral("5162"));
        MemoryRecordSource source = blankRecords(stock.count());
        const Rendering r = render(checkSheetReport(stock), source);
        QCOMPARE(r.pageCount(), 1);
        std::vector<QRectF> outlines;
        for (const auto& item : r.pages[0].items)
            if (const auto* rect = std::get_if<RectItem>(&item))
                outlines.push_back(rect->rect);
        QCOMPARE(static_cast<int>(outlines.size()), stock.count());
        for (int i = 0; i < stock.count(); ++i) {
            const QRectF expected = stock.labelRect(i);
            QVERIFY(std::abs(outlines[static_cast<size_t>(i)].left() - expected.left()) < 1e-6);
            QVERIFY(std::abs(outlines[static_cast<size_t>(i)].top() - expected.top()) < 1e-6);
        }
        // Crosses meet at the centres; the rulers are numbered in mm from the paper's edges.
        int crosses = 0;
        for (const LineItem& l : reporttest::lines(r.pages[0]))
            for (int i = 0; i < stock.count(); ++i)
                crosses += (QLineF(l.from, l.to).center() - stock.labelRect(i).center()).manhattanLength() < 1e-6;
        QCOMPARE(crosses, 2 * stock.count());
        QVERIFY(!reporttest::find(r.pages[0], QStringLiteral("200")).text.isEmpty());
        QVERIFY(std::abs(reporttest::find(r.pages[0], QStringLiteral("100")).box.left() - 100.3) < 1e-6);
        // The instructions, all of them, clear of the rulers, their ticks and numbers.
        const QSizeF paper = stock.paper.size;
        const QRectF rulerX(0, paper.height() / 2 - 0.5, paper.width(), 8);
        const QRectF rulerY(paper.width() / 2 - 4.5, 0, 14, paper.height());
        QString instructions;
        for (const TextItem& t : texts(r.pages[0])) {
            if (t.text.front().isDigit())
                continue;
            instructions += t.text + QLatin1Char(' ');
            QVERIFY2(!t.box.intersects(rulerX) && !t.box.intersects(rulerY), qPrintable(t.text));
        }
        QVERIFY2(instructions.contains(QStringLiteral("labels' centres")), qPrintable(instructions));
    }

    // Every label and envelope printout asks for its printer's offset, kept by printer name, on top of its own
    // adjustment (the envelopes' feed).
    void printerOffsets()
    {
        auto settings = std::make_shared<MemorySettingsStore>();
        setPrinterShift(*settings, QStringLiteral("Office [2]"), QPointF(1.5, -0.75));
        QVERIFY_THROWS_EXCEPTION(platform::AppError,
                                 setPrinterShift(*settings, QStringLiteral("Office"), QPointF(80, 0)));
        EnvelopeOptions options;
        options.longEdgeFirst = true;
        ReportDefinition d = envelopesReport(*StockCatalogue::builtIn().envelope(QStringLiteral("DL")), options);
        applyPrinterShifts(d, settings);
        const PrintAdjustment office = d.printAdjustment(QStringLiteral("Office [2]"));
        QCOMPARE(office.shift, QPointF(1.5, -0.75));
        QVERIFY(office.longEdgeFirst);
        QCOMPARE(d.printAdjustment(QStringLiteral("Other")).shift, QPointF());
        // A value spoilt in the settings moves nothing.
        settings->setValue(QStringLiteral("Printer Offsets"), QStringLiteral("Other X"), QStringLiteral("400"));
        QCOMPARE(d.printAdjustment(QStringLiteral("Other")).shift, QPointF());
    }

    // The dialog: own sizes are checked as they are typed and kept by name; the start label is clicked on the
    // picture and reaches the report.
    void dialog()
    {
        auto settings = std::make_shared<MemorySettingsStore>();
        TfmStockLabels dialog(settings);
        QCOMPARE(dialog.cbStock->currentData().toString(), QStringLiteral("L7160"));
        QVERIFY(!dialog.edWidth->isEnabled());

        dialog.cbStock->setCurrentIndex(dialog.cbStock->count() - 1); // "Custom…"
        QVERIFY(dialog.edWidth->isEnabled());
        dialog.cbPaper->setCurrentText(QStringLiteral("A4"));
        dialog.edColumns->setValue(2);
        dialog.edRows->setValue(5);
        dialog.edLeft->setValue(5);
        dialog.edTop->setValue(10);
        dialog.edHPitch->setValue(100);
        dialog.edVPitch->setValue(50);
        dialog.edHeight->setValue(45);
        dialog.edWidth->setValue(0);
        auto* problem = dialog.findChild<QLabel*>(QStringLiteral("lbProblem"));
        QVERIFY2(problem->text().contains(QStringLiteral("the label width must be more than 0 mm, not 0")),
                 qPrintable(problem->text()));
        QCOMPARE(dialog.imgSheet->labelArea(1), QRectF());
        QVERIFY_THROWS_EXCEPTION(platform::AppError, (void)dialog.makeReport());

        dialog.edWidth->setValue(95);
        QVERIFY(problem->text().isEmpty());
        dialog.edCustomName->setText(QStringLiteral("Drawer"));
        dialog.btnKeepCustomClick();
        QCOMPARE(customStockNames(*settings), QStringList{QStringLiteral("Drawer")});
        QCOMPARE(dialog.cbStock->currentData().toString(), QStringLiteral("Drawer"));

        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::mouseClick(dialog.imgSheet, Qt::LeftButton, {}, dialog.imgSheet->labelArea(4).center().toPoint());
        QCOMPARE(dialog.spnStartAtLabel->value(), 4);
        const ReportDefinition& report = dialog.makeReport();
        QCOMPARE(report.startAtLabel, 4);
        QCOMPARE(report.labelGrid->labelWidth, 95.0);
        QCOMPARE(lastStockName(*settings), QStringLiteral("Drawer"));
    }

    // The message about a wrong size takes room kept for it: no box moves under the typing when it appears.
    void messageMovesNoBox()
    {
        TfmStockLabels dialog(std::make_shared<MemorySettingsStore>());
        dialog.cbStock->setCurrentIndex(dialog.cbStock->count() - 1); // "Custom…"
        dialog.cbPaper->setCurrentText(QStringLiteral("A4"));
        dialog.edColumns->setValue(2);
        dialog.edRows->setValue(5);
        dialog.edLeft->setValue(5);
        dialog.edTop->setValue(10);
        dialog.edHPitch->setValue(100);
        dialog.edVPitch->setValue(50);
        dialog.edHeight->setValue(45);
        dialog.edWidth->setValue(95);
        auto* problem = dialog.findChild<QLabel*>(QStringLiteral("lbProblem"));
        QVERIFY(problem->text().isEmpty());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QList<QWidget*> boxes{dialog.edWidth, dialog.edHeight, dialog.edColumns, dialog.edRows, dialog.edLeft,
                                    dialog.edTop,   dialog.edHPitch, dialog.edVPitch,  dialog.btnOK};
        const auto places = [&] {
            QCoreApplication::processEvents();
            QList<QPoint> at;
            for (QWidget* w : boxes)
                at << w->mapTo(&dialog, QPoint());
            return at;
        };
        const QList<QPoint> before = places();
        dialog.edWidth->setValue(0);
        QVERIFY(!problem->text().isEmpty());
        QCOMPARE(places(), before);
    }
};

QTEST_MAIN(TestLabelStocks)
#include "tst_labelstocks.moc"

#include "ReportTestUtil.h"

#include "platform/AppError.h"
#include "reports/layouts/PhoneList.h"
#include "reports/Renderer.h"
#include "reports/ReportFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace reports;

namespace {

// Two phone list pages and a landscape page holding every other kind of item.
Rendering sample()
{
    QStringList surnames;
    for (int i = 0; i < 45; ++i)
        surnames << QStringLiteral("Name%1 \u00e9\u4e2d").arg(i);
    auto source = reporttest::contacts({QStringLiteral("Surname")}, [&] {
        std::vector<QStringList> rows;
        for (const QString& s : surnames)
            rows.push_back({s});
        return rows;
    }());
    Rendering r = render(phoneListReport(), source);
    Page extra{QSizeF(297, 210), {}};
    extra.items.emplace_back(RectItem{QRectF(1, 2, 3, 4), Qt::white, 0.5, Qt::red});
    extra.items.emplace_back(RichTextItem{QRectF(10.8, 60.2, 188.1, 206.6), 200.5,
                                          r.addRichText(QStringLiteral("<p><b>Dear</b> friend</p>"))});
    extra.items.emplace_back(LineItem{QPointF(0, 0), QPointF(297, 210), 0.7, Qt::blue});
    ReportFont odd;
    odd.family = QStringLiteral("Liberation Serif");
    odd.italic = odd.underline = odd.strikeOut = true;
    odd.color = QColor(10, 20, 30);
    extra.items.emplace_back(TextItem{QStringLiteral("x"), r.addFont(odd), QRectF(5, 6, 7, 8), Alignment::Right});
    r.pages.push_back(extra);
    return r;
}

QString writeBytes(const QTemporaryDir& dir, const QByteArray& bytes)
{
    const QString path = dir.filePath(QStringLiteral("report.trp"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write the test file");
    return path;
}

// A file around a payload that no writer made, with a matching length and checksum.
QByteArray fileAround(const QByteArray& payload)
{
    QByteArray bytes("TOVRELRP");
    bytes += QByteArray::fromHex("00000001");
    bytes += QByteArray::fromHex(QByteArray::number(payload.size(), 16).rightJustified(16, '0'));
    return bytes + payload + QCryptographicHash::hash(payload, QCryptographicHash::Sha256);
}

} // namespace

class TestReportFile : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip()
    {
        QTemporaryDir dir;
        const Rendering original = sample();
        const QString path = dir.filePath(QStringLiteral("phones.trp"));
        saveReport(original, path);
        const Rendering loaded = loadReport(path);
        QCOMPARE(loaded.pageCount(), 3);
        QVERIFY(loaded == original);
    }

    void missingFile()
    {
        QTemporaryDir dir;
        try {
            (void)loadReport(dir.filePath(QStringLiteral("nothing.trp")));
            QFAIL("loaded");
        } catch (const platform::AppError& e) {
            QCOMPARE(e.message(), QStringLiteral("File does not exist"));
        }
    }

    void badFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("says");
        const QByteArray good = serializeReport(sample());
        const QString damaged = QStringLiteral("is damaged");
        const QString foreign = QStringLiteral("is not a saved Tovrel report");
        QByteArray flipped = good;
        flipped[good.size() / 2] = char(flipped[good.size() / 2] ^ 0x10);
        QByteArray newer = good;
        newer[11] = 2;
        QByteArray longer = good;
        longer[19] = char(longer[19] + 1);

        QTest::newRow("empty") << QByteArray() << foreign;
        QTest::newRow("text file") << QByteArray("Surname,Firstname\nAdams,Jo\n") << foreign;
        QTest::newRow("PDF") << QByteArray("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n") << foreign;
        QTest::newRow("magic only") << good.left(8) << damaged;
        QTest::newRow("header only") << good.left(20) << damaged;
        QTest::newRow("cut in half") << good.left(good.size() / 2) << damaged;
        QTest::newRow("last byte missing") << good.chopped(1) << damaged;
        QTest::newRow("byte appended") << good + 'x' << damaged;
        QTest::newRow("byte changed") << flipped << damaged;
        QTest::newRow("length changed") << longer << damaged;
        QTest::newRow("newer version") << newer << QStringLiteral("newer version");
        // Checksums that match contents no writer made: every part is still checked.
        QTest::newRow("not compressed") << fileAround(QByteArray::fromHex("00000040") + QByteArray(60, '\x7f'))
                                        << damaged;
        QTest::newRow("compressed garbage") << fileAround(qCompress(QByteArray(64, '\x7f'))) << damaged;
        QTest::newRow("huge declared size")
            << fileAround(QByteArray::fromHex("7fffffff") + QByteArray(16, 1)) << damaged;
    }
    void badFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, says);
        QTemporaryDir dir;
        const QString path = writeBytes(dir, bytes);
        Rendering current = sample();
        try {
            current = loadReport(path);
            QFAIL("loaded");
        } catch (const platform::AppError& e) {
            QVERIFY2(e.message().contains(says), qPrintable(e.message()));
            QVERIFY(e.message().contains(path) || bytes.isEmpty() || e.message().contains(QLatin1String("report")));
        }
        QVERIFY(current == sample()); // what was shown stays
    }

    // Items that point at fonts or documents the file does not hold are refused even with a sound checksum.
    void danglingIndexes_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("font") << 0;
        QTest::newRow("rich text") << 1;
        QTest::newRow("negative size") << 2;
    }
    void danglingIndexes()
    {
        QFETCH(int, kind);
        Rendering r;
        Page page{QSizeF(210, 297), {}};
        if (kind == 0)
            page.items.emplace_back(TextItem{QStringLiteral("x"), 3, QRectF(0, 0, 1, 1), Alignment::Left});
        else if (kind == 1)
            page.items.emplace_back(RichTextItem{QRectF(0, 0, 1, 1), 1, 0});
        else
            page.items.emplace_back(RectItem{QRectF(0, 0, -5, 1), Qt::white, 0, Qt::black});
        r.pages.push_back(page);
        QVERIFY_THROWS_EXCEPTION(platform::AppError, (void)deserializeReport(serializeReport(r), QStringLiteral("x")));
    }

    // A file saved by the first version of the format keeps loading.
    void savedFileOfVersion1()
    {
        const Rendering r = loadReport(QStringLiteral(TOVREL_TEST_DATA "/reports/phonelist-v1.trp"));
        QCOMPARE(r.pageCount(), 1);
        QVERIFY(r.finished);
        const TextItem adams = reporttest::find(r.pages[0], QStringLiteral("Adams"));
        QCOMPARE(adams.box.topLeft(), QPointF(10.5, 29.6));
        QCOMPARE(r.fonts()[size_t(adams.font)], ReportFont::arial(9));
        QVERIFY(!reporttest::find(r.pages[0], QStringLiteral("Page 1")).text.isEmpty());
    }

    void unwritablePath()
    {
        QTemporaryDir dir;
        const QString blocker = writeBytes(dir, "a file where a folder should be");
        QVERIFY_THROWS_EXCEPTION(platform::AppError, saveReport(sample(), blocker + QStringLiteral("/x.trp")));
    }
};

QTEST_MAIN(TestReportFile)
#include "tst_reportfile.moc"

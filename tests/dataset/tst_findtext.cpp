// What find as you type finds: every word in some field, case and accents aside, phone digits whatever their marks.
#include "data/FindText.h"

#include <QTest>

namespace {

// Tel, Cell, Work Tel, then the other fields looked in.
const QList<QStringList> kRows{
    {"(01632) 960-101", "", "", "Brown-Émile", "Zoë", "Leeds", "alice@example.org", "5 Mill Lane, flat 5"},
    {"", "07700 900 555", "", "Groß", "Jürgen", "Köln", "", "Line one\nLine two"},
    {"020 7946 0000", "", "01632 960101", "LEEDS", "ALICE", "York", "", ""},
    {"", "", "", "", "", "", "", ""},
    {"", "", "", "Σαββίδης", "Ed", "Dover", "ed@example.org", "Leeds office"},
};

// A snapshot of kRows and what brute force finds in it.
struct Fixture
{
    data::RowStore store;
    std::vector<data::RowStore::Row> rows;
    Fixture()
    {
        qint64 key = 0;
        for (const QStringList& row : kRows) {
            store.begin(++key);
            for (const QString& value : row)
                store.add(value);
            rows.push_back(store.finish());
        }
    }
    data::find::FindIndex index(size_t slice) const
    {
        data::find::FindIndex index;
        index.reset({0, 1, 2, 3, 4, 5, 6, 7}, {0, 1, 2});
        while (!index.buildSome(rows, slice)) {
        }
        return index;
    }
    static std::vector<uint32_t> bruteForce(const QString& typed)
    {
        std::vector<uint32_t> out;
        for (uint32_t r = 0; r < uint32_t(kRows.size()); ++r)
            if (data::find::matches(data::find::words(typed), kRows[r], kRows[r].mid(0, 3)))
                out.push_back(r);
        return out;
    }
};

} // namespace

class TestFindText : public QObject
{
    Q_OBJECT
private slots:
    void matches_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("found");
        // The contact: Zoë Brown-Émile of Leeds, (01632) 960-101, alice@example.org.
        QTest::newRow("one word") << "leeds" << true;
        QTest::newRow("words in different fields") << "zoe  LEEDS" << true;
        QTest::newRow("every word must be found") << "zoe york" << false;
        QTest::newRow("accents typed, none stored") << "lééds" << true;
        QTest::newRow("accents stored, none typed") << "emile" << true;
        QTest::newRow("part of a word") << "xample" << true;
        QTest::newRow("phone digits across brackets and dashes") << "01632960" << true;
        QTest::newRow("phone digits as written") << "960-101" << true;
        QTest::newRow("digits not in any phone") << "01632961" << false;
        QTest::newRow("digits are not looked for in other fields' digits") << "55" << false;
        QTest::newRow("nothing typed finds all") << "   " << true;
    }
    void matches()
    {
        QFETCH(QString, typed);
        QFETCH(bool, found);
        const QStringList phones{QStringLiteral("(01632) 960-101"), QString(), QString()};
        const QStringList texts = phones + QStringList{QString::fromUtf8("Brown-Émile"), QString::fromUtf8("Zoë"),
                                                       QStringLiteral("Leeds"), QStringLiteral("alice@example.org"),
                                                       QStringLiteral("5 Mill Lane, flat 5")};
        QCOMPARE(data::find::matches(data::find::words(typed), texts, phones), found);
    }

    // The index kept in memory finds exactly what the comparison field by field finds.
    void indexFindsAsMatchesDoes_data()
    {
        QTest::addColumn<QString>("typed");
        for (const char* typed : {"leeds", "zoe leeds", "l\u00e9\u00e9ds", "emile", "01632960", "960-101", "55",
                                  "strasse", "GROSS", "one", "one\nline", "alice york", "x", "\u03c3\u03b1\u03b2\u03b2",
                                  "@example.org", "5", "e d", "   "})
            QTest::newRow(typed) << QString::fromUtf8(typed);
    }
    void indexFindsAsMatchesDoes()
    {
        QFETCH(QString, typed);
        const Fixture f;
        for (const size_t slice : {size_t(1), size_t(100)}) {
            data::find::FindIndex index = f.index(slice);
            QCOMPARE(index.find(f.rows, data::find::words(typed)), Fixture::bruteForce(typed));
        }
    }

    // Typing on narrows the last result instead of every row; anything else starts again from every row.
    void narrowingFurther_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("now");
        QTest::addColumn<bool>("further");
        QTest::newRow("a letter more") << "le" << "lee" << true;
        QTest::newRow("a word more") << "alice" << "alice york" << true;
        QTest::newRow("digits on") << "9" << "960" << true;
        QTest::newRow("a word before the others") << "lee" << "york leeds" << true;
        QTest::newRow("a letter less") << "leedsx" << "leeds" << false;
        QTest::newRow("a word replaced") << "lee york" << "leeds" << false;
        QTest::newRow("nothing before") << "" << "leeds" << false;
    }
    void narrowingFurther()
    {
        QFETCH(QString, before);
        QFETCH(QString, now);
        QFETCH(bool, further);
        const auto b = data::find::words(before);
        const auto n = data::find::words(now);
        QCOMPARE(data::find::narrowsFurther(b, n), further);
        if (!further)
            return;
        const Fixture f;
        data::find::FindIndex index = f.index(100);
        const std::vector<uint32_t> earlier = index.find(f.rows, b);
        QCOMPARE(index.find(f.rows, n, &earlier), Fixture::bruteForce(now));
    }

    // What is typed is a value, never SQL.
    void typedQuoteStaysText()
    {
        const QStringList sql = data::find::narrowed({QStringLiteral("SELECT * FROM HomeAd")}, QStringLiteral("o'neil"));
        QVERIFY(sql.join(QLatin1Char(' ')).contains(QStringLiteral("'o''neil'")));
        QCOMPARE(data::find::narrowed({QStringLiteral("SELECT * FROM HomeAd")}, QStringLiteral(" ")),
                 QStringList{QStringLiteral("SELECT * FROM HomeAd")});
    }
};

QTEST_GUILESS_MAIN(TestFindText)
#include "tst_findtext.moc"

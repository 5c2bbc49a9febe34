// What find as you type finds: every word in some field, case and accents aside, phone digits whatever their marks.
#include "data/FindText.h"

#include <QTest>

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

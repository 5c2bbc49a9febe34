// Reading birthdays, and which fall in the coming week.
#include "data/Birthday.h"

#include <QTest>

class TestBirthdays : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }

    void birthdayOf_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("notes");
        QTest::addColumn<QString>("expected"); // "day/month/year", year 0 when unknown; empty: none
        QTest::newRow("stored date") << "1970-05-04" << "" << "4/5/1970";
        QTest::newRow("shown date") << "04/05/1970" << "" << "4/5/1970";
        QTest::newRow("year calendars leave out") << "1604-12-24" << "" << "24/12/0";
        QTest::newRow("no year, in Notes") << "" << "Likes tea\nBirthday: 24/12\n" << "24/12/0";
        QTest::newRow("the field wins over Notes") << "1970-05-04" << "Birthday: 24/12" << "4/5/1970";
        QTest::newRow("no such day in Notes") << "" << "Birthday: 31/02" << "";
        QTest::newRow("none") << "" << "Birthday party on Friday" << "";
    }
    void birthdayOf()
    {
        QFETCH(QString, field);
        QFETCH(QString, notes);
        QFETCH(QString, expected);
        const auto b = data::birthdayOf(field, notes);
        QCOMPARE(b ? QStringLiteral("%1/%2/%3").arg(b->day).arg(b->month).arg(b->year) : QString(), expected);
    }

    void fallsWithinAWeek_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("day");
        QTest::addColumn<bool>("within");
        QTest::newRow("today") << QDate(2026, 5, 4) << 5 << 4 << true;
        QTest::newRow("sixth day on") << QDate(2026, 5, 4) << 5 << 10 << true;
        QTest::newRow("seventh day on") << QDate(2026, 5, 4) << 5 << 11 << false;
        QTest::newRow("yesterday") << QDate(2026, 5, 4) << 5 << 3 << false;
        QTest::newRow("over the new year") << QDate(2026, 12, 29) << 1 << 2 << true;
        QTest::newRow("29 February on the 28th, common year") << QDate(2027, 2, 26) << 2 << 29 << true;
        QTest::newRow("29 February, leap year") << QDate(2028, 3, 1) << 2 << 29 << false;
    }
    void fallsWithinAWeek()
    {
        QFETCH(QDate, today);
        QFETCH(int, month);
        QFETCH(int, day);
        QFETCH(bool, within);
        QCOMPARE(data::fallsWithin(data::Birthday{month, day, 1980}, today, 7), within);
    }

    void ageReached()
    {
        QCOMPARE(data::ageReached(data::Birthday{2, 29, 2000}, 2026), 26);
        QCOMPARE(data::ageReached(data::Birthday{2, 29, 0}, 2026), 0);
    }
};

QTEST_GUILESS_MAIN(TestBirthdays)
#include "tst_birthdays.moc"

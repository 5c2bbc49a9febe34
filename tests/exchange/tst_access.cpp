#include "exchange/AccessFile.h"
#include "exchange/ImportPlan.h"
#include "platform/AppError.h"
#include "support/TestFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTest>

using namespace exchange;

namespace {

QByteArray digest(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(&f);
    return h.result();
}

QString errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const platform::AppError& e) {
        return e.message();
    }
    return {};
}

} // namespace

class TestAccess : public QObject
{
    Q_OBJECT
private:
    QString m_nwind;
    QString m_dates;

private slots:
    void initTestCase()
    {
        m_nwind = testsupport::accessSample("nwind.mdb");
        m_dates = testsupport::accessSample("DateTestDatabase.mdb");
        if (m_nwind.isEmpty() || m_dates.isEmpty())
            QSKIP("the shared Access sample files are not there");
    }

    void filesAreKnownByTheirHeader()
    {
        QVERIFY(isAccessFile(m_nwind));
        QVERIFY(isAccessFile(m_dates));
        QVERIFY(!isAccessFile(QStringLiteral(TOVREL_TEST_DATA "/exchange/vcard30.vcf")));
        QVERIFY(!isAccessFile(QStringLiteral(TOVREL_TEST_DATA "/exchange/no such file")));
        QCOMPARE(detectSourceKind(m_nwind), SourceKind::Access);
    }

#ifndef TOVREL_HAVE_MDB
    void withoutTheLibraryTheUserIsTold()
    {
        QVERIFY(errorOf([&] { (void)accessTables(m_nwind); }).contains(QStringLiteral("cannot be read")));
    }
#else

    void userTablesAreListed()
    {
        const QStringList tables = accessTables(m_nwind);
        QVERIFY2(tables.contains(QStringLiteral("Employees")), qPrintable(tables.join(QLatin1Char(','))));
        QVERIFY(tables.contains(QStringLiteral("Umsätze")));
        for (const QString& t : tables)
            QVERIFY2(!t.startsWith(QLatin1String("MSys")), qPrintable(t));
        QCOMPARE(accessTables(m_dates), QStringList{QStringLiteral("DateTest")});
    }

    void employeesComeOverAsContacts()
    {
        const QByteArray before = digest(m_nwind);
        Importer importer(m_nwind, QStringLiteral("Employees"));
        const std::optional<ImportPlan> plan = importer.plan();
        QVERIFY(plan);
        QCOMPARE(plan->contactCount, 9);
        QCOMPARE(plan->source, QStringLiteral("Access-format table \"Employees\""));
        QCOMPARE(plan->skipped.value(QStringLiteral("column \"Photo\" (binary, not stored)")), 9);
        QCOMPARE(plan->notStored, 9);
        QCOMPARE(plan->skipped.value(QStringLiteral("column \"HireDate\"")), 9);
        QCOMPARE(plan->warningCount, 0);

        QList<Contact> added;
        const ImportResult result = importer.run(OverLongChoice::SkipContact, [&](const Contact& c) { added << c; });
        QCOMPARE(result.added, 9);
        QCOMPARE(added.size(), 9);
        const Contact& nancy = added[0];
        QCOMPARE(nancy[Field::Surname], QStringLiteral("Davolio"));
        QCOMPARE(nancy[Field::Firstname], QStringLiteral("Nancy"));
        QCOMPARE(nancy[Field::Address1], QStringLiteral("507 - 20th Ave. E.")); // a two-line address
        QCOMPARE(nancy[Field::Address2], QStringLiteral("Apt. 2A"));
        QCOMPARE(nancy[Field::Town], QStringLiteral("Seattle"));
        QCOMPARE(nancy[Field::County], QStringLiteral("WA"));
        QCOMPARE(nancy[Field::PostCode], QStringLiteral("98122"));
        QCOMPARE(nancy[Field::Country], QStringLiteral("USA"));
        QCOMPARE(nancy[Field::Tel], QStringLiteral("(206) 555-9857"));
        QCOMPARE(nancy[Field::Birthday], QStringLiteral("1948-12-08"));
        QVERIFY(nancy[Field::Notes].startsWith(QLatin1String("Education includes a BA in psychology")));
        QVERIFY(nancy[Field::Notes].size() > 100);
        QCOMPARE(added[4][Field::Surname], QStringLiteral("Buchanan"));
        QCOMPARE(added[4][Field::County], QString()); // empty in the table
        QCOMPARE(added[4][Field::PostCode], QStringLiteral("SW1 8JR"));
        QCOMPARE(digest(m_nwind), before); // read only
    }

    void datesMemosAndNonAsciiTextArriveIntact()
    {
        AccessTable table(m_dates, QStringLiteral("datetest")); // table names without regard to case
        QCOMPARE(table.columns(), (QStringList{QStringLiteral("IDCol"), QStringLiteral("DateTimeCol"),
                                               QStringLiteral("DateCol"), QStringLiteral("TimeCol"),
                                               QStringLiteral("LongTextCol"), QStringLiteral("ShortTextCol")}));
        QList<QStringList> rows;
        QStringList values;
        while (table.next(values))
            rows << values;
        QCOMPARE(rows.size(), 6);
        QCOMPARE(rows[0].mid(1, 3), (QStringList{QStringLiteral("2021-12-02"), QStringLiteral("2021-12-02"),
                                                 QStringLiteral("2021-12-02")}));
        QCOMPARE(rows[1][1], QStringLiteral("9999-01-01")); // the last year Access knows
        QCOMPARE(rows[2].mid(1, 3), (QStringList{QStringLiteral("1898-01-01"), QStringLiteral("1899-01-01"),
                                                 QStringLiteral("1900-01-01")})); // before day zero
        QVERIFY(rows[3][1].startsWith(QLatin1String("06")));                      // a year before 1000
        QCOMPARE(rows[5][4], QStringLiteral("New line\r\nin field"));

        AccessTable orders(m_nwind, QStringLiteral("Umsätze"));
        bool montreal = false;
        while (orders.next(values))
            montreal = montreal || values.contains(QStringLiteral("Montréal"));
        QVERIFY(montreal);
    }

    void aMissingTableIsNamed()
    {
        const QString error = errorOf([&] { (void)Importer(m_nwind).plan(); });
        QVERIFY2(error.contains(QStringLiteral("nwind.mdb has no table \"HomeAd\"")), qPrintable(error));
        QVERIFY2(error.contains(QStringLiteral("Employees")), qPrintable(error));
        const QString noFields = errorOf([&] { (void)Importer(m_dates, QStringLiteral("DateTest")).plan(); });
        QVERIFY2(noFields.contains(QStringLiteral("names a contact field")), qPrintable(noFields));
    }
#endif
};

QTEST_GUILESS_MAIN(TestAccess)
#include "tst_access.moc"

#include "exchange/ReaderTestUtil.h"

#include "exchange/CsvReader.h"
#include "platform/AppError.h"

#include <QStringEncoder>
#include <QTest>

using namespace exchange;

namespace {

using readertest::Read;

Read readBytes(const QByteArray& bytes) { return readertest::readBytes<CsvReader>(bytes); }
Read readFixture(const char* name) { return readertest::readFixture<CsvReader>(name); }

QString errorOf(const QByteArray& bytes)
{
    try {
        (void)readBytes(bytes);
    } catch (const platform::AppError& e) {
        return e.message();
    }
    return {};
}

} // namespace

class TestCsvReader : public QObject
{
    Q_OBJECT
private slots:
    void outlookStyleInWindows1252()
    {
        const Read r = readFixture("outlook.csv");
        QCOMPARE(r.description, QStringLiteral("CSV, comma separated, Windows-1252"));
        QCOMPARE(r.contacts.size(), 2);
        const Contact& c = r.contacts[0].contact;
        QCOMPARE(c[Field::Firstname], QStringLiteral("José"));
        QCOMPARE(c[Field::Surname], QStringLiteral("Muñoz"));
        QCOMPARE(c[Field::Workplace], QStringLiteral("Café Olé"));
        QCOMPARE(c[Field::Address1], QStringLiteral("Flat 3")); // a two-line street
        QCOMPARE(c[Field::Address2], QStringLiteral("17 Kings Road"));
        QCOMPARE(c[Field::A3_Village], QStringLiteral("Headingley"));
        QCOMPARE(c[Field::Town], QStringLiteral("Leeds"));
        QCOMPARE(c[Field::County], QStringLiteral("West Yorkshire"));
        QCOMPARE(c[Field::PostCode], QStringLiteral("LS6 3AA"));
        QCOMPARE(c[Field::Country], QStringLiteral("United Kingdom"));
        QCOMPARE(c[Field::WorkTel], QStringLiteral("0113 496 0000"));
        QCOMPARE(c[Field::Tel], QStringLiteral("0113 496 0001"));
        QCOMPARE(c[Field::Cell], QStringLiteral("07700 900001"));
        QCOMPARE(c[Field::Birthday], QStringLiteral("1971-03-15"));
        QCOMPARE(c[Field::Email], QStringLiteral("jose@example.com"));
        // Every other column in Notes, in the file's order.
        QCOMPARE(c[Field::Notes], QStringLiteral("Likes \"strong\" coffee\nSecond line – dash\n"
                                                 "Title: Mr.\n"
                                                 "Job title: Owner\n"
                                                 "Work address: 1 Trade St, Leeds\n"
                                                 "Home Fax: 0113 496 0002\n"
                                                 "E-mail: pepe@example.com\n"
                                                 "Categories: Suppliers"));
        QCOMPARE(c[Field::Flag], QStringLiteral("XMAS")); // the first category that fits
        QCOMPARE(c[Field::Flag2], QStringLiteral("Golf"));
        QCOMPARE(r.contacts[1].contact[Field::Birthday], QString()); // "0/0/00" means none
        QCOMPARE(r.contacts[1].line, 5);                             // the first row runs over three lines

        QCOMPARE(r.contacts[0].movedToNotes, 6);
        QVERIFY(r.log.skipped().isEmpty());
        // Only that the file was read as Windows-1252, said once.
        QCOMPARE(r.log.noticeCount(), 1);
        QVERIFY(r.log.notices()[0].text.contains(QStringLiteral("read as Windows-1252")));
    }

    void googleStyleWithTypedPairs()
    {
        const Read r = readFixture("google.csv");
        QCOMPARE(r.description, QStringLiteral("CSV, comma separated, UTF-8 with byte-order mark"));
        QCOMPARE(r.contacts.size(), 1);
        const Contact& c = r.contacts[0].contact;
        QCOMPARE(c[Field::Firstname], QStringLiteral("Zoë"));
        QCOMPARE(c[Field::Surname], QStringLiteral("Ärger"));
        QCOMPARE(c[Field::Email], QStringLiteral("zoe@example.de"));
        QCOMPARE(c[Field::Cell], QStringLiteral("+49 171 1"));
        QCOMPARE(c[Field::WorkTel], QStringLiteral("+49 30 2"));
        QCOMPARE(c[Field::Tel], QString());
        QCOMPARE(c[Field::Address1], QStringLiteral("Am Hang 2"));
        QCOMPARE(c[Field::A3_Village], QStringLiteral("Oberdorf"));
        QCOMPARE(c[Field::Town], QStringLiteral("Köln"));
        QCOMPARE(c[Field::County], QStringLiteral("NRW"));
        QCOMPARE(c[Field::PostCode], QStringLiteral("50667"));
        QCOMPARE(c[Field::Country], QStringLiteral("Germany"));
        QCOMPARE(c[Field::Workplace], QStringLiteral("Ärger GmbH"));
        QCOMPARE(c[Field::Notes], QStringLiteral("Birthday: 15/04\nWork e-mail: z@work.example\nWork Fax: +49 30 3"));
        QVERIFY2(r.hasNotice(1, 2, QStringLiteral("has no year; kept in Notes as \"Birthday: 15/04\"")),
                 qPrintable(r.allNotices()));
        QCOMPARE(c[Field::Flag], QString()); // "* myContacts" is on every contact
        QVERIFY(r.log.skipped().isEmpty());
    }

    void semicolonSeparatedWithAnInvalidDate()
    {
        const Read r = readFixture("semicolon.csv");
        QCOMPARE(r.description, QStringLiteral("CSV, semicolon separated, UTF-8"));
        QCOMPARE(r.contacts.size(), 2);
        const Contact& c = r.contacts[0].contact;
        QCOMPARE(c[Field::Surname], QStringLiteral("Dupont"));
        QCOMPARE(c[Field::Town], QStringLiteral("Lyon"));
        QCOMPARE(c[Field::Birthday], QStringLiteral("1969-02-28"));
        QCOMPARE(c[Field::Notes], QStringLiteral("Ligne 1\nLigne 2; avec point-virgule"));
        const Contact& m = r.contacts[1].contact;
        QCOMPARE(m[Field::Birthday], QString());
        QCOMPARE(m[Field::Notes], QStringLiteral("Birthday: 1980-13-01"));
        QVERIFY2(r.hasNotice(2, 4, QStringLiteral("\"1980-13-01\" is not a valid date; kept in Notes")),
                 qPrintable(r.allNotices()));
    }

    void utf16TabSeparated()
    {
        const QString text = QStringLiteral("Last Name\tFirst Name\tNotes\r\nŁoś\tŻaneta\t\"a\tb\"\r\n");
        QStringEncoder le(QStringConverter::Utf16LE);
        const Read r = readBytes("\xFF\xFE" + QByteArray(le.encode(text)));
        QCOMPARE(r.description, QStringLiteral("CSV, tab separated, UTF-16"));
        QCOMPARE(r.contacts.value(0).contact[Field::Surname], QStringLiteral("Łoś"));
        QCOMPARE(r.contacts.value(0).contact[Field::Firstname], QStringLiteral("Żaneta"));
        QCOMPARE(r.contacts.value(0).contact[Field::Notes], QStringLiteral("a\tb"));
    }

    // A stray byte in one row of a UTF-8 file spoils only that value, and the notes say where.
    void aStrayByteIsReplacedWhereItIs()
    {
        const Read r = readBytes("Last Name,First Name\r\nBront\xC3\xAB,Zo\xC3\xAB\r\nSmith,Jo\xFF\r\nM\xC3\xBCller,Hans\r\n");
        QCOMPARE(r.description, QStringLiteral("CSV, comma separated, UTF-8"));
        QCOMPARE(r.contacts.size(), 3);
        QCOMPARE(r.contacts[0].contact[Field::Firstname], QStringLiteral("Zoë"));
        QCOMPARE(r.contacts[1].contact[Field::Firstname], QStringLiteral("Jo\uFFFD"));
        QCOMPARE(r.contacts[2].contact[Field::Surname], QStringLiteral("Müller"));
        QVERIFY2(r.hasNotice(2, 3, QStringLiteral("column \"First Name\": 1 byte that is not UTF-8")),
                 qPrintable(r.allNotices()));
        QCOMPARE(r.log.warningCount(), 1);
    }

    void oldMacintoshLineEnds()
    {
        const Read r = readBytes("Last Name,First Name,Notes\rSmith,Ann,\"two\rlines\"\rJones,Bob,\r");
        QCOMPARE(r.contacts.size(), 2);
        QCOMPARE(r.contacts[0].contact[Field::Notes], QStringLiteral("two\nlines"));
        QCOMPARE(r.contacts[1].contact[Field::Surname], QStringLiteral("Jones"));
        QCOMPARE(r.contacts[1].line, 4);
    }

    void raggedRows()
    {
        const Read r = readBytes("Surname,Firstname,Town\r\n"
                                 "Short,Row\r\n"
                                 "Long,Row,Ely,12 High St,\"second, extra\"\r\n"
                                 "Good,Row,York\r\n");
        QCOMPARE(r.contacts.size(), 3);
        QCOMPARE(r.contacts[0].contact[Field::Town], QString());
        QVERIFY2(r.hasNotice(1, 2, QStringLiteral("has 2 values but the header has 3 columns")),
                 qPrintable(r.allNotices()));
        QCOMPARE(r.contacts[1].contact[Field::Town], QStringLiteral("Ely"));
        QCOMPARE(r.contacts[1].contact[Field::Notes],
                 QStringLiteral("Extra value: 12 High St\nExtra value: second, extra"));
        QVERIFY2(r.hasNotice(2, 3, QStringLiteral("the 2 extra values are kept in Notes")), qPrintable(r.allNotices()));
        QCOMPARE(r.log.warningCount(), 2);
    }

    void quotesAndBlankLines()
    {
        const Read r = readBytes("Surname,Notes\n"
                                 "\n"
                                 "\"Doe, \"\"JD\"\"\",\"multi\n\nline\"\n"
                                 ",\n"
                                 "Roe,plain \"inner\" quotes\n");
        QCOMPARE(r.contacts.size(), 2);
        QCOMPARE(r.contacts[0].contact[Field::Surname], QStringLiteral("Doe, \"JD\""));
        QCOMPARE(r.contacts[0].contact[Field::Notes], QStringLiteral("multi\n\nline"));
        QCOMPARE(r.contacts[0].line, 3);
        QCOMPARE(r.contacts[1].contact[Field::Notes], QStringLiteral("plain \"inner\" quotes"));
        QCOMPARE(r.contacts[1].line, 7);
        QCOMPARE(r.log.skipped().value(QStringLiteral("(empty rows)")), 1);
    }

    void errors_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::newRow("unbalanced quote")
            << QByteArray("Surname,Notes\nA,ok\nB,\"never closed\nC,x\nD,y\n")
            << QStringLiteral("Line 3: a quoted value that starts on this row is never closed");
        QTest::newRow("no known column") << QByteArray("Foo,Bar\n1,2\n")
                                         << QStringLiteral("Line 1: no column is taken for a name");
        // A column spelled like one of ours gives no name: the contacts would all be nameless.
        QTest::newRow("a stray match alone")
            << QByteArray("Rufname,Familie,Suffix,Mail\nAnn,Lee,Jr,a@example.com\n")
            << QStringLiteral("The columns are: Rufname, Familie, Suffix, Mail. Say what they hold with --map, for "
                              "example --map \"Rufname=Firstname,Familie=Surname\"");
        QTest::newRow("empty file") << QByteArray("\n\n") << QStringLiteral("no header row");
        QTest::newRow("broken header") << QByteArray("\"Surname,Notes\n")
                                       << QStringLiteral("Line 1: the header row has an unbalanced quote");
    }
    void errors()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const QString error = errorOf(bytes);
        QVERIFY2(error.contains(message), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestCsvReader)
#include "tst_csvreader.moc"

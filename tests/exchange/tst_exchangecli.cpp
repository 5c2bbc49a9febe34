// tovrel --export and --import, run as the program itself without a window.
#include "exchange/AccessFile.h"
#include "support/Program.h"
#include "support/TestDb.h"
#include "support/TestFiles.h"
#include "support/FailingWrite.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

using testsupport::readBytes;
using testsupport::writeFile;

using testsupport::Run;
using testsupport::tovrel;

namespace {

// Two cards; the second has a post code longer than its field allows.
const QByteArray TwoCards = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Able;Ann;;;\r\nFN:Ann Able\r\nEND:VCARD\r\n"
                            "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Baker;Bob;;;\r\nFN:Bob Baker\r\n"
                            "ADR;TYPE=home:;;1 Long Road;Leeds;;ABCDEFGHIJKL;;\r\nEND:VCARD\r\n";

} // namespace

class TestExchangeCli : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_database;

    int stored() { return testsupport::query(m_database, QStringLiteral("SELECT count(*) FROM HomeAd"))[0].toInt(); }

private slots:
    void init()
    {
        m_database = m_dir.filePath(QStringLiteral("Tovrel.mdb"));
        testsupport::makeDatabase(m_database, testsupport::sampleContacts());
    }

    void exportWritesTheSearchedContacts()
    {
        const QString file = m_dir.filePath(QStringLiteral("kent.csv"));
        const Run r = tovrel({"--export", file, "--search", "county", "kent", "--folder", m_dir.path()});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("2 contacts exported to %1\n").arg(file));
        const QStringList lines = QString::fromUtf8(readBytes(file)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[1].startsWith(QStringLiteral("Łukasz,")));
        QVERIFY(lines[2].startsWith(QStringLiteral("ZOË,")));

        const QString others = m_dir.filePath(QStringLiteral("others.vcf"));
        QCOMPARE(tovrel({"--export", others, "--search", "County", "Kent", "--not", "--folder", m_dir.path()}).status,
                 0);
        QCOMPARE(readBytes(others).count("BEGIN:VCARD"), 4);
        QVERIFY(readBytes(others).contains("VERSION:3.0"));
        // No one has a flag, so no one's flag holds the word.
        QCOMPARE(tovrel({"--export", others, "--search", "Flag", "x", "--not", "--folder", m_dir.path()}).status, 0);
        QCOMPARE(readBytes(others).count("BEGIN:VCARD"), 6);
    }

    void importKeepsOverLongContactsUnlessToldToSkipThem()
    {
        const QString file = writeFile(m_dir.filePath(QStringLiteral("two.vcf")), TwoCards);
        Run r = tovrel({"--import", file, "--folder", m_dir.path()});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("2 contacts added from %1\n1 value shortened (kept whole in Notes), 0 values "
                                       "moved to Notes, 0 binary values not stored\n")
                            .arg(file));
        QVERIFY2(r.err.contains(QStringLiteral("Record 2, line 6: Bob Baker: PostCode has 12 characters (at most 10): "
                                               "shortened, each kept whole in Notes")),
                 qPrintable(r.err));
        QCOMPARE(stored(), 8);
        QCOMPARE(testsupport::query(m_database,
                                    QStringLiteral("SELECT PostCode || '|' || Notes FROM HomeAd WHERE Surname='Baker'")),
                 QStringList{"ABCDEFGHIJ|PostCode: ABCDEFGHIJKL"});

        r = tovrel({"--import", file, "--skip-long", "--folder", m_dir.path()});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.startsWith(QStringLiteral("1 contact added from %1\n").arg(file)));
        QVERIFY2(r.err.contains(QStringLiteral("1 contact left out")), qPrintable(r.err));
        QCOMPARE(stored(), 9);

        r = tovrel({"--import", file, "--cut", "--folder", m_dir.path()}); // the old name of the default
        QCOMPARE(r.status, 0);
        QCOMPARE(stored(), 11);
    }

    // A value of megabytes is named on standard error by its head and tail, not repeated whole.
    void aHugeValueIsShortenedInTheNotes()
    {
        const QByteArray birthday(4 << 20, 'q'); // no date: named in a note, kept in Notes
        const QString file = writeFile(m_dir.filePath(QStringLiteral("huge.vcf")),
                                       "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Able;Ann;;;\r\nBDAY:" + birthday +
                                           "\r\nEND:VCARD\r\n");
        const Run r = tovrel({"--import", file, "--folder", m_dir.path()});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.contains(QStringLiteral("characters left out")), qPrintable(r.err.left(2000)));
        QVERIFY(r.err.size() < 4000);
    }

    void importCountsWhatWentToNotes()
    {
        const QString file = QStringLiteral(TOVREL_TEST_DATA "/exchange/android21.vcf");
        const Run r = tovrel({"--import", file, "--folder", m_dir.path()});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("6 contacts added from %1\n1 value shortened (kept whole in Notes), 4 values "
                                       "moved to Notes, 1 binary value not stored\n")
                            .arg(file));
        QVERIFY2(r.err.contains(QStringLiteral("no name; Surname taken from Email: newsletter@shop.example.com")),
                 qPrintable(r.err));
        QCOMPARE(stored(), 12);
    }

    // No column gives a name: refused, the columns listed with how --map is given; --map then brings the file in
    // and the batch lists the columns it kept in Notes.
    void aFileWithoutANameColumnIsRefusedUntilMapped()
    {
        const QString file = writeFile(m_dir.filePath(QStringLiteral("rufname.csv")),
                                       "Rufname,Familie,Suffix,Mail\r\nAnn,Lee,Jr,ann@example.com\r\nBob,Ray,,\r\n");
        Run r = tovrel({"--import", file, "--folder", m_dir.path()});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("no column is taken for a name (Surname, Firstname or Workplace)")),
                 qPrintable(r.err));
        QVERIFY2(r.err.contains(QStringLiteral("The columns are: Rufname, Familie, Suffix, Mail. Say what they hold "
                                               "with --map")),
                 qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QCOMPARE(stored(), 6);

        r = tovrel({"--import", file, "--map", "Rufname=Firstname,Familie=Surname", "--folder", m_dir.path()});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith(QStringLiteral("2 contacts added from %1\n").arg(file)), qPrintable(r.out));
        QVERIFY2(r.out.endsWith(QStringLiteral("Columns kept in Notes: Suffix (1 value)\n")), qPrintable(r.out));
        QCOMPARE(testsupport::query(m_database, QStringLiteral("SELECT Firstname||' '||Surname||'|'||Email||'|'||Notes "
                                                               "FROM HomeAd WHERE Surname='Lee'")),
                 QStringList{"Ann Lee|ann@example.com|Name suffix: Jr"});
        QCOMPARE(stored(), 8);

        // A column the file does not have is no silent mistake.
        r = tovrel({"--import", file, "--map", "Vorname=Firstname", "--folder", m_dir.path()});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("there is no column \"Vorname\" to map")), qPrintable(r.err));
        r = tovrel({"--import", file, "--map", "Rufname=Nickname", "--folder", m_dir.path()});
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(QStringLiteral("\"Rufname=Nickname\" is not COLUMN=FIELD")), qPrintable(r.err));
        QCOMPARE(stored(), 8);
    }

    void importReadsATableOfAnAccessFormatFile()
    {
        const QString nwind = testsupport::accessSample("nwind.mdb");
        if (nwind.isEmpty() || !exchange::canReadAccessFiles())
            QSKIP("no Access-format sample or no mdbtools");
        const Run r = tovrel({"--import", nwind, "--table", "employees", "--cut", "--folder", m_dir.path()});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("9 contacts added from %1\n0 values shortened (kept whole in Notes), 0 values "
                                       "moved to Notes, 9 binary values not stored\n")
                            .arg(nwind)); // the photos
        QCOMPARE(stored(), 15);
        const Run missing = tovrel({"--import", nwind, "--folder", m_dir.path()});
        QCOMPARE(missing.status, 1);
        QVERIFY2(missing.err.contains(QStringLiteral("has no table \"HomeAd\"")), qPrintable(missing.err));
        QCOMPARE(stored(), 15);
    }

    // Another address book of ours (a family member's) adds its contacts with every field as it was.
    void importsAnotherAddressBook()
    {
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("family")));
        const QString other = m_dir.filePath(QStringLiteral("family/Tovrel.mdb"));
        testsupport::makeDatabase(
            other, {{{"Surname", "Carter"}, {"Firstname", "Zoë"}, {"Midname", "J"}, {"Address1", "1 High St"},
                     {"Address2", "Flat 2"}, {"A3_Village", "Heworth"}, {"Town", "York"}, {"County", "North Yorkshire"},
                     {"PostCode", "YO1 1AA"}, {"Country", "UK"}, {"Tel", "01904 111"}, {"Cell", "07700 900"},
                     {"Email", "zoe@example.com"}, {"Birthday", "1970-01-31"}, {"Notes", "two\nlines"},
                     {"Workplace", "Acme"}, {"Work Tel", "01904 222"}, {"Flag", "XMAS"}, {"Flag2", "Golf"}},
                    {{"Surname", "Dunn"}}});
        const Run r = tovrel({"--import", other, "--folder", m_dir.path()});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith(QStringLiteral("2 contacts added from %1\n").arg(other)), qPrintable(r.out));
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err)); // its key column is no value left out
        QCOMPARE(stored(), 8);
        QCOMPARE(testsupport::query(m_database, QStringLiteral("SELECT Surname||'|'||Firstname||'|'||Midname||'|'||"
                                                               "Address1||'|'||Address2||'|'||A3_Village||'|'||Town||'|'||"
                                                               "County||'|'||PostCode||'|'||Country||'|'||Tel||'|'||Cell||"
                                                               "'|'||Email||'|'||Birthday||'|'||Notes||'|'||Workplace||'|'||"
                                                               "[Work Tel]||'|'||Flag||'|'||Flag2 FROM HomeAd WHERE "
                                                               "Surname='Carter'")),
                 QStringList{"Carter|Zoë|J|1 High St|Flat 2|Heworth|York|North Yorkshire|YO1 1AA|UK|01904 111|07700 900|"
                             "zoe@example.com|1970-01-31|two\nlines|Acme|01904 222|XMAS|Golf"});
        QCOMPARE(testsupport::query(other, QStringLiteral("SELECT count(*) FROM HomeAd")), QStringList{"2"});
    }

    // A database that is not an address book, or the book itself, adds nothing.
    void otherDatabasesAreRefused_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("SQLite without HomeAd") << "other.sqlite" << "is a database but not an address book";
        QTest::newRow("the address book itself") << "Tovrel.mdb" << "is the address book itself";
    }
    void otherDatabasesAreRefused()
    {
        QFETCH(QString, file);
        QFETCH(QString, message);
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(m_dir.filePath(QStringLiteral("other.sqlite"))).constData(), &db),
                 SQLITE_OK);
        sqlite3_exec(db, "CREATE TABLE IF NOT EXISTS Notes (ID INTEGER PRIMARY KEY, Surname TEXT);"
                         "INSERT INTO Notes (Surname) VALUES ('Smith')", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        const Run r = tovrel({"--import", m_dir.filePath(file), "--folder", m_dir.path()});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QCOMPARE(stored(), 6);
    }

    void errorsGoToStandardErrorWithAFailingStatus_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("no such file") << QStringList{"--import", "missing.vcf"} << 1 << "missing.vcf: no such file";
        QTest::newRow("unreadable CSV") << QStringList{"--import", "@broken.csv"} << 1
                                        << "broken.csv: Line 1: the header row has an unbalanced quote";
        QTest::newRow("table of a text file") << QStringList{"--import", "@two.vcf", "--table", "HomeAd"} << 1
                                              << "--table goes with Access-format files only";
        QTest::newRow("unknown suffix") << QStringList{"--export", "x.txt"} << 1 << "must end in .vcf";
        QTest::newRow("unknown field") << QStringList{"--export", "x.csv", "--search", "Shoe", "x"} << 1
                                       << "there is no field Shoe";
        QTest::newRow("not without search") << QStringList{"--export", "x.csv", "--not"} << 2 << "--not needs --search";
        QTest::newRow("cut with export") << QStringList{"--export", "x.csv", "--cut"} << 2 << "go with --import only";
        QTest::newRow("skip-long with export")
            << QStringList{"--export", "x.csv", "--skip-long"} << 2 << "go with --import only";
        QTest::newRow("cut and skip-long") << QStringList{"--import", "@two.vcf", "--cut", "--skip-long"} << 2
                                           << "cannot be given together";
        QTest::newRow("missing value") << QStringList{"--import"} << 2 << "--import needs a value";
        QTest::newRow("unwritable") << QStringList{"--export", "no/such/folder/x.csv"} << 1 << "Cannot write";
    }
    void errorsGoToStandardErrorWithAFailingStatus()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, message);
        writeFile(m_dir.filePath(QStringLiteral("two.vcf")), TwoCards);
        writeFile(m_dir.filePath(QStringLiteral("broken.csv")), "\"Surname,Firstname\r\nAble,Ann\r\n");
        for (QString& a : arguments)
            if (a.startsWith(QLatin1Char('@')) || a.contains(QLatin1Char('.')))
                a = m_dir.filePath(a.startsWith(QLatin1Char('@')) ? a.mid(1) : a);
        const Run r = tovrel(arguments + QStringList{"--folder", m_dir.path()});
        QCOMPARE(r.status, status);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QCOMPARE(stored(), 6);
    }

    // A disk that fills up: one line naming the file and the reason, and no file left behind.
    void aFullDiskIsReportedOnce()
    {
        const QString file = m_dir.filePath(QStringLiteral("all.vcf"));
        Run r;
        {
            const testsupport::FileSizeLimit limit(200); // the program started now inherits it
            r = tovrel({"--export", file, "--folder", m_dir.path()});
        }
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.endsWith(QLatin1Char('\n')) && r.err.count(QLatin1Char('\n')) == 1, qPrintable(r.err));
        QVERIFY2(testsupport::reportsFailure(r.err.chopped(1), QStringLiteral("tovrel: Cannot write the file %1").arg(file)),
                 qPrintable(r.err));
        QVERIFY(!QFile::exists(file));
    }

    // Every command says the same of it, once, and leaves it as it is.
    void anAccessFormatDatabaseIsNotWrittenFromTheCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("export") << QStringList{"--export", "@DIR@/x.csv"};
        QTest::newRow("import") << QStringList{"--import", "@DIR@/in.csv"};
        QTest::newRow("report") << QStringList{"--report", "phone-list", "--pdf", "@DIR@/x.pdf"};
    }
    void anAccessFormatDatabaseIsNotWrittenFromTheCommandLine()
    {
        QFETCH(QStringList, arguments);
        // The header is all that tells an Access-format file.
        const QByteArray access = QByteArray(4, '\0') + "Standard Jet DB" + QByteArray(4000, '\0');
        QFile::remove(m_database);
        writeFile(m_database, access);
        writeFile(m_dir.filePath(QStringLiteral("in.csv")), "Surname\r\nNew\r\n");
        arguments.replaceInStrings(QStringLiteral("@DIR@"), m_dir.path());
        const Run r = tovrel(arguments + QStringList{"--folder", m_dir.path()});
        QCOMPARE(r.status, 1);
        const QString message = QStringLiteral("%1 is an Access-format database; start the program once to convert it")
                                    .arg(m_database);
        QCOMPARE(r.err.count(message), 1);
        QCOMPARE(readBytes(m_database), access);
        QFile::remove(m_database);
    }
};

QTEST_MAIN(TestExchangeCli)
#include "tst_exchangecli.moc"


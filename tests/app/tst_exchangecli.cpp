// tovrel --export and --import, run as the program itself without a window.
#include "exchange/AccessFile.h"
#include "support/TestDb.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using testsupport::readBytes;
using testsupport::writeFile;

namespace {

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

Run tovrel(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(TOVREL_BINARY), arguments);
    if (!process.waitForFinished(120000))
        qFatal("tovrel did not finish");
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

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
        QVERIFY(lines[1].startsWith(QStringLiteral("ZOË,")));
        QVERIFY(lines[2].startsWith(QStringLiteral("Łukasz,")));

        const QString others = m_dir.filePath(QStringLiteral("others.vcf"));
        QCOMPARE(tovrel({"--export", others, "--search", "County", "Kent", "--not", "--folder", m_dir.path()}).status,
                 0);
        QCOMPARE(readBytes(others).count("BEGIN:VCARD"), 4);
        QVERIFY(readBytes(others).contains("VERSION:3.0"));
    }

    void importLeavesOverLongContactsOutUnlessToldToCut()
    {
        const QString file = writeFile(m_dir.filePath(QStringLiteral("two.vcf")), TwoCards);
        Run r = tovrel({"--import", file, "--folder", m_dir.path()});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("1 contact added from %1\n").arg(file));
        QVERIFY2(r.err.contains(QStringLiteral("Record 2, line 6: Bob Baker: PostCode has 12 characters (at most 10): "
                                               "left out")),
                 qPrintable(r.err));
        QVERIFY(r.err.contains(QStringLiteral("1 contact left out")));
        QCOMPARE(stored(), 7);

        r = tovrel({"--import", file, "--cut", "--folder", m_dir.path()});
        QCOMPARE(r.status, 0);
        QCOMPARE(stored(), 9);
        QCOMPARE(testsupport::query(m_database, QStringLiteral("SELECT PostCode FROM HomeAd WHERE Surname='Baker'")),
                 QStringList{"ABCDEFGHIJ"});
    }

    void importReadsATableOfAnAccessFormatFile()
    {
        const QString nwind = testsupport::accessSample("nwind.mdb");
        if (nwind.isEmpty() || !exchange::canReadAccessFiles())
            QSKIP("no Access-format sample or no mdbtools");
        const Run r = tovrel({"--import", nwind, "--table", "employees", "--cut", "--folder", m_dir.path()});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("9 contacts added from %1\n").arg(nwind));
        QCOMPARE(stored(), 15);
        const Run missing = tovrel({"--import", nwind, "--folder", m_dir.path()});
        QCOMPARE(missing.status, 1);
        QVERIFY2(missing.err.contains(QStringLiteral("has no table \"HomeAd\"")), qPrintable(missing.err));
        QCOMPARE(stored(), 15);
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
        QTest::newRow("missing value") << QStringList{"--import"} << 2 << "--import needs a value";
        QTest::newRow("unwritable") << QStringList{"--export", "no/such/folder/x.csv"} << 1 << "Cannot create";
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

    void anAccessFormatDatabaseIsNotWrittenFromTheCommandLine()
    {
        const QString nwind = testsupport::accessSample("nwind.mdb");
        if (nwind.isEmpty())
            QSKIP("no Access-format sample");
        QFile::remove(m_database);
        QVERIFY(QFile::copy(nwind, m_database));
        const Run r = tovrel({"--export", m_dir.filePath(QStringLiteral("x.csv")), "--folder", m_dir.path()});
        QCOMPARE(r.status, 1);
        QVERIFY(r.err.contains(QStringLiteral("is an Access-format database; start the program once to convert it")));
        QCOMPARE(readBytes(m_database), readBytes(nwind));
        QFile::remove(m_database);
    }
};

QTEST_MAIN(TestExchangeCli)
#include "tst_exchangecli.moc"


#include "platform/ListFile.h"
#include "platform/AppError.h"
#include "support/FailingWrite.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using testsupport::readBytes;
using testsupport::writeFile;

class TestListFile : public QObject
{
    Q_OBJECT
private slots:
    void read_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("entries");

        QTest::newRow("empty file") << QByteArray("") << QStringList();
        QTest::newRow("CR LF") << QByteArray("Kent\r\nAvon\r\n") << QStringList{"Kent", "Avon"};
        QTest::newRow("no final line end") << QByteArray("Kent\r\nAvon") << QStringList{"Kent", "Avon"};
        QTest::newRow("LF only") << QByteArray("Kent\nAvon\n") << QStringList{"Kent", "Avon"};
        QTest::newRow("CR only") << QByteArray("Kent\rAvon\r") << QStringList{"Kent", "Avon"};
        QTest::newRow("mixed") << QByteArray("a\nb\rc\r\nd") << QStringList{"a", "b", "c", "d"};
        QTest::newRow("LF then CR is two line ends") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
        QTest::newRow("one empty line") << QByteArray("\r\n") << QStringList{""};
        QTest::newRow("blank lines kept") << QByteArray("\r\na\r\n\r\nb\r\n\r\n") << QStringList{"", "a", "", "b", ""};
        QTest::newRow("no trimming") << QByteArray(" Kent \r\n\tAvon\r\n") << QStringList{" Kent ", "\tAvon"};
        QTest::newRow("order and repeats kept")
            << QByteArray("Kent\r\nAvon\r\nKent\r\n") << QStringList{"Kent", "Avon", "Kent"};
        QTest::newRow("Windows-1252") << QByteArray("Ni\xE8vre\r\n\x80 \x93q\x94\r\n")
                                      << QStringList{QStringLiteral("Nièvre"), QStringLiteral("€ “q”")};
        QTest::newRow("UTF-8") << QByteArray("Ni\xC3\xA8vre\r\n\xC5\x81\xC3\xB3\x64\xC5\xBA\r\n")
                               << QStringList{QStringLiteral("Nièvre"), QStringLiteral("Łódź")};
        QTest::newRow("UTF-8 mark dropped") << QByteArray("\xEF\xBB\xBFKent\r\n") << QStringList{"Kent"};
        QTest::newRow("not valid UTF-8 throughout")
            << QByteArray("\xC3\xA8\r\n\xE8\r\n") << QStringList{QStringLiteral("Ã¨"), QStringLiteral("è")};
    }
    void read()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, entries);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ListFile.txt"));
        writeFile(path, bytes);
        QCOMPARE(readListFile(path), entries);
    }

    void readFailure_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing") << QStringLiteral("ListFile.txt");
        QTest::newRow("a folder") << QStringLiteral("folder");
    }
    void readFailure()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        const QString path = dir.filePath(name);
        try {
            (void)readListFile(path);
            QFAIL("no error");
        } catch (const platform::AppError& error) {
            QCOMPARE(error.message(), QStringLiteral("Cannot open file ") + path);
        }
    }

    void write_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QByteArray>("bytes");

        QTest::newRow("empty list, empty file") << QStringList() << QByteArray("");
        QTest::newRow("one entry") << QStringList{"Kent"} << QByteArray("Kent\r\n");
        QTest::newRow("blank and repeated entries")
            << QStringList{"", "Avon", "Avon", " "} << QByteArray("\r\nAvon\r\nAvon\r\n \r\n");
        QTest::newRow("Windows-1252 when it fits")
            << QStringList{QStringLiteral("Nièvre"), QStringLiteral("€")} << QByteArray("Ni\xE8vre\r\n\x80\r\n");
        QTest::newRow("UTF-8 when it does not") << QStringList{QStringLiteral("Nièvre"), QStringLiteral("Łódź")}
                                                << QByteArray("Ni\xC3\xA8vre\r\n\xC5\x81\xC3\xB3\x64\xC5\xBA\r\n");
        // As Windows-1252 these would be the bytes C3 A9, which read back as UTF-8 "é".
        QTest::newRow("UTF-8 when Windows-1252 would read back otherwise")
            << QStringList{QStringLiteral("Ã©")} << QByteArray("\xC3\x83\xC2\xA9\r\n");
    }
    void write()
    {
        QFETCH(QStringList, entries);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ListFile.txt"));
        writeFile(path, "a longer former content that must not survive\r\n");
        writeListFile(path, entries);
        QCOMPARE(readBytes(path), bytes);
    }

    void roundTrip_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("empty") << QStringList();
        QTest::newRow("one empty entry") << QStringList{""};
        QTest::newRow("blanks kept") << QStringList{"", " Kent ", "", "\t"};
        QTest::newRow("Windows-1252") << QStringList{QStringLiteral("Côte-d'Or"), QStringLiteral("Šumava ‰")};
        QTest::newRow("beyond Windows-1252")
            << QStringList{QStringLiteral("Łódź"), QStringLiteral("Kent"), QStringLiteral("Αττική"),
                           QStringLiteral("東京都"), QStringLiteral("🏔 Alps")};
        QTest::newRow("looks like UTF-8") << QStringList{QStringLiteral("Ã©"), QStringLiteral("ï»¿Kent")};
        QTest::newRow("starts with a mark") << QStringList{QStringLiteral("\uFEFFKent")};
        QTest::newRow("undefined Windows-1252 bytes") << QStringList{QStringLiteral("a\u0081b\u009D")};
    }
    void roundTrip()
    {
        QFETCH(QStringList, entries);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ListFile.txt"));
        writeListFile(path, entries);
        QCOMPARE(readListFile(path), entries);
    }

    // An LF-only file written by hand comes back as CR LF after the editor saves it.
    void lineEndsBecomeCrLf()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ListFile.txt"));
        writeFile(path, "Kent\nAvon\n\nKent");
        writeListFile(path, readListFile(path));
        QCOMPARE(readBytes(path), QByteArray("Kent\r\nAvon\r\n\r\nKent\r\n"));
    }

    // A refused write is reported with the file's name and leaves the list that was there.
    void writeFailure_data() { testsupport::FailingWrite::addRows(); }
    void writeFailure()
    {
        QFETCH(testsupport::FailingWrite::Cause, cause);
        QTemporaryDir dir;
        testsupport::FailingWrite target(cause, dir.path(), QStringLiteral("ListFile.txt"), "Kent\r\n");
        if (!target.applies())
            QSKIP("permissions do not apply to root");
        const QString message = target.run([&] { writeListFile(target.path(), {QStringLiteral("Avon"), "Dorset"}); });
        QVERIFY2(testsupport::reportsFailure(message, QStringLiteral("Cannot create file %1").arg(target.path())),
                 qPrintable(message));
        QVERIFY(target.formerKept());
    }
};

QTEST_GUILESS_MAIN(TestListFile)
#include "tst_listfile.moc"


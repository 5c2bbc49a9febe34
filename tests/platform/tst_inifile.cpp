#include "platform/IniFile.h"
#include "platform/AppError.h"
#include "support/FailingWrite.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <unistd.h>

using testsupport::readBytes;
using testsupport::writeFile;

namespace {

// The text as a Windows editor's "Unicode" saves it: a byte-order mark, then UTF-16.
QByteArray utf16(const char16_t* text, bool littleEndian)
{
    QByteArray bytes = littleEndian ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
    for (const char16_t* c = text; *c; ++c) {
        const char high = char(*c >> 8);
        const char low = char(*c & 0xFF);
        bytes.append(littleEndian ? low : high).append(littleEndian ? high : low);
    }
    return bytes;
}

} // namespace

class TestIniFile : public QObject
{
    Q_OBJECT
private slots:
    void readInteger_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file at all
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("expected");

        const QString main = QStringLiteral("MainForm");
        const QString top = QStringLiteral("Top");
        QTest::newRow("no file") << QByteArray() << main << top << -1;
        QTest::newRow("empty file") << QByteArray("") << main << top << -1;
        QTest::newRow("plain") << QByteArray("[MainForm]\r\nTop=120\r\n") << main << top << 120;
        QTest::newRow("names ignore case") << QByteArray("[mainFORM]\r\ntOP=7\r\n") << main << top << 7;
        QTest::newRow("blanks around names and value")
            << QByteArray("  [ MainForm ]  \r\n\t Top \t= \t 42 \t\r\n") << main << top << 42;
        QTest::newRow("negative") << QByteArray("[MainForm]\r\nTop=-25\r\n") << main << top << -25;
        QTest::newRow("plus sign") << QByteArray("[MainForm]\r\nTop=+25\r\n") << main << top << 25;
        QTest::newRow("smallest int") << QByteArray("[MainForm]\r\nTop=-2147483648\r\n") << main << top << INT_MIN;
        QTest::newRow("beyond int") << QByteArray("[MainForm]\r\nTop=2147483648\r\n") << main << top << -1;
        QTest::newRow("trailing text") << QByteArray("[MainForm]\r\nTop=12px\r\n") << main << top << -1;
        QTest::newRow("words") << QByteArray("[MainForm]\r\nTop=wide\r\n") << main << top << -1;
        QTest::newRow("empty value") << QByteArray("[MainForm]\r\nTop=\r\n") << main << top << -1;
        QTest::newRow("sign alone") << QByteArray("[MainForm]\r\nTop=-\r\n") << main << top << -1;
        QTest::newRow("blank inside") << QByteArray("[MainForm]\r\nTop=1 2\r\n") << main << top << -1;
        QTest::newRow("decimal point") << QByteArray("[MainForm]\r\nTop=1.5\r\n") << main << top << -1;
        QTest::newRow("hex") << QByteArray("[MainForm]\r\nTop=0x10\r\n") << main << top << -1;
        QTest::newRow("quoted") << QByteArray("[MainForm]\r\nTop=\"5\"\r\n") << main << top << -1;
        QTest::newRow("no equals sign") << QByteArray("[MainForm]\r\nTop\r\n") << main << top << -1;
        QTest::newRow("commented out") << QByteArray("[MainForm]\r\n;Top=5\r\n") << main << top << -1;
        QTest::newRow("key of another section")
            << QByteArray("[FormView]\r\nTop=5\r\n[MainForm]\r\n") << main << top << -1;
        QTest::newRow("key before any section") << QByteArray("Top=5\r\n[MainForm]\r\n") << main << top << -1;
        QTest::newRow("first key of a name counts")
            << QByteArray("[MainForm]\r\nTop=1\r\nTop=2\r\n") << main << top << 1;
        QTest::newRow("first section of a name counts")
            << QByteArray("[MainForm]\r\nLeft=1\r\n[B]\r\n[MainForm]\r\nTop=2\r\n") << main << top << -1;
        QTest::newRow("LF line ends") << QByteArray("[A]\nx=1\n[MainForm]\nTop=3\n") << main << top << 3;
        QTest::newRow("CR line ends") << QByteArray("[A]\rx=1\r[MainForm]\rTop=4\r") << main << top << 4;
        QTest::newRow("no final line end") << QByteArray("[MainForm]\r\nTop=5") << main << top << 5;
        QTest::newRow("byte-order mark before first section")
            << QByteArray("\xEF\xBB\xBF[MainForm]\r\nTop=6\r\n") << main << top << 6;
        QTest::newRow("Windows-1252 section name") << QByteArray("[Gr\xF6\xDF"
                                                                 "e]\r\nTop=8\r\n")
                                                   << QStringLiteral("Größe") << top << 8;
        QTest::newRow("UTF-8 section name") << QByteArray("[Gr\xC3\xB6\xC3\x9F"
                                                          "e]\r\nTop=9\r\n")
                                            << QStringLiteral("Größe") << top << 9;
        QTest::newRow("UTF-16 LE with its mark") << utf16(u"[MainForm]\r\nTop=11\r\n", true) << main << top << 11;
        QTest::newRow("UTF-16 BE with its mark") << utf16(u"[MainForm]\r\nTop=12\r\n", false) << main << top << 12;
    }
    void readInteger()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(int, expected);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("TovrelIni.ini"));
        if (!content.isNull())
            writeFile(path, content);
        QCOMPARE(IniFile(path).readInteger(section, key, -1), expected);
    }

    void writeInteger_data()
    {
        QTest::addColumn<QByteArray>("before"); // null: no file yet
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("value");
        QTest::addColumn<QByteArray>("after");

        const QString a = QStringLiteral("A");
        const QString x = QStringLiteral("x");
        const QString z = QStringLiteral("z");
        QTest::newRow("first write creates the file")
            << QByteArray() << QStringLiteral("MainForm") << QStringLiteral("Top") << 10
            << QByteArray("[MainForm]\r\nTop=10\r\n");
        QTest::newRow("negative value") << QByteArray() << a << x << -40 << QByteArray("[A]\r\nx=-40\r\n");
        QTest::newRow("replaces only its line")
            << QByteArray("; layout\r\n[A]\r\nw=1\r\nx=2\r\ny=3\r\n\r\n[B]\r\nx=5\r\n") << a << x << 7
            << QByteArray("; layout\r\n[A]\r\nw=1\r\nx=7\r\ny=3\r\n\r\n[B]\r\nx=5\r\n");
        QTest::newRow("keeps the file's spelling, drops blanks")
            << QByteArray("[a]\r\n  X = 1  \r\n") << a << x << 2 << QByteArray("[a]\r\nX=2\r\n");
        QTest::newRow("new key after the section's last entry")
            << QByteArray("[A]\r\nx=1\r\n; about B\r\n\r\n[B]\r\ny=2\r\n") << a << z << 3
            << QByteArray("[A]\r\nx=1\r\nz=3\r\n; about B\r\n\r\n[B]\r\ny=2\r\n");
        QTest::newRow("new key in an empty last section")
            << QByteArray("[A]") << a << z << 3 << QByteArray("[A]\r\nz=3\r\n");
        QTest::newRow("new section at the end")
            << QByteArray("[B]\r\ny=1\r\n") << a << x << 4 << QByteArray("[B]\r\ny=1\r\n\r\n[A]\r\nx=4\r\n");
        QTest::newRow("new section after a last line without line end")
            << QByteArray("[B]\r\ny=1") << a << x << 4 << QByteArray("[B]\r\ny=1\r\n\r\n[A]\r\nx=4\r\n");
        QTest::newRow("new section after a blank last line")
            << QByteArray("[B]\r\ny=1\r\n  ") << a << x << 4 << QByteArray("[B]\r\ny=1\r\n  \r\n[A]\r\nx=4\r\n");
        QTest::newRow("LF file stays LF") << QByteArray("[A]\nx=1\n") << a << z << 2 << QByteArray("[A]\nx=1\nz=2\n");
        QTest::newRow("CR file stays CR")
            << QByteArray("[B]\ry=1\r") << a << x << 2 << QByteArray("[B]\ry=1\r\r[A]\rx=2\r");
        QTest::newRow("each line keeps its own line end")
            << QByteArray("[A]\nx=1\r\ny=2\r") << a << x << 5 << QByteArray("[A]\nx=5\r\ny=2\r");
        QTest::newRow("first of two like-named sections") << QByteArray("[A]\r\nw=1\r\n[a]\r\nz=1\r\n") << a << z << 5
                                                          << QByteArray("[A]\r\nw=1\r\nz=5\r\n[a]\r\nz=1\r\n");
        QTest::newRow("Windows-1252 file keeps its bytes") << QByteArray("; Gr\xF6\xDF"
                                                                         "e \x80\r\n[A]\r\nx=1\r\n")
                                                           << a << x << 2
                                                           << QByteArray("; Gr\xF6\xDF"
                                                                         "e \x80\r\n[A]\r\nx=2\r\n");
        QTest::newRow("UTF-8 file keeps its bytes and mark") << QByteArray("\xEF\xBB\xBF; Gr\xC3\xB6\xC3\x9F"
                                                                           "e\r\n[A]\r\nx=1\r\n")
                                                             << a << x << 2
                                                             << QByteArray("\xEF\xBB\xBF; Gr\xC3\xB6\xC3\x9F"
                                                                           "e\r\n[A]\r\nx=2\r\n");
        QTest::newRow("UTF-16 file stays UTF-16") << utf16(u"; Größe\r\n[A]\r\nx=1\r\n", true) << a << z << 2
                                                  << utf16(u"; Größe\r\n[A]\r\nx=1\r\nz=2\r\n", true);
    }
    void writeInteger()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(int, value);
        QFETCH(QByteArray, after);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("TovrelIni.ini"));
        if (!before.isNull())
            writeFile(path, before);
        IniFile ini(path);
        ini.writeInteger(section, key, value);
        QCOMPARE(readBytes(path), after);
        QCOMPARE(ini.readInteger(section, key, INT_MIN), value);
    }

    // Text values beside the numbers of a layout: one line each, other lines untouched, the file's encoding kept.
    void writeString()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("TovrelIni.ini"));
        writeFile(path, "[HomeGrid]\r\nLeft=10\r\n");
        IniFile ini(path);
        ini.writeString(QStringLiteral("SharedAddressBook"), QStringLiteral("Url"), QStringLiteral("https://h/a=b/"));
        ini.writeString(QStringLiteral("SharedAddressBook"), QStringLiteral("User"), QStringLiteral(" Zoë x "));
        // A line break would start an entry of its own: refused, the file as it was.
        QVERIFY_THROWS_EXCEPTION(platform::AppError, ini.writeString(QStringLiteral("SharedAddressBook"),
                                                                     QStringLiteral("User"), QStringLiteral("a\nb")));
        QCOMPARE(readBytes(path), QByteArray("[HomeGrid]\r\nLeft=10\r\n\r\n[SharedAddressBook]\r\nUrl=https://h/a=b/\r\n"
                                             "User=Zo\xeb x\r\n"));
        QCOMPARE(ini.readString(QStringLiteral("SharedAddressBook"), QStringLiteral("Url")), QStringLiteral("https://h/a=b/"));
        QCOMPARE(ini.readString(QStringLiteral("SharedAddressBook"), QStringLiteral("User")), QStringLiteral("Zoë x"));
        QCOMPARE(ini.readString(QStringLiteral("SharedAddressBook"), QStringLiteral("None"), QStringLiteral("d")),
                 QStringLiteral("d"));
        QCOMPARE(ini.readInteger(QStringLiteral("HomeGrid"), QStringLiteral("Left"), 0), 10);
    }

    // Each window opens its own access: what one writes, the next read through another sees, also when the file
    // changes behind their backs.
    void nothingIsCached()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("TovrelIni.ini"));
        IniFile formView(path);
        IniFile recordCard(path);
        QCOMPARE(recordCard.readInteger(QStringLiteral("FormView"), QStringLiteral("Status"), 0), 0);
        formView.writeInteger(QStringLiteral("FormView"), QStringLiteral("Status"), 3);
        QCOMPARE(recordCard.readInteger(QStringLiteral("FormView"), QStringLiteral("Status"), 0), 3);
        recordCard.writeInteger(QStringLiteral("formview"), QStringLiteral("STATUS"), 1);
        QCOMPARE(formView.readInteger(QStringLiteral("FormView"), QStringLiteral("Status"), 0), 1);
        writeFile(path, "[FormView]\r\nStatus=2\r\n");
        QCOMPARE(formView.readInteger(QStringLiteral("FormView"), QStringLiteral("Status"), 0), 2);
        QVERIFY(QFile::remove(path));
        QCOMPARE(formView.readInteger(QStringLiteral("FormView"), QStringLiteral("Status"), 0), 0);
    }

    // A refused write is reported with the file's name and leaves the settings that were there.
    void writeFailure_data() { testsupport::FailingWrite::addRows(); }
    void writeFailure()
    {
        QFETCH(testsupport::FailingWrite::Cause, cause);
        QTemporaryDir dir;
        testsupport::FailingWrite target(cause, dir.path(), QStringLiteral("TovrelIni.ini"), "[MainForm]\r\nTop=1\r\n");
        if (!target.applies())
            QSKIP("permissions do not apply to root");
        const QString message = target.run([&] {
            IniFile(target.path()).writeString(QStringLiteral("MainForm"), QStringLiteral("Caption"), QString(100, 'x'));
        });
        QVERIFY2(testsupport::reportsFailure(message, QStringLiteral("Unable to write to %1").arg(target.path())),
                 qPrintable(message));
        QVERIFY(target.formerKept());
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"


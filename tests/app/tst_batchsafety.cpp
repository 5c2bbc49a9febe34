// The commands without a window at the edges: where a typo or an odd target would cost the address book.
#include "backup/BackupRestore.h"
#include "platform/AppError.h"
#include "platform/IniFile.h"
#include "platform/ProgramFolder.h"
#include "richtext/RichText.h"
#include "support/Program.h"
#include "support/TestDb.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using testsupport::readBytes;
using testsupport::writeFile;

using testsupport::Run;
using testsupport::tovrel;

namespace {

mode_t typeOf(const QString& path)
{
    struct stat st = {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

mode_t modeOf(const QString& path)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// A database of many pages with one of its middle pages overwritten: the file opens, its check fails.
void damage(const QString& path)
{
    QList<testsupport::Contact> contacts;
    for (int i = 0; i < 300; ++i)
        contacts << testsupport::Contact{{QStringLiteral("Surname"), QStringLiteral("Surname%1").arg(i)},
                                         {QStringLiteral("Notes"), QString(200, QLatin1Char('a' + i % 26))}};
    testsupport::makeDatabase(path, contacts);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const qint64 pageSize = 4096;
    QVERIFY(file.size() > 10 * pageSize);
    QVERIFY(file.seek((file.size() / pageSize / 2) * pageSize));
    QVERIFY(file.write(QByteArray(pageSize, '\xA5')) == pageSize);
}

const QByteArray OldBytes = "the file that was here\n";

} // namespace

class TestBatchSafety : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString folder() const { return m_dir.filePath(QStringLiteral("book")); }
    QString inBook(const char* name) const { return folder() + QLatin1Char('/') + QLatin1String(name); }
    QString elsewhere(const QString& name) const { return m_dir.filePath(QStringLiteral("other/") + name); }

private slots:
    void init()
    {
        QDir(m_dir.path()).removeRecursively();
        QVERIFY(QDir().mkpath(folder()));
        QVERIFY(QDir().mkpath(elsewhere({})));
        QList<testsupport::Contact> contacts = testsupport::sampleContacts();
        contacts[0].insert(QStringLiteral("Birthday"), QStringLiteral("1970-05-04")); // something for a calendar
        testsupport::makeDatabase(inBook("Tovrel.mdb"), contacts);
        testsupport::makeCountyList(folder(), {QStringLiteral("Kent")});
        writeFile(inBook("TovrelIni.ini"), "[MainForm]\r\nTop=10\r\n");
    }
    void cleanup()
    {
        const QString readOnly = elsewhere(QStringLiteral("read-only"));
        if (QFileInfo::exists(readOnly))
            QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // A document the user names never takes the place of the program's own files or of any address book, wherever
    // its name leads; a target that is no regular file is written to as it is, or refused, and stays what it was.
    // Every writer of documents: the report, the export, the calendar, and the letter editor's Save.
    void targetsOfReportsAndExports_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QString own = QStringLiteral("nothing was changed");
        for (const char* command : {"report", "export", "calendar", "editor"}) {
            const bool editor = qstrcmp(command, "editor") == 0;
            const auto row = [&](const char* name, const char* target, int status, QString message) {
                // The editor keeps its own words for a target it cannot use.
                if (editor && status != 0 && message != own)
                    message = qstrcmp(target, "device") == 0 ? QStringLiteral("Failed to Save Stream")
                                                             : QStringLiteral("Cannot create file");
                QTest::addRow("%s: %s", command, name)
                    << QString::fromLatin1(command) << QString::fromLatin1(target) << status << message;
            };
            row("the database", "database", 1, own);
            row("the backup", "backup", 1, own);
            row("the backup, not made yet", "backup not made", 1, own);
            row("the settings", "settings", 1, own);
            row("the county list", "county list", 1, own);
            row("a link to the database", "link to database", 1, own);
            row("a hard link to the database", "hard link to database", 1, own);
            row("another folder's address book", "foreign book", 1, own);
            row("a hard link to another folder's address book", "hard link to foreign book", 1, own);
            row("a link to a regular file", "link to file", 0, QString());
            row("a pipe nobody reads", "fifo", 1, QStringLiteral("no program is reading from it"));
            row("a pipe a program reads", "fifo read", 0, QString());
            row("a device that is full", "device", 1, QStringLiteral("Cannot write the file"));
            row("a folder", "folder", 1, QStringLiteral("it is a folder"));
            row("a read-only folder", "read-only folder", 1, QStringLiteral("Cannot write the file"));
        }
    }
    void targetsOfReportsAndExports()
    {
        QFETCH(QString, command);
        QFETCH(QString, target);
        QFETCH(int, status);
        QFETCH(QString, message);

        QString path;
        QString written; // where the document must arrive
        int fifo = -1;
        QByteArray fromPipe;
        if (target == QLatin1String("database")) {
            path = inBook("Tovrel.mdb");
        } else if (target == QLatin1String("backup")) {
            path = writeFile(inBook("Tovrel.bak"), readBytes(inBook("Tovrel.mdb")));
        } else if (target == QLatin1String("backup not made")) {
            path = inBook("Tovrel.bak");
        } else if (target == QLatin1String("settings")) {
            path = inBook("TovrelIni.ini");
        } else if (target == QLatin1String("county list")) {
            path = inBook("ListFile.txt");
        } else if (target == QLatin1String("link to database")) {
            path = elsewhere(QStringLiteral("phones.vcf"));
            QVERIFY(QFile::link(QStringLiteral("../book/Tovrel.mdb"), path));
        } else if (target == QLatin1String("hard link to database")) {
            path = elsewhere(QStringLiteral("phones.vcf"));
            QCOMPARE(::link(QFile::encodeName(inBook("Tovrel.mdb")).constData(), QFile::encodeName(path).constData()),
                     0);
        } else if (target == QLatin1String("foreign book") || target == QLatin1String("hard link to foreign book")) {
            path = elsewhere(QStringLiteral("Tovrel.mdb"));
            testsupport::makeDatabase(path, {testsupport::contact({{"Surname", "Elsewhere"}})});
            if (target == QLatin1String("hard link to foreign book")) {
                const QString link = elsewhere(QStringLiteral("letter.pdf"));
                QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(link).constData()), 0);
                path = link;
            }
        } else if (target == QLatin1String("link to file")) {
            written = writeFile(elsewhere(QStringLiteral("kept.vcf")), OldBytes);
            path = m_dir.filePath(QStringLiteral("link.vcf"));
            QVERIFY(QFile::link(written, path));
        } else if (target == QLatin1String("fifo") || target == QLatin1String("fifo read")) {
            path = elsewhere(QStringLiteral("pipe.vcf"));
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            if (target == QLatin1String("fifo read")) {
                fifo = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
                QVERIFY(fifo >= 0);
            }
        } else if (target == QLatin1String("device")) {
            // A node of the full device in a folder of the test's own, so that nothing outside it is at stake; a
            // link to the real one where the system refuses to make one (only root may).
            path = elsewhere(QStringLiteral("full.vcf"));
            if (::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666, makedev(1, 7)) != 0)
                QVERIFY(QFile::link(QStringLiteral("/dev/full"), path));
        } else if (target == QLatin1String("folder")) {
            path = elsewhere(QStringLiteral("folder.vcf"));
            QVERIFY(QDir().mkpath(path));
        } else if (target == QLatin1String("read-only folder")) {
            if (::geteuid() == 0)
                QSKIP("root writes into a read-only folder");
            const QString readOnly = elsewhere(QStringLiteral("read-only"));
            QVERIFY(QDir().mkpath(readOnly));
            path = writeFile(readOnly + QStringLiteral("/kept.vcf"), OldBytes);
            QVERIFY(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner));
        }
        const bool export_ = command == QLatin1String("export");
        const bool calendar = command == QLatin1String("calendar");
        const QString suffix = export_ ? QStringLiteral(".vcf") : QStringLiteral(".ics");
        if ((export_ || calendar) && !path.endsWith(suffix)) {
            // An export takes its format from the name; a link so named is how it reaches the others.
            const QString link = elsewhere(QStringLiteral("named") + suffix);
            QVERIFY(QFile::link(path, link));
            path = link;
        }

        QStringList owned{inBook("Tovrel.mdb"), inBook("Tovrel.bak"), inBook("TovrelIni.ini"), inBook("ListFile.txt")};
        if (target.endsWith(QLatin1String("foreign book")))
            owned << elsewhere(QStringLiteral("Tovrel.mdb"));
        QList<QByteArray> before;
        for (const QString& file : owned)
            before << readBytes(file);
        const mode_t typeBefore = typeOf(path);
        const QByteArray targetBefore = typeBefore == S_IFREG ? readBytes(path) : QByteArray();

        const auto readPipe = [&] {
            if (fifo < 0)
                return;
            char buffer[65536];
            qint64 n = 0;
            while ((n = ::read(fifo, buffer, sizeof buffer)) > 0)
                fromPipe.append(buffer, n);
        };
        Run r;
        if (command == QLatin1String("editor")) {
            // In this process, as the editor's Save runs it; a letter far smaller than a pipe's buffer.
            platform::setProgramFolder(folder());
            QTextDocument letter;
            letter.setPlainText(QStringLiteral("Dear Alice"));
            try {
                richtext::saveFile(path, letter);
                r.status = 0;
            } catch (const platform::AppError& e) {
                r.status = 1;
                r.err = e.message();
            }
            readPipe();
        } else {
            const QStringList arguments = export_ || calendar
                                              ? QStringList{"--export", path}
                                              : QStringList{"--report", "phone-list", "--pdf", path};
            r = tovrel(arguments + QStringList{"--folder", folder()}, readPipe);
        }
        if (fifo >= 0)
            ::close(fifo);

        QVERIFY2(r.status == status, qPrintable(r.err));
        if (status == 0)
            QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        else
            QVERIFY2(r.err.contains(message) && (r.err.contains(path) || message.startsWith(QLatin1String("Failed"))),
                     qPrintable(r.err));
        for (qsizetype i = 0; i < owned.size(); ++i)
            QVERIFY2(readBytes(owned[i]) == before[i], qPrintable(owned[i]));
        QVERIFY(!QFileInfo::exists(inBook("Tovrel.bak")) || target.startsWith(QLatin1String("backup")));
        QCOMPARE(typeOf(path), typeBefore);
        if (status != 0 && typeBefore == S_IFREG)
            QCOMPARE(readBytes(path), targetBefore);
        const QByteArray magic = export_    ? QByteArray("BEGIN:VCARD")
                                 : calendar ? QByteArray("BEGIN:VCALENDAR")
                                 : command == QLatin1String("editor") ? QByteArray("{\\rtf")
                                                                      : QByteArray("%PDF");
        if (target == QLatin1String("link to file"))
            QVERIFY(readBytes(written).startsWith(magic));
        if (target == QLatin1String("fifo read"))
            QVERIFY(fromPipe.startsWith(magic));
    }

    // An empty selection exports nothing, as a report prints nothing: a file that was there stays as it was.
    void anEmptyExportKeepsTheFile()
    {
        const QString file = writeFile(elsewhere(QStringLiteral("kent.csv")), OldBytes);
        const QString fresh = elsewhere(QStringLiteral("new.vcf"));
        for (const QString& target : {file, fresh}) {
            const Run r =
                tovrel({"--export", target, "--search", "Surname", "nobody has this name", "--folder", folder()});
            QCOMPARE(r.status, 1);
            QVERIFY2(r.err.contains(QStringLiteral("the selection is empty")), qPrintable(r.err));
            QVERIFY(r.out.isEmpty());
        }
        QCOMPARE(readBytes(file), OldBytes);
        QVERIFY(!QFileInfo::exists(fresh));
    }

    // A damaged book is refused by every command, with what is damaged, and left as it was: no empty cards exported,
    // no report printed, no contacts added to it, nothing sent.
    void aDamagedBookIsRefusedByEveryCommand_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("consequence");
        QTest::newRow("import") << QStringList{"--import", "@/one.vcf"} << u"nothing was imported"_qs;
        QTest::newRow("export") << QStringList{"--export", "@/all.vcf"} << u"nothing was exported"_qs;
        QTest::newRow("calendar") << QStringList{"--export", "@/all.ics"} << u"nothing was exported"_qs;
        QTest::newRow("report") << QStringList{"--report", "phone-list", "--pdf", "@/phones.pdf"}
                                << u"no report was written"_qs;
        QTest::newRow("duplicates") << QStringList{"--duplicates"} << u"no duplicates were looked for"_qs;
        QTest::newRow("sync") << QStringList{"--sync", "http://127.0.0.1:9/book/", "--user", "ann", "--password-file",
                                             "@/password", "--allow-http"}
                              << u"nothing was synchronised"_qs;
    }
    void aDamagedBookIsRefusedByEveryCommand()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, consequence);
        damage(inBook("Tovrel.mdb"));
        const QByteArray damaged = readBytes(inBook("Tovrel.mdb"));
        writeFile(elsewhere(QStringLiteral("one.vcf")),
                  "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Able;Ann;;;\r\nFN:Ann Able\r\nEND:VCARD\r\n");
        writeFile(elsewhere(QStringLiteral("password")), "secret\n");
        for (QString& a : arguments)
            a.replace(QLatin1Char('@'), elsewhere({}));
        const Run r = tovrel(arguments + QStringList{"--folder", folder()});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("is damaged: ")) && r.err.contains(consequence) &&
                     r.err.contains(inBook("Tovrel.mdb")),
                 qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QCOMPARE(readBytes(inBook("Tovrel.mdb")), damaged);
        QCOMPARE(QDir(elsewhere({})).entryList(QDir::Files).size(), 2); // only what the test put there
    }

    // The book imported into itself, under another name of the same file, would double every contact.
    void importingTheBookIntoItselfIsRefused_data()
    {
        QTest::addColumn<bool>("hardLink");
        QTest::newRow("hard link") << true;
        QTest::newRow("symbolic link") << false;
    }
    void importingTheBookIntoItselfIsRefused()
    {
        QFETCH(bool, hardLink);
        const QString book = inBook("Tovrel.mdb");
        const QString other = elsewhere(QStringLiteral("copy.mdb"));
        const QByteArray target = QFile::encodeName(book);
        QCOMPARE(hardLink ? ::link(target.constData(), QFile::encodeName(other).constData())
                          : ::symlink(target.constData(), QFile::encodeName(other).constData()),
                 0);
        const QByteArray before = readBytes(book);
        const Run r = tovrel({"--import", other, "--folder", folder()});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("is the address book itself; nothing was imported")), qPrintable(r.err));
        QCOMPARE(readBytes(book), before);
    }

    // One exit status for a malformed command line, whichever command it is.
    void aMalformedCommandLineIsStatusTwo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("window") << QStringList{"--bogus"};
        QTest::newRow("init-database") << QStringList{"--init-database", "--bogus"};
        QTest::newRow("report") << QStringList{"--report", "phone-list", "--pdf", "@/x.pdf", "--bogus"};
        QTest::newRow("report's own option without its value")
            << QStringList{"--report", "labels", "--pdf", "@/x.pdf", "--stock"};
        QTest::newRow("letters' option given twice")
            << QStringList{"--report", "letters", "--pdf", "@/x.pdf", "--letter", "a.rtf", "--letter", "b.rtf"};
        QTest::newRow("export") << QStringList{"--export", "@/x.vcf", "--bogus"};
        QTest::newRow("import") << QStringList{"--import", "@/x.vcf", "--bogus"};
        QTest::newRow("sync") << QStringList{"--sync", "--bogus"};
    }
    void aMalformedCommandLineIsStatusTwo()
    {
        QFETCH(QStringList, arguments);
        for (QString& a : arguments)
            a.replace(QLatin1Char('@'), m_dir.path());
        const Run r = tovrel(arguments + QStringList{"--folder", folder()});
        QCOMPARE(r.status, 2);
        QVERIFY(!r.err.isEmpty());
        QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("x.pdf"))));
    }

    // Other people's addresses are the user's alone, whatever the umask; the documents asked for follow it.
    void filesInTheProgramFolderArePrivate()
    {
        const mode_t formerMask = ::umask(022);
        const auto restoreMask = qScopeGuard([formerMask] { ::umask(formerMask); });
        const QString fresh = m_dir.filePath(QStringLiteral("fresh"));
        const Run made = tovrel({"--init-database", "--folder", fresh});
        QCOMPARE(made.status, 0);
        QCOMPARE(modeOf(fresh), mode_t(0700));
        QCOMPARE(modeOf(fresh + QStringLiteral("/Tovrel.mdb")), mode_t(0600));
        QCOMPARE(modeOf(fresh + QStringLiteral("/ListFile.txt")), mode_t(0600));

        IniFile settings(fresh + QStringLiteral("/TovrelIni.ini"));
        settings.writeInteger(QStringLiteral("MainForm"), QStringLiteral("Top"), 5);
        QCOMPARE(modeOf(fresh + QStringLiteral("/TovrelIni.ini")), mode_t(0600));

        // The backup is the database again, and as private; one made earlier under the umask gets that mode too.
        QVERIFY(QFile::setPermissions(inBook("Tovrel.mdb"), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        writeFile(inBook("Tovrel.bak"), OldBytes);
        QCOMPARE(modeOf(inBook("Tovrel.bak")), mode_t(0644));
        backup::backUpDatabase(inBook("Tovrel.mdb"), inBook("Tovrel.bak"));
        QCOMPARE(modeOf(inBook("Tovrel.bak")), mode_t(0640));

        const QString pdf = elsewhere(QStringLiteral("phones.pdf"));
        const QString cards = elsewhere(QStringLiteral("all.vcf"));
        QCOMPARE(tovrel({"--report", "phone-list", "--pdf", pdf, "--folder", folder()}).status, 0);
        QCOMPARE(tovrel({"--export", cards, "--folder", folder()}).status, 0);
        QCOMPARE(modeOf(pdf), mode_t(0644));
        QCOMPARE(modeOf(cards), mode_t(0644));
    }
};

QTEST_GUILESS_MAIN(TestBatchSafety)
#include "tst_batchsafety.moc"

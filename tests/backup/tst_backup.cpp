#include "backup/BackupRestore.h"
#include "data/ContactStore.h"
#include "platform/Commands.h"
#include "platform/Fakes.h"
#include "platform/ProgramFolder.h"
#include "support/TestDb.h"
#include "support/TestFiles.h"
#include "support/FailingWrite.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sqlite3.h>
#include <unistd.h>

using testsupport::readBytes;
using testsupport::writeFile;

namespace {

platform::Command commandNamed(const QString& name)
{
    for (const platform::Command command : platform::allCommands)
        if (platform::commandName(command) == name)
            return command;
    qFatal("no command %s", qPrintable(name));
}

void exec(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
    QCOMPARE(rc, SQLITE_OK);
}

int contactCount(const QString& path)
{
    return testsupport::query(path, QStringLiteral("SELECT count(*) FROM HomeAd")).value(0).toInt();
}

// Enough contacts for a database of many pages, so that half of one is a damaged file.
QList<testsupport::Contact> manyContacts(int count)
{
    QList<testsupport::Contact> contacts;
    for (int i = 0; i < count; ++i)
        contacts << testsupport::Contact{{QStringLiteral("Surname"), QStringLiteral("Surname%1").arg(i)},
                                         {QStringLiteral("Notes"), QString(200, QLatin1Char('a' + i % 26))}};
    return contacts;
}

// A program folder with a database of the sample contacts, the contact list open, and the commands registered.
struct Program
{
    Program()
    {
        testsupport::makeDatabase(database, testsupport::sampleContacts());
        platform::setProgramFolder(dir.path());
        fakes = platform::installFakes();
        // Whether the list was open again by the time an error was shown.
        fakes.prompts->onAsk = [this](const platform::PromptRecord& r) {
            if (r.icon == platform::Icon::Error)
                openAtError << (query().isOpen() && query().sql() == sqlAtStart);
        };
        store = testsupport::contactStore();
        backup::registerBackupCommands(commands, *store, [this](const QString& message, bool restored) {
            done << std::pair(message, restored);
        });
    }

    data::Dataset& query() { return store->HomeQuery; }
    QList<std::pair<QString, bool>> done; // what the commands said they did, and whether it was a restore

    // A filtered, sorted selection, so that the reopening is seen to keep the text and drop the sort.
    void narrow()
    {
        query().close();
        query().setSql({QStringLiteral("SELECT * FROM HomeAd WHERE County LIKE 'kent'")});
        sqlAtStart = query().sql();
        query().open();
        query().setSort(QStringLiteral("Firstname DESC"));
    }

    QStringList errors() const
    {
        QStringList texts;
        for (const auto& r : fakes.prompts->asked)
            if (r.icon == platform::Icon::Error)
                texts << r.text;
        return texts;
    }

    // The selection as the user sees it after a command: open again, same text, first row current, no sort.
    void verifyReopened(int rows)
    {
        QVERIFY(query().isOpen());
        QCOMPARE(query().sql(), sqlAtStart);
        QCOMPARE(query().recordCount(), rows);
        QCOMPARE(query().currentRow(), rows ? 0 : -1);
        QVERIFY(query().sort().isEmpty());
    }

    QTemporaryDir dir;
    QString database = dir.filePath(QStringLiteral("Tovrel.mdb"));
    QString backup = dir.filePath(QStringLiteral("Tovrel.bak"));
    QStringList sqlAtStart = data::startSql();
    QList<bool> openAtError;
    platform::Fakes fakes{};
    std::unique_ptr<data::ContactStore> store;
    platform::Commands commands;
};

void addContact(Program& p, const QString& surname)
{
    p.query().append();
    p.query().setFieldValue(QStringLiteral("Surname"), surname);
    p.query().setFieldValue(QStringLiteral("County"), QStringLiteral("Kent"));
    p.query().post();
}

// Another program's hold on the database: a connection of this process (the engine keeps its locks between
// connections of one process apart as between processes) or a sqlite3 shell of its own.
class LockHolder
{
public:
    bool take(const QString& path, bool write, bool otherProcess)
    {
        const char* sql = write ? "BEGIN IMMEDIATE;" : "BEGIN; SELECT count(*) FROM HomeAd;";
        if (!otherProcess) {
            if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr))
                return false;
            return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
        }
        m_shell.start(QStringLiteral("sqlite3"), {path});
        if (!m_shell.waitForStarted())
            return false;
        m_shell.write(QByteArray(sql) + "\nSELECT 'held';\n");
        for (;;) {
            while (!m_shell.canReadLine())
                if (!m_shell.waitForReadyRead(10000))
                    return false;
            if (m_shell.readLine().trimmed() == "held")
                return true;
        }
    }
    ~LockHolder()
    {
        if (m_db)
            sqlite3_close(m_db);
        if (m_shell.state() != QProcess::NotRunning) {
            m_shell.closeWriteChannel();
            m_shell.waitForFinished();
        }
    }

private:
    sqlite3* m_db = nullptr;
    QProcess m_shell;
};

const QString BackupQuestion =
    QStringLiteral("This will copy your database file (Tovrel.mdb) to a backup file Tovrel.bak");
const QString RestoreQuestion = QStringLiteral("Restore the backup of ");

} // namespace

class TestBackup : public QObject
{
    Q_OBJECT
private slots:
    void answerOtherThanOkChangesNothing_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("question");
        QTest::newRow("backup") << QStringLiteral("backup") << BackupQuestion;
        QTest::newRow("restore") << QStringLiteral("restore") << RestoreQuestion;
    }
    void answerOtherThanOkChangesNothing()
    {
        QFETCH(QString, command);
        QFETCH(QString, question);
        Program p;
        writeFile(p.backup, readBytes(p.database));
        const int backupCount = p.query().recordCount();
        addContact(p, QStringLiteral("Newer"));
        const QByteArray database = readBytes(p.database);
        const QByteArray backup = readBytes(p.backup);
        p.narrow();
        p.query().moveTo(1);
        int reopened = 0;
        connect(&p.query(), &data::Dataset::opened, this, [&] { ++reopened; });
        p.fakes.prompts->answers << platform::Answer::Cancel;

        QVERIFY(p.commands.run(commandNamed(command)));

        QCOMPARE(p.fakes.prompts->asked.size(), 1);
        const platform::PromptRecord& asked = p.fakes.prompts->asked.constFirst();
        if (command == QLatin1String("backup")) {
            QCOMPARE(asked.caption, QStringLiteral("Information"));
            QCOMPARE(asked.text, question);
            QCOMPARE(asked.icon, platform::Icon::Information);
            QCOMPARE(asked.buttons, platform::Buttons::OkCancel);
        } else {
            // A question naming the backup and how many contacts come back, and how many go; Cancel the default.
            QCOMPARE(asked.caption, QStringLiteral("Restore"));
            QVERIFY2(asked.text.startsWith(question), qPrintable(asked.text));
            QVERIFY2(asked.text.contains(QStringLiteral("holding %1 contacts?").arg(backupCount)), qPrintable(asked.text));
            QVERIFY2(asked.text.contains(QStringLiteral("The %1 contacts in your address book now").arg(backupCount + 1)),
                     qPrintable(asked.text));
            QCOMPARE(asked.icon, platform::Icon::Question);
            QCOMPARE(asked.buttons, platform::Buttons::OkCancelDefaultCancel);
        }
        QCOMPARE(reopened, 0);
        QVERIFY(p.done.isEmpty());
        QCOMPARE(p.query().currentRow(), 1);
        QCOMPARE(p.query().sort(), QStringLiteral("Firstname DESC"));
        QCOMPARE(readBytes(p.database), database);
        QCOMPARE(readBytes(p.backup), backup);
    }

    // A database of whole 8192-byte pages: the copy ends on a read of nothing, and nothing is left off.
    void backupCopiesTheWholeFile_data()
    {
        QTest::addColumn<bool>("intoFolder");
        QTest::newRow("Tovrel.bak file") << false;
        QTest::newRow("Tovrel.bak folder") << true;
    }
    void backupCopiesTheWholeFile()
    {
        QFETCH(bool, intoFolder);
        Program p;
        p.query().close();
        p.store->connection.close();
        exec(p.database, "PRAGMA page_size=8192; VACUUM;");
        for (int i = 0; i < 40; ++i)
            exec(p.database, "INSERT INTO HomeAd (Surname, Notes) VALUES ('Filler', hex(randomblob(300)))");
        const QByteArray database = readBytes(p.database);
        QVERIFY(database.size() > 2 * 8192);
        QCOMPARE(database.size() % 8192, 0);
        if (intoFolder)
            QVERIFY(QDir(p.dir.path()).mkdir(QStringLiteral("Tovrel.bak")));
        p.narrow();

        QVERIFY(p.commands.run(platform::Command::Backup));

        QCOMPARE(p.errors(), QStringList());
        const QString copy = intoFolder ? p.dir.filePath(QStringLiteral("Tovrel.bak/Tovrel.mdb")) : p.backup;
        QCOMPARE(readBytes(copy), database);
        p.verifyReopened(2);
    }

    // Backup twice with changes between: the backup holds the second; restore then brings it back under the same
    // selection, and the changes made since are gone. Where Tovrel.bak is a folder, Restore reads the copy Backup
    // put in it.
    void restoreBringsBackTheLastBackup_data()
    {
        QTest::addColumn<bool>("intoFolder");
        QTest::newRow("Tovrel.bak file") << false;
        QTest::newRow("Tovrel.bak folder") << true;
    }
    void restoreBringsBackTheLastBackup()
    {
        QFETCH(bool, intoFolder);
        Program p;
        if (intoFolder)
            QVERIFY(QDir(p.dir.path()).mkdir(QStringLiteral("Tovrel.bak")));
        const QString copy = intoFolder ? p.dir.filePath(QStringLiteral("Tovrel.bak/Tovrel.mdb")) : p.backup;
        p.narrow();
        QVERIFY(p.commands.run(platform::Command::Backup));
        addContact(p, QStringLiteral("Second"));
        QVERIFY(p.commands.run(platform::Command::Backup));
        QCOMPARE(contactCount(copy), 7);
        addContact(p, QStringLiteral("Gone"));
        QCOMPARE(contactCount(p.database), 8);

        p.fakes.prompts->answers << platform::Answer::Ok; // Restore asks with Cancel the default
        QVERIFY(p.commands.run(platform::Command::Restore));

        QCOMPARE(p.errors(), QStringList());
        QCOMPARE(readBytes(p.database), readBytes(copy));
        QCOMPARE(contactCount(p.database), 7);
        p.verifyReopened(3);
        // Each says what it did, with the file and the time, for the status bar.
        QCOMPARE(p.done.size(), 3);
        const QString file = QDir::toNativeSeparators(copy);
        QVERIFY2(p.done[1].first.startsWith(QStringLiteral("Backed up 7 contacts to %1 at ").arg(file)),
                 qPrintable(p.done[1].first));
        QVERIFY2(p.done[2].first.startsWith(QStringLiteral("Restored 7 contacts from the backup of ")) &&
                     p.done[2].first.contains(file),
                 qPrintable(p.done[2].first));
        QCOMPARE(p.done[1].second, false);
        QCOMPARE(p.done[2].second, true);
        QStringList surnames;
        for (int row = 0; row < p.query().recordCount(); ++row)
            surnames << p.query().text(row, QStringLiteral("Surname"));
        surnames.sort();
        QCOMPARE(surnames, QStringList({"Second", "ZOË", "Łukasz"}));
    }

    // A backup carried over to a folder that has no database yet becomes the database.
    void restoreWhereThereIsNoDatabase()
    {
        Program p;
        QVERIFY(p.commands.run(platform::Command::Backup));
        QVERIFY(QFile::remove(p.database));

        p.fakes.prompts->answers << platform::Answer::Ok; // Restore asks with Cancel the default
        QVERIFY(p.commands.run(platform::Command::Restore));

        QCOMPARE(p.errors(), QStringList());
        QCOMPARE(readBytes(p.database), readBytes(p.backup));
        p.verifyReopened(6);
    }

    // A backup that is missing, or that would not give a working database, never replaces the one in use.
    void restoreKeepsTheDatabaseForABadBackup_data()
    {
        QTest::addColumn<QString>("backup"); // how the backup file is made
        QTest::addColumn<QString>("error");  // what the message must say
        QTest::newRow("no backup yet") << "missing"
                                       << "There is no backup to restore: %1 does not exist.";
        QTest::newRow("empty file") << "empty"
                                    << "has no table HomeAd";
        QTest::newRow("not a database") << "text"
                                        << "file is not a database";
        QTest::newRow("half a database") << "truncated"
                                         << "malformed";
        QTest::newRow("a field missing") << "no Email"
                                         << "has no field Email";
    }
    void restoreKeepsTheDatabaseForABadBackup()
    {
        QFETCH(QString, backup);
        QFETCH(QString, error);
        Program p;
        const QString made = p.dir.filePath(QStringLiteral("made.db"));
        if (backup == QLatin1String("empty")) {
            writeFile(p.backup, {});
        } else if (backup == QLatin1String("text")) {
            writeFile(p.backup, QByteArray("Surname,Firstname\nBrown,Alice\n").repeated(100));
        } else if (backup == QLatin1String("truncated")) {
            testsupport::makeDatabase(made, manyContacts(400));
            const QByteArray whole = readBytes(made);
            writeFile(p.backup, whole.left(whole.size() / 2));
        } else if (backup == QLatin1String("no Email")) {
            testsupport::makeDatabase(made, testsupport::sampleContacts());
            exec(made, "ALTER TABLE HomeAd DROP COLUMN Email");
            writeFile(p.backup, readBytes(made));
        }
        const QByteArray database = readBytes(p.database);
        const QByteArray former = readBytes(p.backup);
        p.narrow();

        p.fakes.prompts->answers << platform::Answer::Ok; // Restore asks with Cancel the default
        QVERIFY(p.commands.run(platform::Command::Restore));

        QCOMPARE(p.errors().size(), 1);
        const QString shown = p.errors().constFirst();
        QVERIFY2(shown.contains(p.backup) &&
                     shown.contains(error.contains(QLatin1String("%1")) ? error.arg(p.backup) : error),
                 qPrintable(shown));
        QCOMPARE(p.openAtError, QList<bool>{true});
        QCOMPARE(readBytes(p.database), database);
        QCOMPARE(readBytes(p.backup), former);
        QCOMPARE(QFile::exists(p.backup), backup != QLatin1String("missing"));
        if (backup == QLatin1String("missing")) {
            // Said at once, with no question first, and the list is left as it was: never closed, so its sort stays.
            QCOMPARE(p.fakes.prompts->asked.size(), 1);
            QVERIFY(p.query().isOpen());
            QCOMPARE(p.query().sql(), p.sqlAtStart);
            QCOMPARE(p.query().sort(), QStringLiteral("Firstname DESC"));
            QCOMPARE(p.query().recordCount(), 2);
        } else {
            p.verifyReopened(2);
        }
    }

    // A database that would not pass as a backup never replaces the last good one: the user keeps a copy to restore.
    void backupKeepsTheLastGoodBackupForADamagedDatabase_data()
    {
        QTest::addColumn<QString>("database"); // how the database is spoilt
        QTest::addColumn<QString>("why");      // what the message must say
        QTest::newRow("a page overwritten") << "page" << "";
        QTest::newRow("an empty file") << "empty" << "the file is empty";
        QTest::newRow("no contact table") << "no table" << "it has no table HomeAd";
    }
    void backupKeepsTheLastGoodBackupForADamagedDatabase()
    {
        QFETCH(QString, database);
        QFETCH(QString, why);
        Program p;
        writeFile(p.backup, readBytes(p.database));
        const QByteArray good = readBytes(p.backup);
        p.query().close();
        p.store->connection.close();
        if (database == QLatin1String("page")) {
            testsupport::makeDatabase(p.database, manyContacts(400));
            QFile file(p.database);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.seek(file.size() / 4096 / 2 * 4096));
            QVERIFY(file.write(QByteArray(4096, '\xA5')) == 4096);
        } else if (database == QLatin1String("empty")) {
            writeFile(p.database, {});
        } else {
            exec(p.database, "DROP TABLE HomeAd");
        }

        QVERIFY(p.commands.run(platform::Command::Backup));

        QCOMPARE(p.errors().size(), 1);
        const QString shown = p.errors().constFirst();
        QVERIFY2(shown.contains(QStringLiteral("The address book is damaged: ") + why) &&
                     shown.contains(QStringLiteral("; the backup was not replaced")),
                 qPrintable(shown));
        QCOMPARE(readBytes(p.backup), good);
    }

    // A disk that fills up part way through: the file being replaced is still whole, the error names it, and it
    // is shown only once the list is open again.
    void fullDiskKeepsTheFormerFile_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<qint64>("room"); // bytes the disk takes before it is full
        for (const char* command : {"backup", "restore"}) {
            QTest::addRow("%s, full at once", command) << QString::fromLatin1(command) << qint64(0);
            QTest::addRow("%s, short first block", command) << QString::fromLatin1(command) << qint64(100);
            QTest::addRow("%s, full after a block", command) << QString::fromLatin1(command) << qint64(8192);
        }
    }
    void fullDiskKeepsTheFormerFile()
    {
        QFETCH(QString, command);
        QFETCH(qint64, room);
        Program p;
        writeFile(p.backup, readBytes(p.database));
        addContact(p, QStringLiteral("Newer"));
        const QByteArray database = readBytes(p.database);
        const QByteArray backup = readBytes(p.backup);
        p.narrow();
        auto written = std::make_shared<qint64>(0);
        const BlockWriter full = [=](QIODevice& to, const char* data, qint64 size) {
            const qint64 count = std::min(size, room - *written);
            *written += count;
            return count > 0 ? to.write(data, count) : qint64(0);
        };

        if (command == QLatin1String("backup"))
            backup::miBackUpClick(*p.store, full);
        else
            (p.fakes.prompts->answers << platform::Answer::Ok), backup::miRestoreClick(*p.store, full);

        const QString target = command == QLatin1String("backup") ? p.backup : p.database;
        QCOMPARE(p.errors(), QStringList{QStringLiteral("Cannot create file %1: the write fell short.").arg(target)});
        QCOMPARE(p.openAtError, QList<bool>{true});
        QCOMPARE(readBytes(p.database), database);
        QCOMPARE(readBytes(p.backup), backup);
        QCOMPARE(QDir(p.dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"Tovrel.bak", "Tovrel.mdb"}));
        p.verifyReopened(3);
    }

    void readOnlyFolderKeepsEveryFile_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("backup") << QStringLiteral("backup");
        QTest::newRow("restore") << QStringLiteral("restore");
    }
    void readOnlyFolderKeepsEveryFile()
    {
        QFETCH(QString, command);
        Program p;
        writeFile(p.backup, readBytes(p.database));
        addContact(p, QStringLiteral("Newer"));
        const QByteArray database = readBytes(p.database);
        const QByteArray backup = readBytes(p.backup);
        // The administrator writes anywhere; an immutable folder stops even them, where the file system allows.
        const bool root = ::geteuid() == 0;
        const auto writable = qScopeGuard([&] {
            if (root)
                QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), p.dir.path()});
            QFile::setPermissions(p.dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        QVERIFY(QFile::setPermissions(p.dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        if (root && QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), p.dir.path()}) != 0)
            QSKIP("running as root and the folder cannot be made immutable");

        p.fakes.prompts->answers << platform::Answer::Ok; // Restore asks with Cancel the default
        QVERIFY(p.commands.run(commandNamed(command)));

        const QString target = command == QLatin1String("backup") ? p.backup : p.database;
        QCOMPARE(p.errors().size(), 1);
        QVERIFY2(testsupport::reportsFailure(p.errors().constFirst(), QStringLiteral("Cannot create file %1").arg(target)),
                 qPrintable(p.errors().constFirst()));
        QCOMPARE(readBytes(p.database), database);
        QCOMPARE(readBytes(p.backup), backup);
        p.verifyReopened(7);
    }

    // Another program writing stops a backup; another program using the database at all stops a restore. Either
    // way nothing changes, and a program that only reads does not stop a backup.
    void otherProgramsLocks_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("write");        // the other program writes, or only reads
        QTest::addColumn<bool>("otherProcess"); // a process of its own, or a connection of this one
        QTest::addColumn<QString>("error");
        const QString cannotOpen = QStringLiteral("Cannot open file %1.");
        const QString cannotCreate = QStringLiteral("Cannot create file %1: another copy of Tovrel, or another "
                                                    "program, has the address book open. Close it and choose "
                                                    "Restore again.");
        QTest::newRow("backup, writer") << "backup" << true << false << cannotOpen;
        QTest::newRow("backup, writing process") << "backup" << true << true << cannotOpen;
        QTest::newRow("backup, reader") << "backup" << false << false << QString();
        QTest::newRow("restore, reader") << "restore" << false << false << cannotCreate;
        QTest::newRow("restore, reading process") << "restore" << false << true << cannotCreate;
        QTest::newRow("restore, writing process") << "restore" << true << true << cannotCreate;
    }
    void otherProgramsLocks()
    {
        QFETCH(QString, command);
        QFETCH(bool, write);
        QFETCH(bool, otherProcess);
        QFETCH(QString, error);
        if (otherProcess && QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty())
            QSKIP("no sqlite3 shell to hold the lock");
        Program p;
        writeFile(p.backup, readBytes(p.database));
        addContact(p, QStringLiteral("Newer"));
        const QByteArray database = readBytes(p.database);
        const QByteArray backup = readBytes(p.backup);
        {
            LockHolder other;
            QVERIFY(other.take(p.database, write, otherProcess));
            p.fakes.prompts->answers << platform::Answer::Ok; // Restore asks with Cancel the default
            QVERIFY(p.commands.run(commandNamed(command)));
        }
        if (error.isEmpty()) {
            QCOMPARE(p.errors(), QStringList());
            QCOMPARE(readBytes(p.backup), database);
        } else {
            QCOMPARE(p.errors(), QStringList{error.arg(p.database)});
            QCOMPARE(readBytes(p.backup), backup);
        }
        QCOMPARE(readBytes(p.database), database);
        p.verifyReopened(7);
    }

    // When the database itself cannot be opened again, its error is shown in place of the copy's, and the list
    // stays closed. A damaged database is never copied over the last good backup.
    void reopeningFailureIsShownInstead_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("backup of a damaged database") << QStringLiteral("backup");
        QTest::newRow("restore of a damaged backup, no database") << QStringLiteral("restore");
    }
    void reopeningFailureIsShownInstead()
    {
        QFETCH(QString, command);
        Program p;
        const bool backingUp = command == QLatin1String("backup");
        if (backingUp) {
            writeFile(p.backup, readBytes(p.database));
            writeFile(p.database, QByteArray(20000, 'x'));
        } else {
            writeFile(p.backup, QByteArray(20000, 'x'));
            QVERIFY(QFile::remove(p.database));
        }
        const QByteArray backup = readBytes(p.backup);

        p.fakes.prompts->answers << platform::Answer::Ok; // Restore asks with Cancel the default
        QVERIFY(p.commands.run(commandNamed(command)));

        QCOMPARE(p.errors().size(), 1);
        QVERIFY2(p.errors().constFirst().startsWith(QStringLiteral("Could not open the database")),
                 qPrintable(p.errors().constFirst()));
        QVERIFY(!p.query().isOpen());
        QCOMPARE(readBytes(p.backup), backup);
        QCOMPARE(QFile::exists(p.database), backingUp);
    }
};

QTEST_MAIN(TestBackup)
#include "tst_backup.moc"


#include "backup/BackupRestore.h"

#include "data/ContactStore.h"
#include "data/DatabaseCheck.h"
#include "data/FileLock.h"
#include "data/SqliteFile.h"
#include "platform/AppError.h"
#include "platform/Commands.h"
#include "platform/ui/ErrorBox.h"
#include "platform/ProgramFolder.h"
#include "platform/Services.h"

#include <QApplication>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QUrl>
#include <exception>
#include <sqlite3.h>

namespace backup {

namespace {

// How long a lock held by another program is waited for before the command gives up: long enough for a single
// write to finish, short enough that the user is never left waiting.
constexpr int LockWaitMs = 250;

[[nodiscard]] bool isLockConflict(int rc)
{
    const int primary = rc & 0xFF;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

void copyFile(const QString& source, const QString& destination, const BlockWriter& write)
{
    if (write)
        CopyDataFile(source, destination, write);
    else
        CopyDataFile(source, destination);
}

// Closes the contact list and the connection, runs the copy, and opens both again whether the copy worked or not.
// A copy error is raised only once the list is open again; an error while reopening comes first in its message.
void withStoreClosed(data::ContactStore& store, const std::function<void()>& copy)
{
    // Saved as a move would save it; a change that cannot be saved stops the command with the list left open.
    store.HomeQuery.settle();
    store.HomeQuery.close();
    store.connection.close();
    std::exception_ptr copyError;
    try {
        copy();
    } catch (...) {
        copyError = std::current_exception();
    }
    try {
        store.HomeQuery.open();
    } catch (const platform::AppError& reopen) {
        if (!copyError)
            throw;
        // Both are news to the user: the list is gone, and whether the copy was made.
        try {
            std::rethrow_exception(copyError);
        } catch (const platform::AppError& copy) {
            throw platform::AppError(platform::withFullStop(reopen.message()) + QStringLiteral("\n\n") +
                                     copy.message());
        } catch (...) {
            throw reopen;
        }
    }
    if (copyError)
        std::rethrow_exception(copyError);
}

[[nodiscard]] bool askInformation(const QString& text)
{
    return platform::prompts().message(QApplication::activeWindow(), QStringLiteral("Information"), text,
                                       platform::Icon::Information,
                                       platform::Buttons::OkCancel) == platform::Answer::Ok;
}

// Where Backup put the copy: the backup itself, or the database's namesake inside it when it is a folder (the copy
// goes into a folder of that name).
[[nodiscard]] QString backupCopy(const QString& backup, const QString& database)
{
    const QFileInfo info(backup);
    return info.isDir() ? QDir(backup).filePath(QFileInfo(database).fileName()) : backup;
}

// The number of contacts in a contact database, read-only; -1 where it cannot be read.
[[nodiscard]] int contactsIn(const QString& path)
{
    data::SqliteFile file;
    const QString uri = QStringLiteral("file:") + QString::fromUtf8(QUrl::toPercentEncoding(path, "/")) +
                        QStringLiteral("?mode=ro");
    if (file.open(uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, LockWaitMs) != SQLITE_OK)
        return -1;
    sqlite3_stmt* statement = nullptr;
    int count = -1;
    if (sqlite3_prepare_v2(file.handle(), "SELECT count(*) FROM HomeAd", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        count = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    return count;
}

[[nodiscard]] QString contactCount(int count)
{
    if (count < 0)
        return QStringLiteral("contacts that could not be counted");
    return count == 1 ? QStringLiteral("1 contact") : QStringLiteral("%1 contacts").arg(count);
}

} // namespace

QString backupFileName()
{
    return QStringLiteral("Tovrel.bak");
}

void checkContactDatabase(const QString& path)
{
    const auto unsound = [&](const QString& why) {
        return platform::AppError(
            QStringLiteral("The backup file %1 is not a sound contact database (%2)").arg(path, why));
    };
    data::SqliteFile file;
    // Read-only and immutable: checking a file must never write to it, nor leave a journal beside it.
    const QString uri = QStringLiteral("file:") + QString::fromUtf8(QUrl::toPercentEncoding(path, "/")) +
                        QStringLiteral("?mode=ro&immutable=1");
    if (file.open(uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, LockWaitMs) != SQLITE_OK)
        throw unsound(file.errorText());
    if (const QString fault = data::contactDatabaseFault(file.handle()); !fault.isEmpty())
        throw unsound(fault);
}

void backUpDatabase(const QString& database, const QString& backup, const BlockWriter& write)
{
    const QString cannotOpen = QStringLiteral("Cannot open file %1").arg(database);
    // The engine's write lock stands for "others may read but not write while it is copied": it fails while
    // another program is writing, and keeps anyone from starting to write until the copy is done.
    data::SqliteFile lock;
    lock.openOrThrow(database, SQLITE_OPEN_READWRITE, LockWaitMs, cannotOpen);
    int rc = lock.exec("BEGIN IMMEDIATE");
    if ((rc & 0xFF) == SQLITE_READONLY) {
        // A file nobody may write to: a read lock keeps it as it is.
        lock.exec("ROLLBACK");
        rc = lock.exec("BEGIN");
        if (rc == SQLITE_OK)
            rc = lock.exec("SELECT count(*) FROM sqlite_master");
    }
    if (isLockConflict(rc))
        throw platform::AppError(cannotOpen);
    // Copying something that is not a sound database would replace the last good backup with it: the database
    // must pass what Restore asks of a backup.
    const auto damaged = [](const QString& why) {
        return platform::AppError(
            QStringLiteral("The address book is damaged: %1; the backup was not replaced").arg(why));
    };
    if (rc != SQLITE_OK)
        throw damaged(lock.errorText());
    if (QFileInfo(database).size() == 0)
        throw damaged(QStringLiteral("the file is empty"));
    if (const QString fault = data::contactDatabaseFault(lock.handle()); !fault.isEmpty())
        throw damaged(fault);
    copyFile(database, backup, write);
}

void restoreDatabase(const QString& backupGiven, const QString& database, const BlockWriter& write)
{
    const QString backup = backupCopy(backupGiven, database);
    {
        QFile source(backup);
        if (!source.open(QIODevice::ReadOnly))
            throw platform::AppError(QStringLiteral("Cannot open file %1: %2").arg(backup, source.errorString()));
    }
    // Checked before anything is replaced: a damaged backup would leave no database at all.
    checkContactDatabase(backup);

    // Every program that has the database open holds its shared lock: taken exclusively, without waiting, it says
    // that nobody else has the file open, and keeps everyone out until the new file is in place. The engine's
    // exclusive lock is taken as well, for any other client of the file. A file that cannot be opened (missing)
    // has no one to keep out and is simply replaced.
    const auto inUse = [&] {
        return platform::AppError(
            QStringLiteral("Cannot create file %1: another copy of Tovrel, or another program, has the address book "
                           "open. Close it and choose Restore again")
                .arg(QFileInfo(database).absoluteFilePath()));
    };
    data::FileLock fileLock;
    if (!fileLock.acquire(database, data::FileLock::Mode::Exclusive, 0) && fileLock.errorCode() == 0)
        throw inUse();
    data::SqliteFile lock;
    if (lock.open(database, SQLITE_OPEN_READWRITE, LockWaitMs) == SQLITE_OK) {
        const int rc = lock.exec("BEGIN EXCLUSIVE");
        if (isLockConflict(rc))
            throw inUse();
    }
    // A journal still lying beside the database belongs to the file being replaced; played back into the restored
    // file it would damage it.
    const QString journal = database + QStringLiteral("-journal");
    const bool staleJournal = QFileInfo::exists(journal);
    copyFile(backup, database, write);
    lock.close();
    fileLock.release();
    if (staleJournal)
        QFile::remove(journal);
}

std::optional<QString> miBackUpClick(data::ContactStore& store, const BlockWriter& write)
{
    std::optional<QString> done;
    platform::guard([&] {
        if (!askInformation(
                QStringLiteral("This will copy your database file (Tovrel.mdb) to a backup file Tovrel.bak")))
            return;
        const QString database = platform::programFile(data::databaseFileName());
        const QString backup = platform::programFile(backupFileName());
        withStoreClosed(store, [&] { backUpDatabase(database, backup, write); });
        const QString copy = backupCopy(backup, database);
        done = QStringLiteral("Backed up %1 to %2 at %3")
                   .arg(contactCount(contactsIn(copy)), QDir::toNativeSeparators(copy),
                        QLocale::system().toString(platform::clock().now().time(), QLocale::ShortFormat));
    });
    return done;
}

std::optional<QString> miRestoreClick(data::ContactStore& store, const BlockWriter& write)
{
    std::optional<QString> done;
    platform::guard([&] {
        const QString database = platform::programFile(data::databaseFileName());
        const QString backup = platform::programFile(backupFileName());
        // Said before the question: agreeing to a restore that cannot happen only to be told so is no help.
        if (!QFileInfo::exists(backupCopy(backup, database)))
            throw platform::AppError(QStringLiteral("There is no backup to restore: %1 does not exist. File ▸ Backup "
                                                    "makes one")
                                         .arg(QDir::toNativeSeparators(backupCopy(backup, database))));
        // The backup described, so that the user knows which contacts come back and which go.
        const QString copy = backupCopy(backup, database);
        const QString made = QLocale::system().toString(QFileInfo(copy).lastModified(), QLocale::ShortFormat);
        const int kept = contactsIn(copy);
        const int now = contactsIn(database);
        if (platform::prompts().message(
                QApplication::activeWindow(), QStringLiteral("Restore"),
                QStringLiteral("Restore the backup of %1, holding %2?\n\n%3")
                    .arg(made, contactCount(kept),
                         now < 0 ? QStringLiteral("It replaces your address book as it is now.")
                                 : QStringLiteral("The %1 in your address book now are replaced by those of the "
                                                  "backup.")
                                       .arg(contactCount(now))),
                platform::Icon::Question, platform::Buttons::OkCancelDefaultCancel) != platform::Answer::Ok)
            return;
        withStoreClosed(store, [&] { restoreDatabase(backup, database, write); });
        done = QStringLiteral("Restored %1 from the backup of %2 (%3) at %4")
                   .arg(contactCount(kept), made, QDir::toNativeSeparators(copy),
                        QLocale::system().toString(platform::clock().now().time(), QLocale::ShortFormat));
    });
    return done;
}

void registerBackupCommands(platform::Commands& commands, data::ContactStore& store, BackupDone done)
{
    commands.set(platform::Command::Backup, [&store, done] {
        if (const auto message = miBackUpClick(store); message && done)
            done(*message, false);
    });
    commands.set(platform::Command::Restore, [&store, done] {
        if (const auto message = miRestoreClick(store); message && done)
            done(*message, true);
    });
}

} // namespace backup

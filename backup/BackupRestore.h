#pragma once

#include "platform/FileCopy.h"

#include <QString>
#include <functional>
#include <optional>

namespace platform {
class Commands;
}

namespace data {
class ContactStore;
}

namespace backup {

// The one backup generation, beside the database in the program folder.
[[nodiscard]] QString backupFileName(); // "Tovrel.bak"

// File > Backup and File > Restore. Each asks first; on "OK" it closes the contact list and the connection,
// copies, opens both again with the SQL text unchanged, and only then reports a failed copy in the default error
// box. The writer stands in for the disk in tests; empty means the real one.
// Restore asks a question naming the backup's date and its number of contacts, Cancel the default. Each returns
// what it did, for the status bar ("Backed up 286 contacts to …"), or nothing when it was cancelled or failed.
std::optional<QString> miBackUpClick(data::ContactStore& store, const BlockWriter& write = {});
std::optional<QString> miRestoreClick(data::ContactStore& store, const BlockWriter& write = {});

// Registers the commands "backup" and "restore" on the contact store; done hears what a command did (restored:
// the contacts are now those of the backup).
using BackupDone = std::function<void(const QString& message, bool restored)>;
void registerBackupCommands(platform::Commands& commands, data::ContactStore& store, BackupDone done = {});

// The copies themselves, run while the program holds the database closed. Each either completes or changes nothing
// and throws platform::AppError:
// - backUpDatabase: "Cannot open file %s" (database) when it is missing or being written by another program; "The
//   address book is damaged: …; the backup was not replaced" when it fails the check a backup must pass to be
//   restored; "Cannot create file %s" (backup) when the backup cannot be written. The backup gets the database's
//   mode.
// - restoreDatabase: reads the backup, or where it is a folder the database's namesake in it (where backUpDatabase
//   puts its copy then). "Cannot open file %s" (backup) when it cannot be read; a message naming the backup when it is
//   not a sound contact database; "Cannot create file %s" (database) when another program has the database open or
//   the database cannot be written.
void backUpDatabase(const QString& database, const QString& backup, const BlockWriter& write = {});
void restoreDatabase(const QString& backup, const QString& database, const BlockWriter& write = {});

// Throws platform::AppError naming what is wrong unless path holds an intact database with the contact table and
// every stored field the program reads. Opens the file read-only and never changes it.
void checkContactDatabase(const QString& path);

} // namespace backup

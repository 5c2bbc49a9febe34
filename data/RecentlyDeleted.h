#pragma once

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

struct sqlite3;

namespace data {

// Deleted contacts are kept in a side table of the same file (HomeAd itself stays as it is) for a while, so that a
// delete by any path (grid, card, merge, sync) can be undone. A temporary trigger on the connection copies each
// row as it goes; a file that cannot take the side table (read-only) just keeps nothing.
namespace deleted {

constexpr int KeepDays = 30;

// Deletion times and expiry read the program's clock (platform::clock()), which tests replace.
[[nodiscard]] QDateTime now();

// Makes the side table where it is missing and starts keeping deleted rows on this connection. Does nothing on a
// database without the contact table.
void attach(sqlite3* db);

// Drops what was deleted more than KeepDays ago. Returns how many were dropped.
int dropExpired(sqlite3* db);

struct Entry
{
    qint64 id = 0;        // the side table's own key
    qint64 contactId = 0; // the key the contact had
    QDateTime deletedAt;
    QMap<QString, QString> values; // stored field name -> text
};

// Newest first.
[[nodiscard]] QList<Entry> list(sqlite3* db);
// The newest entry's id, 0 when none.
[[nodiscard]] qint64 newestId(sqlite3* db);

// Puts the entry back as a contact (under its old key when that is free) and takes it off the list. Returns the
// contact's key. Throws AppError when the entry is gone or the write fails.
qint64 restore(sqlite3* db, qint64 entryId);

// What else in the file belongs to a contact (its card in the shared address book) follows it back: each follower
// is called within the restore with the key the contact had and the key it has now, when the entry was the last
// deletion of that key (an older one's key may have been given to another contact since). A follower throws
// AppError to undo the restore.
using RestoreFollower = void (*)(sqlite3* db, qint64 formerId, qint64 contactId);
void addRestoreFollower(RestoreFollower follower);

} // namespace deleted
} // namespace data

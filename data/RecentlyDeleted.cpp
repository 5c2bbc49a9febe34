#include "data/RecentlyDeleted.h"

#include "data/ContactStore.h"
#include "platform/AppError.h"
#include "platform/Services.h"

#include <sqlite3.h>

namespace data::deleted {

namespace {

QString quoted(const QString& name) { return QLatin1Char('"') + name + QLatin1Char('"'); }

QStringList storedColumns()
{
    QStringList out;
    for (const FieldDef& f : contactFields())
        if (f.isStored())
            out << f.name;
    return out;
}

QString joinedColumns(const QString& prefix = {})
{
    QStringList out;
    for (const QString& c : storedColumns())
        out << prefix + quoted(c);
    return out.join(QStringLiteral(", "));
}

bool hasTable(sqlite3* db, const char* schema, const char* name)
{
    sqlite3_stmt* st = nullptr;
    const QByteArray sql = QByteArray("SELECT 1 FROM ") + schema + ".sqlite_master WHERE type='table' AND name=?";
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) != SQLITE_OK)
        return false;
    sqlite3_bind_text(st, 1, name, -1, SQLITE_STATIC);
    const bool found = sqlite3_step(st) == SQLITE_ROW;
    sqlite3_finalize(st);
    return found;
}

void nowFunction(sqlite3_context* ctx, int, sqlite3_value**)
{
    sqlite3_result_int64(ctx, now().toSecsSinceEpoch());
}

[[noreturn]] void fail(sqlite3* db, const QString& what)
{
    throw platform::AppError(QStringLiteral("%1: %2").arg(what, QString::fromUtf8(sqlite3_errmsg(db))));
}

struct Statement
{
    sqlite3_stmt* stmt = nullptr;
    Statement(sqlite3* db, const QString& sql)
    {
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK)
            fail(db, QStringLiteral("Cannot read the recently deleted contacts"));
    }
    ~Statement() { sqlite3_finalize(stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
};

QList<RestoreFollower>& followers()
{
    static QList<RestoreFollower> all;
    return all;
}

QString textOf(sqlite3_stmt* st, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, column)),
                             sqlite3_column_bytes(st, column));
}

} // namespace

QDateTime now() { return platform::clock().now(); }

void attach(sqlite3* db)
{
    if (!db || !hasTable(db, "main", "HomeAd"))
        return;
    QStringList columns;
    for (const QString& c : storedColumns())
        columns << quoted(c) + QStringLiteral(" TEXT");
    const QString table = QStringLiteral("CREATE TABLE IF NOT EXISTS DeletedContact (EntryID INTEGER PRIMARY KEY, "
                                         "ContactID INTEGER, DeletedAt INTEGER, %1)")
                              .arg(columns.join(QStringLiteral(", ")));
    // A read-only file has no side table and gets no trigger: a delete there fails on its own anyway.
    if (!hasTable(db, "main", "DeletedContact"))
        sqlite3_exec(db, table.toUtf8().constData(), nullptr, nullptr, nullptr);
    if (!hasTable(db, "main", "DeletedContact"))
        return;
    sqlite3_create_function_v2(db, "tovrel_deleted_now", 0, SQLITE_UTF8, nullptr, nowFunction, nullptr, nullptr,
                               nullptr);
    // Temporary: it lives on this connection only, so the file itself carries no trigger another program would run.
    const QString trigger = QStringLiteral("CREATE TEMP TRIGGER IF NOT EXISTS KeepDeletedContact BEFORE DELETE ON "
                                           "main.HomeAd BEGIN INSERT INTO DeletedContact (ContactID, DeletedAt, %1) "
                                           "VALUES (OLD.ID, tovrel_deleted_now(), %2); END")
                                .arg(joinedColumns(), joinedColumns(QStringLiteral("OLD.")));
    sqlite3_exec(db, trigger.toUtf8().constData(), nullptr, nullptr, nullptr);
    // Opening is the start-up of every run that writes, so the old ones go here.
    try {
        dropExpired(db);
    } catch (const platform::AppError&) {
        // a locked file keeps them until the next start
    }
}

int dropExpired(sqlite3* db)
{
    if (!db || !hasTable(db, "main", "DeletedContact"))
        return 0;
    Statement st(db, QStringLiteral("DELETE FROM DeletedContact WHERE DeletedAt < ?"));
    sqlite3_bind_int64(st.stmt, 1, now().addDays(-KeepDays).toSecsSinceEpoch());
    if (sqlite3_step(st.stmt) != SQLITE_DONE)
        fail(db, QStringLiteral("Cannot drop the old deleted contacts"));
    return sqlite3_changes(db);
}

QList<Entry> list(sqlite3* db)
{
    QList<Entry> out;
    if (!db || !hasTable(db, "main", "DeletedContact"))
        return out;
    const QStringList columns = storedColumns();
    Statement st(db, QStringLiteral("SELECT EntryID, ContactID, DeletedAt, %1 FROM DeletedContact "
                                    "ORDER BY DeletedAt DESC, EntryID DESC")
                         .arg(joinedColumns()));
    while (sqlite3_step(st.stmt) == SQLITE_ROW) {
        Entry e;
        e.id = sqlite3_column_int64(st.stmt, 0);
        e.contactId = sqlite3_column_int64(st.stmt, 1);
        e.deletedAt = QDateTime::fromSecsSinceEpoch(sqlite3_column_int64(st.stmt, 2), Qt::UTC);
        for (int c = 0; c < columns.size(); ++c)
            if (sqlite3_column_type(st.stmt, 3 + c) != SQLITE_NULL)
                e.values.insert(columns[c], textOf(st.stmt, 3 + c));
        out << e;
    }
    return out;
}

qint64 newestId(sqlite3* db)
{
    const QList<Entry> all = list(db);
    return all.isEmpty() ? 0 : all.first().id;
}

void addRestoreFollower(RestoreFollower follower)
{
    if (!followers().contains(follower))
        followers() << follower;
}

qint64 restore(sqlite3* db, qint64 entryId)
{
    if (sqlite3_exec(db, "SAVEPOINT RestoreDeleted", nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(db, QStringLiteral("Cannot restore the contact"));
    try {
        qint64 contactId = 0, formerId = 0;
        bool last = false;
        {
            Statement find(db, QStringLiteral("SELECT d.ContactID, (SELECT count(*) FROM HomeAd h WHERE h.ID = "
                                              "d.ContactID), d.EntryID = (SELECT max(e.EntryID) FROM DeletedContact "
                                              "e WHERE e.ContactID = d.ContactID) FROM DeletedContact d WHERE "
                                              "d.EntryID = ?"));
            sqlite3_bind_int64(find.stmt, 1, entryId);
            if (sqlite3_step(find.stmt) != SQLITE_ROW)
                throw platform::AppError(QStringLiteral("The deleted contact is no longer kept"));
            formerId = sqlite3_column_int64(find.stmt, 0);
            last = sqlite3_column_int64(find.stmt, 2) != 0;
            // Its old key when free, so an undo puts back exactly what was there; otherwise a new one.
            contactId = sqlite3_column_int64(find.stmt, 1) == 0 ? formerId : 0;
        }
        {
            Statement insert(db, QStringLiteral("INSERT INTO HomeAd (ID, %1) SELECT ?, %1 FROM DeletedContact "
                                                "WHERE EntryID = ?")
                                     .arg(joinedColumns()));
            if (contactId > 0)
                sqlite3_bind_int64(insert.stmt, 1, contactId);
            else
                sqlite3_bind_null(insert.stmt, 1);
            sqlite3_bind_int64(insert.stmt, 2, entryId);
            if (sqlite3_step(insert.stmt) != SQLITE_DONE)
                fail(db, QStringLiteral("Cannot restore the contact"));
            contactId = sqlite3_last_insert_rowid(db);
        }
        {
            Statement drop(db, QStringLiteral("DELETE FROM DeletedContact WHERE EntryID = ?"));
            sqlite3_bind_int64(drop.stmt, 1, entryId);
            if (sqlite3_step(drop.stmt) != SQLITE_DONE)
                fail(db, QStringLiteral("Cannot restore the contact"));
        }
        if (last) {
            for (const RestoreFollower follower : followers())
                follower(db, formerId, contactId);
        }
        if (sqlite3_exec(db, "RELEASE RestoreDeleted", nullptr, nullptr, nullptr) != SQLITE_OK)
            fail(db, QStringLiteral("Cannot restore the contact"));
        return contactId;
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK TO RestoreDeleted; RELEASE RestoreDeleted", nullptr, nullptr, nullptr);
        throw;
    }
}

} // namespace data::deleted

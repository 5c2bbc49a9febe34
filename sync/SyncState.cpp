#include "sync/SyncState.h"

#include "data/RecentlyDeleted.h"
#include "platform/AppError.h"
#include "sync/SyncCard.h"

#include <QSet>
#include <QUrl>
#include <QUuid>
#include <sqlite3.h>
#include <list>
#include <vector>

namespace sharing {

using exchange::Contact;

namespace {

const char* const Schema =
    "CREATE TABLE IF NOT EXISTS SyncCard ("
    " Href TEXT PRIMARY KEY, ContactID INTEGER, ETag TEXT, OnServer INTEGER NOT NULL DEFAULT 0,"
     " UID TEXT, Card BLOB, Base TEXT, Extra BLOB, IsGroup INTEGER NOT NULL DEFAULT 0, Carried BLOB,"
     " DeletedID INTEGER);"
    "CREATE INDEX IF NOT EXISTS SyncCardContact ON SyncCard (ContactID);"
    "CREATE TABLE IF NOT EXISTS SyncMeta (Key TEXT PRIMARY KEY, Value TEXT);";

// The card of a contact deleted here whose deletion reached the server: a restore of the contact sends it again.
const char* const DeletedCards =
    "CREATE TABLE IF NOT EXISTS SyncDeletedCard (ContactID INTEGER PRIMARY KEY, Href TEXT, Card BLOB, Carried BLOB)";

// A contact deleted by any tool leaves its card (an ID used again is never taken for the old contact), which keeps
// the ID it had for a restore; only the last deletion of an ID is remembered.
const char* const Unlink =
    "CREATE TRIGGER SyncCardUnlink AFTER DELETE ON HomeAd BEGIN"
    " DELETE FROM SyncDeletedCard WHERE ContactID = old.ID;"
    " UPDATE SyncCard SET DeletedID = NULL WHERE DeletedID = old.ID;"
    " UPDATE SyncCard SET ContactID = NULL, DeletedID = old.ID WHERE ContactID = old.ID; END";

QString engineError(sqlite3* db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

[[noreturn]] void fail(sqlite3* db, const QString& what)
{
    throw platform::AppError(QStringLiteral("The shared address book's state cannot be %1: %2").arg(what, engineError(db)));
}

class Statement
{
public:
    Statement(sqlite3* db, const QByteArray& sql) : m_db(db)
    {
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &m_stmt, nullptr) != SQLITE_OK)
            fail(db, QStringLiteral("read"));
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(int i, const QString& text)
    {
        m_keep.push_back(text.toUtf8());
        bindBytes(i, m_keep.back(), false);
    }
    void bindBytes(int i, const QByteArray& bytes, bool blob = true)
    {
        m_keep.push_back(bytes);
        const QByteArray& b = m_keep.back();
        blob ? sqlite3_bind_blob(m_stmt, i, b.constData(), int(b.size()), SQLITE_STATIC)
             : sqlite3_bind_text(m_stmt, i, b.constData(), int(b.size()), SQLITE_STATIC);
    }
    void bindNull(int i) { sqlite3_bind_null(m_stmt, i); }
    void bindInt(int i, qint64 v) { sqlite3_bind_int64(m_stmt, i, v); }
    // Empty values are stored as NULL, as the grid stores them.
    void bindField(int i, const QString& v) { v.isEmpty() ? bindNull(i) : bind(i, v); }

    bool step()
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            fail(m_db, QStringLiteral("written"));
        return false;
    }
    void reset()
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
        m_keep.clear();
    }
    [[nodiscard]] QString text(int col) const
    {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, col)),
                                 sqlite3_column_bytes(m_stmt, col));
    }
    [[nodiscard]] QByteArray bytes(int col) const
    {
        return QByteArray(static_cast<const char*>(sqlite3_column_blob(m_stmt, col)), sqlite3_column_bytes(m_stmt, col));
    }
    [[nodiscard]] bool isNull(int col) const { return sqlite3_column_type(m_stmt, col) == SQLITE_NULL; }
    [[nodiscard]] qint64 integer(int col) const { return sqlite3_column_int64(m_stmt, col); }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
    std::list<QByteArray> m_keep;
};

QByteArray columnList()
{
    QByteArray out;
    for (const exchange::FieldInfo& f : exchange::Fields) {
        if (!out.isEmpty())
            out += ',';
        out += '"' + QByteArray(f.name) + '"';
    }
    return out;
}

Contact readContact(const Statement& s, int first)
{
    Contact c;
    for (int i = 0; i < exchange::FieldCount; ++i)
        c.values[size_t(i)] = s.text(first + i);
    return c;
}

bool prepares(sqlite3* db, const char* sql)
{
    sqlite3_stmt* probe = nullptr;
    const bool ok = sqlite3_prepare_v2(db, sql, -1, &probe, nullptr) == SQLITE_OK;
    sqlite3_finalize(probe);
    return ok;
}

void addColumn(sqlite3* db, const char* probe, const char* alter)
{
    if (prepares(db, probe))
        return;
    if (sqlite3_exec(db, alter, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(db, QStringLiteral("kept"));
}

// Tables made by earlier versions lack the columns added since, and their trigger forgets a deleted contact's ID.
void addMissingColumns(sqlite3* db)
{
    addColumn(db, "SELECT IsGroup FROM SyncCard", "ALTER TABLE SyncCard ADD COLUMN IsGroup INTEGER NOT NULL DEFAULT 0");
    addColumn(db, "SELECT Carried FROM SyncCard", "ALTER TABLE SyncCard ADD COLUMN Carried BLOB");
    addColumn(db, "SELECT DeletedID FROM SyncCard", "ALTER TABLE SyncCard ADD COLUMN DeletedID INTEGER");
    addColumn(db, "SELECT ContactID FROM SyncDeletedCard", DeletedCards);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT 1 FROM sqlite_master WHERE type = 'trigger' AND name = 'SyncCardUnlink' AND sql LIKE "
                       "'%DeletedID%'",
                       -1, &st, nullptr);
    const bool current = sqlite3_step(st) == SQLITE_ROW;
    sqlite3_finalize(st);
    if (!current && (sqlite3_exec(db, "DROP TRIGGER IF EXISTS SyncCardUnlink", nullptr, nullptr, nullptr) != SQLITE_OK ||
                     sqlite3_exec(db, Unlink, nullptr, nullptr, nullptr) != SQLITE_OK))
        fail(db, QStringLiteral("kept"));
}

class Transaction
{
public:
    explicit Transaction(sqlite3* db) : m_db(db)
    {
        if (!sqlite3_get_autocommit(db))
            throw platform::AppError(QStringLiteral("The contacts cannot be synchronised while other changes are pending"));
        if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
            fail(db, QStringLiteral("written"));
    }
    ~Transaction()
    {
        if (!m_done && !sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void commit()
    {
        if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
            fail(m_db, QStringLiteral("written"));
        m_done = true;
    }

private:
    sqlite3* m_db;
    bool m_done = false;
};

} // namespace

SyncStore::SyncStore(sqlite3* db) : m_db(db)
{
    if (!db)
        throw platform::AppError(QStringLiteral("Not connected"));
}

void SyncStore::exec(const char* sql) const
{
    char* error = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        const QString message = QString::fromUtf8(error ? error : sqlite3_errmsg(m_db));
        sqlite3_free(error);
        throw platform::AppError(QStringLiteral("The shared address book's state cannot be kept: %1").arg(message));
    }
}

void SyncStore::ensureSchema()
{
    exec(Schema);
    addMissingColumns(m_db);
    // A deleted contact's card is kept as long as the contact can be restored.
    if (prepares(m_db, "SELECT ContactID FROM DeletedContact"))
        exec("DELETE FROM SyncDeletedCard WHERE ContactID NOT IN (SELECT ContactID FROM DeletedContact)");
    // Tables made before hrefs were kept percent-encoded hold them decoded: encoded as they were sent then.
    if (meta(QStringLiteral("HrefForm")) != QLatin1String("encoded")) {
        Transaction t(m_db);
        QList<std::pair<QString, QString>> renames;
        {
            Statement s(m_db, "SELECT Href FROM SyncCard");
            while (s.step()) {
                QUrl url;
                url.setPath(s.text(0), QUrl::DecodedMode);
                const QString encoded = url.path(QUrl::FullyEncoded);
                if (encoded != s.text(0))
                    renames.append({s.text(0), encoded});
            }
        }
        for (const auto& [from, to] : renames) {
            Statement s(m_db, "UPDATE OR REPLACE SyncCard SET Href = ? WHERE Href = ?");
            s.bind(1, to);
            s.bind(2, from);
            s.step();
        }
        setMeta(QStringLiteral("HrefForm"), QStringLiteral("encoded"));
        t.commit();
    }
}

QString SyncStore::meta(const QString& key) const
{
    Statement s(m_db, "SELECT Value FROM SyncMeta WHERE Key = ?");
    s.bind(1, key);
    return s.step() ? s.text(0) : QString();
}

void SyncStore::setMeta(const QString& key, const QString& value)
{
    Statement s(m_db, "INSERT OR REPLACE INTO SyncMeta (Key, Value) VALUES (?, ?)");
    s.bind(1, key);
    s.bind(2, value);
    s.step();
}

LocalSnapshot SyncStore::read() const
{
    LocalSnapshot snap;
    {
        Statement s(m_db, "SELECT ID," + columnList() + " FROM HomeAd");
        while (s.step()) {
            snap.contactIndex.insert(s.integer(0), snap.contacts.size());
            snap.contacts.append({s.integer(0), readContact(s, 1)});
        }
    }
    Statement s(m_db, "SELECT Href, ContactID, ETag, OnServer, UID, Card, Base, Extra, IsGroup, Carried, DeletedID "
                      "FROM SyncCard");
    while (s.step()) {
        CardState st;
        st.href = s.text(0);
        st.contactId = s.isNull(1) ? 0 : s.integer(1);
        st.etag = s.text(2).toUtf8();
        st.onServer = s.integer(3) != 0;
        st.uid = s.text(4).toUtf8();
        st.card = s.bytes(5);
        if (!s.isNull(6))
            st.base = unpackFields(s.text(6));
        st.foreign = s.bytes(7);
        st.group = s.integer(8) != 0;
        st.carried = s.bytes(9);
        st.deletedId = s.isNull(10) ? 0 : s.integer(10);
        snap.stateByHref.insert(st.href, snap.states.size());
        if (st.contactId)
            snap.stateByContact.insert(st.contactId, snap.states.size());
        snap.states << st;
    }
    return snap;
}

void SyncStore::writeState(const CardState& st)
{
    Statement s(m_db, "INSERT OR REPLACE INTO SyncCard (Href, ContactID, ETag, OnServer, UID, Card, Base, Extra, IsGroup,"
                      " Carried, DeletedID) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    s.bind(1, st.href);
    st.contactId ? s.bindInt(2, st.contactId) : s.bindNull(2);
    s.bind(3, QString::fromUtf8(st.etag));
    s.bindInt(4, st.onServer ? 1 : 0);
    s.bind(5, QString::fromUtf8(st.uid));
    s.bindBytes(6, st.card);
    st.base ? s.bind(7, packFields(*st.base)) : s.bindNull(7);
    s.bindBytes(8, st.foreign);
    s.bindInt(9, st.group ? 1 : 0);
    s.bindBytes(10, st.carried);
    st.deletedId && !st.contactId ? s.bindInt(11, st.deletedId) : s.bindNull(11);
    s.step();
}

void SyncStore::addPending(const QList<CardState>& states)
{
    if (states.isEmpty())
        return;
    Transaction t(m_db);
    for (const CardState& st : states)
        writeState(st);
    t.commit();
}

void SyncStore::claim(const CardState& state, const QString& replacedHref)
{
    Transaction t(m_db);
    {
        Statement s(m_db, "DELETE FROM SyncCard WHERE Href = ?");
        s.bind(1, replacedHref);
        s.step();
    }
    CardState st = state;
    if (st.contactId) {
        // Deleted here while the pass ran: the card is no longer that contact's (its ID may be given again).
        Statement s(m_db, "SELECT 1 FROM HomeAd WHERE ID = ?");
        s.bindInt(1, st.contactId);
        if (!s.step())
            st.contactId = 0;
    }
    writeState(st);
    t.commit();
}

void SyncStore::reset(const QString& collection)
{
    Transaction t(m_db);
    exec("DELETE FROM SyncCard; DELETE FROM SyncMeta; DELETE FROM SyncDeletedCard;");
    setMeta(QStringLiteral("Collection"), collection);
    setMeta(QStringLiteral("HrefForm"), QStringLiteral("encoded"));
    t.commit();
}

int SyncStore::apply(const Pass& pass)
{
    Transaction t(m_db);
    int skipped = 0;
    QSet<QString> skippedHrefs;
    QHash<QString, qint64> newIds;
    Statement current(m_db, "SELECT " + columnList() + " FROM HomeAd WHERE ID = ?");
    QByteArray assignments;
    for (const exchange::FieldInfo& f : exchange::Fields)
        assignments += (assignments.isEmpty() ? "\"" : ",\"") + QByteArray(f.name) + "\"=?";
    Statement update(m_db, "UPDATE HomeAd SET " + assignments + " WHERE ID = ?");
    Statement insert(m_db, "INSERT INTO HomeAd (" + columnList() + ") VALUES (?" +
                               QByteArray(",?").repeated(exchange::FieldCount - 1) + ")");
    Statement remove(m_db, "DELETE FROM HomeAd WHERE ID = ?");
    for (const LocalChange& ch : pass.changes) {
        if (ch.kind != LocalChange::Kind::Insert && ch.expected) {
            current.bindInt(1, ch.contactId);
            const bool found = current.step();
            const bool same = found && readContact(current, 0) == *ch.expected;
            current.reset();
            if (!same) {
                // Edited (or deleted) here while the pass ran: left for the next sync to see.
                ++skipped;
                skippedHrefs.insert(ch.stateHref);
                continue;
            }
        }
        switch (ch.kind) {
        case LocalChange::Kind::Insert:
            for (int i = 0; i < exchange::FieldCount; ++i)
                insert.bindField(i + 1, ch.contact.values[size_t(i)]);
            insert.step();
            insert.reset();
            newIds.insert(ch.stateHref, sqlite3_last_insert_rowid(m_db));
            break;
        case LocalChange::Kind::Update:
            for (int i = 0; i < exchange::FieldCount; ++i)
                update.bindField(i + 1, ch.contact.values[size_t(i)]);
            update.bindInt(exchange::FieldCount + 1, ch.contactId);
            update.step();
            update.reset();
            break;
        case LocalChange::Kind::Delete:
            remove.bindInt(1, ch.contactId);
            remove.step();
            remove.reset();
            break;
        }
    }
    for (const QString& href : pass.forgotten) {
        if (skippedHrefs.contains(href))
            continue;
        {
            Statement keep(m_db, "INSERT OR REPLACE INTO SyncDeletedCard (ContactID, Href, Card, Carried) SELECT "
                                 "DeletedID, Href, Card, Carried FROM SyncCard WHERE Href = ? AND ContactID IS NULL "
                                 "AND DeletedID IS NOT NULL");
            keep.bind(1, href);
            keep.step();
        }
        Statement s(m_db, "DELETE FROM SyncCard WHERE Href = ?");
        s.bind(1, href);
        s.step();
    }
    for (CardState st : pass.states) {
        if (skippedHrefs.contains(st.href))
            continue;
        if (const auto id = newIds.constFind(st.href); id != newIds.constEnd())
            st.contactId = *id;
        writeState(st);
    }
    if (pass.token && skippedHrefs.isEmpty())
        setMeta(QStringLiteral("SyncToken"), QString::fromUtf8(*pass.token));
    t.commit();
    return skipped;
}

namespace {

// "item1.TEL;TYPE=cell:123" -> "item1" and "TEL".
std::pair<QByteArray, QByteArray> groupAndName(const QByteArray& line)
{
    qsizetype end = 0;
    while (end < line.size() && line[end] != ':' && line[end] != ';')
        ++end;
    const QByteArray head = line.left(end);
    const qsizetype dot = head.indexOf('.');
    return dot < 0 ? std::pair{QByteArray(), head.toUpper()} : std::pair{head.left(dot), head.mid(dot + 1).toUpper()};
}

// What says what a card is, or which groups it is in, belongs to that card alone; its categories past the two
// flags are not carried either, as another CATEGORIES line would read back as the kept contact's flags.
bool worthCarrying(const QByteArray& name)
{
    return !name.isEmpty() && name != "KIND" && name != "X-ADDRESSBOOKSERVER-KIND" && name != "MEMBER" &&
           name != "X-ADDRESSBOOKSERVER-MEMBER" && name != "CATEGORIES" && name != "VERSION";
}

} // namespace

MergeCarry carryOnMerge(sqlite3* db, qint64 keptId, const QList<qint64>& otherIds)
{
    MergeCarry carry;
    if (!prepares(db, "SELECT Href FROM SyncCard"))
        return carry; // never synced
    addMissingColumns(db);
    struct Found
    {
        QString href;
        QByteArray card, foreign, carried;
    };
    auto stateOf = [&](qint64 id) -> std::optional<Found> {
        Statement s(db, "SELECT Href, Card, Extra, Carried FROM SyncCard WHERE ContactID = ?");
        s.bindInt(1, id);
        if (!s.step())
            return std::nullopt;
        return Found{s.text(0), s.bytes(1), s.bytes(2), s.bytes(3)};
    };
    QList<QList<QByteArray>> fromOthers;
    for (const qint64 id : otherIds) {
        const std::optional<Found> st = stateOf(id);
        if (!st)
            continue;
        carry.away.append({id, st->href});
        fromOthers << splitLines(st->foreign) + splitLines(st->carried);
    }
    if (carry.away.isEmpty())
        return carry;

    std::optional<Found> kept = stateOf(keptId);
    if (!kept) {
        // Not on the server yet: its card is made now, in the same address book, so that it takes the properties.
        const QString& other = carry.away.first().second;
        const QByteArray uid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUtf8();
        kept = Found{other.left(other.lastIndexOf(QLatin1Char('/')) + 1) + QString::fromUtf8(uid) +
                         QStringLiteral(".vcf"),
                     {}, {}, {}};
        Statement s(db, "INSERT INTO SyncCard (Href, ContactID, OnServer, UID) VALUES (?, ?, 0, ?)");
        s.bind(1, kept->href);
        s.bindInt(2, keptId);
        s.bind(3, QString::fromUtf8(uid));
        s.step();
        carry.keptAdded = true;
    }
    carry.keptHref = kept->href;
    carry.carriedBefore = kept->carried;

    QList<QByteArray> have = splitLines(kept->carried);
    if (!kept->card.isEmpty()) {
        try {
            have += parseCard(kept->card).lines;
        } catch (const platform::AppError&) {
        }
    }
    QSet<QByteArray> groups;
    for (const QByteArray& line : have)
        groups.insert(groupAndName(line).first.toLower());
    QList<QByteArray> carried = splitLines(kept->carried);
    int next = 1;
    for (const QList<QByteArray>& lines : fromOthers) {
        // Properties grouped together ("item1.EMAIL" with its "item1.X-ABLabel") stay together under a group name
        // the kept card does not use.
        QHash<QByteArray, QByteArray> renamed;
        for (const QByteArray& line : lines) {
            const auto [group, name] = groupAndName(line);
            if (!worthCarrying(name) || have.contains(line))
                continue;
            QByteArray out = line;
            if (!group.isEmpty()) {
                auto it = renamed.find(group);
                if (it == renamed.end()) {
                    QByteArray fresh = group;
                    while (groups.contains(fresh.toLower()))
                        fresh = "item" + QByteArray::number(next++);
                    groups.insert(fresh.toLower());
                    it = renamed.insert(group, fresh);
                }
                out = *it + line.mid(group.size());
            }
            if (!carried.contains(out)) {
                carried << out;
                have << out;
            }
        }
    }
    carry.carriedAfter = joinLines(carried);
    Statement s(db, "UPDATE SyncCard SET Carried = ? WHERE Href = ?");
    s.bindBytes(1, carry.carriedAfter);
    s.bind(2, carry.keptHref);
    s.step();
    return carry;
}

namespace {

// A contact deleted here and restored takes its card back: the same card while the deletion was not synced yet (so
// the server is left as it was); else a new card holding every property of the one the deletion removed.
void followRestore(sqlite3* db, qint64 formerId, qint64 contactId)
{
    if (!prepares(db, "SELECT DeletedID FROM SyncCard") || !prepares(db, "SELECT Card FROM SyncDeletedCard"))
        return; // never synced, or by a version that kept no deleted cards
    {
        Statement s(db, "UPDATE SyncCard SET ContactID = ?, DeletedID = NULL WHERE DeletedID = ? AND ContactID IS NULL");
        s.bindInt(1, contactId);
        s.bindInt(2, formerId);
        s.step();
    }
    const bool relinked = sqlite3_changes(db) > 0;
    Statement found(db, "SELECT Href, Card, Carried FROM SyncDeletedCard WHERE ContactID = ?");
    found.bindInt(1, formerId);
    if (!found.step())
        return;
    const QString href = found.text(0);
    const QByteArray card = found.bytes(1), carried = found.bytes(2);
    found.reset();
    {
        Statement drop(db, "DELETE FROM SyncDeletedCard WHERE ContactID = ?");
        drop.bindInt(1, formerId);
        drop.step();
    }
    if (relinked)
        return;
    {
        Statement linked(db, "SELECT 1 FROM SyncCard WHERE ContactID = ?");
        linked.bindInt(1, contactId);
        if (linked.step())
            return;
    }
    // Under a name of its own, as the old one may still be taken on the server.
    const QByteArray uid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUtf8();
    Statement add(db, "INSERT INTO SyncCard (Href, ContactID, OnServer, UID, Card, Carried) VALUES (?, ?, 0, ?, ?, ?)");
    add.bind(1, href.left(href.lastIndexOf(QLatin1Char('/')) + 1) + QString::fromUtf8(uid) + QStringLiteral(".vcf"));
    add.bindInt(2, contactId);
    add.bind(3, QString::fromUtf8(uid));
    add.bindBytes(4, card);
    add.bindBytes(5, carried);
    add.step();
}

const bool followsRestores = (data::deleted::addRestoreFollower(&followRestore), true);

} // namespace

void undoCarry(sqlite3* db, const MergeCarry& carry, const QHash<qint64, qint64>& restored)
{
    if (carry.keptHref.isEmpty())
        return;
    // A sync since the merge sent what was carried and deleted the other cards: then nothing here is undone.
    {
        Statement s(db, carry.keptAdded ? "DELETE FROM SyncCard WHERE Href = ? AND OnServer = 0 AND Carried = ?"
                                        : "UPDATE SyncCard SET Carried = ?2 WHERE Href = ?1 AND Carried = ?3");
        s.bind(1, carry.keptHref);
        if (carry.keptAdded) {
            s.bindBytes(2, carry.carriedAfter);
        } else {
            s.bindBytes(2, carry.carriedBefore);
            s.bindBytes(3, carry.carriedAfter);
        }
        s.step();
    }
    for (const auto& [id, href] : carry.away) {
        const auto now = restored.constFind(id);
        if (now == restored.constEnd())
            continue;
        Statement s(db, "UPDATE SyncCard SET ContactID = ? WHERE Href = ? AND ContactID IS NULL");
        s.bindInt(1, *now);
        s.bind(2, href);
        s.step();
    }
}

} // namespace sharing

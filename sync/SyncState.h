#pragma once

#include "exchange/ContactFields.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <optional>

struct sqlite3;

namespace sharing {

// What is kept for one card of the shared address book, beside the contact it belongs to (table SyncCard).
struct CardState
{
    qint64 contactId = 0;                 // HomeAd.ID; 0 once the contact was deleted here
    qint64 deletedId = 0;                 // the ID of the contact deleted here, until it is restored or its card goes
    QString href;                         // where the card lives on the server (path)
    QByteArray etag;                      // empty: none known
    bool onServer = false;                // false: assigned but not yet confirmed on the server
    QByteArray uid;
    QByteArray card;                      // the card as last synced
    std::optional<exchange::Contact> base; // the contact's fields as last synced
    QByteArray foreign;                   // the card's properties with no field here (CR LF between them)
    bool group = false;                   // a group card of another client: never a contact here, never deleted
    QByteArray carried;                   // properties of cards merged into this one here, not yet on the server
};

struct LocalContact
{
    qint64 id = 0;
    exchange::Contact contact;
};

// The contacts and the sync state as read at the start of a pass.
struct LocalSnapshot
{
    QList<LocalContact> contacts;
    QHash<qint64, qsizetype> contactIndex; // HomeAd.ID -> index in contacts
    QList<CardState> states;
    QHash<QString, qsizetype> stateByHref;
    QHash<qint64, qsizetype> stateByContact;
};

// One change to the table, to be applied with the others in one transaction.
struct LocalChange
{
    enum class Kind { Insert, Update, Delete };
    Kind kind = Kind::Update;
    qint64 contactId = 0;                   // Update, Delete
    std::optional<exchange::Contact> expected; // Update, Delete: the row as read; skipped when it changed since
    exchange::Contact contact;              // Insert, Update
    QString stateHref;                      // Insert: the card whose state takes the new ID
};

// The side table in the contact database: created on first use, with a trigger that unlinks a card from a
// contact deleted by any tool (so an ID used again is never taken for the old contact).
class SyncStore
{
public:
    explicit SyncStore(sqlite3* db);

    void ensureSchema();
    [[nodiscard]] QString meta(const QString& key) const;

    [[nodiscard]] LocalSnapshot read() const;

    // In one transaction: claims hrefs for contacts that have none yet (written before any network exchange,
    // so that a pass cut off after sending never sends the same contact twice under two names).
    void addPending(const QList<CardState>& states);
    // In one transaction, before a card is sent again under a new name (its old one was deleted on the server):
    // the new name takes the place of the old, so that a pass cut off after the PUT finds the card it sent
    // instead of sending it a second time.
    void claim(const CardState& state, const QString& replacedHref);
    // Forgets every card (another address book was chosen).
    void reset(const QString& collection);

    struct Pass
    {
        QList<LocalChange> changes;
        QList<CardState> states;        // written (inserted or replaced) by href
        QList<QString> forgotten;       // hrefs whose state goes
        std::optional<QByteArray> token; // the new sync token, when the pass saw every change
    };
    // Applies a pass in one transaction; returns how many changes were skipped because the row changed meanwhile.
    int apply(const Pass& pass);

private:
    void exec(const char* sql) const;
    void setMeta(const QString& key, const QString& value);
    void writeState(const CardState& s);
    sqlite3* m_db;
};

// What a merge of contacts did to the sync state, so that undoing the merge can put it back.
struct MergeCarry
{
    QString keptHref;                          // empty: the book was never synced, nothing was done
    bool keptAdded = false;                    // the kept contact had no card yet: one was made for it
    QByteArray carriedBefore, carriedAfter;    // the kept card's carried properties
    QList<std::pair<qint64, QString>> away;    // the contacts merged away and their cards
};

// Called in the merge's transaction before the other contacts are deleted: the kept contact's card takes over the
// properties with no field here (photos, further numbers, URLs...) of their cards, and the next sync writes them
// on it (and deletes the other cards as it deletes any card of a deleted contact). Nothing happens in a book that
// was never synced.
[[nodiscard]] MergeCarry carryOnMerge(sqlite3* db, qint64 keptId, const QList<qint64>& otherIds);
// After the merge was undone and the contacts came back (old key -> key now), while no sync ran in between: the
// cards belong to them again, and the kept card carries nothing of theirs.
void undoCarry(sqlite3* db, const MergeCarry& carry, const QHash<qint64, qint64>& restored);

} // namespace sharing

#pragma once

#include "sync/SyncState.h"

#include <QList>
#include <QMap>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

struct sqlite3;

// Contacts that are probably one person, and merging them without losing a value. Pairs are only compared within
// blocks that share a key (an e-mail address, the last nine digits of a phone, a name with its first initial), never
// all pairs. An address or number that more than kCommonKey contacts share (a switchboard, a family's address) is
// no evidence on its own. Every member of a group matches the group's first contact directly: two contacts are never
// put together because each looks like a third one of another group.
namespace search::duplicates {

struct Person
{
    qint64 id = 0;
    QString surname, firstname, email, postcode, town;
    QStringList phones; // Tel, Cell, Work Tel as stored
};

inline constexpr int kCommonKey = 5;

struct Group
{
    QList<qint64> ids;   // the lowest key first
    QStringList reasons; // per contact: how it matches the first ("same e-mail", "same phone", "same name"); the
                         // first contact gives the second one's
    QList<bool> sure;    // per contact: it matches the first by name as well as by a phone, e-mail or post code
};

// The reason two people are probably one, or empty when they are not.
[[nodiscard]] QString sameReason(const Person& a, const Person& b);

// The groups among the people, skipping the pairs in notSame (lower key first). Groups by their lowest key, each
// contact in one group at most: the group of the lowest key it matches that is not itself in an earlier group.
[[nodiscard]] QList<Group> findGroups(const QList<Person>& people, const QSet<QPair<qint64, qint64>>& notSame = {});

// Over the contact table: reads the people and the remembered "not the same person" pairs.
[[nodiscard]] QList<Group> findGroups(sqlite3* db);
// Remembers that two contacts are not the same person (in a side table of the file).
void rememberNotSame(sqlite3* db, qint64 a, qint64 b);

// What a merge changed, to undo it.
struct MergeUndo
{
    qint64 keptId = 0;
    QMap<QString, QString> keptBefore; // stored field -> value before the merge
    QList<qint64> deletedEntries;       // the recently-deleted entries of the contacts merged away
    QList<qint64> deletedIds;           // the keys those contacts had, entry by entry
    sharing::MergeCarry shared;         // what the merge did to the shared address book's state
};

// Keeps keptId with the chosen values (stored field -> value; a field not given keeps the kept contact's value, or
// takes the first other contact's where the kept one has none),
// deletes the others and writes every value of every contact that was not kept into the kept contact's Notes as
// "Merged from NAME: Field = value". With a shared address book, the kept contact's card takes over the properties
// of the others' cards that have no field here, for the next sync to write. One transaction. Throws AppError.
MergeUndo merge(sqlite3* db, qint64 keptId, const QList<qint64>& otherIds, const QMap<QString, QString>& chosen);
void undoMerge(sqlite3* db, const MergeUndo& undo);

// The surname and first name of each contact, in the order given; empty for one no longer there. One statement
// for them all: a group list names many contacts.
[[nodiscard]] QList<QPair<QString, QString>> namesOf(sqlite3* db, const QList<qint64>& ids);

// The stored fields of a contact.
[[nodiscard]] QMap<QString, QString> contactValues(sqlite3* db, qint64 id);

} // namespace search::duplicates

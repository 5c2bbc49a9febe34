#pragma once

#include "exchange/ContactFields.h"
#include "sync/CardDavClient.h"

#include <QDate>
#include <QStringList>
#include <functional>

struct sqlite3;

namespace sharing {

struct SyncOptions
{
    bool useSyncCollection = true; // false: always the full listing by ETag
    int fetchBatch = 100;          // cards per addressbook-multiget
    int parallel = 4;              // requests in flight while sending
    int sendsPerPass = 1000;       // a long first upload is applied (and resumable) in passes of this size
    QDate today = {};              // the date in conflict notes; invalid: the clock's
};

struct SyncSummary
{
    int sent = 0;      // cards written to the server
    int received = 0;  // contacts added or changed here from the server
    int deleted = 0;   // contacts deleted here, and cards deleted on the server
    int conflicts = 0; // contacts changed in the same field on both sides
    int skipped = 0;   // contacts edited here while the pass ran: taken up by the next sync
    QStringList errors; // requests or cards that failed; the rest of the sync went ahead

    // "12 sent, 3 received, 1 deleted, 0 conflicts"
    [[nodiscard]] QString line() const;
};

// Field-by-field merge of a contact changed on both sides since `base`: a field changed on one side takes that
// side's value; a field changed on both keeps the local value, and the other is added to Notes as
// "Changed elsewhere on DATE: Field = value" (or "(cleared)"). Returns how many fields clashed.
int mergeContacts(const exchange::Contact& base, const exchange::Contact& local, const exchange::Contact& remote,
                  const QDate& date, exchange::Contact& merged);

// Two-way sync of the HomeAd table with one CardDAV address book. Each pass reads the table, exchanges
// with the server (no transaction open meanwhile), then applies everything it learnt in one transaction.
// A failure that stops a pass (no answer, cancel) applies nothing of that pass: the table stays as it
// was, and the next sync resumes, since cards are matched by content as well as by ETag.
class SyncEngine
{
public:
    SyncEngine(sqlite3* db, CardDavClient& client, SyncOptions options = {});

    // Runs passes until nothing is left to send. Throws platform::AppError when a pass cannot be finished.
    SyncSummary run();

    // Work done and the whole of the current pass, and what is under way.
    std::function<void(qint64 done, qint64 total, const QString& what)> progress;

private:
    class Pass; // one pass's steps and state (SyncEngine.cpp)
    void report(qint64 done, qint64 total, const QString& what) const;
    // The server's token after our own writes of a pass, when nothing but those happened since `before`;
    // empty otherwise.
    [[nodiscard]] QByteArray tokenAfter(const QByteArray& before, const QHash<QString, QByteArray>& written);

    sqlite3* m_db;
    CardDavClient& m_client;
    SyncOptions m_options;
};

} // namespace sharing

#include "sync/SyncEngine.h"

#include "platform/AppError.h"
#include "sync/SyncCard.h"
#include "sync/SyncState.h"

#include <QSet>
#include <QUuid>

namespace sharing {

using exchange::Contact;
using exchange::Field;

QString SyncSummary::line() const
{
    return QStringLiteral("%1 sent, %2 received, %3 deleted, %4 conflicts").arg(sent).arg(received).arg(deleted).arg(conflicts);
}

int mergeContacts(const Contact& base, const Contact& local, const Contact& remote, const QDate& date, Contact& merged)
{
    merged = local;
    QStringList notes;
    for (int i = 0; i < exchange::FieldCount; ++i) {
        const auto f = static_cast<Field>(i);
        const QString& l = local[f];
        const QString& r = remote[f];
        const QString& b = base[f];
        if (l == r || r == b)
            continue;
        if (l == b) {
            merged[f] = r;
            continue;
        }
        notes << QStringLiteral("Changed elsewhere on %1: %2 = %3")
                     .arg(date.toString(Qt::ISODate), exchange::fieldName(f), r.isEmpty() ? QStringLiteral("(cleared)") : r);
    }
    for (const QString& note : notes) {
        QString& n = merged[Field::Notes];
        n += (n.isEmpty() || n.endsWith(QLatin1Char('\n')) ? QString() : QStringLiteral("\n")) + note;
    }
    return int(notes.size());
}

namespace {

QByteArray newUid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUtf8();
}

// A card to write: the kept state's card with the contact put in, or a new one.
SyncCard cardFor(const CardState& st, const Contact& contact)
{
    SyncCard card;
    if (!st.card.isEmpty()) {
        try {
            card = parseCard(st.card);
        } catch (const platform::AppError&) {
            card = SyncCard();
        }
    }
    card.contact = contact;
    if (card.uid.isEmpty())
        card.uid = st.uid;
    return card;
}

struct Upload
{
    enum class Kind { Put, Delete };
    Kind kind = Kind::Put;
    CardState state;       // the card's state before: href, contact, ETag
    SyncCard card;         // Put: what is sent
    QByteArray bytes;      // Put: the card as text
    bool create = false;   // Put: If-None-Match: * (a new card); otherwise If-Match
    QByteArray ifMatch;
    Contact localBefore;   // the contact as read at the start of the pass
    bool retried = false;
};

// Whether the card on the server is still the one last synced: every property, not only those with a field here.
bool sameCard(const QByteArray& kept, const SyncCard& now)
{
    if (kept.isEmpty())
        return false;
    try {
        return parseCard(kept).sameContent(now);
    } catch (const platform::AppError&) {
        return false;
    }
}

QString nameOf(const Contact& c, const QString& href)
{
    const QString name = c.displayName();
    return name.isEmpty() ? href : QStringLiteral("\"%1\"").arg(name);
}

} // namespace

SyncEngine::SyncEngine(sqlite3* db, CardDavClient& client, SyncOptions options)
    : m_db(db), m_client(client), m_options(std::move(options))
{
    if (!m_options.today.isValid())
        m_options.today = QDate::currentDate();
}

void SyncEngine::report(qint64 done, qint64 total, const QString& what) const
{
    if (progress)
        progress(done, total, what);
}

SyncSummary SyncEngine::run()
{
    SyncStore store(m_db);
    store.ensureSchema();
    const QString key = m_client.collection().toString(QUrl::RemoveUserInfo | QUrl::StripTrailingSlash);
    if (store.meta(QStringLiteral("Collection")) != key)
        store.reset(key); // another address book: none of the kept cards belong to it
    SyncSummary summary;
    for (int pass = 0; pass < 10000; ++pass) {
        if (!runPass(summary))
            break;
    }
    return summary;
}

bool SyncEngine::runPass(SyncSummary& summary)
{
    SyncStore store(m_db);
    LocalSnapshot snap = store.read();
    const QString folder = m_client.collectionPath();

    // Contacts never synced get their name on the server before anything is sent.
    QList<CardState> pending;
    for (const LocalContact& lc : snap.contacts) {
        if (snap.stateByContact.contains(lc.id))
            continue;
        CardState st;
        st.contactId = lc.id;
        st.uid = newUid();
        st.href = folder + QString::fromUtf8(st.uid) + QStringLiteral(".vcf");
        pending << st;
    }
    store.addPending(pending);
    for (const CardState& st : pending) {
        snap.stateByHref.insert(st.href, snap.states.size());
        snap.stateByContact.insert(st.contactId, snap.states.size());
        snap.states << st;
    }
    auto stateOf = [&](const QString& href) -> const CardState* {
        const auto it = snap.stateByHref.constFind(href);
        return it == snap.stateByHref.constEnd() ? nullptr : &snap.states[*it];
    };
    auto localOf = [&](const CardState& st) -> const LocalContact* {
        if (!st.contactId)
            return nullptr;
        const auto it = snap.contactIndex.constFind(st.contactId);
        return it == snap.contactIndex.constEnd() ? nullptr : &snap.contacts[*it];
    };

    // What changed on the server.
    report(0, 0, QStringLiteral("Asking the server for changes"));
    QHash<QString, QByteArray> changed;
    QList<QString> removed;
    std::optional<QByteArray> newToken;
    bool complete = true;
    std::optional<ServerChanges> sc;
    if (m_options.useSyncCollection) {
        const QByteArray token = store.meta(QStringLiteral("SyncToken")).toUtf8();
        sc = m_client.syncCollection(token);
        bool full = token.isEmpty();
        if (!sc && !token.isEmpty()) {
            sc = m_client.syncCollection({}); // the token was refused: everything, with a new token
            full = true;
        }
        if (sc) {
            newToken = sc->token;
            removed = sc->removed;
            for (auto it = sc->changed.constBegin(); it != sc->changed.constEnd(); ++it) {
                const CardState* st = stateOf(it.key());
                if (!st || !st->onServer || it.value().isEmpty() || st->etag != it.value())
                    changed.insert(it.key(), it.value());
            }
            if (full) {
                for (const CardState& st : snap.states) {
                    if (st.onServer && !sc->changed.contains(st.href))
                        removed << st.href;
                }
            }
        }
    }
    if (!sc) {
        const QHash<QString, QByteArray> listing = m_client.listCards();
        for (auto it = listing.constBegin(); it != listing.constEnd(); ++it) {
            const CardState* st = stateOf(it.key());
            if (!st || !st->onServer || it.value().isEmpty() || st->etag != it.value())
                changed.insert(it.key(), it.value());
        }
        for (const CardState& st : snap.states) {
            if (st.onServer && !listing.contains(st.href))
                removed << st.href;
        }
    }

    // Fetch the changed cards in batches.
    struct Remote
    {
        QByteArray etag;
        QByteArray data;
        SyncCard card;
    };
    QHash<QString, Remote> remote;
    const QList<QString> toFetch = changed.keys();
    QSet<QString> gone; // hrefs a fetch answered with 404
    auto fetch = [&](const QList<QString>& hrefs, qint64 doneBefore, qint64 total) {
        QHash<QString, Remote> got;
        for (qsizetype i = 0; i < hrefs.size(); i += m_options.fetchBatch) {
            const QList<QString> batch = hrefs.mid(i, m_options.fetchBatch);
            report(doneBefore + i, total, QStringLiteral("Receiving cards"));
            QSet<QString> answered;
            for (const DavResource& res : m_client.multiget(batch)) {
                answered.insert(res.href);
                if (res.status == 404) {
                    removed << res.href;
                    gone.insert(res.href);
                    continue;
                }
                if (res.status != 200)
                    continue;
                try {
                    got.insert(res.href, Remote{res.etag, res.addressData, parseCard(res.addressData)});
                } catch (const platform::AppError& e) {
                    summary.errors << QStringLiteral("The card %1 cannot be read: %2").arg(res.href, e.message());
                    complete = false;
                }
            }
            for (const QString& href : batch) {
                if (!answered.contains(href)) {
                    summary.errors << QStringLiteral("The server did not send the card %1").arg(href);
                    complete = false;
                }
            }
        }
        return got;
    };
    remote = fetch(toFetch, 0, toFetch.size());

    SyncStore::Pass pass;
    QList<Upload> uploads;
    QSet<QString> handled;
    int sends = 0;
    bool more = false;

    auto stateAfterFetch = [](const CardState& st, const QString& href, const Remote& r) {
        CardState s = st;
        s.href = href;
        s.etag = r.etag;
        s.onServer = true;
        s.card = r.data;
        s.uid = r.card.uid.isEmpty() ? st.uid : r.card.uid;
        s.base = r.card.contact;
        s.foreign = joinLines(r.card.foreign);
        s.group = r.card.group;
        if (s.group)
            s.contactId = 0; // a group is never a contact here (one that was a person stays, as a contact of ours)
        return s;
    };
    auto put = [&](const CardState& st, const SyncCard& card, bool create, const QByteArray& ifMatch,
                   const Contact& localBefore) {
        Upload u;
        u.kind = Upload::Kind::Put;
        u.state = st;
        u.card = card;
        addProperties(u.card, splitLines(st.carried)); // what merged contacts' cards held goes on with this one
        u.bytes = composeCard(u.card);
        u.create = create;
        u.ifMatch = ifMatch;
        u.localBefore = localBefore;
        uploads << u;
        ++sends;
    };
    auto insertLocal = [&](const QString& href, const Contact& c) {
        LocalChange ch;
        ch.kind = LocalChange::Kind::Insert;
        ch.contact = c;
        ch.stateHref = href;
        pass.changes << ch;
    };
    auto updateLocal = [&](const LocalContact& lc, const Contact& c, const QString& href) {
        if (lc.contact == c)
            return;
        LocalChange ch;
        ch.kind = LocalChange::Kind::Update;
        ch.contactId = lc.id;
        ch.expected = lc.contact;
        ch.contact = c;
        ch.stateHref = href;
        pass.changes << ch;
    };

    // Cards that changed on the server.
    for (auto it = remote.constBegin(); it != remote.constEnd(); ++it) {
        const QString& href = it.key();
        const Remote& r = it.value();
        const CardState* st = stateOf(href);
        handled.insert(href);
        if (r.card.group) {
            // Another client's group: remembered, so that it is not fetched again, and otherwise left alone.
            pass.states << stateAfterFetch(st ? *st : CardState(), href, r);
            continue;
        }
        if (!st) {
            CardState s = stateAfterFetch(CardState(), href, r);
            insertLocal(href, r.card.contact);
            pass.states << s;
            ++summary.received;
            continue;
        }
        CardState s = stateAfterFetch(*st, href, r);
        const LocalContact* lc = localOf(*st);
        const Contact base = st->base.value_or(Contact());
        if (!lc) {
            // Deleted here. Unchanged there (only its ETag moved): the deletion goes ahead; changed there in any
            // property, even one with no field here: it is kept with its changes.
            if (sameCard(st->card, r.card)) {
                Upload u;
                u.kind = Upload::Kind::Delete;
                u.state = s;
                u.ifMatch = r.etag;
                uploads << u;
                ++sends;
            } else {
                s.contactId = 0;
                insertLocal(href, r.card.contact);
                pass.states << s;
                ++summary.received;
                ++summary.conflicts;
            }
            continue;
        }
        if (lc->contact == r.card.contact) {
            pass.states << s; // same content both sides (an echo of our own card, or a server's rewrite)
            if (!s.carried.isEmpty())
                put(s, r.card, false, r.etag, lc->contact);
            continue;
        }
        const bool localChanged = !st->base || lc->contact != base;
        const bool remoteChanged = !st->base || r.card.contact != base;
        if (!localChanged) {
            updateLocal(*lc, r.card.contact, href);
            pass.states << s;
            ++summary.received;
            if (!s.carried.isEmpty())
                put(s, r.card, false, r.etag, r.card.contact);
        } else if (!remoteChanged) {
            pass.states << s;
            SyncCard card = r.card;
            card.contact = lc->contact;
            put(s, card, false, r.etag, lc->contact);
        } else {
            Contact merged;
            if (mergeContacts(base, lc->contact, r.card.contact, m_options.today, merged) > 0)
                ++summary.conflicts;
            updateLocal(*lc, merged, href);
            pass.states << s;
            ++summary.received;
            if (merged != r.card.contact || !s.carried.isEmpty()) {
                SyncCard card = r.card;
                card.contact = merged;
                put(s, card, false, r.etag, merged);
            }
        }
    }

    // Cards deleted on the server.
    for (const QString& href : removed) {
        const CardState* st = stateOf(href);
        if (!st || handled.contains(href) || !st->onServer)
            continue;
        handled.insert(href);
        const LocalContact* lc = localOf(*st);
        pass.forgotten << href;
        if (!lc)
            continue;
        if (st->base && lc->contact == *st->base) {
            LocalChange ch;
            ch.kind = LocalChange::Kind::Delete;
            ch.contactId = lc->id;
            ch.expected = lc->contact;
            ch.stateHref = href;
            pass.changes << ch;
            ++summary.deleted;
        } else {
            // Changed here: kept, and sent again as a new card.
            CardState s;
            s.contactId = lc->id;
            s.uid = newUid();
            s.href = folder + QString::fromUtf8(s.uid) + QStringLiteral(".vcf");
            s.carried = st->carried;
            pass.states << s;
            SyncCard card = cardFor(*st, lc->contact);
            card.uid = s.uid;
            put(s, card, true, {}, lc->contact);
        }
    }

    // What changed here only.
    for (const CardState& st : snap.states) {
        if (st.group || handled.contains(st.href))
            continue;
        if (sends >= m_options.sendsPerPass) {
            more = true;
            break;
        }
        const LocalContact* lc = localOf(st);
        if (!lc) {
            if (st.onServer) {
                Upload u;
                u.kind = Upload::Kind::Delete;
                u.state = st;
                u.ifMatch = st.etag;
                uploads << u;
                ++sends;
            } else {
                pass.forgotten << st.href;
            }
        } else if (!st.onServer) {
            put(st, cardFor(st, lc->contact), true, {}, lc->contact);
        } else if (!st.base || lc->contact != *st.base || !st.carried.isEmpty()) {
            put(st, cardFor(st, lc->contact), false, st.etag, lc->contact);
        }
    }

    // Send, with up to `parallel` requests in flight; a 412 is fetched, merged and sent once more.
    qint64 done = toFetch.size();
    const qint64 total = toFetch.size() + uploads.size();
    bool stopped = false;
    QString stopReason;
    QHash<QString, QByteArray> written; // href -> ETag of what we wrote; empty for a deletion or no ETag given
    QList<Upload> round = uploads;
    for (int attempt = 0; attempt < 3 && !round.isEmpty() && !stopped; ++attempt) {
        QList<Request> requests;
        for (const Upload& u : round) {
            Request req;
            req.href = u.state.href;
            if (u.kind == Upload::Kind::Put) {
                req.method = "PUT";
                req.body = u.bytes;
                req.headers << std::pair<QByteArray, QByteArray>("Content-Type", "text/vcard; charset=utf-8");
                req.headers << (u.create ? std::pair<QByteArray, QByteArray>("If-None-Match", "*")
                                         : std::pair<QByteArray, QByteArray>("If-Match", u.ifMatch));
                req.what = QStringLiteral("sending %1").arg(nameOf(u.card.contact, u.state.href));
            } else {
                req.method = "DELETE";
                if (!u.ifMatch.isEmpty())
                    req.headers << std::pair<QByteArray, QByteArray>("If-Match", u.ifMatch);
                req.what = QStringLiteral("deleting %1").arg(u.state.href);
            }
            requests << req;
        }
        QList<Response> responses(requests.size());
        m_client.sendAll(requests, m_options.parallel, [&](qsizetype i, const Response& r) {
            responses[i] = r;
            report(++done, total, QStringLiteral("Sending changes"));
        });
        QList<Upload> conflicted;
        for (qsizetype i = 0; i < round.size(); ++i) {
            const Upload& u = round[i];
            const Response& r = responses[i];
            if (r.status == 0) {
                stopped = true;
                stopReason = CardDavClient::describe(r, requests[i].what);
                break;
            }
            if (u.kind == Upload::Kind::Put && r.ok()) {
                CardState s = u.state;
                s.etag = r.etag;
                s.onServer = true;
                s.card = u.bytes;
                s.uid = u.card.uid;
                s.base = u.card.contact;
                s.foreign = joinLines(u.card.foreign);
                s.carried.clear(); // on the server now
                pass.states << s;
                written.insert(s.href, r.etag);
                ++summary.sent;
            } else if (u.kind == Upload::Kind::Delete && (r.ok() || r.status == 404 || r.status == 410)) {
                pass.forgotten << u.state.href;
                written.insert(u.state.href, {});
                ++summary.deleted;
            } else if (r.status == 412 && !u.retried) {
                conflicted << u;
            } else if (r.status == 412) {
                summary.errors << QStringLiteral("%1 was changed on the server again meanwhile; the next sync takes it up")
                                      .arg(nameOf(u.card.contact, u.state.href));
                complete = false;
            } else {
                summary.errors << CardDavClient::describe(r, requests[i].what);
            }
        }
        if (stopped)
            break;
        round.clear();
        if (conflicted.isEmpty())
            break;
        // Someone changed, made or deleted the card since we last saw it: settled now with what is there.
        QList<QString> hrefs;
        for (const Upload& u : conflicted)
            hrefs << u.state.href;
        gone.clear();
        const QHash<QString, Remote> now = fetch(hrefs, done, total);
        for (Upload u : conflicted) {
            const LocalContact* lc = localOf(u.state);
            const auto it = now.constFind(u.state.href);
            if (it == now.constEnd()) {
                if (!gone.contains(u.state.href))
                    continue; // not answered: listed among the errors, and the token stays
                pass.forgotten << u.state.href;
                if (u.kind == Upload::Kind::Delete)
                    continue; // deleted on both sides
                // Deleted there, changed here: kept, and sent again as a new card.
                CardState s;
                s.contactId = u.state.contactId;
                s.uid = newUid();
                s.href = folder + QString::fromUtf8(s.uid) + QStringLiteral(".vcf");
                s.carried = u.state.carried;
                pass.states << s;
                u.card.uid = s.uid;
                u.bytes = composeCard(u.card);
                u.create = true;
                u.ifMatch.clear();
                u.retried = true;
                u.state = s;
                round << u;
                continue;
            }
            const Remote& r = *it;
            CardState s = stateAfterFetch(u.state, u.state.href, r);
            if (s.group) {
                pass.states << s;
                continue;
            }
            if (u.kind == Upload::Kind::Delete) {
                if (sameCard(u.state.card, r.card)) {
                    u.ifMatch = r.etag; // only its ETag moved: the deletion goes ahead
                    u.retried = true;
                    round << u;
                    continue;
                }
                // Deleted here, changed there: kept with its changes.
                s.contactId = 0;
                insertLocal(u.state.href, r.card.contact);
                pass.states << s;
                ++summary.received;
                ++summary.conflicts;
                continue;
            }
            const Contact base = u.state.base.value_or(Contact());
            Contact merged;
            if (mergeContacts(base, u.card.contact, r.card.contact, m_options.today, merged) > 0)
                ++summary.conflicts;
            if (lc)
                updateLocal(*lc, merged, u.state.href);
            pass.states << s;
            if (merged != r.card.contact || !s.carried.isEmpty()) {
                SyncCard card = r.card;
                card.contact = merged;
                addProperties(card, splitLines(s.carried));
                u.card = card;
                u.bytes = composeCard(card);
                u.create = false;
                u.ifMatch = r.etag;
                u.retried = true;
                u.state = s;
                round << u;
            } else if (merged != u.localBefore) {
                ++summary.received;
            }
        }
    }
    if (stopped)
        throw platform::AppError(stopReason + QStringLiteral(". Nothing was changed here; the next sync takes up "
                                                             "where this one stopped."));
    if (complete && newToken && !written.isEmpty()) {
        // The token read before our writes may not name a card we made that someone deleted since (RFC 6578
        // allows that), so the token kept is one read after them. Anything else that changed in between makes
        // the next pass list the whole book.
        newToken = tokenAfter(*newToken, written);
        if (newToken->isEmpty())
            more = true;
    }
    if (complete)
        pass.token = newToken; // every change the server reported was taken in
    report(total, total, QStringLiteral("Saving"));
    summary.skipped += store.apply(pass);
    return more;
}

QByteArray SyncEngine::tokenAfter(const QByteArray& before, const QHash<QString, QByteArray>& written)
{
    const std::optional<ServerChanges> since = m_client.syncCollection(before);
    if (!since)
        return {};
    for (auto it = since->changed.constBegin(); it != since->changed.constEnd(); ++it) {
        const auto w = written.constFind(it.key());
        if (w == written.constEnd() || w->isEmpty() || *w != it.value())
            return {};
    }
    for (const QString& href : since->removed) {
        const auto w = written.constFind(href);
        if (w == written.constEnd() || !w->isEmpty())
            return {};
    }
    return since->token;
}

} // namespace sharing

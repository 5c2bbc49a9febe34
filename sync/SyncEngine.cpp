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

namespace {

// A value as the card and the book store it, line ends aside: the book keeps what the user typed (CR LF from the
// window), a card unfolded on the server may come back with LF.
bool sameValue(const QString& a, const QString& b)
{
    if (a == b)
        return true;
    const auto normalised = [](QString s) {
        s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        return s;
    };
    return normalised(a) == normalised(b);
}

} // namespace

int mergeContacts(const Contact& base, const Contact& local, const Contact& remote, const QDate& date, Contact& merged)
{
    merged = local;
    QStringList notes;
    for (int i = 0; i < exchange::FieldCount; ++i) {
        const auto f = static_cast<Field>(i);
        const QString& l = local[f];
        const QString& r = remote[f];
        const QString& b = base[f];
        if (sameValue(l, r) || sameValue(r, b))
            continue;
        if (sameValue(l, b)) {
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
    if (!st.uid.isEmpty())
        card.uid = st.uid; // a card restored under a new name holds the old one's UID
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

// A card as fetched from the server.
struct Remote
{
    QByteArray etag;
    QByteArray data;
    SyncCard card;
};

// The state a card takes from what was fetched of it.
CardState stateAfterFetch(const CardState& st, const QString& href, const Remote& r)
{
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
}

// The PUT (If-None-Match: * for a new card, If-Match otherwise) or DELETE for an upload.
Request requestFor(const Upload& u)
{
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
    return req;
}

} // namespace

// One pass, step by step: ask the server what changed, fetch those cards, reconcile them with the table, send
// what goes the other way, and apply what was learnt in one transaction. Nothing is written to the table
// between reading it and applying the pass (but the hrefs claimed for new contacts).
class SyncEngine::Pass
{
public:
    Pass(SyncEngine& engine, SyncSummary& summary);

    // True when cards are left to send in another pass.
    bool run();

private:
    void claimNewContacts();
    void askChanges();
    bool askSyncCollection();
    void noteChanged(const QHash<QString, QByteArray>& etags);
    void noteMissing(const QHash<QString, QByteArray>& present);
    QHash<QString, Remote> fetch(const QList<QString>& hrefs, qint64 doneBefore, qint64 total);
    void reconcileChanged(const QString& href, const Remote& r);
    void reconcileRemoved();
    void reconcileLocal();
    void send();
    QList<Upload> sendRound(const QList<Upload>& round);
    QList<Upload> settleConflicts(const QList<Upload>& conflicted);
    void finish();

    [[nodiscard]] const CardState* stateOf(const QString& href) const;
    [[nodiscard]] const LocalContact* localOf(const CardState& st) const;
    [[nodiscard]] CardState newCard(qint64 contactId) const;
    void put(const CardState& st, const SyncCard& card, bool create, const QByteArray& ifMatch,
             const Contact& localBefore);
    void remove(const CardState& st, const QByteArray& ifMatch);
    void claimResend(Upload& u, const QString& replacedHref);
    void adoptLocal(const CardState& st, const Contact& c);
    void insertLocal(const QString& href, const Contact& c);
    void updateLocal(const LocalContact& lc, const Contact& c, const QString& href);

    SyncEngine& m_engine;
    SyncSummary& m_summary;
    SyncStore m_store;
    LocalSnapshot m_snap;
    QString m_folder;

    QHash<QString, QByteArray> m_changed; // cards to fetch: href -> ETag on the server
    QList<QString> m_removed;             // cards no longer on the server
    std::optional<QByteArray> m_newToken;
    bool m_complete = true; // every change the server reported was taken in: the token may be kept
    QHash<QString, Remote> m_remote;
    QSet<QString> m_gone; // hrefs the last fetch answered with 404

    SyncStore::Pass m_apply; // what the pass writes to the table
    QList<Upload> m_uploads;
    QSet<QString> m_handled; // hrefs settled by what the server said
    int m_sends = 0;
    bool m_more = false;

    qint64 m_done = 0;
    qint64 m_total = 0;
    QHash<QString, QByteArray> m_written; // href -> ETag of what we wrote; empty for a deletion or no ETag given
};

SyncEngine::Pass::Pass(SyncEngine& engine, SyncSummary& summary)
    : m_engine(engine), m_summary(summary), m_store(engine.m_db), m_snap(m_store.read()),
      m_folder(engine.m_client.collectionPath())
{
}

bool SyncEngine::Pass::run()
{
    claimNewContacts();
    askChanges();
    const QList<QString> toFetch = m_changed.keys();
    m_remote = fetch(toFetch, 0, toFetch.size());

    for (auto it = m_remote.constBegin(); it != m_remote.constEnd(); ++it)
        reconcileChanged(it.key(), it.value());
    reconcileRemoved();
    reconcileLocal();

    m_done = toFetch.size();
    m_total = toFetch.size() + m_uploads.size();
    send();
    finish();
    return m_more;
}

const CardState* SyncEngine::Pass::stateOf(const QString& href) const
{
    const auto it = m_snap.stateByHref.constFind(href);
    return it == m_snap.stateByHref.constEnd() ? nullptr : &m_snap.states[*it];
}

const LocalContact* SyncEngine::Pass::localOf(const CardState& st) const
{
    if (!st.contactId)
        return nullptr;
    const auto it = m_snap.contactIndex.constFind(st.contactId);
    return it == m_snap.contactIndex.constEnd() ? nullptr : &m_snap.contacts[*it];
}

// A card not yet on the server, under a name of its own.
CardState SyncEngine::Pass::newCard(qint64 contactId) const
{
    CardState st;
    st.contactId = contactId;
    st.uid = newUid();
    st.href = m_folder + QString::fromUtf8(st.uid) + QStringLiteral(".vcf");
    return st;
}

void SyncEngine::Pass::put(const CardState& st, const SyncCard& card, bool create, const QByteArray& ifMatch,
                           const Contact& localBefore)
{
    Upload u;
    u.kind = Upload::Kind::Put;
    u.state = st;
    u.card = card;
    addProperties(u.card, splitLines(st.carried)); // what merged contacts' cards held goes on with this one
    u.bytes = composeCard(u.card);
    u.create = create;
    u.ifMatch = ifMatch;
    u.localBefore = localBefore;
    m_uploads << u;
    ++m_sends;
}

// A card sent again under a new name takes the old name's place in the table before it is sent: a pass cut off
// after the PUT then finds it on the server (it holds what was sent) instead of sending the contact once more.
void SyncEngine::Pass::claimResend(Upload& u, const QString& replacedHref)
{
    CardState claimed = u.state;
    claimed.onServer = false;
    claimed.card = u.bytes;
    claimed.base = u.card.contact;
    claimed.foreign = joinLines(u.card.foreign);
    m_store.claim(claimed, replacedHref);
    u.state = claimed;
    m_apply.states << claimed;
}

void SyncEngine::Pass::remove(const CardState& st, const QByteArray& ifMatch)
{
    Upload u;
    u.kind = Upload::Kind::Delete;
    u.state = st;
    u.ifMatch = ifMatch;
    m_uploads << u;
    ++m_sends;
}

void SyncEngine::Pass::insertLocal(const QString& href, const Contact& c)
{
    LocalChange ch;
    ch.kind = LocalChange::Kind::Insert;
    ch.contact = c;
    ch.stateHref = href;
    m_apply.changes << ch;
}

void SyncEngine::Pass::updateLocal(const LocalContact& lc, const Contact& c, const QString& href)
{
    if (lc.contact == c)
        return;
    LocalChange ch;
    ch.kind = LocalChange::Kind::Update;
    ch.contactId = lc.id;
    ch.expected = lc.contact;
    ch.contact = c;
    ch.stateHref = href;
    m_apply.changes << ch;
}

// The contact here becomes `c`, in place of any change the pass already makes to it.
void SyncEngine::Pass::adoptLocal(const CardState& st, const Contact& c)
{
    for (LocalChange& ch : m_apply.changes) {
        if (ch.kind == LocalChange::Kind::Update && ch.contactId == st.contactId) {
            ch.contact = c;
            return;
        }
    }
    if (const LocalContact* lc = localOf(st))
        updateLocal(*lc, c, st.href);
}

// Contacts never synced get their name on the server before anything is sent.
void SyncEngine::Pass::claimNewContacts()
{
    QList<CardState> pending;
    for (const LocalContact& lc : m_snap.contacts) {
        if (!m_snap.stateByContact.contains(lc.id))
            pending << newCard(lc.id);
    }
    m_store.addPending(pending);
    for (const CardState& st : pending) {
        m_snap.stateByHref.insert(st.href, m_snap.states.size());
        m_snap.stateByContact.insert(st.contactId, m_snap.states.size());
        m_snap.states << st;
    }
}

// What changed on the server: by sync-collection where the server offers it, else from the full listing.
void SyncEngine::Pass::askChanges()
{
    m_engine.report(0, 0, QStringLiteral("Asking the server for changes"));
    if (m_engine.m_options.useSyncCollection && askSyncCollection())
        return;
    const QHash<QString, QByteArray> listing = m_engine.m_client.listCards();
    noteChanged(listing);
    noteMissing(listing);
}

// False when the server offers no sync-collection (or refused even an empty token).
bool SyncEngine::Pass::askSyncCollection()
{
    CardDavClient& client = m_engine.m_client;
    const QByteArray token = m_store.meta(QStringLiteral("SyncToken")).toUtf8();
    std::optional<ServerChanges> sc = client.syncCollection(token);
    bool full = token.isEmpty();
    if (!sc && !token.isEmpty()) {
        sc = client.syncCollection({}); // the token was refused: everything, with a new token
        full = true;
    }
    if (!sc)
        return false;
    m_newToken = sc->token;
    m_removed = sc->removed;
    noteChanged(sc->changed);
    if (full)
        noteMissing(sc->changed);
    return true;
}

// Cards whose ETag differs from the one kept (or that are new to us) are to be fetched.
void SyncEngine::Pass::noteChanged(const QHash<QString, QByteArray>& etags)
{
    for (auto it = etags.constBegin(); it != etags.constEnd(); ++it) {
        const CardState* st = stateOf(it.key());
        if (!st || !st->onServer || it.value().isEmpty() || st->etag != it.value())
            m_changed.insert(it.key(), it.value());
    }
}

// From a list of everything on the server: the cards we had there and it no longer has.
void SyncEngine::Pass::noteMissing(const QHash<QString, QByteArray>& present)
{
    for (const CardState& st : m_snap.states) {
        if (st.onServer && !present.contains(st.href))
            m_removed << st.href;
    }
}

// Fetches cards in addressbook-multiget batches. A card the server no longer has counts as removed; one it does
// not send or that cannot be read is an error, and keeps the token so that the next sync asks again.
QHash<QString, Remote> SyncEngine::Pass::fetch(const QList<QString>& hrefs, qint64 doneBefore, qint64 total)
{
    const int batchSize = m_engine.m_options.fetchBatch;
    QHash<QString, Remote> got;
    for (qsizetype i = 0; i < hrefs.size(); i += batchSize) {
        const QList<QString> batch = hrefs.mid(i, batchSize);
        m_engine.report(doneBefore + i, total, QStringLiteral("Receiving cards"));
        QSet<QString> answered;
        for (const DavResource& res : m_engine.m_client.multiget(batch)) {
            answered.insert(res.href);
            if (res.status == 404) {
                m_removed << res.href;
                m_gone.insert(res.href);
                continue;
            }
            if (res.status != 200)
                continue;
            try {
                got.insert(res.href, Remote{res.etag, res.addressData, parseCard(res.addressData)});
            } catch (const platform::AppError& e) {
                m_summary.errors << QStringLiteral("The card %1 cannot be read: %2").arg(res.href, e.message());
                m_complete = false;
            }
        }
        for (const QString& href : batch) {
            if (!answered.contains(href)) {
                m_summary.errors << QStringLiteral("The server did not send the card %1").arg(href);
                m_complete = false;
            }
        }
    }
    return got;
}

// A card that changed on the server, against its contact here and the contact as last synced.
void SyncEngine::Pass::reconcileChanged(const QString& href, const Remote& r)
{
    const CardState* st = stateOf(href);
    m_handled.insert(href);
    if (r.card.group) {
        // Another client's group: remembered, so that it is not fetched again, and otherwise left alone.
        m_apply.states << stateAfterFetch(st ? *st : CardState(), href, r);
        return;
    }
    if (!st) {
        CardState s = stateAfterFetch(CardState(), href, r);
        insertLocal(href, r.card.contact);
        m_apply.states << s;
        ++m_summary.received;
        return;
    }
    CardState s = stateAfterFetch(*st, href, r);
    const LocalContact* lc = localOf(*st);
    const Contact base = st->base.value_or(Contact());
    if (!lc) {
        // Deleted here. Unchanged there (only its ETag moved): the deletion goes ahead; changed there in any
        // property, even one with no field here: it is kept with its changes.
        if (sameCard(st->card, r.card)) {
            remove(s, r.etag);
        } else {
            s.contactId = 0;
            insertLocal(href, r.card.contact);
            m_apply.states << s;
            ++m_summary.received;
            ++m_summary.conflicts;
        }
        return;
    }
    if (lc->contact == r.card.contact) {
        m_apply.states << s; // same content both sides (an echo of our own card, or a server's rewrite)
        if (!s.carried.isEmpty())
            put(s, r.card, false, r.etag, lc->contact);
        return;
    }
    const bool localChanged = !st->base || lc->contact != base;
    const bool remoteChanged = !st->base || r.card.contact != base;
    if (!localChanged) {
        updateLocal(*lc, r.card.contact, href);
        m_apply.states << s;
        ++m_summary.received;
        if (!s.carried.isEmpty())
            put(s, r.card, false, r.etag, r.card.contact);
    } else if (!remoteChanged) {
        m_apply.states << s;
        SyncCard card = r.card;
        card.contact = lc->contact;
        put(s, card, false, r.etag, lc->contact);
    } else {
        Contact merged;
        if (mergeContacts(base, lc->contact, r.card.contact, m_engine.m_options.today, merged) > 0)
            ++m_summary.conflicts;
        updateLocal(*lc, merged, href);
        m_apply.states << s;
        ++m_summary.received;
        if (merged != r.card.contact || !s.carried.isEmpty()) {
            SyncCard card = r.card;
            card.contact = merged;
            put(s, card, false, r.etag, merged);
        }
    }
}

// Cards deleted on the server: the contact goes too unless it was changed here since.
void SyncEngine::Pass::reconcileRemoved()
{
    for (const QString& href : m_removed) {
        const CardState* st = stateOf(href);
        if (!st || m_handled.contains(href) || !st->onServer)
            continue;
        m_handled.insert(href);
        const LocalContact* lc = localOf(*st);
        m_apply.forgotten << href;
        if (!lc)
            continue;
        if (st->base && lc->contact == *st->base) {
            LocalChange ch;
            ch.kind = LocalChange::Kind::Delete;
            ch.contactId = lc->id;
            ch.expected = lc->contact;
            ch.stateHref = href;
            m_apply.changes << ch;
            ++m_summary.deleted;
        } else {
            // Changed here: kept, and sent again as a new card.
            CardState s = newCard(lc->id);
            s.carried = st->carried;
            SyncCard card = cardFor(*st, lc->contact);
            card.uid = s.uid;
            put(s, card, true, {}, lc->contact);
            claimResend(m_uploads.last(), href);
        }
    }
}

// What changed here only, up to the sends of one pass; the rest waits for the next.
void SyncEngine::Pass::reconcileLocal()
{
    for (const CardState& st : m_snap.states) {
        if (st.group || m_handled.contains(st.href))
            continue;
        if (m_sends >= m_engine.m_options.sendsPerPass) {
            m_more = true;
            break;
        }
        const LocalContact* lc = localOf(st);
        if (!lc) {
            if (st.onServer)
                remove(st, st.etag);
            else
                m_apply.forgotten << st.href;
        } else if (!st.onServer) {
            put(st, cardFor(st, lc->contact), true, {}, lc->contact);
        } else if (!st.base || lc->contact != *st.base || !st.carried.isEmpty()) {
            put(st, cardFor(st, lc->contact), false, st.etag, lc->contact);
        }
    }
}

// Sends the uploads with up to `parallel` requests in flight; a 412 is fetched, merged and sent once more.
void SyncEngine::Pass::send()
{
    QList<Upload> round = m_uploads;
    for (int attempt = 0; attempt < 3 && !round.isEmpty(); ++attempt) {
        const QList<Upload> conflicted = sendRound(round);
        if (conflicted.isEmpty())
            break;
        round = settleConflicts(conflicted);
    }
}

// One round of requests; returns the uploads refused with 412 for the first time. A request with no answer
// stops the pass with nothing applied.
QList<Upload> SyncEngine::Pass::sendRound(const QList<Upload>& round)
{
    QList<Request> requests;
    for (const Upload& u : round)
        requests << requestFor(u);
    QList<Response> responses(requests.size());
    m_engine.m_client.sendAll(requests, m_engine.m_options.parallel, [&](qsizetype i, const Response& r) {
        responses[i] = r;
        m_engine.report(++m_done, m_total, QStringLiteral("Sending changes"));
    });
    QList<Upload> conflicted;
    for (qsizetype i = 0; i < round.size(); ++i) {
        const Upload& u = round[i];
        const Response& r = responses[i];
        if (r.status == 0)
            throw platform::AppError(CardDavClient::describe(r, requests[i].what) +
                                     QStringLiteral(". Nothing was changed here; the next sync takes up "
                                                    "where this one stopped."));
        if (u.kind == Upload::Kind::Put && r.ok()) {
            CardState s = u.state;
            s.etag = r.etag;
            s.onServer = true;
            s.card = u.bytes;
            s.uid = u.card.uid;
            s.base = u.card.contact;
            s.foreign = joinLines(u.card.foreign);
            try {
                // A value cleared here lets the next one of its kind on the card read into the field, and a value
                // fitted here has its whole value in Notes: both sides now hold the card as it reads, or the next
                // sync would clear that one too.
                const SyncCard sent = parseCard(u.bytes);
                s.foreign = joinLines(sent.foreign);
                if (sent.contact != u.card.contact && holdsWhatWasMeant(u.card, sent)) {
                    s.base = sent.contact;
                    adoptLocal(u.state, sent.contact);
                }
            } catch (const platform::AppError&) {
            }
            s.carried.clear(); // on the server now
            m_apply.states << s;
            m_written.insert(s.href, r.etag);
            ++m_summary.sent;
        } else if (u.kind == Upload::Kind::Delete && (r.ok() || r.status == 404 || r.status == 410)) {
            m_apply.forgotten << u.state.href;
            m_written.insert(u.state.href, {});
            ++m_summary.deleted;
        } else if (r.status == 412 && !u.retried) {
            conflicted << u;
        } else if (r.status == 412) {
            m_summary.errors << QStringLiteral(
                                    "%1 was changed on the server again meanwhile; the next sync takes it up")
                                    .arg(nameOf(u.card.contact, u.state.href));
            m_complete = false;
        } else {
            m_summary.errors << CardDavClient::describe(r, requests[i].what);
        }
    }
    return conflicted;
}

// Someone changed, made or deleted these cards since we last saw them: settled now with what is there.
// Returns the uploads to send once more.
QList<Upload> SyncEngine::Pass::settleConflicts(const QList<Upload>& conflicted)
{
    QList<QString> hrefs;
    for (const Upload& u : conflicted)
        hrefs << u.state.href;
    m_gone.clear();
    const QHash<QString, Remote> now = fetch(hrefs, m_done, m_total);
    QList<Upload> round;
    for (Upload u : conflicted) {
        const LocalContact* lc = localOf(u.state);
        const auto it = now.constFind(u.state.href);
        if (it == now.constEnd()) {
            if (!m_gone.contains(u.state.href))
                continue; // not answered: listed among the errors, and the token stays
            m_apply.forgotten << u.state.href;
            if (u.kind == Upload::Kind::Delete)
                continue; // deleted on both sides
            // Deleted there, changed here: kept, and sent again as a new card.
            const QString replaced = u.state.href;
            CardState s = newCard(u.state.contactId);
            s.carried = u.state.carried;
            u.card.uid = s.uid;
            u.bytes = composeCard(u.card);
            u.create = true;
            u.ifMatch.clear();
            u.retried = true;
            u.state = s;
            claimResend(u, replaced);
            round << u;
            continue;
        }
        const Remote& r = *it;
        CardState s = stateAfterFetch(u.state, u.state.href, r);
        if (s.group) {
            m_apply.states << s;
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
            m_apply.states << s;
            ++m_summary.received;
            ++m_summary.conflicts;
            continue;
        }
        const Contact base = u.state.base.value_or(Contact());
        Contact merged;
        if (mergeContacts(base, u.card.contact, r.card.contact, m_engine.m_options.today, merged) > 0)
            ++m_summary.conflicts;
        if (lc)
            updateLocal(*lc, merged, u.state.href);
        m_apply.states << s;
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
            ++m_summary.received;
        }
    }
    return round;
}

// Applies the pass in one transaction. The token is kept only when every change the server reported was
// taken in, and only when it still describes the book after our own writes.
void SyncEngine::Pass::finish()
{
    if (m_complete && m_newToken && !m_written.isEmpty()) {
        // The token read before our writes may not name a card we made that someone deleted since (RFC 6578
        // allows that), so the token kept is one read after them. Anything else that changed in between makes
        // the next pass list the whole book.
        m_newToken = m_engine.tokenAfter(*m_newToken, m_written);
        if (m_newToken->isEmpty())
            m_more = true;
    }
    if (m_complete)
        m_apply.token = m_newToken;
    m_engine.report(m_total, m_total, QStringLiteral("Saving"));
    m_summary.skipped += m_store.apply(m_apply);
}

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
        if (!Pass(*this, summary).run())
            break;
    }
    return summary;
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

// The shared address book against a local Radicale. Side by side in one run: a first upload of N contacts beside
// a plain loop of the same PUTs over one kept-alive connection; a sync that receives 10,000 cards; a sync with
// nothing to do over 10,000 contacts (with sync-collection and with the full listing). "peak MB" is the peak
// resident memory during the sync alone.
//
// Uploads stop at 2,000: Radicale checks each new card's UID against every card already in the book, so its PUT
// grows with the book and 10,000 PUTs take over an hour whoever sends them. The 10,000-card book is written into
// Radicale's folder directly instead, and synced from there.
#include "BenchMain.h"
#include "ContactGenerator.h"
#include "PeakMemory.h"

#include "data/Connection.h"
#include "support/DavServer.h"
#include "sync/CardDavClient.h"
#include "sync/SyncCard.h"
#include "sync/SyncEngine.h"
#include "sync/SyncState.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

testsupport::DavServer& server()
{
    static testsupport::DavServer s;
    static const bool started = [] {
        if (!s.start())
            qFatal("Radicale does not start: %s", qPrintable(s.error()));
        return true;
    }();
    (void)started;
    return s;
}

int books = 0;

// The cards of the contacts in `db`, as a client would write them.
QList<QByteArray> cardsOf(const QString& db)
{
    data::Connection connection;
    connection.setDatabasePath(db);
    connection.open();
    sharing::SyncStore store(connection.handle());
    store.ensureSchema();
    QList<QByteArray> cards;
    for (const sharing::LocalContact& c : store.read().contacts) {
        sharing::SyncCard card;
        card.contact = c.contact;
        card.uid = "bench-" + QByteArray::number(c.id);
        cards << sharing::composeCard(card);
    }
    return cards;
}

struct Fixture
{
    QTemporaryDir dir;
    QString db = dir.filePath(QStringLiteral("Tovrel.mdb"));
    QUrl book;
    explicit Fixture(int count)
    {
        bench::writeContacts(db, count);
        book = server().makeAddressBook(QStringLiteral("bench%1").arg(++books));
    }
    // An empty table here; `count` cards in the book, written into the server's folder.
    static std::unique_ptr<Fixture> onServer(int count)
    {
        auto f = std::make_unique<Fixture>(count);
        const QList<QByteArray> cards = cardsOf(f->db);
        const QDir folder(server().folderOf(f->book));
        for (qsizetype i = 0; i < cards.size(); ++i) {
            QFile file(folder.filePath(QStringLiteral("bench-%1.vcf").arg(i)));
            if (!file.open(QIODevice::WriteOnly) || file.write(cards[i]) != cards[i].size())
                qFatal("cannot write into %s", qPrintable(folder.path()));
        }
        bench::writeContacts(f->db, 0);
        return f;
    }
    sharing::SyncSummary sync(bool syncCollection = true)
    {
        data::Connection connection;
        connection.setDatabasePath(db);
        connection.open();
        sharing::CardDavClient client(book, testsupport::DavServer::user(), testsupport::DavServer::password());
        client.setTimeout(300000);
        sharing::SyncEngine engine(connection.handle(), client, {.useSyncCollection = syncCollection});
        return engine.run();
    }
};

void BM_FirstSync(benchmark::State& state)
{
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Fixture f(int(state.range(0)));
        bench::resetPeak();
        state.ResumeTiming();
        const sharing::SyncSummary s = f.sync();
        peak = bench::peakMegabytes();
        if (s.sent != state.range(0))
            state.SkipWithError("not every contact was sent");
    }
    state.counters["cards/s"] = benchmark::Counter(double(state.range(0)), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["peak MB"] = peak;
}

// The same cards, one PUT after another over one connection: what the first sync is measured against.
void BM_PlainPutLoop(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        Fixture f(int(state.range(0)));
        const QList<QByteArray> cards = cardsOf(f.db);
        QNetworkAccessManager manager;
        const QByteArray auth = "Basic " + QByteArray("anna:secret").toBase64();
        state.ResumeTiming();
        for (qsizetype i = 0; i < cards.size(); ++i) {
            QNetworkRequest request(f.book.resolved(QUrl(QString::number(i) + QStringLiteral(".vcf"))));
            request.setRawHeader("Authorization", auth);
            request.setRawHeader("Content-Type", "text/vcard; charset=utf-8");
            request.setRawHeader("If-None-Match", "*");
            QNetworkReply* reply = manager.put(request, cards[i]);
            QEventLoop loop;
            QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
            loop.exec();
            if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 201)
                state.SkipWithError("a PUT failed");
            reply->deleteLater();
        }
    }
    state.counters["cards/s"] = benchmark::Counter(double(state.range(0)), benchmark::Counter::kIsIterationInvariantRate);
}

// The last book received in full, kept for the syncs with nothing to do.
std::unique_ptr<Fixture> synced;

Fixture& syncedBook(int count)
{
    if (!synced) {
        synced = Fixture::onServer(count);
        synced->sync();
    }
    return *synced;
}

// A first sync that receives every card of a book of N.
void BM_SyncIn(benchmark::State& state)
{
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        synced.reset();
        auto f = Fixture::onServer(int(state.range(0)));
        bench::resetPeak();
        state.ResumeTiming();
        const sharing::SyncSummary s = f->sync();
        peak = bench::peakMegabytes();
        if (s.received != state.range(0) || s.sent != 0)
            state.SkipWithError("not every card was received, or some were sent");
        synced = std::move(f);
    }
    state.counters["cards/s"] = benchmark::Counter(double(state.range(0)), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["peak MB"] = peak;
}

// Nothing to do: arg 1 is 1 for sync-collection, 0 for the full listing by ETag.
void BM_NoOpSync(benchmark::State& state)
{
    Fixture& f = syncedBook(int(state.range(0)));
    bench::resetPeak();
    for (auto _ : state) {
        const sharing::SyncSummary s = f.sync(state.range(1) != 0);
        if (s.sent + s.received + s.deleted != 0)
            state.SkipWithError("a sync with nothing to do did something");
    }
    state.counters["peak MB"] = bench::peakMegabytes();
}

// What the no-op sync is measured against: the server answering the one question it asks, from a plain client.
void BM_PlainSyncReport(benchmark::State& state)
{
    Fixture& f = syncedBook(int(state.range(0)));
    const QByteArray report = "<?xml version=\"1.0\" encoding=\"utf-8\"?><d:sync-collection xmlns:d=\"DAV:\">"
                              "<d:sync-token>%1</d:sync-token><d:sync-level>1</d:sync-level>"
                              "<d:prop><d:getetag/></d:prop></d:sync-collection>";
    QByteArray answer;
    server().request("REPORT", f.book, QByteArray(report).replace("%1", ""), &answer, {{"Depth", "0"}});
    const QByteArray token = sharing::parseMultiStatus(answer, f.book).syncToken;
    const QByteArray ask = QByteArray(report).replace("%1", token);
    QNetworkAccessManager manager;
    for (auto _ : state) {
        QNetworkRequest request(f.book);
        request.setRawHeader("Authorization", "Basic " + QByteArray("anna:secret").toBase64());
        request.setRawHeader("Content-Type", "application/xml; charset=utf-8");
        request.setRawHeader("Depth", "0");
        QNetworkReply* reply = manager.sendCustomRequest(request, "REPORT", ask);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 207)
            state.SkipWithError("the REPORT failed");
        reply->deleteLater();
    }
}

} // namespace

BENCHMARK(BM_PlainPutLoop)->Arg(1000)->Arg(2000)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_FirstSync)->Arg(1000)->Arg(2000)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_SyncIn)->Arg(10000)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_PlainSyncReport)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_NoOpSync)->Args({10000, 1})->Args({10000, 0})->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

int main(int argc, char** argv)
{
    return bench::runBenchmarks(argc, argv, bench::AppKind::Core);
}

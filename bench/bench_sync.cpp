// The shared address book against a local Radicale: a first sync of N contacts beside a plain loop of the same
// PUTs over one kept-alive connection, and a sync with nothing to do. Peak memory is reported as a counter.
#include "ContactGenerator.h"

#include "data/Connection.h"
#include "support/DavServer.h"
#include "sync/CardDavClient.h"
#include "sync/SyncCard.h"
#include "sync/SyncEngine.h"
#include "sync/SyncState.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

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

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
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
    sharing::SyncSummary sync()
    {
        data::Connection connection;
        connection.setDatabasePath(db);
        connection.open();
        sharing::CardDavClient client(book, testsupport::DavServer::user(), testsupport::DavServer::password());
        sharing::SyncEngine engine(connection.handle(), client);
        return engine.run();
    }
};

void BM_FirstSync(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        Fixture f(int(state.range(0)));
        state.ResumeTiming();
        const sharing::SyncSummary s = f.sync();
        if (s.sent != state.range(0))
            state.SkipWithError("not every contact was sent");
    }
    state.counters["cards/s"] = benchmark::Counter(double(state.range(0)), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["peak MB"] = peakMegabytes();
}

// The same cards, one PUT after another over one connection: what the first sync is measured against.
void BM_PlainPutLoop(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        Fixture f(int(state.range(0)));
        QList<QByteArray> cards;
        {
            data::Connection connection;
            connection.setDatabasePath(f.db);
            connection.open();
            for (const sharing::LocalContact& c : sharing::SyncStore(connection.handle()).read().contacts) {
                sharing::SyncCard card;
                card.contact = c.contact;
                card.uid = QByteArray::number(c.id);
                cards << sharing::composeCard(card);
            }
        }
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

void BM_NoOpSync(benchmark::State& state)
{
    Fixture f(int(state.range(0)));
    f.sync();
    for (auto _ : state) {
        const sharing::SyncSummary s = f.sync();
        if (s.sent + s.received + s.deleted != 0)
            state.SkipWithError("a sync with nothing to do did something");
    }
    state.counters["peak MB"] = peakMegabytes();
}

} // namespace

BENCHMARK(BM_PlainPutLoop)->Arg(1000)->Arg(10000)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_FirstSync)->Arg(1000)->Arg(10000)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_NoOpSync)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

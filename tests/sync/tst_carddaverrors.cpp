// Server failures, played by a scripted HTTP server on 127.0.0.1: each gives a clear message and changes nothing
// here; credentials never follow a redirect to another host.
#include "platform/AppError.h"
#include "support/TestDb.h"
#include "data/Connection.h"
#include "sync/CardDavClient.h"
#include "sync/SyncEngine.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <functional>

using namespace sharing;

namespace {

struct Seen
{
    QByteArray method;
    QByteArray path;
    QByteArray authorization;
    QByteArray body;
};

// Answers each request with what `answer` gives (a whole HTTP response); an empty answer leaves it unanswered.
class ScriptedServer : public QObject
{
public:
    std::function<QByteArray(const Seen&)> answer;
    QList<Seen> seen;

    explicit ScriptedServer(const QHostAddress& address = QHostAddress(QHostAddress::LocalHost))
    {
        m_server.listen(address, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s] { read(s); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    [[nodiscard]] quint16 port() const { return m_server.serverPort(); }

private:
    void read(QTcpSocket* s)
    {
        QByteArray& buffer = m_buffers[s];
        buffer += s->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray head = buffer.left(end);
        qsizetype length = 0;
        Seen r;
        const QList<QByteArray> lines = head.split('\n');
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        r.method = first.value(0);
        r.path = first.value(1);
        for (const QByteArray& line : lines.mid(1)) {
            const qsizetype colon = line.indexOf(':');
            const QByteArray name = line.left(colon).trimmed().toLower();
            const QByteArray value = line.mid(colon + 1).trimmed();
            if (name == "content-length")
                length = value.toLongLong();
            if (name == "authorization")
                r.authorization = value;
        }
        if (buffer.size() < end + 4 + length)
            return;
        r.body = buffer.mid(end + 4, length);
        buffer.remove(0, end + 4 + length);
        seen << r;
        const QByteArray response = answer(r);
        if (!response.isEmpty()) {
            s->write(response);
            s->flush();
        }
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};

QByteArray http(int status, const QByteArray& body = {}, const QByteArray& extraHeaders = {})
{
    return "HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nContent-Type: application/xml\r\n" + extraHeaders + "\r\n" + body;
}

const QByteArray TokenAnswer = "<?xml version=\"1.0\"?><d:multistatus xmlns:d=\"DAV:\"><d:response>"
                               "<d:href>/book/a.vcf</d:href><d:propstat><d:prop><d:getetag>\"1\"</d:getetag></d:prop>"
                               "<d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>"
                               "<d:sync-token>t1</d:sync-token></d:multistatus>";

} // namespace

class TestCardDavErrors : public QObject
{
    Q_OBJECT
private slots:
    void failures_data();
    void failures();
    void redirectToAnotherHostDropsCredentials();
    void notAnAddressBook_data();
    void notAnAddressBook();
    void plainHttpOnlyToLoopback_data();
    void plainHttpOnlyToLoopback();
};

void TestCardDavErrors::failures_data()
{
    QTest::addColumn<QByteArray>("listing");   // the answer to the first request
    QTest::addColumn<QByteArray>("multiget");  // the answer to a fetch
    QTest::addColumn<QString>("thrown");       // the message of a failed pass, empty when it goes on
    QTest::addColumn<QString>("reported");     // an error listed in the summary
    QTest::newRow("500") << http(500) << QByteArray() << "asking for the changes: the server failed (500)" << "";
    // sync-collection refused: the listing is tried, and refused the same way.
    QTest::newRow("403") << http(403) << QByteArray() << "listing the address book: the server forbids it (403)" << "";
    QTest::newRow("malformed XML") << http(207, "<d:multistatus xmlns:d=\"DAV:\"><d:response><d:href>")
                                   << QByteArray() << "not valid XML" << "";
    QTest::newRow("no answer") << QByteArray() << QByteArray() << "did not answer within 1 s" << "";
    QTest::newRow("fetch refused") << http(207, TokenAnswer) << http(404)
                                   << "fetching 1 cards: the server has no such address book or card (404)" << "";
    QTest::newRow("card that does not parse")
        << http(207, TokenAnswer)
        << http(207, "<?xml version=\"1.0\"?><d:multistatus xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:carddav\">"
                     "<d:response><d:href>/book/a.vcf</d:href><d:propstat><d:prop><d:getetag>\"1\"</d:getetag>"
                     "<c:address-data>this is no card</c:address-data></d:prop>"
                     "<d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response></d:multistatus>")
        << "" << "The card /book/a.vcf cannot be read: the data is not a vCard";
}

void TestCardDavErrors::failures()
{
    QFETCH(QByteArray, listing);
    QFETCH(QByteArray, multiget);
    QFETCH(QString, thrown);
    QFETCH(QString, reported);
    ScriptedServer server;
    server.answer = [&](const Seen& r) { return r.body.contains("addressbook-multiget") ? multiget : listing; };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tovrel.mdb"));
    testsupport::makeDatabase(path, testsupport::sampleContacts());
    data::Connection connection;
    connection.setDatabasePath(path);
    connection.open();
    CardDavClient client(QUrl(QStringLiteral("http://127.0.0.1:%1/book/").arg(server.port())), "anna", "pw");
    client.setTimeout(1000);
    SyncEngine engine(connection.handle(), client);
    QString message;
    SyncSummary summary;
    try {
        summary = engine.run();
    } catch (const platform::AppError& e) {
        message = e.message();
    }
    QVERIFY2(thrown.isEmpty() ? message.isEmpty() : message.contains(thrown), qPrintable(message));
    if (!reported.isEmpty())
        QVERIFY2(summary.errors.join('\n').contains(reported), qPrintable(summary.errors.join('\n')));
    // Nothing local lost, nothing added.
    QCOMPARE(testsupport::query(path, QStringLiteral("SELECT count(*) FROM HomeAd")), QStringList{"6"});
}

void TestCardDavErrors::redirectToAnotherHostDropsCredentials()
{
    // 127.0.0.2 is another host than 127.0.0.1, though on this machine (and it needs no name lookup, which a
    // bare machine without /etc/hosts cannot do for "localhost").
    ScriptedServer other(QHostAddress(QStringLiteral("127.0.0.2")));
    other.answer = [](const Seen&) { return http(401); };
    ScriptedServer first;
    first.answer = [&](const Seen&) {
        return http(307, {}, "Location: http://127.0.0.2:" + QByteArray::number(other.port()) + "/book/\r\n");
    };
    CardDavClient client(QUrl(QStringLiteral("http://127.0.0.1:%1/book/").arg(first.port())), "anna", "pw");
    try {
        client.checkCollection();
        QFAIL("no error");
    } catch (const platform::AppError& e) {
        QVERIFY2(e.message().contains(QLatin1String("another host, 127.0.0.2")), qPrintable(e.message()));
    }
    QCOMPARE(first.seen.size(), 1);
    QCOMPARE(first.seen[0].authorization, "Basic " + QByteArray("anna:pw").toBase64());
    QCOMPARE(other.seen.size(), 1);
    QVERIFY(other.seen[0].authorization.isEmpty());
}

void TestCardDavErrors::notAnAddressBook_data()
{
    QTest::addColumn<QByteArray>("inside"); // what the 207 says of the address asked for
    QTest::addColumn<QString>("thrown");
    const QString missing = QStringLiteral("There is no address book at http://127.0.0.1");
    QTest::newRow("404 for the resource") << QByteArray("<d:status>HTTP/1.1 404 Not Found</d:status>") << missing;
    QTest::newRow("404 for every property")
        << QByteArray("<d:propstat><d:prop><d:resourcetype/><d:displayname/></d:prop>"
                      "<d:status>HTTP/1.1 404 Not Found</d:status></d:propstat>")
        << missing;
    QTest::newRow("a file") << QByteArray("<d:propstat><d:prop><d:resourcetype/></d:prop>"
                                          "<d:status>HTTP/1.1 200 OK</d:status></d:propstat>")
                            << "is a file, not an address book";
    QTest::newRow("a folder") << QByteArray("<d:propstat><d:prop><d:resourcetype><d:collection/></d:resourcetype>"
                                            "</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat>")
                              << "is a folder on the server, not an address book";
}

void TestCardDavErrors::notAnAddressBook()
{
    QFETCH(QByteArray, inside);
    QFETCH(QString, thrown);
    ScriptedServer server;
    server.answer = [&](const Seen&) {
        return http(207, "<?xml version=\"1.0\"?><d:multistatus xmlns:d=\"DAV:\"><d:response><d:href>/book/</d:href>" +
                             inside + "</d:response></d:multistatus>");
    };
    CardDavClient client(QUrl(QStringLiteral("http://127.0.0.1:%1/book/").arg(server.port())), "anna", "pw");
    try {
        client.checkCollection();
        QFAIL("no error");
    } catch (const platform::AppError& e) {
        QVERIFY2(e.message().contains(thrown), qPrintable(e.message()));
    }
}

void TestCardDavErrors::plainHttpOnlyToLoopback_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("allowed");
    QTest::addColumn<bool>("usable");
    QTest::newRow("https") << "https://dav.example.org/book/" << false << true;
    QTest::newRow("loopback") << "http://127.0.0.1:5232/book/" << false << true;
    QTest::newRow("localhost") << "http://localhost/book/" << false << true;
    QTest::newRow("IPv6 loopback") << "http://[::1]:5232/book/" << false << true;
    QTest::newRow("another machine") << "http://192.0.2.1/book/" << false << false;
    QTest::newRow("another machine, confirmed") << "http://192.0.2.1/book/" << true << true;
    QTest::newRow("not http") << "ftp://dav.example.org/" << true << false;
}

void TestCardDavErrors::plainHttpOnlyToLoopback()
{
    QFETCH(QString, url);
    QFETCH(bool, allowed);
    QFETCH(bool, usable);
    bool ok = true;
    try {
        CardDavClient::checkTransport(QUrl(url), allowed);
    } catch (const platform::AppError&) {
        ok = false;
    }
    QCOMPARE(ok, usable);
}

QTEST_GUILESS_MAIN(TestCardDavErrors)
#include "tst_carddaverrors.moc"

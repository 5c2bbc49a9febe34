#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QNetworkAccessManager>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

class QNetworkReply;

namespace sharing {

// One request to the server. `href` is a path on the server (percent-encoded as the server gave it) or a whole URL.
struct Request
{
    QByteArray method;
    QString href;
    QByteArray body;
    QList<std::pair<QByteArray, QByteArray>> headers;
    QString what; // names the request in messages: "sending Anna Smith"
};

struct Response
{
    int status = 0;       // HTTP status; 0 when no answer came
    QByteArray body;
    QByteArray etag;      // the ETag header, empty when none
    QString failure;      // why no answer came (network, certificate, time-out); empty when one did
    QUrl url;             // the URL that answered, after redirects
    bool elsewhere = false; // a redirect led to another host than the account's (which gets no password)

    [[nodiscard]] bool ok() const { return status >= 200 && status < 300; }
};

// One resource of a PROPFIND or REPORT answer.
struct DavResource
{
    QString href; // path, percent-encoded as the server gave it
    int status = 0;
    QByteArray etag;
    QByteArray addressData;
    bool collection = false;
    bool addressBook = false;
    bool found = false; // some property came with a 2xx status
    QString displayName;
    QString principal; // current-user-principal
    QString home;      // addressbook-home-set
};

struct MultiStatus
{
    QList<DavResource> resources;
    QByteArray syncToken;
};

// Reads a 207 Multi-Status body. Throws platform::AppError for XML that is not well formed.
[[nodiscard]] MultiStatus parseMultiStatus(const QByteArray& xml, const QUrl& base);

// What changed on the server since a sync token.
struct ServerChanges
{
    QHash<QString, QByteArray> changed; // href -> ETag (empty when the server gave none)
    QList<QString> removed;
    QByteArray token;
};

struct AddressBook
{
    QUrl url;
    QString name;
};

// A CardDAV client over one address-book collection. Calls wait for their answer (the event loop runs
// meanwhile, so a window stays responsive). The password is sent only to the collection's own scheme, host
// and port, never after a redirect to another host; plain http:// is refused unless the host is this
// machine's loopback or the caller allowed it. Certificates are checked against the system's.
class CardDavClient
{
public:
    CardDavClient(QUrl collection, QString user, QString password);
    ~CardDavClient();
    CardDavClient(const CardDavClient&) = delete;
    CardDavClient& operator=(const CardDavClient&) = delete;

    void setAllowPlainHttp(bool allow) { m_allowPlainHttp = allow; }
    void setTimeout(int milliseconds) { m_timeout = milliseconds; }
    // Stops every request under way; later calls throw at once.
    void cancel();
    [[nodiscard]] bool cancelled() const { return m_cancelled; }

    [[nodiscard]] const QUrl& collection() const { return m_collection; }
    [[nodiscard]] QString collectionPath() const;

    // Throws a clear platform::AppError when `url` may not be used (plain http:// to another machine).
    static void checkTransport(const QUrl& url, bool allowPlainHttp);
    [[nodiscard]] static bool isLoopback(const QUrl& url);

    // The collection's cards with their ETags (PROPFIND, depth 1).
    [[nodiscard]] QHash<QString, QByteArray> listCards();
    // Changes since `token` (empty: everything); nullopt when the server does not offer sync-collection
    // or refuses the token.
    [[nodiscard]] std::optional<ServerChanges> syncCollection(const QByteArray& token);
    // The cards at `hrefs` in one addressbook-multiget; those the server no longer has come back with status 404.
    [[nodiscard]] QList<DavResource> multiget(const QList<QString>& hrefs);
    // Checks that the collection is an address book the user may read. Throws with the reason when not.
    void checkCollection();
    // From a server's or an address book's URL: the address books of the user (well-known URL, principal,
    // home set).
    [[nodiscard]] QList<AddressBook> discover();

    // One request, answered (whatever its status) or failed (status 0). Throws only when cancelled.
    [[nodiscard]] Response send(const Request& request);
    // Several requests, up to `parallel` at a time; `done` is called with each one's index and answer.
    void sendAll(const QList<Request>& requests, int parallel,
                 const std::function<void(qsizetype, const Response&)>& done);

    // The message for a request that failed: names the request and says what went wrong.
    [[nodiscard]] static QString describe(const Response& response, const QString& what);

private:
    struct Pending;
    void start(const std::shared_ptr<Pending>& pending);
    void finish(const std::shared_ptr<Pending>& pending, QNetworkReply* reply);
    [[nodiscard]] QUrl urlFor(const QString& href) const;
    [[nodiscard]] Response sendOk(const Request& request);

    QUrl m_collection;
    QString m_user;
    QString m_password;
    QNetworkAccessManager m_manager;
    QList<QNetworkReply*> m_running;
    bool m_allowPlainHttp = false;
    bool m_cancelled = false;
    int m_timeout = 30000;
};

} // namespace sharing

#include "sync/CardDavClient.h"

#include "platform/AppError.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslError>
#include <QXmlStreamReader>

namespace sharing {

namespace {

const QString Dav = QStringLiteral("DAV:");
const QString CardDav = QStringLiteral("urn:ietf:params:xml:ns:carddav");
constexpr int MaxRedirects = 5;

QByteArray xmlEscape(const QString& text)
{
    return text.toHtmlEscaped().toUtf8();
}

// "HTTP/1.1 404 Not Found" -> 404
int statusOf(const QString& line)
{
    const QStringList parts = line.simplified().split(QLatin1Char(' '));
    return parts.size() >= 2 ? parts[1].toInt() : 0;
}

bool sameOrigin(const QUrl& a, const QUrl& b)
{
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port(a.scheme() == QLatin1String("https") ? 443 : 80) ==
               b.port(b.scheme() == QLatin1String("https") ? 443 : 80);
}

// The path of an href, percent-encoding kept as the server wrote it: decoding "%3B" would name another resource.
QString hrefPath(const QUrl& base, const QString& href)
{
    return base.resolved(QUrl(href.trimmed(), QUrl::TolerantMode)).path(QUrl::FullyEncoded);
}

} // namespace

MultiStatus parseMultiStatus(const QByteArray& xml, const QUrl& base)
{
    MultiStatus result;
    QXmlStreamReader reader(xml);
    QList<std::pair<QString, QString>> path; // (namespace, name) from the root down
    DavResource current;
    int propstatStatus = 0;
    DavResource props; // what one propstat says; kept only when its status is 2xx
    auto in = [&](const QString& ns, const char* name, qsizetype fromEnd) {
        const qsizetype i = path.size() - 1 - fromEnd;
        return i >= 0 && path[i].first == ns && path[i].second == QLatin1String(name);
    };
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            path.append({reader.namespaceUri().toString(), reader.name().toString()});
            if (in(Dav, "response", 0)) {
                current = DavResource();
            } else if (in(Dav, "propstat", 0)) {
                propstatStatus = 0;
                props = DavResource();
            } else if (in(Dav, "collection", 0) && in(Dav, "resourcetype", 1)) {
                props.collection = true;
            } else if (in(CardDav, "addressbook", 0) && in(Dav, "resourcetype", 1)) {
                props.addressBook = true;
            } else if (in(Dav, "href", 0) && (in(Dav, "current-user-principal", 1) ||
                                              in(CardDav, "addressbook-home-set", 1))) {
                const bool principal = in(Dav, "current-user-principal", 1);
                const QString href = hrefPath(base, reader.readElementText());
                path.removeLast();
                (principal ? props.principal : props.home) = href;
            } else if (in(Dav, "href", 0) && in(Dav, "response", 1)) {
                current.href = hrefPath(base, reader.readElementText());
                path.removeLast();
            } else if (in(Dav, "status", 0)) {
                const int status = statusOf(reader.readElementText());
                path.removeLast();
                if (in(Dav, "propstat", 0))
                    propstatStatus = status;
                else if (in(Dav, "response", 0))
                    current.status = status;
            } else if (in(Dav, "getetag", 0)) {
                props.etag = reader.readElementText().trimmed().toUtf8();
                path.removeLast();
            } else if (in(CardDav, "address-data", 0)) {
                props.addressData = reader.readElementText().toUtf8();
                path.removeLast();
            } else if (in(Dav, "displayname", 0)) {
                props.displayName = reader.readElementText().trimmed();
                path.removeLast();
            } else if (in(Dav, "sync-token", 0) && in(Dav, "multistatus", 1)) {
                result.syncToken = reader.readElementText().trimmed().toUtf8();
                path.removeLast();
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (in(Dav, "propstat", 0) && propstatStatus >= 200 && propstatStatus < 300) {
                current.etag = props.etag.isEmpty() ? current.etag : props.etag;
                current.addressData = props.addressData.isEmpty() ? current.addressData : props.addressData;
                current.collection = current.collection || props.collection;
                current.addressBook = current.addressBook || props.addressBook;
                current.displayName = props.displayName.isEmpty() ? current.displayName : props.displayName;
                current.principal = props.principal.isEmpty() ? current.principal : props.principal;
                current.home = props.home.isEmpty() ? current.home : props.home;
                current.found = true;
            } else if (in(Dav, "response", 0)) {
                if (current.status == 0)
                    current.status = 200;
                result.resources << current;
            }
            if (!path.isEmpty())
                path.removeLast();
        }
    }
    if (reader.hasError())
        throw platform::AppError(QStringLiteral("The server's answer is not valid XML (line %1: %2)")
                                     .arg(reader.lineNumber())
                                     .arg(reader.errorString()));
    return result;
}

struct CardDavClient::Pending
{
    Request request;
    QUrl url;
    int redirects = 0;
    std::function<void(const Response&)> done;
    QList<QSslError> sslErrors;
};

CardDavClient::CardDavClient(QUrl collection, QString user, QString password)
    : m_collection(std::move(collection)), m_user(std::move(user)), m_password(std::move(password))
{
    // A collection is a folder: relative hrefs resolve inside it.
    if (!m_collection.path().endsWith(QLatin1Char('/')))
        m_collection.setPath(m_collection.path() + QLatin1Char('/'));
    m_manager.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

CardDavClient::~CardDavClient()
{
    m_password.fill(QLatin1Char(' '));
    cancel();
}

void CardDavClient::cancel()
{
    m_cancelled = true;
    for (QNetworkReply* reply : QList<QNetworkReply*>(m_running))
        reply->abort();
}

QString CardDavClient::collectionPath() const
{
    return m_collection.path(QUrl::FullyEncoded);
}

bool CardDavClient::isLoopback(const QUrl& url)
{
    const QString host = url.host();
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

void CardDavClient::checkTransport(const QUrl& url, bool allowPlainHttp)
{
    if (!url.isValid() || url.host().isEmpty())
        throw platform::AppError(QStringLiteral("\"%1\" is not a server address").arg(url.toDisplayString()));
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return;
    if (scheme != QLatin1String("http"))
        throw platform::AppError(
            QStringLiteral("\"%1\" is not an http:// or https:// address").arg(url.toDisplayString()));
    if (!allowPlainHttp && !isLoopback(url))
        throw platform::AppError(QStringLiteral("%1 uses plain http://, which would send the password unencrypted. "
                                                "Use https://, or confirm that plain http:// may be used.")
                                     .arg(url.host()));
}

QUrl CardDavClient::urlFor(const QString& href) const
{
    if (href.startsWith(QLatin1String("http://")) || href.startsWith(QLatin1String("https://")))
        return QUrl(href);
    QUrl url = m_collection;
    url.setPath(href, QUrl::TolerantMode);
    url.setQuery(QString());
    return url;
}

void CardDavClient::start(const std::shared_ptr<Pending>& pending)
{
    QNetworkRequest request(pending->url);
    request.setTransferTimeout(m_timeout);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Tovrel"));
    for (const auto& [name, value] : pending->request.headers)
        request.setRawHeader(name, value);
    if (!pending->request.body.isEmpty() && !request.hasRawHeader("Content-Type"))
        request.setRawHeader("Content-Type", "application/xml; charset=utf-8");
    // The password goes only where the account points, never to a host a redirect names.
    if (sameOrigin(pending->url, m_collection) && !m_user.isEmpty()) {
        request.setRawHeader("Authorization",
                             "Basic " + (m_user + QLatin1Char(':') + m_password).toUtf8().toBase64());
    }
    QNetworkReply* reply =
        m_manager.sendCustomRequest(request, pending->request.method, pending->request.body);
    m_running << reply;
    QObject::connect(reply, &QNetworkReply::sslErrors, reply,
                     [pending](const QList<QSslError>& errors) { pending->sslErrors = errors; });
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, pending, reply] { finish(pending, reply); });
}

void CardDavClient::finish(const std::shared_ptr<Pending>& pending, QNetworkReply* reply)
{
    m_running.removeOne(reply);
    reply->deleteLater();
    Response response;
    response.url = pending->url;
    response.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (m_cancelled) {
        response.status = 0;
        response.failure = QStringLiteral("cancelled");
        pending->done(response);
        return;
    }
    if (response.status == 0) {
        if (!pending->sslErrors.isEmpty()) {
            QStringList why;
            for (const QSslError& e : pending->sslErrors)
                why << e.errorString();
            response.failure = QStringLiteral("the server's certificate is not trusted (%1)").arg(why.join(QStringLiteral("; ")));
        } else if (reply->error() == QNetworkReply::OperationCanceledError) {
            response.failure = QStringLiteral("the server did not answer within %1 s").arg(m_timeout / 1000);
        } else if (reply->error() == QNetworkReply::ConnectionRefusedError) {
            response.failure = QStringLiteral("the server %1 refused the connection (is it running?)")
                                   .arg(pending->url.authority());
        } else {
            response.failure = reply->errorString();
        }
        pending->done(response);
        return;
    }
    if (response.status == 301 || response.status == 302 || response.status == 303 || response.status == 307 ||
        response.status == 308) {
        const QUrl target = pending->url.resolved(reply->header(QNetworkRequest::LocationHeader).toUrl());
        QString refusal;
        if (!target.isValid() || reply->header(QNetworkRequest::LocationHeader).isNull())
            refusal = QStringLiteral("the server redirected to no valid address");
        else if (++pending->redirects > MaxRedirects)
            refusal = QStringLiteral("the server redirected more than %1 times").arg(MaxRedirects);
        else if (pending->url.scheme() == QLatin1String("https") && target.scheme() != QLatin1String("https"))
            refusal = QStringLiteral("the server redirected from https:// to an unencrypted address");
        else {
            try {
                checkTransport(target, m_allowPlainHttp);
            } catch (const platform::AppError& e) {
                refusal = e.message();
            }
        }
        if (!refusal.isEmpty()) {
            response.status = 0;
            response.failure = refusal;
            pending->done(response);
            return;
        }
        pending->url = target;
        start(pending);
        return;
    }
    response.body = reply->readAll();
    response.etag = reply->rawHeader("ETag");
    response.elsewhere = !sameOrigin(pending->url, m_collection);
    pending->done(response);
}

Response CardDavClient::send(const Request& request)
{
    Response result;
    sendAll({request}, 1, [&result](qsizetype, const Response& r) { result = r; });
    return result;
}

void CardDavClient::sendAll(const QList<Request>& requests, int parallel,
                            const std::function<void(qsizetype, const Response&)>& done)
{
    if (m_cancelled)
        throw platform::AppError(QStringLiteral("The synchronisation was cancelled"));
    QEventLoop loop;
    qsizetype next = 0, finished = 0;
    std::function<void()> launch;
    launch = [&] {
        while (next < requests.size() && next - finished < qsizetype(std::max(parallel, 1)) && !m_cancelled) {
            auto pending = std::make_shared<Pending>();
            const qsizetype index = next++;
            pending->request = requests[index];
            pending->url = urlFor(requests[index].href);
            pending->done = [&, index](const Response& r) {
                ++finished;
                if (!m_cancelled)
                    done(index, r);
                launch();
                if (finished == next && (next == requests.size() || m_cancelled))
                    loop.quit();
            };
            start(pending);
        }
    };
    launch();
    if (finished < next)
        loop.exec();
    if (m_cancelled)
        throw platform::AppError(QStringLiteral("The synchronisation was cancelled"));
}

QString CardDavClient::describe(const Response& response, const QString& what)
{
    QString why;
    switch (response.status) {
    case 0:
        why = response.failure;
        break;
    case 401:
        why = response.elsewhere
                  ? QStringLiteral("the server sent the request on to another host, %1, which asks for a password; "
                                   "the password is sent only to the account's own host")
                        .arg(response.url.host())
                  : QStringLiteral("the server did not accept the user name or password (401)");
        break;
    case 403:
        why = QStringLiteral("the server forbids it (403)");
        break;
    case 404:
        why = QStringLiteral("the server has no such address book or card (404)");
        break;
    case 412:
        why = QStringLiteral("the card was changed by someone else meanwhile (412)");
        break;
    default:
        why = response.status >= 500 ? QStringLiteral("the server failed (%1)").arg(response.status)
                                     : QStringLiteral("the server answered %1").arg(response.status);
    }
    return QStringLiteral("Synchronising failed while %1: %2").arg(what, why);
}

Response CardDavClient::sendOk(const Request& request)
{
    Response r = send(request);
    if (!r.ok())
        throw platform::AppError(describe(r, request.what));
    return r;
}

QHash<QString, QByteArray> CardDavClient::listCards()
{
    Request request{"PROPFIND", collectionPath(),
                    "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                    "<d:propfind xmlns:d=\"DAV:\"><d:prop><d:getetag/><d:resourcetype/></d:prop></d:propfind>",
                    {{"Depth", "1"}},
                    QStringLiteral("listing the address book")};
    const Response r = sendOk(request);
    QHash<QString, QByteArray> cards;
    const QString self = collectionPath();
    for (const DavResource& res : parseMultiStatus(r.body, r.url).resources) {
        if (res.collection || res.href == self || res.status != 200)
            continue;
        cards.insert(res.href, res.etag);
    }
    return cards;
}

std::optional<ServerChanges> CardDavClient::syncCollection(const QByteArray& token)
{
    Request request{"REPORT", collectionPath(),
                    "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                    "<d:sync-collection xmlns:d=\"DAV:\"><d:sync-token>" +
                        xmlEscape(QString::fromUtf8(token)) +
                        "</d:sync-token><d:sync-level>1</d:sync-level>"
                        "<d:prop><d:getetag/></d:prop></d:sync-collection>",
                    {{"Depth", "0"}},
                    QStringLiteral("asking for the changes")};
    const Response r = send(request);
    if (r.status == 401 || r.status == 0 || r.status >= 500)
        throw platform::AppError(describe(r, request.what));
    if (r.status != 207)
        return std::nullopt; // not offered, or the token is no longer valid: the full listing is used
    const MultiStatus ms = parseMultiStatus(r.body, r.url);
    if (ms.syncToken.isEmpty())
        return std::nullopt;
    ServerChanges changes;
    changes.token = ms.syncToken;
    const QString self = collectionPath();
    for (const DavResource& res : ms.resources) {
        if (res.href == self || res.collection)
            continue;
        if (res.status == 404)
            changes.removed << res.href;
        else
            changes.changed.insert(res.href, res.etag);
    }
    return changes;
}

QList<DavResource> CardDavClient::multiget(const QList<QString>& hrefs)
{
    QByteArray body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                      "<c:addressbook-multiget xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:carddav\">"
                      "<d:prop><d:getetag/><c:address-data/></d:prop>";
    for (const QString& href : hrefs)
        body += "<d:href>" + xmlEscape(urlFor(href).path(QUrl::FullyEncoded)) + "</d:href>";
    body += "</c:addressbook-multiget>";
    const Response r = sendOk({"REPORT", collectionPath(), body, {{"Depth", "1"}},
                               QStringLiteral("fetching %1 cards").arg(hrefs.size())});
    return parseMultiStatus(r.body, r.url).resources;
}

void CardDavClient::checkCollection()
{
    const Response r = sendOk({"PROPFIND", collectionPath(),
                               "<?xml version=\"1.0\" encoding=\"utf-8\"?><d:propfind xmlns:d=\"DAV:\"><d:prop>"
                               "<d:resourcetype/><d:displayname/></d:prop></d:propfind>",
                               {{"Depth", "0"}},
                               QStringLiteral("opening the address book")});
    const MultiStatus ms = parseMultiStatus(r.body, r.url);
    bool folder = false, missing = true;
    for (const DavResource& res : ms.resources) {
        if (res.addressBook)
            return;
        folder = folder || res.collection;
        missing = missing && (res.status == 404 || !res.found);
    }
    // Some servers answer for a missing resource with a 207 that says 404 inside.
    if (missing)
        throw platform::AppError(QStringLiteral("There is no address book at %1: the server has nothing there (404)")
                                     .arg(m_collection.toDisplayString(QUrl::RemoveUserInfo)));
    throw platform::AppError(QStringLiteral("%1 is %2, not an address book (CardDAV collection)")
                                 .arg(m_collection.toDisplayString(QUrl::RemoveUserInfo),
                                      folder ? QStringLiteral("a folder on the server") : QStringLiteral("a file")));
}

QList<AddressBook> CardDavClient::discover()
{
    const QByteArray propfind = "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                                "<d:propfind xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:carddav\"><d:prop>"
                                "<d:resourcetype/><d:displayname/><d:current-user-principal/>"
                                "<c:addressbook-home-set/></d:prop></d:propfind>";
    const QString what = QStringLiteral("looking for address books");
    // The resources at href (and below it with depth 1); the one asked for comes first.
    auto ask = [&](const QString& href, const QByteArray& depth, QUrl* answered) {
        const Response r = send({"PROPFIND", href, propfind, {{"Depth", depth}}, what});
        if (r.status == 401 || r.status == 0)
            throw platform::AppError(describe(r, what));
        if (answered)
            *answered = r.url;
        return r.status == 207 ? parseMultiStatus(r.body, r.url).resources : QList<DavResource>();
    };
    auto booksIn = [&](const QString& href) {
        QUrl answered;
        QList<AddressBook> found;
        for (const DavResource& res : ask(href, "1", &answered)) {
            if (res.addressBook) {
                QUrl url = answered;
                url.setPath(res.href, QUrl::TolerantMode);
                found << AddressBook{url, res.displayName.isEmpty() ? res.href : res.displayName};
            }
        }
        return found;
    };
    auto self = [](const QList<DavResource>& resources, const QString& href) {
        for (const DavResource& res : resources) {
            if (res.href == href || res.href == href + QLatin1Char('/') || res.href + QLatin1Char('/') == href)
                return res;
        }
        return resources.isEmpty() ? DavResource() : resources.first();
    };

    // The address given may be the book itself, or a folder of books.
    QList<AddressBook> found = booksIn(collectionPath());
    if (!found.isEmpty())
        return found;
    // Otherwise: the user's principal (from the address, the well-known URL or the root), its home set, the books.
    QString principal = self(ask(collectionPath(), "0", nullptr), collectionPath()).principal;
    for (const QString& start : {QStringLiteral("/.well-known/carddav"), QStringLiteral("/")}) {
        if (principal.isEmpty())
            principal = self(ask(start, "0", nullptr), start).principal;
    }
    if (principal.isEmpty())
        return found;
    const QString home = self(ask(principal, "0", nullptr), principal).home;
    return home.isEmpty() ? booksIn(principal) : booksIn(home);
}

} // namespace sharing

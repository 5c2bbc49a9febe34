#include "support/DavServer.h"
#include "support/Python.h"

#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

namespace testsupport {

namespace {

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

DavServer::DavServer(Kind kind) : m_kind(kind)
{
    m_port = freePort();
    QFile users(m_dir.filePath(QStringLiteral("users")));
    users.open(QIODevice::WriteOnly);
    users.write((user() + QLatin1Char(':') + password() + QLatin1Char('\n')).toUtf8());
    QFile config(m_dir.filePath(QStringLiteral("config")));
    config.open(QIODevice::WriteOnly);
    config.write(QStringLiteral("[server]\nhosts = 127.0.0.1:%1\n"
                                "[auth]\ntype = htpasswd\nhtpasswd_filename = %2\nhtpasswd_encryption = plain\n"
                                "delay = 0\n"
                                "[storage]\nfilesystem_folder = %3\n"
                                "[rights]\ntype = owner_only\n"
                                "[web]\ntype = none\n"
                                "[logging]\nlevel = warning\n")
                     .arg(m_port)
                     .arg(m_dir.filePath(QStringLiteral("users")), m_dir.filePath(QStringLiteral("collections")))
                     .toUtf8());
}

DavServer::~DavServer()
{
    stop();
}

QUrl DavServer::root() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(m_port));
}

bool DavServer::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

bool DavServer::start()
{
    stop();
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (m_kind == Kind::Radicale) {
        m_process->start(testsupport::python(),
                         {QStringLiteral("-m"), QStringLiteral("radicale"), QStringLiteral("--config"),
                          m_dir.filePath(QStringLiteral("config"))});
    } else {
        m_process->start(QStringLiteral("xandikos"),
                         {QStringLiteral("-d"), m_dir.filePath(QStringLiteral("xandikos")), QStringLiteral("-l"),
                          QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(m_port),
                          QStringLiteral("--defaults"), QStringLiteral("--current-user-principal"),
                          QStringLiteral("/anna/")});
    }
    if (!m_process->waitForStarted(10000)) {
        m_error = QStringLiteral("the server did not start: %1").arg(m_process->errorString());
        return false;
    }
    // Wait until it listens (a bounded number of tries).
    for (int i = 0; i < 200; ++i) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        if (socket.waitForConnected(200))
            return true;
        if (m_process->state() != QProcess::Running) {
            m_error = QStringLiteral("the server stopped at once");
            return false;
        }
        QThread::msleep(50);
    }
    m_error = QStringLiteral("the server does not listen on port %1").arg(m_port);
    return false;
}

void DavServer::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(10000);
    }
    m_process.reset();
}

int DavServer::request(const QByteArray& method, const QUrl& url, const QByteArray& data, QByteArray* body,
                       const QList<std::pair<QByteArray, QByteArray>>& headers) const
{
    QNetworkAccessManager manager;
    QNetworkRequest req(url);
    req.setTransferTimeout(30000);
    if (m_kind == Kind::Radicale)
        req.setRawHeader("Authorization", "Basic " + (user() + QLatin1Char(':') + password()).toUtf8().toBase64());
    for (const auto& [name, value] : headers)
        req.setRawHeader(name, value);
    if (!data.isEmpty() && !req.hasRawHeader("Content-Type"))
        req.setRawHeader("Content-Type", method == "PUT" ? "text/vcard; charset=utf-8" : "application/xml");
    QNetworkReply* reply = manager.sendCustomRequest(req, method, data);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    if (body)
        *body = reply->readAll();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    reply->deleteLater();
    return status;
}

QUrl DavServer::makeAddressBook(const QString& name)
{
    if (m_kind == Kind::Xandikos) {
        QUrl url = root().resolved(QUrl(QStringLiteral("/anna/contacts/%1/").arg(name)));
        request("MKCOL", url,
                "<?xml version=\"1.0\" encoding=\"utf-8\"?><D:mkcol xmlns:D=\"DAV:\" "
                "xmlns:C=\"urn:ietf:params:xml:ns:carddav\"><D:set><D:prop><D:resourcetype><D:collection/>"
                "<C:addressbook/></D:resourcetype></D:prop></D:set></D:mkcol>");
        return url;
    }
    // The user's own folder is made on the first request.
    request("PROPFIND", root().resolved(QUrl(QStringLiteral("/%1/").arg(user()))), {}, nullptr, {{"Depth", "0"}});
    const QUrl url = root().resolved(QUrl(QStringLiteral("/%1/%2/").arg(user(), name)));
    request("MKCOL", url,
            "<?xml version=\"1.0\" encoding=\"utf-8\"?><D:mkcol xmlns:D=\"DAV:\" "
            "xmlns:C=\"urn:ietf:params:xml:ns:carddav\"><D:set><D:prop><D:resourcetype><D:collection/>"
            "<C:addressbook/></D:resourcetype><D:displayname>" +
                name.toUtf8() + "</D:displayname></D:prop></D:set></D:mkcol>");
    return url;
}

QString DavServer::folderOf(const QUrl& book) const
{
    return m_dir.filePath(QStringLiteral("collections/collection-root") + book.path(QUrl::FullyDecoded));
}

QStringList readWithVobject(const QByteArray& card)
{
    QProcess python;
    python.start(testsupport::python(),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, vobject\n"
                                 "try:\n"
                                 "    c = vobject.readOne(sys.stdin.read())\n"
                                 "except Exception as e:\n"
                                 "    print('error', e); sys.exit(0)\n"
                                 "for line in c.getChildren():\n"
                                 "    v = line.value\n"
                                 "    if isinstance(v, list): v = ','.join(v)\n"
                                 "    if hasattr(v, 'family'): v = '%s;%s;%s' % (v.family, v.given, v.additional)\n"
                                 "    elif hasattr(v, 'street'): v = '%s;%s;%s;%s;%s' % (v.street, v.city, "
                                 "v.region, v.code, v.country)\n"
                                 "    print('%s=%s' % (line.name.lower(), str(v).replace('\\n', '|')))\n")});
    python.write(card);
    python.closeWriteChannel();
    python.waitForFinished(30000);
    return QString::fromUtf8(python.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace testsupport

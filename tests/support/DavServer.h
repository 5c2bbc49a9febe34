#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>

namespace testsupport {

// A real CardDAV server (Radicale or Xandikos) on 127.0.0.1 at a free port, its data in a temporary folder,
// stopped when this goes. Radicale asks for user "anna" with password "secret"; Xandikos asks for none.
class DavServer
{
public:
    enum class Kind { Radicale, Xandikos };
    explicit DavServer(Kind kind = Kind::Radicale);
    ~DavServer();
    DavServer(const DavServer&) = delete;
    DavServer& operator=(const DavServer&) = delete;

    // Starts (again, on the same port and data) and waits until it accepts connections. false: it did not start.
    bool start();
    void stop();
    [[nodiscard]] QString error() const { return m_error; }
    [[nodiscard]] bool isRunning() const;

    [[nodiscard]] static QString user() { return QStringLiteral("anna"); }
    [[nodiscard]] static QString password() { return QStringLiteral("secret"); }
    [[nodiscard]] QUrl root() const;

    // Makes a new, empty address book and returns its URL.
    [[nodiscard]] QUrl makeAddressBook(const QString& name);
    // Radicale: the folder that holds the cards of the address book at `book`, one file each.
    [[nodiscard]] QString folderOf(const QUrl& book) const;

    // Plain HTTP as another client would send it; returns the status (0: no answer). `body` receives the answer.
    int request(const QByteArray& method, const QUrl& url, const QByteArray& data = {}, QByteArray* body = nullptr,
                const QList<std::pair<QByteArray, QByteArray>>& headers = {}) const;

    [[nodiscard]] Kind kind() const { return m_kind; }

private:
    Kind m_kind;
    QTemporaryDir m_dir;
    quint16 m_port = 0;
    std::unique_ptr<QProcess> m_process;
    QString m_error;
};

// The card's properties as python3-vobject reads them, one "NAME=value" line each in the card's order
// (structured values as vobject formats them), or an error text starting with "error".
[[nodiscard]] QStringList readWithVobject(const QByteArray& card);

} // namespace testsupport

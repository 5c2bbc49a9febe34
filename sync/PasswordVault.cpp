#include "sync/PasswordVault.h"

#include <QEventLoop>

#ifdef TOVREL_HAVE_KEYCHAIN
#include <qt6keychain/keychain.h>
#endif

namespace sharing {

namespace {

QString keyFor(const QUrl& url, const QString& user)
{
    return user + QLatin1Char('@') + url.toString(QUrl::RemoveUserInfo | QUrl::StripTrailingSlash);
}

#ifdef TOVREL_HAVE_KEYCHAIN
const QString Service = QStringLiteral("Tovrel shared address book");

// Waits for a keyring job; true when it succeeded.
bool wait(QKeychain::Job& job, QString* why)
{
    job.setAutoDelete(false);
    job.setInsecureFallback(false); // never a plain file
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();
    if (job.error() == QKeychain::NoError)
        return true;
    if (why)
        *why = job.error() == QKeychain::EntryNotFound ? QStringLiteral("the keyring holds no password for it")
                                                        : QStringLiteral("no keyring: %1").arg(job.errorString());
    return false;
}

class KeychainVault final : public PasswordVault
{
public:
    std::optional<QString> read(const QUrl& url, const QString& user, QString* why) override
    {
        QKeychain::ReadPasswordJob job(Service);
        job.setKey(keyFor(url, user));
        if (!wait(job, why))
            return std::nullopt;
        return job.textData();
    }
    bool write(const QUrl& url, const QString& user, const QString& password, QString* why) override
    {
        QKeychain::WritePasswordJob job(Service);
        job.setKey(keyFor(url, user));
        job.setTextData(password);
        return wait(job, why);
    }
    void remove(const QUrl& url, const QString& user) override
    {
        QKeychain::DeletePasswordJob job(Service);
        job.setKey(keyFor(url, user));
        wait(job, nullptr);
    }
};
#endif

class NoVault final : public PasswordVault
{
public:
    std::optional<QString> read(const QUrl&, const QString&, QString* why) override
    {
        if (why)
            *why = QStringLiteral("no keyring is available");
        return std::nullopt;
    }
    bool write(const QUrl&, const QString&, const QString&, QString* why) override
    {
        if (why)
            *why = QStringLiteral("no keyring is available");
        return false;
    }
    void remove(const QUrl&, const QString&) override {}
};

} // namespace

PasswordVault& keyring()
{
#ifdef TOVREL_HAVE_KEYCHAIN
    // Tests never touch the desktop's keyring.
    if (qEnvironmentVariableIsEmpty("TOVREL_TESTING")) {
        static KeychainVault vault;
        return vault;
    }
#endif
    static NoVault none;
    (void)keyFor;
    return none;
}

} // namespace sharing

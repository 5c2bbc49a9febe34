#pragma once

#include <QString>
#include <QUrl>
#include <optional>

namespace sharing {

// Where the password of the shared address book is kept: the desktop's keyring, or nowhere (then it is asked
// for at each sync). It is never written to a file or a log.
class PasswordVault
{
public:
    virtual ~PasswordVault() = default;
    // nullopt when none is stored or no keyring is there; `why` then says which.
    [[nodiscard]] virtual std::optional<QString> read(const QUrl& url, const QString& user, QString* why) = 0;
    // false (and why) when the keyring cannot take it.
    virtual bool write(const QUrl& url, const QString& user, const QString& password, QString* why) = 0;
    virtual void remove(const QUrl& url, const QString& user) = 0;
};

// The desktop's keyring through QtKeychain; a vault that keeps nothing where the program was built without it.
[[nodiscard]] PasswordVault& keyring();

} // namespace sharing

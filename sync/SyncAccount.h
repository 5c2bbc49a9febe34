#pragma once

#include <QString>
#include <QUrl>

namespace sharing {

// The shared address book's account; the password is never part of it (it lives in the keyring or is asked for).
struct SyncAccount
{
    QUrl url;
    QString user;
    bool allowPlainHttp = false; // the user confirmed plain http:// to a host that is not this machine
    bool syncAtStart = false;
    bool syncAtExit = false;

    [[nodiscard]] bool isSet() const { return url.isValid() && !url.isEmpty(); }
};

} // namespace sharing

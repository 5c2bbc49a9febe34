#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

#include "sync/SyncAccount.h"

namespace sharing {

// The account is kept in the settings file, section [SharedAddressBook]; the password never is.
[[nodiscard]] SyncAccount readSyncAccount(const QString& iniPath);
void writeSyncAccount(const QString& iniPath, const SyncAccount& account);

[[nodiscard]] bool isSyncCommand(const QStringList& arguments);

// Runs --sync without a window when the arguments ask for it; nullopt when they do not.
//   --sync [URL --user NAME] [--password-file FILE] [--allow-http]
[[nodiscard]] std::optional<int> runSyncCommand(const QStringList& arguments, int& argc, char** argv);

} // namespace sharing

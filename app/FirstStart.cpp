#include "app/FirstStart.h"

#include "data/ContactStore.h"
#include "platform/ListFile.h"
#include "platform/AppError.h"
#include "platform/Services.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace app {

bool offerNewAddressBook(const QString& programFolder)
{
    const QString database = programFolder + data::databaseFileName();
    // A dangling link counts as a file: whatever it pointed at may come back.
    const QFileInfo info(database);
    if (info.exists() || info.isSymLink())
        return false;
    const QString shown = QDir::toNativeSeparators(QDir::cleanPath(programFolder));
    const platform::Answer answer = platform::prompts().message(
        nullptr, QStringLiteral("Confirm"),
        QStringLiteral("There is no address book in %1. Make a new, empty one there?").arg(shown),
        platform::Icon::Question, platform::Buttons::YesNo);
    if (answer != platform::Answer::Yes)
        return false;
    makeNewAddressBook(programFolder);
    return true;
}

void makeNewAddressBook(const QString& programFolder)
{
    const bool made = !QFileInfo::exists(programFolder);
    if (!QDir().mkpath(programFolder))
        throw platform::AppError(
            QStringLiteral("Cannot create folder %1").arg(QDir::toNativeSeparators(QDir::cleanPath(programFolder))));
    // Other people's addresses: a folder made here is the user's alone. One that was there is left as it is.
    if (made)
        QFile::setPermissions(programFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    data::createDatabaseIfMissing(programFolder + data::databaseFileName());
    // Without a county list the first start would greet the user with an error.
    const QString listFile = programFolder + QStringLiteral("ListFile.txt");
    const QFileInfo list(listFile);
    if (!list.exists() && !list.isSymLink())
        writeListFile(listFile, {});
}

} // namespace app

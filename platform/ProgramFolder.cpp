#include "platform/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace platform {

namespace {
QString& overrideFolder()
{
    static QString folder;
    return folder;
}

QString withSeparator(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}
} // namespace

QString executableFolder() { return withSeparator(QCoreApplication::applicationDirPath()); }

QString userDataFolder()
{
    // Not AppDataLocation: that depends on the application and organisation names being set first, and the batch
    // commands ask before there is an application object.
    return withSeparator(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                         QStringLiteral("/Tovrel"));
}

QString programFolder()
{
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    const QString beside = executableFolder();
    if (QFileInfo::exists(beside + QStringLiteral("Tovrel.mdb")))
        return beside;
    return userDataFolder();
}

void setProgramFolder(const QString& folder)
{
    overrideFolder() = folder.isEmpty() ? QString() : withSeparator(QFileInfo(folder).absoluteFilePath());
}

QString programFile(const QString& name) { return programFolder() + name; }

} // namespace platform

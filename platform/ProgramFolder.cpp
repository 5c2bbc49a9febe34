#include "platform/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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

QString programFolder()
{
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    return withSeparator(QCoreApplication::applicationDirPath());
}

void setProgramFolder(const QString& folder)
{
    overrideFolder() = folder.isEmpty() ? QString() : withSeparator(QFileInfo(folder).absoluteFilePath());
}

QString programFile(const QString& name) { return programFolder() + name; }

} // namespace platform

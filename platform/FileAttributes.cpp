#include "platform/FileAttributes.h"

#include <QFileInfo>

bool hasFileAttributes(const QString& path, FileAttributes attributes)
{
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    if (attributes.testFlag(FileAttribute::Directory) && !info.isDir())
        return false;
    if (attributes.testFlag(FileAttribute::Hidden) && !info.fileName().startsWith(QLatin1Char('.')))
        return false;
    if (attributes.testFlag(FileAttribute::ReadOnly) && info.permission(QFileDevice::WriteOwner))
        return false;
    return true;
}

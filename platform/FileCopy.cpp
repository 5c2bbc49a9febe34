#include "platform/FileCopy.h"

#include "platform/AppError.h"
#include "platform/FileAttributes.h"
#include "platform/SafeWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <sys/stat.h>

using safewrite::reasonOf;

namespace {

// The full path, with "." and ".." resolved; a trailing separator is kept, since it says "a folder".
QString expandFileName(const QString& name)
{
    QString full = QDir::cleanPath(QFileInfo(name).absoluteFilePath());
    if ((name.endsWith(QLatin1Char('/')) || name.endsWith(QDir::separator())) && !full.endsWith(QLatin1Char('/')))
        full += QLatin1Char('/');
    return full;
}

} // namespace

void CopyDataFile(const QString& source, const QString& destination)
{
    CopyDataFile(source, destination,
                 [](QIODevice& to, const char* data, qint64 size) { return to.write(data, size); });
}

void CopyDataFile(const QString& source, const QString& destination, const BlockWriter& write)
{
    QString target = expandFileName(destination);
    if (hasFileAttributes(target, FileAttribute::Directory)) {
        if (!target.endsWith(QLatin1Char('/')))
            target += QLatin1Char('/');
        target += QFileInfo(source).fileName();
    }

    // The source first: a missing or unreadable source never touches the destination.
    QFile from(source);
    if (!from.open(QIODevice::ReadOnly))
        throw platform::AppError(QStringLiteral("Cannot open file %1: %2").arg(source, reasonOf(from)));

    QSaveFile to(target);
    const auto cannotCreate = [&](const QString& reason) {
        to.cancelWriting();
        return platform::AppError(QStringLiteral("Cannot create file %1: %2").arg(target, reason));
    };
    if (!to.open(QIODevice::WriteOnly))
        throw cannotCreate(reasonOf(to));
    // The copy is as private as its source: a backup of the address book is the address book. Best effort: a
    // memory stick's file system keeps no modes and refuses to be given one.
    struct stat mode = {};
    if (::fstat(from.handle(), &mode) == 0)
        (void)::fchmod(to.handle(), mode.st_mode & 07777);

    // Until the end of the source, not until the first short read: a file of whole blocks is copied whole too.
    QByteArray buffer(CopyBlockSize, Qt::Uninitialized);
    for (;;) {
        const qint64 count = from.read(buffer.data(), CopyBlockSize);
        if (count < 0) {
            const QString reason = reasonOf(from);
            to.cancelWriting();
            throw platform::AppError(QStringLiteral("Cannot read file %1: %2").arg(source, reason));
        }
        if (count == 0)
            break;
        errno = 0;
        if (write(to, buffer.constData(), count) != count) {
            const bool systemError = errno != 0 || to.error() != QFileDevice::NoError;
            throw cannotCreate(systemError ? reasonOf(to) : QStringLiteral("the write fell short"));
        }
    }
    QString reason;
    if (!safewrite::commitToDisk(to, &reason))
        throw platform::AppError(QStringLiteral("Cannot create file %1: %2").arg(target, reason));
}


#include "platform/SafeWrite.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace safewrite {

namespace {

// Forces the temporary file's bytes to disk before it replaces anything.
[[nodiscard]] bool syncToDisk(QSaveFile& file, QString* reason)
{
    if (!file.flush()) {
        if (reason)
            *reason = reasonOf(file);
        return false;
    }
    int result = 0;
    do {
        result = ::fsync(file.handle());
    } while (result != 0 && errno == EINTR);
    if (result != 0 && reason)
        *reason = reasonOf(file, errno);
    return result == 0;
}

// Makes the rename itself durable. Best effort: by now the new file is in place either way.
void syncFolder(const QString& filePath)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(filePath).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

QString reasonOf(const QFileDevice& file, int error)
{
    const QString text = file.errorString();
    if (error == 0 && file.error() != QFileDevice::NoError && !text.isEmpty() && text != QLatin1String("Unknown error"))
        return text;
    return QString::fromLocal8Bit(std::strerror(error != 0 ? error : errno));
}

bool commitToDisk(QSaveFile& file, QString* reason)
{
    if (!syncToDisk(file, reason)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (reason)
            *reason = reasonOf(file);
        return false;
    }
    syncFolder(file.fileName());
    return true;
}

} // namespace safewrite

bool writeFileSafely(const QString& path, const QByteArray& bytes, QString* reason)
{
    QSaveFile file(path);
    const bool existed = QFileInfo::exists(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (reason)
            *reason = safewrite::reasonOf(file);
        return false;
    }
    // The program's own files are nobody else's business; one that is there keeps the mode it was given. Best
    // effort, as for a copy.
    if (!existed)
        (void)::fchmod(file.handle(), S_IRUSR | S_IWUSR);
    if (file.write(bytes) != bytes.size()) {
        if (reason)
            *reason = safewrite::reasonOf(file);
        file.cancelWriting();
        return false;
    }
    return safewrite::commitToDisk(file, reason);
}

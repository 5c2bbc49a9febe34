#include "platform/RescueFile.h"

#include "platform/AppError.h"
#include "platform/ProgramFolder.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

QString writeRescueFile(const QString& name, const QString& suffix, const QByteArray& bytes)
{
    for (int number = 1; number < 10000; ++number) {
        const QString path = programFile(number == 1 ? QStringLiteral("%1.%2").arg(name, suffix)
                                                     : QStringLiteral("%1 %2.%3").arg(name).arg(number).arg(suffix));
        const QByteArray native = QFile::encodeName(path);
        // Made here and now, never through a link or over a file that is there.
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            throw AppError(
                QStringLiteral("Cannot create file %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        }
        (void)::fchmod(fd, S_IRUSR | S_IWUSR);
        qsizetype done = 0;
        int error = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                error = n < 0 ? errno : EIO;
                break;
            }
            done += n;
        }
        if (error == 0 && ::fsync(fd) != 0)
            error = errno;
        if (::close(fd) != 0 && error == 0)
            error = errno;
        if (error != 0) {
            ::unlink(native.constData());
            throw AppError(
                QStringLiteral("Cannot write the file %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error))));
        }
        return path;
    }
    throw AppError(QStringLiteral("Cannot create file %1: too many rescued files").arg(programFile(name)));
}

} // namespace platform

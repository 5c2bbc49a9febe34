#include "data/FileLock.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace data {

bool FileLock::acquire(const QString& path, Mode mode, int waitMs)
{
    release();
    const QByteArray name = QFile::encodeName(path);
    const int operation = (mode == Mode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            m_error = errno;
            return false;
        }
        int rc;
        do {
            rc = ::flock(fd, operation);
        } while (rc != 0 && errno == EINTR);
        if (rc == 0) {
            // A restore renames a new file over the old one: a lock won on the file that was replaced meanwhile
            // guards nothing, so it is taken again on the file now at path.
            struct stat held {};
            struct stat current {};
            if (::fstat(fd, &held) == 0 && ::stat(name.constData(), &current) == 0 && held.st_dev == current.st_dev &&
                held.st_ino == current.st_ino) {
                m_fd = fd;
                m_error = 0;
                return true;
            }
            ::close(fd);
            if (waited.elapsed() >= waitMs) {
                m_error = 0;
                return false;
            }
            continue;
        }
        const int error = errno;
        ::close(fd);
        if (error != EWOULDBLOCK) {
            m_error = error;
            return false;
        }
        if (waited.elapsed() >= waitMs) {
            m_error = 0;
            return false;
        }
        QThread::msleep(10);
    }
}

void FileLock::release()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace data

#include "support/TestFiles.h"

#include <QFile>
#include <QtGlobal>
#include <csignal>
#include <sys/resource.h>

namespace testsupport {

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    // Without this the system stops the process instead of failing the write.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    m_former = qint64(limit.rlim_cur);
    m_formerMax = qint64(limit.rlim_max);
    limit.rlim_cur = rlim_t(bytes);
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        qFatal("cannot limit the file size");
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit limit{};
    limit.rlim_cur = rlim_t(m_former);
    limit.rlim_max = rlim_t(m_formerMax);
    setrlimit(RLIMIT_FSIZE, &limit);
}

QString accessSample(const char* name)
{
    const QString path = QStringLiteral(TOVREL_TEST_DATA "/access/") + QLatin1String(name);
    return QFile::exists(path) ? path : QString();
}

} // namespace testsupport

#include "support/TestFiles.h"

#include <QFile>
#include <QtGlobal>

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

QString accessSample(const char* name)
{
    const QString path = QStringLiteral(TOVREL_TEST_DATA "/access/") + QLatin1String(name);
    return QFile::exists(path) ? path : QString();
}

} // namespace testsupport

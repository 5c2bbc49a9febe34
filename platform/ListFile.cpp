#include "platform/ListFile.h"

#include "platform/SafeWrite.h"
#include "platform/TextFileEncoding.h"
#include "platform/AppError.h"

#include <QFile>
#include <QFileInfo>

namespace {

QString fullPath(const QString& path)
{
    return QFileInfo(path).absoluteFilePath();
}

} // namespace

QStringList readListFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw platform::AppError(QStringLiteral("Cannot open file %1").arg(fullPath(path)));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw platform::AppError(QStringLiteral("Cannot open file %1").arg(fullPath(path)));

    const QString text = decodeText(bytes).text;
    QStringList entries;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch != QLatin1Char('\r') && ch != QLatin1Char('\n'))
            continue;
        entries.append(text.mid(start, i - start));
        if (ch == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        entries.append(text.mid(start));
    return entries;
}

void writeListFile(const QString& path, const QStringList& entries)
{
    QString text;
    for (const QString& entry : entries)
        text += entry + QStringLiteral("\r\n");
    QString reason;
    if (!writeFileSafely(path, encodeText(text, TextEncoding::Windows1252), &reason))
        throw platform::AppError(QStringLiteral("Cannot create file %1: %2").arg(fullPath(path), reason));
}

#include "app/ListFile.h"

#include "platform/AppError.h"

#include <QFile>
#include <QRegularExpression>

// TEMPORARY stand-in until the county list file functions land on main.

QStringList readListFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw platform::AppError(QStringLiteral("Cannot open file %1").arg(path));
    QString text = QString::fromUtf8(f.readAll());
    if (text.isEmpty())
        return {};
    QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void writeListFile(const QString& path, const QStringList& entries)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw platform::AppError(QStringLiteral("Cannot create file %1").arg(path));
    for (const QString& e : entries)
        f.write((e + QStringLiteral("\r\n")).toLocal8Bit());
}

#include "app/IniFile.h"

#include "platform/AppError.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

// TEMPORARY stand-in until the settings file class lands on main.

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

namespace {
QStringList readLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
}
} // namespace

int IniFile::readInteger(const QString& section, const QString& key, int defaultValue) const
{
    bool in = false;
    for (const QString& line : readLines(m_path)) {
        const QString t = line.trimmed();
        if (t.startsWith(QLatin1Char('['))) {
            in = t.mid(1, t.size() - 2).compare(section, Qt::CaseInsensitive) == 0;
        } else if (in && t.section(QLatin1Char('='), 0, 0).trimmed().compare(key, Qt::CaseInsensitive) == 0) {
            bool ok = false;
            const int v = t.section(QLatin1Char('='), 1).trimmed().toInt(&ok);
            return ok ? v : defaultValue;
        }
    }
    return defaultValue;
}

void IniFile::writeInteger(const QString& section, const QString& key, int value)
{
    QStringList lines = readLines(m_path);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    int sectionAt = -1;
    int insertAt = -1;
    bool done = false;
    for (int i = 0; i < lines.size() && !done; ++i) {
        const QString t = lines[i].trimmed();
        if (t.startsWith(QLatin1Char('['))) {
            if (sectionAt >= 0)
                break;
            if (t.mid(1, t.size() - 2).compare(section, Qt::CaseInsensitive) == 0)
                sectionAt = insertAt = i;
        } else if (sectionAt >= 0) {
            if (!t.isEmpty())
                insertAt = i;
            if (t.section(QLatin1Char('='), 0, 0).compare(key, Qt::CaseInsensitive) == 0) {
                lines[i] = t.section(QLatin1Char('='), 0, 0) + QLatin1Char('=') + QString::number(value);
                done = true;
            }
        }
    }
    if (!done) {
        const QString entry = key + QLatin1Char('=') + QString::number(value);
        if (sectionAt < 0)
            lines << QLatin1Char('[') + section + QLatin1Char(']') << entry;
        else
            lines.insert(insertAt + 1, entry);
    }
    QSaveFile f(m_path);
    if (!f.open(QIODevice::WriteOnly) || f.write((lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8()) < 0 ||
        !f.commit())
        throw platform::AppError(QStringLiteral("Unable to write to %1").arg(m_path));
}

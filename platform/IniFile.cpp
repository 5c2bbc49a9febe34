#include "platform/IniFile.h"

#include "platform/SafeWrite.h"
#include "platform/TextFileEncoding.h"
#include "platform/AppError.h"

#include <QFile>
#include <QFileInfo>
#include <QList>

namespace {

struct Line
{
    QString text;
    QString end; // the line's own line end; empty for a last line without one
};

struct Document
{
    QList<Line> lines;
    TextEncoding encoding = TextEncoding::Windows1252;
    QString lineEnd = QStringLiteral("\r\n");
};

// Where a key stands: its section header, the key's line, and the section's last entry (where a new key goes).
struct Location
{
    qsizetype header = -1;
    qsizetype key = -1;
    qsizetype lastEntry = -1;
};

Document parse(const QByteArray& bytes)
{
    Document doc;
    const DecodedText decoded = decodeText(bytes);
    doc.encoding = decoded.encoding;
    const QString& text = decoded.text;
    bool styleFound = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch != QLatin1Char('\r') && ch != QLatin1Char('\n'))
            continue;
        const bool crlf = ch == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n');
        const QString end = crlf ? QStringLiteral("\r\n") : QString(ch);
        doc.lines.append({text.mid(start, i - start), end});
        if (!styleFound) {
            doc.lineEnd = end;
            styleFound = true;
        }
        i += crlf ? 1 : 0;
        start = i + 1;
    }
    if (start < text.size())
        doc.lines.append({text.mid(start), QString()});
    return doc;
}

QString join(const Document& doc)
{
    QString text;
    for (const Line& line : doc.lines)
        text += line.text + line.end;
    return text;
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A header is "[name]" after blanks; the name runs to the last closing bracket.
bool sectionHeader(const QString& line, QString* name)
{
    const QString trimmed = line.trimmed();
    const qsizetype close = trimmed.lastIndexOf(QLatin1Char(']'));
    if (!trimmed.startsWith(QLatin1Char('[')) || close < 0)
        return false;
    *name = trimmed.mid(1, close - 1).trimmed();
    return true;
}

bool isEntry(const QString& line)
{
    const QString trimmed = line.trimmed();
    return !trimmed.isEmpty() && !trimmed.startsWith(QLatin1Char(';'));
}

bool keyValue(const QString& line, QString* key, QString* value)
{
    if (!isEntry(line))
        return false;
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals < 0)
        return false;
    *key = line.left(equals).trimmed();
    *value = line.mid(equals + 1).trimmed();
    return !key->isEmpty();
}

Location find(const Document& doc, const QString& section, const QString& key)
{
    Location where;
    QString name, entryKey, value;
    for (qsizetype i = 0; i < doc.lines.size(); ++i) {
        const QString& line = doc.lines.at(i).text;
        if (sectionHeader(line, &name)) {
            if (where.header >= 0)
                break; // only the first section of the name counts
            if (sameName(name, section))
                where.header = where.lastEntry = i;
            continue;
        }
        if (where.header < 0 || !isEntry(line))
            continue;
        where.lastEntry = i;
        if (where.key < 0 && keyValue(line, &entryKey, &value) && sameName(entryKey, key))
            where.key = i;
    }
    return where;
}

// Optional blanks, optional sign, decimal digits, within int; nothing else.
bool parseWholeNumber(const QString& text, int* number)
{
    const QString trimmed = text.trimmed();
    qsizetype i = 0;
    if (i < trimmed.size() && (trimmed.at(i) == QLatin1Char('+') || trimmed.at(i) == QLatin1Char('-')))
        ++i;
    if (i == trimmed.size())
        return false;
    for (qsizetype j = i; j < trimmed.size(); ++j) {
        if (trimmed.at(j) < QLatin1Char('0') || trimmed.at(j) > QLatin1Char('9'))
            return false;
    }
    bool ok = false;
    const int parsed = trimmed.toInt(&ok, 10);
    if (ok)
        *number = parsed;
    return ok;
}

} // namespace

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

int IniFile::readInteger(const QString& section, const QString& key, int defaultValue) const
{
    const QString value = readString(section, key);
    int number = 0;
    if (!parseWholeNumber(value, &number))
        return defaultValue;
    return number;
}

QString IniFile::readString(const QString& section, const QString& key, const QString& defaultValue) const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return defaultValue;
    const Document doc = parse(file.readAll());
    const Location where = find(doc, section, key);
    QString entryKey, value;
    if (where.key < 0 || !keyValue(doc.lines.at(where.key).text, &entryKey, &value))
        return defaultValue;
    return value;
}

QStringList IniFile::sectionNames() const
{
    QStringList names;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return names;
    const Document doc = parse(file.readAll());
    QString name;
    for (const Line& line : doc.lines)
        if (sectionHeader(line.text, &name) && !names.contains(name, Qt::CaseInsensitive))
            names << name;
    return names;
}

void IniFile::writeInteger(const QString& section, const QString& key, int value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value)
{
    if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')))
        throw platform::AppError(QStringLiteral("The value for %1 holds a line break").arg(key));
    const auto unableToWrite = [this](const QString& reason) {
        return platform::AppError(
            QStringLiteral("Unable to write to %1: %2").arg(QFileInfo(m_path).absoluteFilePath(), reason));
    };

    // A file that exists but cannot be read must not be replaced by one holding only this key.
    Document doc;
    QFile file(m_path);
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly))
            throw unableToWrite(file.errorString());
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw unableToWrite(file.errorString());
        doc = parse(bytes);
        file.close();
    }

    const Location where = find(doc, section, key);
    const QString number = value.trimmed();
    if (where.key >= 0) {
        QString entryKey, oldValue;
        keyValue(doc.lines.at(where.key).text, &entryKey, &oldValue);
        doc.lines[where.key].text = entryKey + QLatin1Char('=') + number;
    } else {
        qsizetype insertAt = where.lastEntry + 1;
        if (where.header < 0) {
            // A new section goes at the end, after a blank line that sets it apart from the one before.
            if (!doc.lines.isEmpty()) {
                if (doc.lines.constLast().end.isEmpty())
                    doc.lines.last().end = doc.lineEnd;
                if (!doc.lines.constLast().text.trimmed().isEmpty())
                    doc.lines.append({QString(), doc.lineEnd});
            }
            insertAt = doc.lines.size() + 1;
            doc.lines.append({QLatin1Char('[') + section + QLatin1Char(']'), doc.lineEnd});
        }
        // The line before the new one may have been the file's last, without a line end.
        if (insertAt > 0 && doc.lines.at(insertAt - 1).end.isEmpty())
            doc.lines[insertAt - 1].end = doc.lineEnd;
        doc.lines.insert(insertAt, {key + QLatin1Char('=') + number, doc.lineEnd});
    }

    QString reason;
    if (!writeFileSafely(m_path, encodeText(join(doc), doc.encoding), &reason))
        throw unableToWrite(reason);
}

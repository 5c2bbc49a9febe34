#pragma once

#include <QList>
#include <QMap>
#include <QString>

namespace exchange {

enum class Severity { Info, Warning };

// Something the user should know about an import: a value moved, a row repaired, a part ignored.
// A text for a note or message with a value in it: a value may run to megabytes, and its head and tail say which
// it is. Short texts are returned as they are.
[[nodiscard]] QString shortenedForNote(const QString& text);

struct Notice
{
    Severity severity = Severity::Info;
    qint64 record = 0; // one-based contact number in the file; 0: about the file
    qint64 line = 0;   // one-based line (or row) number; 0: none
    QString text;

    // "Record 3, line 17: text"
    [[nodiscard]] QString toString() const;
};

// What a reader noticed and what it left out, gathered while reading.
class ImportLog
{
public:
    void add(Severity severity, qint64 record, qint64 line, const QString& text);
    // Counts a property or column value that has no place in a contact.
    void skip(const QString& what, qint64 count = 1);

    // The first MaxNotices notices; noticeCount() counts them all.
    [[nodiscard]] const QList<Notice>& notices() const { return m_notices; }
    [[nodiscard]] qint64 noticeCount() const { return m_noticeCount; }
    [[nodiscard]] qint64 warningCount() const { return m_warningCount; }
    [[nodiscard]] const QMap<QString, qint64>& skipped() const { return m_skipped; }
    [[nodiscard]] qint64 skippedCount() const;

    static constexpr qsizetype MaxNotices = 1000;

private:
    QList<Notice> m_notices;
    qint64 m_noticeCount = 0;
    qint64 m_warningCount = 0;
    QMap<QString, qint64> m_skipped;
};

} // namespace exchange

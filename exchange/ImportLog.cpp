#include "exchange/ImportLog.h"

namespace exchange {

QString shortenedForNote(const QString& text)
{
    constexpr qsizetype Head = 200;
    constexpr qsizetype Tail = 60;
    if (text.size() <= Head + Tail + 100)
        return text;
    // Never between the two halves of a character outside the BMP.
    const qsizetype head = text.at(Head - 1).isHighSurrogate() ? Head - 1 : Head;
    const qsizetype tail = text.at(text.size() - Tail).isLowSurrogate() ? Tail - 1 : Tail;
    return text.left(head) + QStringLiteral(" … (%1 characters left out) … ").arg(text.size() - head - tail) +
           text.right(tail);
}

QString Notice::toString() const
{
    QString where;
    if (record > 0 && line > 0)
        where = QStringLiteral("Record %1, line %2: ").arg(record).arg(line);
    else if (record > 0)
        where = QStringLiteral("Record %1: ").arg(record);
    else if (line > 0)
        where = QStringLiteral("Line %1: ").arg(line);
    return where + text;
}

void ImportLog::add(Severity severity, qint64 record, qint64 line, const QString& text)
{
    ++m_noticeCount;
    if (severity == Severity::Warning)
        ++m_warningCount;
    if (m_notices.size() >= MaxNotices)
        return;
    m_notices.append(Notice{severity, record, line, shortenedForNote(text)});
}

void ImportLog::skip(const QString& what, qint64 count)
{
    m_skipped[what] += count;
}

qint64 ImportLog::skippedCount() const
{
    qint64 total = 0;
    for (qint64 n : m_skipped)
        total += n;
    return total;
}

} // namespace exchange

#include "exchange/BirthdayCalendar.h"

#include "data/Birthday.h"
#include "data/Dataset.h"
#include "platform/AppError.h"
#include "platform/OutputFile.h"

#include <QIODevice>

namespace exchange {

namespace {

QString escaped(QString text)
{
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QLatin1Char(';'), QStringLiteral("\\;"));
    text.replace(QLatin1Char(','), QStringLiteral("\\,"));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    text.remove(QLatin1Char('\r'));
    return text;
}

// Content lines longer than 75 octets are folded, never inside a UTF-8 sequence.
void addLine(QByteArray& out, const QString& line)
{
    const QByteArray utf8 = line.toUtf8();
    int start = 0;
    int limit = 75;
    while (utf8.size() - start > limit) {
        int cut = start + limit;
        while (cut > start && (uchar(utf8[cut]) & 0xC0) == 0x80)
            --cut;
        out += utf8.mid(start, cut - start) + "\r\n ";
        start = cut;
        limit = 74; // the leading space counts
    }
    out += utf8.mid(start) + "\r\n";
}

} // namespace

QByteArray birthdayCalendar(const data::Dataset& query, const QDateTime& stamp, qint64* events)
{
    const int birthdayField = query.requireField(QStringLiteral("Birthday"));
    const int notesField = query.requireField(QStringLiteral("Notes"));
    const int surname = query.requireField(QStringLiteral("Surname"));
    const int firstname = query.requireField(QStringLiteral("Firstname"));
    QByteArray out;
    addLine(out, QStringLiteral("BEGIN:VCALENDAR"));
    addLine(out, QStringLiteral("VERSION:2.0"));
    addLine(out, QStringLiteral("PRODID:-//Tovrel//Birthdays//EN"));
    addLine(out, QStringLiteral("CALSCALE:GREGORIAN"));
    addLine(out, QStringLiteral("X-WR-CALNAME:Birthdays"));
    const QString dtstamp = stamp.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    qint64 count = 0;
    for (int r = 0; r < query.recordCount(); ++r) {
        const auto b = data::birthdayOf(query.text(r, birthdayField), query.text(r, notesField));
        if (!b)
            continue;
        const QString name =
            QStringList{query.text(r, firstname), query.text(r, surname)}.join(QLatin1Char(' ')).trimmed();
        // Without a year, the start is in 1604, the year calendar programs read as "no year" (a leap year, so
        // 29 February is a real date in it).
        const int year = b->year > 0 ? b->year : 1604;
        const QDate start(year, b->month, b->day);
        addLine(out, QStringLiteral("BEGIN:VEVENT"));
        addLine(out, QStringLiteral("UID:tovrel-birthday-%1").arg(query.rowKey(r)));
        addLine(out, QStringLiteral("DTSTAMP:") + dtstamp);
        if (b->year > 0)
            addLine(out, QStringLiteral("DTSTART;VALUE=DATE:") + start.toString(QStringLiteral("yyyyMMdd")));
        else
            addLine(out, QStringLiteral("DTSTART;VALUE=DATE;X-APPLE-OMIT-YEAR=1604:") +
                             start.toString(QStringLiteral("yyyyMMdd")));
        addLine(out, QStringLiteral("DURATION:P1D"));
        // On 29 February: the last day of February, so the day is kept in the years without it.
        if (b->month == 2 && b->day == 29)
            addLine(out, QStringLiteral("RRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=-1"));
        else
            addLine(out, QStringLiteral("RRULE:FREQ=YEARLY"));
        addLine(out, QStringLiteral("SUMMARY:") + escaped(QStringLiteral("Birthday: %1").arg(name)));
        if (b->year > 0)
            addLine(out, QStringLiteral("DESCRIPTION:") + escaped(QStringLiteral("Born %1").arg(b->year)));
        addLine(out, QStringLiteral("TRANSP:TRANSPARENT"));
        addLine(out, QStringLiteral("END:VEVENT"));
        ++count;
    }
    addLine(out, QStringLiteral("END:VCALENDAR"));
    if (events)
        *events = count;
    return out;
}

qint64 writeBirthdayCalendar(const data::Dataset& query, const QString& path, const QDateTime& stamp)
{
    qint64 events = 0;
    const QByteArray text = birthdayCalendar(query, stamp, &events);
    // A calendar of no events would take the place of a good one.
    if (events == 0)
        throw platform::AppError(
            QStringLiteral("There are no birthdays to export: %1; %2 was not written")
                .arg(query.recordCount() == 0 ? QStringLiteral("the selection is empty")
                                              : QStringLiteral("no contact of the selection has a birthday"),
                     path));
    platform::OutputFile file(path);
    file.open();
    if (file.device().write(text) != text.size())
        throw platform::AppError(QStringLiteral("Cannot write the file %1: %2").arg(path, file.device().errorString()));
    file.commit();
    return events;
}

} // namespace exchange

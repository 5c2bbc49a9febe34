#include "data/Birthday.h"

#include "data/DateText.h"

#include <QRegularExpression>

namespace data {

namespace {

// The day of the birthday in a given year: 29 February falls on 28 February in a year without it.
QDate dayIn(const Birthday& b, int year)
{
    if (b.month == 2 && b.day == 29 && !QDate::isLeapYear(year))
        return QDate(year, 2, 28);
    return QDate(year, b.month, b.day);
}

} // namespace

std::optional<Birthday> birthdayOf(const QString& birthdayField, const QString& notes)
{
    const QString field = birthdayField.trimmed();
    if (!field.isEmpty()) {
        QDate date = QDate::fromString(field.left(10), Qt::ISODate);
        if (!date.isValid()) // as shown, where a report reads it
            date = parseDate(field).value_or(QDate());
        if (date.isValid())
            // 1604 is the year calendar programs write for "year not known".
            return Birthday{date.month(), date.day(), date.year() == 1604 ? 0 : date.year()};
    }
    static const QRegularExpression noYear(QStringLiteral("^Birthday: (\\d{1,2})/(\\d{1,2})\\s*$"),
                                           QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = noYear.match(notes);
    if (m.hasMatch()) {
        const int day = m.captured(1).toInt();
        const int month = m.captured(2).toInt();
        if (QDate(2000, month, day).isValid())
            return Birthday{month, day, 0};
    }
    return std::nullopt;
}

int ageReached(const Birthday& birthday, int year)
{
    if (birthday.year <= 0 || year <= birthday.year)
        return 0;
    return year - birthday.year;
}

bool fallsWithin(const Birthday& birthday, const QDate& today, int days)
{
    for (int year : {today.year(), today.year() + 1}) {
        const qint64 ahead = today.daysTo(dayIn(birthday, year));
        if (ahead >= 0 && ahead < days)
            return true;
    }
    return false;
}

} // namespace data

#pragma once

#include <QDate>
#include <QString>
#include <optional>

namespace data {

// A birthday as the address book holds it: the Birthday field, or for a day without a year (an imported card's
// "--0504") the "Birthday: DD/MM" line the import left in Notes.
struct Birthday
{
    int month = 0;
    int day = 0;
    int year = 0; // 0: not known
};

[[nodiscard]] std::optional<Birthday> birthdayOf(const QString& birthdayField, const QString& notes);
// The age reached on the birthday in this year; 0 when the year is not known or not yet born.
[[nodiscard]] int ageReached(const Birthday& birthday, int year);
// Whether the birthday falls within days days from today (today included); 29 February counts as 28 February in
// a year without it.
[[nodiscard]] bool fallsWithin(const Birthday& birthday, const QDate& today, int days);

} // namespace data

#pragma once

#include <QDateTime>
#include <QString>

namespace data {
class Dataset;
}

namespace exchange {

// Writes an iCalendar file with one yearly all-day event per contact of the query that has a birthday. Each event's
// UID is made from the contact's key, so a calendar importing the file again updates its events. Returns how many
// events were written; throws AppError when there is none or the file cannot be written (nothing is left
// half-written; the targets refused are those of platform::OutputFile).
qint64 writeBirthdayCalendar(const data::Dataset& query, const QString& path, const QDateTime& stamp);

// The same text, for a caller that writes it elsewhere.
[[nodiscard]] QByteArray birthdayCalendar(const data::Dataset& query, const QDateTime& stamp, qint64* events = nullptr);

} // namespace exchange

#pragma once

#include <QDate>
#include <QString>
#include <optional>

namespace data {

// Dates are stored as ISO text (YYYY-MM-DD) so that a LIKE search matches their text form.
[[nodiscard]] QString toStorage(const QDate& date);
[[nodiscard]] QDate fromStorage(const QString& text);

// The short date the user sees and types, with a four-digit year.
[[nodiscard]] QString displayDateFormat();
[[nodiscard]] QString formatDate(const QDate& date);

// Accepts the display format, ISO, and the common d/m/y forms; nullopt for text that is not a date.
// Empty text is a valid "no date" (an invalid QDate).
[[nodiscard]] std::optional<QDate> parseDate(const QString& text);

} // namespace data

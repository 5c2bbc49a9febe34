#pragma once

#include <QStringView>

class QCollator;

// The order people read names and words in, used wherever contacts are sorted by a text: the opened contact list,
// a click on a column title, the reports. It is the user's locale collation whatever the database file declares:
// case and accents only decide between texts that are otherwise equal ("de Souza" among the D's, "Émile" beside
// "Emile"), and runs of digits compare by their value ("Flat 9" before "Flat 10").
namespace data {

// The collator of the current default locale (QLocale()); a locale without a collation of its own (C, POSIX)
// takes the common one. Made again when the default locale changes.
[[nodiscard]] const QCollator& textCollator();

// Negative, zero or positive as a sorts before, with or after b.
[[nodiscard]] int compareText(QStringView a, QStringView b);

} // namespace data

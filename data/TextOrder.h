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

// The same collation with case aside (accents still count): "smith" and "Smith" are one surname to a reader.
[[nodiscard]] const QCollator& textCollatorIgnoringCase();

// Negative, zero or positive as a sorts before, with or after b.
[[nodiscard]] int compareText(QStringView a, QStringView b);

// True where the collation finds a and b the same letters with case and accents aside (its primary strength):
// "A", "a", "Å" and "á" in English; not "Å" and "A" in Swedish, where Å is a letter of its own.
[[nodiscard]] bool sameLetters(QStringView a, QStringView b);

// The initial under which a reader files a text: its first character as a capital, with the accent dropped where
// the collation makes nothing of it ("Ångström" and "ap Rhys" under "A", "Øberg" under "O" in English). Empty for
// an empty text.
[[nodiscard]] QString readingInitial(QStringView text);

} // namespace data

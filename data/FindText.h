#pragma once

#include <QString>
#include <QStringList>

struct sqlite3;

// Find as you type: a contact is found when every typed word occurs in some field, case and accents aside; a word
// of digits also finds a phone number written with spaces, brackets or dashes.
namespace data::find {

// The text as compared: accents dropped, case folded.
[[nodiscard]] QString fold(const QString& text);
// The words of what was typed, folded; empty when there is nothing to find.
[[nodiscard]] QStringList words(const QString& typed);
// Only the digits of a phone number.
[[nodiscard]] QString phoneDigits(const QString& text);

// Whether every word (as words() gives them) occurs in one of the texts or, for a word of digits, in the digits of
// one of the phones.
[[nodiscard]] bool matches(const QStringList& foldedWords, const QStringList& texts, const QStringList& phones);

// Registers tovrel_find(typed, Tel, Cell, [Work Tel], other fields...) on a connection.
void registerFunction(sqlite3* db);

// The selection sql narrowed to the contacts the typed text finds (sql itself when it finds everything).
[[nodiscard]] QStringList narrowed(const QStringList& sql, const QString& typed);

} // namespace data::find

#pragma once

#include <QString>
#include <QStringList>

namespace search {

// The search statement: five lines, the field between square brackets when its name holds a space, and the word
// inside a double-quoted pattern with its double quotes doubled, so that whatever the word holds it stays one
// text value and the statement stays one query. The word is found as typed: "%", "_" and "\" in it are escaped.
// A NOT search keeps the contacts whose field is empty too, for they do not hold the word; a date field is
// searched in the forms the user sees as well as the stored one.
[[nodiscard]] QStringList searchStatement(const QString& field, const QString& word, bool notSearch);

// The dialog's Reset: every contact, sorted by surname.
[[nodiscard]] QStringList resetStatement();

} // namespace search

#pragma once

#include "exchange/ContactFields.h"

#include <QList>
#include <QStringList>
#include <optional>
#include <utility>

namespace exchange {

// What the user chose for a column of a CSV file: a field, a labelled line of Notes, or nothing.
struct ColumnChoice
{
    enum class Use { Field, Notes, Skip };
    Use use = Use::Notes;
    Field field = Field::Surname;
    friend bool operator==(const ColumnChoice&, const ColumnChoice&) = default;
};

// Choices by column name, in the order given.
using ColumnChoices = QList<std::pair<QString, ColumnChoice>>;

// "Surname", "Work Tel", "Notes" or "Skip" (any case); nullopt for anything else.
[[nodiscard]] std::optional<ColumnChoice> columnChoiceByName(const QString& name);
[[nodiscard]] QString columnChoiceName(const ColumnChoice& choice);

// Reads "Vorname=Firstname,Nachname=Surname,Fax=Notes,Id=Skip". A column name holding a comma or an equals sign is
// put in double quotes. Throws platform::AppError naming the part that is not understood.
[[nodiscard]] ColumnChoices parseColumnMap(const QString& text);

// The choice given for a column: by its name as written, else by the name without case, spaces and punctuation.
[[nodiscard]] const ColumnChoice* choiceFor(const ColumnChoices& choices, const QString& column);

// A column name without case, spaces or punctuation: "E-mail Address" = "emailaddress", "电子邮件地址" as it is.
[[nodiscard]] QString columnKey(const QString& name);

// The choices kept for files whose header row is `columns`, and keeping them, in the settings file at `iniPath`.
// Only the columns given a choice are kept; a header row seen again gets them back.
[[nodiscard]] ColumnChoices rememberedChoices(const QString& iniPath, const QStringList& columns);
void rememberChoices(const QString& iniPath, const QStringList& columns, const ColumnChoices& choices);

} // namespace exchange

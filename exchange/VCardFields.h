#pragma once

#include "exchange/ContactFields.h"
#include "exchange/VCardSyntax.h"

#include <QString>
#include <array>
#include <optional>

// Which of a vCard's properties fill which of the contact's fields: the one mapping that import (VCardReader) and
// the shared address book (SyncCard) both read cards by. How each reader then cleans a value differs on purpose:
// import tidies what it takes and notes the rest, sync keeps every value as written so that a card goes back as it
// came.
namespace exchange::vcard {

// N's first three components, in order.
inline constexpr std::array<Field, 3> NameFields{Field::Surname, Field::Firstname, Field::Midname};

// ADR's components after the PO box (0) and the street (2); the street's lines fill Address1 and Address2.
struct AddressComponent
{
    int component;
    Field field;
};
inline constexpr std::array<AddressComponent, 5> AddressFields{{
    {1, Field::A3_Village},
    {3, Field::Town},
    {4, Field::County},
    {5, Field::PostCode},
    {6, Field::Country},
}};

// Whether ADR candidate takes the place of the one chosen so far (none: nullptr): the first, unless a later one is
// the home address.
[[nodiscard]] bool isBetterAddress(const Property& candidate, const Property* chosen);

// Whether EMAIL candidate takes the place of the one chosen so far: the first, unless a later one is preferred.
[[nodiscard]] bool isBetterEmail(const Property& candidate, const Property* chosen);

// Fax, pager, textphone and video numbers never take a phone field; a video number that is also a cell is a cell.
[[nodiscard]] bool isSpecialPhone(const Property& p);

// The field a typed number belongs in (cell, work, home); nullopt for special and untyped numbers, which take Tel
// only when no typed number has.
[[nodiscard]] std::optional<Field> phoneField(const Property& p);

// A card without N names the contact from FN: its last word the surname, the rest the first name.
struct SplitName
{
    QString surname;
    QString firstname;
};
[[nodiscard]] SplitName splitFormattedName(const QString& formattedName);

// "mailto:" or "tel:" taken off the front of a value, whatever its case.
[[nodiscard]] QString stripScheme(const QString& value, QLatin1String scheme);

} // namespace exchange::vcard

#pragma once

#include <QString>
#include <array>
#include <optional>

namespace exchange {

// The stored fields of a contact, in table order.
enum class Field {
    Surname,
    Midname,
    Firstname,
    Address1,
    Address2,
    A3_Village,
    Town,
    County,
    PostCode,
    Country,
    Tel,
    Cell,
    Email,
    Birthday, // ISO date text, YYYY-MM-DD
    Notes,    // memo: any length
    Workplace,
    WorkTel,
    Flag,
    Flag2,
};

inline constexpr int FieldCount = 19;

struct FieldInfo
{
    Field field;
    const char* name; // the column name
    int maxLength;    // in UTF-16 code units; 0: no limit (dates and notes)
};

// The one table of names and limits used by import and export.
// clang-format off
inline constexpr std::array<FieldInfo, FieldCount> Fields{{
    {Field::Surname, "Surname", 30},
    {Field::Midname, "Midname", 20},
    {Field::Firstname, "Firstname", 20},
    {Field::Address1, "Address1", 25},
    {Field::Address2, "Address2", 25},
    {Field::A3_Village, "A3_Village", 20},
    {Field::Town, "Town", 20},
    {Field::County, "County", 20},
    {Field::PostCode, "PostCode", 10},
    {Field::Country, "Country", 29},
    {Field::Tel, "Tel", 15},
    {Field::Cell, "Cell", 15},
    {Field::Email, "Email", 50},
    {Field::Birthday, "Birthday", 0},
    {Field::Notes, "Notes", 0},
    {Field::Workplace, "Workplace", 30},
    {Field::WorkTel, "Work Tel", 15},
    {Field::Flag, "Flag", 6},
    {Field::Flag2, "Flag2", 6},
}};
// clang-format on

[[nodiscard]] constexpr int index(Field f)
{
    return static_cast<int>(f);
}
[[nodiscard]] constexpr const FieldInfo& info(Field f)
{
    return Fields[static_cast<std::size_t>(f)];
}
[[nodiscard]] QString fieldName(Field f);
[[nodiscard]] constexpr int maxLength(Field f)
{
    return info(f).maxLength;
}
// The field whose column name is exactly `name` (case-insensitive).
[[nodiscard]] std::optional<Field> fieldByName(const QString& name);

// One contact as plain text values; the birthday is ISO text or empty.
struct Contact
{
    std::array<QString, FieldCount> values;

    [[nodiscard]] QString& operator[](Field f) { return values[static_cast<std::size_t>(f)]; }
    [[nodiscard]] const QString& operator[](Field f) const { return values[static_cast<std::size_t>(f)]; }
    [[nodiscard]] bool isEmpty() const;
    // "Firstname Midname Surname" without empty parts, for messages and previews.
    [[nodiscard]] QString displayName() const;
    friend bool operator==(const Contact&, const Contact&) = default;
};

} // namespace exchange

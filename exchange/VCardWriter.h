#pragma once

#include "exchange/ContactWriter.h"

namespace exchange {

// vCard 4.0 (RFC 6350) or 3.0 (RFC 2426), one card per contact, UTF-8, CR LF line ends.
//
// N: Surname;Firstname;Midname. FN: the name parts, or the workplace or e-mail when there is no name.
// ADR (type home): extended address = A3_Village; street = Address1 and Address2 on two lines
// (joined by an escaped newline); locality = Town; region = County; postal code; country.
// TEL: Tel as home, Cell as cell, Work Tel as work. EMAIL, BDAY, NOTE, ORG = Workplace,
// CATEGORIES = Flag,Flag2 (an empty Flag with a set Flag2 is written ",Flag2" to keep the order).
// Empty values are left out; N and FN are always written. Lines are folded at 75 octets, never
// inside a UTF-8 character or a backslash escape.
class VCardWriter final : public ContactWriter
{
public:
    enum class Version { V30, V40 };
    VCardWriter(QIODevice& device, Version version);
    void write(const Contact& contact) override;

    // Escapes a text value: backslash, comma, semicolon and line breaks.
    [[nodiscard]] static QByteArray escape(const QString& value);
    // Folds one content line (without its line end) into lines of at most 75 octets, each ended by CR LF.
    [[nodiscard]] static QByteArray fold(const QByteArray& line);

private:
    Version m_version;
    QByteArray m_card;
};

} // namespace exchange

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace exchange::vcard {

// The properties the reader acts on; Other is anything else. IM: IMPP and the older X-JABBER, X-SKYPE...;
// OtherDate and Related: the labelled dates and names of Apple's cards; Binary: PHOTO, LOGO, SOUND, KEY;
// Label: X-ABLABEL, the label of the property of the same group; PostalLabel: LABEL, an address as printed on an envelope;
// Vendor: the extensions phones and desktop address books put their own data in (X-ANDROID-CUSTOM, X-KADDRESSBOOK-...,
// X-SOCIALPROFILE).
enum class Kind {
    Other,
    Frame,
    Version,
    N,
    FN,
    ADR,
    TEL,
    EMAIL,
    BDAY,
    NOTE,
    ORG,
    CATEGORIES,
    URL,
    NICKNAME,
    TITLE,
    ROLE,
    ANNIVERSARY,
    IM,
    Related,
    OtherDate,
    Binary,
    Label,
    PostalLabel,
    Vendor,
};
[[nodiscard]] Kind kindOf(const QByteArray& upperName);

// One content line of a vCard, split but not yet decoded.
struct Property
{
    Kind kind = Kind::Other;
    QByteArray group;        // "item1" of item1.TEL; empty when none
    QByteArray name;         // upper case: "TEL"
    QByteArray encoding;     // upper case: "QUOTED-PRINTABLE", "BASE64", "B" or empty
    QByteArray charset;      // as written, or empty
    QByteArray valueType;    // lower case VALUE parameter, or empty
    QList<QByteArray> types; // lower case TYPE values, from every form: TYPE=a,b; TYPE=a;TYPE=b; TYPE="a,b"; bare a
    bool pref = false;       // TYPE=pref or PREF=n
    QByteArray serviceType;  // X-SERVICE-TYPE of IMPP, as written
    QByteArray value;        // raw value bytes after the colon
    qint64 line = 0;

    [[nodiscard]] bool hasType(const char* type) const;
};

// The messaging service an IM property names by itself ("Jabber" for X-JABBER); empty for IMPP.
[[nodiscard]] QString imService(const QByteArray& upperName);

// Splits "group.NAME;param=x;param:value". false: the line has no colon outside quotes.
[[nodiscard]] bool parseProperty(const QByteArray& line, Property& out);

// Whether an unparsed content line declares quoted-printable or base64 encoding in its parameters.
[[nodiscard]] bool declaresQuotedPrintable(const QByteArray& line);
[[nodiscard]] bool declaresBase64(const QByteArray& line);

// Whether a line could start a property: a name (letters, digits, hyphens; a group before a dot), then parameters
// or the colon. A quoted-printable value that a phone broke over lines without a soft break goes on in lines
// that cannot.
[[nodiscard]] bool couldBeProperty(const QByteArray& line);

// Quoted-printable to bytes ("=41" -> 'A'; a malformed "=" sequence is kept as it stands).
[[nodiscard]] QByteArray decodeQuotedPrintable(const QByteArray& text);

enum class Version { V21, V30, V40 };

// Splits a text value at unescaped `separator` (';' for components, ',' for list items).
[[nodiscard]] QStringList splitEscaped(const QString& text, QChar separator);
// Resolves backslash escapes: \n \N \\ \, \; (and \: as some writers put it); vCard 2.1 knows only \;.
// An unknown escape is kept as written.
[[nodiscard]] QString unescape(const QString& text, Version version);

} // namespace exchange::vcard

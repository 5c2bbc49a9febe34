#include "exchange/VCardWriter.h"

#include "exchange/Utf8Append.h"

#include <QDate>

namespace exchange {

namespace {

constexpr qsizetype MaxOctets = 75;

bool isContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Whether the byte at `i` is a backslash that starts an escape (an odd run of backslashes ends there).
bool startsEscape(const QByteArray& s, qsizetype i)
{
    qsizetype run = 0;
    while (i - run >= 0 && s[i - run] == '\\')
        ++run;
    return run % 2 == 1;
}

} // namespace

VCardWriter::VCardWriter(QIODevice& device, Version version) : ContactWriter(device), m_version(version) {}

QByteArray VCardWriter::escape(const QString& value)
{
    QByteArray out;
    const QByteArray utf8 = value.toUtf8();
    out.reserve(utf8.size() + 8);
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case ',':
            out += "\\,";
            break;
        case ';':
            out += "\\;";
            break;
        case '\r':
            if (i + 1 < utf8.size() && utf8[i + 1] == '\n')
                break; // the \n that follows writes the line break
            out += "\\n";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    return out;
}

QByteArray VCardWriter::fold(const QByteArray& line)
{
    QByteArray out;
    out.reserve(line.size() + line.size() / 70 * 3 + 2);
    qsizetype pos = 0;
    qsizetype limit = MaxOctets;
    while (line.size() - pos > limit) {
        qsizetype cut = pos + limit;
        while (cut > pos && isContinuationByte(line[cut]))
            --cut;
        if (cut > pos + 1 && startsEscape(line, cut - 1))
            --cut;
        out += QByteArrayView(line).sliced(pos, cut - pos);
        out += "\r\n ";
        pos = cut;
        limit = MaxOctets - 1; // the leading space counts
    }
    out += QByteArrayView(line).sliced(pos);
    out += "\r\n";
    return out;
}

namespace {

// One content line appended to the card, escaped and folded as it is written: a line break goes before any
// character or escape that would take the line past 75 octets, so neither is ever cut.
class ContentLine
{
public:
    ContentLine(QByteArray& out, QByteArrayView nameAndParams) : m_out(out)
    {
        m_out += nameAndParams;
        m_out += ':';
        m_length = nameAndParams.size() + 1;
    }
    ~ContentLine() { m_out += "\r\n"; }
    ContentLine(const ContentLine&) = delete;
    ContentLine& operator=(const ContentLine&) = delete;

    // A text value: backslash, comma, semicolon and line breaks escaped.
    ContentLine& text(QStringView value)
    {
        char utf8[4];
        for (qsizetype i = 0; i < value.size();) {
            const char16_t c = value[i].unicode();
            switch (c) {
            case '\\':
                unit("\\\\", 2);
                ++i;
                continue;
            case ',':
                unit("\\,", 2);
                ++i;
                continue;
            case ';':
                unit("\\;", 2);
                ++i;
                continue;
            case '\r':
            case '\n':
                unit("\\n", 2);
                i += (c == '\r' && i + 1 < value.size() && value[i + 1] == QLatin1Char('\n')) ? 2 : 1;
                continue;
            default:
                break;
            }
            if (c < 0x80) {
                utf8[0] = char(c);
                unit(utf8, 1);
                ++i;
                continue;
            }
            m_char.truncate(0); // keeps its room
            i = appendUtf8Char(m_char, value, i);
            unit(m_char.constData(), m_char.size());
        }
        return *this;
    }
    // Text that needs no escaping: separators, dates.
    ContentLine& raw(QByteArrayView ascii)
    {
        for (char c : ascii)
            unit(&c, 1);
        return *this;
    }

private:
    void unit(const char* bytes, qsizetype n)
    {
        if (m_length + n > MaxOctets) {
            m_out += "\r\n ";
            m_length = 1; // the leading space counts
        }
        m_out.append(bytes, n);
        m_length += n;
    }

    QByteArray& m_out;
    qsizetype m_length = 0;
    QByteArray m_char;
};

} // namespace

void VCardWriter::write(const Contact& c)
{
    const bool v4 = m_version == Version::V40;
    QByteArray& card = m_card;
    card.clear(); // its room is kept from card to card

    card += "BEGIN:VCARD\r\n";
    card += v4 ? "VERSION:4.0\r\n" : "VERSION:3.0\r\n";

    QString formatted = c.displayName();
    if (formatted.isEmpty())
        formatted = !c[Field::Workplace].isEmpty() ? c[Field::Workplace] : c[Field::Email];
    ContentLine(card, "FN").text(formatted);
    ContentLine(card, "N")
        .text(c[Field::Surname])
        .raw(";")
        .text(c[Field::Firstname])
        .raw(";")
        .text(c[Field::Midname])
        .raw(";;");

    // Street lines by position: a lone second line is written after an empty first one.
    if (!c[Field::Address1].isEmpty() || !c[Field::Address2].isEmpty() || !c[Field::A3_Village].isEmpty() ||
        !c[Field::Town].isEmpty() || !c[Field::County].isEmpty() || !c[Field::PostCode].isEmpty() ||
        !c[Field::Country].isEmpty()) {
        ContentLine adr(card, v4 ? "ADR;TYPE=home" : "ADR;TYPE=HOME");
        adr.raw(";").text(c[Field::A3_Village]).raw(";").text(c[Field::Address1]);
        if (!c[Field::Address2].isEmpty())
            adr.text(u"\n").text(c[Field::Address2]);
        adr.raw(";").text(c[Field::Town]).raw(";").text(c[Field::County]).raw(";").text(c[Field::PostCode]);
        adr.raw(";").text(c[Field::Country]);
    }
    if (!c[Field::Tel].isEmpty())
        ContentLine(card, v4 ? "TEL;TYPE=home,voice" : "TEL;TYPE=HOME,VOICE").text(c[Field::Tel]);
    if (!c[Field::Cell].isEmpty())
        ContentLine(card, v4 ? "TEL;TYPE=cell" : "TEL;TYPE=CELL").text(c[Field::Cell]);
    if (!c[Field::WorkTel].isEmpty())
        ContentLine(card, v4 ? "TEL;TYPE=work,voice" : "TEL;TYPE=WORK,VOICE").text(c[Field::WorkTel]);
    if (!c[Field::Email].isEmpty())
        ContentLine(card, v4 ? "EMAIL" : "EMAIL;TYPE=INTERNET").text(c[Field::Email]);

    const QString& birthday = c[Field::Birthday];
    if (!birthday.isEmpty()) {
        const QDate date = QDate::fromString(birthday.left(10), Qt::ISODate);
        if (!date.isValid())
            ContentLine(card, "BDAY;VALUE=text").text(birthday); // not a date: kept as text rather than lost
        else if (v4)
            ContentLine(card, "BDAY").raw(date.toString(QStringLiteral("yyyyMMdd")).toLatin1());
        else
            ContentLine(card, "BDAY").raw(date.toString(Qt::ISODate).toLatin1());
    }
    if (!c[Field::Workplace].isEmpty())
        ContentLine(card, "ORG").text(c[Field::Workplace]);
    if (!c[Field::Flag].isEmpty() || !c[Field::Flag2].isEmpty()) {
        ContentLine categories(card, "CATEGORIES");
        categories.text(c[Field::Flag]);
        if (!c[Field::Flag2].isEmpty())
            categories.raw(",").text(c[Field::Flag2]);
    }
    if (!c[Field::Notes].isEmpty())
        ContentLine(card, "NOTE").text(c[Field::Notes]);
    card += "END:VCARD\r\n";
    put(card);
}

} // namespace exchange

#include "exchange/VCardWriter.h"

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

void VCardWriter::write(const Contact& c)
{
    const bool v4 = m_version == Version::V40;
    QByteArray card;
    auto prop = [&card](const QByteArray& nameAndParams, const QByteArray& value) {
        card += fold(nameAndParams + ':' + value);
    };

    card += "BEGIN:VCARD\r\n";
    card += v4 ? "VERSION:4.0\r\n" : "VERSION:3.0\r\n";

    QString formatted = c.displayName();
    if (formatted.isEmpty())
        formatted = !c[Field::Workplace].isEmpty() ? c[Field::Workplace] : c[Field::Email];
    prop("FN", escape(formatted));
    prop("N", escape(c[Field::Surname]) + ';' + escape(c[Field::Firstname]) + ';' + escape(c[Field::Midname]) + ";;");

    // Street lines by position: a lone second line is written after an empty first one.
    const QString street =
        c[Field::Address2].isEmpty() ? c[Field::Address1] : c[Field::Address1] + QLatin1Char('\n') + c[Field::Address2];
    if (!street.isEmpty() || !c[Field::A3_Village].isEmpty() || !c[Field::Town].isEmpty() ||
        !c[Field::County].isEmpty() || !c[Field::PostCode].isEmpty() || !c[Field::Country].isEmpty()) {
        prop(v4 ? "ADR;TYPE=home" : "ADR;TYPE=HOME", ';' + escape(c[Field::A3_Village]) + ';' + escape(street) + ';' +
                                                         escape(c[Field::Town]) + ';' + escape(c[Field::County]) + ';' +
                                                         escape(c[Field::PostCode]) + ';' + escape(c[Field::Country]));
    }
    if (!c[Field::Tel].isEmpty())
        prop(v4 ? "TEL;TYPE=home,voice" : "TEL;TYPE=HOME,VOICE", escape(c[Field::Tel]));
    if (!c[Field::Cell].isEmpty())
        prop(v4 ? "TEL;TYPE=cell" : "TEL;TYPE=CELL", escape(c[Field::Cell]));
    if (!c[Field::WorkTel].isEmpty())
        prop(v4 ? "TEL;TYPE=work,voice" : "TEL;TYPE=WORK,VOICE", escape(c[Field::WorkTel]));
    if (!c[Field::Email].isEmpty())
        prop(v4 ? "EMAIL" : "EMAIL;TYPE=INTERNET", escape(c[Field::Email]));

    const QString& birthday = c[Field::Birthday];
    if (!birthday.isEmpty()) {
        const QDate date = QDate::fromString(birthday.left(10), Qt::ISODate);
        if (!date.isValid())
            prop("BDAY;VALUE=text", escape(birthday)); // not a date: kept as text rather than lost
        else if (v4)
            prop("BDAY", date.toString(QStringLiteral("yyyyMMdd")).toLatin1());
        else
            prop("BDAY", date.toString(Qt::ISODate).toLatin1());
    }
    if (!c[Field::Workplace].isEmpty())
        prop("ORG", escape(c[Field::Workplace]));
    if (!c[Field::Flag].isEmpty() || !c[Field::Flag2].isEmpty()) {
        QByteArray categories = escape(c[Field::Flag]);
        if (!c[Field::Flag2].isEmpty())
            categories += ',' + escape(c[Field::Flag2]);
        prop("CATEGORIES", categories);
    }
    if (!c[Field::Notes].isEmpty())
        prop("NOTE", escape(c[Field::Notes]));
    card += "END:VCARD\r\n";
    put(card);
}

} // namespace exchange

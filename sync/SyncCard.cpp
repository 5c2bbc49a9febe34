#include "sync/SyncCard.h"

#include "exchange/ContactDraft.h"
#include "exchange/VCardSyntax.h"
#include "exchange/VCardWriter.h"
#include "platform/AppError.h"

#include <QBuffer>
#include <QDate>

namespace sharing {

using exchange::Contact;
using exchange::Field;
namespace vcard = exchange::vcard;

namespace {

constexpr QChar FieldSeparator = QChar(0x1f);

bool isLine(const QByteArray& line, QByteArrayView text)
{
    return line.trimmed().compare(text, Qt::CaseInsensitive) == 0;
}

// The content lines between the first BEGIN:VCARD and its END:VCARD, folded lines joined.
QList<QByteArray> contentLines(const QByteArray& text)
{
    QList<QByteArray> lines;
    bool inside = false, ended = false;
    for (QByteArray raw : text.split('\n')) {
        if (raw.endsWith('\r'))
            raw.chop(1);
        if (!inside) {
            inside = isLine(raw, "BEGIN:VCARD");
            continue;
        }
        if (!raw.isEmpty() && (raw[0] == ' ' || raw[0] == '\t')) {
            if (!lines.isEmpty())
                lines.last() += QByteArrayView(raw).sliced(1);
            continue;
        }
        if (isLine(raw, "END:VCARD")) {
            ended = true;
            break;
        }
        if (!raw.trimmed().isEmpty())
            lines << raw;
    }
    if (!inside)
        throw platform::AppError(QStringLiteral("the data is not a vCard"));
    if (!ended)
        throw platform::AppError(QStringLiteral("the vCard ends before END:VCARD"));
    return lines;
}

QString decoded(const vcard::Property& p)
{
    const QByteArray bytes = p.encoding == "QUOTED-PRINTABLE" ? vcard::decodeQuotedPrintable(p.value) : p.value;
    return QString::fromUtf8(bytes);
}

bool typedAsSkipped(const vcard::Property& p)
{
    return p.hasType("fax") || p.hasType("pager") || p.hasType("textphone") || p.hasType("video");
}

QString stripScheme(const QString& value, QLatin1String scheme)
{
    return value.startsWith(scheme, Qt::CaseInsensitive) ? value.mid(scheme.size()) : value;
}

} // namespace

SyncCard parseCard(const QByteArray& text)
{
    const QList<QByteArray> lines = contentLines(text);
    QList<vcard::Property> props;
    QList<qsizetype> lineOf;
    props.reserve(lines.size());
    SyncCard card;
    vcard::Version version = vcard::Version::V30;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        vcard::Property p;
        if (!vcard::parseProperty(lines[i], p)) {
            card.foreign << lines[i]; // not a property we understand: kept as written
            continue;
        }
        if (p.kind == vcard::Kind::Version) {
            const QByteArray v = p.value.trimmed();
            version = v == "2.1" ? vcard::Version::V21 : v == "4.0" ? vcard::Version::V40 : vcard::Version::V30;
        }
        props << p;
        lineOf << i;
    }
    card.version4 = version == vcard::Version::V40;
    auto plain = [&](const vcard::Property& p) { return vcard::unescape(decoded(p), version); };

    // First pass: which property fills which field. Everything not chosen is kept.
    Contact& c = card.contact;
    std::vector<bool> owned(size_t(props.size()), false);
    qsizetype name = -1, formatted = -1, address = -1, email = -1, birthday = -1, note = -1, org = -1;
    QList<qsizetype> untypedPhones;
    QStringList categories;
    for (qsizetype i = 0; i < props.size(); ++i) {
        const vcard::Property& p = props[i];
        switch (p.kind) {
        case vcard::Kind::Frame:
        case vcard::Kind::Version:
            owned[size_t(i)] = true;
            break;
        case vcard::Kind::N:
            if (name < 0)
                name = i;
            break;
        case vcard::Kind::FN:
            owned[size_t(i)] = true; // written anew from the name
            if (formatted < 0)
                formatted = i;
            break;
        case vcard::Kind::ADR:
            if (address < 0 || (p.hasType("home") && !props[address].hasType("home")))
                address = i;
            break;
        case vcard::Kind::TEL: {
            if (typedAsSkipped(p))
                break;
            const QString number = stripScheme(plain(p), QLatin1String("tel:"));
            Field target;
            if (p.hasType("cell") || p.hasType("mobile") || p.hasType("iphone"))
                target = Field::Cell;
            else if (p.hasType("work"))
                target = Field::WorkTel;
            else if (p.hasType("home"))
                target = Field::Tel;
            else {
                untypedPhones << i;
                break;
            }
            if (c[target].isEmpty() && !number.isEmpty()) {
                c[target] = number;
                owned[size_t(i)] = true;
            }
            break;
        }
        case vcard::Kind::EMAIL:
            if (email < 0 || (p.pref && !props[email].pref))
                email = i;
            break;
        case vcard::Kind::BDAY:
            if (birthday < 0)
                birthday = i;
            break;
        case vcard::Kind::NOTE:
            if (note < 0)
                note = i;
            break;
        case vcard::Kind::ORG:
            if (org < 0)
                org = i;
            break;
        case vcard::Kind::CATEGORIES:
            owned[size_t(i)] = true;
            for (const QString& item : vcard::splitEscaped(decoded(p), QLatin1Char(',')))
                categories << vcard::unescape(item, version);
            break;
        case vcard::Kind::Other:
            if (p.name == "UID") {
                card.uid = p.value.trimmed();
                owned[size_t(i)] = true;
            } else if (p.name == "KIND" || p.name == "X-ADDRESSBOOKSERVER-KIND") {
                card.group = card.group || p.value.trimmed().compare("group", Qt::CaseInsensitive) == 0;
            } else if (p.name == "PRODID" || p.name == "REV") {
                owned[size_t(i)] = true; // stale once the card changes; written anew by whoever writes it
            }
            break;
        }
    }
    for (const qsizetype i : untypedPhones) {
        const QString number = stripScheme(plain(props[i]), QLatin1String("tel:"));
        if (c[Field::Tel].isEmpty() && !number.isEmpty()) {
            c[Field::Tel] = number;
            owned[size_t(i)] = true;
        }
    }
    if (name >= 0) {
        owned[size_t(name)] = true;
        const QStringList parts = vcard::splitEscaped(decoded(props[name]), QLatin1Char(';'));
        c[Field::Surname] = vcard::unescape(parts.value(0), version);
        c[Field::Firstname] = vcard::unescape(parts.value(1), version);
        c[Field::Midname] = vcard::unescape(parts.value(2), version);
        if (!parts.value(3).isEmpty() || !parts.value(4).isEmpty())
            card.nameExtras = ';' + parts.value(3).toUtf8() + ';' + parts.value(4).toUtf8();
    } else if (formatted >= 0) {
        // No N (allowed in 4.0): the last word of FN is the surname.
        const QString fn = plain(props[formatted]).trimmed();
        const qsizetype space = fn.lastIndexOf(QLatin1Char(' '));
        c[Field::Surname] = space < 0 ? fn : fn.mid(space + 1);
        c[Field::Firstname] = space < 0 ? QString() : fn.left(space).trimmed();
    }
    if (address >= 0) {
        owned[size_t(address)] = true;
        const QStringList parts = vcard::splitEscaped(decoded(props[address]), QLatin1Char(';'));
        QStringList street;
        if (!parts.value(0).isEmpty())
            street << vcard::unescape(parts.value(0), version);
        for (const QString& item : vcard::splitEscaped(parts.value(2), QLatin1Char(',')))
            street << vcard::unescape(item, version).split(QLatin1Char('\n'));
        c[Field::Address1] = street.value(0);
        c[Field::Address2] = street.mid(1).join(QStringLiteral(", "));
        c[Field::A3_Village] = vcard::unescape(parts.value(1), version);
        c[Field::Town] = vcard::unescape(parts.value(3), version);
        c[Field::County] = vcard::unescape(parts.value(4), version);
        c[Field::PostCode] = vcard::unescape(parts.value(5), version);
        c[Field::Country] = vcard::unescape(parts.value(6), version);
    }
    if (email >= 0) {
        owned[size_t(email)] = true;
        c[Field::Email] = stripScheme(plain(props[email]), QLatin1String("mailto:"));
    }
    if (birthday >= 0) {
        const vcard::Property& p = props[birthday];
        const QString value = plain(p);
        const exchange::BirthdayText b = exchange::parseBirthday(value, QDate::currentDate().year());
        if (p.valueType == "text") {
            c[Field::Birthday] = value;
            owned[size_t(birthday)] = true;
        } else if (b.kind == exchange::BirthdayText::Kind::Date) {
            c[Field::Birthday] = exchange::isoDate(b.date);
            owned[size_t(birthday)] = true;
        } // a birthday without a year stays as written
    }
    if (note >= 0) {
        owned[size_t(note)] = true;
        c[Field::Notes] = exchange::normalizeLineBreaks(plain(props[note]));
    }
    if (org >= 0) {
        owned[size_t(org)] = true;
        QStringList parts;
        for (const QString& part : vcard::splitEscaped(decoded(props[org]), QLatin1Char(';'))) {
            if (!part.isEmpty())
                parts << vcard::unescape(part, version);
        }
        c[Field::Workplace] = parts.join(QStringLiteral(", "));
    }
    c[Field::Flag] = categories.value(0);
    c[Field::Flag2] = categories.value(1);

    for (qsizetype i = 0; i < props.size(); ++i) {
        if (!owned[size_t(i)])
            card.foreign << lines[lineOf[i]];
    }
    if (categories.size() > 2) {
        // The groups past the two flags are kept as a property of their own, last, where writing puts it back.
        QByteArray rest;
        for (qsizetype k = 2; k < categories.size(); ++k)
            rest += (k > 2 ? "," : "") + exchange::VCardWriter::escape(categories[k]);
        card.foreign << "CATEGORIES:" + rest;
    }
    return card;
}

QByteArray composeCard(const SyncCard& card)
{
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        exchange::VCardWriter writer(buffer, card.version4 ? exchange::VCardWriter::Version::V40
                                                          : exchange::VCardWriter::Version::V30);
        writer.write(card.contact);
    }
    if (!card.nameExtras.isEmpty()) {
        using W = exchange::VCardWriter;
        const Contact& c = card.contact;
        const QByteArray old = W::fold("N:" + W::escape(c[Field::Surname]) + ';' + W::escape(c[Field::Firstname]) +
                                       ';' + W::escape(c[Field::Midname]) + ";;");
        const QByteArray now = W::fold("N:" + W::escape(c[Field::Surname]) + ';' + W::escape(c[Field::Firstname]) +
                                       ';' + W::escape(c[Field::Midname]) + card.nameExtras);
        bytes.replace(old, now);
    }
    QByteArray tail;
    if (!card.uid.isEmpty())
        tail += exchange::VCardWriter::fold("UID:" + card.uid);
    for (const QByteArray& line : card.foreign)
        tail += exchange::VCardWriter::fold(line);
    const qsizetype end = bytes.lastIndexOf("END:VCARD");
    bytes.insert(end, tail);
    return bytes;
}

QByteArray joinLines(const QList<QByteArray>& lines)
{
    QByteArray out;
    for (const QByteArray& line : lines) {
        if (!out.isEmpty())
            out += "\r\n";
        out += line;
    }
    return out;
}

QList<QByteArray> splitLines(const QByteArray& text)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf("\r\n", start);
        if (end < 0)
            end = text.size();
        lines << text.mid(start, end - start);
        start = end + 2;
    }
    return lines;
}

QString packFields(const Contact& contact)
{
    QString out;
    for (int i = 0; i < exchange::FieldCount; ++i) {
        if (i > 0)
            out += FieldSeparator;
        out += contact.values[size_t(i)];
    }
    return out;
}

Contact unpackFields(const QString& text)
{
    Contact c;
    const QStringList parts = text.split(FieldSeparator);
    for (int i = 0; i < exchange::FieldCount && i < parts.size(); ++i)
        c.values[size_t(i)] = parts[i];
    return c;
}

} // namespace sharing

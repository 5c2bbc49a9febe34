#include "exchange/VCardReader.h"

#include "exchange/ContactDraft.h"
#include "platform/AppError.h"

#include <QHash>
#include <QUrl>
#include <optional>

namespace exchange {

using vcard::Property;
using vcard::Version;

namespace {

constexpr qsizetype MaxPropertiesPerCard = 10000;
constexpr qint64 MaxStrayLineNotices = 5;

bool isLine(const QByteArray& trimmed, QByteArrayView text)
{
    return trimmed.size() == text.size() && trimmed.compare(text, Qt::CaseInsensitive) == 0;
}

QString joinNonEmpty(const QStringList& parts, const QString& separator)
{
    QStringList kept;
    for (const QString& p : parts) {
        if (!p.trimmed().isEmpty())
            kept << p.trimmed();
    }
    return kept.join(separator);
}

QString stripScheme(const QString& value, QLatin1String scheme)
{
    return value.startsWith(scheme, Qt::CaseInsensitive) ? value.mid(scheme.size()) : value;
}

QString capitalised(QString s)
{
    if (!s.isEmpty())
        s[0] = s[0].toUpper();
    return s;
}

// Apple writes its own labels as "_$!<Other>!$_" and the user's as they were typed.
QString appleLabel(const QString& label)
{
    const QString l = label.trimmed();
    if (l.startsWith(QLatin1String("_$!<")) && l.endsWith(QLatin1String(">!$_")))
        return l.mid(4, l.size() - 8);
    return l;
}

// A number as written, or a tel: URI (RFC 3966) taken apart: "tel:+44-555-555-5555;ext=5555".
struct TelNumber
{
    QString number;
    QString extension;
};

TelNumber telUri(const QString& value)
{
    const QString v = value.trimmed();
    if (!v.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive))
        return {v, {}};
    const QStringList parts = v.mid(4).split(QLatin1Char(';'));
    TelNumber t{QUrl::fromPercentEncoding(parts.value(0).toUtf8()).trimmed(), {}};
    for (qsizetype i = 1; i < parts.size(); ++i) {
        if (parts[i].startsWith(QLatin1String("ext="), Qt::CaseInsensitive))
            t.extension = QUrl::fromPercentEncoding(parts[i].mid(4).toUtf8()).trimmed();
    }
    return t;
}

// Fax, pager, textphone and video numbers never take a phone field.
bool isSpecialPhone(const Property& p)
{
    return p.hasType("fax") || p.hasType("pager") || p.hasType("textphone") || p.hasType("video");
}

// The field a typed number belongs in; nullopt for special and untyped numbers.
std::optional<Field> phoneField(const Property& p)
{
    if (isSpecialPhone(p))
        return std::nullopt;
    if (p.hasType("cell") || p.hasType("mobile") || p.hasType("iphone"))
        return Field::Cell;
    if (p.hasType("work"))
        return Field::WorkTel;
    if (p.hasType("home"))
        return Field::Tel;
    return std::nullopt;
}

QString phoneLabel(const Property& p)
{
    const QString place = p.hasType("work") ? QStringLiteral("Work ") : p.hasType("home") ? QStringLiteral("Home ") : QString();
    if (p.hasType("fax"))
        return place.isEmpty() ? QStringLiteral("Fax") : place + QStringLiteral("fax");
    if (p.hasType("pager"))
        return QStringLiteral("Pager");
    if (p.hasType("textphone"))
        return QStringLiteral("Textphone");
    if (p.hasType("video"))
        return QStringLiteral("Video phone");
    if (p.hasType("cell") || p.hasType("mobile") || p.hasType("iphone"))
        return QStringLiteral("Mobile");
    return place.isEmpty() ? QStringLiteral("Other phone") : place + QStringLiteral("phone");
}

// "Work e-mail", "Home address"; `other` when the value is typed neither.
QString typedLabel(const Property& p, const char* what, const char* other)
{
    if (p.hasType("work"))
        return QStringLiteral("Work %1").arg(QLatin1String(what));
    if (p.hasType("home"))
        return QStringLiteral("Home %1").arg(QLatin1String(what));
    return QLatin1String(other);
}

} // namespace

VCardReader::VCardReader(QIODevice& device, const ReadOptions& options) : ContactReader(options), m_lines(device) {}

QString VCardReader::description() const
{
    return QStringLiteral("vCard, %1").arg(encodingName(m_lines.encoding()));
}

bool VCardReader::rawLine(QByteArray& line, qint64& lineNumber)
{
    if (!m_pushback.empty()) {
        line = std::move(m_pushback.back().first);
        lineNumber = m_pushback.back().second;
        m_pushback.pop_back();
        return true;
    }
    if (!m_lines.next(line))
        return false;
    lineNumber = m_lines.lineNumber();
    return true;
}

// One content line: folded lines joined, quoted-printable soft line breaks joined, and the bare
// continuation lines that vCard 2.1 writers put after a base64 value taken in.
bool VCardReader::nextContentLine(QByteArray& line, qint64& lineNumber)
{
    if (!rawLine(line, lineNumber))
        return false;
    QByteArray next;
    qint64 nextNumber = 0;
    while (rawLine(next, nextNumber)) {
        if (line.endsWith('=') && vcard::declaresQuotedPrintable(line)) {
            line.chop(1);
            line += next;
        } else if (!next.isEmpty() && (next[0] == ' ' || next[0] == '\t')) {
            line += QByteArrayView(next).sliced(1);
        } else if (!next.isEmpty() && !next.contains(':') && vcard::declaresBase64(line)) {
            line += next.trimmed();
        } else if (!next.trimmed().isEmpty() && !vcard::couldBeProperty(next) && vcard::declaresQuotedPrintable(line)) {
            // A line break the writer forgot to encode: it belongs to the value.
            line += "=0D=0A";
            line += next;
        } else {
            unread(std::move(next), nextNumber);
            break;
        }
        if (line.size() > LineReader::MaxLineBytes) {
            throw platform::AppError(
                QStringLiteral("Line %1: a property longer than %2 MB: this is not a contact file.")
                    .arg(lineNumber)
                    .arg(LineReader::MaxLineBytes / (1024 * 1024)));
        }
    }
    return true;
}

bool VCardReader::next(ReadContact& out)
{
    QByteArray line;
    qint64 number = 0;
    for (;;) {
        // Find the next BEGIN:VCARD.
        for (;;) {
            if (!nextContentLine(line, number))
                return false;
            const QByteArray t = line.trimmed();
            if (t.isEmpty())
                continue;
            if (isLine(t, "BEGIN:VCARD"))
                break;
            if (++m_strayLines <= MaxStrayLineNotices) {
                log().add(Severity::Warning, 0, number,
                          isLine(t, "END:VCARD") ? QStringLiteral("END:VCARD without BEGIN:VCARD; ignored.")
                                                 : QStringLiteral("text outside a vCard; ignored."));
            }
            log().skip(QStringLiteral("(lines outside a vCard)"));
        }
        const qint64 record = ++m_records;
        const qint64 beginLine = number;
        QList<Property> props;
        props.reserve(24);
        for (;;) {
            if (!nextContentLine(line, number)) {
                log().add(Severity::Warning, record, beginLine,
                          QStringLiteral("the file ends before END:VCARD; the card is read as far as it goes."));
                break;
            }
            const QByteArray t = line.trimmed();
            if (t.isEmpty())
                continue;
            if (isLine(t, "END:VCARD"))
                break;
            if (isLine(t, "BEGIN:VCARD")) {
                log().add(Severity::Warning, record, beginLine,
                          QStringLiteral("no END:VCARD before the next BEGIN:VCARD on line %1; the card is read as far "
                                         "as it goes.")
                              .arg(number));
                unread(line, number);
                break;
            }
            Property p;
            if (!vcard::parseProperty(line, p)) {
                log().add(Severity::Warning, record, number,
                          QStringLiteral("not a vCard property (no colon); skipped."));
                log().skip(QStringLiteral("(lines that are not properties)"));
                continue;
            }
            if (props.size() >= MaxPropertiesPerCard) {
                log().skip(QStringLiteral("(properties past %1 in one card)").arg(MaxPropertiesPerCard));
                continue;
            }
            p.line = number;
            props << std::move(p);
        }
        Contact contact = build(props, record, beginLine);
        if (contact.isEmpty()) {
            log().add(Severity::Info, record, beginLine, QStringLiteral("the card holds no contact data; skipped."));
            continue;
        }
        out.contact = std::move(contact);
        out.record = record;
        out.line = beginLine;
        out.movedToNotes = m_built.movedToNotes;
        out.notStored = m_built.notStored;
        out.nameTakenFrom = m_built.nameTakenFrom;
        return true;
    }
}

QString VCardReader::text(const Property& p)
{
    QByteArray bytes = p.value;
    if (p.encoding == "QUOTED-PRINTABLE")
        bytes = vcard::decodeQuotedPrintable(bytes);
    if (!p.charset.isEmpty()) {
        QString s;
        if (decodeCharset(bytes, p.charset, s))
            return s;
        log().add(Severity::Warning, m_records, p.line,
                  QStringLiteral("character set \"%1\" is unknown or does not fit the text; read as UTF-8 or "
                                 "Windows-1252.")
                      .arg(QString::fromLatin1(p.charset)));
    }
    const DecodedValue d = decodeValue(bytes, m_lines.encoding(), m_lines.hasUtf8());
    const QString where = QString::fromLatin1(p.group.isEmpty() ? p.name : p.group + '.' + p.name);
    if (d.repair == DecodedValue::Repair::Replaced) {
        log().add(Severity::Warning, m_records, p.line,
                  QStringLiteral("%1: %2 not UTF-8, replaced by \uFFFD.")
                      .arg(where, d.replaced == 1 ? QStringLiteral("1 byte that is")
                                                  : QStringLiteral("%1 bytes that are").arg(d.replaced)));
    } else if (d.repair == DecodedValue::Repair::Windows1252) {
        log().add(Severity::Warning, m_records, p.line,
                  QStringLiteral("%1: text that is not UTF-8 was read as Windows-1252.").arg(where));
    } else if (m_lines.encoding() == TextEncoding::Windows1252 && !m_toldFallback && !isValidUtf8(bytes)) {
        m_toldFallback = true;
        log().add(Severity::Warning, 0, p.line,
                  QStringLiteral("the file is not UTF-8; it was read as Windows-1252 (first on this line)."));
    }
    return d.text;
}

Contact VCardReader::build(const QList<Property>& props, qint64 record, qint64 line)
{
    m_version = Version::V30;
    QHash<QByteArray, QString> groupLabels; // item1 -> its X-ABLabel
    for (const Property& p : props) {
        if (p.kind == vcard::Kind::Version) {
            const QByteArray v = p.value.trimmed();
            m_version = v == "2.1" ? Version::V21 : v == "4.0" ? Version::V40 : Version::V30;
        }
    }
    const Version version = m_version;
    const bool lists = version != Version::V21;
    QHash<const Property*, QString> plainText; // each value decoded once, so that a notice on it comes once
    auto plain = [&](const Property& p) {
        auto it = plainText.find(&p);
        if (it == plainText.end())
            it = plainText.insert(&p, vcard::unescape(text(p), version));
        return *it;
    };
    for (const Property& p : props) {
        if (p.kind == vcard::Kind::Label && !p.group.isEmpty())
            groupLabels.insert(p.group.toLower(), appleLabel(plain(p)));
    }
    auto groupLabel = [&](const Property& p) {
        return p.group.isEmpty() ? QString() : groupLabels.value(p.group.toLower());
    };
    // A type label with the address book's own label after it: "E-mail (Other)".
    auto labelled = [&](const Property& p, const QString& label) {
        const QString own = groupLabel(p);
        return own.isEmpty() || own.compare(label, Qt::CaseInsensitive) == 0 ||
                       label.startsWith(own + QLatin1Char(' '), Qt::CaseInsensitive)
                   ? label
                                                                             : QStringLiteral("%1 (%2)").arg(label, own);
    };
    // A component of a structured value; list items (3.0, 4.0) joined by `join`.
    auto component = [&](const QString& comp, const QString& join) {
        if (!comp.contains(QLatin1Char('\\')) && !comp.contains(QLatin1Char(',')))
            return comp.trimmed();
        if (!lists)
            return vcard::unescape(comp, version);
        QStringList items;
        for (const QString& item : vcard::splitEscaped(comp, QLatin1Char(',')))
            items << vcard::unescape(item, version);
        return joinNonEmpty(items, join);
    };
    auto phoneNumber = [&](const Property& p) { return telUri(plain(p)).number; };
    auto mailAddress = [&](const Property& p) { return stripScheme(plain(p).trimmed(), QLatin1String("mailto:")); };

    ContactDraft d(log(), record, line, currentYear());
    Contact& c = d.contact;

    // First the values that take the fields: the home address (else the first), the preferred e-mail address
    // (else the first), and a number of each kind for Tel, Cell and Work Tel. Everything else goes to Notes.
    const Property* address = nullptr;
    const Property* postalLabel = nullptr; // a LABEL standing in for a card's missing ADR
    const Property* email = nullptr;
    QHash<const Property*, Field> phoneFields;
    bool phoneTaken[FieldCount] = {};
    for (const Property& p : props) {
        if (p.kind == vcard::Kind::ADR) {
            if (!address || (p.hasType("home") && !address->hasType("home")))
                address = &p;
        } else if (p.kind == vcard::Kind::PostalLabel && !plain(p).trimmed().isEmpty()) {
            if (!postalLabel || (p.hasType("home") && !postalLabel->hasType("home")))
                postalLabel = &p;
        } else if (p.kind == vcard::Kind::EMAIL && !mailAddress(p).isEmpty()) {
            if (!email || (p.pref && !email->pref))
                email = &p;
        } else if (p.kind == vcard::Kind::TEL) {
            const std::optional<Field> f = phoneField(p);
            if (f && !phoneTaken[index(*f)] && !phoneNumber(p).isEmpty()) {
                phoneTaken[index(*f)] = true;
                phoneFields.insert(&p, *f);
            }
        }
    }
    if (address)
        postalLabel = nullptr;
    // Numbers without a type take Tel when no home number came; one labelled Other is not a home number.
    auto isOther = [&](const Property& p) {
        return p.hasType("other") || groupLabel(p).compare(QLatin1String("Other"), Qt::CaseInsensitive) == 0;
    };
    for (const Property& p : props) {
        if (p.kind == vcard::Kind::TEL && !phoneTaken[index(Field::Tel)] && !isSpecialPhone(p) && !phoneField(p) &&
            !isOther(p) && !phoneNumber(p).isEmpty()) {
            phoneTaken[index(Field::Tel)] = true;
            phoneFields.insert(&p, Field::Tel);
        }
    }

    bool haveName = false, haveBirthday = false, haveOrg = false;
    QString formattedName, firstPhone;
    QStringList notes, categories;
    qsizetype categoriesAt = -1;
    for (const Property& p : props) {
        using vcard::Kind;
        const Kind n = p.kind;
        if (n == Kind::Frame || n == Kind::Version || n == Kind::Label)
            continue;
        if (n == Kind::N && !haveName) {
            haveName = true;
            const QStringList parts = vcard::splitEscaped(text(p), QLatin1Char(';'));
            c[Field::Surname] = component(parts.value(0), QStringLiteral(" "));
            c[Field::Firstname] = component(parts.value(1), QStringLiteral(" "));
            c[Field::Midname] = component(parts.value(2), QStringLiteral(" "));
            const QString prefix = component(parts.value(3), QStringLiteral(" "));
            const QString suffix = component(parts.value(4), QStringLiteral(" "));
            if (!prefix.isEmpty())
                d.addNoteLine(QStringLiteral("Name prefix"), prefix);
            if (!suffix.isEmpty())
                d.addNoteLine(QStringLiteral("Name suffix"), suffix);
        } else if (n == Kind::FN) {
            formattedName = plain(p).trimmed();
        } else if (n == Kind::ADR) {
            const QStringList parts = vcard::splitEscaped(text(p), QLatin1Char(';'));
            QStringList street;
            if (lists) {
                for (const QString& item : vcard::splitEscaped(parts.value(2), QLatin1Char(',')))
                    street << vcard::unescape(item, version).split(QLatin1Char('\n'));
            } else {
                street << vcard::unescape(parts.value(2), version).split(QLatin1Char('\n'));
            }
            // The street comes first on an envelope; a PO box is a line after it (or the only one).
            const QString poBox = component(parts.value(0), QStringLiteral(", "));
            if (!poBox.isEmpty()) {
                while (!street.isEmpty() && street.constLast().trimmed().isEmpty())
                    street.removeLast();
                street << poBox;
            }
            if (&p == address) {
                d.setStreet(street);
                c[Field::A3_Village] = component(parts.value(1), QStringLiteral(", "));
                c[Field::Town] = component(parts.value(3), QStringLiteral(", "));
                c[Field::County] = component(parts.value(4), QStringLiteral(", "));
                c[Field::PostCode] = component(parts.value(5), QStringLiteral(", "));
                c[Field::Country] = component(parts.value(6), QStringLiteral(", "));
                continue;
            }
            // As on an envelope, on one line: flat, street, town, county, postcode, country.
            QStringList envelope{component(parts.value(1), QStringLiteral(", "))};
            envelope << street;
            for (int k = 3; k <= 6; ++k)
                envelope << component(parts.value(k), QStringLiteral(", "));
            const QString whole = joinNonEmpty(envelope, QStringLiteral(", "));
            if (!whole.isEmpty())
                d.addNoteLine(labelled(p, typedLabel(p, "address", "Other address")), whole);
        } else if (n == Kind::PostalLabel) {
            const QString value = normalizeLineBreaks(plain(p)).trimmed();
            if (value.isEmpty())
                continue;
            QStringList lines;
            for (const QString& l : value.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
                if (!l.trimmed().isEmpty())
                    lines << l.trimmed();
            }
            if (&p == postalLabel) {
                d.setStreet(lines);
                d.inform(QStringLiteral("the card's only address is a printed label (LABEL); its lines were put into "
                                        "the address lines as written."));
                continue;
            }
            // Writers put a label beside each address; one of the same kind as an ADR says nothing new.
            bool sameAsAddress = false;
            for (const Property& a : props) {
                if (a.kind == Kind::ADR && a.hasType("home") == p.hasType("home") && a.hasType("work") == p.hasType("work"))
                    sameAsAddress = true;
            }
            if (sameAsAddress)
                log().skip(QStringLiteral("LABEL (printed form of an address read from ADR)"));
            else
                d.addNoteLine(labelled(p, typedLabel(p, "address", "Other address")), lines.join(QStringLiteral(", ")));
        } else if (n == Kind::TEL) {
            const TelNumber tel = telUri(plain(p));
            const QString& number = tel.number;
            if (number.isEmpty())
                continue;
            if (firstPhone.isEmpty())
                firstPhone = number;
            const auto it = phoneFields.constFind(&p);
            if (it != phoneFields.constEnd()) {
                c[*it] = number;
                if (!tel.extension.isEmpty())
                    d.addNoteLine(fieldName(*it) + QStringLiteral(" extension"), tel.extension);
            } else {
                d.addNoteLine(labelled(p, phoneLabel(p)),
                              tel.extension.isEmpty() ? number : number + QStringLiteral(" ext. ") + tel.extension);
            }
        } else if (n == Kind::EMAIL) {
            const QString mail = mailAddress(p);
            if (mail.isEmpty())
                continue;
            if (&p == email)
                c[Field::Email] = mail;
            else
                d.addNoteLine(labelled(p, typedLabel(p, "e-mail", "E-mail")), mail);
        } else if (n == Kind::BDAY) {
            if (haveBirthday) {
                d.addNoteLine(QStringLiteral("Birthday"), plain(p).trimmed());
                continue;
            }
            haveBirthday = true;
            d.setBirthday(plain(p));
        } else if (n == Kind::NOTE) {
            notes << plain(p);
        } else if (n == Kind::ORG) {
            QStringList parts;
            for (const QString& part : vcard::splitEscaped(text(p), QLatin1Char(';')))
                parts << vcard::unescape(part, version).trimmed();
            if (haveOrg) {
                d.addNoteLine(QStringLiteral("Organisation"), joinNonEmpty(parts, QStringLiteral(", ")));
                continue;
            }
            haveOrg = true;
            if (parts.value(0).isEmpty()) {
                c[Field::Workplace] = joinNonEmpty(parts, QStringLiteral(", "));
            } else {
                c[Field::Workplace] = parts[0];
                const QString units = joinNonEmpty(parts.mid(1), QStringLiteral(", "));
                if (!units.isEmpty())
                    d.addNoteLine(QStringLiteral("Department"), units);
            }
        } else if (n == Kind::CATEGORIES) {
            if (categoriesAt < 0)
                categoriesAt = d.noteMark();
            const QString t = text(p);
            for (const QString& item : lists ? vcard::splitEscaped(t, QLatin1Char(',')) : t.split(QLatin1Char(',')))
                categories << vcard::unescape(item, version).trimmed();
        } else if (n == Kind::Binary) {
            d.notStored(QString::fromLatin1(p.name));
        } else if (n == Kind::Other || n == Kind::N) {
            log().skip(QString::fromLatin1(p.name));
        } else {
            const QString value = plain(p).trimmed();
            if (value.isEmpty())
                continue;
            switch (n) {
            case Kind::URL:
                d.addNoteLine(labelled(p, typedLabel(p, "web page", "Web page")), value);
                break;
            case Kind::NICKNAME:
                d.addNoteLine(QStringLiteral("Nickname"), value);
                break;
            case Kind::TITLE:
                d.addNoteLine(QStringLiteral("Job title"), value);
                break;
            case Kind::ROLE:
                d.addNoteLine(QStringLiteral("Role"), value);
                break;
            case Kind::ANNIVERSARY:
                d.addNoteLine(QStringLiteral("Anniversary"), d.noteDate(value));
                break;
            case Kind::IM: {
                QString service = QString::fromUtf8(p.serviceType).trimmed();
                if (service.isEmpty())
                    service = vcard::imService(p.name);
                if (service.isEmpty() && !p.types.isEmpty())
                    service = QString::fromLatin1(p.types.constFirst());
                d.addNoteLine(service.isEmpty() ? QStringLiteral("IM") : QStringLiteral("IM (%1)").arg(service), value);
                break;
            }
            case Kind::Related: {
                QString label = groupLabel(p);
                if (label.isEmpty() && !p.types.isEmpty())
                    label = capitalised(QString::fromLatin1(p.types.constFirst()));
                d.addNoteLine(label.isEmpty() ? QStringLiteral("Related") : label, value);
                break;
            }
            case Kind::OtherDate: {
                const QString label = groupLabel(p);
                d.addNoteLine(label.isEmpty() ? QStringLiteral("Date") : label, d.noteDate(value));
                break;
            }
            default:
                log().skip(QString::fromLatin1(p.name));
                break;
            }
        }
    }

    if (!notes.isEmpty())
        c[Field::Notes] = notes.join(QLatin1Char('\n'));
    if (!categories.isEmpty())
        d.setCategories(categories, categoriesAt);
    // No N (allowed in 4.0), or an empty N beside an FN that is more than the workplace or e-mail written in
    // its place: the last word of FN is taken for the surname, the rest for the first name; an
    // organisation's card without N (FN equal to ORG) keeps the whole name as the surname.
    const bool emptyName = c[Field::Surname].isEmpty() && c[Field::Firstname].isEmpty() && c[Field::Midname].isEmpty();
    if (!formattedName.isEmpty() &&
        (!haveName || (emptyName && formattedName != c[Field::Workplace] && formattedName != c[Field::Email]))) {
        const qsizetype space = formattedName.lastIndexOf(QLatin1Char(' '));
        if (space < 0 || formattedName == c[Field::Workplace]) {
            c[Field::Surname] = formattedName;
        } else {
            c[Field::Surname] = formattedName.mid(space + 1);
            c[Field::Firstname] = formattedName.left(space).trimmed();
        }
    }
    d.nameFromOtherFields(firstPhone);
    m_built = BuiltCard{d.movedToNotes(), d.notStoredCount(), d.nameTakenFrom()};
    return d.finish();
}

} // namespace exchange

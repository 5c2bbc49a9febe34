#include "exchange/VCardReader.h"

#include "exchange/ContactDraft.h"
#include "exchange/VCardFields.h"
#include "platform/AppError.h"

#include <QHash>
#include <QStringDecoder>
#include <QRegularExpression>
#include <QUrl>
#include <optional>

namespace exchange {

using vcard::Property;
using vcard::Version;
using vcard::isSpecialPhone;
using vcard::phoneField;
using vcard::stripScheme;

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

QString phoneLabel(const Property& p)
{
    const QString place = p.hasType("work") ? QStringLiteral("Work ") : p.hasType("home") ? QStringLiteral("Home ") : QString();
    if (p.hasType("fax"))
        return place.isEmpty() ? QStringLiteral("Fax") : place + QStringLiteral("fax");
    if (p.hasType("pager"))
        return QStringLiteral("Pager");
    if (p.hasType("textphone"))
        return QStringLiteral("Textphone");
    if (p.hasType("cell") || p.hasType("mobile") || p.hasType("iphone"))
        return QStringLiteral("Mobile");
    if (p.hasType("video"))
        return QStringLiteral("Video phone");
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

// Android's types of a contact_event and a relation (ContactsContract), by number.
QString androidType(const QString& mime, const QString& type, const QString& custom)
{
    if (type == QLatin1String("0") && !custom.trimmed().isEmpty())
        return custom.trimmed();
    if (mime.endsWith(QLatin1String("/contact_event"))) {
        static const char* const events[] = {"Date", "Anniversary", "Date", "Birthday"};
        const int t = type.toInt();
        return QLatin1String(t >= 0 && t < 4 ? events[t] : "Date");
    }
    static const char* const relations[] = {"Relation", "Assistant", "Brother", "Child", "Domestic partner", "Father",
                                            "Friend", "Manager", "Mother", "Parent", "Partner", "Referred by",
                                            "Relative", "Sister", "Spouse"};
    const int t = type.toInt();
    return QLatin1String(t >= 0 && t < 15 ? relations[t] : "Relation");
}

// KDE's X-KADDRESSBOOK-X-ManagersName and the like, by the part after the prefix.
QString kaddressbookLabel(const QByteArray& upperName)
{
    QByteArray what = upperName.mid(int(qstrlen("X-KADDRESSBOOK-")));
    if (what.startsWith("X-"))
        what = what.mid(2);
    static const QHash<QByteArray, const char*> labels{
        {"ANNIVERSARY", "Anniversary"}, {"DEPARTMENT", "Department"},   {"ASSISTANTSNAME", "Assistant"},
        {"MANAGERSNAME", "Manager"},    {"SPOUSESNAME", "Spouse"},      {"IMADDRESS", "IM"},
        {"PROFESSION", "Profession"},   {"OFFICE", "Office"},           {"BLOGFEED", "Blog"},
    };
    if (const char* label = labels.value(what, nullptr))
        return QLatin1String(label);
    return capitalised(QString::fromLatin1(what).toLower());
}

} // namespace

VCardReader::VCardReader(QIODevice& device, const ReadOptions& options)
    : ContactReader(options), m_lines(device), m_choices(options.columns)
{
}

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

namespace {

// vCard 4's KIND:group, and the property address books wrote for it in vCard 3.
bool isGroup(const QList<Property>& props)
{
    for (const Property& p : props)
        if ((p.name == "KIND" || p.name == "X-ADDRESSBOOKSERVER-KIND") &&
            p.value.trimmed().compare("group", Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

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
        // A group is no person: a contact named after it would stand among the people.
        if (isGroup(props)) {
            QString name;
            for (const Property& p : props)
                if (p.name == "FN" && name.isEmpty())
                    name = text(p).trimmed();
            log().add(Severity::Info, record, beginLine,
                      QStringLiteral("%1 is a group of contacts (KIND:group), not a person; left out.")
                          .arg(name.isEmpty() ? QStringLiteral("the card") : QStringLiteral("\"%1\"").arg(name)));
            continue;
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
    const QString where = QString::fromLatin1(p.group.isEmpty() ? p.name : p.group + '.' + p.name);
    if (!p.charset.isEmpty()) {
        QString s;
        if (decodeCharset(bytes, p.charset, s))
            return s;
        const QByteArray charset = p.charset.trimmed().toLower();
        const bool known = QStringDecoder(charset.constData()).isValid();
        // Said once for each name: a phone that gets it wrong gets it wrong on every card.
        if (!m_toldCharsets.contains(charset)) {
            m_toldCharsets.insert(charset);
            log().add(Severity::Warning, m_records, p.line,
                      known ? QStringLiteral("%1: the text is not in the character set \"%2\" the card names; it was "
                                             "read as Windows-1252, as is every such value of the file.")
                                  .arg(where, QString::fromLatin1(p.charset))
                            : QStringLiteral("%1: the character set \"%2\" is unknown; the text was read as the "
                                             "file's own, as is every such value of the file.")
                                  .arg(where, QString::fromLatin1(p.charset)));
        }
        // A writer naming a character set it did not use wrote in its own code page.
        if (known)
            return fromWindows1252(bytes);
    }
    const DecodedValue d = decodeValue(bytes, m_lines.encoding(), m_lines.hasUtf8());
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

// Builds one contact from a card's properties, step by step: the card's version and its labels, which properties
// take the fields, each property in the card's order, and last the name where the card has no N.
class VCardReader::CardBuilder
{
public:
    CardBuilder(VCardReader& reader, const QList<Property>& props, qint64 record, qint64 line)
        : m_reader(reader), m_props(props), m_draft(reader.log(), record, line, reader.currentYear())
    {
    }

    Contact build()
    {
        readVersion();
        collectGroupLabels();
        chooseFieldProperties();
        for (const Property& p : m_props)
            takeProperty(p);
        if (!m_notes.isEmpty())
            c()[Field::Notes] = m_notes.join(QLatin1Char('\n'));
        if (!m_categories.isEmpty())
            m_draft.setCategories(m_categories, m_categoriesAt);
        nameFromFormattedName();
        m_draft.nameFromOtherFields(m_firstPhone);
        m_reader.m_built = BuiltCard{m_draft.movedToNotes(), m_draft.notStoredCount(), m_draft.nameTakenFrom()};
        return m_draft.finish();
    }

private:
    Contact& c() { return m_draft.contact; }
    ImportLog& log() { return m_reader.log(); }

    void readVersion()
    {
        for (const Property& p : m_props) {
            if (p.kind == vcard::Kind::Version) {
                const QByteArray v = p.value.trimmed();
                m_version = v == "2.1" ? Version::V21 : v == "4.0" ? Version::V40 : Version::V30;
            }
        }
        m_lists = m_version != Version::V21;
    }

    // Each value decoded once, so that a notice on it comes once.
    QString plain(const Property& p)
    {
        auto it = m_plainText.find(&p);
        if (it == m_plainText.end())
            it = m_plainText.insert(&p, vcard::unescape(m_reader.text(p), m_version));
        return *it;
    }

    // item1 -> its X-ABLabel
    void collectGroupLabels()
    {
        for (const Property& p : m_props) {
            if (p.kind == vcard::Kind::Label && !p.group.isEmpty())
                m_groupLabels.insert(p.group.toLower(), appleLabel(plain(p)));
        }
    }

    QString groupLabel(const Property& p) const
    {
        return p.group.isEmpty() ? QString() : m_groupLabels.value(p.group.toLower());
    }

    // A type label with the address book's own label after it: "E-mail (Other)".
    QString labelled(const Property& p, const QString& label) const
    {
        const QString own = groupLabel(p);
        return own.isEmpty() || own.compare(label, Qt::CaseInsensitive) == 0 ||
                       label.startsWith(own + QLatin1Char(' '), Qt::CaseInsensitive)
                   ? label
                   : QStringLiteral("%1 (%2)").arg(label, own);
    }

    // A component of a structured value; list items (3.0, 4.0) joined by `join`.
    QString component(const QString& comp, const QString& join) const
    {
        if (!comp.contains(QLatin1Char('\\')) && !comp.contains(QLatin1Char(',')))
            return comp.trimmed();
        if (!m_lists)
            return vcard::unescape(comp, m_version);
        QStringList items;
        for (const QString& item : vcard::splitEscaped(comp, QLatin1Char(',')))
            items << vcard::unescape(item, m_version);
        return joinNonEmpty(items, join);
    }

    QString phoneNumber(const Property& p) { return telUri(plain(p)).number; }
    QString mailAddress(const Property& p) { return stripScheme(plain(p).trimmed(), QLatin1String("mailto:")); }

    // First the values that take the fields: the home address (else the first), the preferred e-mail address
    // (else the first), and a number of each kind for Tel, Cell and Work Tel. Everything else goes to Notes.
    void chooseFieldProperties()
    {
        bool phoneTaken[FieldCount] = {};
        for (const Property& p : m_props) {
            if (p.kind == vcard::Kind::ADR) {
                if (vcard::isBetterAddress(p, m_address))
                    m_address = &p;
            } else if (p.kind == vcard::Kind::PostalLabel && !plain(p).trimmed().isEmpty()) {
                if (!m_postalLabel || (p.hasType("home") && !m_postalLabel->hasType("home")))
                    m_postalLabel = &p;
            } else if (p.kind == vcard::Kind::EMAIL && !mailAddress(p).isEmpty()) {
                if (vcard::isBetterEmail(p, m_email))
                    m_email = &p;
            } else if (p.kind == vcard::Kind::TEL) {
                const std::optional<Field> f = phoneField(p);
                if (f && !phoneTaken[index(*f)] && !phoneNumber(p).isEmpty()) {
                    phoneTaken[index(*f)] = true;
                    m_phoneFields.insert(&p, *f);
                }
            }
        }
        if (m_address)
            m_postalLabel = nullptr;
        // Numbers without a type take Tel when no home number came; one labelled Other is not a home number.
        auto isOther = [&](const Property& p) {
            return p.hasType("other") || groupLabel(p).compare(QLatin1String("Other"), Qt::CaseInsensitive) == 0;
        };
        for (const Property& p : m_props) {
            if (p.kind == vcard::Kind::TEL && !phoneTaken[index(Field::Tel)] && !isSpecialPhone(p) &&
                !phoneField(p) && !isOther(p) && !phoneNumber(p).isEmpty()) {
                phoneTaken[index(Field::Tel)] = true;
                m_phoneFields.insert(&p, Field::Tel);
            }
        }
    }

    void takeProperty(const Property& p)
    {
        using vcard::Kind;
        switch (p.kind) {
        case Kind::Frame:
        case Kind::Version:
        case Kind::Label:
            return;
        case Kind::N:
            if (m_haveName)
                log().skip(QString::fromLatin1(p.name));
            else
                takeName(p);
            return;
        case Kind::FN:
            m_formattedName = plain(p).trimmed();
            return;
        case Kind::ADR:
            return takeAddress(p);
        case Kind::PostalLabel:
            return takePostalLabel(p);
        case Kind::TEL:
            return takePhone(p);
        case Kind::EMAIL:
            if (const QString mail = mailAddress(p); !mail.isEmpty()) {
                if (&p == m_email)
                    c()[Field::Email] = mail;
                else
                    m_draft.addNoteLine(labelled(p, typedLabel(p, "e-mail", "E-mail")), mail);
            }
            return;
        case Kind::BDAY:
            if (m_haveBirthday) {
                m_draft.addNoteLine(QStringLiteral("Birthday"), plain(p).trimmed());
                return;
            }
            m_haveBirthday = true;
            m_draft.setBirthday(plain(p));
            return;
        case Kind::NOTE:
            m_notes << plain(p);
            return;
        case Kind::ORG:
            return takeOrganisation(p);
        case Kind::CATEGORIES: {
            if (m_categoriesAt < 0)
                m_categoriesAt = m_draft.noteMark();
            const QString t = m_reader.text(p);
            for (const QString& item : m_lists ? vcard::splitEscaped(t, QLatin1Char(',')) : t.split(QLatin1Char(',')))
                m_categories << vcard::unescape(item, m_version).trimmed();
            return;
        }
        case Kind::Binary:
            m_draft.notStored(QString::fromLatin1(p.name));
            return;
        case Kind::Other:
            return takeOther(p);
        default:
            return takeNoteLine(p);
        }
    }

    void takeName(const Property& p)
    {
        m_haveName = true;
        const QStringList parts = vcard::splitEscaped(m_reader.text(p), QLatin1Char(';'));
        for (int k = 0; k < int(vcard::NameFields.size()); ++k)
            c()[vcard::NameFields[k]] = component(parts.value(k), QStringLiteral(" "));
        const QString prefix = component(parts.value(3), QStringLiteral(" "));
        const QString suffix = component(parts.value(4), QStringLiteral(" "));
        if (!prefix.isEmpty())
            m_draft.addNoteLine(QStringLiteral("Name prefix"), prefix);
        if (!suffix.isEmpty())
            m_draft.addNoteLine(QStringLiteral("Name suffix"), suffix);
    }

    void takeAddress(const Property& p)
    {
        const QStringList parts = vcard::splitEscaped(m_reader.text(p), QLatin1Char(';'));
        QStringList street;
        if (m_lists) {
            for (const QString& item : vcard::splitEscaped(parts.value(2), QLatin1Char(',')))
                street << vcard::unescape(item, m_version).split(QLatin1Char('\n'));
        } else {
            // Phones writing 2.1 put "\n" between the street lines, though 2.1 has no such escape.
            QString lines = vcard::unescape(parts.value(2), m_version);
            lines.replace(QLatin1String("\\n"), QLatin1String("\n")).replace(QLatin1String("\\N"), QLatin1String("\n"));
            street << lines.split(QLatin1Char('\n'));
        }
        // The street comes first on an envelope; a PO box is a line after it (or the only one).
        const QString poBox = component(parts.value(0), QStringLiteral(", "));
        if (!poBox.isEmpty()) {
            while (!street.isEmpty() && street.constLast().trimmed().isEmpty())
                street.removeLast();
            street << poBox;
        }
        if (&p == m_address) {
            m_draft.setStreet(street);
            for (const vcard::AddressComponent& part : vcard::AddressFields)
                c()[part.field] = component(parts.value(part.component), QStringLiteral(", "));
            return;
        }
        // As on an envelope, on one line: flat, street, town, county, postcode, country.
        QStringList envelope{component(parts.value(1), QStringLiteral(", "))};
        envelope << street;
        for (int k = 3; k <= 6; ++k)
            envelope << component(parts.value(k), QStringLiteral(", "));
        const QString whole = joinNonEmpty(envelope, QStringLiteral(", "));
        if (!whole.isEmpty())
            m_draft.addNoteLine(labelled(p, typedLabel(p, "address", "Other address")), whole);
    }

    void takePostalLabel(const Property& p)
    {
        const QString value = normalizeLineBreaks(plain(p)).trimmed();
        if (value.isEmpty())
            return;
        QStringList lines;
        for (const QString& l : value.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            if (!l.trimmed().isEmpty())
                lines << l.trimmed();
        }
        if (&p == m_postalLabel) {
            m_draft.setStreet(lines);
            m_draft.inform(QStringLiteral("the card's only address is a printed label (LABEL); its lines were put "
                                          "into the address lines as written."));
            return;
        }
        // Writers put a label beside each address; one of the same kind as an ADR says nothing new.
        bool sameAsAddress = false;
        for (const Property& a : m_props) {
            if (a.kind == vcard::Kind::ADR && a.hasType("home") == p.hasType("home") &&
                a.hasType("work") == p.hasType("work"))
                sameAsAddress = true;
        }
        if (sameAsAddress)
            log().skip(QStringLiteral("LABEL (printed form of an address read from ADR)"));
        else
            m_draft.addNoteLine(labelled(p, typedLabel(p, "address", "Other address")),
                                lines.join(QStringLiteral(", ")));
    }

    void takePhone(const Property& p)
    {
        const TelNumber tel = telUri(plain(p));
        const QString& number = tel.number;
        if (number.isEmpty())
            return;
        if (m_firstPhone.isEmpty())
            m_firstPhone = number;
        const auto it = m_phoneFields.constFind(&p);
        if (it != m_phoneFields.constEnd()) {
            c()[*it] = number;
            if (!tel.extension.isEmpty())
                m_draft.addNoteLine(fieldName(*it) + QStringLiteral(" extension"), tel.extension);
        } else {
            m_draft.addNoteLine(labelled(p, phoneLabel(p)),
                                tel.extension.isEmpty() ? number : number + QStringLiteral(" ext. ") + tel.extension);
        }
    }

    void takeOrganisation(const Property& p)
    {
        QStringList parts;
        for (const QString& part : vcard::splitEscaped(m_reader.text(p), QLatin1Char(';')))
            parts << vcard::unescape(part, m_version).trimmed();
        if (m_haveOrg) {
            m_draft.addNoteLine(QStringLiteral("Organisation"), joinNonEmpty(parts, QStringLiteral(", ")));
            return;
        }
        m_haveOrg = true;
        if (parts.value(0).isEmpty()) {
            c()[Field::Workplace] = joinNonEmpty(parts, QStringLiteral(", "));
        } else {
            c()[Field::Workplace] = parts[0];
            const QString units = joinNonEmpty(parts.mid(1), QStringLiteral(", "));
            if (!units.isEmpty())
                m_draft.addNoteLine(QStringLiteral("Department"), units);
        }
    }

    // The properties with no field of their own, each a labelled line in Notes.
    void takeNoteLine(const Property& p)
    {
        using vcard::Kind;
        const QString value = plain(p).trimmed();
        if (value.isEmpty())
            return;
        switch (p.kind) {
        case Kind::URL:
            m_draft.addNoteLine(labelled(p, typedLabel(p, "web page", "Web page")), value);
            break;
        case Kind::NICKNAME:
            m_draft.addNoteLine(QStringLiteral("Nickname"), value);
            break;
        case Kind::TITLE:
            m_draft.addNoteLine(QStringLiteral("Job title"), value);
            break;
        case Kind::ROLE:
            m_draft.addNoteLine(QStringLiteral("Role"), value);
            break;
        case Kind::ANNIVERSARY:
            m_draft.addNoteLine(QStringLiteral("Anniversary"), m_draft.noteDate(value));
            break;
        case Kind::IM: {
            QString service = QString::fromUtf8(p.serviceType).trimmed();
            if (service.isEmpty())
                service = vcard::imService(p.name);
            if (service.isEmpty() && !p.types.isEmpty())
                service = QString::fromLatin1(p.types.constFirst());
            // IMPP holds a URI: "xmpp:ann@example.com" names its service by its scheme.
            QString handle = value;
            static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):(?!//)(.+)$"));
            if (const QRegularExpressionMatch m = scheme.match(value); p.name == "IMPP" && m.hasMatch()) {
                if (service.isEmpty())
                    service = m.captured(1);
                handle = m.captured(2);
            }
            m_draft.addNoteLine(service.isEmpty() ? QStringLiteral("IM") : QStringLiteral("IM (%1)").arg(service),
                                handle);
            break;
        }
        case Kind::Vendor:
            takeVendor(p, value);
            break;
        case Kind::Related: {
            QString label = groupLabel(p);
            if (label.isEmpty() && !p.types.isEmpty())
                label = capitalised(QString::fromLatin1(p.types.constFirst()));
            m_draft.addNoteLine(label.isEmpty() ? QStringLiteral("Related") : label, value);
            break;
        }
        case Kind::OtherDate: {
            const QString label = groupLabel(p);
            m_draft.addNoteLine(label.isEmpty() ? QStringLiteral("Date") : label, m_draft.noteDate(value));
            break;
        }
        default:
            log().skip(QString::fromLatin1(p.name));
            break;
        }
    }

    // A property with no place of its own: left out, unless the user said where its kind goes.
    void takeOther(const Property& p)
    {
        const QString name = QString::fromLatin1(p.name);
        if (!m_reader.m_otherKinds.contains(name))
            m_reader.m_otherKinds << name;
        const ColumnChoice* choice = choiceFor(m_reader.m_choices, name);
        const QString value = choice ? plain(p).trimmed() : QString();
        if (!choice || choice->use == ColumnChoice::Use::Skip || value.isEmpty()) {
            log().skip(name);
            return;
        }
        if (choice->use == ColumnChoice::Use::Field && c()[choice->field].isEmpty() && choice->field != Field::Birthday)
            c()[choice->field] = value;
        else
            m_draft.addNoteLine(name, value);
    }

    // What phones and desktop address books keep in their own properties, as labelled lines.
    void takeVendor(const Property& p, const QString& value)
    {
        if (p.name == "X-ANDROID-CUSTOM") {
            // vnd.android.cursor.item/nickname;Nick;1;;;...: the kind of data, then its columns.
            const QStringList parts = vcard::splitEscaped(value, QLatin1Char(';'));
            const QString mime = parts.value(0).trimmed();
            const QString data = vcard::unescape(parts.value(1), m_version).trimmed();
            if (data.isEmpty())
                return;
            if (mime.endsWith(QLatin1String("/nickname")))
                m_draft.addNoteLine(QStringLiteral("Nickname"), data);
            else if (mime.endsWith(QLatin1String("/contact_event")))
                m_draft.addNoteLine(androidType(mime, parts.value(2), parts.value(3)), m_draft.noteDate(data));
            else if (mime.endsWith(QLatin1String("/relation")))
                m_draft.addNoteLine(androidType(mime, parts.value(2), parts.value(3)), data);
            else
                m_draft.addNoteLine(capitalised(mime.section(QLatin1Char('/'), -1)), data);
        } else if (p.name == "X-SOCIALPROFILE") {
            const QString type = p.types.isEmpty() ? QString() : QString::fromLatin1(p.types.constFirst());
            m_draft.addNoteLine(type.isEmpty() ? QStringLiteral("Social profile")
                                               : QStringLiteral("Social profile (%1)").arg(type),
                                value);
        } else {
            const QString label = kaddressbookLabel(p.name);
            m_draft.addNoteLine(label, label == QLatin1String("Anniversary") ? m_draft.noteDate(value) : value);
        }
    }

    // No N (allowed in 4.0), or an empty N beside an FN that is more than the workplace or e-mail written in
    // its place: the last word of FN is taken for the surname, the rest for the first name; an
    // organisation's card without N (FN equal to ORG) keeps the whole name as the surname.
    void nameFromFormattedName()
    {
        Contact& contact = c();
        const bool emptyName = contact[Field::Surname].isEmpty() && contact[Field::Firstname].isEmpty() &&
                               contact[Field::Midname].isEmpty();
        if (m_formattedName.isEmpty() ||
            (m_haveName && (!emptyName || m_formattedName == contact[Field::Workplace] ||
                            m_formattedName == contact[Field::Email])))
            return;
        if (m_formattedName == contact[Field::Workplace]) {
            contact[Field::Surname] = m_formattedName;
            return;
        }
        const vcard::SplitName split = vcard::splitFormattedName(m_formattedName);
        contact[Field::Surname] = split.surname;
        if (!split.firstname.isNull())
            contact[Field::Firstname] = split.firstname;
    }

    VCardReader& m_reader;
    const QList<Property>& m_props;
    ContactDraft m_draft;
    Version m_version = Version::V30;
    bool m_lists = true;
    QHash<const Property*, QString> m_plainText;
    QHash<QByteArray, QString> m_groupLabels;

    const Property* m_address = nullptr;
    const Property* m_postalLabel = nullptr; // a LABEL standing in for a card's missing ADR
    const Property* m_email = nullptr;
    QHash<const Property*, Field> m_phoneFields;

    bool m_haveName = false, m_haveBirthday = false, m_haveOrg = false;
    QString m_formattedName, m_firstPhone;
    QStringList m_notes, m_categories;
    qsizetype m_categoriesAt = -1;
};

Contact VCardReader::build(const QList<Property>& props, qint64 record, qint64 line)
{
    return CardBuilder(*this, props, record, line).build();
}

} // namespace exchange

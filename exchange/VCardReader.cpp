#include "exchange/VCardReader.h"

#include "exchange/ContactDraft.h"
#include "platform/AppError.h"

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
        return true;
    }
}

QString VCardReader::text(const Property& p)
{
    QByteArray bytes = p.value;
    if (p.encoding == "QUOTED-PRINTABLE")
        bytes = vcard::decodeQuotedPrintable(bytes);
    QString s;
    if (!p.charset.isEmpty()) {
        if (decodeCharset(bytes, p.charset, s))
            return s;
        log().add(Severity::Warning, 0, p.line,
                  QStringLiteral("character set \"%1\" is unknown or does not fit the text; read as UTF-8 or "
                                 "Windows-1252.")
                      .arg(QString::fromLatin1(p.charset)));
    }
    bool fellBack = false;
    s = decodeText(bytes, m_lines.encoding(), &fellBack);
    if (fellBack && !m_toldFallback) {
        m_toldFallback = true;
        log().add(Severity::Warning, 0, p.line,
                  QStringLiteral("text that is not UTF-8 was read as Windows-1252 (here and wherever else it "
                                 "occurs)."));
    }
    return s;
}

Contact VCardReader::build(const QList<Property>& props, qint64 record, qint64 line)
{
    m_version = Version::V30;
    for (const Property& p : props) {
        if (p.kind == vcard::Kind::Version) {
            const QByteArray v = p.value.trimmed();
            m_version = v == "2.1" ? Version::V21 : v == "4.0" ? Version::V40 : Version::V30;
        }
    }
    const Version version = m_version;
    const bool lists = version != Version::V21;
    auto plain = [&](const Property& p) { return vcard::unescape(text(p), version); };
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

    ContactDraft d(log(), record, line, currentYear());
    Contact& c = d.contact;
    bool haveName = false, haveBirthday = false, haveOrg = false;
    QString formattedName;
    const Property* address = nullptr;
    const Property* email = nullptr;
    QStringList notes, categories;
    QStringList otherPhones;

    for (const Property& p : props) {
        using vcard::Kind;
        const Kind n = p.kind;
        if (n == Kind::Frame || n == Kind::Version)
            continue;
        if (n == Kind::N && !haveName) {
            haveName = true;
            const QStringList parts = vcard::splitEscaped(text(p), QLatin1Char(';'));
            c[Field::Surname] = component(parts.value(0), QStringLiteral(" "));
            c[Field::Firstname] = component(parts.value(1), QStringLiteral(" "));
            c[Field::Midname] = component(parts.value(2), QStringLiteral(" "));
            if (!component(parts.value(3), {}).isEmpty() || !component(parts.value(4), {}).isEmpty())
                log().skip(QStringLiteral("N (honorific prefix or suffix)"));
        } else if (n == Kind::FN) {
            formattedName = plain(p).trimmed();
        } else if (n == Kind::ADR) {
            if (!address || (p.hasType("home") && !address->hasType("home"))) {
                if (address)
                    log().skip(QStringLiteral("ADR (more than one)"));
                address = &p;
            } else {
                log().skip(QStringLiteral("ADR (more than one)"));
            }
        } else if (n == Kind::TEL) {
            const QString number = stripScheme(plain(p).trimmed(), QLatin1String("tel:"));
            if (number.isEmpty())
                continue;
            if (p.hasType("fax") || p.hasType("pager") || p.hasType("textphone") || p.hasType("video")) {
                log().skip(QStringLiteral("TEL (%1)")
                               .arg(p.hasType("fax") ? QStringLiteral("fax") : QStringLiteral("pager and other")));
                continue;
            }
            Field target = Field::Tel;
            bool typed = true;
            if (p.hasType("cell") || p.hasType("mobile") || p.hasType("iphone"))
                target = Field::Cell;
            else if (p.hasType("work"))
                target = Field::WorkTel;
            else if (p.hasType("home"))
                target = Field::Tel;
            else
                typed = false;
            if (!typed) {
                otherPhones << number;
            } else if (c[target].isEmpty()) {
                c[target] = number;
            } else {
                log().skip(QStringLiteral("TEL (more than one %1)").arg(fieldName(target)));
            }
        } else if (n == Kind::EMAIL) {
            if (!email || (p.pref && !email->pref)) {
                if (email)
                    log().skip(QStringLiteral("EMAIL (more than one)"));
                email = &p;
            } else {
                log().skip(QStringLiteral("EMAIL (more than one)"));
            }
        } else if (n == Kind::BDAY) {
            if (haveBirthday) {
                log().skip(QStringLiteral("BDAY (more than one)"));
                continue;
            }
            haveBirthday = true;
            d.setBirthday(plain(p));
        } else if (n == Kind::NOTE) {
            notes << plain(p);
        } else if (n == Kind::ORG) {
            if (haveOrg) {
                log().skip(QStringLiteral("ORG (more than one)"));
                continue;
            }
            haveOrg = true;
            QStringList parts;
            for (const QString& part : vcard::splitEscaped(text(p), QLatin1Char(';')))
                parts << vcard::unescape(part, version);
            c[Field::Workplace] = joinNonEmpty(parts, QStringLiteral(", "));
        } else if (n == Kind::CATEGORIES) {
            const QString t = text(p);
            for (const QString& item : lists ? vcard::splitEscaped(t, QLatin1Char(',')) : t.split(QLatin1Char(',')))
                categories << vcard::unescape(item, version).trimmed();
        } else {
            log().skip(QString::fromLatin1(p.name));
        }
    }

    // Numbers without a type take Tel when no home number came.
    for (const QString& number : otherPhones) {
        if (c[Field::Tel].isEmpty())
            c[Field::Tel] = number;
        else
            log().skip(QStringLiteral("TEL (more than one Tel)"));
    }
    if (email)
        c[Field::Email] = stripScheme(plain(*email).trimmed(), QLatin1String("mailto:"));
    if (address) {
        const QStringList parts = vcard::splitEscaped(text(*address), QLatin1Char(';'));
        QStringList street;
        const QString poBox = component(parts.value(0), QStringLiteral(", "));
        if (!poBox.isEmpty())
            street << poBox;
        if (lists) {
            for (const QString& item : vcard::splitEscaped(parts.value(2), QLatin1Char(',')))
                street << vcard::unescape(item, version).split(QLatin1Char('\n'));
        } else {
            street << vcard::unescape(parts.value(2), version).split(QLatin1Char('\n'));
        }
        d.setStreet(street);
        c[Field::A3_Village] = component(parts.value(1), QStringLiteral(", "));
        c[Field::Town] = component(parts.value(3), QStringLiteral(", "));
        c[Field::County] = component(parts.value(4), QStringLiteral(", "));
        c[Field::PostCode] = component(parts.value(5), QStringLiteral(", "));
        c[Field::Country] = component(parts.value(6), QStringLiteral(", "));
    }
    if (!notes.isEmpty())
        c[Field::Notes] = notes.join(QLatin1Char('\n'));
    if (!categories.isEmpty()) {
        c[Field::Flag] = categories.value(0);
        c[Field::Flag2] = categories.value(1);
        qint64 more = 0;
        for (qsizetype i = 2; i < categories.size(); ++i)
            more += categories[i].isEmpty() ? 0 : 1;
        if (more > 0)
            log().skip(QStringLiteral("CATEGORIES (past the second)"), more);
    }
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
    return d.finish();
}

} // namespace exchange

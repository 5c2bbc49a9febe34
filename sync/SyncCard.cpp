#include "sync/SyncCard.h"

#include "exchange/ContactDraft.h"
#include "exchange/ImportPlan.h"
#include "exchange/VCardFields.h"
#include "exchange/VCardSyntax.h"
#include "exchange/VCardWriter.h"
#include "platform/AppError.h"

#include <QBuffer>
#include <QDate>
#include <QDateTime>
#include <algorithm>
#include <optional>

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

// The content lines between the first BEGIN:VCARD and its END:VCARD, folded lines joined; `written` receives
// each as it was written.
QList<QByteArray> contentLines(const QByteArray& text, QList<QByteArray>* written = nullptr)
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
            if (!lines.isEmpty()) {
                lines.last() += QByteArrayView(raw).sliced(1);
                if (written)
                    written->last() += raw + "\r\n";
            }
            continue;
        }
        if (isLine(raw, "END:VCARD")) {
            ended = true;
            break;
        }
        if (!raw.trimmed().isEmpty()) {
            lines << raw;
            if (written)
                *written << raw + "\r\n";
        }
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

// Reading a card goes in steps over shared state: the lines as properties, which property fills which
// field, then each field from its chosen property; whatever is not used is kept as written.
struct CardParser
{
    SyncCard card;
    QList<vcard::Property> props;
    QList<qsizetype> lineOf; // the line each property came from
    vcard::Version version = vcard::Version::V30;
    std::vector<bool> owned;
    qsizetype name = -1, formatted = -1, address = -1, email = -1, birthday = -1, note = -1, org = -1;
    QList<qsizetype> untypedPhones;
    QStringList categories;

    QString plain(const vcard::Property& p) const { return vcard::unescape(decoded(p), version); }

    void readProperties(const QByteArray& text)
    {
        const QList<QByteArray> lines = contentLines(text, &card.written);
        card.lines = lines;
        card.source.fill(-1);
        props.reserve(lines.size());
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
        owned.assign(size_t(props.size()), false);
    }

    // First pass: which property fills which field. Everything not chosen is kept.
    void choose()
    {
        Contact& c = card.contact;
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
                if (vcard::isBetterAddress(p, address < 0 ? nullptr : &props[address]))
                    address = i;
                break;
            case vcard::Kind::TEL: {
                if (vcard::isSpecialPhone(p))
                    break;
                const std::optional<Field> target = vcard::phoneField(p);
                if (!target) {
                    untypedPhones << i;
                    break;
                }
                const QString number = vcard::stripScheme(plain(p), QLatin1String("tel:"));
                if (c[*target].isEmpty() && !number.isEmpty()) {
                    c[*target] = number;
                    owned[size_t(i)] = true;
                    card.source[size_t(*target)] = lineOf[i];
                }
                break;
            }
            case vcard::Kind::EMAIL:
                if (vcard::isBetterEmail(p, email < 0 ? nullptr : &props[email]))
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
                card.categoryLines << lineOf[i];
                for (const QString& item : vcard::splitEscaped(decoded(p), QLatin1Char(',')))
                    categories << vcard::unescape(item, version);
                break;
            case vcard::Kind::Other:
                if (p.name == "UID") {
                    card.uid = p.value.trimmed();
                    card.uidLine = lineOf[i];
                    owned[size_t(i)] = true;
                } else if (p.name == "KIND" || p.name == "X-ADDRESSBOOKSERVER-KIND") {
                    card.group = card.group || p.value.trimmed().compare("group", Qt::CaseInsensitive) == 0;
                } else if (p.name == "PRODID" || p.name == "REV") {
                    owned[size_t(i)] = true; // stale once the card changes; written anew by whoever writes it
                    if (p.name == "REV")
                        card.revLine = lineOf[i];
                }
                break;
            default:
                break; // no field here: the property stays on the card as it is
            }
        }
        for (const qsizetype i : untypedPhones) {
            const QString number = vcard::stripScheme(plain(props[i]), QLatin1String("tel:"));
            if (c[Field::Tel].isEmpty() && !number.isEmpty()) {
                c[Field::Tel] = number;
                owned[size_t(i)] = true;
                card.source[size_t(Field::Tel)] = lineOf[i];
            }
        }
    }

    void fillName()
    {
        Contact& c = card.contact;
        if (formatted >= 0)
            card.formattedLine = lineOf[formatted];
        if (name >= 0) {
            owned[size_t(name)] = true;
            for (const Field f : {Field::Surname, Field::Firstname, Field::Midname})
                card.source[size_t(f)] = lineOf[name];
            const QStringList parts = vcard::splitEscaped(decoded(props[name]), QLatin1Char(';'));
            for (int k = 0; k < int(vcard::NameFields.size()); ++k)
                c[vcard::NameFields[k]] = vcard::unescape(parts.value(k), version);
            if (!parts.value(3).isEmpty() || !parts.value(4).isEmpty())
                card.nameExtras = ';' + parts.value(3).toUtf8() + ';' + parts.value(4).toUtf8();
        } else if (formatted >= 0) {
            // No N (allowed in 4.0): the last word of FN is the surname.
            const vcard::SplitName split = vcard::splitFormattedName(plain(props[formatted]).trimmed());
            c[Field::Surname] = split.surname;
            c[Field::Firstname] = split.firstname;
        }
    }

    void fillAddress()
    {
        Contact& c = card.contact;
        if (address >= 0) {
            owned[size_t(address)] = true;
            for (const Field f : {Field::Address1, Field::Address2, Field::A3_Village, Field::Town, Field::County,
                                  Field::PostCode, Field::Country})
                card.source[size_t(f)] = lineOf[address];
            const QStringList parts = vcard::splitEscaped(decoded(props[address]), QLatin1Char(';'));
            QStringList street;
            if (!parts.value(0).isEmpty())
                street << vcard::unescape(parts.value(0), version);
            for (const QString& item : vcard::splitEscaped(parts.value(2), QLatin1Char(',')))
                street << vcard::unescape(item, version).split(QLatin1Char('\n'));
            c[Field::Address1] = street.value(0);
            c[Field::Address2] = street.mid(1).join(QStringLiteral(", "));
            for (const vcard::AddressComponent& part : vcard::AddressFields)
                c[part.field] = vcard::unescape(parts.value(part.component), version);
        }
    }

    void fillRest()
    {
        Contact& c = card.contact;
        if (email >= 0) {
            owned[size_t(email)] = true;
            card.source[size_t(Field::Email)] = lineOf[email];
            c[Field::Email] = vcard::stripScheme(plain(props[email]), QLatin1String("mailto:"));
        }
        if (birthday >= 0) {
            const vcard::Property& p = props[birthday];
            const QString value = plain(p);
            const exchange::BirthdayText b = exchange::parseBirthday(value, QDate::currentDate().year());
            if (p.valueType == "text") {
                c[Field::Birthday] = value;
                owned[size_t(birthday)] = true;
                card.source[size_t(Field::Birthday)] = lineOf[birthday];
            } else if (b.kind == exchange::BirthdayText::Kind::Date) {
                c[Field::Birthday] = exchange::isoDate(b.date);
                owned[size_t(birthday)] = true;
                card.source[size_t(Field::Birthday)] = lineOf[birthday];
            } // a birthday without a year stays as written
        }
        if (note >= 0) {
            owned[size_t(note)] = true;
            card.source[size_t(Field::Notes)] = lineOf[note];
            c[Field::Notes] = exchange::normalizeLineBreaks(plain(props[note]));
        }
        if (org >= 0) {
            owned[size_t(org)] = true;
            card.source[size_t(Field::Workplace)] = lineOf[org];
            QStringList parts;
            for (const QString& part : vcard::splitEscaped(decoded(props[org]), QLatin1Char(';'))) {
                if (!part.isEmpty())
                    parts << vcard::unescape(part, version);
            }
            c[Field::Workplace] = parts.join(QStringLiteral(", "));
        }
        c[Field::Flag] = categories.value(0);
        c[Field::Flag2] = categories.value(1);
        for (const qsizetype line : card.categoryLines) {
            card.source[size_t(Field::Flag)] = line;
            card.source[size_t(Field::Flag2)] = line;
            break;
        }
    }

    void keepUnused()
    {
        const QList<QByteArray>& lines = card.lines;
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
    }
};

// Values longer than their fields are fitted as an import fits them (the whole value added to Notes). The card keeps
// them whole: only a field changed here is written back, so a value fitted here never goes back shortened.
Contact fittedHere(const Contact& whole, QStringList& added)
{
    const exchange::FittedContact fitted = exchange::fitToFields(whole);
    if (fitted.shortened.isEmpty())
        return fitted.contact;
    // A card whose note already holds the whole value does not get it twice.
    Contact out = fitted.contact;
    const QString& notes = whole[Field::Notes];
    const QStringList had = notes.split(QLatin1Char('\n'));
    QString lines = out[Field::Notes].mid(notes.size());
    if (lines.startsWith(QLatin1Char('\n')))
        lines.remove(0, 1);
    QString result = notes;
    for (const QString& line : lines.split(QLatin1Char('\n'))) {
        if (had.contains(line))
            continue;
        if (!result.isEmpty() && !result.endsWith(QLatin1Char('\n')))
            result += QLatin1Char('\n');
        result += line;
        added << line;
    }
    out[Field::Notes] = result;
    return out;
}

// Notes as the card is to hold it: without the lines that values fitted here added.
QString noteForCard(const QString& notes, const QStringList& fittedLines)
{
    if (fittedLines.isEmpty())
        return notes;
    QStringList lines = notes.split(QLatin1Char('\n'));
    for (const QString& line : fittedLines)
        lines.removeOne(line);
    return lines.join(QLatin1Char('\n'));
}

} // namespace

SyncCard parseCard(const QByteArray& text)
{
    CardParser parser;
    parser.readProperties(text);
    parser.choose();
    parser.fillName();
    parser.fillAddress();
    parser.fillRest();
    parser.card.noteAsRead = parser.card.contact[Field::Notes];
    parser.card.contact = fittedHere(parser.card.contact, parser.card.fittedLines);
    parser.card.read = parser.card.contact;
    parser.card.readUid = parser.card.uid;
    parser.keepUnused();
    return std::move(parser.card);
}

namespace {

// The offset of the colon that ends a content line's name and parameters (quoted parameter values may hold one).
qsizetype valueColon(const QByteArray& line)
{
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ':' && !quoted)
            return i;
    }
    return -1;
}

QByteArray groupOf(const QByteArray& line)
{
    const qsizetype colon = valueColon(line);
    const QByteArray head = line.left(colon);
    const qsizetype dot = head.indexOf('.');
    const qsizetype semi = head.indexOf(';');
    return dot > 0 && (semi < 0 || dot < semi) ? head.left(dot + 1) : QByteArray();
}

QStringList rawParts(const QByteArray& value, QChar separator, qsizetype atLeast)
{
    QStringList parts = vcard::splitEscaped(QString::fromUtf8(value), separator);
    while (parts.size() < atLeast)
        parts << QString();
    return parts;
}

QString esc(const QString& value)
{
    return QString::fromUtf8(exchange::VCardWriter::escape(value));
}

// Where a street component's first line ends: an unescaped comma or an escaped line break; -1: one line only.
qsizetype firstLineEnd(const QString& raw)
{
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] == QLatin1Char('\\')) {
            if (i + 1 < raw.size() && (raw[i + 1] == QLatin1Char('n') || raw[i + 1] == QLatin1Char('N')))
                return i;
            ++i;
        } else if (raw[i] == QLatin1Char(',') || raw[i] == QLatin1Char('\n')) {
            return i;
        }
    }
    return -1;
}

// The card as a fresh writer writes it, by property: what a field with no line of its own gets.
struct Fresh
{
    QList<vcard::Property> props;
    QList<QByteArray> lines;
    explicit Fresh(const SyncCard& card)
    {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        exchange::VCardWriter(buffer, card.version4 ? exchange::VCardWriter::Version::V40
                                                    : exchange::VCardWriter::Version::V30)
            .write(card.contact);
        for (const QByteArray& line : contentLines(bytes)) {
            vcard::Property p;
            if (vcard::parseProperty(line, p)) {
                props << p;
                lines << line;
            }
        }
    }
    [[nodiscard]] QByteArray line(vcard::Kind kind, const char* type = nullptr) const
    {
        for (qsizetype i = 0; i < props.size(); ++i) {
            if (props[i].kind == kind && (!type || props[i].hasType(type)))
                return lines[i];
        }
        return {};
    }
    [[nodiscard]] QByteArray value(vcard::Kind kind) const
    {
        const QByteArray l = line(kind);
        return l.mid(valueColon(l) + 1);
    }
};

QByteArray freshFormattedName(const SyncCard& card, const exchange::Contact& c)
{
    SyncCard copy;
    copy.version4 = card.version4;
    copy.contact = c;
    return Fresh(copy).value(vcard::Kind::FN);
}

// The card read, with the properties that hold changed fields rewritten; empty when the result would not read
// back as the contact (the caller then writes the card anew).
// Writing a card back changes only what changed, step by step: each step rewrites the lines of its
// fields in place (an empty line is removed) or adds fresh ones; the rest goes out as it was written.
class CardPatcher
{
public:
    using Kind = vcard::Kind;

    explicit CardPatcher(const SyncCard& source)
        : card(source), was(source.read), now(source.contact), fresh(source), out(source.lines.size())
    {
    }

    QByteArray patch()
    {
        patchName();
        patchFormattedName();
        patchAddress();
        // Single values: the value only, the name, group and parameters as they were.
        single(Field::Tel, Kind::TEL, "home", QLatin1String("tel:"));
        single(Field::Cell, Kind::TEL, "cell", QLatin1String("tel:"));
        single(Field::WorkTel, Kind::TEL, "work", QLatin1String("tel:"));
        single(Field::Email, Kind::EMAIL, nullptr, QLatin1String("mailto:"));
        single(Field::Notes, Kind::NOTE, nullptr, QLatin1String());
        single(Field::Birthday, Kind::BDAY, nullptr, QLatin1String());
        patchWorkplace();
        patchCategories();
        dropOrphanedLabels();
        patchUidAndRevision();
        return assemble();
    }

private:
    const SyncCard& card;
    const Contact& was;
    const Contact& now;
    const Fresh fresh;
    QList<std::optional<QByteArray>> out; // a line rewritten; an empty one is removed
    QList<QByteArray> added;

    bool changed(Field f) const { return was[f] != now[f]; }
    QByteArray current(qsizetype i) const { return out[i] ? *out[i] : card.lines[i]; }
    QByteArray headOf(qsizetype i) const
    {
        const QByteArray l = current(i);
        return l.left(valueColon(l));
    }
    QByteArray valueOf(qsizetype i) const
    {
        const QByteArray l = current(i);
        return l.mid(valueColon(l) + 1);
    }
    bool quotedPrintable(qsizetype i) const { return vcard::declaresQuotedPrintable(card.lines[i]); }
    // The writer's line for a property, under the group of the line it replaces.
    void replaceWhole(qsizetype i, const QByteArray& freshLine)
    {
        out[i] = freshLine.isEmpty() ? QByteArray() : groupOf(card.lines[i]) + freshLine;
    }
    void add(const QByteArray& freshLine)
    {
        if (!freshLine.isEmpty())
            added << freshLine;
    }

    void patchName()
    {
        // Name: only the changed components of N; FN when the name it shows changed.
        const std::array<Field, 3> nameFields{Field::Surname, Field::Firstname, Field::Midname};
        if (std::any_of(nameFields.begin(), nameFields.end(), [this](Field f) { return changed(f); })) {
            const qsizetype n = card.source[size_t(Field::Surname)];
            if (n < 0) {
                add(fresh.line(Kind::N));
            } else if (quotedPrintable(n)) {
                replaceWhole(n, fresh.line(Kind::N));
            } else {
                QStringList parts = rawParts(valueOf(n), QLatin1Char(';'), 5);
                for (int k = 0; k < 3; ++k) {
                    if (changed(nameFields[size_t(k)]))
                        parts[k] = esc(now[nameFields[size_t(k)]]);
                }
                out[n] = headOf(n) + ':' + parts.join(QLatin1Char(';')).toUtf8();
            }
        }
    }

    void patchFormattedName()
    {
        const QByteArray oldName = freshFormattedName(card, was);
        if (oldName != freshFormattedName(card, now)) {
            const qsizetype fn = card.formattedLine;
            if (fn < 0) {
                add(fresh.line(Kind::FN));
            } else if (quotedPrintable(fn)) {
                out[fn] = groupOf(card.lines[fn]) + "FN:" + fresh.value(Kind::FN);
            } else {
                // What the other client put around the name ("Dr. John Smith") stays around the new one.
                QByteArray value = valueOf(fn);
                const qsizetype at = oldName.isEmpty() ? -1 : value.indexOf(oldName);
                value = at < 0 ? fresh.value(Kind::FN) : value.replace(at, oldName.size(), fresh.value(Kind::FN));
                out[fn] = headOf(fn) + ':' + value;
            }
        }
    }

    void patchAddress()
    {
        // Address: the components of the changed fields. The street is spread over the PO box and the street
        // component: a line unchanged here stays as it was written there.
        const std::array<Field, 7> addressFields{Field::Address1, Field::Address2, Field::A3_Village, Field::Town,
                                                 Field::County,   Field::PostCode, Field::Country};
        if (std::any_of(addressFields.begin(), addressFields.end(), [this](Field f) { return changed(f); })) {
            const qsizetype a = card.source[size_t(Field::Address1)];
            const bool empty =
                std::all_of(addressFields.begin(), addressFields.end(), [&](Field f) { return now[f].isEmpty(); });
            if (a < 0) {
                add(fresh.line(Kind::ADR));
            } else if (empty) {
                out[a] = QByteArray();
            } else if (quotedPrintable(a)) {
                replaceWhole(a, fresh.line(Kind::ADR));
            } else {
                QStringList parts = rawParts(valueOf(a), QLatin1Char(';'), 7);
                const std::array<std::pair<Field, int>, 5> simple{{{Field::A3_Village, 1},
                                                                   {Field::Town, 3},
                                                                   {Field::County, 4},
                                                                   {Field::PostCode, 5},
                                                                   {Field::Country, 6}}};
                for (const auto& [f, k] : simple) {
                    if (changed(f))
                        parts[k] = esc(now[f]);
                }
                const QString moreLines = now[Field::Address2].isEmpty() ? QString() : [&] {
                    QStringList lines;
                    for (const QString& l : now[Field::Address2].split(QStringLiteral(", ")))
                        lines << esc(l);
                    return lines.join(QStringLiteral("\\n"));
                }();
                if (!parts[0].isEmpty()) {
                    // The PO box is the first line; the street component holds the others.
                    if (changed(Field::Address1))
                        parts[0] = esc(now[Field::Address1]);
                    if (changed(Field::Address2))
                        parts[2] = moreLines;
                } else {
                    const qsizetype end = firstLineEnd(parts[2]);
                    QString first = end < 0 ? parts[2] : parts[2].left(end);
                    QString rest = end < 0 ? QString() : parts[2].mid(end);
                    if (changed(Field::Address1))
                        first = esc(now[Field::Address1]);
                    if (changed(Field::Address2))
                        rest = moreLines.isEmpty() ? QString() : QStringLiteral("\\n") + moreLines;
                    parts[2] = first + rest;
                }
                out[a] = headOf(a) + ':' + parts.join(QLatin1Char(';')).toUtf8();
            }
        }
    }

    void single(Field f, Kind kind, const char* type, QLatin1String scheme)
    {
        if (!changed(f))
            return;
        const qsizetype i = card.source[size_t(f)];
        // The whole values of fitted ones stay here: the card holds them where they belong.
        const QString value = f == Field::Notes ? noteForCard(now[f], card.fittedLines) : now[f];
        if (i < 0 && f == Field::Notes) {
            if (!value.isEmpty())
                add("NOTE:" + exchange::VCardWriter::escape(value));
        } else if (i < 0) {
            add(fresh.line(kind, type));
        } else if (value.isEmpty()) {
            out[i] = QByteArray();
        } else if (quotedPrintable(i)) {
            replaceWhole(i, fresh.line(kind, type));
        } else if (kind == Kind::BDAY) {
            // The parameters as the card gave them (VALUE=date...), unless the value changes from date to text.
            vcard::Property was, becomes;
            const QByteArray freshLine = fresh.line(kind);
            const bool parsed = vcard::parseProperty(card.lines[i], was) && vcard::parseProperty(freshLine, becomes);
            if (parsed && (was.valueType == "text") == (becomes.valueType == "text"))
                out[i] = headOf(i) + ':' + fresh.value(kind);
            else
                replaceWhole(i, freshLine);
        } else {
            const QByteArray written = valueOf(i);
            const bool withScheme = !scheme.isEmpty() && written.startsWith(QByteArray(scheme.data(), scheme.size()));
            out[i] = headOf(i) + ':' + (withScheme ? QByteArray(scheme.data(), scheme.size()) : QByteArray()) +
                     exchange::VCardWriter::escape(value);
        }
    }

    void patchWorkplace()
    {
        // Workplace: ORG's units, when the changed value still has as many parts as units.
        if (changed(Field::Workplace)) {
            const qsizetype o = card.source[size_t(Field::Workplace)];
            if (o < 0) {
                add(fresh.line(Kind::ORG));
            } else if (now[Field::Workplace].isEmpty()) {
                out[o] = QByteArray();
            } else if (quotedPrintable(o)) {
                replaceWhole(o, fresh.line(Kind::ORG));
            } else {
                QStringList parts = rawParts(valueOf(o), QLatin1Char(';'), 1);
                QList<qsizetype> used;
                for (qsizetype k = 0; k < parts.size(); ++k) {
                    if (!parts[k].isEmpty())
                        used << k;
                }
                const QStringList units = now[Field::Workplace].split(QStringLiteral(", "));
                if (used.size() > 1) {
                    QStringList written;
                    for (const QString& u : units)
                        written << esc(u);
                    if (units.size() == used.size()) {
                        for (qsizetype k = 0; k < used.size(); ++k)
                            parts[used[k]] = written[k];
                    } else {
                        parts = written;
                    }
                } else {
                    parts = QStringList{esc(now[Field::Workplace])};
                }
                out[o] = headOf(o) + ':' + parts.join(QLatin1Char(';')).toUtf8();
            }
        }
    }

    void patchCategories()
    {
        // The two flags are the first two categories; the others stay, in one property.
        if (changed(Field::Flag) || changed(Field::Flag2)) {
            QStringList rest;
            for (const qsizetype i : card.categoryLines) {
                for (const QString& item : rawParts(valueOf(i), QLatin1Char(','), 0))
                    rest << item;
            }
            // A flag not changed here keeps the category as written there (whole, where it was fitted here).
            const QString flag = changed(Field::Flag) ? esc(now[Field::Flag]) : rest.value(0);
            const QString flag2 = changed(Field::Flag2) ? esc(now[Field::Flag2]) : rest.value(1);
            rest = rest.mid(2);
            QStringList items;
            if (!flag.isEmpty() || !flag2.isEmpty() || !rest.isEmpty())
                items << flag;
            if (!flag2.isEmpty() || !rest.isEmpty())
                items << flag2;
            items << rest;
            if (card.categoryLines.isEmpty()) {
                add(fresh.line(Kind::CATEGORIES));
            } else {
                const qsizetype first = card.categoryLines.first();
                out[first] =
                    items.isEmpty() ? QByteArray() : headOf(first) + ':' + items.join(QLatin1Char(',')).toUtf8();
                for (const qsizetype i : card.categoryLines.mid(1))
                    out[i] = QByteArray();
            }
        }
    }

    // A grouped property removed takes its group's label lines (X-ABLabel, X-ABADR) with it.
    void dropOrphanedLabels()
    {
        for (qsizetype i = 0; i < card.lines.size(); ++i) {
            const QByteArray group = groupOf(card.lines[i]);
            if (!out[i] || !out[i]->isEmpty() || group.isEmpty())
                continue;
            QList<qsizetype> labels;
            bool othersLeft = false;
            for (qsizetype k = 0; k < card.lines.size(); ++k) {
                if (k == i || (out[k] && out[k]->isEmpty()) || groupOf(card.lines[k]).compare(group, Qt::CaseInsensitive))
                    continue;
                const QByteArray name = card.lines[k].mid(group.size(), 7).toUpper();
                if (name.startsWith("X-AB"))
                    labels << k;
                else
                    othersLeft = true;
            }
            if (!othersLeft) {
                for (const qsizetype k : labels)
                    out[k] = QByteArray();
            }
        }
    }

    void patchUidAndRevision()
    {
        const bool anyChange = was != now || card.uid != card.readUid;
        if (card.uid != card.readUid) {
            if (card.uidLine < 0)
                added.prepend("UID:" + card.uid);
            else
                out[card.uidLine] = headOf(card.uidLine) + ':' + card.uid;
        }
        if (anyChange && card.revLine >= 0)
            out[card.revLine] = headOf(card.revLine) + ':' +
                                QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddTHHmmssZ")).toUtf8();
    }

    QByteArray assemble() const
    {
        QByteArray bytes = "BEGIN:VCARD\r\n";
        for (qsizetype i = 0; i < card.lines.size(); ++i) {
            if (!out[i])
                bytes += card.written[i];
            else if (!out[i]->isEmpty())
                bytes += exchange::VCardWriter::fold(*out[i]);
        }
        for (const QByteArray& line : added)
            bytes += exchange::VCardWriter::fold(line);
        bytes += "END:VCARD\r\n";
        try {
            const SyncCard back = parseCard(bytes);
            if (back.uid == card.uid && holdsWhatWasMeant(card, back))
                return bytes;
        } catch (const platform::AppError&) {
        }
        return {};
    }
};

QByteArray patchCard(const SyncCard& card)
{
    return CardPatcher(card).patch();
}

} // namespace

QByteArray composeCard(const SyncCard& card)
{
    if (!card.lines.isEmpty()) {
        const QByteArray patched = patchCard(card);
        if (!patched.isEmpty())
            return patched;
    }
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

bool holdsWhatWasMeant(const SyncCard& card, const SyncCard& back)
{
    const Contact& was = card.read;
    const Contact& meant = card.contact;
    QStringList lines;
    const Contact fitted = fittedHere(meant, lines); // a value set too long here by another tool reads back fitted
    using F = Field;
    static const QList<QList<Field>> kinds{
        {F::Surname, F::Midname, F::Firstname},
        {F::Address1, F::Address2, F::A3_Village, F::Town, F::County, F::PostCode, F::Country},
        {F::Flag, F::Flag2}};
    auto kindOf = [](Field f) {
        for (const QList<Field>& k : kinds) {
            if (k.contains(f))
                return k;
        }
        return QList<Field>{f};
    };
    for (int i = 0; i < exchange::FieldCount; ++i) {
        const auto f = static_cast<Field>(i);
        if (back.contact[f] == meant[f] || (f != Field::Notes && back.contact[f] == fitted[f]) ||
            (f == Field::Notes && back.noteAsRead == noteForCard(meant[f], card.fittedLines)))
            continue;
        const QList<Field> kind = kindOf(f);
        if (std::none_of(kind.begin(), kind.end(), [&](Field k) { return !was[k].isEmpty() && meant[k].isEmpty(); }))
            return false;
    }
    return true;
}

void addProperties(SyncCard& card, const QList<QByteArray>& lines)
{
    for (const QByteArray& line : lines) {
        if (line.isEmpty() || card.foreign.contains(line) || card.lines.contains(line))
            continue;
        card.foreign << line;
        if (!card.lines.isEmpty()) {
            // A card that was read is written over its lines: the new ones go after them.
            card.lines << line;
            card.written << exchange::VCardWriter::fold(line);
        }
    }
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

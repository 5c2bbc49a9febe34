#include "exchange/ContactDraft.h"

#include "exchange/ImportLog.h"

namespace exchange {

namespace {

bool allDigits(const QString& s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

BirthdayText dateResult(int y, int m, int d)
{
    BirthdayText r;
    const QDate date(y, m, d);
    if (date.isValid() && y >= 1 && y <= 9999) {
        r.kind = BirthdayText::Kind::Date;
        r.date = date;
    } else {
        r.kind = BirthdayText::Kind::Invalid;
    }
    return r;
}

BirthdayText invalid()
{
    BirthdayText r;
    r.kind = BirthdayText::Kind::Invalid;
    return r;
}

} // namespace

BirthdayText parseBirthday(const QString& input, int currentYear)
{
    QString text = input.trimmed();
    if (text.isEmpty())
        return {};

    // --MMDD or --MM-DD: no year.
    if (text.startsWith(QLatin1String("--"))) {
        QString md = text.mid(2);
        md.remove(QLatin1Char('-'));
        if (md.size() != 4 || !allDigits(md))
            return invalid();
        const int month = md.left(2).toInt();
        const int day = md.mid(2).toInt();
        if (!QDate(2000, month, day).isValid()) // 2000 was a leap year: 29 February is a birthday
            return invalid();
        BirthdayText r;
        r.kind = BirthdayText::Kind::NoYear;
        r.day = day;
        r.month = month;
        return r;
    }

    // A time after the date is not kept: 1970-01-31T00:00:00Z, 1970-01-31 00:00:00.
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('T') || text[i] == QLatin1Char(' ')) {
            text.truncate(i);
            break;
        }
    }

    if (text.size() == 8 && allDigits(text))
        return dateResult(text.left(4).toInt(), text.mid(4, 2).toInt(), text.mid(6, 2).toInt());

    QStringList parts;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == QLatin1Char('-') || text[i] == QLatin1Char('/') ||
            text[i] == QLatin1Char('.')) {
            parts << text.mid(from, i - from);
            from = i + 1;
        }
    }
    if (parts.size() != 3 || !allDigits(parts[0]) || !allDigits(parts[1]) || !allDigits(parts[2]))
        return invalid();
    if (parts[0].size() == 4) // year first: 1970-01-31, 1970/01/31
        return dateResult(parts[0].toInt(), parts[1].toInt(), parts[2].toInt());

    const int a = parts[0].toInt();
    const int b = parts[1].toInt();
    int year = parts[2].toInt();
    if (a == 0 && b == 0 && year == 0)
        return {}; // "0/0/00": some exports write this for no birthday
    if (parts[2].size() == 2) {
        const int century = currentYear - currentYear % 100;
        year += (year <= currentYear % 100) ? century : century - 100;
    } else if (parts[2].size() != 4) {
        return invalid();
    }
    if (parts[0].size() > 2 || parts[1].size() > 2)
        return invalid();
    BirthdayText r;
    if (a > 12 || b > 12 || a == b) {
        r = (a > 12 || a == b) ? dateResult(year, b, a) : dateResult(year, a, b);
    } else {
        r = dateResult(year, b, a);
        r.guessedDayFirst = true;
    }
    return r;
}

QString isoDate(const QDate& date)
{
    // QDate::toString goes through the locale machinery; this runs once per imported contact.
    const int y = date.year(), m = date.month(), d = date.day();
    const char16_t text[10] = {char16_t(u'0' + y / 1000 % 10),
                               char16_t(u'0' + y / 100 % 10),
                               char16_t(u'0' + y / 10 % 10),
                               char16_t(u'0' + y % 10),
                               u'-',
                               char16_t(u'0' + m / 10),
                               char16_t(u'0' + m % 10),
                               u'-',
                               char16_t(u'0' + d / 10),
                               char16_t(u'0' + d % 10)};
    return QString(reinterpret_cast<const QChar*>(text), 10);
}

QString normalizeLineBreaks(QString text)
{
    if (text.contains(QLatin1Char('\r'))) {
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    }
    return text;
}

ContactDraft::ContactDraft(ImportLog& log, qint64 record, qint64 line, int currentYear)
    : m_log(log), m_record(record), m_line(line), m_currentYear(currentYear)
{
}

void ContactDraft::warn(const QString& text)
{
    m_log.add(Severity::Warning, m_record, m_line, text);
}

void ContactDraft::inform(const QString& text)
{
    m_log.add(Severity::Info, m_record, m_line, text);
}

void ContactDraft::setBirthdayDate(const QDate& date)
{
    contact[Field::Birthday] = isoDate(date);
}

void ContactDraft::setBirthday(const QString& text)
{
    const BirthdayText b = parseBirthday(text, m_currentYear);
    switch (b.kind) {
    case BirthdayText::Kind::Empty:
        return;
    case BirthdayText::Kind::Date:
        setBirthdayDate(b.date);
        if (b.guessedDayFirst) {
            inform(QStringLiteral("birthday \"%1\" was read as day/month/year: %2.")
                       .arg(text.trimmed(), b.date.toString(QStringLiteral("d MMMM yyyy"))));
        }
        return;
    case BirthdayText::Kind::NoYear: {
        const QString note =
            QStringLiteral("Birthday: %1/%2").arg(b.day, 2, 10, QLatin1Char('0')).arg(b.month, 2, 10, QLatin1Char('0'));
        addNoteLine(note);
        inform(QStringLiteral("birthday \"%1\" has no year; kept in Notes as \"%2\".").arg(text.trimmed(), note));
        return;
    }
    case BirthdayText::Kind::Invalid: {
        const QString note = QStringLiteral("Birthday: %1").arg(text.trimmed());
        addNoteLine(note);
        warn(QStringLiteral("birthday \"%1\" is not a valid date; kept in Notes as \"%2\".").arg(text.trimmed(), note));
        return;
    }
    }
}

void ContactDraft::setStreet(const QStringList& lines)
{
    // Positional: an empty first line leaves Address1 empty (so a lone second line stays Address2).
    QStringList rest;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (!lines[i].trimmed().isEmpty())
            rest << lines[i].trimmed();
    }
    contact[Field::Address1] = lines.value(0).trimmed();
    contact[Field::Address2] = rest.join(QStringLiteral(", "));
}

QString ContactDraft::noteDate(const QString& text) const
{
    const BirthdayText b = parseBirthday(text, m_currentYear);
    if (b.kind == BirthdayText::Kind::Date)
        return isoDate(b.date);
    if (b.kind == BirthdayText::Kind::NoYear)
        return QStringLiteral("%1/%2").arg(b.day, 2, 10, QLatin1Char('0')).arg(b.month, 2, 10, QLatin1Char('0'));
    return text.trimmed();
}

void ContactDraft::addNoteLine(const QString& text)
{
    m_noteLines << text;
    ++m_moved;
}

void ContactDraft::addNoteLine(const QString& label, const QString& value)
{
    addNoteLine(label + QStringLiteral(": ") + value);
}

void ContactDraft::insertNoteLine(qsizetype at, const QString& text)
{
    m_noteLines.insert(at < 0 || at > m_noteLines.size() ? m_noteLines.size() : at, text);
    ++m_moved;
}

void ContactDraft::notStored(const QString& what)
{
    m_log.skip(QStringLiteral("%1 (binary, not stored)").arg(what));
    ++m_notStored;
}

bool isCatchAllGroup(const QString& category)
{
    QString c = category.trimmed();
    if (c.startsWith(QLatin1String("* "))) // how Google's CSV marks its own groups
        c = c.mid(2).trimmed();
    for (const char* name : {"My Contacts", "myContacts", "Starred in Android"}) {
        if (c.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

void ContactDraft::setCategories(const QStringList& categories, qsizetype at)
{
    // An empty first item keeps Flag empty: our own export writes ",B" for a contact with only Flag2.
    const bool flagKept = categories.size() > 1 && categories.first().trimmed().isEmpty();
    QStringList rest;
    for (const QString& item : categories) {
        const QString c = item.trimmed();
        if (c.isEmpty() || isCatchAllGroup(c))
            continue;
        if (contact[Field::Flag].isEmpty() && !flagKept && c.size() <= maxLength(Field::Flag))
            contact[Field::Flag] = c;
        else if (contact[Field::Flag2].isEmpty() && c.size() <= maxLength(Field::Flag2))
            contact[Field::Flag2] = c;
        else if (!rest.contains(c) && c != contact[Field::Flag] && c != contact[Field::Flag2])
            rest << c;
    }
    if (!rest.isEmpty())
        insertNoteLine(at, QStringLiteral("Categories: ") + rest.join(QStringLiteral(", ")));
}

void ContactDraft::nameFromOtherFields(const QString& firstPhone)
{
    if (!contact[Field::Surname].trimmed().isEmpty() || !contact[Field::Firstname].trimmed().isEmpty() ||
        !contact[Field::Midname].trimmed().isEmpty())
        return;
    QString phone = firstPhone.trimmed();
    for (Field f : {Field::Tel, Field::Cell, Field::WorkTel}) {
        if (phone.isEmpty())
            phone = contact[f].trimmed();
    }
    const std::pair<const char*, QString> sources[] = {{"Workplace", contact[Field::Workplace].trimmed()},
                                                       {"Email", contact[Field::Email].trimmed()},
                                                       {"phone number", phone}};
    for (const auto& [from, value] : sources) {
        if (!value.isEmpty()) {
            contact[Field::Surname] = value;
            m_nameFrom = QLatin1String(from);
            return;
        }
    }
}

Contact ContactDraft::finish()
{
    if (!m_noteLines.isEmpty()) {
        QString& notes = contact[Field::Notes];
        if (!notes.isEmpty() && !notes.endsWith(QLatin1Char('\n')))
            notes += QLatin1Char('\n');
        notes += m_noteLines.join(QLatin1Char('\n'));
        m_noteLines.clear();
    }
    for (QString& v : contact.values)
        v = normalizeLineBreaks(std::move(v));
    return contact;
}

} // namespace exchange

#include "exchange/ImportPlan.h"

#include "exchange/AccessFile.h"
#include "exchange/ControlCharacters.h"
#include "exchange/CsvReader.h"
#include "exchange/LineReader.h"
#include "exchange/TovrelFile.h"
#include "exchange/VCardReader.h"
#include "platform/AppError.h"

#include <QFile>
#include <QFileInfo>

namespace exchange {

namespace {

constexpr qint64 ProgressEvery = 256;

QString nameForList(const Contact& c)
{
    QString name = c.displayName();
    if (name.isEmpty())
        name = !c[Field::Workplace].isEmpty() ? c[Field::Workplace] : c[Field::Email];
    return name;
}

bool report(const Progress& progress, const ContactReader& reader)
{
    return !progress || progress(reader.progressDone(), reader.progressTotal());
}

} // namespace

QList<OverLongValue> overLongValues(const Contact& contact)
{
    QList<OverLongValue> out;
    for (const FieldInfo& fi : Fields) {
        const auto length = contact[fi.field].size();
        if (fi.maxLength > 0 && length > fi.maxLength)
            out.append(OverLongValue{fi.field, static_cast<int>(length), fi.maxLength});
    }
    return out;
}

namespace {

bool isPhoneField(Field f)
{
    return f == Field::Tel || f == Field::Cell || f == Field::WorkTel;
}

// The characters people put into phone numbers for reading: dropping them loses nothing.
QString compactPhone(const QString& number)
{
    QString out;
    out.reserve(number.size());
    for (QChar c : number) {
        if (!c.isSpace() && c != QLatin1Char('(') && c != QLatin1Char(')') && c != QLatin1Char('.') &&
            c != QLatin1Char('-'))
            out += c;
    }
    return out;
}

// Pieces of `text`, each within its limit, split after commas (commasFirst) or at spaces; empty when it
// does not fit into limits.size() pieces. A comma at a split is the line break itself and is dropped.
QStringList splitToFit(const QString& text, const QList<int>& limits, bool commasFirst)
{
    QStringList pieces;
    QString rest = text.trimmed();
    for (int limit : limits) {
        if (rest.size() <= limit) {
            pieces << rest;
            return pieces;
        }
        qsizetype cut = -1;
        qsizetype next = -1;
        if (commasFirst) {
            const qsizetype comma = rest.lastIndexOf(QLatin1Char(','), limit);
            if (comma > 0) {
                cut = comma;
                next = comma + 1;
            }
        }
        if (cut < 0) {
            const qsizetype space = rest.lastIndexOf(QLatin1Char(' '), limit);
            if (space > 0) {
                cut = space;
                next = space + 1;
            }
        }
        if (cut < 0)
            return {};
        QString piece = rest.left(cut).trimmed();
        if (piece.endsWith(QLatin1Char(',')))
            piece.chop(1);
        if (piece.trimmed().isEmpty())
            return {};
        pieces << piece.trimmed();
        rest = rest.mid(next).trimmed();
    }
    return {};
}

QString shortened(const QString& value, int maxLength)
{
    qsizetype keep = maxLength;
    if (value.at(keep - 1).isHighSurrogate())
        --keep;
    while (keep > 1 && value.at(keep - 1).isSpace())
        --keep;
    return value.left(keep);
}

} // namespace

FittedContact fitToFields(Contact contact)
{
    FittedContact out;
    // A street line runs on into the empty address lines after it.
    const Field lines[] = {Field::Address1, Field::Address2, Field::A3_Village};
    for (int i = 0; i < 3; ++i) {
        const QString value = contact[lines[i]];
        if (value.size() <= maxLength(lines[i]))
            continue;
        QList<int> limits{maxLength(lines[i])};
        for (int j = i + 1; j < 3 && contact[lines[j]].isEmpty(); ++j)
            limits << maxLength(lines[j]);
        if (limits.size() < 2)
            continue;
        QStringList pieces = splitToFit(value, limits, true);
        if (pieces.isEmpty())
            pieces = splitToFit(value, limits, false);
        for (qsizetype p = 0; p < pieces.size(); ++p)
            contact[lines[i + p]] = pieces[p];
    }
    QStringList wholeValues;
    for (const FieldInfo& fi : Fields) {
        QString& v = contact[fi.field];
        if (fi.maxLength <= 0 || v.size() <= fi.maxLength)
            continue;
        const QString whole = v;
        if (isPhoneField(fi.field)) {
            v = compactPhone(v);
            if (v.size() <= fi.maxLength)
                continue;
        }
        out.shortened.append(OverLongValue{fi.field, int(whole.size()), fi.maxLength});
        wholeValues << QStringLiteral("%1: %2").arg(QLatin1String(fi.name), whole);
        v = shortened(v, fi.maxLength);
    }
    if (!wholeValues.isEmpty()) {
        QString& notes = contact[Field::Notes];
        if (!notes.isEmpty() && !notes.endsWith(QLatin1Char('\n')))
            notes += QLatin1Char('\n');
        notes += wholeValues.join(QLatin1Char('\n'));
    }
    out.contact = std::move(contact);
    return out;
}

namespace {

// What one contact adds to the plan.
void addToPlan(ImportPlan& plan, const ReadContact& rc, FittedContact& fitted)
{
    ++plan.contactCount;
    if (!plan.first) {
        plan.first = fitted.contact;
        for (const OverLongValue& v : fitted.shortened)
            plan.firstShortened << v.field;
    }
    plan.movedToNotes += rc.movedToNotes;
    plan.notStored += rc.notStored;
    if (!rc.nameTakenFrom.isEmpty()) {
        ++plan.namelessCount;
        if (plan.nameless.size() < ImportPlan::MaxOverLongListed)
            plan.nameless.append(NamelessContact{rc.record, rc.line, fitted.contact[Field::Surname], rc.nameTakenFrom});
    }
    if (!fitted.shortened.isEmpty()) {
        ++plan.overLongCount;
        plan.shortenedValues += fitted.shortened.size();
        if (plan.overLong.size() < ImportPlan::MaxOverLongListed)
            plan.overLong.append(OverLongContact{rc.record, rc.line, nameForList(fitted.contact), fitted.shortened});
    }
}

// What the reader noticed over the whole source.
void finishPlan(ImportPlan& plan, const ContactReader& reader)
{
    plan.source = reader.description();
    const ImportLog& log = reader.log();
    plan.skipped = log.skipped();
    plan.notices = log.notices();
    plan.noticeCount = log.noticeCount();
    plan.warningCount = log.warningCount();
    plan.columns = reader.columnNames();
    plan.columnsAreProperties = reader.columnsAreProperties();
    plan.columnsInNotes = reader.columnsInNotes();
}

} // namespace

std::optional<ImportPlan> makePlan(ContactReader& reader, const Progress& progress)
{
    ImportPlan plan;
    ReadContact rc;
    while (reader.next(rc)) {
        removeControlCharacters(rc, reader.log());
        FittedContact fitted = fitToFields(std::move(rc.contact));
        addToPlan(plan, rc, fitted);
        if (plan.contactCount % ProgressEvery == 0 && !report(progress, reader))
            return std::nullopt;
    }
    report(progress, reader);
    finishPlan(plan, reader);
    return plan;
}

ImportResult importContacts(ContactReader& reader, OverLongChoice choice, const AddContact& add,
                            const Progress& progress, ImportPlan* seen)
{
    ImportResult result;
    ReadContact rc;
    qint64 count = 0;
    while (reader.next(rc)) {
        removeControlCharacters(rc, reader.log());
        ++count;
        FittedContact fitted = fitToFields(std::move(rc.contact));
        if (seen)
            addToPlan(*seen, rc, fitted);
        if (fitted.shortened.isEmpty() || choice == OverLongChoice::Keep) {
            add(fitted.contact);
            ++result.added;
            result.movedToNotes += rc.movedToNotes;
            result.notStored += rc.notStored;
            if (!fitted.shortened.isEmpty()) {
                ++result.shortened;
                result.shortenedValues += fitted.shortened.size();
            }
        } else {
            ++result.skipped;
        }
        if (count % ProgressEvery == 0 && !report(progress, reader)) {
            result.cancelled = true;
            return result;
        }
    }
    report(progress, reader);
    if (seen)
        finishPlan(*seen, reader);
    return result;
}

SourceKind detectSourceKind(const QString& path)
{
    if (isAccessFile(path))
        return SourceKind::Access;
    if (isSqliteFile(path)) {
        if (hasContactTable(path))
            return SourceKind::Tovrel;
        throw platform::AppError(QStringLiteral("%1 is a database but not an address book (it has no HomeAd table); "
                                                "it cannot be imported.")
                                     .arg(path));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw platform::AppError(QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));
    LineReader lines(file);
    QByteArray line;
    for (int i = 0; i < 1000 && lines.next(line); ++i) {
        const QByteArray t = line.trimmed();
        if (t.isEmpty())
            continue;
        return t.toUpper().startsWith("BEGIN:VCARD") ? SourceKind::VCard : SourceKind::Csv;
    }
    return SourceKind::Csv;
}

std::unique_ptr<ContactReader> makeTextReader(QIODevice& device, SourceKind kind, const ReadOptions& options)
{
    if (kind == SourceKind::VCard)
        return std::make_unique<VCardReader>(device, options);
    return std::make_unique<CsvReader>(device, options);
}

Importer::Importer(QString path, QString table, ReadOptions options)
    : m_path(std::move(path)), m_table(table.isEmpty() ? QStringLiteral("HomeAd") : std::move(table)),
      m_options(options), m_kind(detectSourceKind(m_path))
{
}

template <typename F> auto Importer::withReader(F&& f)
{
    if (m_kind == SourceKind::Access) {
        AccessReader reader(m_path, m_table, m_options);
        return f(static_cast<ContactReader&>(reader));
    }
    if (m_kind == SourceKind::Tovrel) {
        TovrelFileReader reader(m_path, m_options);
        return f(static_cast<ContactReader&>(reader));
    }
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        throw platform::AppError(QStringLiteral("Cannot open %1: %2").arg(m_path, file.errorString()));
    const auto reader = makeTextReader(file, m_kind, m_options);
    return f(*reader);
}

std::optional<ImportPlan> Importer::plan(const Progress& progress)
{
    const QFileInfo info(m_path);
    m_plannedSize = info.size();
    m_plannedModified = info.lastModified();
    auto plan = withReader([&](ContactReader& r) { return makePlan(r, progress); });
    m_planned = plan.has_value();
    return plan;
}

ImportResult Importer::run(OverLongChoice choice, const AddContact& add, const Progress& progress, ImportPlan* seen)
{
    if (m_planned) {
        const QFileInfo info(m_path);
        if (info.size() != m_plannedSize || info.lastModified() != m_plannedModified) {
            throw platform::AppError(
                QStringLiteral("%1 has changed since the preview; nothing was imported. Open it again.").arg(m_path));
        }
    }
    return withReader([&](ContactReader& r) { return importContacts(r, choice, add, progress, seen); });
}

} // namespace exchange

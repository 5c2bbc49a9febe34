#include "exchange/ImportPlan.h"

#include "exchange/AccessFile.h"
#include "exchange/ControlCharacters.h"
#include "exchange/CsvReader.h"
#include "exchange/LineReader.h"
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

Contact cutToLimits(Contact contact)
{
    for (const FieldInfo& fi : Fields) {
        QString& v = contact[fi.field];
        if (fi.maxLength <= 0 || v.size() <= fi.maxLength)
            continue;
        qsizetype keep = fi.maxLength;
        if (v.at(keep - 1).isHighSurrogate())
            --keep;
        v.truncate(keep);
    }
    return contact;
}

std::optional<ImportPlan> makePlan(ContactReader& reader, const Progress& progress)
{
    ImportPlan plan;
    ReadContact rc;
    while (reader.next(rc)) {
        removeControlCharacters(rc, reader.log());
        ++plan.contactCount;
        if (!plan.first)
            plan.first = rc.contact;
        QList<OverLongValue> over = overLongValues(rc.contact);
        if (!over.isEmpty()) {
            ++plan.overLongCount;
            if (plan.overLong.size() < ImportPlan::MaxOverLongListed)
                plan.overLong.append(OverLongContact{rc.record, rc.line, nameForList(rc.contact), std::move(over)});
        }
        if (plan.contactCount % ProgressEvery == 0 && !report(progress, reader))
            return std::nullopt;
    }
    report(progress, reader);
    plan.source = reader.description();
    const ImportLog& log = reader.log();
    plan.skipped = log.skipped();
    plan.notices = log.notices();
    plan.noticeCount = log.noticeCount();
    plan.warningCount = log.warningCount();
    return plan;
}

ImportResult importContacts(ContactReader& reader, OverLongChoice choice, const AddContact& add,
                            const Progress& progress)
{
    ImportResult result;
    ReadContact rc;
    qint64 seen = 0;
    while (reader.next(rc)) {
        removeControlCharacters(rc, reader.log());
        ++seen;
        if (overLongValues(rc.contact).isEmpty()) {
            add(rc.contact);
            ++result.added;
        } else if (choice == OverLongChoice::Cut) {
            add(cutToLimits(std::move(rc.contact)));
            ++result.added;
            ++result.cut;
        } else {
            ++result.skipped;
        }
        if (seen % ProgressEvery == 0 && !report(progress, reader)) {
            result.cancelled = true;
            return result;
        }
    }
    report(progress, reader);
    return result;
}

SourceKind detectSourceKind(const QString& path)
{
    if (isAccessFile(path))
        return SourceKind::Access;
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

ImportResult Importer::run(OverLongChoice choice, const AddContact& add, const Progress& progress)
{
    if (m_planned) {
        const QFileInfo info(m_path);
        if (info.size() != m_plannedSize || info.lastModified() != m_plannedModified) {
            throw platform::AppError(
                QStringLiteral("%1 has changed since the preview; nothing was imported. Open it again.").arg(m_path));
        }
    }
    return withReader([&](ContactReader& r) { return importContacts(r, choice, add, progress); });
}

} // namespace exchange

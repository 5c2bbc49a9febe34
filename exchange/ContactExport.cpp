#include "exchange/ContactExport.h"

#include "data/Dataset.h"
#include "platform/AppError.h"

#include <QFileInfo>

namespace exchange {

const QStringList& exportFilters()
{
    static const QStringList filters = {QStringLiteral("vCard 4.0 (*.vcf *.vcard)"),
                                        QStringLiteral("vCard 3.0 (*.vcf *.vcard)"),
                                        QStringLiteral("CSV, comma separated (*.csv)")};
    return filters;
}

exchange::ExportFormat exportFormatFor(QString& path, const QString& filter)
{
    const int chosen = std::max(0, int(exportFilters().indexOf(filter)));
    const exchange::ExportFormat byFilter = chosen == 0   ? exchange::ExportFormat::VCard40
                                            : chosen == 1 ? exchange::ExportFormat::VCard30
                                                          : exchange::ExportFormat::Csv;
    const QFileInfo info(path);
    if (info.suffix().isEmpty() && !info.fileName().isEmpty())
        path += byFilter == exchange::ExportFormat::Csv ? QStringLiteral(".csv") : QStringLiteral(".vcf");
    const std::optional<exchange::ExportFormat> bySuffix = exchange::exportFormatForPath(path);
    if (!bySuffix)
        return byFilter;
    if (*bySuffix == exchange::ExportFormat::Csv)
        return exchange::ExportFormat::Csv;
    return byFilter == exchange::ExportFormat::Csv ? *bySuffix : byFilter;
}

qint64 exportQuery(const data::Dataset& query, const QString& path, exchange::ExportFormat format)
{
    if (!query.isOpen())
        throw platform::AppError(QStringLiteral("There is no contact list to export: the contacts are not open"));
    std::array<int, exchange::FieldCount> columns{};
    for (const exchange::FieldInfo& f : exchange::Fields)
        columns[size_t(exchange::index(f.field))] = query.requireField(QLatin1String(f.name));
    int row = 0;
    return exchange::exportToFile(path, format, [&](exchange::Contact& contact) {
        if (row >= query.recordCount())
            return false;
        query.texts(row, columns.data(), exchange::FieldCount, contact.values.data());
        ++row;
        return true;
    });
}

} // namespace exchange

#include "exchange/ContactWriter.h"

#include "exchange/CsvWriter.h"
#include "exchange/VCardWriter.h"
#include "platform/AppError.h"

#include <QFileInfo>
#include <QSaveFile>

namespace exchange {

void ContactWriter::put(const QByteArray& bytes)
{
    if (m_device.write(bytes) != bytes.size())
        throw platform::AppError(QStringLiteral("Cannot write the file: %1").arg(m_device.errorString()));
}

std::unique_ptr<ContactWriter> makeWriter(ExportFormat format, QIODevice& device)
{
    switch (format) {
    case ExportFormat::VCard40:
        return std::make_unique<VCardWriter>(device, VCardWriter::Version::V40);
    case ExportFormat::VCard30:
        return std::make_unique<VCardWriter>(device, VCardWriter::Version::V30);
    case ExportFormat::Csv:
        return std::make_unique<CsvWriter>(device);
    }
    return nullptr;
}

std::optional<ExportFormat> exportFormatForPath(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("vcf") || suffix == QLatin1String("vcard"))
        return ExportFormat::VCard30;
    if (suffix == QLatin1String("csv"))
        return ExportFormat::Csv;
    return std::nullopt;
}

qint64 exportToFile(const QString& path, ExportFormat format, const std::function<bool(Contact&)>& next)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw platform::AppError(QStringLiteral("Cannot create %1: %2").arg(path, file.errorString()));
    qint64 count = 0;
    {
        const auto writer = makeWriter(format, file);
        Contact contact;
        while (next(contact)) {
            writer->write(contact);
            ++count;
            contact = Contact{};
        }
    }
    if (!file.commit())
        throw platform::AppError(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    return count;
}

} // namespace exchange

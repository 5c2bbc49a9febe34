#include "exchange/ContactWriter.h"

#include "exchange/CsvWriter.h"
#include "exchange/VCardWriter.h"
#include "platform/AppError.h"
#include "platform/OutputFile.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace exchange {

namespace {

// The system's reason: the device's own text, else the error the system gave last.
QString reasonOf(const QIODevice& device, int error)
{
    const QString text = device.errorString();
    if (!text.isEmpty() && text != QLatin1String("Unknown error"))
        return text;
    return QString::fromLocal8Bit(std::strerror(error != 0 ? error : EIO));
}

QString fileNameOf(const QIODevice& device)
{
    const auto* file = qobject_cast<const QFileDevice*>(&device);
    return file ? file->fileName() : QString();
}

platform::AppError cannotWrite(const QIODevice& device, int error)
{
    const QString name = fileNameOf(device);
    const QString reason = reasonOf(device, error);
    return platform::AppError(name.isEmpty() ? QStringLiteral("Cannot write the file: %1").arg(reason)
                                             : QStringLiteral("Cannot write the file %1: %2").arg(name, reason));
}

} // namespace

void ContactWriter::put(const QByteArray& bytes)
{
    errno = 0;
    if (m_device.write(bytes) != bytes.size())
        throw cannotWrite(m_device, errno);
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
    platform::OutputFile file(path);
    file.open();
    qint64 count = 0;
    {
        const auto writer = makeWriter(format, file.device());
        Contact contact;
        while (next(contact)) {
            writer->write(contact);
            ++count;
            contact = Contact{};
        }
    }
    // The last buffered bytes are written here: a disk that filled up now is reported too.
    file.commit();
    return count;
}

} // namespace exchange

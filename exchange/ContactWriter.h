#pragma once

#include "exchange/ContactFields.h"

#include <QByteArray>
#include <functional>
#include <memory>
#include <optional>

class QIODevice;

namespace exchange {

enum class ExportFormat { VCard40, VCard30, Csv };

// Writes contacts one at a time to a device; every write is checked (platform::AppError on failure).
class ContactWriter
{
public:
    virtual ~ContactWriter() = default;
    ContactWriter(const ContactWriter&) = delete;
    ContactWriter& operator=(const ContactWriter&) = delete;

    virtual void write(const Contact& contact) = 0;

protected:
    explicit ContactWriter(QIODevice& device) : m_device(device) {}
    void put(const QByteArray& bytes);

private:
    QIODevice& m_device;
};

// A CSV writer writes its header row when made, so that an empty selection still gives a valid file.
[[nodiscard]] std::unique_ptr<ContactWriter> makeWriter(ExportFormat format, QIODevice& device);

// The format a file name asks for: .vcf/.vcard give vCard 3.0 (the version most address books read),
// .csv gives CSV.
[[nodiscard]] std::optional<ExportFormat> exportFormatForPath(const QString& path);

// Writes every contact that `next` hands out (false: no more) to `path` through a temporary file
// that replaces the target only when all is written. Returns the number of contacts written.
qint64 exportToFile(const QString& path, ExportFormat format, const std::function<bool(Contact&)>& next);

} // namespace exchange

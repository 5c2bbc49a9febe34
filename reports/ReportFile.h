#pragma once

#include "reports/Pages.h"

#include <QByteArray>
#include <QString>

// Saved reports: the rendered pages written to a file and read back, shown and printed as they are.
//
// Format (all numbers big-endian): the magic "TOVRELRP", the format version (quint32), the length of the
// payload (quint64), the payload, and the SHA-256 of the payload. The payload is zlib-compressed
// (qCompress) QDataStream data: title, finished flag, font table, rich-text table, then the pages with
// their size and items. Loading checks every part and every index before anything is returned.
namespace reports {

constexpr quint32 kReportFileVersion = 1;

[[nodiscard]] QString reportFileSuffix(); // "trp", without a dot
[[nodiscard]] QString reportFileFilter(); // for file dialogs

// Throws platform::AppError where the file cannot be written; an existing file is then left unchanged.
void saveReport(const Rendering& rendering, const QString& path);

// Throws platform::AppError: "File does not exist" for a missing file, a clear message for a file that is
// not a saved report, comes from a newer version, or is damaged or cut short.
[[nodiscard]] Rendering loadReport(const QString& path);

// The file's bytes, and the rendering back from them (throws as loadReport, naming `name`).
[[nodiscard]] QByteArray serializeReport(const Rendering& rendering);
[[nodiscard]] Rendering deserializeReport(const QByteArray& bytes, const QString& name);

} // namespace reports

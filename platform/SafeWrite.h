#pragma once

#include <QByteArray>
#include <QString>

class QFileDevice;
class QSaveFile;

// Replaces the file at path by bytes through a temporary file and a rename, every step checked. False on failure,
// and the former file is then left whole; reason then holds the system's reason. A new file is readable by its
// owner alone (0600); a file that was there keeps its mode.
[[nodiscard]] bool writeFileSafely(const QString& path, const QByteArray& bytes, QString* reason = nullptr);

// The two steps the safe write shares with the copy routine.
namespace safewrite {

// The system's reason for a failed file operation: the device's own text, else the given (or last) system error.
[[nodiscard]] QString reasonOf(const QFileDevice& file, int error = 0);

// Flush, fsync, rename over the final name, then make the rename durable. On failure the temporary file is
// dropped, the final name is left as it was and reason (when given) says why.
[[nodiscard]] bool commitToDisk(QSaveFile& file, QString* reason);

} // namespace safewrite

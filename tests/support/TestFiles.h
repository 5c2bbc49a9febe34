#pragma once

#include <QByteArray>
#include <QString>

namespace testsupport {

// The whole file; empty when it cannot be read.
[[nodiscard]] QByteArray readBytes(const QString& path);

// Writes the file whole and gives back its path; a test that cannot set up its files stops there.
QString writeFile(const QString& path, const QByteArray& bytes);

// While it lives, no file of this process may grow past the given size: writes beyond it fail with "File too large",
// the way a full disk makes them fail.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    qint64 m_former = -1;
    qint64 m_formerMax = -1;
};

// An Access-format sample of tests/data/access (read in place, never changed); empty when it is not there.
[[nodiscard]] QString accessSample(const char* name);

} // namespace testsupport

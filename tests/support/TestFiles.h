#pragma once

#include <QByteArray>
#include <QString>

namespace testsupport {

// The whole file; empty when it cannot be read.
[[nodiscard]] QByteArray readBytes(const QString& path);

// Writes the file whole and gives back its path; a test that cannot set up its files stops there.
QString writeFile(const QString& path, const QByteArray& bytes);

// An Access-format sample of tests/data/access (read in place, never changed); empty when it is not there.
[[nodiscard]] QString accessSample(const char* name);

} // namespace testsupport

#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Keeps what the program could not save when it was told to stop (a letter, a typed value): a new file in the
// program folder, beside the address book, named "<name>.<suffix>" or, where that is taken, "<name> 2.<suffix>",
// "<name> 3.<suffix>"..., so that an earlier rescue is never overwritten. Readable by the user alone (0600),
// whatever the umask, and on disk before it returns. Returns its full path; throws AppError where it cannot be
// written (a partial file is removed).
QString writeRescueFile(const QString& name, const QString& suffix, const QByteArray& bytes);

} // namespace platform

#pragma once

#include <QString>

namespace platform {

// The folder of the program file with a trailing separator, or the one given by --folder.
QString programFolder();
void setProgramFolder(const QString& folder);

// Full path of a file of the program folder.
QString programFile(const QString& name);

} // namespace platform

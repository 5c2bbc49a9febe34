#pragma once

#include <QString>

namespace platform {

// Where the contacts live, with a trailing separator: the folder given by --folder; else the program file's own
// folder when it holds a Tovrel.mdb (a portable copy); else the user's data folder (~/.local/share/Tovrel/).
QString programFolder();
void setProgramFolder(const QString& folder);

// Full path of a file of the program folder.
QString programFile(const QString& name);

// The user's data folder for Tovrel, with a trailing separator, whether or not it exists yet.
QString userDataFolder();

// The folder of the program file itself, with a trailing separator.
QString executableFolder();

} // namespace platform

#pragma once

#include <QFlags>
#include <QString>

// Flags of the attribute test. The values are those of the Windows file attributes the program was designed around.
enum class FileAttribute {
    ReadOnly = 0x01,  // the owner may not write it
    Hidden = 0x02,    // its name starts with a dot
    Directory = 0x10, // it is a folder
};
Q_DECLARE_FLAGS(FileAttributes, FileAttribute)
Q_DECLARE_OPERATORS_FOR_FLAGS(FileAttributes)

// True when path exists and carries every one of attributes; false when it does not exist or lacks any of them.
[[nodiscard]] bool hasFileAttributes(const QString& path, FileAttributes attributes);

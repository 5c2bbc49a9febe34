#pragma once

#include <QString>

#include <functional>

class QIODevice;

// The copy routine behind Backup and Restore.

// Writes one block of the copy; returns the number of bytes written, or -1. Tests put a failing one in its place.
using BlockWriter = std::function<qint64(QIODevice& destination, const char* data, qint64 size)>;

// Size of the blocks CopyDataFile reads and writes.
inline constexpr qint64 CopyBlockSize = 8192;

// Copies the contents of source to destination. A destination that is an existing folder receives the copy under
// the source's file name. The source is opened before the destination is touched; the copy goes to a temporary file
// beside the destination that is flushed to disk and only then renamed over it, so a failure at any point leaves the
// former destination whole. The copy gets the source's mode. Throws platform::AppError: "Cannot open file %s" (source
// as given), "Cannot read file %s" (source as given), "Cannot create file %s" (full destination path) when it cannot be
// created or written; each followed by a colon and the system's reason.
void CopyDataFile(const QString& source, const QString& destination);
void CopyDataFile(const QString& source, const QString& destination, const BlockWriter& write);

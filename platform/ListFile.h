#pragma once

#include <QString>
#include <QStringList>

// The county pick list file: one entry per line, entries kept exactly as they stand (blank and repeated ones too).

// Reads the entries in file order. CR LF, a lone CR and a lone LF each end a line; a line end at the very end adds
// no entry. UTF-8 when the bytes are valid UTF-8 (byte-order mark dropped), otherwise Windows-1252.
// Throws platform::AppError "Cannot open file %s" (full path) when the file cannot be opened or read.
[[nodiscard]] QStringList readListFile(const QString& path);

// Replaces the file by the entries, each followed by CR LF; an empty list gives an empty file. Windows-1252 when
// every entry fits in it, otherwise UTF-8, so no name is lost. An entry holding a line break comes back as several
// entries. Written through a temporary file: on failure the former file stays whole and platform::AppError
// "Cannot create file %s" (full path) is thrown.
void writeListFile(const QString& path, const QStringList& entries);

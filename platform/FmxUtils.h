#pragma once

#include <QByteArray>
#include <QFlags>
#include <QString>

#include <functional>

class QIODevice;

// File utilities: the copy routine behind Backup and Restore, the attribute test, and the text encodings and the
// safe whole-file write that the settings and county list files share.

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

// How a text file's bytes are read as characters.
enum class TextEncoding {
    Windows1252, // also pure ASCII
    Utf8,
    Utf8WithBom,
};

struct DecodedText
{
    QString text;
    TextEncoding encoding = TextEncoding::Windows1252;
};

// UTF-8 when the bytes are valid UTF-8 (one leading byte-order mark dropped), otherwise Windows-1252.
[[nodiscard]] DecodedText decodeText(const QByteArray& bytes);

// The text in the preferred encoding when decodeText gives it back unchanged from those bytes; otherwise UTF-8, so
// no character is lost (with a byte-order mark only when the text itself starts with one).
[[nodiscard]] QByteArray encodeText(const QString& text, TextEncoding preferred);

// Replaces the file at path by bytes through a temporary file and a rename, every step checked. False on failure,
// and the former file is then left whole; reason then holds the system's reason. A new file is readable by its
// owner alone (0600); a file that was there keeps its mode.
[[nodiscard]] bool writeFileSafely(const QString& path, const QByteArray& bytes, QString* reason = nullptr);

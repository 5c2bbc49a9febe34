#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QIODevice;
class QFile;
class QSaveFile;

namespace platform {

// The files the program keeps in its folder (the database and its journals, the backup, the settings, the county
// list), as full paths.
[[nodiscard]] QStringList ownFiles();

// Whether the two paths name one file (the same device and inode), however they reach it: links, hard links, bind
// mounts. False where either does not exist.
[[nodiscard]] bool sameFile(const QString& a, const QString& b);

// Throws AppError naming the file when path, followed through links (or a hard link to it), is one of ownFiles(), or
// is an address book of any folder (an SQLite file with the contact table): a document the user names must never
// take the place of an address book.
void refuseOwnFile(const QString& path);

// A document the user asked for (a PDF, an export), written where they named it. A regular file (or a link to one,
// which is written through to its target) is replaced only once the new one is complete, keeping its mode; a new
// one follows the umask. A device or a pipe is written to directly, its errors reported. A folder, the program's
// own files and any address book are refused. Dropped before commit(), it leaves a regular file as it was.
class OutputFile
{
public:
    explicit OutputFile(QString path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Throws AppError ("Cannot write the file …: reason") where the target is refused or cannot be opened.
    void open();
    // Valid once open.
    [[nodiscard]] QIODevice& device();
    // Throws AppError where any byte did not reach the target.
    void commit();

    [[nodiscard]] const QString& path() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QSaveFile> m_replacing;
    std::unique_ptr<QFile> m_direct;
};

} // namespace platform

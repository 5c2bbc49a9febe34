#pragma once

#include "data/FileLock.h"
#include "data/SqliteFile.h"

#include <QString>

struct sqlite3;

namespace data {

// One connection to a single-file SQLite database. Opening never creates a missing file,
// and LIKE compares without regard to case for every letter, not only ASCII. Two functions serve the selections:
// initial_letter(text), the initial a reader files the text under (data/TextOrder.h), and date_shown(text), a date
// as stored followed on further lines by the forms the user sees ("1985-03-14", "14/03/1985", "14 March 1985").
class Connection
{
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void setDatabasePath(const QString& path) { m_path = path; }
    [[nodiscard]] const QString& databasePath() const { return m_path; }

    // For a run that reads the rows once and then only prints them (batch): the file is read through the engine's
    // small default cache instead of being mapped, so that peak memory holds the snapshot but not the whole file
    // besides. Takes effect at the next open().
    void setReadOnce(bool readOnce) { m_readOnce = readOnce; }
    [[nodiscard]] bool readOnce() const { return m_readOnce; }

    // Throws AppError with the engine's message when the file is missing, not a database or locked. While open it
    // holds the file's shared lock, so that no other program replaces the file under it.
    void open();
    void close();
    [[nodiscard]] bool isOpen() const { return m_file.isOpen(); }
    [[nodiscard]] sqlite3* handle() const { return m_file.handle(); }

    // The engine's last error text.
    [[nodiscard]] QString lastError() const;

private:
    QString m_path;
    SqliteFile m_file;
    FileLock m_lock;
    bool m_readOnce = false;
};

// Whether the file at path is an Access-format database (by its header), and what every command says of one.
[[nodiscard]] bool isAccessFormatFile(const QString& path);
[[nodiscard]] QString accessFormatMessage(const QString& path);

// Registers like(pattern, text[, escape]) on a connection: % and _ as in SQL, case folded for every letter.
void registerUnicodeLike(sqlite3* db);

// The match itself, for tests and for other callers.
[[nodiscard]] bool likeMatch(const QString& pattern, const QString& text, QChar escape = QChar());

} // namespace data

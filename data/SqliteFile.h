#pragma once

#include <QString>

struct sqlite3;

namespace data {

// One engine connection to a database file, closed (its statements, transaction and locks given up with it) when it
// goes. Every opener of the program goes through it, so each states its flags and lock wait in one place.
class SqliteFile
{
public:
    SqliteFile() = default;
    ~SqliteFile() { close(); }
    SqliteFile(const SqliteFile&) = delete;
    SqliteFile& operator=(const SqliteFile&) = delete;

    // Opens path (UTF-8, or a file: URI with SQLITE_OPEN_URI) with the engine's flags; without SQLITE_OPEN_CREATE a
    // missing file stays missing. A lock held by another connection is waited for up to busyTimeoutMs. Returns the
    // engine's result code; on failure nothing is left open and errorText() says why.
    int open(const QString& path, int flags, int busyTimeoutMs = 0);

    // As open(), throwing platform::AppError "<failure>: <the engine's reason>" when it fails.
    void openOrThrow(const QString& path, int flags, int busyTimeoutMs, const QString& failure);

    void close();

    // Runs SQL without results; the engine's result code.
    int exec(const char* sql);

    [[nodiscard]] bool isOpen() const { return m_db != nullptr; }
    [[nodiscard]] sqlite3* handle() const { return m_db; }

    // The engine's last message, or why the last open failed.
    [[nodiscard]] QString errorText() const;

private:
    sqlite3* m_db = nullptr;
    QString m_openError;
};

} // namespace data

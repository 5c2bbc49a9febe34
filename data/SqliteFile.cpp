#include "data/SqliteFile.h"

#include "platform/AppError.h"

#include <sqlite3.h>

namespace data {

int SqliteFile::open(const QString& path, int flags, int busyTimeoutMs)
{
    close();
    m_openError.clear();
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        // The engine hands back a connection even when the open fails, only to carry the message.
        m_openError = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
        sqlite3_close(db);
        return rc;
    }
    if (busyTimeoutMs > 0)
        sqlite3_busy_timeout(db, busyTimeoutMs);
    m_db = db;
    return rc;
}

void SqliteFile::openOrThrow(const QString& path, int flags, int busyTimeoutMs, const QString& failure)
{
    if (open(path, flags, busyTimeoutMs) != SQLITE_OK)
        throw platform::AppError(failure + QStringLiteral(": ") + errorText());
}

void SqliteFile::close()
{
    if (m_db) {
        // With a statement still unfinished, sqlite3_close would fail and keep the file open for good; this one lets
        // go of it once that statement is finalized.
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

int SqliteFile::exec(const char* sql)
{
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
}

QString SqliteFile::errorText() const
{
    return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : m_openError;
}

} // namespace data

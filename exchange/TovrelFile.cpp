#include "exchange/TovrelFile.h"

#include "exchange/ContactDraft.h"
#include "platform/AppError.h"

#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

namespace exchange {

namespace {

QString engineError(sqlite3* db)
{
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
}

// Read-only: the other book is never changed, not even by a journal left behind.
void openReadOnly(data::SqliteFile& file, const QString& path)
{
    file.openOrThrow(path, SQLITE_OPEN_READONLY, 1000, QStringLiteral("%1 cannot be read").arg(path));
}

bool tableExists(sqlite3* db, const QString& path)
{
    sqlite3_stmt* st = nullptr;
    const char* sql = "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'HomeAd' COLLATE NOCASE";
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
        throw platform::AppError(QStringLiteral("%1 cannot be read: %2").arg(path, engineError(db)));
    const int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        throw platform::AppError(QStringLiteral("%1 cannot be read: %2").arg(path, engineError(db)));
    return rc == SQLITE_ROW;
}

} // namespace

bool isSqliteFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return f.read(16) == QByteArrayView("SQLite format 3\0", 16);
}

bool hasContactTable(const QString& path)
{
    data::SqliteFile file;
    openReadOnly(file, path);
    return tableExists(file.handle(), path);
}

TovrelFileReader::TovrelFileReader(const QString& path, const ReadOptions& options) : ContactReader(options)
{
    openReadOnly(m_file, path);
    sqlite3* const db = m_file.handle();
    try {
        if (!tableExists(db, path))
            throw platform::AppError(QStringLiteral("%1 has no HomeAd table: it is not an address book").arg(path));
        sqlite3_stmt* count = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT count(*) FROM HomeAd", -1, &count, nullptr) == SQLITE_OK &&
            sqlite3_step(count) == SQLITE_ROW)
            m_rowCount = sqlite3_column_int64(count, 0);
        sqlite3_finalize(count);
        // The hidden key is the other book's own: the rows get new ones here.
        sqlite3_stmt* info = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT name FROM pragma_table_info('HomeAd')", -1, &info, nullptr) != SQLITE_OK)
            throw platform::AppError(QStringLiteral("%1 cannot be read: %2").arg(path, engineError(db)));
        while (sqlite3_step(info) == SQLITE_ROW) {
            const QString name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(info, 0)));
            if (name.compare(QLatin1String("ID"), Qt::CaseInsensitive) != 0)
                m_columns << name;
        }
        sqlite3_finalize(info);
        QStringList quoted;
        for (QString name : m_columns)
            quoted << QLatin1Char('"') + name.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
        if (quoted.isEmpty())
            throw platform::AppError(QStringLiteral("%1 cannot be read: the HomeAd table has no columns").arg(path));
        // In the order the rows were added, so the preview's first contact is the book's first.
        const QByteArray sql =
            QStringLiteral("SELECT %1 FROM HomeAd ORDER BY rowid").arg(quoted.join(QLatin1Char(','))).toUtf8();
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &m_rows, nullptr) != SQLITE_OK)
            throw platform::AppError(QStringLiteral("%1 cannot be read: %2").arg(path, engineError(db)));
        m_mapper = std::make_unique<RowMapper>(m_columns, RowMapper::Unplaced::Skip);
    } catch (...) {
        sqlite3_finalize(m_rows);
        throw;
    }
}

TovrelFileReader::~TovrelFileReader()
{
    sqlite3_finalize(m_rows);
}

QString TovrelFileReader::description() const
{
    return QStringLiteral("Tovrel address book");
}

bool TovrelFileReader::next(ReadContact& out)
{
    QStringList values;
    for (;;) {
        const int rc = sqlite3_step(m_rows);
        if (rc == SQLITE_DONE)
            return false;
        if (rc != SQLITE_ROW)
            throw platform::AppError(QStringLiteral("The address book cannot be read on: %1").arg(engineError(m_file.handle())));
        ++m_rowsRead;
        values.clear();
        for (int i = 0; i < m_columns.size(); ++i) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_rows, i));
            values << (text ? QString::fromUtf8(text, sqlite3_column_bytes(m_rows, i)) : QString());
        }
        const qint64 record = ++m_records;
        ContactDraft d(log(), record, m_rowsRead, currentYear());
        m_mapper->apply(values, d, log());
        Contact contact = d.finish();
        if (contact.isEmpty()) {
            log().skip(QStringLiteral("(empty rows)"));
            continue;
        }
        out.contact = std::move(contact);
        out.record = record;
        out.line = m_rowsRead;
        out.movedToNotes = d.movedToNotes();
        out.notStored = d.notStoredCount();
        out.nameTakenFrom.clear();
        return true;
    }
}

} // namespace exchange

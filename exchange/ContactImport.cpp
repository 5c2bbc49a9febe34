#include "exchange/ContactImport.h"

#include "data/ContactStore.h"
#include "data/SqliteFile.h"
#include "exchange/AccessFile.h"
#include "platform/AppError.h"
#include "platform/OutputFile.h"

#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>
#include <vector>

namespace exchange {

namespace {

QString engineError(sqlite3* db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

void execute(sqlite3* db, const char* sql)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw platform::AppError(QStringLiteral("The contacts cannot be added: %1").arg(engineError(db)));
}

// Rolls back unless committed, so that an error or a cancel leaves the table as it was.
class Transaction
{
public:
    explicit Transaction(sqlite3* db) : m_db(db)
    {
        if (!sqlite3_get_autocommit(db))
            throw platform::AppError(QStringLiteral("The contacts cannot be added while other changes are pending"));
        // IMMEDIATE takes the write lock now: a locked database fails before anything is read or written.
        execute(db, "BEGIN IMMEDIATE");
    }
    ~Transaction()
    {
        if (!m_done && !sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit()
    {
        execute(m_db, "COMMIT");
        m_done = true;
    }

private:
    sqlite3* m_db;
    bool m_done = false;
};

} // namespace

ContactInserter::ContactInserter(sqlite3* db) : m_db(db)
{
    if (!db)
        throw platform::AppError(QStringLiteral("Not connected"));
    QStringList columns, marks;
    for (const exchange::FieldInfo& f : exchange::Fields) {
        columns << QLatin1Char('"') + QLatin1String(f.name) + QLatin1Char('"');
        marks << QStringLiteral("?");
    }
    const QByteArray sql = QStringLiteral("INSERT INTO HomeAd (%1) VALUES (%2)")
                               .arg(columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))
                               .toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &m_statement, nullptr) != SQLITE_OK)
        throw platform::AppError(QStringLiteral("The contacts cannot be added: %1").arg(engineError(db)));
}

ContactInserter::~ContactInserter()
{
    sqlite3_finalize(m_statement);
}

void ContactInserter::add(const exchange::Contact& contact)
{
    std::vector<QByteArray> values; // alive until the step
    values.reserve(exchange::FieldCount);
    for (int i = 0; i < exchange::FieldCount; ++i) {
        const QString& v = contact.values[size_t(i)];
        // Empty values are stored as NULL, as the grid stores them.
        if (v.isEmpty()) {
            sqlite3_bind_null(m_statement, i + 1);
        } else {
            values.push_back(v.toUtf8());
            sqlite3_bind_text(m_statement, i + 1, values.back().constData(), int(values.back().size()), SQLITE_STATIC);
        }
    }
    const int rc = sqlite3_step(m_statement);
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
    if (rc != SQLITE_DONE) {
        throw platform::AppError(
            QStringLiteral("The contact \"%1\" cannot be added: %2").arg(contact.displayName(), engineError(m_db)));
    }
}

exchange::ImportResult importIntoDatabase(sqlite3* db, exchange::Importer& importer, exchange::OverLongChoice choice,
                                          const exchange::Progress& progress, exchange::ImportPlan* seen)
{
    if (!db)
        throw platform::AppError(QStringLiteral("Not connected"));
    // Adding a book to itself would double every contact.
    const char* target = sqlite3_db_filename(db, "main");
    if (target && *target) {
        // The file itself, however it is reached (a hard link, a bind mount).
        if (platform::sameFile(QString::fromUtf8(target), importer.path()))
            throw platform::AppError(
                QStringLiteral("%1 is the address book itself; nothing was imported").arg(importer.path()));
    }
    Transaction transaction(db);
    exchange::ImportResult result;
    try {
        ContactInserter inserter(db);
        result = importer.run(
            choice, [&](const exchange::Contact& c) { inserter.add(c); }, progress, seen);
        if (result.cancelled)
            {
            exchange::ImportResult none; // rolled back by the transaction
            none.cancelled = true;
            return none;
        }
        transaction.commit();
    } catch (const platform::AppError& e) {
        QString text = e.message();
        while (text.endsWith(QLatin1Char('.')))
            text.chop(1);
        throw platform::AppError(text + QStringLiteral(". Nothing was imported"));
    }
    return result;
}

QString accessBackupPath(const QString& path)
{
    return path + QStringLiteral(".access");
}

exchange::ImportResult convertAccessDatabase(const QString& path, const QString& table,
                                             const exchange::Progress& progress)
{
    if (!exchange::isAccessFile(path))
        throw platform::AppError(QStringLiteral("%1 is not an Access-format database").arg(path));
    const QString backup = accessBackupPath(path);
    if (QFileInfo::exists(backup))
        throw platform::AppError(
            QStringLiteral("%1 cannot be converted: %2 is already there. Move that file away first.")
                .arg(path, backup));
    const QString temporary = path + QStringLiteral(".converting");
    QFile::remove(temporary);
    exchange::ImportResult result;
    try {
        data::createDatabaseIfMissing(temporary);
        {
            data::SqliteFile target;
            target.openOrThrow(temporary, SQLITE_OPEN_READWRITE, 0,
                               QStringLiteral("Could not open the database %1").arg(temporary));
            exchange::Importer importer(path, table);
            result = importIntoDatabase(target.handle(), importer, exchange::OverLongChoice::Keep, progress);
        }
        if (result.cancelled) {
            QFile::remove(temporary);
            return result;
        }
        if (!QFile::rename(path, backup))
            throw platform::AppError(QStringLiteral("%1 cannot be renamed to %2").arg(path, backup));
        if (!QFile::rename(temporary, path)) {
            QFile::rename(backup, path);
            throw platform::AppError(QStringLiteral("The converted database cannot be renamed to %1").arg(path));
        }
    } catch (...) {
        QFile::remove(temporary);
        throw;
    }
    return result;
}

} // namespace exchange

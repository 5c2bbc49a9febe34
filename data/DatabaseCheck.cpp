#include "data/DatabaseCheck.h"

#include "data/Connection.h"
#include "data/ContactStore.h"
#include "platform/AppError.h"

#include <QDir>

#include <QSet>
#include <QStringList>
#include <sqlite3.h>

namespace data {

namespace {

[[nodiscard]] QStringList columnsOf(sqlite3* db, const char* table)
{
    QStringList names;
    sqlite3_stmt* st = nullptr;
    const QByteArray sql = QByteArray("PRAGMA table_info(") + table + ')';
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) != SQLITE_OK)
        return names;
    while (sqlite3_step(st) == SQLITE_ROW)
        names << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
    sqlite3_finalize(st);
    return names;
}

} // namespace

QString databaseFault(sqlite3* db)
{
    if (!db)
        return QStringLiteral("the file is not open");
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, "PRAGMA quick_check(1)", -1, &st, nullptr);
    QString first;
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(st);
        if (rc == SQLITE_ROW) {
            first = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
            rc = SQLITE_OK;
        }
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_OK)
        return QString::fromUtf8(sqlite3_errmsg(db));
    return first == QLatin1String("ok") ? QString() : first;
}

QString contactDatabaseFault(sqlite3* db)
{
    if (const QString fault = databaseFault(db); !fault.isEmpty())
        return fault;
    const QStringList columns = columnsOf(db, "HomeAd");
    if (columns.isEmpty())
        return QStringLiteral("it has no table HomeAd");
    QSet<QString> present;
    for (const QString& c : columns)
        present.insert(c.toCaseFolded());
    QStringList needed{QStringLiteral("ID")};
    for (const FieldDef& f : contactFields())
        if (f.isStored())
            needed << f.name;
    for (const QString& name : needed)
        if (!present.contains(name.toCaseFolded()))
            return QStringLiteral("the table HomeAd has no field %1").arg(name);
    return {};
}

void requireSoundDatabase(Connection& connection, const QString& consequence)
{
    connection.open();
    if (const QString fault = databaseFault(connection.handle()); !fault.isEmpty())
        throw platform::AppError(QStringLiteral("The address book %1 is damaged: %2; %3")
                                     .arg(QDir::toNativeSeparators(connection.databasePath()), fault, consequence));
}

} // namespace data

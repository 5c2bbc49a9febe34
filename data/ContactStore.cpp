#include "data/ContactStore.h"

#include "data/SqliteFile.h"
#include "platform/AppError.h"
#include "platform/Services.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextBoundaryFinder>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace data {

using data::FieldDef;
using data::FieldKind;

const QList<FieldDef>& contactFields()
{
    static const QList<FieldDef> fields = {
        {QStringLiteral("Surname"), FieldKind::Text, 30, 16},
        {QStringLiteral("Midname"), FieldKind::Text, 20, 20},
        {QStringLiteral("Firstname"), FieldKind::Text, 20, 24},
        {QStringLiteral("Address1"), FieldKind::Text, 25, 30},
        {QStringLiteral("Address2"), FieldKind::Text, 25, 30},
        {QStringLiteral("A3_Village"), FieldKind::Text, 20, 24},
        {QStringLiteral("Town"), FieldKind::Text, 20, 24},
        {QStringLiteral("County"), FieldKind::Text, 20, 24},
        {QStringLiteral("PostCode"), FieldKind::Text, 10, 12},
        {QStringLiteral("Country"), FieldKind::Text, 29, 35},
        {QStringLiteral("Tel"), FieldKind::Text, 15, 18},
        {QStringLiteral("Cell"), FieldKind::Text, 15, 15},
        {QStringLiteral("Email"), FieldKind::Text, 50, 50},
        {QStringLiteral("Birthday"), FieldKind::Date, 0, 10},
        {QStringLiteral("Notes"), FieldKind::Memo, 0, 10},
        {QStringLiteral("Workplace"), FieldKind::Text, 30, 30},
        {QStringLiteral("Work Tel"), FieldKind::Text, 15, 15},
        {QStringLiteral("Flag"), FieldKind::Text, 6, 6},
        {QStringLiteral("Cap"), FieldKind::Calculated, 20, 20},
        {QStringLiteral("Flag2"), FieldKind::Text, 6, 6},
    };
    return fields;
}

QStringList startSql() { return {QStringLiteral("select * from HomeAd"), QStringLiteral("order by Surname")}; }

QString databaseFileName() { return QStringLiteral("Tovrel.mdb"); }

namespace {
const char* const Schema =
    "PRAGMA journal_mode=DELETE;"
    "CREATE TABLE HomeAd ("
    " ID INTEGER PRIMARY KEY,"
    " Surname TEXT COLLATE NOCASE, Midname TEXT COLLATE NOCASE, Firstname TEXT COLLATE NOCASE,"
    " Address1 TEXT COLLATE NOCASE, Address2 TEXT COLLATE NOCASE, A3_Village TEXT COLLATE NOCASE,"
    " Town TEXT COLLATE NOCASE, County TEXT COLLATE NOCASE, PostCode TEXT COLLATE NOCASE,"
    " Country TEXT COLLATE NOCASE, Tel TEXT, Cell TEXT, Email TEXT COLLATE NOCASE, Birthday TEXT,"
    " Notes TEXT, Workplace TEXT COLLATE NOCASE, [Work Tel] TEXT, Flag TEXT COLLATE NOCASE,"
    " Flag2 TEXT COLLATE NOCASE);"
    "CREATE INDEX HomeAdSurname ON HomeAd (Surname);";
}

bool createDatabaseIfMissing(const QString& path)
{
    if (QFileInfo::exists(path))
        return false;
    // Built under a temporary name and renamed into place, so no half-made file is ever left as the database.
    const QString temporary = path + QStringLiteral(".new");
    QFile::remove(temporary);
    // Made here, empty and private to the user whatever the umask, before the engine writes anything into it.
    const int fd = ::open(temporary.toUtf8().constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          S_IRUSR | S_IWUSR);
    if (fd < 0)
        throw platform::AppError(
            QStringLiteral("Cannot create file %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    ::close(fd);
    bool made = false;
    QString message;
    {
        SqliteFile db;
        if (db.open(temporary, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) != SQLITE_OK) {
            message = db.errorText();
        } else {
            char* error = nullptr;
            made = sqlite3_exec(db.handle(), Schema, nullptr, nullptr, &error) == SQLITE_OK;
            if (!made)
                message = QString::fromUtf8(error ? error : sqlite3_errmsg(db.handle()));
            sqlite3_free(error);
        }
    }
    if (!made) {
        QFile::remove(temporary);
        throw platform::AppError(QStringLiteral("Cannot create file %1: %2").arg(path, message));
    }
    if (QFileInfo::exists(path) || !QFile::rename(temporary, path)) {
        QFile::remove(temporary);
        if (!QFileInfo::exists(path))
            throw platform::AppError(QStringLiteral("Cannot create file %1").arg(path));
        return false;
    }
    return true;
}

QString initialOf(const QString& surname)
{
    if (surname.isEmpty())
        return {};
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, surname);
    const qsizetype end = finder.toNextBoundary();
    return surname.left(end > 0 ? end : 1);
}

ContactStore::ContactStore(QObject* parent)
    : QObject(parent), HomeQuery(QStringLiteral("HomeQuery"), contactFields()), dsHome(&HomeQuery)
{
    HomeQuery.setConnection(&connection);
    HomeQuery.setUpdateTable(QStringLiteral("HomeAd"), QStringLiteral("ID"));
    HomeQuery.setSql(startSql());
    // Every list of contacts reads as a directory does: by surname, the same surname by first name.
    HomeQuery.setReadingOrder({QStringLiteral("Surname"), QStringLiteral("Firstname"), QStringLiteral("Midname")});
    const int surname = HomeQuery.fieldIndex(QStringLiteral("Surname"));
    HomeQuery.setCalculation(
        [surname](const data::Dataset& d, int row, int) { return initialOf(d.text(row, surname)); });
    const int firstname = HomeQuery.fieldIndex(QStringLiteral("Firstname"));
    HomeQuery.setRowDescription([surname, firstname](const data::Dataset& d, int row) {
        return QStringList{d.text(row, firstname), d.text(row, surname)}.join(QLatin1Char(' ')).trimmed();
    });
    // Started before every save and not waited for; it plays even when the save then fails.
    HomeQuery.setBeforePost([] { platform::sound().playFile(QStringLiteral("post.wav")); });
}

void ContactStore::configure(const QString& programFolder)
{
    connection.setDatabasePath(programFolder + databaseFileName());
}

} // namespace data

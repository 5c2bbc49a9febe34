#include "support/TestDb.h"

#include "data/ContactStore.h"
#include "platform/ProgramFolder.h"

#include <QFile>
#include <sqlite3.h>
#include <stdexcept>

namespace testsupport {

std::unique_ptr<data::ContactStore> contactStore(bool open)
{
    auto store = std::make_unique<data::ContactStore>();
    store->configure(platform::programFolder());
    if (open)
        store->HomeQuery.open();
    return store;
}

void makeDatabase(const QString& path, const QList<Contact>& contacts)
{
    QFile::remove(path);
    data::createDatabaseIfMissing(path);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        throw std::runtime_error("cannot open test database");
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (const Contact& c : contacts) {
        QStringList columns, marks;
        for (auto it = c.begin(); it != c.end(); ++it) {
            columns << QLatin1Char('"') + it.key() + QLatin1Char('"');
            marks << QStringLiteral("?");
        }
        const QByteArray sql = QStringLiteral("INSERT INTO HomeAd (%1) VALUES (%2)")
                                   .arg(columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))
                                   .toUtf8();
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
        int i = 1;
        for (const QString& v : c) {
            const QByteArray utf8 = v.toUtf8();
            sqlite3_bind_text(st, i++, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        }
        if (sqlite3_step(st) != SQLITE_DONE)
            throw std::runtime_error(sqlite3_errmsg(db));
        sqlite3_finalize(st);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

void makeCountyList(const QString& folder, const QStringList& counties)
{
    QFile file(folder + QStringLiteral("/ListFile.txt"));
    if (!file.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write the county list");
    for (const QString& c : counties)
        file.write(c.toUtf8() + "\r\n");
}

QStringList query(const QString& path, const QString& sql)
{
    sqlite3* db = nullptr;
    QStringList out;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        throw std::runtime_error("cannot open test database");
    sqlite3_stmt* st = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(db, utf8.constData(), -1, &st, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db));
    while (sqlite3_step(st) == SQLITE_ROW)
        out << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

Contact contact(std::initializer_list<std::pair<const char*, const char*>> values)
{
    Contact c;
    for (const auto& [field, value] : values)
        c.insert(QString::fromLatin1(field), QString::fromUtf8(value));
    return c;
}

QList<Contact> sampleContacts()
{
    auto c = [](const char* surname, const char* first, const char* town, const char* county) {
        return Contact{{QStringLiteral("Surname"), QString::fromUtf8(surname)},
                       {QStringLiteral("Firstname"), QString::fromUtf8(first)},
                       {QStringLiteral("Town"), QString::fromUtf8(town)},
                       {QStringLiteral("County"), QString::fromUtf8(county)}};
    };
    return {c("Brown", "Alice", "Leeds", "West Yorkshire"), c("adams", "Bob", "York", "North Yorkshire"),
            c("Adams", "Carol", "Bath", "Somerset"),         c("ZOË", "Dana", "Łódź", "Kent"),
            c("Łukasz", "Ed", "Dover", "Kent"),              c("O'Neil", "Fay", "Truro", "Cornwall")};
}

} // namespace testsupport

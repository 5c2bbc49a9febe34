#pragma once

// Deterministic, realistic contacts for benchmarks and screenshots: mixed-case and non-ASCII
// surnames, empty fields, and values at their maximum lengths. RealisticBook makes a book shaped like a real one
// (many names, households, shared numbers), for the duplicates benchmark.

#include "RealisticBook.h"

#include "data/ContactStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <random>
#include <sqlite3.h>
#include <stdexcept>

namespace bench {

inline QString pick(std::mt19937& rng, std::initializer_list<const char*> values)
{
    std::uniform_int_distribution<size_t> d(0, values.size() - 1);
    return QString::fromUtf8(*(values.begin() + d(rng)));
}

// The stored fields of one generated contact, in the table's column order (Cap excluded).
inline QStringList generateContact(std::mt19937& rng, int index)
{
    std::uniform_int_distribution<int> percent(0, 99);
    QString surname = pick(rng, {"Smith", "Jones", "Williams", "Taylor", "Brown", "Davies", "Evans", "Wilson",
                                 "Thomas", "Johnson", "Roberts", "Robinson", "Thompson", "Wright", "Walker", "White",
                                 "Edwards", "Hughes", "Green", "Hall", "Lewis", "Harris", "Clarke", "Patel",
                                 "Jackson", "Wood", "Turner", "Martin", "Cooper", "Hill", "Ward", "Morris",
                                 "Moore", "Clark", "Lee", "King", "Baker", "Harrison", "Morgan", "Allen", "O'Brien",
                                 "McDonald", "de la Cruz", "van Dijk", "Ñúñez", "Łukasiewicz", "Øster", "Zoë",
                                 "Ångström", "Müller", "Dvořák", "Σαββίδης", "Иванов", "abbott", "young", "xu"});
    if (percent(rng) < 15)
        surname += QStringLiteral("-") + pick(rng, {"Smythe", "Jones", "Hart", "Lloyd"});
    if (index % 997 == 0)
        surname = QString(30, QChar(u'W'));
    const QString first = pick(rng, {"Oliver", "George", "Harry", "Jack", "Amelia", "Olivia", "Isla", "Emily",
                                     "Zoë", "Łucja", "Siân", "Eóin", "Ava", "Noah", "Mia", "Leo", "Ivy", ""});
    const QString mid = percent(rng) < 30 ? pick(rng, {"James", "Rose", "Ann", "Lee", "May"}) : QString();
    const QString street = QString::number(1 + index % 250) + QLatin1Char(' ') +
                           pick(rng, {"High Street", "Station Road", "Church Lane", "Mill Road", "Park Avenue",
                                      "The Green", "Victoria Road", "Manor Close", "Queen's Drive"});
    const QString addr2 = percent(rng) < 40 ? pick(rng, {"Flat 2", "Rose Cottage", "Upper Floor", "Unit 7"}) : QString();
    const QString village = percent(rng) < 35 ? pick(rng, {"Little Snoring", "Nether Wallop", "Ash", "Ryme Intrinseca"})
                                             : QString();
    const QString town = pick(rng, {"Leeds", "York", "Bath", "Truro", "Dover", "Norwich", "Exeter", "Carlisle",
                                    "Ely", "Ludlow", "Kendal", "Wells", "Durham", "Hereford", "St Albans"});
    const QString county = pick(rng, {"West Yorkshire", "North Yorkshire", "Somerset", "Cornwall", "Kent", "Norfolk",
                                      "Devon", "Cumbria", "Cambridgeshire", "Shropshire", "Durham", "Herefordshire",
                                      "Hertfordshire", ""});
    const QString postcode = pick(rng, {"LS1", "YO1", "BA1", "TR1", "CT16", "NR2", "EX4", "CA3"}) + QLatin1Char(' ') +
                             QString::number(index % 9 + 1) + pick(rng, {"AB", "XY", "QT", "ZZ"});
    const QString country = percent(rng) < 90 ? QStringLiteral("United Kingdom") : pick(rng, {"Ireland", "France", "España"});
    auto phone = [&](const char* prefix) {
        return percent(rng) < 25 ? QString()
                                 : QString::fromLatin1(prefix) + QString::number(100000 + (index * 7919) % 900000);
    };
    const QString email = percent(rng) < 60 ? first.toLower() + QLatin1Char('.') + QString::number(index) +
                                                  QStringLiteral("@example.org")
                                            : QString();
    const QString birthday =
        percent(rng) < 50 ? QStringLiteral("%1-%2-%3")
                                .arg(1940 + index % 70)
                                .arg(1 + index % 12, 2, 10, QLatin1Char('0'))
                                .arg(1 + index % 28, 2, 10, QLatin1Char('0'))
                          : QString();
    const QString notes = percent(rng) < 20 ? QStringLiteral("Met at the summer fair.\nLikes gardening.") : QString();
    const QString work = percent(rng) < 30 ? pick(rng, {"County Council", "NHS Trust", "Acme Ltd", "Self-employed"})
                                           : QString();
    const QString flag = percent(rng) < 20 ? pick(rng, {"XMAS", "club", "work"}) : QString();
    const QString flag2 = percent(rng) < 10 ? pick(rng, {"A", "B", "VIP"}) : QString();
    return {surname, mid,         first, street,     addr2,      village, town, county, postcode, country,
            phone("01"), phone("07"), email, birthday, notes, work, phone("020"), flag, flag2};
}

// Which generator a book comes from: generateContact(), or RealisticBook.
enum class Book { Simple, Realistic };

// Writes a new contact database of count contacts at path (replacing any file there).
inline void writeContacts(const QString& path, int count, unsigned seed = 42, Book book = Book::Simple)
{
    QFile::remove(path);
    data::createDatabaseIfMissing(path);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        throw std::runtime_error("cannot open the generated database");
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO HomeAd (Surname, Midname, Firstname, Address1, Address2, A3_Village, Town, County,"
                       " PostCode, Country, Tel, Cell, Email, Birthday, Notes, Workplace, [Work Tel], Flag, Flag2)"
                       " VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                       -1, &st, nullptr);
    std::mt19937 rng(seed);
    RealisticBook realistic(seed);
    for (int i = 0; i < count; ++i) {
        const QStringList values = book == Book::Realistic ? realistic.next() : generateContact(rng, i);
        for (int c = 0; c < values.size(); ++c) {
            if (values[c].isEmpty()) {
                sqlite3_bind_null(st, c + 1);
            } else {
                const QByteArray utf8 = values[c].toUtf8();
                sqlite3_bind_text(st, c + 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
            }
        }
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// A program folder of count generated contacts, made once in the temporary folder and kept for later runs.
inline QString contactsFolder(int count, Book book = Book::Simple)
{
    const QString folder = QDir::tempPath() + QStringLiteral("/tovrel-bench/%1-%2/")
                                                  .arg(book == Book::Realistic ? QStringLiteral("realistic")
                                                                               : QStringLiteral("contacts"))
                                                  .arg(count);
    if (!QFileInfo::exists(folder + QStringLiteral("Tovrel.mdb"))) {
        QDir().mkpath(folder);
        writeContacts(folder + QStringLiteral("Tovrel.mdb"), count, 42, book);
    }
    return folder;
}

} // namespace bench

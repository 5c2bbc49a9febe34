#include "search/Duplicates.h"

#include "data/ContactStore.h"
#include "data/FindText.h"
#include "data/RecentlyDeleted.h"
#include "platform/AppError.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <numeric>
#include <sqlite3.h>

namespace search::duplicates {

namespace {

// Blocks larger than this are compared only between neighbours in name order, so that one very common key (every
// "J. Smith") cannot make the search quadratic.
constexpr int kFullBlock = 400;

QString nameKey(const QString& text)
{
    QString out;
    for (const QChar c : data::find::fold(text))
        if (c.isLetterOrNumber())
            out += c;
    return out;
}

QString mailKey(const QString& text) { return text.trimmed().toCaseFolded(); }

QString phoneKey(const QString& text)
{
    const QString digits = data::find::phoneDigits(text);
    return digits.size() >= 9 ? digits.right(9) : QString();
}

QString postKey(const QString& text) { return nameKey(text); }

struct Keys
{
    QString surname, firstname, email, postcode, town;
    QStringList phones; // last nine digits, those with enough digits
};

Keys keysOf(const Person& p)
{
    Keys k{nameKey(p.surname), nameKey(p.firstname), mailKey(p.email), postKey(p.postcode), nameKey(p.town), {}};
    for (const QString& phone : p.phones) {
        const QString key = phoneKey(phone);
        if (!key.isEmpty() && !k.phones.contains(key))
            k.phones << key;
    }
    return k;
}

bool initialOf(const QString& initial, const QString& full)
{
    return initial.size() == 1 && full.size() > 1 && full.startsWith(initial);
}

bool namesMatch(const Keys& a, const Keys& b)
{
    if (a.surname.isEmpty() && a.firstname.isEmpty())
        return false;
    if (a.surname == b.surname && a.firstname == b.firstname)
        return true;
    if (!a.firstname.isEmpty() && a.surname == b.firstname && a.firstname == b.surname)
        return true;
    return a.surname == b.surname && !a.surname.isEmpty() &&
           (initialOf(a.firstname, b.firstname) || initialOf(b.firstname, a.firstname));
}

QString reasonOf(const Keys& a, const Keys& b)
{
    if (!a.email.isEmpty() && a.email == b.email)
        return QStringLiteral("same e-mail");
    for (const QString& p : a.phones)
        if (b.phones.contains(p))
            return QStringLiteral("same phone");
    if (!namesMatch(a, b))
        return {};
    auto both = [](const QString& x, const QString& y) { return !x.isEmpty() && !y.isEmpty(); };
    const bool agrees = (both(a.postcode, b.postcode) && a.postcode == b.postcode) ||
                        (both(a.town, b.town) && a.town == b.town);
    if (agrees)
        return QStringLiteral("same name");
    // Namesakes are common: the same name alone is offered only where nothing tells the two apart.
    const bool contradicts = (both(a.postcode, b.postcode) && a.postcode != b.postcode) ||
                             (both(a.town, b.town) && a.town != b.town) ||
                             (both(a.email, b.email) && a.email != b.email) ||
                             (!a.phones.isEmpty() && !b.phones.isEmpty());
    return contradicts ? QString() : QStringLiteral("same name");
}

QStringList blockKeys(const Keys& k)
{
    QStringList out;
    if (!k.email.isEmpty())
        out << QStringLiteral("e:") + k.email;
    for (const QString& p : k.phones)
        out << QStringLiteral("p:") + p;
    if (!k.surname.isEmpty())
        out << QStringLiteral("n:%1|%2").arg(k.surname, k.firstname.left(1));
    if (!k.firstname.isEmpty())
        out << QStringLiteral("n:%1|%2").arg(k.firstname, k.surname.left(1));
    return out;
}

struct UnionFind
{
    std::vector<int> parent;
    explicit UnionFind(int n) : parent(size_t(n)) { std::iota(parent.begin(), parent.end(), 0); }
    int find(int x)
    {
        while (parent[size_t(x)] != x)
            x = parent[size_t(x)] = parent[size_t(parent[size_t(x)])];
        return x;
    }
    void unite(int a, int b) { parent[size_t(find(a))] = find(b); }
};

[[noreturn]] void fail(sqlite3* db, const QString& what)
{
    throw platform::AppError(QStringLiteral("%1: %2").arg(what, QString::fromUtf8(sqlite3_errmsg(db))));
}

struct Statement
{
    sqlite3* db;
    sqlite3_stmt* stmt = nullptr;
    Statement(sqlite3* d, const QString& sql) : db(d)
    {
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK)
            fail(db, QStringLiteral("Cannot read the contacts"));
    }
    ~Statement() { sqlite3_finalize(stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    void bind(int i, const QString& v)
    {
        const QByteArray utf8 = v.toUtf8();
        sqlite3_bind_text(stmt, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    QString text(int column) const
    {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)),
                                 sqlite3_column_bytes(stmt, column));
    }
    void done(const QString& what)
    {
        if (sqlite3_step(stmt) != SQLITE_DONE)
            fail(db, what);
    }
};

void exec(sqlite3* db, const char* sql, const QString& what)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(db, what);
}

void ensureNotSameTable(sqlite3* db)
{
    exec(db, "CREATE TABLE IF NOT EXISTS NotDuplicate (IdA INTEGER NOT NULL, IdB INTEGER NOT NULL, "
             "PRIMARY KEY (IdA, IdB))",
         QStringLiteral("Cannot remember the choice"));
}

QStringList storedFields()
{
    QStringList out;
    for (const data::FieldDef& f : data::contactFields())
        if (f.isStored())
            out << f.name;
    return out;
}

QString quoted(const QString& name) { return QLatin1Char('"') + name + QLatin1Char('"'); }

QString nameOf(const QMap<QString, QString>& values, qint64 id)
{
    const QString name = QStringList{values.value(QStringLiteral("Firstname")), values.value(QStringLiteral("Surname"))}
                             .join(QLatin1Char(' '))
                             .trimmed();
    return name.isEmpty() ? QStringLiteral("#%1").arg(id) : name;
}

void writeValues(sqlite3* db, qint64 id, const QMap<QString, QString>& values)
{
    QStringList sets;
    const QStringList fields = storedFields();
    for (const QString& f : fields)
        sets << quoted(f) + QStringLiteral(" = ?");
    Statement st(db, QStringLiteral("UPDATE HomeAd SET %1 WHERE ID = ?").arg(sets.join(QStringLiteral(", "))));
    int i = 1;
    for (const QString& f : fields) {
        const QString v = values.value(f);
        if (v.isEmpty())
            sqlite3_bind_null(st.stmt, i++);
        else
            st.bind(i++, v);
    }
    sqlite3_bind_int64(st.stmt, i, id);
    st.done(QStringLiteral("Cannot save the merged contact"));
    if (sqlite3_changes(db) != 1)
        throw platform::AppError(QStringLiteral("The contact to keep is no longer there"));
}

} // namespace

QString sameReason(const Person& a, const Person& b) { return reasonOf(keysOf(a), keysOf(b)); }

QList<Group> findGroups(const QList<Person>& people, const QSet<QPair<qint64, qint64>>& notSame)
{
    const int n = int(people.size());
    std::vector<Keys> keys;
    keys.reserve(size_t(n));
    QHash<QString, QList<int>> blocks;
    for (int i = 0; i < n; ++i) {
        keys.push_back(keysOf(people[i]));
        for (const QString& key : blockKeys(keys.back()))
            blocks[key] << i;
    }
    UnionFind sets(n);
    auto reason = std::vector<QString>(size_t(n));
    // A pair met again in another block is simply compared again: cheaper than remembering every pair tried,
    // which for a large book took more memory than the book.
    auto tryPair = [&](int i, int j) {
        if (i == j)
            return;
        if (i > j)
            std::swap(i, j);
        const QString why = reasonOf(keys[size_t(i)], keys[size_t(j)]);
        if (why.isEmpty())
            return;
        const qint64 a = std::min(people[i].id, people[j].id), b = std::max(people[i].id, people[j].id);
        if (notSame.contains({a, b}))
            return;
        for (const int k : {i, j})
            if (reason[size_t(k)].isEmpty())
                reason[size_t(k)] = why;
        sets.unite(i, j);
    };
    for (auto it = blocks.cbegin(); it != blocks.cend(); ++it) {
        const QList<int>& members = it.value();
        if (members.size() < 2)
            continue;
        if (members.size() <= kFullBlock) {
            for (int x = 0; x < members.size(); ++x)
                for (int y = x + 1; y < members.size(); ++y)
                    tryPair(members[x], members[y]);
        } else {
            QList<int> ordered = members;
            std::sort(ordered.begin(), ordered.end(), [&](int x, int y) {
                return std::tie(keys[size_t(x)].surname, keys[size_t(x)].firstname, keys[size_t(x)].town) <
                       std::tie(keys[size_t(y)].surname, keys[size_t(y)].firstname, keys[size_t(y)].town);
            });
            for (int x = 0; x + 1 < ordered.size(); ++x)
                for (int y = x + 1; y < std::min<int>(int(ordered.size()), x + 8); ++y)
                    tryPair(ordered[x], ordered[y]);
        }
    }
    QHash<int, QList<int>> byRoot;
    for (int i = 0; i < n; ++i)
        if (!reason[size_t(i)].isEmpty())
            byRoot[sets.find(i)] << i;
    QList<Group> groups;
    for (auto it = byRoot.cbegin(); it != byRoot.cend(); ++it) {
        QList<int> members = it.value();
        if (members.size() < 2)
            continue;
        std::sort(members.begin(), members.end(), [&](int x, int y) { return people[x].id < people[y].id; });
        Group g;
        for (const int m : members) {
            g.ids << people[m].id;
            g.reasons << reason[size_t(m)];
        }
        groups << g;
    }
    std::sort(groups.begin(), groups.end(), [](const Group& a, const Group& b) { return a.ids.first() < b.ids.first(); });
    return groups;
}

QList<Group> findGroups(sqlite3* db)
{
    QList<Person> people;
    {
        Statement st(db, QStringLiteral("SELECT ID, Surname, Firstname, Email, PostCode, Town, Tel, Cell, \"Work Tel\" "
                                        "FROM HomeAd"));
        while (sqlite3_step(st.stmt) == SQLITE_ROW) {
            Person p;
            p.id = sqlite3_column_int64(st.stmt, 0);
            p.surname = st.text(1);
            p.firstname = st.text(2);
            p.email = st.text(3);
            p.postcode = st.text(4);
            p.town = st.text(5);
            p.phones = {st.text(6), st.text(7), st.text(8)};
            people << p;
        }
    }
    QSet<QPair<qint64, qint64>> notSame;
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT IdA, IdB FROM NotDuplicate", -1, &raw, nullptr) == SQLITE_OK) {
        while (sqlite3_step(raw) == SQLITE_ROW)
            notSame.insert({sqlite3_column_int64(raw, 0), sqlite3_column_int64(raw, 1)});
    }
    sqlite3_finalize(raw); // a file without the table has no such pairs yet
    return findGroups(people, notSame);
}

void rememberNotSame(sqlite3* db, qint64 a, qint64 b)
{
    ensureNotSameTable(db);
    Statement st(db, QStringLiteral("INSERT OR IGNORE INTO NotDuplicate (IdA, IdB) VALUES (?, ?)"));
    sqlite3_bind_int64(st.stmt, 1, std::min(a, b));
    sqlite3_bind_int64(st.stmt, 2, std::max(a, b));
    st.done(QStringLiteral("Cannot remember the choice"));
}

QMap<QString, QString> contactValues(sqlite3* db, qint64 id)
{
    QStringList columns;
    const QStringList fields = storedFields();
    for (const QString& f : fields)
        columns << quoted(f);
    Statement st(db, QStringLiteral("SELECT %1 FROM HomeAd WHERE ID = ?").arg(columns.join(QStringLiteral(", "))));
    sqlite3_bind_int64(st.stmt, 1, id);
    if (sqlite3_step(st.stmt) != SQLITE_ROW)
        throw platform::AppError(QStringLiteral("The contact is no longer there"));
    QMap<QString, QString> out;
    for (int i = 0; i < fields.size(); ++i)
        if (sqlite3_column_type(st.stmt, i) != SQLITE_NULL)
            out.insert(fields[i], st.text(i));
    return out;
}

MergeUndo merge(sqlite3* db, qint64 keptId, const QList<qint64>& otherIds, const QMap<QString, QString>& chosen)
{
    exec(db, "SAVEPOINT MergeContacts", QStringLiteral("Cannot merge the contacts"));
    try {
        MergeUndo undo;
        undo.keptId = keptId;
        undo.keptBefore = contactValues(db, keptId);
        QList<QPair<qint64, QMap<QString, QString>>> all{{keptId, undo.keptBefore}};
        for (const qint64 id : otherIds)
            all.append({id, contactValues(db, id)});
        const QString notes = QStringLiteral("Notes");
        QMap<QString, QString> result = undo.keptBefore;
        // A field not chosen keeps the kept contact's value, or where it has none the first other one's.
        for (const QString& field : storedFields())
            for (int c = 1; c < all.size() && result.value(field).isEmpty(); ++c)
                if (field != notes && !all[c].second.value(field).isEmpty())
                    result[field] = all[c].second.value(field);
        for (auto it = chosen.cbegin(); it != chosen.cend(); ++it)
            if (it.key() != notes)
                result[it.key()] = it.value();
        QStringList noteParts;
        if (!undo.keptBefore.value(notes).isEmpty())
            noteParts << undo.keptBefore.value(notes);
        QSet<QString> written;
        for (const auto& [id, values] : all) {
            const QString name = nameOf(values, id);
            for (auto v = values.cbegin(); v != values.cend(); ++v) {
                if (v.value().isEmpty() || (v.key() == notes && id == keptId))
                    continue;
                if (v.key() != notes && v.value() == result.value(v.key()))
                    continue;
                const QString line = QStringLiteral("Merged from %1: %2 = %3").arg(name, v.key(), v.value());
                if (!written.contains(v.key() + QLatin1Char('\n') + v.value())) {
                    written.insert(v.key() + QLatin1Char('\n') + v.value());
                    noteParts << line;
                }
            }
        }
        result[notes] = noteParts.join(QLatin1Char('\n'));
        writeValues(db, keptId, result);
        undo.shared = sharing::carryOnMerge(db, keptId, otherIds); // before the deletes unlink the others' cards
        for (const qint64 id : otherIds) {
            Statement del(db, QStringLiteral("DELETE FROM HomeAd WHERE ID = ?"));
            sqlite3_bind_int64(del.stmt, 1, id);
            del.done(QStringLiteral("Cannot merge the contacts"));
            sqlite3_stmt* raw = nullptr;
            if (sqlite3_prepare_v2(db, "SELECT max(EntryID) FROM DeletedContact WHERE ContactID = ?", -1, &raw,
                                   nullptr) == SQLITE_OK) {
                sqlite3_bind_int64(raw, 1, id);
                if (sqlite3_step(raw) == SQLITE_ROW && sqlite3_column_type(raw, 0) != SQLITE_NULL) {
                    undo.deletedEntries << sqlite3_column_int64(raw, 0);
                    undo.deletedIds << id;
                }
            }
            sqlite3_finalize(raw);
        }
        exec(db, "RELEASE MergeContacts", QStringLiteral("Cannot merge the contacts"));
        return undo;
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK TO MergeContacts; RELEASE MergeContacts", nullptr, nullptr, nullptr);
        throw;
    }
}

void undoMerge(sqlite3* db, const MergeUndo& undo)
{
    exec(db, "SAVEPOINT UndoMerge", QStringLiteral("Cannot undo the merge"));
    try {
        writeValues(db, undo.keptId, undo.keptBefore);
        QHash<qint64, qint64> restored;
        for (qsizetype i = 0; i < undo.deletedEntries.size(); ++i) {
            const qint64 now = data::deleted::restore(db, undo.deletedEntries[i]);
            if (i < undo.deletedIds.size())
                restored.insert(undo.deletedIds[i], now);
        }
        sharing::undoCarry(db, undo.shared, restored);
        exec(db, "RELEASE UndoMerge", QStringLiteral("Cannot undo the merge"));
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK TO UndoMerge; RELEASE UndoMerge", nullptr, nullptr, nullptr);
        throw;
    }
}

} // namespace search::duplicates

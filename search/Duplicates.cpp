#include "search/Duplicates.h"

#include "data/ContactStore.h"
#include "data/FindText.h"
#include "data/RecentlyDeleted.h"
#include "platform/AppError.h"

#include <QHash>
#include <QScopeGuard>
#include <QSet>
#include <algorithm>
#include <array>
#include <functional>
#include <numeric>
#include <sqlite3.h>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace search::duplicates {

namespace {

// Name blocks larger than this are compared only between neighbours in name order.
constexpr size_t kFullBlock = 400;

// Keys are built as UTF-8 straight from the file; anything beyond ASCII goes through the full fold.
using data::find::isAscii;

QString qstring(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

// Letters and digits, case and accents aside: "O'Neil" and "o neil" are one name.
void nameKeyInto(std::string& out, std::string_view text)
{
    if (isAscii(text)) {
        data::find::foldInto(out, text);
        std::erase_if(out, [](char c) { return !((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')); });
        return;
    }
    QString key;
    for (const QChar c : data::find::fold(qstring(text)))
        if (c.isLetterOrNumber())
            key += c;
    out = key.toStdString();
}

// An address compared whole, case aside.
void mailKeyInto(std::string& out, std::string_view text)
{
    if (!isAscii(text)) {
        out = qstring(text).trimmed().toCaseFolded().toStdString();
        return;
    }
    auto space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    out.clear();
    for (const char c : text)
        out += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// The last nine digits of a phone number as a number, plus one; 0 for fewer than nine digits, which are no
// evidence (extensions, short codes).
uint32_t phoneKey(std::string_view text)
{
    uint64_t value = 0;
    int count = 0;
    auto digit = [&](int d) {
        value = (value * 10 + uint64_t(d)) % 1000000000u;
        ++count;
    };
    if (isAscii(text)) {
        for (const char c : text)
            if (c >= '0' && c <= '9')
                digit(c - '0');
    } else {
        for (const QChar c : qstring(text))
            if (c.isDigit())
                digit(c.digitValue());
    }
    return count >= 9 ? uint32_t(value + 1) : 0;
}

// A field only ever compared for equality is held as a 64-bit hash of its key; 0 stands for empty.
uint64_t hashOf(const std::string& key)
{
    if (key.empty())
        return 0;
    const uint64_t h = std::hash<std::string_view>{}(key);
    return h ? h : 1;
}

size_t characterLength(char lead)
{
    const auto byte = static_cast<unsigned char>(lead);
    return byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
}

// The first character of a UTF-8 key, its bytes packed into a number; 0 for an empty key.
uint32_t initialOf(const std::string& key)
{
    uint32_t out = 0;
    for (size_t i = 0; !key.empty() && i < characterLength(key[0]) && i < key.size(); ++i)
        out = (out << 8) | static_cast<unsigned char>(key[i]);
    return out;
}

// Every distinct folded text once; a person holds numbers into it. 0 is the empty text.
class Texts
{
public:
    Texts() { m_texts.emplace_back(); }

    uint32_t id(std::string_view raw)
    {
        if (raw.empty())
            return 0;
        if (isAscii(raw)) {
            nameKeyInto(m_key, raw);
            return intern();
        }
        // Folding is slow beside everything else here: each distinct spelling is folded once.
        const std::string spelling(raw);
        if (const auto found = m_bySpelling.find(spelling); found != m_bySpelling.end())
            return found->second;
        nameKeyInto(m_key, raw);
        const uint32_t out = intern();
        m_bySpelling.emplace(spelling, out);
        return out;
    }
    const std::string& text(uint32_t id) const { return m_texts[id]; }
    uint32_t initial(uint32_t id) const { return m_initials[id]; }
    // "j" against "john": a one-letter name that begins the other.
    bool isInitialOf(uint32_t initial, uint32_t full) const
    {
        const std::string& i = m_texts[initial];
        const std::string& f = m_texts[full];
        return !i.empty() && i.size() == characterLength(i[0]) && f.size() > i.size() && f.starts_with(i);
    }
    // Each text's place in byte order, to sort by name with numbers alone.
    std::vector<uint32_t> ranks() const
    {
        std::vector<uint32_t> order(m_texts.size());
        std::iota(order.begin(), order.end(), 0u);
        std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return m_texts[a] < m_texts[b]; });
        std::vector<uint32_t> rank(m_texts.size());
        for (uint32_t r = 0; r < order.size(); ++r)
            rank[order[r]] = r;
        return rank;
    }

private:
    uint32_t intern()
    {
        if (m_key.empty())
            return 0;
        const auto [it, added] = m_ids.try_emplace(m_key, uint32_t(m_texts.size()));
        if (added) {
            m_texts.push_back(m_key);
            m_initials.push_back(initialOf(m_key));
        }
        return it->second;
    }

    std::unordered_map<std::string, uint32_t> m_ids, m_bySpelling;
    std::vector<std::string> m_texts;
    std::vector<uint32_t> m_initials{0};
    std::string m_key;
};

// A person as compared: every text reduced to a number, so that a million contacts take less memory than their file.
struct Compact
{
    uint32_t surname = 0, firstname = 0; // into the names, shared so that swapped names compare as numbers
    uint32_t town = 0;                   // into the towns
    std::array<uint32_t, 3> phones{};    // phoneKey() of each number with enough digits, distinct, first ones used
    uint64_t email = 0, postcode = 0;    // hashOf() their keys
};

enum class Reason : uint8_t { None, Mail, Phone, Name };

QString reasonText(Reason r)
{
    switch (r) {
    case Reason::Mail:
        return QStringLiteral("same e-mail");
    case Reason::Phone:
        return QStringLiteral("same phone");
    case Reason::Name:
        return QStringLiteral("same name");
    case Reason::None:
        break;
    }
    return {};
}

struct PersonTexts
{
    std::string_view surname, firstname, email, postcode, town;
    std::array<std::string_view, 3> phones;
};

#pragma pack(push, 4)
struct Entry // one person in one block
{
    uint64_t key;
    uint32_t person;
};
#pragma pack(pop)

// The addresses and numbers that more than kCommonKey people share: a switchboard, a family's e-mail. Both lists
// are sorted.
struct CommonKeys
{
    std::vector<uint64_t> mails;
    std::vector<uint32_t> phones;
    bool mail(uint64_t key) const { return std::binary_search(mails.begin(), mails.end(), key); }
    bool phone(uint32_t key) const { return std::binary_search(phones.begin(), phones.end(), key); }
};

bool sharePhone(const Compact& a, const Compact& b)
{
    for (const uint32_t p : a.phones)
        if (p && std::find(b.phones.begin(), b.phones.end(), p) != b.phones.end())
            return true;
    return false;
}

class Book
{
public:
    void add(qint64 id, const PersonTexts& t)
    {
        Compact c;
        c.surname = m_names.id(t.surname);
        c.firstname = m_names.id(t.firstname);
        c.town = m_towns.id(t.town);
        mailKeyInto(m_key, t.email);
        c.email = hashOf(m_key);
        nameKeyInto(m_key, t.postcode);
        c.postcode = hashOf(m_key);
        size_t phones = 0;
        for (const std::string_view number : t.phones) {
            const uint32_t key = phoneKey(number);
            if (key && std::find(c.phones.begin(), c.phones.begin() + phones, key) == c.phones.begin() + phones)
                c.phones[phones++] = key;
        }
        m_people.push_back(c);
        m_ids.push_back(id);
    }

    // Room for n people at once: growing by doubling would hold both the old and the new array at its peak.
    void reserve(size_t n)
    {
        m_people.reserve(n);
        m_ids.reserve(n);
    }

    Reason reason(uint32_t i, uint32_t j) const { return reasonOf(m_people[i], m_people[j], {}); }

    QList<Group> groups(const QSet<QPair<qint64, qint64>>& notSame) const;

private:
    bool namesMatch(const Compact& a, const Compact& b) const
    {
        if (!a.surname && !a.firstname)
            return false;
        if (a.surname == b.surname && a.firstname == b.firstname)
            return true;
        if (a.firstname && a.surname == b.firstname && a.firstname == b.surname)
            return true;
        return a.surname == b.surname && a.surname &&
               (m_names.isInitialOf(a.firstname, b.firstname) || m_names.isInitialOf(b.firstname, a.firstname));
    }

    Reason reasonOf(const Compact& a, const Compact& b, const CommonKeys& common) const
    {
        if (a.email && a.email == b.email && !common.mail(a.email))
            return Reason::Mail;
        for (const uint32_t p : a.phones)
            if (p && std::find(b.phones.begin(), b.phones.end(), p) != b.phones.end() && !common.phone(p))
                return Reason::Phone;
        if (!namesMatch(a, b))
            return Reason::None;
        auto both = [](uint64_t x, uint64_t y) { return x && y; };
        if ((both(a.postcode, b.postcode) && a.postcode == b.postcode) || (both(a.town, b.town) && a.town == b.town))
            return Reason::Name;
        // Namesakes are common: the same name alone is offered only where nothing tells the two apart. A number
        // both share, even a switchboard's, does not tell them apart.
        const bool contradicts = (both(a.postcode, b.postcode) && a.postcode != b.postcode) ||
                                 (both(a.town, b.town) && a.town != b.town) ||
                                 (both(a.email, b.email) && a.email != b.email) ||
                                 (a.phones[0] && b.phones[0] && !sharePhone(a, b));
        return contradicts ? Reason::None : Reason::Name;
    }

    // Sure enough to merge without a second look: the name and something the person alone is likely to have.
    bool sure(const Compact& first, const Compact& other) const
    {
        return namesMatch(first, other) && ((first.email && first.email == other.email) || sharePhone(first, other) ||
                                            (first.postcode && first.postcode == other.postcode));
    }

    Texts m_names, m_towns;
    std::vector<Compact> m_people;
    std::vector<qint64> m_ids;
    std::string m_key;
};

QList<Group> Book::groups(const QSet<QPair<qint64, qint64>>& notSame) const
{
    const size_t n = m_people.size();
    // Each person's place in key order, so that the pairs sort by their lower key.
    std::vector<uint32_t> byKey(n);
    std::iota(byKey.begin(), byKey.end(), 0u);
    std::sort(byKey.begin(), byKey.end(), [&](uint32_t a, uint32_t b) { return m_ids[a] < m_ids[b]; });
    std::vector<uint32_t> place(n);
    for (uint32_t r = 0; r < n; ++r)
        place[byKey[r]] = r;

    // Every pair that matches, as (lower place << 32 | higher place). A pair met in several blocks is added each
    // time; when the list is full it is sorted and cut to one of each before it grows.
    std::vector<uint64_t> pairs;
    auto squeeze = [&pairs] {
        std::sort(pairs.begin(), pairs.end());
        pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
    };
    auto addPair = [&](uint32_t i, uint32_t j) {
        if (i == j)
            return;
        if (!notSame.isEmpty() && notSame.contains({std::min(m_ids[i], m_ids[j]), std::max(m_ids[i], m_ids[j])}))
            return;
        if (pairs.size() == pairs.capacity() && pairs.size() >= 4096) {
            squeeze();
            if (pairs.size() > pairs.capacity() / 2)
                pairs.reserve(pairs.capacity() * 2);
        }
        const uint32_t a = std::min(place[i], place[j]), b = std::max(place[i], place[j]);
        pairs.push_back((uint64_t(a) << 32) | b);
    };
    CommonKeys common;
    auto tryPair = [&](uint32_t i, uint32_t j) {
        if (reasonOf(m_people[i], m_people[j], common) != Reason::None)
            addPair(i, j);
    };

    // One kind of block at a time, so that only one kind's entries are held at once. Each person gives its keys of
    // that kind to `give`; they are counted first, so that the entries take exactly the room they need.
    std::vector<Entry> entries;
    auto pass = [&](const auto& keysOf, const auto& compareBlock) {
        size_t count = 0;
        for (uint32_t i = 0; i < n; ++i)
            keysOf(m_people[i], [&](uint64_t) { ++count; });
        entries.reserve(count);
        for (uint32_t i = 0; i < n; ++i)
            keysOf(m_people[i], [&](uint64_t key) { entries.push_back({key, i}); });
        std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
            // By value: a reference into the packed entry would be misaligned.
            const uint64_t ka = a.key, kb = b.key;
            return ka != kb ? ka < kb : a.person < b.person;
        });
        for (size_t start = 0; start < entries.size();) {
            const uint64_t key = entries[start].key;
            size_t end = start + 1;
            while (end < entries.size() && entries[end].key == key)
                ++end;
            if (end - start > 1)
                compareBlock(key, entries.data() + start, end - start);
            start = end;
        }
        entries = {};
    };
    // Everyone sharing an address or a number few others have matches: no need to compare them. A key many share is
    // only remembered, for the names to be compared without it.
    auto shared = [&addPair](auto& commonKeys) {
        return [&addPair, keys = &commonKeys](uint64_t key, const Entry* block, size_t size) {
            if (size > size_t(kCommonKey)) {
                keys->push_back(typename std::decay_t<decltype(*keys)>::value_type(key));
                return;
            }
            for (size_t x = 0; x < size; ++x)
                for (size_t y = x + 1; y < size; ++y)
                    addPair(block[x].person, block[y].person);
        };
    };
    pass([](const Compact& c, const auto& give) {
        if (c.email)
            give(c.email);
    }, shared(common.mails));
    pass([](const Compact& c, const auto& give) {
        for (const uint32_t p : c.phones)
            if (p)
                give(p);
    }, shared(common.phones));

    // Blocks larger than kFullBlock are compared only between neighbours in name order, so that one very common
    // name (every "J. Smith") cannot make the search quadratic.
    std::vector<uint32_t> nameRanks, townRanks, ordered;
    auto compareNames = [&](uint64_t, const Entry* block, size_t size) {
        if (size <= kFullBlock) {
            for (size_t x = 0; x < size; ++x)
                for (size_t y = x + 1; y < size; ++y)
                    tryPair(block[x].person, block[y].person);
            return;
        }
        if (nameRanks.empty()) {
            nameRanks = m_names.ranks();
            townRanks = m_towns.ranks();
        }
        ordered.clear();
        for (size_t x = 0; x < size; ++x)
            ordered.push_back(block[x].person);
        auto at = [&](uint32_t p) {
            const Compact& c = m_people[p];
            return std::tuple(nameRanks[c.surname], nameRanks[c.firstname], townRanks[c.town], p);
        };
        std::sort(ordered.begin(), ordered.end(), [&](uint32_t a, uint32_t b) { return at(a) < at(b); });
        for (size_t x = 0; x + 1 < ordered.size(); ++x)
            for (size_t y = x + 1; y < std::min(ordered.size(), x + 8); ++y)
                tryPair(ordered[x], ordered[y]);
    };
    // A name with the other name's initial: "smith" with "j" meets both "John Smith" and "Smith John".
    pass([&](const Compact& c, const auto& give) {
        if (c.surname)
            give((uint64_t(c.surname) << 32) | m_names.initial(c.firstname));
        if (c.firstname)
            give((uint64_t(c.firstname) << 32) | m_names.initial(c.surname));
    }, compareNames);
    squeeze();

    // From the lowest key up, a person in no group yet takes into its group everyone it matches who is in none
    // either. A group is a star around its first contact, never a chain.
    std::vector<bool> taken(n, false);
    QList<Group> out;
    for (size_t start = 0; start < pairs.size();) {
        const auto first = uint32_t(pairs[start] >> 32);
        size_t end = start;
        while (end < pairs.size() && uint32_t(pairs[end] >> 32) == first)
            ++end;
        if (!taken[first]) {
            const uint32_t head = byKey[first];
            Group g;
            for (size_t k = start; k < end; ++k) {
                const auto place = uint32_t(pairs[k]);
                if (taken[place])
                    continue;
                taken[place] = true;
                const uint32_t member = byKey[place];
                g.ids << m_ids[member];
                g.reasons << reasonText(reasonOf(m_people[head], m_people[member], common));
                g.sure << sure(m_people[head], m_people[member]);
            }
            if (!g.ids.isEmpty()) {
                taken[first] = true;
                g.ids.prepend(m_ids[head]);
                g.reasons.prepend(g.reasons.first());
                g.sure.prepend(true);
                out << g;
            }
        }
        start = end;
    }
    return out;
}

// A person given as text, as the file would hold it.
struct Utf8Person
{
    QByteArray surname, firstname, email, postcode, town;
    std::array<QByteArray, 3> phones;
    explicit Utf8Person(const Person& p)
        : surname(p.surname.toUtf8()), firstname(p.firstname.toUtf8()), email(p.email.toUtf8()),
          postcode(p.postcode.toUtf8()), town(p.town.toUtf8()),
          phones{p.phones.value(0).toUtf8(), p.phones.value(1).toUtf8(), p.phones.value(2).toUtf8()}
    {
    }
    PersonTexts texts() const
    {
        auto view = [](const QByteArray& b) { return std::string_view(b.constData(), size_t(b.size())); };
        return {view(surname), view(firstname), view(email), view(postcode), view(town),
                {view(phones[0]), view(phones[1]), view(phones[2])}};
    }
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

QString sameReason(const Person& a, const Person& b)
{
    Book book;
    book.add(1, Utf8Person(a).texts());
    book.add(2, Utf8Person(b).texts());
    return reasonText(book.reason(0, 1));
}

QList<Group> findGroups(const QList<Person>& people, const QSet<QPair<qint64, qint64>>& notSame)
{
    Book book;
    for (const Person& p : people)
        book.add(p.id, Utf8Person(p).texts());
    return book.groups(notSame);
}

QList<Group> findGroups(sqlite3* db)
{
    Book book;
    {
        Statement count(db, QStringLiteral("SELECT count(*) FROM HomeAd"));
        if (sqlite3_step(count.stmt) == SQLITE_ROW)
            book.reserve(size_t(sqlite3_column_int64(count.stmt, 0)));
    }
    {
        Statement st(db, QStringLiteral("SELECT ID, Surname, Firstname, Email, PostCode, Town, Tel, Cell, \"Work Tel\" "
                                        "FROM HomeAd"));
        auto text = [&](int column) {
            const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(st.stmt, column));
            return std::string_view(bytes, bytes ? size_t(sqlite3_column_bytes(st.stmt, column)) : 0);
        };
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(st.stmt)) == SQLITE_ROW)
            book.add(sqlite3_column_int64(st.stmt, 0),
                     {text(1), text(2), text(3), text(4), text(5), {text(6), text(7), text(8)}});
        if (rc != SQLITE_DONE) // a locked or damaged file: no list rather than a list missing people
            fail(db, QStringLiteral("Cannot read the contacts"));
    }
    QSet<QPair<qint64, qint64>> notSame;
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT IdA, IdB FROM NotDuplicate", -1, &raw, nullptr) == SQLITE_OK) {
        while (sqlite3_step(raw) == SQLITE_ROW)
            notSame.insert({sqlite3_column_int64(raw, 0), sqlite3_column_int64(raw, 1)});
    }
    sqlite3_finalize(raw); // a file without the table has no such pairs yet
    return book.groups(notSame);
}

void rememberNotSame(sqlite3* db, qint64 a, qint64 b)
{
    ensureNotSameTable(db);
    Statement st(db, QStringLiteral("INSERT OR IGNORE INTO NotDuplicate (IdA, IdB) VALUES (?, ?)"));
    sqlite3_bind_int64(st.stmt, 1, std::min(a, b));
    sqlite3_bind_int64(st.stmt, 2, std::max(a, b));
    st.done(QStringLiteral("Cannot remember the choice"));
}

QList<QPair<QString, QString>> namesOf(sqlite3* db, const QList<qint64>& ids)
{
    Statement st(db, QStringLiteral("SELECT Surname, Firstname FROM HomeAd WHERE ID = ?"));
    QList<QPair<QString, QString>> out;
    out.reserve(ids.size());
    // One read for them all: outside a transaction each lookup would take and drop the file's lock.
    exec(db, "SAVEPOINT ReadNames", QStringLiteral("Cannot read the contacts"));
    const auto release = qScopeGuard([&] {
        sqlite3_reset(st.stmt);
        sqlite3_exec(db, "RELEASE ReadNames", nullptr, nullptr, nullptr);
    });
    for (const qint64 id : ids) {
        sqlite3_reset(st.stmt);
        sqlite3_bind_int64(st.stmt, 1, id);
        const int rc = sqlite3_step(st.stmt);
        if (rc == SQLITE_ROW)
            out.append({st.text(0), st.text(1)});
        else if (rc == SQLITE_DONE)
            out.append(QPair<QString, QString>());
        else
            fail(db, QStringLiteral("Cannot read the contacts"));
    }
    return out;
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

#include "data/FindText.h"

#include "data/ContactStore.h"

#include <QRegularExpression>
#include <algorithm>
#include <cstring>
#include <sqlite3.h>

namespace data::find {

namespace {

const QStringList& phoneColumns()
{
    static const QStringList columns{QStringLiteral("Tel"), QStringLiteral("Cell"), QStringLiteral("Work Tel")};
    return columns;
}

bool isDigits(const QString& word)
{
    if (word.isEmpty())
        return false;
    for (const QChar c : word)
        if (!c.isDigit())
            return false;
    return true;
}

struct Words
{
    QStringList words;
};

QString argText(sqlite3_value* v)
{
    if (sqlite3_value_type(v) == SQLITE_NULL)
        return {};
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
}

void findFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    auto* cached = static_cast<Words*>(sqlite3_get_auxdata(ctx, 0));
    if (!cached) {
        cached = new Words{words(argText(argv[0]))};
        sqlite3_set_auxdata(ctx, 0, cached, [](void* p) { delete static_cast<Words*>(p); });
        cached = static_cast<Words*>(sqlite3_get_auxdata(ctx, 0));
        if (!cached)
            return sqlite3_result_error_nomem(ctx);
    }
    const int phoneCount = int(phoneColumns().size());
    QStringList phones, texts;
    for (int i = 1; i < argc; ++i) {
        const QString text = argText(argv[i]);
        if (i <= phoneCount)
            phones << text;
        texts << text;
    }
    sqlite3_result_int(ctx, matches(cached->words, texts, phones) ? 1 : 0);
}

QString quotedColumn(const QString& name) { return QLatin1Char('"') + name + QLatin1Char('"'); }

} // namespace

QString fold(const QString& text)
{
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString out;
    out.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        const auto category = c.category();
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
            category == QChar::Mark_Enclosing)
            continue;
        out += c;
    }
    return out.toCaseFolded();
}

QStringList words(const QString& typed)
{
    QStringList out;
    for (const QString& w : typed.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
        out << fold(w);
    return out;
}

QString phoneDigits(const QString& text)
{
    QString out;
    for (const QChar c : text)
        if (c.isDigit())
            out += c;
    return out;
}

bool matches(const QStringList& foldedWords, const QStringList& texts, const QStringList& phones)
{
    if (foldedWords.isEmpty())
        return true;
    QStringList folded;
    folded.reserve(texts.size());
    for (const QString& t : texts)
        folded << fold(t);
    QStringList digits;
    for (const QString& word : foldedWords) {
        bool found = false;
        for (const QString& t : folded)
            if (t.contains(word)) {
                found = true;
                break;
            }
        if (!found && isDigits(word)) {
            if (digits.isEmpty())
                for (const QString& p : phones)
                    digits << phoneDigits(p);
            for (const QString& d : digits)
                if (d.contains(word)) {
                    found = true;
                    break;
                }
        }
        if (!found)
            return false;
    }
    return true;
}

void registerFunction(sqlite3* db)
{
    sqlite3_create_function_v2(db, "tovrel_find", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, findFunction,
                               nullptr, nullptr, nullptr);
}

QStringList narrowed(const QStringList& sql, const QString& typed)
{
    if (words(typed).isEmpty())
        return sql;
    QStringList columns;
    for (const QString& p : phoneColumns())
        columns << quotedColumn(p);
    for (const FieldDef& f : contactFields())
        if (f.isStored() && !phoneColumns().contains(f.name))
            columns << quotedColumn(f.name);
    QString literal = typed;
    literal.replace(QLatin1Char('\''), QStringLiteral("''"));
    // The selection in force stays whole inside, with its own order; only its rows are narrowed.
    QStringList out{QStringLiteral("SELECT * FROM (")};
    out << sql;
    out << QStringLiteral(") WHERE tovrel_find('%1', %2)").arg(literal, columns.join(QStringLiteral(", ")));
    return out;
}

bool narrowsFurther(const QStringList& before, const QStringList& now)
{
    if (before.isEmpty())
        return false;
    for (const QString& b : before)
        if (std::none_of(now.begin(), now.end(), [&](const QString& n) { return n.contains(b); }))
            return false;
    return true;
}

bool isAscii(std::string_view text)
{
    for (const char c : text)
        if (uint8_t(c) >= 0x80)
            return false;
    return true;
}

void foldInto(std::string& out, std::string_view text)
{
    out.clear();
    if (isAscii(text)) {
        out.reserve(text.size());
        for (const char c : text)
            out += (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
        return;
    }
    const QByteArray folded = fold(QString::fromUtf8(text.data(), qsizetype(text.size()))).toUtf8();
    out.assign(folded.constData(), size_t(folded.size()));
}

namespace {

uint64_t hashBytes(const char* p, size_t n)
{
    uint64_t h = 1469598103934665603ULL;
    for (size_t i = 0; i < n; ++i)
        h = (h ^ uint8_t(p[i])) * 1099511628211ULL;
    return h ^ (h >> 29);
}

void putVarint(std::vector<uint8_t>& out, uint32_t v)
{
    while (v >= 0x80) {
        out.push_back(uint8_t(v | 0x80));
        v >>= 7;
    }
    out.push_back(uint8_t(v));
}

void digitsInto(std::string& out, std::string_view text)
{
    out.clear();
    if (isAscii(text)) {
        for (const char c : text)
            if (c >= '0' && c <= '9')
                out += c;
        return;
    }
    const QByteArray digits = phoneDigits(QString::fromUtf8(text.data(), qsizetype(text.size()))).toUtf8();
    out.assign(digits.constData(), size_t(digits.size()));
}

} // namespace

void FindIndex::reset(std::vector<int> fields, std::vector<int> phones)
{
    m_fields = std::move(fields);
    m_isPhone.assign(m_fields.size(), false);
    for (size_t k = 0; k < m_fields.size(); ++k)
        m_isPhone[k] = std::find(phones.begin(), phones.end(), m_fields[k]) != phones.end();
    m_done = 0;
    m_pool.clear();
    m_valueStart.clear();
    m_table.assign(size_t(1) << 12, 0);
    m_values = 0;
    m_ids.clear();
    m_rowStart.assign(1, 0);
}

void FindIndex::growTable()
{
    m_table.assign(std::max<size_t>(m_table.size() * 2, 4096), 0);
    const size_t mask = m_table.size() - 1;
    for (uint32_t id = 0; id < m_valueStart.size(); ++id) {
        const uint32_t start = m_valueStart[id];
        const uint32_t end = (id + 1 < m_valueStart.size() ? m_valueStart[id + 1] : uint32_t(m_pool.size())) - 1;
        size_t i = hashBytes(m_pool.data() + start, end - start) & mask;
        while (m_table[i])
            i = (i + 1) & mask;
        m_table[i] = id + 1;
    }
}

uint32_t FindIndex::valueId(const char* text, size_t length)
{
    if (m_valueStart.size() * 2 >= m_table.size())
        growTable();
    const size_t mask = m_table.size() - 1;
    size_t i = hashBytes(text, length) & mask;
    while (const uint32_t slot = m_table[i]) {
        const uint32_t id = slot - 1;
        const uint32_t start = m_valueStart[id];
        const uint32_t end = (id + 1 < m_valueStart.size() ? m_valueStart[id + 1] : uint32_t(m_pool.size())) - 1;
        if (end - start == length && std::memcmp(m_pool.data() + start, text, length) == 0)
            return id;
        i = (i + 1) & mask;
    }
    const auto id = uint32_t(m_valueStart.size());
    m_valueStart.push_back(uint32_t(m_pool.size()));
    m_pool.append(text, length);
    m_pool += '\n';
    m_table[i] = id + 1;
    return id;
}

bool FindIndex::buildSome(const std::vector<RowStore::Row>& rows, size_t count)
{
    const size_t end = rows.size() - m_done < count ? rows.size() : m_done + count;
    if (m_done == 0)
        m_rowStart.reserve(rows.size() + 1);
    for (; m_done < end; ++m_done) {
        if (const RowStore::Row row = rows[m_done]) {
            for (size_t k = 0; k < m_fields.size(); ++k) {
                const std::string_view bytes = RowStore::bytes(row, m_fields[k]);
                if (bytes.empty())
                    continue;
                foldInto(m_scratch, bytes);
                // The pool ends each value with a line break; one inside a value (Notes) is a space to a word.
                std::replace(m_scratch.begin(), m_scratch.end(), '\n', ' ');
                uint32_t id = UINT32_MAX;
                if (!m_scratch.empty())
                    putVarint(m_ids, id = valueId(m_scratch.data(), m_scratch.size()));
                if (m_isPhone[k]) {
                    digitsInto(m_scratch, bytes);
                    if (!m_scratch.empty()) {
                        const uint32_t digits = valueId(m_scratch.data(), m_scratch.size());
                        if (digits != id) // a number written as bare digits is one value already
                            putVarint(m_ids, digits);
                    }
                }
            }
        }
        m_rowStart.push_back(uint32_t(m_ids.size()));
    }
    const bool complete = m_done == rows.size();
    if (complete && !m_table.empty()) {
        // Only needed while values are added: a search counts the values it passes instead.
        m_values = m_valueStart.size();
        std::vector<uint32_t>().swap(m_table);
        std::vector<uint32_t>().swap(m_valueStart);
        m_pool.shrink_to_fit();
        m_ids.shrink_to_fit();
    }
    return complete;
}

std::vector<uint32_t> FindIndex::find(const std::vector<RowStore::Row>& rows, const QStringList& foldedWords,
                                      const std::vector<uint32_t>* within)
{
    buildSome(rows, SIZE_MAX);
    std::vector<uint32_t> out;
    const auto rowCount = uint32_t(rows.size());
    if (foldedWords.isEmpty()) {
        if (within)
            return *within;
        out.resize(rowCount);
        for (uint32_t i = 0; i < rowCount; ++i)
            out[i] = i;
        return out;
    }
    // For each word, the values that hold it.
    const size_t values = m_values;
    std::vector<std::vector<uint64_t>> holds;
    for (const QString& word : foldedWords) {
        const QByteArray w = word.toUtf8();
        std::vector<uint64_t> bits((values + 63) / 64, 0);
        const char* const begin = m_pool.data();
        const char* const end = begin + m_pool.size();
        const char* p = begin;
        size_t id = 0; // the value that starts at p
        bool any = false;
        while (p < end) {
            const auto* hit = static_cast<const char*>(memmem(p, size_t(end - p), w.constData(), size_t(w.size())));
            if (!hit)
                break;
            id += size_t(std::count(p, hit, '\n'));
            bits[id / 64] |= uint64_t(1) << (id % 64);
            any = true;
            p = static_cast<const char*>(std::memchr(hit, '\n', size_t(end - hit))) + 1; // every value ends with one
            ++id;
        }
        if (!any)
            return out;
        holds.push_back(std::move(bits));
    }
    uint32_t ids[64];
    auto matches = [&](uint32_t r) {
        size_t n = 0;
        for (uint32_t i = m_rowStart[r], e = m_rowStart[r + 1]; i < e && n < 64;) {
            uint32_t v = 0;
            for (int shift = 0;; shift += 7) {
                const uint8_t b = m_ids[i++];
                v |= uint32_t(b & 0x7f) << shift;
                if (!(b & 0x80))
                    break;
            }
            ids[n++] = v;
        }
        for (const std::vector<uint64_t>& bits : holds) {
            bool found = false;
            for (size_t k = 0; k < n && !found; ++k)
                found = (bits[ids[k] / 64] >> (ids[k] % 64)) & 1;
            if (!found)
                return false;
        }
        return true;
    };
    if (within) {
        for (const uint32_t r : *within)
            if (r < rowCount && matches(r))
                out.push_back(r);
    } else {
        for (uint32_t r = 0; r < rowCount; ++r)
            if (matches(r))
                out.push_back(r);
    }
    return out;
}

size_t FindIndex::memoryUsed() const
{
    return m_pool.capacity() + m_valueStart.capacity() * sizeof(uint32_t) +
           m_table.capacity() * sizeof(uint32_t) + m_ids.capacity() + m_rowStart.capacity() * sizeof(uint32_t);
}

void Narrower::restartIfStale(const Dataset& dataset)
{
    if (m_for == &dataset && m_generation == dataset.rowsGeneration())
        return;
    std::vector<int> fields, phones;
    for (int f = 0; f < dataset.fieldCount(); ++f) {
        const int at = dataset.storedPosition(f);
        if (at < 0)
            continue;
        fields.push_back(at);
        if (phoneColumns().contains(dataset.fields()[f].name, Qt::CaseInsensitive))
            phones.push_back(at);
    }
    m_index.reset(std::move(fields), std::move(phones));
    m_for = &dataset;
    m_generation = dataset.rowsGeneration();
    m_words.clear();
    m_found.clear();
}

bool Narrower::prepare(const Dataset& dataset, size_t count)
{
    if (!dataset.isOpen())
        return true;
    restartIfStale(dataset);
    return m_index.buildSome(dataset.allRows(), count);
}

void Narrower::apply(Dataset& dataset, const QString& typed)
{
    // A row being edited is saved first: the rows are then the ones the index is made from.
    dataset.settle();
    if (dataset.state() != Dataset::State::Browse)
        return;
    const QStringList typedWords = words(typed);
    if (typedWords.isEmpty()) {
        dataset.showAllRows();
        m_words.clear();
        m_found.clear();
        return;
    }
    restartIfStale(dataset);
    const bool further = narrowsFurther(m_words, typedWords);
    const std::vector<RowStore::Row>& all = dataset.allRows(); // the rows indexed: the generation is the same
    std::vector<uint32_t> found = m_index.find(all, typedWords, further ? &m_found : nullptr);
    std::vector<RowStore::Row> rows;
    rows.reserve(found.size());
    for (const uint32_t i : found)
        rows.push_back(all[i]);
    dataset.showRows(std::move(rows));
    m_words = typedWords;
    m_found = std::move(found);
}

} // namespace data::find

#pragma once

#include "data/Dataset.h"
#include "data/RowStore.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

// Find as you type: a contact is found when every typed word occurs in some field, case and accents aside; a word
// of digits also finds a phone number written with spaces, brackets or dashes.
namespace data::find {

// The text as compared: accents dropped, case folded.
[[nodiscard]] QString fold(const QString& text);
// The words of what was typed, folded; empty when there is nothing to find.
[[nodiscard]] QStringList words(const QString& typed);
// Only the digits of a phone number.
[[nodiscard]] QString phoneDigits(const QString& text);

// Whether UTF-8 text is plain ASCII, which folds byte by byte.
[[nodiscard]] bool isAscii(std::string_view text);
// fold() from UTF-8 into UTF-8, without a detour through QString for plain ASCII (most of a book).
void foldInto(std::string& out, std::string_view text);

// Whether every word (as words() gives them) occurs in one of the texts or, for a word of digits, in the digits of
// one of the phones.
[[nodiscard]] bool matches(const QStringList& foldedWords, const QStringList& texts, const QStringList& phones);

// Registers tovrel_find(typed, Tel, Cell, [Work Tel], other fields...) on a connection.
void registerFunction(sqlite3* db);

// The selection sql narrowed to the contacts the typed text finds (sql itself when it finds everything).
[[nodiscard]] QStringList narrowed(const QStringList& sql, const QString& typed);

// Whether the rows holding every word of `now` are among those holding every word of `before` (each earlier word is
// part of a word now), so that `now` can narrow the earlier result instead of every row.
[[nodiscard]] bool narrowsFurther(const QStringList& before, const QStringList& now);

// The folded texts of a snapshot's rows, kept in memory so that each keystroke narrows the rows without reading the
// table again. Each distinct folded value (a field, or the digits of a phone) is kept once; a row holds the numbers
// of its values. A word is looked for in the distinct values, then the rows are picked by the values they hold.
class FindIndex
{
public:
    // Starts over; fields: positions in the row blobs looked in; phones: those whose digits count too. The rows are
    // not copied: every call after gets the same rows (the caller starts over when they change).
    void reset(std::vector<int> fields, std::vector<int> phones);
    // Indexes up to `count` more rows; true once every row is in.
    bool buildSome(const std::vector<RowStore::Row>& rows, size_t count);

    // Positions of the rows (ascending) holding every folded word; within: only these (ascending). Completes the
    // index first.
    [[nodiscard]] std::vector<uint32_t> find(const std::vector<RowStore::Row>& rows, const QStringList& foldedWords,
                                             const std::vector<uint32_t>* within = nullptr);

    [[nodiscard]] size_t memoryUsed() const;

private:
    uint32_t valueId(const char* text, size_t length);
    void growTable();

    std::vector<int> m_fields;
    std::vector<bool> m_isPhone;
    size_t m_done = 0;
    std::string m_pool;              // every distinct value, '\n' after each (no typed word holds one)
    size_t m_values = 0;
    // While values are added: where each starts in the pool, and open addressing over value ids + 1 (0: free).
    std::vector<uint32_t> m_valueStart;
    std::vector<uint32_t> m_table;
    std::vector<uint8_t> m_ids;      // per row, the numbers of its values as varints
    std::vector<uint32_t> m_rowStart{0}; // where each row's numbers start in m_ids, one more at the end
    std::string m_scratch;
};

// Find as you type over an open dataset: each keystroke narrows its rows in memory, from the previous result where
// the new words can only narrow it further. The index is made once per result (ahead of time with prepare(), or at
// the first keystroke) and made again after the result changed (another open, a save, a delete, a sort).
class Narrower
{
public:
    // Indexes up to `count` more rows of the dataset's result; true once it is done.
    bool prepare(const Dataset& dataset, size_t count);
    // Shows the rows holding every typed word; nothing typed: every row of the result.
    void apply(Dataset& dataset, const QString& typed);
    [[nodiscard]] size_t memoryUsed() const { return m_index.memoryUsed(); }

private:
    void restartIfStale(const Dataset& dataset);

    FindIndex m_index;
    const Dataset* m_for = nullptr;
    quint64 m_generation = 0;
    QStringList m_words;           // what the last narrowing found
    std::vector<uint32_t> m_found;
};

} // namespace data::find

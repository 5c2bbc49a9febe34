#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace data {

// Compact storage of a snapshot's rows: each row is one immutable blob in a chunked arena,
// [key: int64][field count: varint][length of each field: varint][UTF-8 bytes of every field]. A changed row gets a new blob.
class RowStore
{
public:
    using Row = const char*;

    void clear();

    // Builds one row; call add() for every field in order, then finish().
    void begin(qint64 key);
    void add(const char* utf8, size_t length);
    void add(const QString& text);
    Row finish();
    // The same in one step, copying straight from the given buffers (the loader's fast path).
    Row addRow(qint64 key, const char* const* values, const uint32_t* lengths, int count);

    [[nodiscard]] static qint64 key(Row row);
    [[nodiscard]] static QString text(Row row, int field);
    [[nodiscard]] static QByteArray utf8(Row row, int field);
    [[nodiscard]] static bool isEmpty(Row row, int field);
    // The field's UTF-8 bytes in place, valid while the store holds the row.
    [[nodiscard]] static std::string_view bytes(Row row, int field);
    // Every field's bytes in place, found in one walk of the row (out[i] for field i, up to `count`); the number of
    // fields the row has.
    static int fields(Row row, std::string_view* out, int count);

    [[nodiscard]] size_t bytesReserved() const;

private:
    char* allocate(size_t size);
    static const char* locate(Row row, int field, size_t& length);

    std::vector<std::unique_ptr<char[]>> m_chunks;
    size_t m_chunkUsed = 0;
    size_t m_chunkSize = 0;
    size_t m_reserved = 0;
    qint64 m_key = 0;
    std::vector<uint32_t> m_lengths;
    QByteArray m_bytes;
};

} // namespace data

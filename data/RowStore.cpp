#include "data/RowStore.h"

#include <algorithm>
#include <cstring>

namespace data {

namespace {
constexpr size_t ChunkSize = size_t(1) << 20;

size_t varintSize(uint32_t v)
{
    size_t n = 1;
    while (v >= 0x80) {
        v >>= 7;
        ++n;
    }
    return n;
}

char* putVarint(char* out, uint32_t v)
{
    while (v >= 0x80) {
        *out++ = char((v & 0x7f) | 0x80);
        v >>= 7;
    }
    *out++ = char(v);
    return out;
}

const char* getVarint(const char* in, uint32_t& v)
{
    v = 0;
    int shift = 0;
    for (;;) {
        const auto byte = uint8_t(*in++);
        v |= uint32_t(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return in;
        shift += 7;
    }
}
} // namespace

void RowStore::clear()
{
    m_chunks.clear();
    m_chunkUsed = m_chunkSize = m_reserved = 0;
}

void RowStore::begin(qint64 key)
{
    m_key = key;
    m_lengths.clear();
    m_bytes.clear();
}

void RowStore::add(const char* utf8, size_t length)
{
    m_lengths.push_back(uint32_t(length));
    m_bytes.append(utf8, qsizetype(length));
}

void RowStore::add(const QString& text) { add(text.toUtf8().constData(), size_t(text.toUtf8().size())); }

RowStore::Row RowStore::finish()
{
    const auto count = uint32_t(m_lengths.size());
    size_t size = sizeof(qint64) + varintSize(count) + size_t(m_bytes.size());
    for (uint32_t len : m_lengths)
        size += varintSize(len);
    char* blob = allocate(size);
    std::memcpy(blob, &m_key, sizeof m_key);
    char* out = putVarint(blob + sizeof m_key, count);
    for (uint32_t len : m_lengths)
        out = putVarint(out, len);
    if (!m_bytes.isEmpty())
        std::memcpy(out, m_bytes.constData(), size_t(m_bytes.size()));
    return blob;
}

RowStore::Row RowStore::addRow(qint64 key, const char* const* values, const uint32_t* lengths, int count)
{
    size_t size = sizeof(qint64) + varintSize(uint32_t(count));
    for (int i = 0; i < count; ++i)
        size += varintSize(lengths[i]) + lengths[i];
    char* blob = allocate(size);
    std::memcpy(blob, &key, sizeof key);
    char* out = putVarint(blob + sizeof key, uint32_t(count));
    for (int i = 0; i < count; ++i)
        out = putVarint(out, lengths[i]);
    for (int i = 0; i < count; ++i) {
        if (lengths[i])
            std::memcpy(out, values[i], lengths[i]);
        out += lengths[i];
    }
    return blob;
}

char* RowStore::allocate(size_t size)
{
    if (size > ChunkSize / 4) {
        // Large rows (long notes) get a chunk of their own; the current chunk stays in use.
        auto chunk = std::make_unique<char[]>(size);
        char* p = chunk.get();
        m_chunks.insert(m_chunks.end() - (m_chunks.empty() ? 0 : 1), std::move(chunk));
        m_reserved += size;
        return p;
    }
    if (m_chunks.empty() || m_chunkUsed + size > m_chunkSize) {
        m_chunks.push_back(std::make_unique<char[]>(ChunkSize));
        m_chunkSize = ChunkSize;
        m_chunkUsed = 0;
        m_reserved += ChunkSize;
    }
    char* p = m_chunks.back().get() + m_chunkUsed;
    m_chunkUsed += size;
    return p;
}

qint64 RowStore::key(Row row)
{
    qint64 k;
    std::memcpy(&k, row, sizeof k);
    return k;
}

const char* RowStore::locate(Row row, int field, size_t& length)
{
    uint32_t count = 0;
    const char* p = getVarint(row + sizeof(qint64), count);
    size_t offset = 0;
    uint32_t len = 0;
    length = 0;
    for (uint32_t i = 0; i < count; ++i) {
        p = getVarint(p, len);
        if (int(i) < field)
            offset += len;
        else if (int(i) == field)
            length = len;
    }
    return p + offset;
}

std::string_view RowStore::bytes(Row row, int field)
{
    size_t length = 0;
    const char* p = locate(row, field, length);
    return {p, length};
}

int RowStore::fields(Row row, std::string_view* out, int count)
{
    uint32_t stored = 0;
    const char* p = getVarint(row + sizeof(qint64), stored);
    uint32_t lengths[64];
    const int n = std::min<int>(int(stored), std::min(count, 64));
    for (uint32_t i = 0; i < stored; ++i) {
        uint32_t len = 0;
        p = getVarint(p, len);
        if (int(i) < n)
            lengths[i] = len;
    }
    // p is now where the values begin; only the lengths of the fields before each are needed.
    for (int i = 0; i < n; ++i) {
        out[i] = std::string_view(p, lengths[i]);
        p += lengths[i];
    }
    for (int i = n; i < count; ++i)
        out[i] = {};
    return n;
}

QByteArray RowStore::utf8(Row row, int field)
{
    size_t length = 0;
    const char* p = locate(row, field, length);
    return QByteArray(p, qsizetype(length));
}

QString RowStore::text(Row row, int field)
{
    size_t length = 0;
    const char* p = locate(row, field, length);
    return QString::fromUtf8(p, qsizetype(length));
}

bool RowStore::isEmpty(Row row, int field)
{
    size_t length = 0;
    locate(row, field, length);
    return length == 0;
}

size_t RowStore::bytesReserved() const { return m_reserved; }

} // namespace data

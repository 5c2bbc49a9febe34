#include "exchange/LineReader.h"

#include "platform/AppError.h"

#include <QIODevice>
#include <cstring>

namespace exchange {

namespace {

constexpr qint64 ChunkBytes = 256 * 1024;

// UTF-16 without a byte-order mark shows itself by NUL bytes: text files have none, while the markup, digits and
// Latin letters of a UTF-16 file have a zero in one byte of each character. Counted over a block rather than its first
// few characters, so that a name in another script near the start does not hide it.
int zeroPattern(const QByteArray& head)
{
    const qsizetype n = std::min<qsizetype>(head.size(), 4096) & ~qsizetype(1);
    if (n < 4)
        return 0;
    qsizetype evenZero = 0, oddZero = 0;
    for (qsizetype i = 0; i < n; i += 2) {
        evenZero += head[i] == '\0';
        oddZero += head[i + 1] == '\0';
    }
    const qsizetype units = n / 2;
    // A quarter of the characters at least; the other byte almost never zero (U+0100, U+0200... are rare).
    if (oddZero * 4 >= units && evenZero * 16 <= oddZero)
        return 1; // little-endian
    if (evenZero * 4 >= units && oddZero * 16 <= evenZero)
        return 2; // big-endian
    return 0;
}

} // namespace

LineReader::LineReader(QIODevice& device) : m_device(device) {}

qint64 LineReader::position() const
{
    return m_consumed;
}

qint64 LineReader::size() const
{
    return m_device.isSequential() ? 0 : m_device.size();
}

bool LineReader::fill()
{
    if (m_atEnd)
        return false;
    QByteArray chunk(ChunkBytes, Qt::Uninitialized);
    const qint64 n = m_device.read(chunk.data(), ChunkBytes);
    if (n < 0)
        throw platform::AppError(QStringLiteral("Cannot read the file: %1").arg(m_device.errorString()));
    if (n == 0) {
        m_atEnd = true;
        return false;
    }
    chunk.truncate(n);
    m_consumed += n;
    if (m_pos > 0) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    if (m_encoding == TextEncoding::Utf16)
        m_buffer += QString(m_utf16.decode(chunk)).toUtf8();
    else
        m_buffer += chunk;
    return true;
}

void LineReader::sniff()
{
    m_sniffed = true;
    QByteArray head(ChunkBytes, Qt::Uninitialized);
    const qint64 n = m_device.read(head.data(), ChunkBytes);
    if (n < 0)
        throw platform::AppError(QStringLiteral("Cannot read the file: %1").arg(m_device.errorString()));
    head.truncate(n);
    m_consumed += n;
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF") || zeroPattern(head) != 0) {
        const bool little = head.startsWith("\xFF\xFE") || (!head.startsWith("\xFE\xFF") && zeroPattern(head) == 1);
        m_encoding = TextEncoding::Utf16;
        m_hasUtf8 = true;
        m_utf16 = QStringDecoder(little ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                                 QStringConverter::Flag::Default);
        if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF"))
            head.remove(0, 2);
        m_buffer = QString(m_utf16.decode(head)).toUtf8();
    } else {
        Utf8Census census;
        census.add(head);
        // The whole file, then back to where the lines go on from; a stream that cannot go back is judged by its
        // first block.
        if (!m_device.isSequential() && n == ChunkBytes) {
            const qint64 resume = m_device.pos();
            QByteArray chunk(ChunkBytes, Qt::Uninitialized);
            for (;;) {
                const qint64 got = m_device.read(chunk.data(), ChunkBytes);
                if (got < 0)
                    throw platform::AppError(QStringLiteral("Cannot read the file: %1").arg(m_device.errorString()));
                if (got == 0)
                    break;
                census.add(QByteArrayView(chunk.constData(), got));
            }
            if (!m_device.seek(resume))
                throw platform::AppError(QStringLiteral("Cannot read the file: %1").arg(m_device.errorString()));
            census.finish();
        } else if (n < ChunkBytes) {
            census.finish();
        }
        const bool bom = head.startsWith("\xEF\xBB\xBF");
        m_encoding = bom ? TextEncoding::Utf8Bom : census.isUtf8() ? TextEncoding::Utf8 : TextEncoding::Windows1252;
        m_hasUtf8 = bom || census.multiByte() > 0;
        m_buffer = bom ? head.mid(3) : head;
    }
    m_pos = 0;
    if (head.isEmpty())
        m_atEnd = true;
    // Old Macintosh files end their lines with CR alone.
    if (!m_buffer.contains('\n') && m_buffer.contains('\r'))
        m_lineEnd = '\r';
}

bool LineReader::next(QByteArray& line)
{
    if (!m_sniffed)
        sniff();
    qsizetype searchFrom = m_pos;
    for (;;) {
        const char* base = m_buffer.constData();
        const void* hit = std::memchr(base + searchFrom, m_lineEnd, static_cast<size_t>(m_buffer.size() - searchFrom));
        if (hit) {
            const qsizetype end = static_cast<const char*>(hit) - base;
            qsizetype len = end - m_pos;
            if (len > 0 && base[end - 1] == '\r')
                --len;
            line = QByteArray(base + m_pos, len);
            m_pos = end + 1;
            ++m_lineNumber;
            return true;
        }
        if (m_buffer.size() - m_pos > MaxLineBytes) {
            throw platform::AppError(QStringLiteral("Line %1 is longer than %2 MB: this is not a contact file.")
                                         .arg(m_lineNumber + 1)
                                         .arg(MaxLineBytes / (1024 * 1024)));
        }
        const qsizetype scanned = m_buffer.size() - m_pos;
        if (!fill())
            break;
        searchFrom = m_pos + scanned;
    }
    if (m_pos >= m_buffer.size())
        return false;
    // The last line has no line end.
    qsizetype len = m_buffer.size() - m_pos;
    if (m_buffer.endsWith('\r'))
        --len;
    line = QByteArray(m_buffer.constData() + m_pos, len);
    m_pos = m_buffer.size();
    ++m_lineNumber;
    return true;
}

} // namespace exchange

#pragma once

#include "exchange/TextDecoding.h"

#include <QByteArray>
#include <QStringDecoder>

class QIODevice;

namespace exchange {

// Reads a text file line by line without loading it whole. Lines come out as bytes without their
// line end: UTF-8 or Windows-1252 as the file has them; UTF-16 files are turned into UTF-8 on the way.
// A byte-order mark is dropped. A file without one is UTF-16 when its first block has NUL bytes in every other
// place of most characters; otherwise the whole file is read once beforehand (Utf8Census) to tell UTF-8 from
// Windows-1252, so that a stray byte far in does not decide for the lines before it, nor the first block for the
// rest. Lines end in LF, CR LF, or (old Macintosh files) CR alone.
class LineReader
{
public:
    explicit LineReader(QIODevice& device);

    // The next line; false at the end of the file. Throws platform::AppError on a read error or a line
    // longer than MaxLineBytes (a file that is not text).
    [[nodiscard]] bool next(QByteArray& line);
    // One-based number of the line last returned.
    [[nodiscard]] qint64 lineNumber() const { return m_lineNumber; }
    [[nodiscard]] TextEncoding encoding() const { return m_encoding; }
    // Whether the file holds UTF-8 characters (or says it is Unicode by a byte-order mark or by being UTF-16).
    [[nodiscard]] bool hasUtf8() const { return m_hasUtf8; }
    // Bytes of the device consumed so far and its size (for progress; size 0 when unknown).
    [[nodiscard]] qint64 position() const;
    [[nodiscard]] qint64 size() const;

    static constexpr qsizetype MaxLineBytes = 64 * 1024 * 1024;

private:
    bool fill();
    void sniff();

    QIODevice& m_device;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qint64 m_lineNumber = 0;
    qint64 m_consumed = 0; // bytes of the device read into the buffer
    bool m_atEnd = false;
    bool m_sniffed = false;
    TextEncoding m_encoding = TextEncoding::Utf8;
    bool m_hasUtf8 = false;
    char m_lineEnd = '\n'; // LF (a CR before it is dropped), or CR alone
    QStringDecoder m_utf16;
};

} // namespace exchange

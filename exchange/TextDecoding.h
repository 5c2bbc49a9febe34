#pragma once

#include "platform/Windows1252.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace exchange {

// Windows-1252: Latin-1 with printable characters in 0x80..0x9F.
[[nodiscard]] inline QString fromWindows1252(QByteArrayView bytes)
{
    return platform::decodeWindows1252(bytes);
}

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
// With allowCutEnd, a sequence cut off by the end of the bytes counts as valid (a chunk of a longer text).
[[nodiscard]] bool isValidUtf8(QByteArrayView bytes, bool allowCutEnd = false);

// How the bytes of a text file become text.
enum class TextEncoding {
    Utf8,        // no byte-order mark, UTF-8 by the whole file (a few bytes that are not UTF-8 are replaced)
    Utf8Bom,     // UTF-8 with a byte-order mark
    Utf16,       // UTF-16 (either byte order), turned into UTF-8 bytes while reading
    Windows1252, // 8-bit text that is not UTF-8
};

[[nodiscard]] QString encodingName(TextEncoding encoding);

// Counts over a whole text, fed in pieces, the well-formed multi-byte UTF-8 characters and the bytes that cannot be
// UTF-8. A vCard fold (a line end and one space or tab) inside a character is passed over: the reader unfolds before
// it decodes, so such a character comes out whole.
class Utf8Census
{
public:
    void add(QByteArrayView bytes);
    // A character cut off by the end of the text counts as not UTF-8.
    void finish();

    [[nodiscard]] qint64 multiByte() const { return m_multiByte; }
    [[nodiscard]] qint64 invalid() const { return m_invalid; }
    // UTF-8 unless the bytes that are not UTF-8 outnumber the characters that are: one stray byte in a UTF-8 file
    // must not turn every other character into two.
    [[nodiscard]] bool isUtf8() const { return m_invalid <= m_multiByte; }

private:
    void start(unsigned char b);

    qint64 m_multiByte = 0;
    qint64 m_invalid = 0;
    int m_need = 0; // continuation bytes still expected
    unsigned char m_lo = 0x80, m_hi = 0xBF;
    int m_fold = 0; // inside a character: 1 after CR, 2 after the line end
};

// A value decoded, and what had to be done to it.
struct DecodedValue
{
    enum class Repair { None, Replaced, Windows1252 };
    QString text;
    Repair repair = Repair::None;
    int replaced = 0; // Replaced: bytes that were not UTF-8, each now U+FFFD
};

// Decodes one value of a file whose encoding was decided from the whole file. In a UTF-8 file a value that is not
// UTF-8 keeps its UTF-8 characters and has its stray bytes replaced; it is read as Windows-1252 only when neither
// the value nor the file holds any UTF-8 character (`fileHasUtf8`), that is when nothing says it is UTF-8 at all.
[[nodiscard]] DecodedValue decodeValue(QByteArrayView bytes, TextEncoding encoding, bool fileHasUtf8);

// Decodes bytes in a named character set (a vCard CHARSET parameter). false: the name is unknown.
[[nodiscard]] bool decodeCharset(QByteArrayView bytes, const QByteArray& charset, QString& out);

} // namespace exchange

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace exchange {

// Windows-1252: Latin-1 with printable characters in 0x80..0x9F.
[[nodiscard]] QString fromWindows1252(QByteArrayView bytes);

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
// With allowCutEnd, a sequence cut off by the end of the bytes counts as valid (a chunk of a longer text).
[[nodiscard]] bool isValidUtf8(QByteArrayView bytes, bool allowCutEnd = false);

// How the bytes of a text file become text.
enum class TextEncoding {
    Utf8,        // no byte-order mark, valid UTF-8 as far as sniffed
    Utf8Bom,     // UTF-8 with a byte-order mark
    Utf16,       // UTF-16 (either byte order), turned into UTF-8 bytes while reading
    Windows1252, // 8-bit text that is not UTF-8
};

[[nodiscard]] QString encodingName(TextEncoding encoding);

// Decodes the values of a file: UTF-8 where the bytes are UTF-8, Windows-1252 otherwise.
// `fellBack` tells the caller that a file taken for UTF-8 held bytes that are not.
[[nodiscard]] QString decodeText(QByteArrayView bytes, TextEncoding encoding, bool* fellBack = nullptr);

// Decodes bytes in a named character set (a vCard CHARSET parameter). false: the name is unknown.
[[nodiscard]] bool decodeCharset(QByteArrayView bytes, const QByteArray& charset, QString& out);

} // namespace exchange

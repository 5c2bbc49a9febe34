#pragma once

#include <QByteArray>
#include <QString>

// How the settings and county list files' bytes are read as characters, and written back in the same encoding.

enum class TextEncoding {
    Windows1252, // also pure ASCII
    Utf8,
    Utf8WithBom,
    Utf16LE, // with its byte-order mark, as a Windows editor's "Unicode" saves it
    Utf16BE, // with its byte-order mark
};

struct DecodedText
{
    QString text;
    TextEncoding encoding = TextEncoding::Windows1252;
};

// UTF-16 when the bytes begin with its byte-order mark (dropped); else UTF-8 when they are valid UTF-8 (one leading
// byte-order mark dropped), otherwise Windows-1252.
[[nodiscard]] DecodedText decodeText(const QByteArray& bytes);

// The text in the preferred encoding when decodeText gives it back unchanged from those bytes; otherwise UTF-8, so
// no character is lost (with a byte-order mark only when the text itself starts with one). UTF-16 is written as it
// was read, byte-order mark first.
[[nodiscard]] QByteArray encodeText(const QString& text, TextEncoding preferred);

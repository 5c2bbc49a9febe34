#pragma once

#include <QByteArrayView>

namespace richtext {

struct RtfToken
{
    enum class Kind { End, GroupOpen, GroupClose, ControlWord, ControlSymbol, HexByte, Text };

    Kind kind = Kind::End;
    QByteArrayView text; // control word name, or a run of plain text bytes
    bool hasParam = false;
    int param = 0;          // control word parameter, saturated to the int range
    char symbol = 0;        // control symbol character
    unsigned char byte = 0; // \'hh value
};

// Splits RTF into tokens in one forward pass. Line breaks in the source are dropped (RTF ignores them);
// a NUL byte ends the stream, as a file whose tail was never written would.
class RtfTokenizer
{
public:
    explicit RtfTokenizer(QByteArrayView data) : m_data(data) {}

    [[nodiscard]] RtfToken next();
    // Skips the data of \bin, or whatever is left of it.
    void skipBytes(qint64 count);
    // The data of \bin, or whatever is left of it.
    [[nodiscard]] QByteArrayView takeBytes(qint64 count);
    // Where the next token starts, in bytes from the start of the data.
    [[nodiscard]] qsizetype position() const { return m_pos; }
    [[nodiscard]] QByteArrayView data() const { return m_data; }

private:
    QByteArrayView m_data;
    qsizetype m_pos = 0;
};

} // namespace richtext

#include "richtext/RtfTokenizer.h"

#include <limits>

namespace richtext {

namespace {

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool endsText(char c)
{
    return c == '\\' || c == '{' || c == '}' || c == '\r' || c == '\n' || c == '\0';
}

} // namespace

void RtfTokenizer::skipBytes(qint64 count)
{
    if (count > 0)
        m_pos += static_cast<qsizetype>(std::min<qint64>(count, m_data.size() - m_pos));
}

QByteArrayView RtfTokenizer::takeBytes(qint64 count)
{
    const qsizetype start = m_pos;
    skipBytes(count);
    return m_data.sliced(start, m_pos - start);
}

RtfToken RtfTokenizer::next()
{
    RtfToken token;
    const qsizetype size = m_data.size();
    while (m_pos < size && (m_data[m_pos] == '\r' || m_data[m_pos] == '\n'))
        ++m_pos;
    if (m_pos >= size || m_data[m_pos] == '\0')
        return token;

    const char c = m_data[m_pos];
    if (c == '{') {
        ++m_pos;
        token.kind = RtfToken::Kind::GroupOpen;
        return token;
    }
    if (c == '}') {
        ++m_pos;
        token.kind = RtfToken::Kind::GroupClose;
        return token;
    }
    if (c != '\\') {
        const qsizetype start = m_pos;
        while (m_pos < size && !endsText(m_data[m_pos]))
            ++m_pos;
        token.kind = RtfToken::Kind::Text;
        token.text = m_data.sliced(start, m_pos - start);
        return token;
    }

    ++m_pos; // the backslash
    if (m_pos >= size || m_data[m_pos] == '\0')
        return token;
    const char d = m_data[m_pos];
    if (isLetter(d)) {
        const qsizetype start = m_pos;
        while (m_pos < size && isLetter(m_data[m_pos]))
            ++m_pos;
        token.kind = RtfToken::Kind::ControlWord;
        token.text = m_data.sliced(start, m_pos - start);
        bool negative = false;
        if (m_pos + 1 < size && m_data[m_pos] == '-' && isDigit(m_data[m_pos + 1])) {
            negative = true;
            ++m_pos;
        }
        if (m_pos < size && isDigit(m_data[m_pos])) {
            // Saturate rather than overflow: absurd numbers are clamped by whoever reads them.
            qint64 value = 0;
            constexpr qint64 limit = qint64(std::numeric_limits<int>::max()) + 1;
            while (m_pos < size && isDigit(m_data[m_pos])) {
                value = std::min(limit, value * 10 + (m_data[m_pos] - '0'));
                ++m_pos;
            }
            value = negative ? -value : std::min(value, limit - 1);
            token.hasParam = true;
            token.param = static_cast<int>(value);
        }
        if (m_pos < size && m_data[m_pos] == ' ')
            ++m_pos;
        return token;
    }
    ++m_pos;
    if (d == '\'') {
        const int high = m_pos < size ? hexValue(m_data[m_pos]) : -1;
        const int low = m_pos + 1 < size ? hexValue(m_data[m_pos + 1]) : -1;
        if (high >= 0 && low >= 0) {
            m_pos += 2;
            token.kind = RtfToken::Kind::HexByte;
            token.byte = static_cast<unsigned char>(high * 16 + low);
            return token;
        }
        // A broken \' escape stands for nothing; what follows it is read as usual.
        token.kind = RtfToken::Kind::ControlSymbol;
        token.symbol = '\'';
        return token;
    }
    token.kind = RtfToken::Kind::ControlSymbol;
    token.symbol = d == '\r' ? '\n' : d;
    return token;
}

} // namespace richtext

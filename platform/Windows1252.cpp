#include "platform/Windows1252.h"

#include <algorithm>
#include <array>

namespace platform {

namespace {

// Bytes 0x80 to 0x9F; the rest of the code page is Latin-1.
constexpr std::array<char16_t, 32> HighRange = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

QString decodeWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = (byte >= 0x80 && byte <= 0x9F) ? QChar(HighRange[byte - 0x80]) : QChar(byte);
    }
    return text;
}

bool encodeWindows1252(QStringView text, QByteArray& bytes)
{
    bytes.clear();
    bytes.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t code = ch.unicode();
        if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
            bytes.append(static_cast<char>(code));
            continue;
        }
        const auto* found = std::find(HighRange.begin(), HighRange.end(), code);
        if (found == HighRange.end())
            return false;
        bytes.append(static_cast<char>(0x80 + (found - HighRange.begin())));
    }
    return true;
}

} // namespace platform

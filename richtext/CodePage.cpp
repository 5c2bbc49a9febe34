#include "richtext/CodePage.h"

#include <QStringDecoder>

#include <algorithm>

namespace richtext {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80-0x9F; its five unassigned bytes map to the C1 controls,
// as Windows itself maps them.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D,
    0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A,
    0x0153, 0x009D, 0x017E, 0x0178,
};

const char* converterName(int codePage)
{
    switch (codePage) {
    case 874: return "windows-874";
    case 932: return "windows-31j";
    case 936: return "GBK";
    case 949: return "windows-949";
    case 950: return "Big5";
    case 1250: return "windows-1250";
    case 1251: return "windows-1251";
    case 1253: return "windows-1253";
    case 1254: return "windows-1254";
    case 1255: return "windows-1255";
    case 1256: return "windows-1256";
    case 1257: return "windows-1257";
    case 1258: return "windows-1258";
    case 437: return "IBM437";
    case 850: return "IBM850";
    case 10000: return "macintosh";
    default: return nullptr;
    }
}

bool isAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

int codePageForCharset(int charset)
{
    switch (charset) {
    case 0: return 1252;
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    case 255: return 850;
    default: return 0;
    }
}

QString decodeWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = (b >= 0x80 && b < 0xA0) ? QChar(kCp1252High[b - 0x80]) : QChar(b);
    }
    return text;
}

CodePageDecoder::CodePageDecoder() = default;
CodePageDecoder::~CodePageDecoder() = default;

QStringDecoder* CodePageDecoder::decoderFor(int codePage)
{
    auto it = m_decoders.find(codePage);
    if (it == m_decoders.end()) {
        std::unique_ptr<QStringDecoder> decoder;
        if (const char* name = converterName(codePage)) {
            decoder = std::make_unique<QStringDecoder>(name, QStringDecoder::Flag::Stateless);
            if (!decoder->isValid())
                decoder.reset();
        }
        it = m_decoders.emplace(codePage, std::move(decoder)).first;
    }
    return it->second.get();
}

QString CodePageDecoder::decode(int codePage, QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return {};
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    if (codePage != 1252) {
        if (QStringDecoder* decoder = decoderFor(codePage))
            return decoder->decode(bytes);
    }
    return decodeWindows1252(bytes);
}

} // namespace richtext

#include "richtext/CodePage.h"

#include "platform/Windows1252.h"

#include <QStringDecoder>

#include <algorithm>

namespace richtext {

namespace {

const char* converterName(int codePage)
{
    switch (codePage) {
    case 874:
        return "windows-874";
    case 932:
        return "windows-31j";
    case 936:
        return "GBK";
    case 949:
        return "windows-949";
    case 950:
        return "Big5";
    case 1250:
        return "windows-1250";
    case 1251:
        return "windows-1251";
    case 1253:
        return "windows-1253";
    case 1254:
        return "windows-1254";
    case 1255:
        return "windows-1255";
    case 1256:
        return "windows-1256";
    case 1257:
        return "windows-1257";
    case 1258:
        return "windows-1258";
    case 437:
        return "IBM437";
    case 850:
        return "IBM850";
    case 10000:
        return "macintosh";
    default:
        return nullptr;
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
    case 0:
        return 1252;
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 254:
        return 437;
    case 255:
        return 850;
    default:
        return 0;
    }
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
    return platform::decodeWindows1252(bytes);
}

} // namespace richtext

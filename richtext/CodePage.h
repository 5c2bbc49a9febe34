#pragma once

#include <QByteArrayView>
#include <QString>

#include <map>
#include <memory>

class QStringDecoder;

namespace richtext {

// Windows code page for an RTF \fcharset value; 0 when the charset names no code page of its own
// (default and symbol charsets), so the document's code page applies.
[[nodiscard]] int codePageForCharset(int charset);

// Decodes byte runs in Windows code pages. Converters are made once per code page and kept; an unknown
// code page or a missing converter falls back to Windows-1252 (platform/Windows1252.h), which needs none.
class CodePageDecoder
{
public:
    CodePageDecoder();
    ~CodePageDecoder();
    CodePageDecoder(const CodePageDecoder&) = delete;
    CodePageDecoder& operator=(const CodePageDecoder&) = delete;

    [[nodiscard]] QString decode(int codePage, QByteArrayView bytes);

private:
    QStringDecoder* decoderFor(int codePage);

    std::map<int, std::unique_ptr<QStringDecoder>> m_decoders;
};

} // namespace richtext

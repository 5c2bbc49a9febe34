#include "richtext/RtfTableReader.h"

#include "richtext/CodePage.h"
#include "richtext/TextSanitizer.h"

#include <algorithm>

namespace richtext {

namespace {

// Real documents have a few dozen fonts and colours; a damaged one must not fill the memory with them.
constexpr std::size_t kMaxTableEntries = 65536;
constexpr qsizetype kMaxFontName = 256;

} // namespace

void RtfTableReader::setDefaultFont(int number)
{
    m_tables.defaultFont = number;
    ++m_tables.generation;
}

void RtfTableReader::startFontTable()
{
    m_fontDraft = {};
    m_fontName.clear();
}

void RtfTableReader::fontWord(RtfCommand cmd, const RtfToken& t)
{
    using C = RtfCommand;
    switch (cmd) {
    case C::Font:
        if (!m_fontName.isEmpty())
            endFont();
        m_fontNumber = t.hasParam ? t.param : 0;
        m_fontDraft = {};
        break;
    case C::FontCharset:
        // An explicit \cpg wins over the charset.
        if (!m_fontDraft.codePage)
            m_fontDraft.codePage = codePageForCharset(t.hasParam ? t.param : 0);
        break;
    case C::FontCodePage:
        m_fontDraft.codePage = t.param > 0 ? t.param : 0;
        break;
    case C::FontNil:
        m_fontDraft.hint = QFont::AnyStyle;
        break;
    case C::FontRoman:
        m_fontDraft.hint = QFont::Serif;
        break;
    case C::FontSwiss:
        m_fontDraft.hint = QFont::SansSerif;
        break;
    case C::FontModern:
        m_fontDraft.hint = QFont::TypeWriter;
        break;
    case C::FontScript:
        m_fontDraft.hint = QFont::Cursive;
        break;
    case C::FontDecor:
        m_fontDraft.hint = QFont::Decorative;
        break;
    case C::FontPitch:
        m_fontDraft.fixedPitch = t.param == 1;
        break;
    default:
        break;
    }
}

void RtfTableReader::appendFontName(QStringView text)
{
    m_fontName += text;
}

void RtfTableReader::endFont()
{
    if (m_tables.fonts.size() < kMaxTableEntries || m_tables.fonts.count(m_fontNumber)) {
        FontEntry entry = m_fontDraft;
        entry.family = sanitizedText(m_fontName.left(kMaxFontName), false).trimmed();
        m_tables.fonts[m_fontNumber] = std::move(entry);
        ++m_tables.generation;
    }
    m_fontName.clear();
    m_fontDraft = {};
}

void RtfTableReader::endFontGroup()
{
    if (!m_fontName.isEmpty())
        endFont();
}

void RtfTableReader::startColorTable()
{
    m_tables.colors.clear();
    ++m_tables.generation;
    m_red = m_green = m_blue = 0;
    m_colorGiven = false;
}

void RtfTableReader::colorWord(RtfCommand cmd, const RtfToken& t)
{
    const int value = std::clamp(t.hasParam ? t.param : 0, 0, 255);
    switch (cmd) {
    case RtfCommand::Red:
        m_red = value;
        break;
    case RtfCommand::Green:
        m_green = value;
        break;
    case RtfCommand::Blue:
        m_blue = value;
        break;
    default:
        return;
    }
    m_colorGiven = true;
}

void RtfTableReader::endColor()
{
    if (m_tables.colors.size() < kMaxTableEntries) {
        m_tables.colors.push_back(m_colorGiven ? QColor(m_red, m_green, m_blue) : QColor());
        ++m_tables.generation;
    }
    m_red = m_green = m_blue = 0;
    m_colorGiven = false;
}

void RtfTableReader::endColorGroup()
{
    if (m_colorGiven)
        endColor();
}

} // namespace richtext

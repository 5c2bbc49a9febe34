#include "richtext/RtfReader.h"

#include "platform/AppError.h"
#include "richtext/CodePage.h"
#include "richtext/RtfCommands.h"
#include "richtext/RtfTokenizer.h"
#include "richtext/TextSanitizer.h"

#include <QColor>
#include <QFont>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace richtext {

namespace {

// Deeper groups share the state of the deepest real one: enough for any real document, and the stack stays
// small whatever the input.
constexpr std::size_t kMaxDepth = 10000;
constexpr int kDefaultHalfPoints = 24;
constexpr int kMaxHalfPoints = 3276;  // 1638 points, the largest size word processors offer
constexpr int kMaxTwips = 31680;      // 22 inches
constexpr int kMaxUnicodeSkip = 16;
constexpr double kTwipsPerPixel = 15.0; // document lengths are pixels at 96 dpi

enum class Dest : quint8 { Text, FontTable, ColorTable, Skip };
enum class Align : quint8 { Left, Centre, Right, Justify };

struct CharProps
{
    int font = -1; // -1: the document's default font
    int halfPoints = kDefaultHalfPoints;
    int foreColor = 0;
    int backColor = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool hidden = false;
    bool operator==(const CharProps&) const = default;
};

struct ParaProps
{
    Align align = Align::Left;
    int leftIndent = 0;
    int rightIndent = 0;
    int firstIndent = 0;
    int spaceBefore = 0;
    int spaceAfter = 0;
    bool inTable = false;
    bool operator==(const ParaProps&) const = default;
};

struct Group
{
    CharProps chr;
    ParaProps para;
    int unicodeSkip = 1;
    Dest dest = Dest::Text;
};

struct FontEntry
{
    QString family;
    QFont::StyleHint hint = QFont::AnyStyle;
    int codePage = 0;
    bool fixedPitch = false;
};

int clampedTwips(const RtfToken& t)
{
    return std::clamp(t.hasParam ? t.param : 0, -kMaxTwips, kMaxTwips);
}

bool switchOn(const RtfToken& t)
{
    return !t.hasParam || t.param != 0;
}

class Reader
{
public:
    Reader(QByteArrayView data, QTextDocument& doc, const QFont& baseFont)
        : m_tokens(data), m_cursor(&doc), m_baseFamily(baseFont.family())
    {
        m_stack.emplace_back();
    }

    void run();

private:
    void readTokens();
    Group& top() { return m_stack.back(); }

    void openGroup();
    bool closeGroup();
    void handleText(QByteArrayView text);
    void handleByte(unsigned char byte);
    void handleSymbol(char symbol);
    void handleWord(const RtfToken& t);
    void handleFontTableWord(RtfCommand cmd, const RtfToken& t);
    bool skipFallback(RtfToken& t);

    int codePage() const;
    void pushByte(unsigned char byte);
    void flushBytes();
    void appendText(QStringView text);
    void appendUnicode(int value);
    void flushRun();
    void startBlock();
    void endParagraph();
    void softBreak();
    void finish();
    void commitFont();
    void commitColor();

    const FontEntry* fontFor(int number) const;
    QColor color(int index) const;
    QTextCharFormat charFormat(const CharProps& chr);
    QTextBlockFormat blockFormat(const ParaProps& para) const;

    RtfTokenizer m_tokens;
    QTextCursor m_cursor;
    QString m_baseFamily;
    CodePageDecoder m_decoder;

    std::vector<Group> m_stack;
    std::size_t m_overflowDepth = 0;
    int m_fallbackToSkip = 0;

    int m_docCodePage = 1252;
    int m_defaultFont = 0;
    std::unordered_map<int, FontEntry> m_fonts;
    int m_fontNumber = 0;
    FontEntry m_fontDraft;
    QString m_fontName;
    std::vector<QColor> m_colors;
    int m_red = 0, m_green = 0, m_blue = 0;
    bool m_colorGiven = false;

    QByteArray m_bytes;
    int m_bytesCodePage = 1252;
    QString m_run;
    CharProps m_runProps;
    // A block starts with its first content (or \par): a final \par adds no empty paragraph, and the
    // document's first block is the one every document has.
    bool m_blockPending = true;
    bool m_firstBlock = true;
    bool m_blockHasText = false;
    ParaProps m_blockProps;      // the formats the current block was given when it started
    CharProps m_blockCharProps;
    CharProps m_cachedProps;
    QTextCharFormat m_cachedFormat;
    bool m_cacheValid = false;   // cleared whenever the font or colour table changes
    bool m_cellPending = false;  // a \cell ended a cell; a tab separates it from the next one's text
    bool m_cellLinePending = false; // a \par inside a cell; a line break if more of the cell follows
};

void Reader::run()
{
    m_cursor.beginEditBlock();
    readTokens();
    m_cursor.endEditBlock();
}

void Reader::readTokens()
{
    while (true) {
        RtfToken t = m_tokens.next();
        if (t.kind == RtfToken::Kind::End)
            break;
        if (m_fallbackToSkip > 0 && skipFallback(t))
            continue;
        if (t.kind != RtfToken::Kind::Text && t.kind != RtfToken::Kind::HexByte)
            flushBytes();
        switch (t.kind) {
        case RtfToken::Kind::GroupOpen: openGroup(); break;
        case RtfToken::Kind::GroupClose:
            if (!closeGroup()) {
                finish();
                return;
            }
            break;
        case RtfToken::Kind::Text: handleText(t.text); break;
        case RtfToken::Kind::HexByte: handleByte(t.byte); break;
        case RtfToken::Kind::ControlSymbol: handleSymbol(t.symbol); break;
        case RtfToken::Kind::ControlWord: handleWord(t); break;
        case RtfToken::Kind::End: break;
        }
    }
    flushBytes();
    finish();
}

// After \uN the next characters are the fallback for readers without Unicode: each text byte, \'hh or
// control word counts as one; a brace ends the fallback. Returns true when the token was consumed.
bool Reader::skipFallback(RtfToken& t)
{
    switch (t.kind) {
    case RtfToken::Kind::Text: {
        const qsizetype n = std::min<qsizetype>(m_fallbackToSkip, t.text.size());
        m_fallbackToSkip -= static_cast<int>(n);
        t.text = t.text.sliced(n);
        return t.text.isEmpty();
    }
    case RtfToken::Kind::ControlWord:
        if (rtfCommand(t.text) == RtfCommand::Binary)
            m_tokens.skipBytes(t.hasParam ? t.param : 0);
        --m_fallbackToSkip;
        return true;
    case RtfToken::Kind::HexByte:
    case RtfToken::Kind::ControlSymbol:
        --m_fallbackToSkip;
        return true;
    default:
        m_fallbackToSkip = 0;
        return false;
    }
}

void Reader::openGroup()
{
    if (m_stack.size() < kMaxDepth) {
        Group copy = top();
        m_stack.push_back(copy);
    } else {
        ++m_overflowDepth;
    }
}

// Returns false when the outermost group closes: the document ends there.
bool Reader::closeGroup()
{
    if (m_overflowDepth > 0) {
        --m_overflowDepth;
        return true;
    }
    if (m_stack.size() == 1)
        return false;
    if (top().dest == Dest::FontTable && !m_fontName.isEmpty())
        commitFont();
    if (top().dest == Dest::ColorTable && m_colorGiven)
        commitColor();
    m_stack.pop_back();
    return true;
}

int Reader::codePage() const
{
    const Group& g = m_stack.back();
    if (g.dest == Dest::FontTable)
        return m_fontDraft.codePage ? m_fontDraft.codePage : m_docCodePage;
    const FontEntry* font = fontFor(g.chr.font);
    return font && font->codePage ? font->codePage : m_docCodePage;
}

void Reader::pushByte(unsigned char byte)
{
    const int cp = codePage();
    if (!m_bytes.isEmpty() && cp != m_bytesCodePage)
        flushBytes();
    m_bytesCodePage = cp;
    m_bytes.append(static_cast<char>(byte));
}

void Reader::flushBytes()
{
    if (m_bytes.isEmpty())
        return;
    const QString text = m_decoder.decode(m_bytesCodePage, m_bytes);
    m_bytes.clear();
    if (top().dest == Dest::Text)
        appendText(text);
    else if (top().dest == Dest::FontTable)
        m_fontName += text;
}

void Reader::handleText(QByteArrayView text)
{
    switch (top().dest) {
    case Dest::Text:
        if (!m_bytes.isEmpty() && codePage() != m_bytesCodePage)
            flushBytes();
        m_bytesCodePage = codePage();
        m_bytes.append(text.data(), text.size());
        break;
    case Dest::FontTable:
        for (const char c : text) {
            if (c == ';') {
                flushBytes();
                commitFont();
            } else {
                pushByte(static_cast<unsigned char>(c));
            }
        }
        break;
    case Dest::ColorTable:
        for (const char c : text) {
            if (c == ';')
                commitColor();
        }
        break;
    case Dest::Skip: break;
    }
}

void Reader::handleByte(unsigned char byte)
{
    if (top().dest == Dest::Text || top().dest == Dest::FontTable)
        pushByte(byte);
}

void Reader::handleSymbol(char symbol)
{
    Group& g = top();
    if (symbol == '*') {
        g.dest = Dest::Skip;
        return;
    }
    if (g.dest == Dest::FontTable && (symbol == '\\' || symbol == '{' || symbol == '}')) {
        m_fontName += QLatin1Char(symbol);
        return;
    }
    if (g.dest != Dest::Text)
        return;
    switch (symbol) {
    case '\\':
    case '{':
    case '}': appendText(QString(QLatin1Char(symbol))); break;
    case '~': appendText(u"\u00A0"); break;
    case '-': appendText(u"\u00AD"); break;
    case '_': appendText(u"\u2011"); break;
    case '\n': endParagraph(); break;
    case '\t': appendText(u"\t"); break;
    default: break; // \: \| and a broken \' stand for nothing
    }
}

void Reader::handleWord(const RtfToken& t)
{
    const RtfCommand cmd = rtfCommand(t.text);
    using C = RtfCommand;
    if (cmd == C::Binary) {
        m_tokens.skipBytes(t.hasParam ? t.param : 0);
        return;
    }
    Group& g = top();
    switch (g.dest) {
    case Dest::Skip: return;
    case Dest::FontTable: handleFontTableWord(cmd, t); return;
    case Dest::ColorTable:
        if (cmd == C::Red || cmd == C::Green || cmd == C::Blue) {
            const int value = std::clamp(t.hasParam ? t.param : 0, 0, 255);
            (cmd == C::Red ? m_red : cmd == C::Green ? m_green : m_blue) = value;
            m_colorGiven = true;
        }
        return;
    case Dest::Text: break;
    }

    switch (cmd) {
    case C::FontTable:
        g.dest = Dest::FontTable;
        m_fontDraft = {};
        m_fontName.clear();
        break;
    case C::ColorTable:
        g.dest = Dest::ColorTable;
        m_colors.clear();
        m_cacheValid = false;
        m_colorGiven = false;
        m_red = m_green = m_blue = 0;
        break;
    case C::SkipDestination: g.dest = Dest::Skip; break;
    case C::Ansi: m_docCodePage = 1252; break;
    case C::Mac: m_docCodePage = 10000; break;
    case C::Pc: m_docCodePage = 437; break;
    case C::Pca: m_docCodePage = 850; break;
    case C::AnsiCodePage: m_docCodePage = t.param > 0 ? t.param : 1252; break;
    case C::DefaultFont:
        m_defaultFont = t.hasParam ? t.param : 0;
        m_cacheValid = false;
        break;
    case C::Font: g.chr.font = t.hasParam ? t.param : 0; break;
    case C::Plain: g.chr = CharProps{}; break;
    case C::FontSize:
        g.chr.halfPoints = t.hasParam ? std::clamp(t.param, 2, kMaxHalfPoints) : kDefaultHalfPoints;
        break;
    case C::Bold: g.chr.bold = switchOn(t); break;
    case C::Italic: g.chr.italic = switchOn(t); break;
    case C::Underline: g.chr.underline = switchOn(t); break;
    case C::UnderlineNone: g.chr.underline = false; break;
    case C::Strike: g.chr.strike = switchOn(t); break;
    case C::Hidden: g.chr.hidden = switchOn(t); break;
    case C::ForeColor: g.chr.foreColor = t.hasParam ? t.param : 0; break;
    case C::BackColor: g.chr.backColor = t.hasParam ? t.param : 0; break;
    case C::UnicodeSkip: g.unicodeSkip = std::clamp(t.hasParam ? t.param : 1, 0, kMaxUnicodeSkip); break;
    case C::Unicode:
        if (t.hasParam)
            appendUnicode(t.param);
        break;
    case C::ParagraphDefaults: g.para = ParaProps{}; break;
    case C::Paragraph:
        // A table row reads as one paragraph, so paragraphs inside a cell become lines of it.
        if (g.para.inTable) {
            flushRun();
            m_cellLinePending = true;
        } else {
            endParagraph();
        }
        break;
    case C::InTable: g.para.inTable = true; break;
    case C::SoftBreak: softBreak(); break;
    case C::Line: appendText(QString(QChar::LineSeparator)); break;
    case C::Tab: appendText(u"\t"); break;
    case C::AlignLeft: g.para.align = Align::Left; break;
    case C::AlignCentre: g.para.align = Align::Centre; break;
    case C::AlignRight: g.para.align = Align::Right; break;
    case C::AlignJustify: g.para.align = Align::Justify; break;
    case C::LeftIndent: g.para.leftIndent = clampedTwips(t); break;
    case C::RightIndent: g.para.rightIndent = clampedTwips(t); break;
    case C::FirstIndent: g.para.firstIndent = clampedTwips(t); break;
    case C::SpaceBefore: g.para.spaceBefore = std::max(0, clampedTwips(t)); break;
    case C::SpaceAfter: g.para.spaceAfter = std::max(0, clampedTwips(t)); break;
    case C::Cell:
        m_cellLinePending = false;
        if (m_cellPending) {
            m_cellPending = false;
            appendText(u"\t");
        }
        m_cellPending = true;
        break;
    case C::Row:
        m_cellPending = false;
        m_cellLinePending = false;
        endParagraph();
        break;
    case C::EmDash: appendText(u"\u2014"); break;
    case C::EnDash: appendText(u"\u2013"); break;
    case C::LeftQuote: appendText(u"\u2018"); break;
    case C::RightQuote: appendText(u"\u2019"); break;
    case C::LeftDoubleQuote: appendText(u"\u201C"); break;
    case C::RightDoubleQuote: appendText(u"\u201D"); break;
    case C::Bullet: appendText(u"\u2022"); break;
    case C::EmSpace: appendText(u"\u2003"); break;
    case C::EnSpace: appendText(u"\u2002"); break;
    case C::QuarterEmSpace: appendText(u"\u2005"); break;
    case C::ZeroWidthJoiner: appendText(u"\u200D"); break;
    case C::ZeroWidthNonJoiner: appendText(u"\u200C"); break;
    case C::LeftToRightMark: appendText(u"\u200E"); break;
    case C::RightToLeftMark: appendText(u"\u200F"); break;
    default: break;
    }
}

void Reader::handleFontTableWord(RtfCommand cmd, const RtfToken& t)
{
    using C = RtfCommand;
    switch (cmd) {
    case C::Font:
        if (!m_fontName.isEmpty())
            commitFont();
        m_fontNumber = t.hasParam ? t.param : 0;
        m_fontDraft = {};
        break;
    case C::FontCharset: {
        // An explicit \cpg wins over the charset.
        if (!m_fontDraft.codePage)
            m_fontDraft.codePage = codePageForCharset(t.hasParam ? t.param : 0);
        break;
    }
    case C::FontCodePage: m_fontDraft.codePage = t.param > 0 ? t.param : 0; break;
    case C::FontNil: m_fontDraft.hint = QFont::AnyStyle; break;
    case C::FontRoman: m_fontDraft.hint = QFont::Serif; break;
    case C::FontSwiss: m_fontDraft.hint = QFont::SansSerif; break;
    case C::FontModern: m_fontDraft.hint = QFont::TypeWriter; break;
    case C::FontScript: m_fontDraft.hint = QFont::Cursive; break;
    case C::FontDecor: m_fontDraft.hint = QFont::Decorative; break;
    case C::FontTech: m_fontDraft.hint = QFont::AnyStyle; break;
    case C::FontPitch: m_fontDraft.fixedPitch = t.param == 1; break;
    case C::Unicode:
        if (t.hasParam) {
            flushBytes();
            int value = t.param < 0 ? t.param + 65536 : t.param;
            m_fontName += value >= 0 && value <= 0xFFFF ? QChar(value) : QChar(QChar::ReplacementCharacter);
            m_fallbackToSkip = top().unicodeSkip;
        }
        break;
    case C::UnicodeSkip: top().unicodeSkip = std::clamp(t.hasParam ? t.param : 1, 0, kMaxUnicodeSkip); break;
    case C::SkipDestination: top().dest = Dest::Skip; break;
    default: break;
    }
}

void Reader::commitFont()
{
    FontEntry entry = m_fontDraft;
    entry.family = sanitizedText(m_fontName, false).trimmed();
    m_fonts[m_fontNumber] = std::move(entry);
    m_cacheValid = false;
    m_fontName.clear();
    m_fontDraft = {};
}

void Reader::commitColor()
{
    m_colors.push_back(m_colorGiven ? QColor(m_red, m_green, m_blue) : QColor());
    m_cacheValid = false;
    m_red = m_green = m_blue = 0;
    m_colorGiven = false;
}

void Reader::appendUnicode(int value)
{
    if (value < 0)
        value += 65536;
    appendText(QString(value >= 0 && value <= 0xFFFF ? QChar(value) : QChar(QChar::ReplacementCharacter)));
    m_fallbackToSkip = top().unicodeSkip;
}

void Reader::appendText(QStringView text)
{
    if (text.isEmpty() || top().chr.hidden)
        return;
    if (m_blockPending)
        startBlock();
    if (m_cellPending) {
        m_cellPending = false;
        appendText(u"\t");
    }
    if (m_cellLinePending) {
        m_cellLinePending = false;
        appendText(QString(QChar::LineSeparator));
    }
    if (top().chr != m_runProps) {
        flushRun();
        m_runProps = top().chr;
    }
    m_run += text;
}

void Reader::flushRun()
{
    if (m_run.isEmpty())
        return;
    const QString text = sanitizedText(m_run, false);
    m_run.clear();
    if (text.isEmpty())
        return;
    m_cursor.insertText(text, charFormat(m_runProps));
    m_blockHasText = true;
}

// A block gets the formats in force where it starts; they are corrected at its end only when they changed,
// which they seldom do (changing a block's formats afterwards is what costs in a large document).
void Reader::startBlock()
{
    m_blockProps = top().para;
    m_blockCharProps = top().chr;
    if (m_firstBlock) {
        m_cursor.setBlockFormat(blockFormat(m_blockProps));
        m_cursor.setBlockCharFormat(charFormat(m_blockCharProps));
        m_firstBlock = false;
    } else {
        m_cursor.insertBlock(blockFormat(m_blockProps), charFormat(m_blockCharProps));
    }
    m_blockPending = false;
    m_blockHasText = false;
}

void Reader::endParagraph()
{
    flushRun();
    if (m_blockPending)
        startBlock();
    if (top().para != m_blockProps)
        m_cursor.setBlockFormat(blockFormat(top().para));
    if (!m_blockHasText && top().chr != m_blockCharProps)
        m_cursor.setBlockCharFormat(charFormat(top().chr));
    m_blockPending = true;
    m_cellPending = false;
    m_cellLinePending = false;
}

// \page and \sect end the paragraph they are in, but add no empty paragraph of their own.
void Reader::softBreak()
{
    flushRun();
    if (!m_blockPending && m_blockHasText)
        endParagraph();
}

// The last paragraph needs no \par; a final \par adds no empty paragraph after it.
void Reader::finish()
{
    flushRun();
    if (m_firstBlock)
        startBlock();
    if (m_blockPending)
        return;
    if (top().para != m_blockProps)
        m_cursor.setBlockFormat(blockFormat(top().para));
    if (!m_blockHasText && top().chr != m_blockCharProps)
        m_cursor.setBlockCharFormat(charFormat(top().chr));
}

const FontEntry* Reader::fontFor(int number) const
{
    auto it = m_fonts.find(number < 0 ? m_defaultFont : number);
    if (it == m_fonts.end() && number >= 0)
        it = m_fonts.find(m_defaultFont);
    return it == m_fonts.end() ? nullptr : &it->second;
}

QColor Reader::color(int index) const
{
    if (index <= 0 || static_cast<std::size_t>(index) >= m_colors.size())
        return {};
    return m_colors[static_cast<std::size_t>(index)];
}

QTextCharFormat Reader::charFormat(const CharProps& chr)
{
    if (m_cacheValid && chr == m_cachedProps)
        return m_cachedFormat;
    QTextCharFormat format;
    const FontEntry* font = fontFor(chr.font);
    format.setFontFamilies(QStringList{font && !font->family.isEmpty() ? font->family : m_baseFamily});
    if (font && font->hint != QFont::AnyStyle)
        format.setFontStyleHint(font->hint);
    if (font && font->fixedPitch)
        format.setFontFixedPitch(true);
    format.setFontPointSize(chr.halfPoints / 2.0);
    format.setFontWeight(chr.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(chr.italic);
    format.setFontUnderline(chr.underline);
    format.setFontStrikeOut(chr.strike);
    if (const QColor c = color(chr.foreColor); c.isValid())
        format.setForeground(c);
    if (const QColor c = color(chr.backColor); c.isValid())
        format.setBackground(c);
    m_cachedProps = chr;
    m_cachedFormat = format;
    m_cacheValid = true;
    return format;
}

QTextBlockFormat Reader::blockFormat(const ParaProps& para) const
{
    QTextBlockFormat format;
    switch (para.align) {
    case Align::Left: format.setAlignment(Qt::AlignLeft); break;
    case Align::Centre: format.setAlignment(Qt::AlignHCenter); break;
    case Align::Right: format.setAlignment(Qt::AlignRight); break;
    case Align::Justify: format.setAlignment(Qt::AlignJustify); break;
    }
    if (para.leftIndent)
        format.setLeftMargin(para.leftIndent / kTwipsPerPixel);
    if (para.rightIndent)
        format.setRightMargin(para.rightIndent / kTwipsPerPixel);
    if (para.firstIndent)
        format.setTextIndent(para.firstIndent / kTwipsPerPixel);
    if (para.spaceBefore)
        format.setTopMargin(para.spaceBefore / kTwipsPerPixel);
    if (para.spaceAfter)
        format.setBottomMargin(para.spaceAfter / kTwipsPerPixel);
    return format;
}

// Whether anything but white space follows the "{\rtf" header word.
bool hasContent(QByteArrayView data)
{
    qsizetype pos = data.indexOf("{\\rtf") + 5;
    while (pos < data.size() && data[pos] >= '0' && data[pos] <= '9')
        ++pos;
    for (; pos < data.size() && data[pos] != '\0'; ++pos) {
        const char c = data[pos];
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            return true;
    }
    return false;
}

} // namespace

void readRtf(QByteArrayView data, QTextDocument& doc, const QFont& baseFont)
{
    if (!hasContent(data))
        throw platform::AppError(QStringLiteral("Failed to Load Stream"));
    // Start after the header word: the reader's first state is the outermost group.
    const qsizetype start = data.indexOf("{\\rtf") + 5;
    qsizetype pos = start;
    while (pos < data.size() && data[pos] >= '0' && data[pos] <= '9')
        ++pos;
    if (pos < data.size() && data[pos] == ' ')
        ++pos;

    const bool undo = doc.isUndoRedoEnabled();
    doc.setUndoRedoEnabled(false);
    doc.clear();
    doc.setDefaultFont(baseFont);
    {
        Reader reader(data.sliced(pos), doc, baseFont);
        reader.run();
    }
    doc.setUndoRedoEnabled(undo);
    doc.setModified(false);
}

} // namespace richtext

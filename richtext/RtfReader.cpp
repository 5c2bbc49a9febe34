#include "richtext/RtfReader.h"

#include "platform/AppError.h"
#include "richtext/CodePage.h"
#include "richtext/RtfCommands.h"
#include "richtext/RtfDocumentBuilder.h"
#include "richtext/RtfTokenizer.h"
#include "richtext/TextSanitizer.h"

#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <vector>

namespace richtext {

namespace {

// Deeper groups share the state of the deepest real one: enough for any real document, and the stack stays
// small whatever the input.
constexpr std::size_t kMaxDepth = 10000;
constexpr int kMaxHalfPoints = 3276; // 1638 points, the largest size word processors offer
constexpr int kMaxTwips = 31680;     // 22 inches
constexpr int kMaxUnicodeSkip = 16;

enum class Dest : quint8 { Text, FontTable, ColorTable, Skip };

struct Group
{
    CharProps chr;
    ParaProps para;
    bool inTable = false;
    int unicodeSkip = 1;
    Dest dest = Dest::Text;
};

int clampedTwips(const RtfToken& t)
{
    return std::clamp(t.hasParam ? t.param : 0, -kMaxTwips, kMaxTwips);
}

bool switchOn(const RtfToken& t)
{
    return !t.hasParam || t.param != 0;
}

QChar unicodeChar(int value)
{
    if (value < 0)
        value += 65536;
    return value >= 0 && value <= 0xFFFF ? QChar(value) : QChar(QChar::ReplacementCharacter);
}

// Reads the groups, destinations and control words of RTF; the builder turns what they mean into the document.
class Reader
{
public:
    Reader(QByteArrayView data, QTextDocument& doc, const QFont& baseFont)
        : m_tokens(data), m_builder(doc, m_tables, baseFont.family())
    {
        m_stack.emplace_back();
    }

    void run();

private:
    Group& top() { return m_stack.back(); }

    void openGroup();
    bool closeGroup();
    bool skipFallback(RtfToken& t);
    void handleText(QByteArrayView text);
    void handleSymbol(char symbol);
    void handleWord(const RtfToken& t);
    void handleTextWord(RtfCommand cmd, const RtfToken& t);
    void handleFontTableWord(RtfCommand cmd, const RtfToken& t);

    int codePage();
    void pushByte(unsigned char byte);
    void flushBytes();
    void appendText(QStringView text);
    void commitFont();
    void commitColor();

    RtfTokenizer m_tokens;
    RtfTables m_tables;
    RtfDocumentBuilder m_builder;
    CodePageDecoder m_decoder;

    std::vector<Group> m_stack;
    std::size_t m_overflowDepth = 0;
    int m_fallbackToSkip = 0;
    int m_docCodePage = 1252;

    int m_fontNumber = 0; // the font table entry being read
    FontEntry m_fontDraft;
    QString m_fontName;
    int m_red = 0; // the colour table entry being read
    int m_green = 0;
    int m_blue = 0;
    bool m_colorGiven = false;

    QByteArray m_bytes; // text bytes not yet decoded, all in one code page
    int m_bytesCodePage = 1252;
};

void Reader::run()
{
    while (true) {
        RtfToken t = m_tokens.next();
        if (t.kind == RtfToken::Kind::End)
            break;
        if (m_fallbackToSkip > 0 && skipFallback(t))
            continue;
        // Runs of text bytes and \'hh decode together: a double-byte character may be split between them.
        if (t.kind != RtfToken::Kind::Text && t.kind != RtfToken::Kind::HexByte)
            flushBytes();
        switch (t.kind) {
        case RtfToken::Kind::GroupOpen: openGroup(); break;
        case RtfToken::Kind::GroupClose:
            if (!closeGroup()) {
                m_builder.finish(top().chr, top().para);
                return;
            }
            break;
        case RtfToken::Kind::Text: handleText(t.text); break;
        case RtfToken::Kind::HexByte:
            if (top().dest == Dest::Text || top().dest == Dest::FontTable)
                pushByte(t.byte);
            break;
        case RtfToken::Kind::ControlSymbol: handleSymbol(t.symbol); break;
        case RtfToken::Kind::ControlWord: handleWord(t); break;
        case RtfToken::Kind::End: break;
        }
    }
    flushBytes();
    m_builder.finish(top().chr, top().para);
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

int Reader::codePage()
{
    const Group& g = top();
    if (g.dest == Dest::FontTable)
        return m_fontDraft.codePage ? m_fontDraft.codePage : m_docCodePage;
    const FontEntry* font = m_tables.font(g.chr.font);
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

void Reader::appendText(QStringView text)
{
    if (!top().chr.hidden)
        m_builder.appendText(text, top().chr, top().para);
}

void Reader::handleText(QByteArrayView text)
{
    switch (top().dest) {
    case Dest::Text: {
        const int cp = codePage();
        if (!m_bytes.isEmpty() && cp != m_bytesCodePage)
            flushBytes();
        m_bytesCodePage = cp;
        m_bytes.append(text.data(), text.size());
        break;
    }
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
    case '\n': handleTextWord(RtfCommand::Paragraph, RtfToken()); break;
    default: break; // \: \| and a broken \' stand for nothing
    }
}

void Reader::handleWord(const RtfToken& t)
{
    const RtfCommand cmd = rtfCommand(t.text);
    if (cmd == RtfCommand::Binary) {
        m_tokens.skipBytes(t.hasParam ? t.param : 0);
        return;
    }
    switch (top().dest) {
    case Dest::Skip: break;
    case Dest::FontTable: handleFontTableWord(cmd, t); break;
    case Dest::ColorTable:
        if (cmd == RtfCommand::Red || cmd == RtfCommand::Green || cmd == RtfCommand::Blue) {
            const int value = std::clamp(t.hasParam ? t.param : 0, 0, 255);
            (cmd == RtfCommand::Red ? m_red : cmd == RtfCommand::Green ? m_green : m_blue) = value;
            m_colorGiven = true;
        }
        break;
    case Dest::Text: handleTextWord(cmd, t); break;
    }
}

void Reader::handleTextWord(RtfCommand cmd, const RtfToken& t)
{
    using C = RtfCommand;
    Group& g = top();
    CharProps& chr = g.chr;
    ParaProps& para = g.para;
    switch (cmd) {
    case C::FontTable:
        g.dest = Dest::FontTable;
        m_fontDraft = {};
        m_fontName.clear();
        break;
    case C::ColorTable:
        g.dest = Dest::ColorTable;
        m_tables.colors.clear();
        ++m_tables.generation;
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
        m_tables.defaultFont = t.hasParam ? t.param : 0;
        ++m_tables.generation;
        break;
    case C::Font: chr.font = t.hasParam ? t.param : 0; break;
    case C::Plain: chr = CharProps{}; break;
    case C::FontSize: chr.halfPoints = t.hasParam ? std::clamp(t.param, 2, kMaxHalfPoints) : kDefaultHalfPoints; break;
    case C::Bold: chr.bold = switchOn(t); break;
    case C::Italic: chr.italic = switchOn(t); break;
    case C::Underline: chr.underline = switchOn(t); break;
    case C::UnderlineNone: chr.underline = false; break;
    case C::Strike: chr.strike = switchOn(t); break;
    case C::Hidden: chr.hidden = switchOn(t); break;
    case C::ForeColor: chr.foreColor = t.hasParam ? t.param : 0; break;
    case C::BackColor: chr.backColor = t.hasParam ? t.param : 0; break;
    case C::UnicodeSkip: g.unicodeSkip = std::clamp(t.hasParam ? t.param : 1, 0, kMaxUnicodeSkip); break;
    case C::Unicode:
        if (t.hasParam) {
            appendText(QString(unicodeChar(t.param)));
            m_fallbackToSkip = g.unicodeSkip;
        }
        break;
    case C::ParagraphDefaults:
        para = ParaProps{};
        g.inTable = false;
        break;
    case C::Paragraph:
        // A table row reads as one paragraph, so paragraphs inside a cell become lines of it.
        if (g.inTable)
            m_builder.endCellLine();
        else
            m_builder.endParagraph(chr, para);
        break;
    case C::SoftBreak: m_builder.softBreak(chr, para); break;
    case C::Line: appendText(QString(QChar::LineSeparator)); break;
    case C::Tab: appendText(u"\t"); break;
    case C::AlignLeft: para.align = Align::Left; break;
    case C::AlignCentre: para.align = Align::Centre; break;
    case C::AlignRight: para.align = Align::Right; break;
    case C::AlignJustify: para.align = Align::Justify; break;
    case C::LeftIndent: para.leftIndent = clampedTwips(t); break;
    case C::RightIndent: para.rightIndent = clampedTwips(t); break;
    case C::FirstIndent: para.firstIndent = clampedTwips(t); break;
    case C::SpaceBefore: para.spaceBefore = std::max(0, clampedTwips(t)); break;
    case C::SpaceAfter: para.spaceAfter = std::max(0, clampedTwips(t)); break;
    case C::InTable: g.inTable = true; break;
    case C::Cell: m_builder.endCell(chr, para); break;
    case C::Row: m_builder.endRow(chr, para); break;
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
    case C::FontCharset:
        // An explicit \cpg wins over the charset.
        if (!m_fontDraft.codePage)
            m_fontDraft.codePage = codePageForCharset(t.hasParam ? t.param : 0);
        break;
    case C::FontCodePage: m_fontDraft.codePage = t.param > 0 ? t.param : 0; break;
    case C::FontNil:
    case C::FontTech: m_fontDraft.hint = QFont::AnyStyle; break;
    case C::FontRoman: m_fontDraft.hint = QFont::Serif; break;
    case C::FontSwiss: m_fontDraft.hint = QFont::SansSerif; break;
    case C::FontModern: m_fontDraft.hint = QFont::TypeWriter; break;
    case C::FontScript: m_fontDraft.hint = QFont::Cursive; break;
    case C::FontDecor: m_fontDraft.hint = QFont::Decorative; break;
    case C::FontPitch: m_fontDraft.fixedPitch = t.param == 1; break;
    case C::Unicode:
        if (t.hasParam) {
            m_fontName += unicodeChar(t.param);
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
    m_tables.fonts[m_fontNumber] = std::move(entry);
    ++m_tables.generation;
    m_fontName.clear();
    m_fontDraft = {};
}

void Reader::commitColor()
{
    m_tables.colors.push_back(m_colorGiven ? QColor(m_red, m_green, m_blue) : QColor());
    ++m_tables.generation;
    m_red = m_green = m_blue = 0;
    m_colorGiven = false;
}

// Where the content starts after the "{\rtf" header word (and its version number and delimiting space),
// or -1 when nothing but white space follows it.
qsizetype contentStart(QByteArrayView data)
{
    qsizetype pos = data.indexOf("{\\rtf") + 5;
    while (pos < data.size() && data[pos] >= '0' && data[pos] <= '9')
        ++pos;
    const qsizetype start = pos < data.size() && data[pos] == ' ' ? pos + 1 : pos;
    for (; pos < data.size() && data[pos] != '\0'; ++pos) {
        const char c = data[pos];
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            return start;
    }
    return -1;
}

} // namespace

void readRtf(QByteArrayView data, QTextDocument& doc, const QFont& baseFont)
{
    const qsizetype start = contentStart(data);
    if (start < 0)
        throw platform::AppError(QStringLiteral("Failed to Load Stream"));

    const bool undo = doc.isUndoRedoEnabled();
    doc.setUndoRedoEnabled(false);
    doc.clear();
    doc.setDefaultFont(baseFont);
    {
        // The reader's first state is the outermost group's.
        QTextCursor batch(&doc); // one edit block: the layout follows once, not at every insertion
        batch.beginEditBlock();
        Reader reader(data.sliced(start), doc, baseFont);
        reader.run();
        batch.endEditBlock();
    }
    doc.setUndoRedoEnabled(undo);
    doc.setModified(false);
}

} // namespace richtext

#include "richtext/RtfReader.h"

#include "platform/AppError.h"
#include "richtext/CodePage.h"
#include "richtext/RtfCommands.h"
#include "richtext/RtfDocumentBuilder.h"
#include "richtext/RtfTableReader.h"
#include "richtext/RtfTokenizer.h"

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

int param(const RtfToken& t, int absent)
{
    return t.hasParam ? t.param : absent;
}

int twips(const RtfToken& t)
{
    return std::clamp(param(t, 0), -kMaxTwips, kMaxTwips);
}

bool switchOn(const RtfToken& t)
{
    return param(t, 1) != 0;
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
        : m_tokens(data), m_builder(doc, m_tables.tables(), baseFont.family())
    {
        m_stack.emplace_back();
    }

    void run();
    // Twips between the tab stops a paragraph does not set; RTF's own default when the file names none.
    [[nodiscard]] int defaultTab() const { return m_defaultTab; }

private:
    Group& top() { return m_stack.back(); }

    void openGroup();
    bool closeGroup();
    bool skipFallback(RtfToken& t);
    void handleText(QByteArrayView text);
    void handleSymbol(char symbol);
    void handleWord(const RtfToken& t);
    void handleTextWord(RtfCommand cmd, const RtfToken& t);
    void handleCharacterWord(RtfCommand cmd, const RtfToken& t);
    void handleParagraphWord(RtfCommand cmd, const RtfToken& t);
    void handleFontTableWord(RtfCommand cmd, const RtfToken& t);
    void handleUnicode(RtfCommand cmd, const RtfToken& t);

    int codePage();
    void pushBytes(QByteArrayView bytes);
    void flushBytes();
    void appendText(QStringView text);

    RtfTokenizer m_tokens;
    RtfTableReader m_tables;
    RtfDocumentBuilder m_builder;
    CodePageDecoder m_decoder;

    std::vector<Group> m_stack;
    std::size_t m_overflowDepth = 0;
    int m_fallbackToSkip = 0;
    int m_docCodePage = 1252;
    int m_defaultTab = 720;

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
        case RtfToken::Kind::GroupOpen:
            openGroup();
            break;
        case RtfToken::Kind::GroupClose:
            if (!closeGroup()) {
                m_builder.finish(top().chr, top().para);
                return;
            }
            break;
        case RtfToken::Kind::Text:
            handleText(t.text);
            break;
        case RtfToken::Kind::HexByte:
            if (top().dest == Dest::Text || top().dest == Dest::FontTable)
                pushBytes(QByteArrayView(reinterpret_cast<const char*>(&t.byte), 1));
            break;
        case RtfToken::Kind::ControlSymbol:
            handleSymbol(t.symbol);
            break;
        case RtfToken::Kind::ControlWord:
            handleWord(t);
            break;
        case RtfToken::Kind::End:
            break;
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
            m_tokens.skipBytes(param(t, 0));
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
    if (top().dest == Dest::FontTable)
        m_tables.endFontGroup();
    else if (top().dest == Dest::ColorTable)
        m_tables.endColorGroup();
    m_stack.pop_back();
    return true;
}

int Reader::codePage()
{
    const Group& g = top();
    int own = 0;
    if (g.dest == Dest::FontTable)
        own = m_tables.fontCodePage();
    else if (const FontEntry* font = m_tables.tables().font(g.chr.font))
        own = font->codePage;
    return own ? own : m_docCodePage;
}

void Reader::pushBytes(QByteArrayView bytes)
{
    const int cp = codePage();
    if (!m_bytes.isEmpty() && cp != m_bytesCodePage)
        flushBytes();
    m_bytesCodePage = cp;
    m_bytes.append(bytes.data(), bytes.size());
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
        m_tables.appendFontName(text);
}

void Reader::appendText(QStringView text)
{
    if (!top().chr.hidden)
        m_builder.appendText(text, top().chr, top().para);
}

void Reader::handleText(QByteArrayView text)
{
    switch (top().dest) {
    case Dest::Text:
        pushBytes(text);
        break;
    case Dest::FontTable:
        // ';' ends an entry; what comes before it is the font's name.
        for (qsizetype end = text.indexOf(';'); end >= 0; end = text.indexOf(';')) {
            pushBytes(text.first(end));
            flushBytes();
            m_tables.endFont();
            text = text.sliced(end + 1);
        }
        pushBytes(text);
        break;
    case Dest::ColorTable:
        for (qsizetype i = text.count(';'); i > 0; --i)
            m_tables.endColor();
        break;
    case Dest::Skip:
        break;
    }
}

void Reader::handleSymbol(char symbol)
{
    Group& g = top();
    if (symbol == '*') {
        g.dest = Dest::Skip;
        return;
    }
    const bool literal = symbol == '\\' || symbol == '{' || symbol == '}';
    if (g.dest == Dest::FontTable && literal)
        m_tables.appendFontName(QString(QLatin1Char(symbol)));
    if (g.dest != Dest::Text)
        return;
    if (literal)
        appendText(QString(QLatin1Char(symbol)));
    else if (symbol == '~')
        appendText(u"\u00A0");
    else if (symbol == '-')
        appendText(u"\u00AD");
    else if (symbol == '_')
        appendText(u"\u2011");
    else if (symbol == '\n')
        handleParagraphWord(RtfCommand::Paragraph, RtfToken());
    // \: \| and a broken \' stand for nothing.
}

void Reader::handleWord(const RtfToken& t)
{
    const RtfCommand cmd = rtfCommand(t.text);
    if (cmd == RtfCommand::Binary) {
        m_tokens.skipBytes(param(t, 0));
        return;
    }
    switch (top().dest) {
    case Dest::Skip:
        break;
    case Dest::FontTable:
        handleFontTableWord(cmd, t);
        break;
    case Dest::ColorTable:
        m_tables.colorWord(cmd, t);
        break;
    case Dest::Text:
        if (cmd == RtfCommand::SpecialCharacter)
            appendText(rtfSpecialCharacter(t.text));
        else
            handleTextWord(cmd, t);
        break;
    }
}

void Reader::handleTextWord(RtfCommand cmd, const RtfToken& t)
{
    using C = RtfCommand;
    Group& g = top();
    switch (cmd) {
    case C::FontTable:
        g.dest = Dest::FontTable;
        m_tables.startFontTable();
        break;
    case C::ColorTable:
        g.dest = Dest::ColorTable;
        m_tables.startColorTable();
        break;
    case C::SkipDestination:
        g.dest = Dest::Skip;
        break;
    case C::Ansi:
        m_docCodePage = 1252;
        break;
    case C::Mac:
        m_docCodePage = 10000;
        break;
    case C::Pc:
        m_docCodePage = 437;
        break;
    case C::Pca:
        m_docCodePage = 850;
        break;
    case C::AnsiCodePage:
        m_docCodePage = t.param > 0 ? t.param : 1252;
        break;
    case C::DefaultFont:
        m_tables.setDefaultFont(param(t, 0));
        break;
    case C::DefaultTab:
        if (t.param >= 15 && t.param <= 31680) // from a pixel to 22 inches; anything else is damage
            m_defaultTab = t.param;
        break;
    case C::UnicodeSkip:
    case C::Unicode:
        handleUnicode(cmd, t);
        break;
    default:
        handleCharacterWord(cmd, t);
        handleParagraphWord(cmd, t);
        break;
    }
}

void Reader::handleCharacterWord(RtfCommand cmd, const RtfToken& t)
{
    using C = RtfCommand;
    CharProps& chr = top().chr;
    switch (cmd) {
    case C::Font:
        chr.font = param(t, 0);
        break;
    case C::Plain:
        chr = CharProps{};
        break;
    case C::FontSize:
        chr.halfPoints = t.hasParam ? std::clamp(t.param, 2, kMaxHalfPoints) : kDefaultHalfPoints;
        break;
    case C::Bold:
        chr.bold = switchOn(t);
        break;
    case C::Italic:
        chr.italic = switchOn(t);
        break;
    case C::Underline:
        chr.underline = switchOn(t);
        break;
    case C::UnderlineNone:
        chr.underline = false;
        break;
    case C::Strike:
        chr.strike = switchOn(t);
        break;
    case C::Hidden:
        chr.hidden = switchOn(t);
        break;
    case C::ForeColor:
        chr.foreColor = param(t, 0);
        break;
    case C::BackColor:
        chr.backColor = param(t, 0);
        break;
    default:
        break;
    }
}

void Reader::handleParagraphWord(RtfCommand cmd, const RtfToken& t)
{
    using C = RtfCommand;
    Group& g = top();
    ParaProps& para = g.para;
    switch (cmd) {
    case C::ParagraphDefaults:
        para = ParaProps{};
        g.inTable = false;
        break;
    case C::Paragraph:
        // A table row reads as one paragraph, so paragraphs inside a cell become lines of it.
        if (g.inTable)
            m_builder.endCellLine();
        else
            m_builder.endParagraph(g.chr, para);
        break;
    case C::SoftBreak:
        m_builder.softBreak(g.chr, para);
        break;
    case C::AlignLeft:
        para.align = Align::Left;
        break;
    case C::AlignCentre:
        para.align = Align::Centre;
        break;
    case C::AlignRight:
        para.align = Align::Right;
        break;
    case C::AlignJustify:
        para.align = Align::Justify;
        break;
    case C::LeftIndent:
        para.leftIndent = twips(t);
        break;
    case C::RightIndent:
        para.rightIndent = twips(t);
        break;
    case C::FirstIndent:
        para.firstIndent = twips(t);
        break;
    case C::SpaceBefore:
        para.spaceBefore = std::max(0, twips(t));
        break;
    case C::SpaceAfter:
        para.spaceAfter = std::max(0, twips(t));
        break;
    case C::TabKindRight:
        para.pendingTabKind = 'r';
        break;
    case C::TabKindCentre:
        para.pendingTabKind = 'c';
        break;
    case C::TabKindDecimal:
        para.pendingTabKind = 'd';
        break;
    case C::TabPosition:
        // A damaged file could hold any number of them; a paragraph never needs more than a few dozen.
        if (twips(t) >= 0 && para.tabs.size() < 64)
            para.tabs.push_back({twips(t), para.pendingTabKind});
        para.pendingTabKind = 'l';
        break;
    case C::InTable:
        g.inTable = true;
        break;
    case C::Cell:
        m_builder.endCell(g.chr, para);
        break;
    case C::Row:
        m_builder.endRow(g.chr, para);
        break;
    default:
        break;
    }
}

void Reader::handleFontTableWord(RtfCommand cmd, const RtfToken& t)
{
    if (cmd == RtfCommand::SkipDestination)
        top().dest = Dest::Skip;
    else if (cmd == RtfCommand::Unicode || cmd == RtfCommand::UnicodeSkip)
        handleUnicode(cmd, t);
    else
        m_tables.fontWord(cmd, t);
}

void Reader::handleUnicode(RtfCommand cmd, const RtfToken& t)
{
    Group& g = top();
    if (cmd == RtfCommand::UnicodeSkip) {
        g.unicodeSkip = std::clamp(param(t, 1), 0, kMaxUnicodeSkip);
    } else if (t.hasParam) {
        const QString text(unicodeChar(t.param));
        if (g.dest == Dest::FontTable)
            m_tables.appendFontName(text);
        else
            appendText(text);
        m_fallbackToSkip = g.unicodeSkip;
    }
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
        QTextCursor batch(&doc); // one edit block: the layout follows once, not at every insertion
        batch.beginEditBlock();
        // The reader's first state is the outermost group's.
        Reader reader(data.sliced(start), doc, baseFont);
        reader.run();
        batch.endEditBlock();
        QTextOption option = doc.defaultTextOption();
        option.setTabStopDistance(reader.defaultTab() / 15.0);
        doc.setDefaultTextOption(option);
    }
    doc.setUndoRedoEnabled(undo);
    doc.setModified(false);
}

} // namespace richtext

#include "richtext/RtfReader.h"

#include "platform/AppError.h"
#include "richtext/CodePage.h"
#include "richtext/RichText.h"
#include "richtext/RtfCommands.h"
#include "richtext/RtfDocumentBuilder.h"
#include "richtext/RtfTableReader.h"
#include "richtext/RtfTokenizer.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <vector>

namespace richtext {

namespace {

// Deeper groups share the state of the deepest real one: enough for any real document, and the stack stays
// small whatever the input.
constexpr std::size_t kMaxDepth = 10000;
constexpr int kMaxHalfPoints = 3276; // 1638 points, the largest size word processors offer
constexpr int kMaxTwips = 31680;     // 22 inches
constexpr int kMaxUnicodeSkip = 16;
constexpr std::size_t kMaxFields = 100000;
constexpr qsizetype kMaxInstruction = 2048;
constexpr std::size_t kMaxCellEdges = 64;
constexpr double kMaxPicturePixels = 2112;     // 22 inches at 96 per inch
constexpr qint64 kMaxDecodedPixels = 40000000; // a picture larger than this is kept, not shown
constexpr int kMaxPlaceholderPixels = 1024;

enum class Dest : quint8 { Text, FontTable, ColorTable, Skip, Picture, FieldInstruction, ListTable, Shape, ShapeName };

struct Group
{
    CharProps chr;
    ParaProps para;
    int unicodeSkip = 1;
    int field = -1;        // the field whose group this is in
    Dest dest = Dest::Text;
    bool starred = false; // after \*: a destination word may follow
    qsizetype start = 0;  // where the group's brace is
    KeptPlace keep = KeptPlace::Nowhere; // a skipped destination kept as it was read, and where
    const char* keptKind = nullptr;      // what it holds, in the save question's words
};

enum class FieldKind : quint8 { Unknown, Link, Merge, Other };

struct FieldState
{
    QString instruction;
    FieldKind kind = FieldKind::Unknown;
    int index = -1; // into the links or the merge field names
    bool resultShown = false;
    int start = -1;       // for a field that is kept: where its result starts in the document
    bool counted = true;  // whether taking it out is worth a question
    QString result;       // a merge field's result as the file shows it
    bool hasResult = false;
    CharProps resultChr;  // the formats of a merge field's result
    ParaProps resultPara;
};

struct PictureState
{
    QByteArray hex;
    QByteArrayView binary;
    bool hasBinary = false;
    QString kind; // "png", "jpeg", or the word of another kind
    int width = 0;
    int height = 0;
    int goalWidth = 0;
    int goalHeight = 0;
    int scaleX = 100;
    int scaleY = 100;
    qsizetype start = 0;   // where \pict is
    std::size_t depth = 0; // the stack size of the picture's group
};

// "HYPERLINK "target" \l "place"": the field's name, then its quoted or plain words and its switches.
QStringList instructionWords(const QString& instruction)
{
    QStringList words;
    QString word;
    bool quoted = false;
    bool any = false;
    for (const QChar c : instruction) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            any = true;
        } else if (!quoted && c.isSpace()) {
            if (any)
                words << word;
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any)
        words << word;
    return words;
}

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

// Adds "\word<param>" to the kept words, in place of what the same word said before.
void keepWord(QByteArray& kept, const RtfToken& t, QByteArrayView mode = {})
{
    // After the mode word it is for, if any: the same word means another text's property after another one.
    QByteArray word = (mode.isEmpty() ? QByteArray() : '\\' + mode.toByteArray()) + '\\' + t.text.toByteArray();
    for (qsizetype at = kept.indexOf(word); at >= 0; at = kept.indexOf(word, at + 1)) {
        qsizetype end = at + word.size();
        while (end < kept.size() && (std::isdigit(static_cast<unsigned char>(kept[end])) || kept[end] == '-'))
            ++end;
        if (end == kept.size() || kept[end] == '\\') {
            kept.remove(at, end - at);
            break;
        }
    }
    if (t.hasParam)
        word += QByteArray::number(t.param);
    if (kept.size() < 512)
        kept += word;
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
        : m_tokens(data), m_builder(doc, m_tables.tables(), m_fields, m_rowDef, m_lists, baseFont.family())
    {
        m_stack.emplace_back();
    }

    void run();
    // Twips between the tab stops a paragraph does not set; RTF's own default when the file names none.
    [[nodiscard]] int defaultTab() const { return m_defaultTab; }
    [[nodiscard]] const QStringList& unkept() const { return m_unkept; }

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
    void handlePictureWord(RtfCommand cmd, const RtfToken& t);
    void handleFieldWord(RtfCommand cmd);
    bool handleStarredWord(RtfCommand cmd, const RtfToken& t);
    void noteUnkept(const char* what);
    void keepDestination(QByteArrayView word);
    void keepGroup(const Group& closing, const Group& outer);
    [[nodiscard]] QByteArray groupText(qsizetype start) const;
    void shapeWord(const RtfToken& t);
    void startField();
    void showFieldResult(Group& g);
    void endField(const Group& g);
    void finishPicture(qsizetype end, int unclosed);
    void insertText(QStringView text);

    int codePage();
    void pushBytes(QByteArrayView bytes);
    void flushBytes();
    void appendText(QStringView text);

    RtfTokenizer m_tokens;
    RtfTableReader m_tables;
    RtfFields m_fields;
    RowDef m_rowDef;
    RtfLists m_lists;
    RtfDocumentBuilder m_builder;
    CodePageDecoder m_decoder;

    std::vector<Group> m_stack;
    std::size_t m_overflowDepth = 0;
    int m_fallbackToSkip = 0;
    int m_docCodePage = 1252;
    int m_defaultTab = 720;

    QByteArray m_bytes; // text bytes not yet decoded, all in one code page
    int m_bytesCodePage = 1252;

    std::vector<FieldState> m_fieldStates;
    std::vector<bool> m_linkShown;
    std::vector<int> m_mergeFieldStates; // by merge field: its field
    PictureState m_picture;
    // A drawing shape (\shp): LibreOffice writes its pictures as shapes whose "pib" property holds the \pict.
    struct ShapeState
    {
        bool active = false;
        bool inField = false; // in a SHAPE field's result: a picture in the line of text
        bool pictureTaken = false;
        QString name; // of the property being read
        std::array<int, 4> box{0, 0, 0, 0}; // \shpleft, \shptop, \shpright, \shpbottom in twips
        std::optional<RtfPicture> picture;  // a floating shape's picture, shown in the line, kept with its shape
        CharProps pictureChr;
        ParaProps picturePara;
    } m_shape;
    QStringList m_unkept;

    enum class BorderTarget : quint8 { None, Paragraph, Cell };
    BorderTarget m_borderTarget = BorderTarget::None;
    int m_borderSide = 0;
    bool m_borderBox = false;
    PageSetup m_page;
    bool m_sectionEnded = false; // a \sect has been met: what follows sets the next section
    QByteArray m_laterSection;   // "\sect" and the words of the section it starts

public:
    // What the document holds beyond its text, to be written back as it was read.
    QByteArray head;           // the document's destinations: styles, properties
    QByteArray sectionHead;    // the first section's headers and footers
    QByteArray documentWords;  // widow control, footnote numbering
    QByteArray fontTable;      // the font and colour tables as read, when there is one of each
    QByteArray colorTable;
    int fontTables = 0;
    int colorTables = 0;
    [[nodiscard]] const RtfTables& tables() const { return m_tables.tables(); }
    [[nodiscard]] const RtfDocumentBuilder& builder() const { return m_builder; }

private:
    qsizetype m_listStart = -1;  // the \list group being read: where it starts, and its depth
    std::size_t m_listDepth = 0;

public:
    [[nodiscard]] const PageSetup& page() const { return m_page; }
    [[nodiscard]] bool hasFontTable() const { return m_tables.tables().fonts.size() > 0; }

private:
    Border* borderBeingRead();
    void listTableWord(RtfCommand cmd, const RtfToken& t);
    int m_listId = 0;               // the \list being read
    bool m_readingOverride = false; // in a \listoverride
    int m_overrideListId = 0;
    void pageWord(RtfCommand cmd, const RtfToken& t);
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
            if (top().dest == Dest::Text || top().dest == Dest::FontTable || top().dest == Dest::FieldInstruction)
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
    // A file that ends inside a picture: the picture as far as it goes, its open groups closed.
    if (m_picture.depth > 0 && m_stack.size() >= m_picture.depth &&
        m_stack[m_picture.depth - 1].dest == Dest::Picture)
        finishPicture(m_tokens.position(), int(m_stack.size() - m_picture.depth + 1 + m_overflowDepth));
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
        copy.start = m_tokens.position() - 1;
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
    const Group& closing = top();
    const Group& outer = m_stack[m_stack.size() - 2];
    if (closing.dest == Dest::FontTable)
        m_tables.endFontGroup();
    else if (closing.dest == Dest::ColorTable)
        m_tables.endColorGroup();
    else if (closing.dest == Dest::Picture && outer.dest != Dest::Picture)
        finishPicture(m_tokens.position(), 0);
    if (closing.dest == Dest::FontTable && outer.dest != Dest::FontTable) {
        fontTable = groupText(closing.start);
        ++fontTables;
    } else if (closing.dest == Dest::ColorTable && outer.dest != Dest::ColorTable) {
        colorTable = groupText(closing.start);
        ++colorTables;
    } else if (closing.dest == Dest::ListTable && m_stack.size() == m_listDepth && m_listStart >= 0) {
        if (m_lists.definitions.size() < 1000)
            m_lists.definitions[m_listId] = groupText(m_listStart);
        m_listStart = -1;
    }
    if (closing.dest == Dest::Shape && outer.dest != Dest::Shape) {
        // A shape in the line is its picture; any other is kept as it was read, a floating picture shown in
        // the line, and written back with its place.
        if (!m_shape.inField) {
            if (m_shape.picture) {
                RtfPicture picture = std::move(*m_shape.picture);
                picture.kind = QStringLiteral("rtf");
                picture.data = groupText(closing.start);
                picture.keptKind = QStringLiteral("picture positions");
                m_builder.insertPicture(picture, m_shape.pictureChr, m_shape.picturePara);
            } else {
                m_builder.insertKept(groupText(closing.start), QStringLiteral("shapes"), outer.chr, outer.para);
            }
        }
        m_shape = ShapeState{};
    }
    if (closing.keep != KeptPlace::Nowhere && outer.keep == KeptPlace::Nowhere)
        keepGroup(closing, outer);
    if (closing.field >= 0 && closing.field != outer.field && outer.dest != Dest::FieldInstruction)
        endField(closing);
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
    else if (top().dest == Dest::FieldInstruction)
        insertText(text);
}

// Text in a field instruction belongs to the instruction.
void Reader::insertText(QStringView text)
{
    const int field = top().field;
    if (field >= 0 && m_fieldStates[std::size_t(field)].instruction.size() < kMaxInstruction)
        m_fieldStates[std::size_t(field)].instruction += text;
}

void Reader::appendText(QStringView text)
{
    const Group& g = top();
    if (g.dest == Dest::FieldInstruction) {
        insertText(text);
        return;
    }
    if (g.chr.hidden) {
        m_builder.appendHidden(text, g.chr, g.para);
        return;
    }
    // A merge field shows as «Name», whatever its result says; the result is kept to be written back.
    if (g.chr.mergeField >= 0) {
        // The field's own state: a field nested in its result has a group of its own.
        FieldState& field = m_fieldStates[std::size_t(m_mergeFieldStates[std::size_t(g.chr.mergeField)])];
        if (!field.hasResult) {
            field.hasResult = true;
            field.resultChr = g.chr;
            field.resultPara = g.para;
        }
        if (field.result.size() < 256)
            field.result += text;
        return;
    }
    if (g.chr.link >= 0 && !text.isEmpty())
        m_linkShown[std::size_t(g.chr.link)] = true;
    m_builder.appendText(text, g.chr, g.para);
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
    case Dest::FieldInstruction:
        pushBytes(text);
        break;
    case Dest::Picture:
        if (!m_picture.hasBinary && m_stack.size() == m_picture.depth)
            m_picture.hex.append(text.data(), text.size());
        break;
    case Dest::ShapeName:
        if (m_shape.name.size() < 64)
            m_shape.name += QString::fromLatin1(text.data(), text.size());
        break;
    case Dest::ListTable:
    case Dest::Skip:
    case Dest::Shape:
        break;
    }
}

void Reader::handleSymbol(char symbol)
{
    Group& g = top();
    if (symbol == '*') {
        if (g.dest == Dest::Shape) // \*\shpinst: the shape's own settings, read for its picture
            return;
        g.starred = g.dest == Dest::Text;
        g.dest = Dest::Skip;
        return;
    }
    const bool literal = symbol == '\\' || symbol == '{' || symbol == '}';
    if (g.dest == Dest::FontTable && literal)
        m_tables.appendFontName(QString(QLatin1Char(symbol)));
    if (g.dest == Dest::FieldInstruction && literal)
        insertText(QString(QLatin1Char(symbol)));
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
        if (top().dest == Dest::Picture && !m_picture.hasBinary && m_stack.size() == m_picture.depth) {
            m_picture.binary = m_tokens.takeBytes(param(t, 0));
            m_picture.hasBinary = true;
        } else {
            m_tokens.skipBytes(param(t, 0));
        }
        return;
    }
    if (top().starred && handleStarredWord(cmd, t))
        return;
    switch (top().dest) {
    case Dest::Skip:
    case Dest::ShapeName:
        break;
    case Dest::Shape:
        shapeWord(t);
        break;
    case Dest::Picture:
        handlePictureWord(cmd, t);
        break;
    case Dest::FieldInstruction:
        if (cmd == RtfCommand::Field) // a field inside an instruction adds nothing to it
            top().dest = Dest::Skip;
        else if (cmd == RtfCommand::Unicode || cmd == RtfCommand::UnicodeSkip)
            handleUnicode(cmd, t);
        break;
    case Dest::FontTable:
        handleFontTableWord(cmd, t);
        break;
    case Dest::ColorTable:
        m_tables.colorWord(cmd, t);
        break;
    case Dest::ListTable:
        listTableWord(cmd, t);
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
        if (t.text == QByteArrayView("shp") && !m_shape.active) {
            flushBytes();
            g.dest = Dest::Shape;
            m_shape = ShapeState{};
            m_shape.active = true;
            m_shape.inField = g.field >= 0;
            break;
        }
        keepDestination(t.text);
        break;
    case C::Picture:
        flushBytes();
        g.dest = Dest::Picture;
        m_picture = PictureState{};
        // From the word on: what came before it in the group is the text's, not the picture's.
        m_picture.start = t.text.data() - m_tokens.data().data() - 1;
        m_picture.depth = m_stack.size();
        break;
    case C::Field:
    case C::FieldInstruction:
    case C::FieldResult:
        handleFieldWord(cmd);
        break;
    case C::RowDefaults:
        m_rowDef = RowDef{};
        m_borderTarget = BorderTarget::None;
        break;
    case C::RowAlignLeft:
        m_rowDef.align = Align::Left;
        break;
    case C::RowAlignCentre:
        m_rowDef.align = Align::Centre;
        break;
    case C::RowAlignRight:
        m_rowDef.align = Align::Right;
        break;
    case C::RowLeft:
        m_rowDef.left = twips(t);
        keepWord(m_rowDef.keptWords, t);
        break;
    case C::RowWord:
        keepWord(m_rowDef.keptWords, t);
        break;
    case C::DocumentWord:
        keepWord(documentWords, t);
        break;
    case C::KeptMark:
        flushBytes();
        m_builder.insertKept('\\' + t.text.toByteArray() + ' ', QString(), g.chr, g.para);
        break;
    case C::CellShade:
        m_rowDef.pending.shade = param(t, 0);
        break;
    case C::CellVAlign:
        m_rowDef.pending.vAlign = t.text.back();
        break;
    case C::CellPadding:
    case C::CellPaddingUnit: {
        const std::size_t side = std::size_t(std::string_view("ltrb").find(t.text.back()));
        if (side >= 4)
            break;
        if (cmd == C::CellPadding)
            m_rowDef.pending.padding[side] = std::clamp(param(t, 0), 0, 1440);
        else
            m_rowDef.pending.paddingSet[side] = param(t, 0) == 3;
        break;
    }
    case C::CellBorderSide:
        m_borderTarget = BorderTarget::Cell;
        m_borderBox = false;
        m_borderSide = QByteArrayView("tlbr").indexOf(t.text.back());
        m_rowDef.pending.borders[std::size_t(m_borderSide)] = Border{"brdrs", 0, 0, 0};
        break;
    case C::BorderSide:
        m_borderTarget = BorderTarget::Paragraph;
        m_borderBox = t.text == "box";
        m_borderSide = m_borderBox ? 0 : QByteArrayView("tlbr").indexOf(t.text.back());
        if (m_borderBox)
            g.para.borders.fill(Border{"brdrs", 0, 0, 0});
        else
            g.para.borders[std::size_t(m_borderSide)] = Border{"brdrs", 0, 0, 0};
        break;
    case C::BorderStyle:
    case C::BorderWidth:
    case C::BorderColor:
    case C::BorderSpace:
        if (Border* b = borderBeingRead()) {
            const int count = m_borderBox ? 4 : 1;
            for (int i = 0; i < count; ++i, ++b) {
                if (cmd == C::BorderStyle)
                    b->style = t.text.toByteArray();
                else if (cmd == C::BorderWidth)
                    b->width = std::clamp(param(t, 0), 0, 255);
                else if (cmd == C::BorderColor)
                    b->color = param(t, 0);
                else
                    b->space = std::clamp(param(t, 0), 0, kMaxTwips);
            }
        }
        break;
    case C::PaperWidth:
    case C::PaperHeight:
    case C::MarginLeft:
    case C::MarginRight:
    case C::MarginTop:
    case C::MarginBottom:
    case C::Landscape:
    case C::SectionWord:
    case C::SectionDefaults:
        pageWord(cmd, t);
        break;
    case C::CellEdge:
        m_borderTarget = BorderTarget::None;
        if (m_rowDef.cells.size() < kMaxCellEdges) {
            RowDef::Cell cell = m_rowDef.pending;
            cell.right = std::clamp(param(t, 0), -kMaxTwips, kMaxTwips);
            m_rowDef.cells.push_back(cell);
        }
        m_rowDef.pending = RowDef::Cell{};
        break;
    case C::CellMergeFirst:
        m_rowDef.pending.mergeFirst = true;
        break;
    case C::CellMerged:
        m_rowDef.pending.merged = true;
        break;
    case C::CellVMergeFirst:
        m_rowDef.pending.vMergeFirst = true;
        break;
    case C::CellVMerged:
        m_rowDef.pending.vMerged = true;
        break;
    case C::Unknown:
        noteUnkept(droppedWordContent(t.text));
        break;
    case C::ListTable:
        g.dest = Dest::ListTable;
        m_lists.defined = true;
        break;
    case C::ListText:
        // The number as written: the list shows its own where the file defines its lists.
        if (m_lists.defined)
            g.dest = Dest::Skip;
        break;
    case C::ListNumber:
        g.para.list = std::max(0, param(t, 0));
        break;
    case C::ListLevelNumber:
        g.para.level = std::clamp(param(t, 0), 0, 8);
        break;
    case C::NestCell:
        // A table inside a cell: its cells are kept as text, one tab apart, its rows one line apart.
        noteUnkept("nested tables");
        appendText(u"\t");
        break;
    case C::NestRow:
        appendText(u"\u2028");
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
        chr.underlineKind = quint8(rtfUnderlineKind(t.text));
        break;
    case C::UnderlineNone:
        chr.underline = false;
        chr.underlineKind = 0;
        break;
    case C::Super:
        chr.vertical = 1;
        break;
    case C::Sub:
        chr.vertical = 2;
        break;
    case C::NoSuperSub:
        chr.vertical = 0;
        break;
    case C::Caps:
        chr.caps = switchOn(t);
        break;
    case C::SmallCaps:
        chr.smallCaps = switchOn(t);
        break;
    case C::RtlChar:
        chr.rtl = true;
        chr.assocMode = 2;
        break;
    case C::LtrChar:
        chr.rtl = false;
        chr.assocMode = 1;
        break;
    case C::AssocMode:
        chr.assocMode = t.text == "loch" ? 3 : t.text == "hich" ? 4 : 5;
        break;
    case C::AssocWord: {
        static constexpr const char* kModes[] = {"", "ltrch", "rtlch", "loch", "hich", "dbch"};
        keepWord(chr.keptWords, t, kModes[std::min<int>(chr.assocMode, 5)]);
        break;
    }
    case C::KeptCharWord:
        keepWord(chr.keptWords, t);
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
        if (m_borderTarget == BorderTarget::Paragraph)
            m_borderTarget = BorderTarget::None;
        break;
    case C::Paragraph:
        m_builder.endParagraph(g.chr, para);
        break;
    case C::PageBreak:
        m_builder.pageBreak(g.chr, para);
        break;
    case C::SectionBreak:
        // A section starts a page unless it says otherwise (\sbknone after its \sectd).
        m_sectionEnded = true;
        m_builder.pageBreak(g.chr, para);
        m_laterSection = "\\sect";
        m_builder.startSection(m_laterSection);
        break;
    case C::PageBreakBefore:
        para.pageBreakBefore = switchOn(t);
        break;
    case C::LineSpacing:
        para.lineSpacing = twips(t);
        break;
    case C::LineMultiple:
        para.lineMultiple = switchOn(t);
        break;
    case C::RtlParagraph:
        para.rtl = true;
        break;
    case C::LtrParagraph:
        para.rtl = false;
        break;
    case C::ParagraphShade:
        para.shade = param(t, 0);
        break;
    case C::KeptParagraphWord:
        keepWord(para.keptWords, t);
        break;
    case C::TabLeader:
        para.pendingLeader = t.text.at(2) == 'm' ? 'm' : t.text.at(2) == 'e' ? 'e' : t.text.at(2) == 'd' ? 'd'
                             : t.text.at(2) == 'h' ? 'h' : t.text.at(2) == 'u' ? 'u' : 't';
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
            para.tabs.push_back({twips(t), para.pendingTabKind, para.pendingLeader});
        para.pendingTabKind = 'l';
        para.pendingLeader = 0;
        break;
    case C::InTable:
        para.inTable = true;
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

void Reader::listTableWord(RtfCommand cmd, const RtfToken& t)
{
    using C = RtfCommand;
    auto& lists = m_lists;
    switch (cmd) {
    case C::ListDefinition:
        m_readingOverride = false;
        m_listStart = top().start;
        m_listDepth = m_stack.size();
        m_listId = -1;
        lists.byListId[-1].clear();
        lists.startsByListId[-1].clear();
        break;
    case C::ListLevel:
        if (!m_readingOverride && lists.byListId[m_listId].size() < 9) {
            lists.byListId[m_listId].push_back(23);
            lists.startsByListId[m_listId].resize(lists.byListId[m_listId].size(), 1);
        }
        break;
    case C::ListLevelStart:
        if (!m_readingOverride && !lists.startsByListId[m_listId].empty())
            lists.startsByListId[m_listId].back() = std::clamp(param(t, 1), 0, 32767);
        break;
    case C::ListLevelKind:
        if (!m_readingOverride && !lists.byListId[m_listId].empty())
            lists.byListId[m_listId].back() = param(t, 0);
        break;
    case C::ListId:
        if (m_readingOverride) {
            m_overrideListId = param(t, 0);
        } else if (lists.byListId.size() < 1000) {
            // The id comes after the levels it names.
            lists.byListId[param(t, 0)] = lists.byListId[m_listId];
            lists.startsByListId[param(t, 0)] = lists.startsByListId[m_listId];
            m_listId = param(t, 0);
        }
        break;
    case C::ListOverride:
        m_readingOverride = true;
        m_overrideListId = 0;
        break;
    case C::ListNumber:
        if (m_readingOverride && lists.listIdOf.size() < 1000)
            lists.listIdOf[param(t, 0)] = m_overrideListId;
        break;
    default:
        break;
    }
}

Border* Reader::borderBeingRead()
{
    if (m_borderTarget == BorderTarget::Paragraph)
        return &top().para.borders[std::size_t(m_borderSide)];
    if (m_borderTarget == BorderTarget::Cell)
        return &m_rowDef.pending.borders[std::size_t(m_borderSide)];
    return nullptr;
}

// The page and the section: what the first section says is kept; a later one's settings are not.
void Reader::pageWord(RtfCommand cmd, const RtfToken& t)
{
    using C = RtfCommand;
    if (m_sectionEnded) {
        if (t.text == "sbknone")
            m_builder.cancelPageBreak();
        if (cmd == C::SectionDefaults)
            m_laterSection += "\\sectd";
        else
            keepWord(m_laterSection, t);
        m_builder.startSection(m_laterSection);
        return;
    }
    const int value = std::clamp(param(t, 0), 0, kMaxTwips);
    switch (cmd) {
    case C::PaperWidth:
        m_page.paperWidth = value;
        break;
    case C::PaperHeight:
        m_page.paperHeight = value;
        break;
    case C::MarginLeft:
        m_page.marginLeft = value;
        break;
    case C::MarginRight:
        m_page.marginRight = value;
        break;
    case C::MarginTop:
        m_page.marginTop = value;
        break;
    case C::MarginBottom:
        m_page.marginBottom = value;
        break;
    case C::Landscape:
        m_page.landscape = true;
        break;
    case C::SectionDefaults:
        break;
    default:
        keepWord(m_page.sectionWords, t);
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
        if (g.dest == Dest::FieldInstruction)
            insertText(text);
        else if (g.dest == Dest::FontTable)
            m_tables.appendFontName(text);
        else
            appendText(text);
        m_fallbackToSkip = g.unicodeSkip;
    }
}

// The word after \*: a destination of the text that is read (a field's instruction, the picture word
// processors write for themselves) or one that is skipped. Returns true when the word has been dealt with.
bool Reader::handleStarredWord(RtfCommand cmd, const RtfToken& t)
{
    Group& g = top();
    g.starred = false;
    if (cmd == RtfCommand::ShapePicture) {
        g.dest = Dest::Text;
        return true;
    }
    if (cmd == RtfCommand::ListTable) {
        g.dest = Dest::ListTable;
        m_lists.defined = true;
        return true;
    }
    if (cmd == RtfCommand::FieldInstruction) {
        g.dest = Dest::Text;
        handleFieldWord(cmd);
        return true;
    }
    if (t.text == QByteArrayView("shp") && !m_shape.active) {
        g.dest = Dest::Text;
        handleTextWord(cmd, t);
        return true;
    }
    keepDestination(t.text);
    return true;
}

// A destination the editor does not show: kept as it was read, in the head, with the first section, or in the
// text where it stands.
void Reader::keepDestination(QByteArrayView word)
{
    Group& g = top();
    g.dest = Dest::Skip;
    // A destination starts its group; a word met further on (damage) would take what came before it along.
    const QByteArrayView all = m_tokens.data();
    const qsizetype wordStart = word.data() - all.data() - 1;
    if (wordStart <= g.start || wordStart > all.size())
        return;
    for (qsizetype i = g.start + 1; i < wordStart; ++i) {
        const char c = all[i];
        const bool star = c == '\\' && i + 1 < wordStart && all[i + 1] == '*';
        if (star)
            ++i;
        else if (c != ' ' && c != '\r' && c != '\n')
            return noteUnkept(unkeptContentOf(word));
    }
    KeptPlace place = keptPlaceOf(word);
    if (place == KeptPlace::Text && !m_builder.started())
        place = KeptPlace::Head;
    else if (place == KeptPlace::Section && m_builder.started())
        place = KeptPlace::Text;
    g.keep = place;
    g.keptKind = unkeptContentOf(word);
}

QByteArray Reader::groupText(qsizetype start) const
{
    const QByteArrayView all = m_tokens.data();
    const qsizetype from = std::clamp<qsizetype>(start, 0, all.size());
    const qsizetype end = std::clamp<qsizetype>(m_tokens.position(), from, all.size());
    return all.sliced(from, end - from).toByteArray();
}

void Reader::keepGroup(const Group& closing, const Group& outer)
{
    const QByteArray text = groupText(closing.start);
    switch (closing.keep) {
    case KeptPlace::Head:
        head += text;
        break;
    case KeptPlace::Section:
        sectionHead += text;
        break;
    case KeptPlace::Text:
        m_builder.insertKept(text, closing.keptKind ? QString::fromLatin1(closing.keptKind) : QString(), outer.chr,
                             outer.para);
        break;
    case KeptPlace::Nowhere:
        break;
    }
}

// Inside a shape: only the picture property's value is read, as a picture of the text.
void Reader::shapeWord(const RtfToken& t)
{
    Group& g = top();
    if (t.text == QByteArrayView("sn")) {
        g.dest = Dest::ShapeName;
        m_shape.name.clear();
    } else if (t.text == QByteArrayView("sv")) {
        const bool picture = m_shape.name.trimmed() == QLatin1String("pib") && !m_shape.pictureTaken;
        g.dest = picture ? Dest::Text : Dest::Skip;
        m_shape.pictureTaken = m_shape.pictureTaken || picture;
    } else if (t.text == QByteArrayView("shprslt")) {
        g.dest = Dest::Skip;
    } else if (t.text.startsWith("shp")) {
        const qsizetype side = QList<QByteArrayView>{"shpleft", "shptop", "shpright", "shpbottom"}.indexOf(t.text);
        if (side >= 0)
            m_shape.box[std::size_t(side)] = std::clamp(param(t, 0), -kMaxTwips * 4, kMaxTwips * 4);
    }
}

void Reader::noteUnkept(const char* what)
{
    if (what && !m_unkept.contains(QLatin1String(what)))
        m_unkept << QLatin1String(what);
}

void Reader::handleFieldWord(RtfCommand cmd)
{
    Group& g = top();
    switch (cmd) {
    case RtfCommand::Field:
        startField();
        break;
    case RtfCommand::FieldInstruction:
        g.dest = g.field >= 0 ? Dest::FieldInstruction : Dest::Skip;
        break;
    case RtfCommand::FieldResult:
        if (g.field >= 0)
            showFieldResult(g);
        break;
    default:
        break;
    }
}

void Reader::startField()
{
    if (m_fieldStates.size() >= kMaxFields)
        return;
    flushBytes();
    m_fieldStates.emplace_back();
    top().field = int(m_fieldStates.size() - 1);
}

// The result of a field: a link's text gets its target, a merge field shows its name, and any other field
// leaves its result as plain text.
void Reader::showFieldResult(Group& g)
{
    flushBytes();
    FieldState& field = m_fieldStates[std::size_t(g.field)];
    if (field.kind == FieldKind::Unknown) {
        const QStringList words = instructionWords(field.instruction);
        const QString name = words.value(0).toUpper();
        if (name == QLatin1String("HYPERLINK") && words.size() > 1) {
            QString target;
            for (qsizetype i = 1; i < words.size(); ++i) {
                if (words[i] == QLatin1String("\\l") && i + 1 < words.size())
                    target += QLatin1Char('#') + words[++i];
                else if (!words[i].startsWith(QLatin1Char('\\')) && target.isEmpty())
                    target = words[i];
            }
            field.kind = FieldKind::Link;
            field.index = int(m_fields.links.size());
            m_fields.links.push_back(target);
            m_linkShown.push_back(false);
        } else if (name == QLatin1String("MERGEFIELD") && words.size() > 1 &&
                   !words[1].startsWith(QLatin1Char('\\'))) {
            field.kind = FieldKind::Merge;
            field.index = int(m_fields.mergeFields.size());
            m_fields.mergeFields.push_back(words[1].left(64));
            m_mergeFieldStates.push_back(g.field);
        } else {
            field.kind = FieldKind::Other;
            // Kept whole, its result shown. A SHAPE field holds a picture in the line: taking it out is an
            // edit that shows.
            // One in a merge field's result is part of that field's.
            if (g.chr.mergeField < 0)
                field.start = m_builder.fieldStart(g.chr, g.para);
            field.counted = name != QLatin1String("SHAPE");
        }
    }
    if (field.kind == FieldKind::Link)
        g.chr.link = field.index;
    else if (field.kind == FieldKind::Merge)
        g.chr.mergeField = field.index;
}

// The end of a field's group: a link or a merge field that had no result shows all the same.
void Reader::endField(const Group& g)
{
    flushBytes();
    FieldState& field = m_fieldStates[std::size_t(g.field)];
    if (field.kind == FieldKind::Unknown) {
        if (field.instruction.trimmed().isEmpty())
            return;
        Group copy = g;
        showFieldResult(copy);
    }
    if (field.kind == FieldKind::Other && field.start >= 0) {
        const QString kind = field.counted ? QStringLiteral("fields") : QString();
        if (!m_builder.keepField(field.start, groupText(g.start), g.field, kind, g.chr, g.para))
            noteUnkept("fields");
        field.start = -1;
    } else if (field.kind == FieldKind::Merge && !field.resultShown) {
        field.resultShown = true;
        CharProps chr = field.hasResult ? field.resultChr : g.chr;
        chr.mergeField = field.index;
        const QString name = m_fields.mergeFields[std::size_t(field.index)];
        const QString shown = QStringLiteral("\u00AB%1\u00BB").arg(name);
        if (field.result != shown)
            chr.mergeResult = field.result;
        if (!chr.hidden)
            m_builder.appendText(shown, chr, field.hasResult ? field.resultPara : g.para);
    } else if (field.kind == FieldKind::Link && !m_linkShown[std::size_t(field.index)]) {
        const QString target = m_fields.links[std::size_t(field.index)];
        m_linkShown[std::size_t(field.index)] = true;
        if (!target.isEmpty() && !g.chr.hidden) {
            CharProps chr = g.chr;
            chr.link = field.index;
            m_builder.appendText(target, chr, g.para);
        }
    }
}

QImage placeholder(const QSize& size, const QString& kind)
{
    QImage image(size.boundedTo(QSize(kMaxPlaceholderPixels, kMaxPlaceholderPixels)).expandedTo(QSize(1, 1)),
                 QImage::Format_RGB32);
    image.fill(QColor(235, 235, 235));
    QPainter painter(&image);
    painter.setPen(QColor(128, 128, 128));
    painter.drawRect(image.rect().adjusted(0, 0, -1, -1));
    painter.drawText(image.rect(), Qt::AlignCenter, kind);
    return image;
}

// The size a picture has in the document, in pixels at 96 per inch.
QSizeF pictureSize(const PictureState& p, const QSize& imageSize, bool bitmap)
{
    const auto side = [&](int goal, int given, int image, int scale) {
        double pixels = 0;
        if (goal > 0)
            pixels = goal / 15.0;
        else if (given > 0)
            pixels = bitmap ? given : given * 96.0 / 2540.0; // metafiles give hundredths of a millimetre
        else
            pixels = image > 0 ? image : 96;
        pixels *= std::clamp(scale, 1, 1000) / 100.0;
        return std::clamp(pixels, 1.0, kMaxPicturePixels);
    };
    return QSizeF(side(p.goalWidth, p.width, imageSize.width(), p.scaleX),
                  side(p.goalHeight, p.height, imageSize.height(), p.scaleY));
}

void Reader::handlePictureWord(RtfCommand cmd, const RtfToken& t)
{
    if (m_stack.size() != m_picture.depth)
        return; // \*\blipuid and the like
    const int value = std::clamp(param(t, 0), 0, 1000000);
    switch (cmd) {
    case RtfCommand::PictureWidth:
        m_picture.width = value;
        break;
    case RtfCommand::PictureHeight:
        m_picture.height = value;
        break;
    case RtfCommand::PictureGoalWidth:
        m_picture.goalWidth = value;
        break;
    case RtfCommand::PictureGoalHeight:
        m_picture.goalHeight = value;
        break;
    case RtfCommand::PictureScaleX:
        m_picture.scaleX = value;
        break;
    case RtfCommand::PictureScaleY:
        m_picture.scaleY = value;
        break;
    case RtfCommand::PicturePng:
        m_picture.kind = QStringLiteral("png");
        break;
    case RtfCommand::PictureJpeg:
        m_picture.kind = QStringLiteral("jpeg");
        break;
    case RtfCommand::PictureOther:
        m_picture.kind = QString::fromLatin1(t.text.data(), t.text.size());
        break;
    default:
        break;
    }
}

// A PNG or JPEG picture is shown and written back as a picture; any other, or one that cannot be read, is
// written back as it was read (its group from \pict to the closing brace) and shown as a box of its size.
void Reader::finishPicture(qsizetype end, int unclosed)
{
    PictureState p = std::move(m_picture);
    m_picture = PictureState{};
    // A picture drawn as a shape takes the shape's size where it gives none of its own.
    const int boxWidth = m_shape.box[2] - m_shape.box[0];
    const int boxHeight = m_shape.box[3] - m_shape.box[1];
    if (m_shape.active && p.goalWidth <= 0 && p.goalHeight <= 0 && boxWidth > 0 && boxHeight > 0 &&
        p.scaleX == 100 && p.scaleY == 100) {
        p.goalWidth = boxWidth;
        p.goalHeight = boxHeight;
    }
    // The picture's group is the top one, or one below it where the data ended inside a group of its own.
    const Group& g = m_stack[std::min(m_stack.size(), std::max<std::size_t>(p.depth, 1)) - 1];
    const Group& outer = m_stack[std::max<std::size_t>(std::min(m_stack.size(), p.depth), 2) - 2];
    if (g.chr.hidden || g.chr.mergeField >= 0)
        return;
    RtfPicture picture;
    if (p.kind == QLatin1String("png") || p.kind == QLatin1String("jpeg")) {
        QByteArray data = p.hasBinary ? p.binary.toByteArray() : QByteArray::fromHex(p.hex);
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, p.kind == QLatin1String("png") ? "png" : "jpeg");
        const QSize size = reader.size();
        if (size.isValid() && qint64(size.width()) * size.height() <= kMaxDecodedPixels &&
            reader.read(&picture.image)) {
            picture.size = pictureSize(p, picture.image.size(), true);
            picture.data = std::move(data);
            picture.kind = p.kind;
        }
    }
    if (picture.kind.isEmpty()) {
        const QByteArrayView all = m_tokens.data();
        const qsizetype start = std::clamp<qsizetype>(p.start, 0, all.size());
        picture.data = '{' + all.sliced(start, std::clamp<qsizetype>(end, start, all.size()) - start).toByteArray();
        // The data ended inside the picture: the braces it opened are closed.
        picture.data += QByteArray(unclosed, '}');
        picture.kind = QStringLiteral("rtf");
        const bool bitmap = p.kind == QLatin1String("dibitmap") || p.kind == QLatin1String("wbitmap") ||
                            p.kind == QLatin1String("png") || p.kind == QLatin1String("jpeg");
        picture.size = pictureSize(p, QSize(), bitmap);
        picture.image = placeholder(picture.size.toSize(), p.kind.isEmpty() ? QStringLiteral("picture") : p.kind);
    }
    if (m_shape.active && !m_shape.inField) {
        // Kept until its shape ends, to go with it.
        m_shape.picture = std::move(picture);
        m_shape.pictureChr = outer.chr;
        m_shape.picturePara = outer.para;
        return;
    }
    m_builder.insertPicture(picture, outer.chr, outer.para);
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

// What the file holds beyond the text, with the document, for the writer.
void keepFileSettings(QTextDocument& doc, const Reader& reader)
{
    doc.setProperty(kRtfHeadProperty, reader.head);
    doc.setProperty(kRtfSectionHeadProperty, reader.sectionHead);
    doc.setProperty(kRtfDocumentWordsProperty, reader.documentWords);
    // The tables are written back as they were, so that what is kept keeps its fonts and colours by number.
    const RtfTables& tables = reader.tables();
    const bool fontsKept = reader.fontTables == 1 && !tables.fonts.empty();
    QVariantList fonts;
    if (fontsKept) {
        for (const auto& [number, font] : tables.fonts)
            fonts << QVariant(QVariantList{number, font.family, int(font.hint), font.fixedPitch});
    }
    doc.setProperty(kRtfFontTableProperty, fontsKept ? reader.fontTable : QByteArray());
    doc.setProperty(kRtfFontsProperty, fonts);
    doc.setProperty(kRtfDefaultFontProperty, tables.defaultFont);
    const bool colorsKept = reader.colorTables == 1 && !tables.colors.empty() && !tables.colors.front().isValid();
    QVariantList colors;
    if (colorsKept) {
        for (const QColor& color : tables.colors)
            colors << color;
    }
    doc.setProperty(kRtfColorTableProperty, colorsKept ? reader.colorTable : QByteArray());
    doc.setProperty(kRtfColorsProperty, colors);
    QVariantList counts;
    for (const int count : reader.builder().keptCounts())
        counts << count;
    doc.setProperty(kKeptKindsProperty, reader.builder().keptKinds());
    doc.setProperty(kKeptCountsProperty, counts);
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
        setUnkeptContent(doc, reader.unkept());
        setPageSetup(doc, reader.page());
        keepFileSettings(doc, reader);
        doc.setProperty(kNoFontTableProperty, !reader.hasFontTable());
        QTextOption option = doc.defaultTextOption();
        option.setTabStopDistance(reader.defaultTab() / 15.0);
        doc.setDefaultTextOption(option);
    }
    doc.setUndoRedoEnabled(undo);
    doc.setModified(false);
}

} // namespace richtext

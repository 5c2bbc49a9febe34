#include "richtext/RichText.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QSet>
#include <QVariantList>
#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>
#include <QRegularExpression>
#include <QTextTableCellFormat>
#include <QUrl>

#include "richtext/RtfReader.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace richtext {

namespace {

constexpr double kTwipsPerPixel = 15.0; // document lengths are pixels at 96 dpi
constexpr int kMaxHalfPoints = 3276;
constexpr double kMaxTwips = 31680; // 22 inches

// A close ASCII letter for readers that cannot show \uN: the base letter of an accented one, or '?'.
char fallbackFor(QChar c)
{
    switch (c.unicode()) {
    case 0x0141:
        return 'L'; // Ł
    case 0x0142:
        return 'l';
    case 0x00D8:
        return 'O'; // Ø
    case 0x00F8:
        return 'o';
    case 0x0110:
        return 'D'; // Đ
    case 0x0111:
        return 'd';
    case 0x0131:
        return 'i'; // dotless i
    case 0x00DF:
        return 's'; // ß
    case 0x2018:
    case 0x2019:
        return '\'';
    case 0x201C:
    case 0x201D:
        return '"';
    case 0x2013:
    case 0x2014:
        return '-';
    default:
        break;
    }
    const QString decomposed = c.decomposition();
    if (!decomposed.isEmpty()) {
        const char16_t base = decomposed.at(0).unicode();
        if ((base >= 'a' && base <= 'z') || (base >= 'A' && base <= 'Z'))
            return char(base);
    }
    return '?';
}

void appendUnicode(QByteArray& out, char16_t u)
{
    const int value = u > 0x7FFF ? int(u) - 0x10000 : int(u);
    out += "\\u";
    out += QByteArray::number(value);
    out += fallbackFor(QChar(u));
}

void appendText(QByteArray& out, QStringView text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        switch (u) {
        case '\\':
        case '{':
        case '}':
            out += '\\';
            out += char(u);
            break;
        case '\t':
            out += "\\tab ";
            break;
        case 0x2028:
            out += "\\line ";
            break;
        case 0x00A0:
            out += "\\~";
            break;
        case 0x00AD:
            out += "\\-";
            break;
        case 0x2011:
            out += "\\_";
            break;
        case 0xFFFC:
            break; // an embedded object: RTF of ours carries text only
        default:
            if (u < 0x20)
                break;
            if (u < 0x80)
                out += char(u);
            else
                appendUnicode(out, u);
        }
    }
}

void appendFontName(QByteArray& out, const QString& name)
{
    QString cleaned = name;
    cleaned.remove(QLatin1Char(';'));
    for (const QChar c : cleaned) {
        const char16_t u = c.unicode();
        if (u == '\\' || u == '{' || u == '}') {
            out += '\\';
            out += char(u);
        } else if (u >= 0x20 && u < 0x80) {
            out += char(u);
        } else if (u >= 0x80) {
            appendUnicode(out, u);
        }
    }
}

const char* familyKeyword(QFont::StyleHint hint)
{
    switch (hint) {
    case QFont::Serif:
        return "\\froman";
    case QFont::SansSerif:
        return "\\fswiss";
    case QFont::TypeWriter:
    case QFont::Monospace:
        return "\\fmodern";
    case QFont::Cursive:
        return "\\fscript";
    case QFont::Decorative:
    case QFont::Fantasy:
        return "\\fdecor";
    default:
        return "\\fnil";
    }
}

struct FontKey
{
    QString family;
    QFont::StyleHint hint = QFont::AnyStyle;
    bool fixedPitch = false;
    bool operator==(const FontKey&) const = default;
};

size_t qHash(const FontKey& key, size_t seed = 0)
{
    return qHashMulti(seed, key.family, int(key.hint), key.fixedPitch);
}

class Writer
{
public:
    explicit Writer(const QTextDocument& doc)
        : m_doc(doc), m_defaultFont(doc.defaultFont()), m_noFontTable(doc.property(kNoFontTableProperty).toBool())
    {
        seedTables();
    }

    QByteArray write();

private:
    void writeFrame(const QTextFrame* frame, bool inTable);
    void writeTable(const QTextTable* table);
    void writeBlock(const QTextBlock& block, bool inTable, const char* ending);
    void writeRun(const QTextCharFormat& format, QStringView text);
    void writeField(const QByteArray& instruction, const QTextCharFormat& format, QStringView text);
    void writeMergeFields(const QTextCharFormat& format, const QString& text);
    void writePicture(const QTextImageFormat& format);
    void writeCharProps(const QTextCharFormat& format);
    void writeCellFormat(const QTextTableCellFormat& format, bool tableBorders);
    void writeBorders(const QString& borders, const char* prefix);
    void writePageSetup(QByteArray& out) const;
    int fontIndex(const QFont& font);
    int colorIndex(const QColor& color);
    // The tables as the file had them, so that the groups kept from it keep their fonts and colours.
    void seedTables();
    void writeKept(const QTextCharFormat& format, int count);

    const QTextDocument& m_doc;
    QFont m_defaultFont;
    bool m_noFontTable; // text without a family of its own keeps the reader's default font
    QList<std::pair<int, FontKey>> m_fonts; // by number: those the tables written take beyond the file's
    QHash<FontKey, int> m_fontIndex;
    QByteArray m_fontTable; // as read, or empty
    int m_nextFont = 0;
    QByteArray m_colorTable;
    qsizetype m_seededColors = 0;
    int m_lastField = -1; // the kept field whose group has just been written
    // \ls N is the list at N - 1: the lists a file gave one number (one per level) go back out as one.
    struct OutList
    {
        int number = 0; // the number read, 0 for a list made in the editor
        std::array<int, 9> kinds{-1, -1, -1, -1, -1, -1, -1, -1, -1}; // \levelnfc by level, -1 unknown
        std::array<int, 9> starts{1, 1, 1, 1, 1, 1, 1, 1, 1};        // \levelstartat by level
        QByteArray definition; // the \list group read, written back as it was
        int listId = 0;        // its \listid
    };
    QList<OutList> m_lists;
    QHash<const QTextList*, int> m_listIndex;
    int listIndex(const QTextList* list, int level);
    QList<QRgb> m_colors;
    QHash<QRgb, int> m_colorIndex;
    QByteArray m_body;
};

QByteArray Writer::write()
{
    if (!m_noFontTable)
        fontIndex(m_defaultFont); // \deff0
    writeFrame(m_doc.rootFrame(), false);

    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252";
    if (!m_fontTable.isEmpty())
        out += "\\deff" + QByteArray::number(m_doc.property(kRtfDefaultFontProperty).toInt());
    else if (!m_fonts.isEmpty())
        out += "\\deff0";
    out += "\\uc1\n";
    // A table read is written as it was, the fonts and colours added since at its end.
    out += m_fontTable.isEmpty() ? QByteArray("{\\fonttbl") : m_fontTable.chopped(1);
    for (const auto& [number, font] : std::as_const(m_fonts)) {
        out += "{\\f" + QByteArray::number(number) + familyKeyword(font.hint) + "\\fcharset0";
        if (font.fixedPitch)
            out += "\\fprq1";
        out += ' ';
        appendFontName(out, font.family);
        out += ";}";
    }
    out += "}\n";
    out += m_colorTable.isEmpty() ? QByteArray("{\\colortbl;") : m_colorTable.chopped(1);
    for (qsizetype i = m_seededColors; i < m_colors.size(); ++i) {
        const QRgb rgb = m_colors[i];
        out += "\\red" + QByteArray::number(qRed(rgb)) + "\\green" + QByteArray::number(qGreen(rgb)) + "\\blue" +
               QByteArray::number(qBlue(rgb)) + ';';
    }
    out += "}\n";
    out += m_doc.property(kRtfHeadProperty).toByteArray();
    if (!m_lists.isEmpty()) {
        out += "{\\*\\listtable";
        // A list read is its definition as read; one made here gets an id no definition read has.
        QSet<int> readIds;
        for (const OutList& list : std::as_const(m_lists)) {
            if (!list.definition.isEmpty())
                readIds.insert(list.listId);
        }
        QSet<int> written;
        for (qsizetype i = 0; i < m_lists.size(); ++i) {
            if (!m_lists[i].definition.isEmpty()) {
                if (!written.contains(m_lists[i].listId))
                    out += '\n' + m_lists[i].definition;
                written.insert(m_lists[i].listId);
                continue;
            }
            int number = int(i + 1);
            while (readIds.contains(number))
                number += 1000;
            m_lists[i].listId = number;
            const QByteArray id = QByteArray::number(number);
            out += "\n{\\list\\listtemplateid" + id + "\\listhybrid";
            for (int level = 0; level < 9; ++level) {
                const int kind = m_lists[i].kinds[std::size_t(level)];
                const int nfc = kind < 0 ? 23 : kind; // a level the document does not use: bullets
                out += "{\\listlevel\\levelnfc" + QByteArray::number(nfc) + "\\levelnfcn" + QByteArray::number(nfc) +
                       "\\leveljc0\\levelfollow0\\levelstartat" +
                       QByteArray::number(m_lists[i].starts[std::size_t(level)]);
                if (nfc == 23)
                    out += "{\\leveltext\\'01\\u8226 ?;}{\\levelnumbers;}";
                else
                    out += "{\\leveltext\\'02\\'0" + QByteArray::number(level) + ".;}{\\levelnumbers\\'01;}";
                out += "\\fi-360\\li" + QByteArray::number(720 * (level + 1)) + '}';
            }
            out += "\\listid" + id + '}';
        }
        out += "}\n{\\*\\listoverridetable";
        for (qsizetype i = 0; i < m_lists.size(); ++i) {
            out += "{\\listoverride\\listid" + QByteArray::number(m_lists[i].listId) + "\\listoverridecount0\\ls" +
                   QByteArray::number(i + 1) + '}';
        }
        out += "}\n";
    }
    out += "{\\*\\generator Tovrel;}\n";
    out += m_doc.property(kRtfDocumentWordsProperty).toByteArray();
    writePageSetup(out);
    out += m_doc.property(kRtfSectionHeadProperty).toByteArray();
    // Without it a reader would use RTF's half inch rather than the distance this document shows.
    const double tabPixels = m_doc.defaultTextOption().tabStopDistance();
    if (tabPixels > 0)
        out += "\\deftab" + QByteArray::number(std::lround(tabPixels * kTwipsPerPixel)) + '\n';
    out += m_body;
    out += "}\n";
    return out;
}

// The \ls of a list: the lists read with one number share it, each at its level.
int Writer::listIndex(const QTextList* list, int level)
{
    if (const auto found = m_listIndex.constFind(list); found != m_listIndex.cend())
        return *found;
    const int number = list->format().intProperty(ListNumberProperty);
    qsizetype index = -1;
    if (number > 0) {
        for (qsizetype i = 0; i < m_lists.size() && index < 0; ++i) {
            if (m_lists[i].number == number)
                index = i;
        }
    }
    if (index < 0) {
        m_lists.append(OutList{number});
        index = m_lists.size() - 1;
    }
    const QTextListFormat::Style style = list->format().style();
    m_lists[index].kinds[std::size_t(level)] = style == QTextListFormat::ListDecimal      ? 0
                                               : style == QTextListFormat::ListUpperRoman ? 1
                                               : style == QTextListFormat::ListLowerRoman ? 2
                                               : style == QTextListFormat::ListUpperAlpha ? 3
                                               : style == QTextListFormat::ListLowerAlpha ? 4
                                                                                          : 23;
    if (list->format().hasProperty(ListStartProperty))
        m_lists[index].starts[std::size_t(level)] = std::clamp(list->format().intProperty(ListStartProperty), 0, 32767);
    if (list->format().hasProperty(ListDefinitionProperty) && m_lists[index].definition.isEmpty()) {
        m_lists[index].definition = list->format().property(ListDefinitionProperty).toByteArray();
        m_lists[index].listId = list->format().intProperty(ListIdProperty);
    }
    m_listIndex.insert(list, int(index));
    return int(index);
}

// The blocks of a frame in order, and its tables; other frames hold their blocks as paragraphs.
void Writer::writeFrame(const QTextFrame* frame, bool inTable)
{
    for (auto it = frame->begin(); !it.atEnd(); ++it) {
        if (const QTextFrame* child = it.currentFrame()) {
            const auto* table = qobject_cast<const QTextTable*>(child);
            if (table && !inTable)
                writeTable(table);
            else
                writeFrame(child, inTable); // a table in a cell: its text, one paragraph per cell
            continue;
        }
        const QTextBlock block = it.currentBlock();
        // The empty paragraph a document keeps in front of a table that starts it is no paragraph of the text.
        if (frame == m_doc.rootFrame() && block.position() == 0 && block.length() == 1) {
            auto next = it;
            ++next;
            if (!next.atEnd() && qobject_cast<const QTextTable*>(next.currentFrame()))
                continue;
        }
        writeBlock(block, inTable, "\\par");
    }
}

void Writer::writeTable(const QTextTable* table)
{
    const QTextTableFormat format = table->format();
    const QList<QTextLength> constraints = format.columnWidthConstraints();
    const int columns = table->columns();
    // Fixed widths as they are; the others share what is left of a 6.5 inch line.
    std::vector<int> widths(std::size_t(columns), 0);
    int fixed = 0;
    int open = 0;
    for (int c = 0; c < columns; ++c) {
        const QTextLength length = constraints.value(c);
        if (length.type() == QTextLength::FixedLength) {
            widths[std::size_t(c)] = std::max(1, int(std::lround(std::min(length.rawValue(), kMaxTwips) * kTwipsPerPixel)));
            fixed += widths[std::size_t(c)];
        } else {
            ++open;
        }
    }
    for (int c = 0; c < columns; ++c) {
        if (widths[std::size_t(c)] == 0)
            widths[std::size_t(c)] = std::max(360, (9360 - fixed) / std::max(open, 1));
    }
    const bool borders = format.border() > 0 && format.borderStyle() != QTextFrameFormat::BorderStyle_None;
    std::vector<int> edges;
    for (int c = 0, right = 0; c < columns; ++c)
        edges.push_back(right += widths[std::size_t(c)]);
    const Qt::Alignment align = format.alignment() & Qt::AlignHorizontal_Mask;
    // A table read keeps each row's own gap and left edge (or none); one made here gets the common gap.
    const QVariantList rowWords = format.property(TableRowWordsProperty).toList();
    for (int r = 0; r < table->rows(); ++r) {
        m_body += "\\trowd";
        if (format.hasProperty(TableRowWordsProperty))
            m_body += rowWords.value(std::min<qsizetype>(r, rowWords.size() - 1)).toByteArray();
        else
            m_body += "\\trgaph108";
        if (align & Qt::AlignHCenter)
            m_body += "\\trqc";
        else if (align & Qt::AlignRight)
            m_body += "\\trqr";
        // A cell spanning columns is one cell reaching to the edge of its last column.
        std::vector<QTextTableCell> cells;
        for (int c = 0; c < columns;) {
            const QTextTableCell cell = table->cellAt(r, c);
            const int last = std::min(columns, cell.column() + std::max(1, cell.columnSpan())) - 1;
            cells.push_back(cell);
            if (cell.row() != r)
                m_body += "\\clvmrg";
            else if (cell.rowSpan() > 1)
                m_body += "\\clvmgf";
            writeCellFormat(cell.format().toTableCellFormat(), borders);
            m_body += "\\cellx" + QByteArray::number(edges[std::size_t(std::max(last, c))]);
            c = std::max(last, c) + 1;
        }
        m_body += '\n';
        for (const QTextTableCell& cell : cells) {
            if (cell.row() != r) {
                m_body += "\\pard\\intbl\\cell\n"; // covered by a cell merged from above
                continue;
            }
            // Paragraphs end with \par, the cell's last with \cell.
            std::vector<QTextBlock> blocks;
            for (auto it = cell.begin(); !it.atEnd(); ++it) {
                if (const QTextFrame* inner = it.currentFrame()) {
                    for (auto jt = inner->begin(); !jt.atEnd(); ++jt) {
                        if (jt.currentBlock().isValid())
                            blocks.push_back(jt.currentBlock());
                    }
                } else {
                    blocks.push_back(it.currentBlock());
                }
            }
            if (blocks.empty()) {
                m_body += "\\pard\\intbl\\cell\n";
                continue;
            }
            for (std::size_t i = 0; i + 1 < blocks.size(); ++i)
                writeBlock(blocks[i], true, "\\par");
            // A \par right before \cell ends no paragraph of its own: an empty last paragraph needs one.
            if (blocks.size() > 1 && blocks.back().length() == 1) {
                writeBlock(blocks.back(), true, "\\par");
                m_body += "\\cell\n";
            } else {
                writeBlock(blocks.back(), true, "\\cell");
            }
        }
        m_body += "\\row\n";
    }
}

// The page and section as the file that was read set them.
void Writer::writePageSetup(QByteArray& out) const
{
    const PageSetup page = pageSetup(m_doc);
    if (page.isEmpty())
        return;
    const auto word = [&out](const char* name, int value) {
        if (value > 0)
            out += name + QByteArray::number(value);
    };
    word("\\paperw", page.paperWidth);
    word("\\paperh", page.paperHeight);
    word("\\margl", page.marginLeft);
    word("\\margr", page.marginRight);
    word("\\margt", page.marginTop);
    word("\\margb", page.marginBottom);
    if (page.landscape)
        out += "\\landscape";
    out += "\\sectd";
    if (page.landscape)
        out += "\\lndscpsxn";
    out += page.sectionWords;
    out += '\n';
}

// "t:brdrs,10,0,#000000;b:...": each side's border words.
void Writer::writeBorders(const QString& borders, const char* prefix)
{
    for (const QString& side : borders.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList parts = side.mid(2).split(QLatin1Char(','));
        if (side.size() < 3 || parts.size() < 4 || !QStringLiteral("tlbr").contains(side[0]))
            continue;
        m_body += prefix + side.left(1).toLatin1();
        QString style = parts[0];
        style.remove(QRegularExpression(QStringLiteral("[^a-z]")));
        m_body += '\\' + (style.isEmpty() ? QByteArray("brdrs") : style.toLatin1());
        m_body += "\\brdrw" + QByteArray::number(std::clamp(parts[1].toInt(), 0, 255));
        if (const int space = std::clamp(parts[2].toInt(), 0, int(kMaxTwips)); space > 0)
            m_body += "\\brsp" + QByteArray::number(space);
        if (const QColor c(parts[3]); c.isValid())
            m_body += "\\brdrcf" + QByteArray::number(colorIndex(c));
    }
}

void Writer::writeCellFormat(const QTextTableCellFormat& format, bool tableBorders)
{
    if (format.verticalAlignment() == QTextCharFormat::AlignMiddle)
        m_body += "\\clvertalc";
    else if (format.verticalAlignment() == QTextCharFormat::AlignBottom)
        m_body += "\\clvertalb";
    if (format.hasProperty(BordersProperty)) {
        writeBorders(format.stringProperty(BordersProperty), "\\clbrdr");
    } else if (tableBorders) {
        m_body += "\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10\\clbrdrb\\brdrs\\brdrw10"
                  "\\clbrdrr\\brdrs\\brdrw10";
    }
    if (format.hasProperty(QTextFormat::BackgroundBrush) && format.background().style() != Qt::NoBrush)
        m_body += "\\clcbpat" + QByteArray::number(colorIndex(format.background().color()));
    // A cell's own padding, where it has one; the others take the row's.
    const std::pair<QTextFormat::Property, char> paddings[] = {{QTextFormat::TableCellLeftPadding, 'l'},
                                                                {QTextFormat::TableCellTopPadding, 't'},
                                                                {QTextFormat::TableCellRightPadding, 'r'},
                                                                {QTextFormat::TableCellBottomPadding, 'b'}};
    for (const auto& [property, side] : paddings) {
        if (!format.hasProperty(property))
            continue;
        const double twips = format.doubleProperty(property) * kTwipsPerPixel;
        m_body += QByteArray("\\clpadf") + side + '3' + QByteArray("\\clpad") + side +
                  QByteArray::number(std::isfinite(twips) ? std::clamp(qRound(twips), 0, 1440) : 0);
    }
}

void Writer::writeBlock(const QTextBlock& block, bool inTable, const char* ending)
{
    const QTextBlockFormat format = block.blockFormat();
    const QByteArray section = format.property(SectionStartProperty).toByteArray();
    if (section.startsWith("\\sect")) {
        // The section ends the paragraph before, in place of its \par.
        const qsizetype par = m_body.lastIndexOf("\\par");
        if (par >= 0 && (m_body.endsWith("\\par\n") || m_body.endsWith("\\par}\n")))
            m_body.remove(par, 4);
        m_body += section + '\n';
    }
    m_lastField = -1;
    m_body += "\\pard";
    if (inTable)
        m_body += "\\intbl";
    const Qt::Alignment align = format.alignment();
    if (align & Qt::AlignHCenter)
        m_body += "\\qc";
    else if (align & Qt::AlignJustify)
        m_body += "\\qj";
    else if (align & Qt::AlignRight)
        m_body += "\\qr";
    const auto twips = [](double pixels) {
        const double value = std::isfinite(pixels) ? std::clamp(pixels * kTwipsPerPixel, -kMaxTwips, kMaxTwips) : 0.0;
        return QByteArray::number(std::lround(value));
    };
    if (format.leftMargin() != 0)
        m_body += "\\li" + twips(format.leftMargin());
    if (format.rightMargin() != 0)
        m_body += "\\ri" + twips(format.rightMargin());
    const bool hangs = format.textIndent() == 0 && block.textList() && format.hasProperty(ListHangingIndentProperty);
    if (hangs)
        m_body += "\\fi" + twips(format.doubleProperty(ListHangingIndentProperty));
    else if (format.textIndent() != 0)
        m_body += "\\fi" + twips(format.textIndent());
    if (format.topMargin() != 0)
        m_body += "\\sb" + twips(format.topMargin());
    if (format.bottomMargin() != 0)
        m_body += "\\sa" + twips(format.bottomMargin());
    switch (format.lineHeightType()) {
    case QTextBlockFormat::ProportionalHeight:
        if (format.lineHeight() > 0 && format.lineHeight() != 100)
            m_body += "\\sl" + QByteArray::number(std::lround(std::clamp(format.lineHeight(), 1.0, 1000.0) * 2.4)) +
                      "\\slmult1";
        break;
    case QTextBlockFormat::MinimumHeight:
        if (format.lineHeight() > 0)
            m_body += "\\sl" + twips(format.lineHeight()) + "\\slmult0";
        break;
    case QTextBlockFormat::FixedHeight:
        if (format.lineHeight() > 0)
            m_body += "\\sl-" + twips(format.lineHeight()) + "\\slmult0";
        break;
    default:
        break;
    }
    // A section starts its own page.
    if ((format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) && section.isEmpty())
        m_body += "\\pagebb";
    if (format.layoutDirection() == Qt::RightToLeft)
        m_body += "\\rtlpar";
    if (format.hasProperty(QTextFormat::BackgroundBrush) && format.background().style() != Qt::NoBrush)
        m_body += "\\cbpat" + QByteArray::number(colorIndex(format.background().color()));
    if (format.hasProperty(BordersProperty))
        writeBorders(format.stringProperty(BordersProperty), "\\brdr");
    else if (format.hasProperty(QTextFormat::BlockTrailingHorizontalRulerWidth))
        m_body += "\\brdrb\\brdrs\\brdrw10";
    m_body += format.property(KeptWordsProperty).toByteArray();
    const QTextList* list = block.textList();
    if (list) {
        // A list read keeps its level; one made in the editor is nested by its indent.
        const int level = list->format().hasProperty(ListLevelProperty)
                              ? list->format().intProperty(ListLevelProperty)
                              : list->format().indent() - 1;
        const int clamped = std::clamp(level, 0, 8);
        m_body += "\\ls" + QByteArray::number(listIndex(list, clamped) + 1) + "\\ilvl" + QByteArray::number(clamped);
        // A list made in the editor indents by the list; the file says it with the paragraph.
        if (format.leftMargin() == 0 && list->format().indent() > 0)
            m_body += "\\li" + QByteArray::number(list->format().indent() * 600) + "\\fi-300";
    }
    const QString leaders = format.stringProperty(TabLeadersProperty);
    const QList<QTextOption::Tab> tabStops = format.tabPositions();
    for (qsizetype i = 0; i < tabStops.size(); ++i) {
        const QTextOption::Tab& tab = tabStops[i];
        switch (leaders.size() == tabStops.size() ? leaders[i].unicode() : u' ') {
        case u'd':
            m_body += "\\tldot";
            break;
        case u'h':
            m_body += "\\tlhyph";
            break;
        case u'u':
            m_body += "\\tlul";
            break;
        case u't':
            m_body += "\\tlth";
            break;
        case u'm':
            m_body += "\\tlmdot";
            break;
        case u'e':
            m_body += "\\tleq";
            break;
        default:
            break;
        }
        if (tab.type == QTextOption::RightTab)
            m_body += "\\tqr";
        else if (tab.type == QTextOption::CenterTab)
            m_body += "\\tqc";
        else if (tab.type == QTextOption::DelimiterTab)
            m_body += "\\tqdec";
        // Qt measures from where the first line starts, RTF from the margin.
        m_body += "\\tx" + twips(tab.position + format.leftMargin() + format.textIndent());
    }
    m_body += ' ';
    if (list) {
        // The number as written, for readers without lists.
        const QTextListFormat::Style style = list->format().style();
        const bool bullet = style == QTextListFormat::ListDisc || style == QTextListFormat::ListCircle ||
                            style == QTextListFormat::ListSquare;
        m_body += "{\\listtext ";
        const bool counted = style == QTextListFormat::ListDecimal && list->format().hasProperty(ListStartProperty);
        appendText(m_body, bullet    ? QStringLiteral("\u2022")
                           : counted ? QString::number(list->itemNumber(block) +
                                                       list->format().intProperty(ListStartProperty)) +
                                           QLatin1Char('.')
                                     : list->itemText(block));
        m_body += "\\tab}";
    }

    bool empty = true;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.isValid() || fragment.length() == 0)
            continue;
        empty = false;
        const QTextCharFormat charFormat = fragment.charFormat();
        // A kept field's result is written as the whole field, once.
        if (charFormat.hasProperty(KeptFieldProperty)) {
            const int field = charFormat.intProperty(KeptFieldProperty);
            if (field != m_lastField)
                writeKept(charFormat, 1);
            m_lastField = field;
            continue;
        }
        m_lastField = -1;
        if (charFormat.objectType() == KeptRtfObject) {
            writeKept(charFormat, fragment.length());
        } else if (charFormat.objectType() == HiddenTextObject) {
            for (int i = 0; i < fragment.length(); ++i) {
                m_body += '{';
                writeCharProps(charFormat);
                m_body += "\\v ";
                appendText(m_body, charFormat.stringProperty(HiddenTextProperty));
                m_body += '}';
            }
        } else if (charFormat.isImageFormat()) {
            // Equal pictures side by side share one fragment.
            for (int i = 0; i < fragment.length(); ++i)
                writePicture(charFormat.toImageFormat());
        } else if (charFormat.hasProperty(MergeFieldProperty)) {
            writeMergeFields(charFormat, fragment.text());
        } else if (charFormat.isAnchor() && !charFormat.anchorHref().isEmpty()) {
            QString target = charFormat.anchorHref();
            target.replace(QLatin1Char('"'), QLatin1String("%22"));
            QByteArray instruction = "HYPERLINK ";
            if (target.startsWith(QLatin1Char('#'))) {
                instruction += "\\\\l ";
                target.remove(0, 1);
            }
            instruction += '"';
            appendText(instruction, target);
            instruction += '"';
            writeField(instruction, charFormat, fragment.text());
        } else {
            writeRun(charFormat, fragment.text());
        }
    }
    if (empty) {
        // The paragraph mark's font gives an empty line its height.
        m_body += '{';
        writeCharProps(block.charFormat());
        m_body += ending;
        m_body += "}\n";
    } else {
        m_body += ending;
        m_body += '\n';
    }
}

void Writer::writeRun(const QTextCharFormat& format, QStringView text)
{
    if (text.isEmpty())
        return;
    m_body += '{';
    writeCharProps(format);
    m_body += ' ';
    appendText(m_body, text);
    m_body += '}';
}

// A field as word processors write one: its instruction, and the text it shows as its result.
void Writer::writeField(const QByteArray& instruction, const QTextCharFormat& format, QStringView text)
{
    m_body += "{\\field{\\*\\fldinst " + instruction + "}{\\fldrslt ";
    writeRun(format, text);
    m_body += "}}";
}

// Text marked as merge fields: each «Name» in it is a MERGEFIELD, anything typed beside one is text.
void Writer::writeMergeFields(const QTextCharFormat& format, const QString& text)
{
    QTextCharFormat plain = format;
    plain.clearProperty(MergeFieldProperty);
    if (plain.background().color() == mergeFieldShade())
        plain.clearBackground();
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype open = text.indexOf(QChar(0x00AB), pos);
        const qsizetype close = open < 0 ? -1 : text.indexOf(QChar(0x00BB), open + 1);
        if (close < 0) {
            writeRun(plain, QStringView(text).mid(pos));
            break;
        }
        writeRun(plain, QStringView(text).mid(pos, open - pos));
        QString name = text.mid(open + 1, close - open - 1);
        name.remove(QLatin1Char('"'));
        QByteArray instruction = "MERGEFIELD ";
        const bool quoted = name.contains(QLatin1Char(' '));
        if (quoted)
            instruction += '"';
        appendText(instruction, name);
        if (quoted)
            instruction += '"';
        // The result the file showed, where it had one.
        const QString shown = text.mid(open, close - open + 1);
        const QString result = format.stringProperty(MergeFieldResultProperty);
        writeField(instruction, plain, result.isEmpty() ? QStringView(shown) : QStringView(result));
        pos = close + 1;
    }
}

// A picture as \pict: PNG and JPEG data as they were read, a picture kept as it was read as its own group,
// anything else (a picture pasted in) as PNG.
void Writer::writePicture(const QTextImageFormat& format)
{
    QString kind = format.stringProperty(PictureKindProperty);
    QByteArray data = format.property(PictureDataProperty).toByteArray();
    if (kind == QLatin1String("rtf") && data.startsWith("{")) {
        m_body += data;
        return;
    }
    const QVariant resource = m_doc.resource(QTextDocument::ImageResource, QUrl(format.name()));
    QImage image = resource.value<QImage>();
    if (image.isNull() && resource.canConvert<QPixmap>())
        image = resource.value<QPixmap>().toImage();
    QSize pixels = image.size();
    if (data.isEmpty() || (kind != QLatin1String("png") && kind != QLatin1String("jpeg"))) {
        if (image.isNull())
            return; // nothing to write: no picture was read
        data.clear();
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        kind = QStringLiteral("png");
    } else if (pixels.isEmpty()) {
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        pixels = QImageReader(&buffer).size();
    }
    const double width = format.width() > 0 ? format.width() : pixels.width();
    const double height = format.height() > 0 ? format.height() : pixels.height();
    m_body += kind == QLatin1String("png") ? "{\\pict\\pngblip" : "{\\pict\\jpegblip";
    m_body += "\\picw" + QByteArray::number(std::max(1, pixels.width())) + "\\pich" +
              QByteArray::number(std::max(1, pixels.height()));
    m_body += "\\picwgoal" + QByteArray::number(std::lround(std::clamp(width * kTwipsPerPixel, 1.0, kMaxTwips))) +
              "\\pichgoal" + QByteArray::number(std::lround(std::clamp(height * kTwipsPerPixel, 1.0, kMaxTwips)));
    m_body += '\n';
    const QByteArray hex = data.toHex();
    constexpr qsizetype kLine = 128;
    m_body.reserve(m_body.size() + hex.size() + hex.size() / kLine + 4);
    for (qsizetype at = 0; at < hex.size(); at += kLine) {
        m_body.append(hex.constData() + at, std::min(kLine, hex.size() - at));
        m_body += '\n';
    }
    m_body += '}';
}

void Writer::writeCharProps(const QTextCharFormat& format)
{
    const QFont font = format.font().resolve(m_defaultFont);
    double points = font.pointSizeF();
    if (points <= 0)
        points = font.pixelSize() > 0 ? font.pixelSize() * 72.0 / 96.0 : 12.0;
    if (!std::isfinite(points))
        points = 12.0;
    const int halfPoints = int(std::lround(std::clamp(points * 2, 2.0, double(kMaxHalfPoints))));

    if (!m_noFontTable || format.hasProperty(QTextFormat::FontFamilies) || format.hasProperty(QTextFormat::FontFamily))
        m_body += "\\f" + QByteArray::number(fontIndex(font));
    m_body += "\\fs" + QByteArray::number(halfPoints);
    if (font.bold())
        m_body += "\\b";
    if (font.italic())
        m_body += "\\i";
    if (font.underline() || format.underlineStyle() != QTextCharFormat::NoUnderline) {
        QString word = format.stringProperty(UnderlineWordProperty);
        word.remove(QRegularExpression(QStringLiteral("[^a-z]")));
        if (!word.startsWith(QLatin1String("ul")))
            word = QStringLiteral("ul");
        m_body += '\\' + word.toLatin1();
    }
    if (format.verticalAlignment() == QTextCharFormat::AlignSuperScript)
        m_body += "\\super";
    else if (format.verticalAlignment() == QTextCharFormat::AlignSubScript)
        m_body += "\\sub";
    if (font.capitalization() == QFont::AllUppercase)
        m_body += "\\caps";
    else if (font.capitalization() == QFont::SmallCaps)
        m_body += "\\scaps";
    const bool rtl = format.boolProperty(RightToLeftRunProperty);
    if (rtl)
        m_body += "\\rtlch";
    const QByteArray kept = format.property(KeptWordsProperty).toByteArray();
    m_body += kept;
    // Mode words among them: the text itself is read in its own direction again.
    if (kept.contains("ch\\a"))
        m_body += rtl ? "\\rtlch\\loch" : "\\ltrch\\loch";
    if (font.strikeOut())
        m_body += "\\strike";
    const QBrush foreground = format.foreground();
    if (format.hasProperty(QTextFormat::ForegroundBrush) && foreground.style() != Qt::NoBrush)
        m_body += "\\cf" + QByteArray::number(colorIndex(foreground.color()));
    const QBrush background = format.background();
    if (format.hasProperty(QTextFormat::BackgroundBrush) && background.style() != Qt::NoBrush)
    {
        // Word processors that know the one read the other; \highlight alone is limited to a few colours.
        const QByteArray index = QByteArray::number(colorIndex(background.color()));
        m_body += "\\chcbpat" + index + "\\highlight" + index;
    }
}

int Writer::fontIndex(const QFont& font)
{
    const FontKey key{font.family(), font.styleHint(), font.fixedPitch()};
    auto it = m_fontIndex.constFind(key);
    if (it != m_fontIndex.constEnd())
        return *it;
    const int number = m_nextFont++;
    m_fonts.append({number, key});
    m_fontIndex.insert(key, number);
    return number;
}

void Writer::seedTables()
{
    m_fontTable = m_doc.property(kRtfFontTableProperty).toByteArray();
    if (!m_fontTable.endsWith('}'))
        m_fontTable.clear();
    if (!m_fontTable.isEmpty()) {
        // The first of equal fonts answers for them all, as the reader showed them.
        QList<QVariantList> entries;
        for (const QVariant& entry : m_doc.property(kRtfFontsProperty).toList())
            entries << entry.toList();
        std::sort(entries.begin(), entries.end(),
                  [](const QVariantList& a, const QVariantList& b) { return a.value(0).toInt() < b.value(0).toInt(); });
        for (const QVariantList& entry : std::as_const(entries)) {
            const int number = entry.value(0).toInt();
            QString family = entry.value(1).toString();
            if (family.isEmpty())
                family = m_defaultFont.family();
            const FontKey key{family, QFont::StyleHint(entry.value(2).toInt()), entry.value(3).toBool()};
            if (!m_fontIndex.contains(key))
                m_fontIndex.insert(key, number);
            m_nextFont = std::max(m_nextFont, number + 1);
        }
    }
    m_colorTable = m_doc.property(kRtfColorTableProperty).toByteArray();
    const QVariantList colors = m_doc.property(kRtfColorsProperty).toList();
    if (!m_colorTable.endsWith('}') || colors.isEmpty()) {
        m_colorTable.clear();
        return;
    }
    // Entry 0 is "auto"; an "auto" further on takes its place and is never chosen.
    for (qsizetype i = 1; i < colors.size(); ++i) {
        const QColor color = colors[i].value<QColor>();
        const QRgb rgb = color.isValid() ? color.rgb() & 0xFFFFFF : 0;
        m_colors.append(rgb);
        if (color.isValid() && !m_colorIndex.contains(rgb))
            m_colorIndex.insert(rgb, int(i));
    }
    m_seededColors = m_colors.size();
}

// Kept groups and marks as they were read, in the formats of their place (a footnote's own number takes the
// superscript of its mark).
void Writer::writeKept(const QTextCharFormat& format, int count)
{
    const QByteArray rtf = format.property(KeptRtfProperty).toByteArray();
    for (int i = 0; i < count; ++i) {
        m_body += '{';
        writeCharProps(format);
        m_body += ' ' + rtf + '}';
    }
}

int Writer::colorIndex(const QColor& color)
{
    const QRgb rgb = color.rgb() & 0xFFFFFF;
    auto it = m_colorIndex.constFind(rgb);
    if (it != m_colorIndex.constEnd())
        return *it;
    m_colors.append(rgb);
    m_colorIndex.insert(rgb, int(m_colors.size()));
    return int(m_colors.size());
}

} // namespace

QByteArray writeRtf(const QTextDocument& doc)
{
    return Writer(doc).write();
}

} // namespace richtext

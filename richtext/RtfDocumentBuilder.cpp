#include "richtext/RtfDocumentBuilder.h"

#include "richtext/RichText.h"
#include "richtext/RtfCommands.h"
#include "richtext/TextSanitizer.h"

#include <QCryptographicHash>
#include <QTextDocument>
#include <QTextTable>
#include <QUrl>
#include <algorithm>
#include <numeric>
#include <utility>

namespace richtext {

namespace {

constexpr double kTwipsPerPixel = 15.0; // document lengths are pixels at 96 dpi
constexpr int kMaxColumns = 63;         // as many as word processors allow; cells beyond share the last

} // namespace

RtfDocumentBuilder::RtfDocumentBuilder(QTextDocument& doc, const RtfTables& tables, const RtfFields& fields,
                                       const RowDef& rowDef, const RtfLists& lists, QString baseFamily)
    : m_cursor(&doc), m_tables(tables), m_fields(fields), m_rowDef(rowDef), m_lists(lists),
      m_baseFamily(std::move(baseFamily))
{
}

void RtfDocumentBuilder::appendText(QStringView text, const CharProps& chr, const ParaProps& para)
{
    if (text.isEmpty())
        return;
    enterContext(para);
    if (m_blockPending)
        startBlock(chr, para);
    if (m_cellPending) {
        m_cellPending = false;
        appendText(u"\t", chr, para);
    }
    flushHidden();
    if (chr != m_runProps) {
        flushRun();
        m_runProps = chr;
    }
    m_run += text;
}

void RtfDocumentBuilder::appendHidden(QStringView text, const CharProps& chr, const ParaProps& para)
{
    if (text.isEmpty())
        return;
    enterContext(para);
    if (m_blockPending)
        startBlock(chr, para);
    if (!m_run.isEmpty())
        flushRun();
    if (m_hidden.isEmpty())
        m_hiddenProps = chr;
    if (m_hidden.size() < 65536)
        m_hidden += text;
}

// Hidden text is one object character that takes no room; the text goes with it.
void RtfDocumentBuilder::flushHidden()
{
    if (m_hidden.isEmpty())
        return;
    const QString text = sanitizedText(m_hidden, false);
    m_hidden.clear();
    if (text.isEmpty())
        return;
    CharProps shown = m_hiddenProps;
    shown.hidden = false;
    QTextCharFormat format = charFormat(shown);
    format.setObjectType(HiddenTextObject);
    // Hidden text right after hidden text is one piece with it, in the first one's format: apart, they could
    // come back as one from a file written with formats that the writer cannot tell apart.
    if (m_hiddenEnd == m_cursor.position() && m_hiddenEnd > 0) {
        QTextCursor last(m_cursor);
        last.setPosition(m_hiddenEnd - 1, QTextCursor::KeepAnchor);
        QTextCharFormat before = last.charFormat();
        if (before.objectType() == HiddenTextObject) {
            before.setProperty(HiddenTextProperty, before.stringProperty(HiddenTextProperty) + text);
            last.setCharFormat(before);
            return;
        }
    }
    format.setProperty(HiddenTextProperty, text);
    m_cursor.insertText(QString(QChar::ObjectReplacementCharacter), format);
    m_hiddenEnd = m_cursor.position();
}

void RtfDocumentBuilder::countKept(const QString& kind)
{
    const qsizetype at = m_keptKinds.indexOf(kind);
    if (at >= 0) {
        ++m_keptCounts[at];
    } else {
        m_keptKinds << kind;
        m_keptCounts << 1;
    }
}

void RtfDocumentBuilder::insertKept(const QByteArray& rtf, const QString& kind, const CharProps& chr,
                                    const ParaProps& para)
{
    // Between paragraphs (before a table's first row, say) it waits for the next one: alone it would be a
    // paragraph of its own.
    if ((m_blockPending || m_cursorCellPending || m_rowPending) && !m_keptPending.active) {
        m_keptPending.items.push_back({rtf, kind, chr});
        return;
    }
    enterContext(para);
    if (m_blockPending)
        startBlock(chr, para);
    flushRun();
    CharProps shown = chr;
    shown.hidden = false;
    QTextCharFormat format = charFormat(shown);
    format.setObjectType(KeptRtfObject);
    format.setProperty(KeptRtfProperty, rtf);
    if (!kind.isEmpty()) {
        format.setProperty(KeptKindProperty, kind);
        countKept(kind);
    }
    m_cursor.insertText(QString(QChar::ObjectReplacementCharacter), format);
}

int RtfDocumentBuilder::fieldStart(const CharProps& chr, const ParaProps& para)
{
    enterContext(para);
    if (m_blockPending)
        startBlock(chr, para);
    flushRun();
    return m_cursor.position();
}

bool RtfDocumentBuilder::keepField(int start, const QByteArray& rtf, int id, const QString& kind,
                                   const CharProps& chr, const ParaProps& para)
{
    flushRun();
    const int end = m_cursor.position();
    // The group holds its own paragraph marks: a result over several paragraphs stays text.
    if (m_blockPending || end < start || m_cursor.document()->findBlock(start) != m_cursor.block())
        return false;
    if (end == start) {
        insertKept(rtf, kind, chr, para);
        return true;
    }
    QTextCursor result(m_cursor.document());
    result.setPosition(start);
    result.setPosition(end, QTextCursor::KeepAnchor);
    QTextCharFormat kept;
    kept.setProperty(KeptRtfProperty, rtf);
    kept.setProperty(KeptFieldProperty, id);
    if (!kind.isEmpty()) {
        kept.setProperty(KeptKindProperty, kind);
        countKept(kind);
    }
    result.mergeCharFormat(kept);
    return true;
}

void RtfDocumentBuilder::finishTable()
{
    if (!m_table)
        return;
    // The rows made ahead and not filled.
    if (m_rowsMade > m_row + 1)
        m_table->removeRows(m_row + 1, m_rowsMade - m_row - 1);
    m_rowsMade = m_row + 1;
    // Also where the rows have none: the table is written back without them.
    QTextTableFormat format = m_table->format();
    format.setProperty(TableRowWordsProperty, m_rowWords);
    m_table->setFormat(format);
    m_rowWords.clear();
}

void RtfDocumentBuilder::insertPicture(const RtfPicture& picture, const CharProps& chr, const ParaProps& para)
{
    enterContext(para);
    if (m_blockPending)
        startBlock(chr, para);
    flushRun();
    // Named after the content, so that one picture is one resource wherever it is shown or printed.
    const QString name = QStringLiteral("picture:") +
                         QString::fromLatin1(QCryptographicHash::hash(picture.data, QCryptographicHash::Md5).toHex());
    QTextDocument* doc = m_cursor.document();
    if (!doc->resource(QTextDocument::ImageResource, QUrl(name)).isValid())
        doc->addResource(QTextDocument::ImageResource, QUrl(name), picture.image);
    QTextImageFormat format;
    format.setName(name);
    format.setWidth(picture.size.width());
    format.setHeight(picture.size.height());
    format.setProperty(PictureDataProperty, picture.data);
    format.setProperty(PictureKindProperty, picture.kind);
    if (!picture.keptKind.isEmpty()) {
        format.setProperty(KeptKindProperty, picture.keptKind);
        countKept(picture.keptKind);
    }
    m_cursor.insertImage(format);
    m_blockHasText = true;
}

void RtfDocumentBuilder::flushRun()
{
    flushHidden();
    if (m_run.isEmpty())
        return;
    const QString text = sanitizedText(m_run, false);
    m_run.clear();
    if (text.isEmpty())
        return;
    m_cursor.insertText(text, charFormat(m_runProps));
    m_blockHasText = true;
}

void RtfDocumentBuilder::enterContext(const ParaProps& para)
{
    if (para.inTable) {
        if (!m_table) {
            flushRun();
            startTable();
            return;
        }
        if (m_rowPending) {
            flushRun();
            m_rowPending = false;
            layoutRow(true);
            moveToCell(m_row, columnOfCell(0));
            m_column = 0;
            return;
        }
        if (m_cursorCellPending) {
            flushRun();
            m_cursorCellPending = false;
            int column = columnOfCell(m_column);
            if (m_column > 0 && column == columnOfCell(m_column - 1)) {
                // Cells beyond the last column, or one merged into its left neighbour: the same cell, after a tab.
                m_cellPending = true;
                return;
            }
            if (column >= m_table->columns()) {
                if (m_table->columns() < kMaxColumns) {
                    m_table->appendColumns(column + 1 - m_table->columns());
                    applyWidths();
                } else {
                    m_cellPending = true; // the cursor stays at the end of the last cell
                    return;
                }
            }
            moveToCell(m_row, column);
        }
        return;
    }
    if (!m_table)
        return;
    // The paragraph after a table: the block that follows the table is there already.
    flushRun();
    dropRowsMadeAhead();
    finishTable();
    m_cursor.setPosition(m_table->lastPosition() + 1);
    m_table = nullptr;
    m_rowPending = false;
    m_cursorCellPending = false;
    m_cellPending = false;
    m_reuseBlock = true;
    m_blockPending = true;
    m_blockHasText = false;
}

void RtfDocumentBuilder::startTable()
{
    if (!m_blockPending)
        m_blockPending = true; // text before the table without a \par stays in its own paragraph
    QTextTableFormat format;
    // Borders are the cells' own, where the file gives them.
    format.setBorder(0);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_None);
    format.setBorderCollapse(true);
    format.setCellSpacing(0);
    format.setCellPadding(3);
    if (m_rowDef.align == Align::Centre)
        format.setAlignment(Qt::AlignHCenter);
    else if (m_rowDef.align == Align::Right)
        format.setAlignment(Qt::AlignRight);
    m_table = m_cursor.insertTable(1, 1, format);
    m_row = 0;
    m_rowsMade = 1;
    m_column = 0;
    m_rowPending = false;
    m_cursorCellPending = false;
    m_vMergeStart.assign(std::size_t(kMaxColumns), -1);
    m_edges.clear();
    layoutRow(false);
    moveToCell(0, columnOfCell(0));
}

// Places the row's cells by their right edges on the table's columns, which are the edges of all its rows
// so far: an edge that is new splits a column, and the cells of the rows before that spanned it keep
// spanning both halves. With newRow, the row is added first.
void RtfDocumentBuilder::layoutRow(bool newRow)
{
    m_cellColumns.clear();
    std::vector<int> rights;
    for (const RowDef::Cell& cell : m_rowDef.cells) {
        // Edges out of order are damage: each cell keeps at least a twip.
        const int right = std::min(std::max(cell.right, rights.empty() ? 1 : rights.back() + 1), 31680 + kMaxColumns);
        rights.push_back(right);
    }
    bool edgesChanged = !newRow;
    for (const int right : rights) {
        auto at = std::lower_bound(m_edges.begin(), m_edges.end(), right);
        if ((at != m_edges.end() && *at == right) || m_edges.size() >= std::size_t(kMaxColumns))
            continue;
        const int k = int(at - m_edges.begin());
        m_edges.insert(at, right);
        edgesChanged = true;
        if (m_edges.size() == 1)
            continue; // the table's first column, there already
        if (k == int(m_edges.size()) - 1) {
            m_table->appendColumns(1); // beyond the rows before: they end short of it
            continue;
        }
        // The new edge splits column k: the rows before keep their cell across both halves.
        m_table->insertColumns(k + 1, 1);
        for (int r = 0; r <= m_row; ++r) {
            const QTextTableCell cell = m_table->cellAt(r, k);
            const QTextTableCell next = m_table->cellAt(r, k + 1);
            if (cell.row() != r || cell.firstPosition() == next.firstPosition())
                continue;
            m_table->mergeCells(r, cell.column(), cell.rowSpan(), cell.columnSpan() + next.columnSpan());
        }
    }
    if (newRow) {
        // Each change to the rows has the table work its grid out again, as long as the table: rows are made
        // ahead, half as many again as there are, so that a long table costs in step with its length.
        ++m_row;
        if (m_row >= m_rowsMade) {
            const int ahead = std::max(1, m_rowsMade / 2);
            m_table->appendRows(ahead);
            m_rowsMade += ahead;
        }
    }
    // Setting the table's format again has it laid out again: only when its columns changed.
    if (edgesChanged)
        applyWidths();
    const auto columnOf = [&](int edge) {
        return int(std::lower_bound(m_edges.begin(), m_edges.end(), edge) - m_edges.begin());
    };
    for (std::size_t i = 0; i < rights.size(); ++i) {
        const int first = i == 0 ? 0 : std::min(columnOf(rights[i - 1]) + 1, kMaxColumns - 1);
        const int last = std::clamp(columnOf(rights[i]), first, kMaxColumns - 1);
        if (m_rowDef.cells[i].merged && i > 0) {
            // \clmrg: the cell belongs to the one on its left, which reaches to its edge.
            m_cellColumns[i - 1].second = last;
            m_cellColumns.push_back(m_cellColumns[i - 1]);
            continue;
        }
        m_cellColumns.emplace_back(first, last);
    }
}

// The rows layoutRow made ahead that the table did not fill.
void RtfDocumentBuilder::dropRowsMadeAhead()
{
    if (!m_table)
        return;
    if (m_rowsMade > m_row + 1)
        m_table->removeRows(m_row + 1, m_rowsMade - m_row - 1);
    m_rowsMade = m_row + 1;
}

int RtfDocumentBuilder::columnOfCell(int index) const
{
    if (m_cellColumns.empty())
        return index;
    if (std::size_t(index) < m_cellColumns.size())
        return m_cellColumns[std::size_t(index)].first;
    return m_cellColumns.back().second + 1 + (index - int(m_cellColumns.size()));
}

// Column widths from the cell edges.
void RtfDocumentBuilder::applyWidths()
{
    if (!m_table)
        return;
    QList<QTextLength> widths;
    int left = 0;
    for (int c = 0; c < m_table->columns(); ++c) {
        if (std::size_t(c) < m_edges.size() && m_edges[std::size_t(c)] > left) {
            const int right = std::min(m_edges[std::size_t(c)], 31680);
            widths << QTextLength(QTextLength::FixedLength, std::max(1, right - left) / kTwipsPerPixel);
            left = right;
        } else {
            widths << QTextLength(QTextLength::VariableLength, 0);
        }
    }
    QTextTableFormat format = m_table->format();
    format.setColumnWidthConstraints(widths);
    m_table->setFormat(format);
}

void RtfDocumentBuilder::moveToCell(int row, int column)
{
    m_cursor = m_table->cellAt(row, column).firstCursorPosition();
    m_cellPending = false;
    m_reuseBlock = true;
    m_blockPending = true;
    m_blockHasText = false;
}

// A block gets the formats in force where it starts; they are corrected at its end only when they changed,
// which they seldom do (changing a block's formats afterwards is what costs in a large document).
void RtfDocumentBuilder::startBlock(const CharProps& chr, const ParaProps& para)
{
    m_blockProps = para;
    m_blockCharProps = chr;
    // A page break in a table cell cannot be kept; it waits for the paragraph after the table.
    m_blockPageBreak = m_pageBreakNext && !m_table;
    if (m_blockPageBreak)
        m_pageBreakNext = false;
    m_blockSection.clear();
    if (!m_table && !m_sectionPending.isEmpty()) {
        m_blockSection = std::exchange(m_sectionPending, QByteArray());
        countKept(QStringLiteral("settings of later sections"));
    }
    if (m_reuseBlock) {
        m_cursor.setBlockFormat(blockFormat(para));
        m_cursor.setBlockCharFormat(charFormat(chr));
        m_reuseBlock = false;
    } else {
        m_cursor.insertBlock(blockFormat(para), charFormat(chr));
    }
    joinList(para);
    m_started = true;
    m_blockPending = false;
    m_blockHasText = false;
    insertPendingKept(para);
}

void RtfDocumentBuilder::insertPendingKept(const ParaProps& para)
{
    if (m_keptPending.items.empty() || m_keptPending.active)
        return;
    m_keptPending.active = true;
    for (const PendingKept& kept : std::exchange(m_keptPending.items, {}))
        insertKept(kept.rtf, kept.kind, kept.chr, para);
    m_keptPending.active = false;
}

void RtfDocumentBuilder::closeBlock(const CharProps& chr, const ParaProps& para)
{
    flushRun();
    if (m_blockPending)
        return;
    if (para != m_blockProps) {
        m_cursor.setBlockFormat(blockFormat(para));
        joinList(para);
    }
    // The paragraph mark's font gives an empty paragraph its height.
    if (!m_blockHasText && chr != m_blockCharProps)
        m_cursor.setBlockCharFormat(charFormat(chr));
}

void RtfDocumentBuilder::endParagraph(const CharProps& chr, const ParaProps& para)
{
    enterContext(para);
    flushRun();
    if (m_blockPending)
        startBlock(chr, para);
    closeBlock(chr, para);
    m_blockPending = true;
    m_cellPending = false;
}

void RtfDocumentBuilder::softBreak(const CharProps& chr, const ParaProps& para)
{
    flushRun();
    if (!m_blockPending && m_blockHasText)
        endParagraph(chr, para);
}

void RtfDocumentBuilder::pageBreak(const CharProps& chr, const ParaProps& para)
{
    softBreak(chr, para);
    m_pageBreakNext = true;
}

void RtfDocumentBuilder::endCell(const CharProps& chr, const ParaProps& para)
{
    ParaProps inCell = para;
    inCell.inTable = true; // a \cell is in a table, whether or not its paragraph said so
    enterContext(inCell);
    closeBlock(chr, inCell);
    ++m_column;
    m_cursorCellPending = true;
}

void RtfDocumentBuilder::endRow(const CharProps& chr, const ParaProps& para)
{
    if (!m_table) {
        endParagraph(chr, para);
        return;
    }
    closeBlock(chr, para);
    if (m_rowPending)
        return; // a second \row ends no row
    // Each cell's shading, borders and alignment, then the cells it spans, across and down.
    const int columns = m_table->columns();
    const auto& cells = m_rowDef.cells;
    for (std::size_t i = 0; i < cells.size() && i < m_cellColumns.size(); ++i) {
        const auto [first, last] = m_cellColumns[i];
        if (first >= columns || (i > 0 && m_cellColumns[i - 1] == m_cellColumns[i]))
            continue;
        const RowDef::Cell& cell = cells[i];
        QTextTableCell target = m_table->cellAt(m_row, first);
        QTextTableCellFormat format = target.format().toTableCellFormat();
        if (const QColor c = m_tables.color(cell.shade); c.isValid())
            format.setBackground(c);
        if (cell.vAlign == 'c')
            format.setVerticalAlignment(QTextCharFormat::AlignMiddle);
        else if (cell.vAlign == 'b')
            format.setVerticalAlignment(QTextCharFormat::AlignBottom);
        applyCellBorders(format, cell.borders);
        if (cell.paddingSet[0])
            format.setLeftPadding(cell.padding[0] / kTwipsPerPixel);
        if (cell.paddingSet[1])
            format.setTopPadding(cell.padding[1] / kTwipsPerPixel);
        if (cell.paddingSet[2])
            format.setRightPadding(cell.padding[2] / kTwipsPerPixel);
        if (cell.paddingSet[3])
            format.setBottomPadding(cell.padding[3] / kTwipsPerPixel);
        target.setFormat(format);
        const int span = std::min(last, columns - 1) - first + 1;
        if (span > 1 && target.columnSpan() == 1)
            m_table->mergeCells(m_row, first, 1, span);
        if (cell.vMergeFirst) {
            m_vMergeStart[std::size_t(first)] = m_row;
        } else if (cell.vMerged && m_vMergeStart[std::size_t(first)] >= 0) {
            const int top = m_vMergeStart[std::size_t(first)];
            const QTextTableCell above = m_table->cellAt(top, first);
            const QTextTableCell here = m_table->cellAt(m_row, first);
            if (above.column() == first && here.column() == first && above.columnSpan() == here.columnSpan() &&
                above.row() == top)
                m_table->mergeCells(top, first, m_row - top + 1, here.columnSpan());
        } else {
            m_vMergeStart[std::size_t(first)] = -1;
        }
    }
    m_rowWords.append(m_rowDef.keptWords);
    m_rowPending = true;
    m_cursorCellPending = false;
    m_cellPending = false;
    m_column = 0;
    m_blockPending = true;
}

void RtfDocumentBuilder::finish(const CharProps& chr, const ParaProps& para)
{
    flushRun();
    dropRowsMadeAhead();
    finishTable();
    // Kept groups after the last paragraph go at its end, or after a table that ends the document.
    if (!m_keptPending.items.empty() && m_started) {
        if (m_table) {
            m_cursor.setPosition(m_table->lastPosition() + 1);
            m_table = nullptr;
            m_rowPending = false;
            m_cursorCellPending = false;
            m_blockPending = true;
        }
        const bool pending = m_blockPending;
        m_blockPending = false;
        ParaProps outside = para;
        outside.inTable = false;
        insertPendingKept(outside);
        m_blockPending = pending;
    }
    if (!m_started)
        startBlock(chr, para);
    if (m_blockPending)
        return;
    closeBlock(chr, para);
}

// A paragraph of a list joins the list of its \ls and level, made at its first paragraph.
void RtfDocumentBuilder::joinList(const ParaProps& para)
{
    if (para.list <= 0 || !m_lists.defined) {
        if (QTextList* list = m_cursor.block().textList())
            list->remove(m_cursor.block());
        return;
    }
    const auto key = std::make_pair(para.list, para.level);
    QPointer<QTextList>& list = m_textLists[key];
    if (list && list->count() > 0) {
        list->add(m_cursor.block());
        return;
    }
    QTextListFormat format;
    switch (m_lists.kind(para.list, para.level)) {
    case 0:
        format.setStyle(QTextListFormat::ListDecimal);
        break;
    case 1:
        format.setStyle(QTextListFormat::ListUpperRoman);
        break;
    case 2:
        format.setStyle(QTextListFormat::ListLowerRoman);
        break;
    case 3:
        format.setStyle(QTextListFormat::ListUpperAlpha);
        break;
    case 4:
        format.setStyle(QTextListFormat::ListLowerAlpha);
        break;
    default:
        format.setStyle(para.level % 3 == 1 ? QTextListFormat::ListCircle
                        : para.level % 3 == 2 ? QTextListFormat::ListSquare
                                              : QTextListFormat::ListDisc);
        break;
    }
    // The paragraph's own indents place the text; the list adds none.
    format.setIndent(0);
    format.setProperty(ListNumberProperty, para.list);
    format.setProperty(ListLevelProperty, para.level);
    if (const int start = m_lists.start(para.list, para.level); start != 1)
        format.setProperty(ListStartProperty, start);
    const int id = m_lists.listId(para.list);
    if (const auto definition = m_lists.definitions.find(id); definition != m_lists.definitions.end()) {
        format.setProperty(ListDefinitionProperty, definition->second);
        format.setProperty(ListIdProperty, id);
    }
    list = m_cursor.createList(format);
}

QTextCharFormat RtfDocumentBuilder::charFormat(const CharProps& chr)
{
    if (m_cachedGeneration == m_tables.generation && chr == m_cachedProps)
        return m_cachedFormat;
    QTextCharFormat format;
    const FontEntry* font = m_tables.font(chr.font);
    // Without a font table the text keeps the document's default font: no family is named.
    if (font)
        format.setFontFamilies(QStringList{!font->family.isEmpty() ? font->family : m_baseFamily});
    if (font && font->hint != QFont::AnyStyle)
        format.setFontStyleHint(font->hint);
    if (font && font->fixedPitch)
        format.setFontFixedPitch(true);
    format.setFontPointSize(chr.halfPoints / 2.0);
    format.setFontWeight(chr.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(chr.italic);
    format.setFontUnderline(chr.underline);
    format.setFontStrikeOut(chr.strike);
    if (chr.underline && chr.underlineKind > 0) {
        const QByteArrayView word = rtfUnderlineWord(chr.underlineKind);
        format.setProperty(UnderlineWordProperty, QString::fromLatin1(word));
        // The nearest line Qt draws; double and words-only underlines show as single.
        if (word.contains("wave"))
            format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        else if (word.endsWith("dashdd"))
            format.setUnderlineStyle(QTextCharFormat::DashDotDotLine);
        else if (word.endsWith("dashd"))
            format.setUnderlineStyle(QTextCharFormat::DashDotLine);
        else if (word.contains("dash"))
            format.setUnderlineStyle(QTextCharFormat::DashUnderline);
        else if (word == "uld" || word == "ulthd")
            format.setUnderlineStyle(QTextCharFormat::DotLine);
    }
    if (chr.vertical == 1)
        format.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    else if (chr.vertical == 2)
        format.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    if (chr.caps)
        format.setFontCapitalization(QFont::AllUppercase);
    else if (chr.smallCaps)
        format.setFontCapitalization(QFont::SmallCaps);
    if (chr.rtl)
        format.setProperty(RightToLeftRunProperty, true);
    if (!chr.keptWords.isEmpty())
        format.setProperty(KeptWordsProperty, chr.keptWords);
    if (const QColor c = m_tables.color(chr.foreColor); c.isValid())
        format.setForeground(c);
    if (const QColor c = m_tables.color(chr.backColor); c.isValid())
        format.setBackground(c);
    if (chr.link >= 0 && std::size_t(chr.link) < m_fields.links.size()) {
        format.setAnchor(true);
        format.setAnchorHref(m_fields.links[std::size_t(chr.link)]);
        if (!format.hasProperty(QTextFormat::ForegroundBrush)) // shown as a link where the file gives no colour
            format.setForeground(QColor(0, 0, 255));
        format.setFontUnderline(true);
    }
    if (chr.mergeField >= 0 && std::size_t(chr.mergeField) < m_fields.mergeFields.size()) {
        format.setProperty(MergeFieldProperty, m_fields.mergeFields[std::size_t(chr.mergeField)]);
        if (!chr.mergeResult.isEmpty())
            format.setProperty(MergeFieldResultProperty, chr.mergeResult);
        format.setBackground(mergeFieldShade());
    }
    m_cachedProps = chr;
    m_cachedFormat = format;
    m_cachedGeneration = m_tables.generation;
    return format;
}
bool RtfDocumentBuilder::isNone(const Border& border)
{
    return border.style.isEmpty() || border.style == "brdrnone";
}

QString RtfDocumentBuilder::bordersText(const Borders& borders) const
{
    QStringList sides;
    for (std::size_t i = 0; i < borders.size(); ++i) {
        const Border& b = borders[i];
        if (isNone(b))
            continue;
        const QColor c = m_tables.color(b.color);
        sides << QStringLiteral("%1:%2,%3,%4,%5")
                     .arg(QLatin1Char("tlbr"[i]))
                     .arg(QString::fromLatin1(b.style))
                     .arg(b.width)
                     .arg(b.space)
                     .arg(c.isValid() ? c.name() : QString());
    }
    return sides.join(QLatin1Char(';'));
}

void RtfDocumentBuilder::applyCellBorders(QTextTableCellFormat& format, const Borders& borders)
{
    const QString text = bordersText(borders);
    if (text.isEmpty())
        return;
    format.setProperty(BordersProperty, text);
    for (std::size_t i = 0; i < borders.size(); ++i) {
        const Border& b = borders[i];
        const double width = isNone(b) ? 0.0 : std::max(b.width, 10) / kTwipsPerPixel;
        const QTextFrameFormat::BorderStyle style = isNone(b)            ? QTextFrameFormat::BorderStyle_None
                                                    : b.style == "brdrdb"  ? QTextFrameFormat::BorderStyle_Double
                                                    : b.style == "brdrdot" ? QTextFrameFormat::BorderStyle_Dotted
                                                    : b.style.startsWith("brdrdash") ? QTextFrameFormat::BorderStyle_Dashed
                                                                                     : QTextFrameFormat::BorderStyle_Solid;
        const QColor c = m_tables.color(b.color);
        const QBrush brush(c.isValid() ? c : QColor(Qt::black));
        switch (i) {
        case 0:
            format.setTopBorder(width);
            format.setTopBorderStyle(style);
            format.setTopBorderBrush(brush);
            break;
        case 1:
            format.setLeftBorder(width);
            format.setLeftBorderStyle(style);
            format.setLeftBorderBrush(brush);
            break;
        case 2:
            format.setBottomBorder(width);
            format.setBottomBorderStyle(style);
            format.setBottomBorderBrush(brush);
            break;
        default:
            format.setRightBorder(width);
            format.setRightBorderStyle(style);
            format.setRightBorderBrush(brush);
            break;
        }
    }
}

QTextBlockFormat RtfDocumentBuilder::blockFormat(const ParaProps& para)
{
    QTextBlockFormat format;
    switch (para.align) {
    case Align::Left:
        format.setAlignment(Qt::AlignLeft);
        break;
    case Align::Centre:
        format.setAlignment(Qt::AlignHCenter);
        break;
    case Align::Right:
        format.setAlignment(Qt::AlignRight);
        break;
    case Align::Justify:
        format.setAlignment(Qt::AlignJustify);
        break;
    }
    if (para.leftIndent)
        format.setLeftMargin(para.leftIndent / kTwipsPerPixel);
    if (para.rightIndent)
        format.setRightMargin(para.rightIndent / kTwipsPerPixel);
    const bool hangs = para.list > 0 && m_lists.defined && para.firstIndent < 0;
    if (hangs)
        format.setProperty(ListHangingIndentProperty, para.firstIndent / kTwipsPerPixel);
    else if (para.firstIndent)
        format.setTextIndent(para.firstIndent / kTwipsPerPixel);
    if (para.spaceBefore)
        format.setTopMargin(para.spaceBefore / kTwipsPerPixel);
    if (para.spaceAfter)
        format.setBottomMargin(para.spaceAfter / kTwipsPerPixel);
    if (para.lineSpacing > 0 && para.lineMultiple)
        format.setLineHeight(para.lineSpacing * 100.0 / 240.0, QTextBlockFormat::ProportionalHeight);
    else if (para.lineSpacing > 0)
        format.setLineHeight(para.lineSpacing / kTwipsPerPixel, QTextBlockFormat::MinimumHeight);
    else if (para.lineSpacing < 0)
        format.setLineHeight(-para.lineSpacing / kTwipsPerPixel, QTextBlockFormat::FixedHeight);
    if (para.rtl)
        format.setLayoutDirection(Qt::RightToLeft);
    if (const QColor c = m_tables.color(para.shade); c.isValid())
        format.setBackground(c);
    if (const QString borders = bordersText(para.borders); !borders.isEmpty()) {
        format.setProperty(BordersProperty, borders);
        // The one border Qt draws under a paragraph: the rule under a letterhead.
        if (!isNone(para.borders[2]))
            format.setProperty(QTextFormat::BlockTrailingHorizontalRulerWidth,
                               QTextLength(QTextLength::PercentageLength, 100));
    }
    if (!para.keptWords.isEmpty())
        format.setProperty(KeptWordsProperty, para.keptWords);
    if (m_blockPageBreak || para.pageBreakBefore)
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    if (!m_blockSection.isEmpty())
        format.setProperty(SectionStartProperty, m_blockSection);
    if (!para.tabs.empty()) {
        QString leaders;
        // RTF measures tab stops from the margin, Qt's layout from where the first line starts.
        const int lineStart = para.leftIndent + (hangs ? 0 : para.firstIndent);
        QList<QTextOption::Tab> tabs;
        for (const ParaProps::Tab& tab : para.tabs) {
            if (tab.position <= lineStart)
                continue;
            const QTextOption::TabType type = tab.kind == 'r'   ? QTextOption::RightTab
                                              : tab.kind == 'c' ? QTextOption::CenterTab
                                              : tab.kind == 'd' ? QTextOption::DelimiterTab
                                                                : QTextOption::LeftTab;
            leaders += tab.leader ? QChar::fromLatin1(tab.leader) : QChar(u' ');
            tabs << QTextOption::Tab((tab.position - lineStart) / kTwipsPerPixel, type, tab.kind == 'd' ? QChar('.') : QChar());
        }
        // Sorted with their leaders.
        std::vector<int> order(std::size_t(tabs.size()));
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return tabs[a].position < tabs[b].position; });
        QList<QTextOption::Tab> sorted;
        QString sortedLeaders;
        for (const int i : order) {
            sorted << tabs[i];
            sortedLeaders += leaders[i];
        }
        format.setTabPositions(sorted);
        if (!sortedLeaders.trimmed().isEmpty())
            format.setProperty(TabLeadersProperty, sortedLeaders);
    }
    return format;
}

} // namespace richtext

#include "richtext/RtfDocumentBuilder.h"

#include "richtext/RichText.h"
#include "richtext/TextSanitizer.h"

#include <QCryptographicHash>
#include <QTextDocument>
#include <QTextTable>
#include <QUrl>
#include <algorithm>

namespace richtext {

namespace {

constexpr double kTwipsPerPixel = 15.0; // document lengths are pixels at 96 dpi
constexpr int kMaxColumns = 63;         // as many as word processors allow; cells beyond share the last

} // namespace

RtfDocumentBuilder::RtfDocumentBuilder(QTextDocument& doc, const RtfTables& tables, const RtfFields& fields,
                                       const RowDef& rowDef, QString baseFamily)
    : m_cursor(&doc), m_tables(tables), m_fields(fields), m_rowDef(rowDef), m_baseFamily(std::move(baseFamily))
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
    if (chr != m_runProps) {
        flushRun();
        m_runProps = chr;
    }
    m_run += text;
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
    m_cursor.insertImage(format);
    m_blockHasText = true;
}

void RtfDocumentBuilder::flushRun()
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
            m_table->appendRows(1);
            m_row = m_table->rows() - 1;
            m_column = 0;
            // A row may have more cells than those before it.
            const int wanted = std::min<int>(kMaxColumns, int(m_rowDef.cells.size()));
            if (wanted > m_table->columns()) {
                m_table->appendColumns(wanted - m_table->columns());
                applyWidths();
            }
            moveToCell(m_row, 0);
            return;
        }
        if (m_cursorCellPending) {
            flushRun();
            m_cursorCellPending = false;
            if (m_column >= m_table->columns()) {
                if (m_table->columns() < kMaxColumns) {
                    m_table->appendColumns(m_column + 1 - m_table->columns());
                    applyWidths();
                } else {
                    m_column = m_table->columns() - 1;
                    m_cellPending = true;
                    return;
                }
            }
            moveToCell(m_row, m_column);
        }
        return;
    }
    if (!m_table)
        return;
    // The paragraph after a table: the block that follows the table is there already.
    flushRun();
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
    const int columns = std::clamp<int>(int(m_rowDef.cells.size()), 1, kMaxColumns);
    QTextTableFormat format;
    format.setBorder(1);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    format.setBorderCollapse(true);
    format.setCellSpacing(0);
    format.setCellPadding(3);
    m_table = m_cursor.insertTable(1, columns, format);
    m_row = 0;
    m_column = 0;
    m_rowPending = false;
    m_cursorCellPending = false;
    m_vMergeStart.assign(std::size_t(kMaxColumns), -1);
    m_rights.clear();
    for (const RowDef::Cell& cell : m_rowDef.cells)
        m_rights.push_back(cell.right);
    applyWidths();
    moveToCell(0, 0);
}

// Column widths from the first row's cell edges; edges out of order give no width of their own.
void RtfDocumentBuilder::applyWidths()
{
    if (!m_table)
        return;
    QList<QTextLength> widths;
    int left = 0;
    for (int c = 0; c < m_table->columns(); ++c) {
        if (std::size_t(c) < m_rights.size() && m_rights[std::size_t(c)] > left) {
            const int right = std::min(m_rights[std::size_t(c)], 31680);
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
    if (m_reuseBlock) {
        m_cursor.setBlockFormat(blockFormat(para));
        m_cursor.setBlockCharFormat(charFormat(chr));
        m_reuseBlock = false;
    } else {
        m_cursor.insertBlock(blockFormat(para), charFormat(chr));
    }
    m_started = true;
    m_blockPending = false;
    m_blockHasText = false;
}

void RtfDocumentBuilder::closeBlock(const CharProps& chr, const ParaProps& para)
{
    flushRun();
    if (m_blockPending)
        return;
    if (para != m_blockProps)
        m_cursor.setBlockFormat(blockFormat(para));
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
    // Merged cells, where the row definition says so and the table allows it.
    const int columns = m_table->columns();
    const auto& cells = m_rowDef.cells;
    for (int c = 0; c < columns && std::size_t(c) < cells.size(); ++c) {
        const RowDef::Cell& cell = cells[std::size_t(c)];
        if (cell.mergeFirst) {
            int span = 1;
            while (c + span < columns && std::size_t(c + span) < cells.size() && cells[std::size_t(c + span)].merged)
                ++span;
            if (span > 1)
                m_table->mergeCells(m_row, c, 1, span);
            c += span - 1;
            continue;
        }
        if (cell.vMergeFirst) {
            m_vMergeStart[std::size_t(c)] = m_row;
        } else if (cell.vMerged && m_vMergeStart[std::size_t(c)] >= 0) {
            const int first = m_vMergeStart[std::size_t(c)];
            if (m_table->cellAt(first, c).columnSpan() == 1 && m_table->cellAt(m_row, c).columnSpan() == 1)
                m_table->mergeCells(first, c, m_row - first + 1, 1);
        } else {
            m_vMergeStart[std::size_t(c)] = -1;
        }
    }
    m_rowPending = true;
    m_cursorCellPending = false;
    m_cellPending = false;
    m_column = 0;
    m_blockPending = true;
}

void RtfDocumentBuilder::finish(const CharProps& chr, const ParaProps& para)
{
    flushRun();
    if (!m_started)
        startBlock(chr, para);
    if (m_blockPending)
        return;
    closeBlock(chr, para);
}

QTextCharFormat RtfDocumentBuilder::charFormat(const CharProps& chr)
{
    if (m_cachedGeneration == m_tables.generation && chr == m_cachedProps)
        return m_cachedFormat;
    QTextCharFormat format;
    const FontEntry* font = m_tables.font(chr.font);
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
        format.setBackground(mergeFieldShade());
    }
    m_cachedProps = chr;
    m_cachedFormat = format;
    m_cachedGeneration = m_tables.generation;
    return format;
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
    if (para.firstIndent)
        format.setTextIndent(para.firstIndent / kTwipsPerPixel);
    if (para.spaceBefore)
        format.setTopMargin(para.spaceBefore / kTwipsPerPixel);
    if (para.spaceAfter)
        format.setBottomMargin(para.spaceAfter / kTwipsPerPixel);
    if (!para.tabs.empty()) {
        // RTF measures tab stops from the margin, Qt's layout from where the first line starts.
        const int lineStart = para.leftIndent + para.firstIndent;
        QList<QTextOption::Tab> tabs;
        for (const ParaProps::Tab& tab : para.tabs) {
            if (tab.position <= lineStart)
                continue;
            const QTextOption::TabType type = tab.kind == 'r'   ? QTextOption::RightTab
                                              : tab.kind == 'c' ? QTextOption::CenterTab
                                              : tab.kind == 'd' ? QTextOption::DelimiterTab
                                                                : QTextOption::LeftTab;
            tabs << QTextOption::Tab((tab.position - lineStart) / kTwipsPerPixel, type, tab.kind == 'd' ? QChar('.') : QChar());
        }
        std::sort(tabs.begin(), tabs.end(), [](const auto& a, const auto& b) { return a.position < b.position; });
        format.setTabPositions(tabs);
    }
    return format;
}

} // namespace richtext

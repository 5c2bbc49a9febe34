#include "richtext/RtfDocumentBuilder.h"

#include "richtext/TextSanitizer.h"

#include <QTextDocument>
#include <algorithm>

namespace richtext {

namespace {

constexpr double kTwipsPerPixel = 15.0; // document lengths are pixels at 96 dpi

} // namespace

RtfDocumentBuilder::RtfDocumentBuilder(QTextDocument& doc, const RtfTables& tables, QString baseFamily)
    : m_cursor(&doc), m_tables(tables), m_baseFamily(std::move(baseFamily))
{
}

void RtfDocumentBuilder::appendText(QStringView text, const CharProps& chr, const ParaProps& para)
{
    if (text.isEmpty())
        return;
    if (m_blockPending)
        startBlock(chr, para);
    if (m_cellPending) {
        m_cellPending = false;
        appendText(u"\t", chr, para);
    }
    if (m_cellLinePending) {
        m_cellLinePending = false;
        appendText(QString(QChar::LineSeparator), chr, para);
    }
    if (chr != m_runProps) {
        flushRun();
        m_runProps = chr;
    }
    m_run += text;
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

// A block gets the formats in force where it starts; they are corrected at its end only when they changed,
// which they seldom do (changing a block's formats afterwards is what costs in a large document).
void RtfDocumentBuilder::startBlock(const CharProps& chr, const ParaProps& para)
{
    m_blockProps = para;
    m_blockCharProps = chr;
    if (m_firstBlock) {
        m_cursor.setBlockFormat(blockFormat(para));
        m_cursor.setBlockCharFormat(charFormat(chr));
        m_firstBlock = false;
    } else {
        m_cursor.insertBlock(blockFormat(para), charFormat(chr));
    }
    m_blockPending = false;
    m_blockHasText = false;
}

void RtfDocumentBuilder::endParagraph(const CharProps& chr, const ParaProps& para)
{
    flushRun();
    if (m_blockPending)
        startBlock(chr, para);
    if (para != m_blockProps)
        m_cursor.setBlockFormat(blockFormat(para));
    // The paragraph mark's font gives an empty paragraph its height.
    if (!m_blockHasText && chr != m_blockCharProps)
        m_cursor.setBlockCharFormat(charFormat(chr));
    m_blockPending = true;
    m_cellPending = false;
    m_cellLinePending = false;
}

void RtfDocumentBuilder::softBreak(const CharProps& chr, const ParaProps& para)
{
    flushRun();
    if (!m_blockPending && m_blockHasText)
        endParagraph(chr, para);
}

void RtfDocumentBuilder::endCellLine()
{
    flushRun();
    m_cellLinePending = true;
}

void RtfDocumentBuilder::endCell(const CharProps& chr, const ParaProps& para)
{
    m_cellLinePending = false;
    if (m_cellPending) {
        m_cellPending = false;
        appendText(u"\t", chr, para);
    }
    m_cellPending = true;
}

void RtfDocumentBuilder::endRow(const CharProps& chr, const ParaProps& para)
{
    m_cellPending = false;
    m_cellLinePending = false;
    endParagraph(chr, para);
}

void RtfDocumentBuilder::finish(const CharProps& chr, const ParaProps& para)
{
    flushRun();
    if (m_firstBlock)
        startBlock(chr, para);
    if (m_blockPending)
        return;
    if (para != m_blockProps)
        m_cursor.setBlockFormat(blockFormat(para));
    if (!m_blockHasText && chr != m_blockCharProps)
        m_cursor.setBlockCharFormat(charFormat(chr));
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

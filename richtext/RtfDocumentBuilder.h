#pragma once

#include "richtext/RtfDocumentModel.h"

#include <QTextCharFormat>
#include <QTextCursor>

class QTextDocument;

namespace richtext {

// Builds the document from what the RTF reader finds: runs of text with their character properties,
// paragraph ends, and table cells and rows (a row reads as one paragraph, its cells separated by tabs).
class RtfDocumentBuilder
{
public:
    RtfDocumentBuilder(QTextDocument& doc, const RtfTables& tables, QString baseFamily);

    void appendText(QStringView text, const CharProps& chr, const ParaProps& para);
    void endParagraph(const CharProps& chr, const ParaProps& para);
    // \page and \sect: the end of a paragraph that has text, nothing otherwise.
    void softBreak(const CharProps& chr, const ParaProps& para);
    // \par inside a table cell: a line break if more of the cell follows.
    void endCellLine();
    void endCell(const CharProps& chr, const ParaProps& para);
    void endRow(const CharProps& chr, const ParaProps& para);
    void finish(const CharProps& chr, const ParaProps& para);

private:
    void startBlock(const CharProps& chr, const ParaProps& para);
    void flushRun();
    QTextCharFormat charFormat(const CharProps& chr);
    static QTextBlockFormat blockFormat(const ParaProps& para);

    QTextCursor m_cursor;
    const RtfTables& m_tables;
    QString m_baseFamily;

    QString m_run;
    CharProps m_runProps;
    // A block starts with its first content (or \par): a final \par adds no empty paragraph, and the
    // document's first block is the one every document has.
    bool m_blockPending = true;
    bool m_firstBlock = true;
    bool m_blockHasText = false;
    ParaProps m_blockProps; // the formats the current block was given when it started
    CharProps m_blockCharProps;
    bool m_cellPending = false;     // a \cell ended a cell; a tab separates it from the next one's text
    bool m_cellLinePending = false; // a \par inside a cell; a line break if more of the cell follows

    CharProps m_cachedProps;
    QTextCharFormat m_cachedFormat;
    int m_cachedGeneration = -1;
};

} // namespace richtext

#pragma once

#include "richtext/RtfDocumentModel.h"

#include <QImage>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QPointer>
#include <QTextList>

#include <map>
#include <QTextTableCellFormat>
#include <QStringList>
#include <QVariantList>

class QTextDocument;
class QTextTable;

namespace richtext {

// A picture as the reader found it: the image to show (a placeholder for a kind that is kept as it was
// read), its size in the document in pixels, and what the writer writes back.
struct RtfPicture
{
    QImage image;
    QSizeF size;
    QByteArray data;
    QString kind; // "png", "jpeg" or "rtf"
    QString keptKind; // for a picture kept with its group: what the group holds that the editor does not show
};

// Builds the document from what the RTF reader finds: runs of text with their character properties,
// pictures, paragraph ends, and table cells and rows (a row of a table, its cells as the row definition
// places them).
class RtfDocumentBuilder
{
public:
    RtfDocumentBuilder(QTextDocument& doc, const RtfTables& tables, const RtfFields& fields, const RowDef& rowDef,
                       const RtfLists& lists, QString baseFamily);

    void appendText(QStringView text, const CharProps& chr, const ParaProps& para);
    void insertPicture(const RtfPicture& picture, const CharProps& chr, const ParaProps& para);
    void endParagraph(const CharProps& chr, const ParaProps& para);
    // \page and \sect: the end of a paragraph that has text, nothing otherwise.
    void softBreak(const CharProps& chr, const ParaProps& para);
    // \page: a paragraph that has text ends, and the next one starts a page.
    void pageBreak(const CharProps& chr, const ParaProps& para);
    void cancelPageBreak() { m_pageBreakNext = false; }
    // Text kept in place and not shown.
    void appendHidden(QStringView text, const CharProps& chr, const ParaProps& para);
    void endCell(const CharProps& chr, const ParaProps& para);
    void endRow(const CharProps& chr, const ParaProps& para);
    void finish(const CharProps& chr, const ParaProps& para);

    // Whether the text has begun: the groups met before it belong to the document, not to a place in it.
    [[nodiscard]] bool started() const { return m_started; }
    // An RTF group or mark the editor does not show, kept in place as an object that takes no room.
    void insertKept(const QByteArray& rtf, const QString& kind, const CharProps& chr, const ParaProps& para);
    // Where a field's result starts, once the text before it is in.
    [[nodiscard]] int fieldStart(const CharProps& chr, const ParaProps& para);
    // Marks the result from start on as the field's, to be written back as the whole group; a result that
    // spans paragraphs is left as text and false returned.
    bool keepField(int start, const QByteArray& rtf, int id, const QString& kind, const CharProps& chr,
                   const ParaProps& para);
    // The section words of a section after the first: its first paragraph gets them.
    void startSection(const QByteArray& words) { m_sectionPending = words; }
    // How many of each kind of kept content were read, in the order first met.
    [[nodiscard]] const QStringList& keptKinds() const { return m_keptKinds; }
    [[nodiscard]] const QList<int>& keptCounts() const { return m_keptCounts; }

private:
    // Enters the table, its next row, or leaves it, as the paragraph about to get content asks.
    void enterContext(const ParaProps& para);
    void startTable();
    void applyWidths();
    void layoutRow(bool newRow);
    void dropRowsMadeAhead();
    [[nodiscard]] int columnOfCell(int index) const;
    void applyCellBorders(QTextTableCellFormat& format, const Borders& borders);
    void flushHidden();
    void countKept(const QString& kind);
    void insertPendingKept(const ParaProps& para);
    void finishTable();
    void moveToCell(int row, int column);
    void startBlock(const CharProps& chr, const ParaProps& para);
    // Corrects the formats of the block being ended, where they changed after it started.
    void closeBlock(const CharProps& chr, const ParaProps& para);
    void flushRun();
    QTextCharFormat charFormat(const CharProps& chr);
    QTextBlockFormat blockFormat(const ParaProps& para);
    [[nodiscard]] static bool isNone(const Border& border);
    // The borders as BordersProperty holds them.
    [[nodiscard]] QString bordersText(const Borders& borders) const;

    QTextCursor m_cursor;
    const RtfTables& m_tables;
    const RtfFields& m_fields;
    const RowDef& m_rowDef;
    const RtfLists& m_lists;
    std::map<std::pair<int, int>, QPointer<QTextList>> m_textLists; // by \ls and level
    void joinList(const ParaProps& para);
    QString m_baseFamily;

    QString m_run;
    CharProps m_runProps;
    // A block starts with its first content (or \par): a final \par adds no empty paragraph. The document's
    // first block, a table cell's and the one after a table exist already and are used as they are.
    bool m_blockPending = true;
    bool m_reuseBlock = true;
    bool m_blockHasText = false;
    ParaProps m_blockProps; // the formats the current block was given when it started
    CharProps m_blockCharProps;
    bool m_cellPending = false; // cells beyond the table's last column go into it, after a tab

    QTextTable* m_table = nullptr;
    int m_row = 0;
    int m_rowsMade = 0; // the table's rows, those made ahead of the one being filled included
    int m_column = 0; // the cell of the row being filled
    bool m_rowPending = false;        // \row ended a row; the next content in a table starts another
    bool m_cursorCellPending = false; // \cell ended a cell; the next content goes to the next one
    bool m_started = false;           // the document's first block has its formats
    std::vector<int> m_vMergeStart; // per column: the row where a vertical merge began, or -1
    std::vector<int> m_edges;       // the table's column edges: every cell edge of its rows so far
    std::vector<std::pair<int, int>> m_cellColumns; // per cell of the row: its first and last column
    QString m_hidden;                // hidden text not yet inserted, with its properties
    CharProps m_hiddenProps;
    int m_hiddenEnd = -1;
    bool m_pageBreakNext = false;    // \page: the next paragraph starts a page
    bool m_blockPageBreak = false;   // the current paragraph starts a page

    QByteArray m_sectionPending;   // the words of a section that starts with the next paragraph
    QByteArray m_blockSection;     // those of the section the current paragraph starts
    QVariantList m_rowWords;       // each row's kept words, for the table being read
    struct PendingKept
    {
        QByteArray rtf;
        QString kind;
        CharProps chr;
    };
    struct
    {
        std::vector<PendingKept> items; // kept groups met between paragraphs
        bool active = false;            // being inserted
    } m_keptPending;
    QStringList m_keptKinds;
    QList<int> m_keptCounts;

    CharProps m_cachedProps;
    QTextCharFormat m_cachedFormat;
    int m_cachedGeneration = -1;
};

} // namespace richtext

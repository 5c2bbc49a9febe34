#pragma once

#include "reports/Common.h"
#include "reports/ReportDefinition.h"

#include <QColor>
#include <QHash>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <unordered_map>
#include <variant>
#include <vector>

// Rendered pages: a display list in millimetres from the paper's top-left corner. What the renderer makes,
// the painter draws, the preview shows and a saved report file holds.
namespace reports {

// One line of text. `box` is the text's own extent: its left edge where the text starts, its width the
// text's advance, its height one font line; the baseline lies one font ascent below its top.
struct TextItem
{
    QString text;
    int font = 0; // index into Rendering::fonts()
    QRectF box;
    Alignment alignment = Alignment::Left; // how the text was placed; the painter keeps that edge exact
    friend bool operator==(const TextItem&, const TextItem&) = default;
};

// A straight line; `width` in mm (1 point = 0.3528 mm), centred on the line from `from` to `to`.
struct LineItem
{
    QPointF from;
    QPointF to;
    double width = kMmPerPoint;
    QColor color = Qt::black;
    friend bool operator==(const LineItem&, const LineItem&) = default;
};

// A rectangle, filled with `fill` (transparent: none) and outlined with a pen of `penWidth` mm (0: none).
struct RectItem
{
    QRectF rect;
    QColor fill = Qt::transparent;
    double penWidth = 0;
    QColor penColor = Qt::black;
    friend bool operator==(const RectItem&, const RectItem&) = default;
};

// A rich-text document laid out at the width of `rect`; only `visibleHeight` mm of it are shown, from `offset`
// mm below its top, cut where no line is shown only in part (see fittingHeight()).
struct RichTextItem
{
    QRectF rect;
    double visibleHeight = 0;
    int content = 0; // index into Rendering::richTexts()
    double offset = 0;
    friend bool operator==(const RichTextItem&, const RichTextItem&) = default;
};

using PageItem = std::variant<TextItem, LineItem, RectItem, RichTextItem>;

struct Page
{
    QSizeF size;                 // mm, orientation applied
    std::vector<PageItem> items; // in drawing order

    friend bool operator==(const Page&, const Page&) = default;
};

class MergedLayout;

// A rich text that is a merge template filled in: its template laid out once, and what each field shows.
struct FilledTemplate
{
    std::shared_ptr<MergedLayout> layout;
    QStringList texts;
};

// The result of one run of a report: its pages in order, with the tables the pages refer to.
class Rendering
{
public:
    QString title; // the report title; empty where the report has none
    std::vector<Page> pages;
    bool finished = false; // all records done (false after a cancel or while rendering)
    // Values printed in a smaller size or cut to fit their place (not kept in saved reports).
    int shortened = 0;

    [[nodiscard]] int pageCount() const { return static_cast<int>(pages.size()); }

    // Fonts and rich-text documents are kept once and referred to by index from the items.
    [[nodiscard]] int addFont(const ReportFont& font);
    [[nodiscard]] const std::vector<ReportFont>& fonts() const { return m_fonts; }
    [[nodiscard]] int addRichText(const QString& html);
    [[nodiscard]] const std::vector<QString>& richTexts() const { return m_richTexts; }
    // The same for a filled merge template, which is then laid out by filling in its template's layout
    // rather than from the HTML. Only in memory: the content is the HTML, as saved.
    [[nodiscard]] int addRichText(const QString& html, FilledTemplate filled);
    [[nodiscard]] const FilledTemplate* filledTemplate(int content) const;
    // The pictures the rich texts show, by the name they use: each kept once, however many pages show it.
    void addImage(const QString& name, const QImage& image);
    [[nodiscard]] const std::map<QString, QImage>& images() const { return m_images; }

    // Merge fields of a letter body that name no field of the records, in the order first met.
    QStringList unknownMergeFields;

    friend bool operator==(const Rendering&, const Rendering&) = default;

private:
    std::vector<ReportFont> m_fonts;
    std::vector<QString> m_richTexts;
    QHash<QString, int> m_richTextIndex;
    // A way to lay out some of the contents, not part of them: renderings that differ only here are equal.
    struct FilledTemplates
    {
        std::unordered_map<int, FilledTemplate> byContent;
        friend bool operator==(const FilledTemplates&, const FilledTemplates&) { return true; }
    } m_filled;
    std::map<QString, QImage> m_images;
};

// "Unknown merge fields: A, B", for a rendering that met any.
[[nodiscard]] QString unknownMergeFieldsText(const Rendering& rendering);

// "3 values shortened to fit", for the preview's status bar and a batch run; empty for none.
[[nodiscard]] QString shortenedNotice(int shortened);

// The 0-based indexes of the pages printing sends for a page range: all for 0 and 0, pages from..to
// (1-based, clipped to the page count) otherwise; none where the range starts after the last page.
[[nodiscard]] std::vector<int> pagesToPrint(const PageRange& range, int pageCount);

} // namespace reports

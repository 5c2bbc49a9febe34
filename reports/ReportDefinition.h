#pragma once

#include "reports/Common.h"

#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

class QTextDocument;

// A report layout as data: paper, margins, columns, bands and their elements. Layouts are built by
// definition functions (phoneListReport() and its siblings) and rendered by reports::render().
namespace reports {

struct Paper
{
    QString name;
    QSizeF size; // portrait width and length, mm

    [[nodiscard]] static Paper a4() { return {QStringLiteral("A4"), QSizeF(210.0, 297.0)}; }
    [[nodiscard]] static Paper a5() { return {QStringLiteral("A5"), QSizeF(148.0, 210.0)}; }
    friend bool operator==(const Paper&, const Paper&) = default;
};

enum class Orientation { Portrait, Landscape };
enum class PaperSource { FirstTray, Automatic };

struct Margins
{
    double top = 0;
    double bottom = 0;
    double left = 0;
    double right = 0;
};

// First and last page that printing sends; 0 and 0 mean all pages.
struct PageRange
{
    int from = 0;
    int to = 0;
    [[nodiscard]] bool all() const { return from == 0 && to == 0; }
    friend bool operator==(const PageRange&, const PageRange&) = default;
};

enum class ElementKind {
    Text,       // fixed text: its caption (`text`)
    DataField,  // the text of one field of the current record (`text` is the field name)
    Expression, // the value of one expression (`text`)
    ExprMemo,   // `lines`, each part in braces replaced by its expression's value
    PageNumber, // `text` as a prefix, then the current page number
    Shape,      // a line or a rectangle (`shape`)
    RichText,   // a rich-text document (`richText`) laid out in the element's rectangle and cut at its height
};

enum class ShapeKind { Rectangle, HorizontalLine, VerticalLine };

// What becomes of a line wider than its element.
enum class Fit {
    RunOn,         // printed whole, running past the element's edge (auto-size) or broken at blanks (word wrap)
    ShrinkThenCut, // printed in a smaller size of the same font, down to `minPointSize`, then cut with "…"
};

// The smallest sizes a value may be made to fit its place, and the room kept free at the place's right edge.
constexpr double kLabelMinPointSize = 6.0;
constexpr double kMinPointSize = 7.0;
constexpr double kFitRightMargin = 1.0; // mm

struct Element
{
    ElementKind kind = ElementKind::Text;
    QString name; // the layout's name for it, e.g. "QRExprMemo1"

    // Offsets from the band's top-left corner and size, mm. A text element is at least one font line high
    // whatever its height says, so a single line always prints.
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;

    std::optional<ReportFont> font; // none: the report's default font
    Alignment alignment = Alignment::Left;
    // Auto-size: every line prints whole on one line, never wrapped or cut, and the element is as wide as
    // its longest line (a left-aligned one grows to the right, a right-aligned one to the left).
    bool autoSize = true;
    // Without auto-size: break lines wider than the element at blanks. Off: a long line runs past the
    // element's edge on the side away from its alignment.
    bool wordWrap = true;
    // A line reaching below the element's bottom is dropped even where it is the first, so that nothing is
    // drawn below a label's foot (with ShrinkThenCut for the width: nothing past any of its edges).
    bool cutToBox = false;
    // Place the element by its alignment at the band's left edge, right edge or middle.
    bool alignToBand = false;
    // ShrinkThenCut: every line is one value that must lie within the element's width (and the page's right
    // margin). A wider one is printed in the largest smaller size of the same font, in half points down to
    // `minPointSize`, that fits; if none does, at `minPointSize`, cut after the last whole character that fits
    // and ended with "…". The line keeps its baseline. Set with fitToPlace().
    Fit fit = Fit::RunOn;
    double minPointSize = kMinPointSize;
    // Grow: the element is as high as its lines need (never lower than `height`); the elements of its band
    // that lie below it, and the band itself, move down or grow by as much (see Band::followsGrowth).
    bool canGrow = false;
    // The name of an element of the same band whose text this one follows: it starts no further left than
    // one blank after that text, measured in that element's font, so the two never overlap.
    QString placeAfter;
    // Opaque: the element's rectangle is first filled with `background`.
    bool opaque = false;
    QColor background = Qt::white;

    QString text;
    QStringList lines;
    bool removeBlankLines = false; // expression memo: drop lines whose merged text is empty or only blanks

    ShapeKind shape = ShapeKind::Rectangle;
    double penWidth = 1.0; // points
    QColor penColor = Qt::black;
    QColor fill = Qt::transparent;

    // The document is read when a page is rendered (never copied beforehand). Null: nothing printed.
    std::function<const QTextDocument*()> richText;
};

// Element makers for layout tables: position and content; the options are set on the result.
[[nodiscard]] Element textElement(const QString& name, double left, double top, const QString& caption);
[[nodiscard]] Element fieldElement(const QString& name, double left, double top, const QString& field);
[[nodiscard]] Element expressionElement(const QString& name, double left, double top, const QString& expression);
[[nodiscard]] Element memoElement(const QString& name, double left, double top, double width, double height,
                                  const QStringList& lines, bool removeBlankLines);
[[nodiscard]] Element pageNumberElement(const QString& name, double left, double top, const QString& prefix);
[[nodiscard]] Element lineElement(const QString& name, ShapeKind shape, double left, double top, double length,
                                  double penWidthPoints = 1.0);
[[nodiscard]] Element rectangleElement(const QString& name, double left, double top, double width, double height);
// Makes an element's lines fit their place: the width from the band's left edge to the place's right edge
// (`placeRight`, mm from the band's left edge), less the element's own left offset and kFitRightMargin.
void fitToPlace(Element& element, double placeRight, double minPointSize);
[[nodiscard]] Element richTextElement(const QString& name, double left, double top, double width, double height,
                                      std::function<const QTextDocument*()> document);

enum class BandKind { Title, ColumnHeader, GroupHeader, Detail, PageFooter };

// Edges along which a band draws a solid line, 1 point wide.
struct BandFrame
{
    bool top = false;
    bool bottom = false;
    bool left = false;
    bool right = false;
};

// A horizontal strip of fixed height: it never grows or shrinks, whatever its elements hold.
struct Band
{
    BandKind kind = BandKind::Detail;
    QString name;
    double height = 0; // mm; moved by in steps of 0.1 mm
    BandFrame frame;
    QString groupExpression; // group header only: a new group begins where its value changes
    // Page footer only: its elements move down by as much as the bands above it grew on the page (elements
    // that can grow), and are cut at the foot of the page (paper length less the bottom margin).
    bool followsGrowth = false;
    std::vector<Element> elements;
};

// A list's page foot: "Page N" at the right edge, in a place `numberWidth` mm wide, never broken at its blank.
[[nodiscard]] Band pageNumberFooter(double numberWidth);

// A sheet of labels (or an envelope: one label the size of the paper) with each label at its exact place, not
// flowed in 0.1 mm steps: a stock's pitch need not be a whole number of tenths. Labels are taken row by row
// (across first) or column by column.
struct LabelGrid
{
    int columns = 1;
    int rows = 1;
    double left = 0;   // the first label's left edge, mm from the paper's left edge
    double top = 0;    // the first label's top edge, mm from the paper's top edge
    double hPitch = 0; // from one label's left edge to the next one's
    double vPitch = 0; // from one label's top edge to the next one's
    double labelWidth = 0;
    double labelHeight = 0;
    bool acrossFirst = true;

    [[nodiscard]] int count() const { return columns * rows; }
    // The top-left corner of the label at a 0-based place in the fill order.
    [[nodiscard]] QPointF labelOrigin(int index) const;
};

// What printing a sheet stock changes on a printer: a shift of the whole page measured with the check sheet,
// and envelopes that go in with their long edge first (the page is then not turned for the printer).
struct PrintAdjustment
{
    QPointF shift; // mm: how far the printer puts things right of and below their place
    bool longEdgeFirst = false;
};

struct ReportDefinition
{
    QString name;                                      // the report object's name, e.g. "QuickRep1"
    QString title;                                     // preview caption and print job name; may be empty
    QString dataSetName = QStringLiteral("HomeQuery"); // allowed before field names in expressions
    Paper paper = Paper::a4();
    Orientation orientation = Orientation::Portrait;
    Margins margins;
    int columns = 1;
    double columnSpacing = 0;
    bool footerOnLastPage = true;
    bool printIfEmpty = false;
    int copies = 1;
    QString printer; // the printer chosen in the print dialog; empty: the system's default printer
    PaperSource paperSource = PaperSource::FirstTray;
    PageRange pageRange;
    // Label reports: the labels to a sheet (0: not a label report), and the label of the first sheet that
    // takes the first contact, counted column by column from 1, so that a part-used sheet can go through
    // again. Kept for the run like the print settings; clamped to 1..labelsPerSheet when rendering.
    int labelsPerSheet = 0;
    int startAtLabel = 1;
    // Sheets with their own grid: the detail band is drawn once per record at each label's exact place (its
    // width the label's), the title band once on the first page; column header, group and footer bands do not
    // print. labelsPerSheet is the grid's count.
    std::optional<LabelGrid> labelGrid;
    // The adjustment for a printer, by its name; null: none. Asked when the pages go to a printer.
    std::function<PrintAdjustment(const QString& printerName)> printAdjustment;
    ReportFont defaultFont;
    // Where set, the rows print in this field's order (the program's collation for names) whenever the source
    // is not in that order already; the source's own order and current row stay as they are.
    QString printOrderField;
    // Title, column header, group headers (outermost first), detail and page footer; at most one of each
    // kind except group headers.
    std::vector<Band> bands;

    [[nodiscard]] const Band* band(BandKind kind) const;
    [[nodiscard]] std::vector<const Band*> groupBands() const;
    [[nodiscard]] QSizeF pageSize() const; // orientation applied
};

// Where things go on the page (mm from the paper's top-left corner).
struct PageGeometry
{
    QSizeF pageSize;
    double fullWidth = 0;
    double columnWidth = 0;
    double left = 0;
    double columnSpacing = 0;
    Tenths top = 0;            // top margin
    Tenths bandAreaBottom = 0; // paper length - bottom margin - page footer height

    [[nodiscard]] static PageGeometry of(const ReportDefinition& definition);
    // Left edge of column k, counted from 0.
    [[nodiscard]] double columnLeft(int k) const { return left + k * (columnWidth + columnSpacing); }
};

// Throws platform::AppError where a definition cannot be rendered (no columns, bands out of order...).
void validate(const ReportDefinition& definition);

} // namespace reports

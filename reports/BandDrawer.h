#pragma once

#include "reports/Expression.h"
#include "reports/Pages.h"
#include "reports/ReportDefinition.h"
#include "reports/TextMetrics.h"
#include "richtext/RichText.h"

#include <QImage>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class QTextDocument;

namespace reports {

class MergedLayout;
class RecordSource;

// Lays out the elements of bands onto pages. Everything that can be worked out once per rendering (fonts,
// metrics, parsed expressions, field indexes) is prepared in the constructor. Used by the renderer.
class BandDrawer
{
public:
    // Throws AppError for an element that cannot be rendered (unknown field, bad expression).
    BandDrawer(const ReportDefinition& definition, const RecordSource& source, Rendering& out);

    // Where a band is drawn beyond its own place: its elements moved down by `shift`, and nothing of them below
    // `bottom` (mm from the paper's top edge).
    struct Placement
    {
        double shift = 0;
        double bottom = std::numeric_limits<double>::infinity();
    };

    // Draws a band with its top-left corner at (left, top) and the given width. row -1: every field empty.
    // Returns how much the band grew (elements that can grow and needed more room), mm.
    double draw(const Band& band, Page& page, double left, double top, double width, int row, int pageNumber,
                const Placement& placement);
    double draw(const Band& band, Page& page, double left, double top, double width, int row, int pageNumber)
    {
        return draw(band, page, left, top, width, row, pageNumber, Placement{});
    }

    // How much the band will grow for a row, without drawing it (0 for a band without growing elements).
    [[nodiscard]] double growth(const Band& band, int row, int pageNumber) const;

    // The value of the group band's expression for a row.
    [[nodiscard]] QString groupValue(const Band& band, int row) const;

private:
    struct Compiled
    {
        const Element* element = nullptr;
        ReportFont font;
        int fontIndex = 0;
        double lineHeight = 0;
        int field = -1;
        std::optional<Expression> expression;
        std::optional<ExpressionMemo> memo;
        int after = -1; // placeAfter: index of the element it follows in its band
    };
    // One line as printed: possibly smaller or cut to fit.
    struct FittedLine
    {
        QString text;
        ReportFont font;
        double width = 0;
        bool shortened = false;
    };
    struct RichTextKey
    {
        const QTextDocument* document;
        int revision;
        double width;
        double height;
        auto operator<=>(const RichTextKey&) const = default;
    };
    struct RichTextPlaced
    {
        int content;
        double visibleHeight;
    };
    // A document with merge fields: its content made ready for filling in, and what each filling gave.
    struct RichTextMerge
    {
        std::shared_ptr<richtext::MergeTemplate> merge;
        std::map<QString, QImage> images;
        std::shared_ptr<MergedLayout> layout; // where it has fields
        std::unordered_map<QString, RichTextPlaced> placed;
    };

    [[nodiscard]] Compiled compile(const Element& element, const ExpressionScope& scope);
    [[nodiscard]] QStringList linesOf(const Compiled& c, int row, int pageNumber) const;
    [[nodiscard]] QStringList wrapped(const Compiled& c, const QStringList& lines) const;
    [[nodiscard]] static bool isText(const Element& e);
    // How much more room than its height an element's lines need, where it can grow.
    [[nodiscard]] static double growthOf(const Compiled& c, const QStringList& lines);
    // `font`: the element's font, or the smaller one its whole block took to fit its height.
    [[nodiscard]] FittedLine fitLine(const Compiled& c, const ReportFont& font, const QString& line,
                                     double available) const;
    // Returns the right edge of the first line followed by one blank (for elements placed after it).
    double drawText(const Compiled& c, Page& page, double left, double top, double width, const QStringList& lines,
                    double grown, double minLeft, double bottom);
    void drawShape(const Element& e, Page& page, double left, double top);
    void drawRichText(const Element& e, Page& page, double left, double top, double bottom, int row);
    [[nodiscard]] std::optional<QString> fieldValue(const QString& name, int row);
    static void drawFrame(const BandFrame& frame, Page& page, const QRectF& rect);

    const ReportDefinition& m_definition;
    const RecordSource& m_source;
    Rendering& m_out;
    mutable TextMeasurer m_measurer;
    double m_pageRight = 0; // the page's right margin: nothing fitted runs past it
    std::map<const Band*, std::vector<Compiled>> m_bands;
    std::map<const Band*, Expression> m_groups;
    std::map<RichTextKey, RichTextMerge> m_richTexts;
    std::unordered_map<QString, int> m_fieldIndex;
    int m_lastRow = -1;
};

} // namespace reports

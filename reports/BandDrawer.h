#pragma once

#include "reports/Expression.h"
#include "reports/Pages.h"
#include "reports/ReportDefinition.h"
#include "reports/TextMetrics.h"
#include "richtext/RichText.h"

#include <QImage>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class QTextDocument;

namespace reports {

class RecordSource;

// Lays out the elements of bands onto pages. Everything that can be worked out once per rendering (fonts,
// metrics, parsed expressions, field indexes) is prepared in the constructor. Used by the renderer.
class BandDrawer
{
public:
    // Throws AppError for an element that cannot be rendered (unknown field, bad expression).
    BandDrawer(const ReportDefinition& definition, const RecordSource& source, Rendering& out);

    // Draws a band with its top-left corner at (left, top) and the given width. row -1: every field empty.
    void draw(const Band& band, Page& page, double left, double top, double width, int row, int pageNumber);

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
        std::unordered_map<QString, RichTextPlaced> placed;
    };

    [[nodiscard]] Compiled compile(const Element& element, const ExpressionScope& scope);
    [[nodiscard]] QStringList linesOf(const Compiled& c, int row, int pageNumber) const;
    void drawText(const Compiled& c, Page& page, double left, double top, double width, const QStringList& lines);
    void drawShape(const Element& e, Page& page, double left, double top);
    void drawRichText(const Element& e, Page& page, double left, double top, int row);
    [[nodiscard]] std::optional<QString> fieldValue(const QString& name, int row);
    static void drawFrame(const BandFrame& frame, Page& page, const QRectF& rect);

    const ReportDefinition& m_definition;
    const RecordSource& m_source;
    Rendering& m_out;
    TextMeasurer m_measurer;
    std::map<const Band*, std::vector<Compiled>> m_bands;
    std::map<const Band*, Expression> m_groups;
    std::map<RichTextKey, RichTextMerge> m_richTexts;
    std::unordered_map<QString, int> m_fieldIndex;
    int m_lastRow = -1;
};

} // namespace reports

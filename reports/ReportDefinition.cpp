#include "reports/ReportDefinition.h"

#include "platform/AppError.h"

namespace reports {

namespace {

Element positioned(ElementKind kind, const QString& name, double left, double top)
{
    Element e;
    e.kind = kind;
    e.name = name;
    e.left = left;
    e.top = top;
    return e;
}

bool finiteNonNegative(double v)
{
    return std::isfinite(v) && v >= 0;
}

[[noreturn]] void invalid(const ReportDefinition& d, const QString& why)
{
    throw platform::AppError(QStringLiteral("The report %1 cannot be rendered: %2").arg(d.name, why));
}

} // namespace

Element textElement(const QString& name, double left, double top, const QString& caption)
{
    Element e = positioned(ElementKind::Text, name, left, top);
    e.text = caption;
    return e;
}

Element fieldElement(const QString& name, double left, double top, const QString& field)
{
    Element e = positioned(ElementKind::DataField, name, left, top);
    e.text = field;
    return e;
}

Element expressionElement(const QString& name, double left, double top, const QString& expression)
{
    Element e = positioned(ElementKind::Expression, name, left, top);
    e.text = expression;
    return e;
}

Element memoElement(const QString& name, double left, double top, double width, double height, const QStringList& lines,
                    bool removeBlankLines)
{
    Element e = positioned(ElementKind::ExprMemo, name, left, top);
    e.width = width;
    e.height = height;
    e.lines = lines;
    e.removeBlankLines = removeBlankLines;
    return e;
}

Element pageNumberElement(const QString& name, double left, double top, const QString& prefix)
{
    Element e = positioned(ElementKind::PageNumber, name, left, top);
    e.text = prefix;
    return e;
}

Band pageNumberFooter(double numberWidth)
{
    Band footer{BandKind::PageFooter, QStringLiteral("PageFooterBand1"), 6.1, {}, {}, {}};
    Element page = pageNumberElement(QStringLiteral("QRSysData1"), 0, 0, QStringLiteral("Page "));
    page.alignment = Alignment::Right;
    page.alignToBand = true;
    page.autoSize = false;
    page.width = numberWidth;
    // Breaking "Page 1" at its blank would leave "Page" alone in the band.
    page.wordWrap = false;
    footer.elements.push_back(page);
    return footer;
}

Element lineElement(const QString& name, ShapeKind shape, double left, double top, double length, double penWidthPoints)
{
    Element e = positioned(ElementKind::Shape, name, left, top);
    e.shape = shape;
    e.penWidth = penWidthPoints;
    (shape == ShapeKind::VerticalLine ? e.height : e.width) = length;
    return e;
}

Element rectangleElement(const QString& name, double left, double top, double width, double height)
{
    Element e = positioned(ElementKind::Shape, name, left, top);
    e.shape = ShapeKind::Rectangle;
    e.width = width;
    e.height = height;
    return e;
}

void fitToPlace(Element& e, double placeRight, double minPointSize)
{
    e.fit = Fit::ShrinkThenCut;
    e.minPointSize = minPointSize;
    e.width = std::max(0.0, placeRight - e.left - kFitRightMargin);
}

Element richTextElement(const QString& name, double left, double top, double width, double height,
                        std::function<const QTextDocument*()> document)
{
    Element e = positioned(ElementKind::RichText, name, left, top);
    e.width = width;
    e.height = height;
    e.autoSize = false;
    e.richText = std::move(document);
    return e;
}

const Band* ReportDefinition::band(BandKind kind) const
{
    for (const Band& b : bands)
        if (b.kind == kind)
            return &b;
    return nullptr;
}

std::vector<const Band*> ReportDefinition::groupBands() const
{
    std::vector<const Band*> result;
    for (const Band& b : bands)
        if (b.kind == BandKind::GroupHeader)
            result.push_back(&b);
    return result;
}

QSizeF ReportDefinition::pageSize() const
{
    return orientation == Orientation::Portrait ? paper.size : paper.size.transposed();
}

PageGeometry PageGeometry::of(const ReportDefinition& d)
{
    PageGeometry g;
    g.pageSize = d.pageSize();
    g.left = d.margins.left;
    g.columnSpacing = d.columnSpacing;
    g.fullWidth = g.pageSize.width() - d.margins.left - d.margins.right;
    const int columns = std::max(1, d.columns);
    g.columnWidth = (g.fullWidth - (columns - 1) * d.columnSpacing) / columns;
    g.top = toTenths(d.margins.top);
    const Band* footer = d.band(BandKind::PageFooter);
    g.bandAreaBottom =
        toTenths(g.pageSize.height()) - toTenths(d.margins.bottom) - (footer ? toTenths(footer->height) : 0);
    return g;
}

void validate(const ReportDefinition& d)
{
    if (d.columns < 1 || d.columns > 50)
        invalid(d, QStringLiteral("the number of columns must lie between 1 and 50"));
    if (!(d.paper.size.width() > 0 && d.paper.size.height() > 0 && d.paper.size.width() < 10000 &&
          d.paper.size.height() < 10000))
        invalid(d, QStringLiteral("the paper size is not valid"));
    if (!finiteNonNegative(d.margins.top) || !finiteNonNegative(d.margins.bottom) ||
        !finiteNonNegative(d.margins.left) || !finiteNonNegative(d.margins.right) ||
        !finiteNonNegative(d.columnSpacing))
        invalid(d, QStringLiteral("margins and column spacing must not be negative"));
    const PageGeometry g = PageGeometry::of(d);
    if (!(g.columnWidth > 0))
        invalid(d, QStringLiteral("the columns have no width"));
    for (BandKind kind : {BandKind::Title, BandKind::ColumnHeader, BandKind::Detail, BandKind::PageFooter}) {
        int count = 0;
        for (const Band& b : d.bands)
            count += b.kind == kind ? 1 : 0;
        if (count > 1)
            invalid(d, QStringLiteral("a band kind appears more than once"));
    }
    for (const Band& b : d.bands) {
        if (!finiteNonNegative(b.height) || b.height > 10000)
            invalid(d, QStringLiteral("the band %1 has no valid height").arg(b.name));
        if (b.kind == BandKind::GroupHeader && b.groupExpression.trimmed().isEmpty())
            invalid(d, QStringLiteral("the group band %1 has no group expression").arg(b.name));
        for (const Element& e : b.elements)
            if (!std::isfinite(e.left) || !std::isfinite(e.top) || !finiteNonNegative(e.width) ||
                !finiteNonNegative(e.height) || (e.font && !(e.font->pointSize > 0 && e.font->pointSize < 2000)) ||
                (e.fit == Fit::ShrinkThenCut && !(e.minPointSize > 0 && e.minPointSize < 2000)))
                invalid(d, QStringLiteral("the element %1 has no valid place, size or font").arg(e.name));
    }
    if (!(d.defaultFont.pointSize > 0 && d.defaultFont.pointSize < 2000))
        invalid(d, QStringLiteral("the default font has no valid size"));
    if (g.bandAreaBottom <= g.top)
        invalid(d, QStringLiteral("the margins and the page footer leave no room for bands"));
    if (d.labelGrid) {
        const LabelGrid& grid = *d.labelGrid;
        constexpr double kSlack = 0.005; // published sizes are rounded to hundredths of a mm
        const QSizeF page = d.pageSize();
        if (grid.columns < 1 || grid.rows < 1 || grid.count() > 1000)
            invalid(d, QStringLiteral("a sheet holds from 1 to 1000 labels"));
        if (!(grid.labelWidth > 0 && grid.labelHeight > 0) || !finiteNonNegative(grid.left) ||
            !finiteNonNegative(grid.top) || !finiteNonNegative(grid.hPitch) || !finiteNonNegative(grid.vPitch))
            invalid(d, QStringLiteral("the label grid has no valid size"));
        if (grid.left + (grid.columns - 1) * grid.hPitch + grid.labelWidth > page.width() + kSlack ||
            grid.top + (grid.rows - 1) * grid.vPitch + grid.labelHeight > page.height() + kSlack)
            invalid(d, QStringLiteral("the labels run off the paper"));
    }
}

QPointF LabelGrid::labelOrigin(int index) const
{
    const int column = acrossFirst ? index % columns : index / rows;
    const int row = acrossFirst ? index / columns : index % rows;
    return {left + column * hPitch, top + row * vPitch};
}

} // namespace reports

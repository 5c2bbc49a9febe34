#include "reports/BandDrawer.h"

#include "reports/RecordSource.h"
#include "reports/RichTextLayout.h"

#include <QRegularExpression>
#include <QTextDocument>

namespace reports {

namespace {

// A tiny tolerance so that lines summing exactly to an element's height are not lost to rounding.
constexpr double kEpsilon = 1e-6;

QStringList splitLines(const QStringList& lines)
{
    QStringList result;
    for (const QString& line : lines) {
        if (!line.contains(u'\n') && !line.contains(u'\r')) {
            result.push_back(line);
            continue;
        }
        static const QRegularExpression breaks(QStringLiteral("\r\n|\n|\r"));
        result.append(line.split(breaks));
    }
    return result;
}

} // namespace

BandDrawer::BandDrawer(const ReportDefinition& definition, const RecordSource& source, Rendering& out)
    : m_definition(definition), m_source(source), m_out(out)
{
    const ExpressionScope scope{definition.dataSetName, &source};
    for (const Band& band : definition.bands) {
        std::vector<Compiled>& compiled = m_bands[&band];
        for (const Element& element : band.elements)
            compiled.push_back(compile(element, scope));
        if (band.kind == BandKind::GroupHeader)
            m_groups.emplace(&band, Expression::parse(band.groupExpression, scope));
    }
}

BandDrawer::Compiled BandDrawer::compile(const Element& element, const ExpressionScope& scope)
{
    Compiled c;
    c.element = &element;
    c.font = element.font.value_or(m_definition.defaultFont);
    c.fontIndex = m_out.addFont(c.font);
    c.lineHeight = m_measurer.metrics(c.font).lineHeight();
    switch (element.kind) {
    case ElementKind::DataField:
        c.field = m_source.fieldIndex(element.text);
        if (c.field < 0)
            throw platform::AppError(
                QStringLiteral("The field \"%1\" of %2 does not exist").arg(element.text, element.name));
        break;
    case ElementKind::Expression:
        c.expression = Expression::parse(element.text, scope);
        break;
    case ElementKind::ExprMemo:
        c.memo = ExpressionMemo::parse(element.lines, scope);
        break;
    default:
        break;
    }
    return c;
}

QString BandDrawer::groupValue(const Band& band, int row) const
{
    const auto it = m_groups.find(&band);
    return it == m_groups.end() ? QString() : it->second.evaluate(m_source, row);
}

void BandDrawer::draw(const Band& band, Page& page, double left, double top, double width, int row, int pageNumber)
{
    drawFrame(band.frame, page, QRectF(left, top, width, band.height));
    for (const Compiled& c : m_bands.at(&band)) {
        const Element& e = *c.element;
        switch (e.kind) {
        case ElementKind::Shape:
            drawShape(e, page, left, top);
            break;
        case ElementKind::RichText:
            drawRichText(e, page, left, top);
            break;
        default:
            drawText(c, page, left, top, width, linesOf(c, row, pageNumber));
            break;
        }
    }
}

QStringList BandDrawer::linesOf(const Compiled& c, int row, int pageNumber) const
{
    const Element& e = *c.element;
    switch (e.kind) {
    case ElementKind::Text:
        return splitLines({e.text});
    case ElementKind::DataField:
        return splitLines({row < 0 ? QString() : m_source.text(row, c.field)});
    case ElementKind::Expression:
        return splitLines({c.expression->evaluate(m_source, row)});
    case ElementKind::ExprMemo:
        return splitLines(c.memo->evaluate(m_source, row, e.removeBlankLines));
    case ElementKind::PageNumber:
        return {e.text + QString::number(pageNumber)};
    default:
        return {};
    }
}

void BandDrawer::drawText(const Compiled& c, Page& page, double left, double top, double width,
                          const QStringList& given)
{
    const Element& e = *c.element;
    QStringList lines = given;
    if (!e.autoSize && e.wordWrap && e.width > 0) {
        QStringList wrapped;
        for (const QString& line : lines) {
            if (m_measurer.width(c.font, line) <= e.width + kEpsilon) {
                wrapped.push_back(line);
                continue;
            }
            QString current;
            for (const QString& word : line.split(u' ', Qt::SkipEmptyParts)) {
                const QString candidate = current.isEmpty() ? word : current + u' ' + word;
                if (!current.isEmpty() && m_measurer.width(c.font, candidate) > e.width + kEpsilon) {
                    wrapped.push_back(current);
                    current = word;
                } else {
                    current = candidate;
                }
            }
            wrapped.push_back(current);
        }
        lines = wrapped;
    }

    if (!e.autoSize && !e.wordWrap && e.cutToBox) {
        for (QString& line : lines) {
            while (!line.isEmpty() && m_measurer.width(c.font, line) > e.width + kEpsilon)
                line.chop(line.size() > 1 && line.at(line.size() - 1).isLowSurrogate() ? 2 : 1);
        }
    }

    // The element is at least one line high, so that a single line always prints; one cut to its box keeps
    // to its height even then.
    const double height = e.cutToBox ? e.height : std::max(e.height, c.lineHeight);
    const int fitting = static_cast<int>(std::floor((height + kEpsilon) / c.lineHeight));
    const int count = std::min(static_cast<int>(lines.size()), fitting);

    std::vector<double> widths(static_cast<size_t>(count));
    double longest = 0;
    for (int i = 0; i < count; ++i) {
        widths[static_cast<size_t>(i)] = m_measurer.width(c.font, lines[i]);
        longest = std::max(longest, widths[static_cast<size_t>(i)]);
    }
    const double boxWidth = e.autoSize ? longest : e.width;
    double boxLeft = left + e.left;
    if (e.alignToBand) {
        boxLeft = e.alignment == Alignment::Left    ? left
                  : e.alignment == Alignment::Right ? left + width - boxWidth
                                                    : left + (width - boxWidth) / 2;
    } else if (e.autoSize) {
        // An auto-sized element keeps the edge its alignment names and grows away from it.
        boxLeft = e.alignment == Alignment::Left    ? left + e.left
                  : e.alignment == Alignment::Right ? left + e.left + e.width - boxWidth
                                                    : left + e.left + (e.width - boxWidth) / 2;
    }
    const double boxTop = top + e.top;

    if (e.opaque)
        page.items.emplace_back(RectItem{QRectF(boxLeft, boxTop, boxWidth, height), e.background, 0, Qt::black});

    for (int i = 0; i < count; ++i) {
        const QString& line = lines[i];
        if (line.isEmpty())
            continue;
        const double w = widths[static_cast<size_t>(i)];
        const double x = e.alignment == Alignment::Left    ? boxLeft
                         : e.alignment == Alignment::Right ? boxLeft + boxWidth - w
                                                           : boxLeft + (boxWidth - w) / 2;
        page.items.emplace_back(
            TextItem{line, c.fontIndex, QRectF(x, boxTop + i * c.lineHeight, w, c.lineHeight), e.alignment});
    }
}

void BandDrawer::drawShape(const Element& e, Page& page, double left, double top)
{
    const QRectF rect(left + e.left, top + e.top, e.width, e.height);
    const double pen = e.penWidth * kMmPerPoint;
    switch (e.shape) {
    case ShapeKind::HorizontalLine: {
        const double y = rect.center().y();
        page.items.emplace_back(LineItem{QPointF(rect.left(), y), QPointF(rect.right(), y), pen, e.penColor});
        break;
    }
    case ShapeKind::VerticalLine: {
        const double x = rect.center().x();
        page.items.emplace_back(LineItem{QPointF(x, rect.top()), QPointF(x, rect.bottom()), pen, e.penColor});
        break;
    }
    case ShapeKind::Rectangle:
        page.items.emplace_back(RectItem{rect, e.fill, pen, e.penColor});
        break;
    }
}

void BandDrawer::drawRichText(const Element& e, Page& page, double left, double top)
{
    const QTextDocument* document = e.richText ? e.richText() : nullptr;
    if (!document || document->isEmpty())
        return;
    const RichTextKey key{document, document->revision(), e.width, e.height};
    auto it = m_richTexts.find(key);
    if (it == m_richTexts.end()) {
        const QString html = richTextContent(*document);
        auto laidOut = layoutRichText(html, e.width);
        it = m_richTexts.emplace(key, RichTextPlaced{m_out.addRichText(html), fittingHeight(*laidOut, e.height)}).first;
    }
    page.items.emplace_back(RichTextItem{QRectF(left + e.left, top + e.top, e.width, e.height),
                                         it->second.visibleHeight, it->second.content});
}

void BandDrawer::drawFrame(const BandFrame& frame, Page& page, const QRectF& r)
{
    auto line = [&](QPointF a, QPointF b) { page.items.emplace_back(LineItem{a, b, kMmPerPoint, Qt::black}); };
    if (frame.top)
        line(r.topLeft(), r.topRight());
    if (frame.bottom)
        line(r.bottomLeft(), r.bottomRight());
    if (frame.left)
        line(r.topLeft(), r.bottomLeft());
    if (frame.right)
        line(r.topRight(), r.bottomRight());
}

} // namespace reports

#include "reports/BandDrawer.h"

#include "reports/RecordSource.h"
#include "reports/RichTextLayout.h"
#include "richtext/PrintedParts.h"
#include "richtext/RichText.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTextBoundaryFinder>
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
    : m_definition(definition), m_source(source), m_out(out),
      m_pageRight(definition.pageSize().width() - definition.margins.right)
{
    const ExpressionScope scope{definition.dataSetName, &source};
    for (const Band& band : definition.bands) {
        std::vector<Compiled>& compiled = m_bands[&band];
        for (const Element& element : band.elements) {
            compiled.push_back(compile(element, scope));
            if (element.placeAfter.isEmpty())
                continue;
            for (size_t i = 0; i + 1 < compiled.size(); ++i)
                if (band.elements[i].name == element.placeAfter && isText(band.elements[i]))
                    compiled.back().after = static_cast<int>(i);
            if (compiled.back().after < 0)
                throw platform::AppError(QStringLiteral("The element %1 follows %2, which is no text before it")
                                             .arg(element.name, element.placeAfter));
        }
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

bool BandDrawer::isText(const Element& e)
{
    return e.kind != ElementKind::Shape && e.kind != ElementKind::RichText;
}

QString BandDrawer::groupValue(const Band& band, int row) const
{
    const auto it = m_groups.find(&band);
    return it == m_groups.end() ? QString() : it->second.evaluate(m_source, row);
}

double BandDrawer::growthOf(const Compiled& c, const QStringList& lines)
{
    if (!c.element->canGrow)
        return 0;
    const double height = std::max(c.element->height, c.lineHeight);
    return std::max(0.0, static_cast<double>(lines.size()) * c.lineHeight - height);
}

double BandDrawer::growth(const Band& band, int row, int pageNumber) const
{
    double grown = 0;
    for (const Compiled& c : m_bands.at(&band))
        if (c.element->canGrow && isText(*c.element))
            grown = std::max(grown, growthOf(c, wrapped(c, linesOf(c, row, pageNumber))));
    return grown;
}

double BandDrawer::draw(const Band& band, Page& page, double left, double top, double width, int row, int pageNumber,
                        const Placement& placement)
{
    const std::vector<Compiled>& compiled = m_bands.at(&band);
    const size_t n = compiled.size();
    std::vector<QStringList> lines(n);
    std::vector<double> grown(n, 0.0);
    double bandGrowth = 0;
    for (size_t i = 0; i < n; ++i) {
        if (!isText(*compiled[i].element))
            continue;
        lines[i] = wrapped(compiled[i], linesOf(compiled[i], row, pageNumber));
        grown[i] = growthOf(compiled[i], lines[i]);
        bandGrowth = std::max(bandGrowth, grown[i]);
    }

    const double frameBottom = std::min(top + band.height + bandGrowth, placement.bottom);
    drawFrame(band.frame, page, QRectF(left, top, width, frameBottom - top));
    if (row >= 0)
        m_lastRow = row;
    std::vector<double> followRight(n, 0.0);
    for (size_t i = 0; i < n; ++i) {
        const Compiled& c = compiled[i];
        const Element& e = *c.element;
        // An element below one that grew moves down by as much.
        double shift = placement.shift;
        double moved = 0;
        for (size_t g = 0; g < n; ++g)
            if (g != i && grown[g] > 0 && e.top + kEpsilon >= compiled[g].element->top + compiled[g].element->height)
                moved = std::max(moved, grown[g]);
        shift += moved;
        switch (e.kind) {
        case ElementKind::Shape:
            drawShape(e, page, left, top + shift);
            break;
        case ElementKind::RichText:
            // A page footer's merge fields take the record the page last printed: a letter's own contact.
            drawRichText(e, page, left, top + shift, placement.bottom, row >= 0 ? row : m_lastRow);
            break;
        default:
            followRight[i] = drawText(c, page, left, top + shift, width, lines[i], grown[i],
                                      c.after >= 0 ? followRight[size_t(c.after)] : -1.0, placement.bottom);
            break;
        }
    }
    return bandGrowth;
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

QStringList BandDrawer::wrapped(const Compiled& c, const QStringList& lines) const
{
    const Element& e = *c.element;
    if (e.autoSize || !e.wordWrap || e.width <= 0 || e.fit != Fit::RunOn)
        return lines;
    QStringList result;
    for (const QString& line : lines) {
        if (m_measurer.width(c.font, line) <= e.width + kEpsilon) {
            result.push_back(line);
            continue;
        }
        QString current;
        for (const QString& word : line.split(u' ', Qt::SkipEmptyParts)) {
            const QString candidate = current.isEmpty() ? word : current + u' ' + word;
            if (!current.isEmpty() && m_measurer.width(c.font, candidate) > e.width + kEpsilon) {
                result.push_back(current);
                current = word;
            } else {
                current = candidate;
            }
        }
        result.push_back(current);
    }
    return result;
}

BandDrawer::FittedLine BandDrawer::fitLine(const Compiled& c, const ReportFont& font, const QString& line,
                                           double available) const
{
    FittedLine fitted{line, font, m_measurer.width(font, line), false};
    if (fitted.width <= available + kEpsilon)
        return fitted;
    fitted.shortened = true;
    const double smallest = std::min(c.element->minPointSize, font.pointSize);
    // Unhinted advances grow with the size: start near the size that would just fit, then step down.
    double size = std::min(font.pointSize - 0.5, std::floor(font.pointSize * available / fitted.width * 2.0) / 2.0);
    for (; size >= smallest - kEpsilon; size -= 0.5) {
        fitted.font.pointSize = size;
        fitted.width = m_measurer.width(fitted.font, line);
        if (fitted.width <= available + kEpsilon)
            return fitted;
    }
    // Still too wide at the smallest size: cut after the last whole character (grapheme) that fits.
    fitted.font.pointSize = smallest;
    const QString ellipsis(QChar(0x2026));
    std::vector<qsizetype> ends; // where each grapheme ends
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, line);
    for (qsizetype at = graphemes.toNextBoundary(); at > 0; at = graphemes.toNextBoundary())
        ends.push_back(at);
    auto cut = [&](size_t count) {
        QString text = count == 0 ? QString() : line.left(ends[count - 1]);
        while (!text.isEmpty() && text.back().isSpace())
            text.chop(1);
        return text + ellipsis;
    };
    // The widths grow with the prefix: find the longest that fits.
    size_t lo = 0;
    size_t hi = ends.empty() ? 0 : ends.size() - 1;
    while (lo < hi) {
        const size_t mid = (lo + hi + 1) / 2;
        if (m_measurer.width(fitted.font, cut(mid)) <= available + kEpsilon)
            lo = mid;
        else
            hi = mid - 1;
    }
    fitted.text = cut(lo);
    fitted.width = m_measurer.width(fitted.font, fitted.text);
    if (fitted.width > available + kEpsilon) {
        fitted.text.clear(); // a place narrower than "…" itself
        fitted.width = 0;
    }
    return fitted;
}

double BandDrawer::drawText(const Compiled& c, Page& page, double left, double top, double width,
                            const QStringList& lines, double grown, double minLeft, double bottom)
{
    const Element& e = *c.element;
    const bool fitting = e.fit == Fit::ShrinkThenCut;
    const double boxTop = top + e.top;

    // The element is at least one line high, so that a single line always prints (unless it keeps to its box);
    // it may have grown, and it never reaches below `bottom`.
    double height = (e.cutToBox ? e.height : std::max(e.height, c.lineHeight)) + grown;
    height = std::max(0.0, std::min(height, bottom - boxTop));
    ReportFont font = c.font;
    double lineHeight = c.lineHeight;
    int fontIndex = c.fontIndex;
    const auto linesIn = [&height](double perLine) { return static_cast<int>(std::floor((height + kEpsilon) / perLine)); };
    int fittingLines = linesIn(lineHeight);
    const int wanted = static_cast<int>(lines.size());
    if (fitting && wanted > fittingLines) {
        // Too many lines for the height (a full address on a small label): the whole block takes a smaller size,
        // down to the same floor as a single value; only what still does not fit is left off, and counted.
        const double smallest = std::min(e.minPointSize, font.pointSize);
        while (fittingLines < wanted && font.pointSize - 0.5 >= smallest - kEpsilon) {
            font.pointSize -= 0.5;
            lineHeight = m_measurer.metrics(font).lineHeight();
            fittingLines = linesIn(lineHeight);
        }
        if (font.pointSize != c.font.pointSize) {
            fontIndex = m_out.addFont(font);
            ++m_out.shortened;
        }
        for (int i = fittingLines; i < wanted; ++i)
            if (!lines[i].trimmed().isEmpty())
                ++m_out.shortened;
    }
    const int count = std::min(wanted, fittingLines);

    // A fitted element's lines must lie within its width, and within the page.
    double placeLeft = left + e.left;
    if (e.alignToBand)
        placeLeft = e.alignment == Alignment::Left    ? left
                    : e.alignment == Alignment::Right ? left + width - e.width
                                                      : left + (width - e.width) / 2;
    if (minLeft >= 0 && !e.alignToBand)
        placeLeft = std::max(placeLeft, minLeft);
    const double available = std::max(0.0, std::min(e.width, m_pageRight - placeLeft));

    std::vector<FittedLine> fitted(static_cast<size_t>(count));
    double longest = 0;
    for (int i = 0; i < count; ++i) {
        FittedLine& f = fitted[static_cast<size_t>(i)];
        if (fitting && !lines[i].isEmpty()) {
            f = fitLine(c, font, lines[i], available);
            if (f.shortened)
                ++m_out.shortened;
        } else {
            f = FittedLine{lines[i], font, m_measurer.width(font, lines[i]), false};
        }
        longest = std::max(longest, f.width);
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
    if (minLeft >= 0 && !e.alignToBand)
        boxLeft = std::max(boxLeft, minLeft);

    if (e.opaque)
        page.items.emplace_back(RectItem{QRectF(boxLeft, boxTop, boxWidth, height), e.background, 0, Qt::black});

    const double ascent = m_measurer.metrics(font).ascent();
    for (int i = 0; i < count; ++i) {
        const FittedLine& f = fitted[static_cast<size_t>(i)];
        if (f.text.isEmpty())
            continue;
        const double x = e.alignment == Alignment::Left    ? boxLeft
                         : e.alignment == Alignment::Right ? boxLeft + boxWidth - f.width
                                                           : boxLeft + (boxWidth - f.width) / 2;
        double y = boxTop + i * lineHeight;
        double itemHeight = lineHeight;
        int itemFont = fontIndex;
        if (f.font.pointSize != font.pointSize) {
            // A smaller size keeps the line's baseline.
            const FontMetrics& small = m_measurer.metrics(f.font);
            y += ascent - small.ascent();
            itemHeight = small.lineHeight();
            itemFont = m_out.addFont(f.font);
        }
        page.items.emplace_back(TextItem{f.text, itemFont, QRectF(x, y, f.width, itemHeight), e.alignment});
    }
    const QString first = count > 0 ? lines.front() : QString();
    return boxLeft + m_measurer.width(font, first + u' ');
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

void BandDrawer::drawRichText(const Element& e, Page& page, double left, double top, double bottom, int row)
{
    const QTextDocument* document = e.richText ? e.richText() : nullptr;
    if (!document || document->isEmpty())
        return;
    // Moved down, it is cut at `bottom` rather than run on.
    const double height = std::max(0.0, std::min(e.height, bottom - (top + e.top)));
    const RichTextKey key{document, document->revision(), e.width, height};
    auto it = m_richTexts.find(key);
    if (it == m_richTexts.end()) {
        RichTextMerge merge;
        // Fields such as DATE show what they show on the day of printing; each letter is a page of its own.
        merge.merge = std::make_shared<richtext::MergeTemplate>(*document, [](const QTextDocument& d) {
            if (!richtext::hasKeptFields(d))
                return richTextContent(d);
            const std::unique_ptr<QTextDocument> printed(d.clone());
            richtext::showPrintedFields(*printed, 1, 1, QDateTime::currentDateTime());
            return richTextContent(*printed);
        });
        merge.images = richTextImages(*document);
        for (const auto& [name, image] : merge.images)
            m_out.addImage(name, image);
        it = m_richTexts.emplace(key, std::move(merge)).first;
    }
    RichTextMerge& merge = it->second;
    // Each record fills in the merge fields; a body without them is the same on every page.
    QStringList unknown;
    const QStringList texts = merge.merge->texts([&](const QString& name) { return fieldValue(name, row); }, &unknown);
    for (const QString& name : std::as_const(unknown)) {
        if (!m_out.unknownMergeFields.contains(name))
            m_out.unknownMergeFields << name;
    }
    const QString html = merge.merge->fill(texts);
    auto placed = merge.placed.find(html);
    if (placed == merge.placed.end()) {
        RichTextPlaced place{};
        if (merge.merge->hasFields() && !merge.layout)
            merge.layout = std::make_shared<MergedLayout>(*merge.merge, e.width, merge.images);
        if (merge.layout && merge.layout->canShow(texts)) {
            // The template's layout with this record's values in place: only their paragraphs are laid out.
            place.visibleHeight = fittingHeight(merge.layout->show(texts), height);
            place.content = m_out.addRichText(html, FilledTemplate{merge.layout, texts});
        } else {
            auto laidOut = layoutRichText(html, e.width, merge.images);
            place.visibleHeight = fittingHeight(*laidOut, height);
            place.content = m_out.addRichText(html);
        }
        placed = merge.placed.emplace(html, place).first;
    }
    page.items.emplace_back(RichTextItem{QRectF(left + e.left, top + e.top, e.width, e.height),
                                         placed->second.visibleHeight, placed->second.content});
}

// A merge field's value for a record: the field of that name, none where the records have no such field.
std::optional<QString> BandDrawer::fieldValue(const QString& name, int row)
{
    auto it = m_fieldIndex.find(name);
    if (it == m_fieldIndex.end())
        it = m_fieldIndex.emplace(name, m_source.fieldIndex(name)).first;
    if (it->second < 0)
        return std::nullopt;
    return row < 0 ? QString() : m_source.text(row, it->second);
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

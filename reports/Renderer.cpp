#include "reports/Renderer.h"

#include "reports/BandDrawer.h"
#include "reports/PrintOrder.h"
#include "reports/RecordSource.h"

#include <algorithm>

namespace reports {

namespace {

// Tells the source that rendering ended, however it ends.
class RenderSession
{
public:
    explicit RenderSession(RecordSource& source) : m_source(source) { m_source.renderStarted(); }
    ~RenderSession() { m_source.renderEnded(lastRow); }
    RenderSession(const RenderSession&) = delete;
    RenderSession& operator=(const RenderSession&) = delete;
    int lastRow = -1;

private:
    RecordSource& m_source;
};

class PageFiller
{
public:
    PageFiller(const ReportDefinition& d, RecordSource& source, Rendering& out, const RenderCallbacks& callbacks)
        : m_def(d), m_source(source), m_out(out), m_callbacks(callbacks), m_geometry(PageGeometry::of(d)),
          m_drawer(d, source, out), m_title(d.band(BandKind::Title)), m_columnHeader(d.band(BandKind::ColumnHeader)),
          m_detail(d.band(BandKind::Detail)), m_footer(d.band(BandKind::PageFooter)), m_groups(d.groupBands())
    {
    }

    void run()
    {
        RenderSession session(m_source);
        if (m_def.labelGrid) {
            runGrid(session);
            return;
        }
        const int rows = m_source.rowCount();
        if (rows <= 0) {
            if (m_def.printIfEmpty) {
                startPage();
                printTitle();
                skipUsedLabels();
                if (m_detail)
                    printBand(*m_detail, -1);
                finishPage(m_def.footerOnLastPage);
            }
            m_out.finished = true;
            return;
        }

        startPage();
        printTitle();
        printColumnHeader();
        skipUsedLabels();
        // Printed in another order than the source's, the rows leave the source's current row alone.
        const std::vector<int> order = printOrder(m_source, m_def.printOrderField);
        std::vector<QString> previous(m_groups.size());
        for (int done = 0; done < rows; ++done) {
            const int row = order.empty() ? done : order[static_cast<size_t>(done)];
            session.lastRow = order.empty() ? row : -1;
            std::vector<const Band*> opening;
            for (size_t g = 0; g < m_groups.size(); ++g) {
                QString value = m_drawer.groupValue(*m_groups[g], row);
                // Exact comparison: the expression itself says what counts as the same group.
                if (done == 0 || value != previous[g])
                    opening.push_back(m_groups[g]);
                previous[g] = std::move(value);
            }
            keepWithFirstRow(opening, row);
            for (const Band* group : opening)
                printBand(*group, row);
            if (m_detail)
                printBand(*m_detail, row);
            if (m_callbacks.progress)
                m_callbacks.progress(static_cast<int>(static_cast<qint64>(done + 1) * 100 / rows));
            if (m_callbacks.cancelRequested && m_callbacks.cancelRequested())
                return;
        }
        finishPage(m_def.footerOnLastPage);
        m_out.finished = true;
    }

private:
    // A sheet stock: each record's label at its exact place on the grid, from the start label on.
    void runGrid(RenderSession& session)
    {
        const LabelGrid& grid = *m_def.labelGrid;
        const int rows = m_source.rowCount();
        if (rows <= 0 && !m_def.printIfEmpty) {
            m_out.finished = true;
            return;
        }
        int place = std::clamp(m_def.startAtLabel, 1, grid.count()) - 1;
        startPage();
        printTitle();
        auto drawLabel = [&](int row) {
            if (place == grid.count()) {
                finishPage(false);
                startPage();
                place = 0;
            }
            const QPointF origin = grid.labelOrigin(place++);
            if (m_detail)
                m_drawer.draw(*m_detail, m_page, origin.x(), origin.y(), grid.labelWidth, row, m_pageNumber);
        };
        if (rows <= 0)
            drawLabel(-1);
        for (int row = 0; row < rows; ++row) {
            session.lastRow = row;
            drawLabel(row);
            if (m_callbacks.progress)
                m_callbacks.progress(static_cast<int>(static_cast<qint64>(row + 1) * 100 / rows));
            if (m_callbacks.cancelRequested && m_callbacks.cancelRequested())
                return;
        }
        finishPage(false);
        m_out.finished = true;
    }

    void startPage()
    {
        ++m_pageNumber;
        m_page = Page{m_geometry.pageSize, {}};
        m_column = 0;
        m_pos = m_geometry.top;
        m_columnTop = m_geometry.top;
        m_columnUsed = false;
        m_pageGrowth = 0;
    }

    void finishPage(bool withFooter)
    {
        if (withFooter && m_footer) {
            BandDrawer::Placement placement;
            if (m_footer->followsGrowth) {
                placement.shift = m_pageGrowth;
                placement.bottom = m_geometry.pageSize.height() - m_def.margins.bottom;
            }
            draw(*m_footer, -1, m_geometry.bandAreaBottom, true, placement);
        }
        if (m_callbacks.takePage) {
            m_callbacks.takePage(m_out, m_page);
            m_page = Page{};
        } else {
            m_out.pages.push_back(std::move(m_page));
            m_page = Page{};
        }
        if (m_callbacks.pageFinished)
            m_callbacks.pageFinished(m_pageNumber - 1);
    }

    void printTitle()
    {
        if (!m_title)
            return;
        draw(*m_title, -1, m_pos, true);
        m_pos += toTenths(m_title->height);
        m_columnTop = m_pos;
    }

    // Headers go at the top of a column without asking for room: the band after them decides.
    void printColumnHeader()
    {
        if (m_columnHeader) {
            draw(*m_columnHeader, -1, m_pos, false);
            m_pos += toTenths(m_columnHeader->height);
        }
        m_columnUsed = false;
    }

    void printBand(const Band& band, int row)
    {
        // A band whose elements grow takes the room they need.
        const double growth = m_drawer.growth(band, row, m_pageNumber);
        const Tenths height = toTenths(band.height + growth);
        // A band that does not fit moves on, unless its column holds nothing yet: it would not fit the next
        // one either, and moving on would only make empty columns.
        if (height > m_geometry.bandAreaBottom - m_pos && m_columnUsed)
            moveOn();
        m_pageGrowth += draw(band, row, m_pos, false);
        m_pos += height;
        m_columnUsed = true;
    }

    // A group's headings keep with its first row: where they and the row do not fit together, they go on to the
    // next column or page with it, rather than stand alone at a page's foot.
    void keepWithFirstRow(const std::vector<const Band*>& headings, int row)
    {
        if (headings.empty() || !m_columnUsed)
            return;
        Tenths needed = 0;
        for (const Band* band : headings)
            needed += toTenths(band->height + m_drawer.growth(*band, row, m_pageNumber));
        if (m_detail)
            needed += toTenths(m_detail->height + m_drawer.growth(*m_detail, row, m_pageNumber));
        if (needed > m_geometry.bandAreaBottom - m_pos)
            moveOn();
    }

    // A part-used label sheet: the positions before the start label stay empty, in the order the detail
    // bands fill, and never beyond the first page.
    void skipUsedLabels()
    {
        if (m_def.labelsPerSheet <= 0 || !m_detail)
            return;
        const int skip = std::clamp(m_def.startAtLabel, 1, m_def.labelsPerSheet) - 1;
        const Tenths height = toTenths(m_detail->height);
        for (int i = 0; i < skip; ++i) {
            if (height > m_geometry.bandAreaBottom - m_pos && m_columnUsed) {
                if (m_column + 1 >= m_def.columns)
                    return;
                moveOn();
            }
            m_pos += height;
            m_columnUsed = true;
        }
    }

    void moveOn()
    {
        if (m_column + 1 < m_def.columns) {
            ++m_column;
            m_pos = m_columnTop;
        } else {
            finishPage(true);
            startPage();
        }
        printColumnHeader();
    }

    double draw(const Band& band, int row, Tenths top, bool fullWidth, const BandDrawer::Placement& placement = {})
    {
        const double left = fullWidth ? m_geometry.left : m_geometry.columnLeft(m_column);
        const double width = fullWidth ? m_geometry.fullWidth : m_geometry.columnWidth;
        return m_drawer.draw(band, m_page, left, fromTenths(top), width, row, m_pageNumber, placement);
    }

    const ReportDefinition& m_def;
    RecordSource& m_source;
    Rendering& m_out;
    const RenderCallbacks& m_callbacks;
    const PageGeometry m_geometry;
    BandDrawer m_drawer;
    const Band* m_title;
    const Band* m_columnHeader;
    const Band* m_detail;
    const Band* m_footer;
    const std::vector<const Band*> m_groups;

    Page m_page;
    int m_pageNumber = 0;
    int m_column = 0;
    Tenths m_pos = 0;
    Tenths m_columnTop = 0;
    bool m_columnUsed = false;
    double m_pageGrowth = 0; // how much the bands of the page grew
};

} // namespace

void render(const ReportDefinition& definition, RecordSource& source, Rendering& out, const RenderCallbacks& callbacks)
{
    validate(definition);
    out = Rendering{};
    out.title = definition.title;
    PageFiller filler(definition, source, out, callbacks);
    filler.run();
}

Rendering render(const ReportDefinition& definition, RecordSource& source)
{
    Rendering out;
    render(definition, source, out);
    return out;
}

} // namespace reports

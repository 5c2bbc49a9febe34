#include "reports/PagePainter.h"

#include "platform/AppError.h"
#include "platform/OutputFile.h"
#include "reports/RichTextLayout.h"
#include "reports/TextMetrics.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>
#include <list>

namespace reports {

namespace {

// Laid-out rich-text documents, most recently used first: a letter repeats one document on every page.
struct LaidOutDocument
{
    QString html;
    double width;
    std::unique_ptr<QTextDocument> document;
};

QTextDocument& laidOut(const QString& html, double widthMm, const std::map<QString, QImage>& images)
{
    static std::list<LaidOutDocument> cache;
    for (auto it = cache.begin(); it != cache.end(); ++it) {
        if (it->width == widthMm && it->html == html) {
            cache.splice(cache.begin(), cache, it);
            return *cache.front().document;
        }
    }
    cache.push_front(LaidOutDocument{html, widthMm, layoutRichText(html, widthMm, images)});
    if (cache.size() > 4)
        cache.pop_back();
    return *cache.front().document;
}

Qt::Alignment textFlags(Alignment alignment)
{
    switch (alignment) {
    case Alignment::Center:
        return Qt::AlignHCenter;
    case Alignment::Right:
        return Qt::AlignRight;
    case Alignment::Left:
        break;
    }
    return Qt::AlignLeft;
}

QRectF units(const QRectF& mm)
{
    return QRectF(mmToReferenceUnits(mm.left()), mmToReferenceUnits(mm.top()), mmToReferenceUnits(mm.width()),
                  mmToReferenceUnits(mm.height()));
}

QPointF units(const QPointF& mm)
{
    return QPointF(mmToReferenceUnits(mm.x()), mmToReferenceUnits(mm.y()));
}

class PageDrawer
{
public:
    PageDrawer(QPainter& painter, const Rendering& rendering)
        : m_painter(painter), m_rendering(rendering), m_fonts(rendering.fonts().size())
    {
        // The painter sizes fonts by the device's resolution; the page is drawn in reference units, so a
        // font is given the size that makes it exactly as large as on the reference device.
        const QPaintDevice* device = painter.device();
        m_fontScale = device && device->logicalDpiY() > 0 ? double(kReferenceDpi) / device->logicalDpiY() : 1.0;
    }

    void operator()(const TextItem& item)
    {
        if (item.font < 0 || item.font >= static_cast<int>(m_fonts.size()))
            return;
        m_painter.setFont(font(item.font));
        m_painter.setPen(m_rendering.fonts()[static_cast<size_t>(item.font)].color);
        m_painter.drawText(units(item.box),
                           int(textFlags(item.alignment) | Qt::AlignTop) | Qt::TextDontClip | Qt::TextSingleLine,
                           item.text);
    }

    void operator()(const LineItem& item)
    {
        m_painter.setPen(QPen(item.color, mmToReferenceUnits(item.width), Qt::SolidLine, Qt::FlatCap));
        m_painter.drawLine(units(item.from), units(item.to));
    }

    void operator()(const RectItem& item)
    {
        if (item.penWidth > 0)
            m_painter.setPen(
                QPen(item.penColor, mmToReferenceUnits(item.penWidth), Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        else
            m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(item.fill.alpha() == 0 ? QBrush(Qt::NoBrush) : QBrush(item.fill));
        m_painter.drawRect(units(item.rect));
        m_painter.setBrush(Qt::NoBrush);
    }

    void operator()(const RichTextItem& item)
    {
        if (item.content < 0 || item.content >= static_cast<int>(m_rendering.richTexts().size()))
            return;
        const FilledTemplate* filled = m_rendering.filledTemplate(item.content);
        QTextDocument& document =
            filled && filled->layout->widthMm() == item.rect.width()
                ? filled->layout->show(filled->texts)
                : laidOut(m_rendering.richTexts()[static_cast<size_t>(item.content)], item.rect.width(),
                          m_rendering.images());
        m_painter.save();
        const double offset = mmToReferenceUnits(item.offset);
        m_painter.translate(units(item.rect.topLeft()) - QPointF(0, offset));
        // A hair less than the cut, so that the line that begins there is left out rather than clipped away
        // (clipped text would still be found by a PDF reader's search).
        const double height = std::max(0.0, mmToReferenceUnits(item.visibleHeight) - 1.0);
        document.drawContents(&m_painter, QRectF(0, offset, mmToReferenceUnits(item.rect.width()), height));
        m_painter.restore();
    }

private:
    const QFont& font(int index)
    {
        auto& slot = m_fonts[static_cast<size_t>(index)];
        if (!slot) {
            const ReportFont& wanted = m_rendering.fonts()[static_cast<size_t>(index)];
            QFont f = wanted.toQFont();
            f.setPointSizeF(wanted.pointSize * m_fontScale);
            slot = f;
        }
        return *slot;
    }

    QPainter& m_painter;
    const Rendering& m_rendering;
    std::vector<std::optional<QFont>> m_fonts;
    double m_fontScale = 1.0;
};

} // namespace

double devicePixelsPerMm(const QPaintDevice& device)
{
    return device.logicalDpiX() / kMmPerInch;
}

void paintPage(QPainter& painter, const Rendering& rendering, int pageIndex, const PaintOptions& options)
{
    if (pageIndex < 0 || pageIndex >= rendering.pageCount())
        return;
    paintPage(painter, rendering, rendering.pages[static_cast<size_t>(pageIndex)], options);
}

void paintPage(QPainter& painter, const Rendering& rendering, const Page& page, const PaintOptions& options)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.translate(-options.offset * options.pixelsPerMm);
    const double scale = options.pixelsPerMm * kMmPerInch / kReferenceDpi;
    painter.scale(scale, scale);
    if (options.paintPaper)
        painter.fillRect(units(QRectF(QPointF(0, 0), page.size)), Qt::white);
    PageDrawer drawer(painter, rendering);
    for (const PageItem& item : page.items)
        std::visit(drawer, item);
    painter.restore();
}

struct PdfFile::Writer
{
    explicit Writer(const QString& path) : file(path) {}
    platform::OutputFile file;
    std::unique_ptr<QPdfWriter> pdf; // made once the file is open
    QPainter painter;
};

namespace {

// A landscape page is the portrait paper turned, so that viewers and printers know the paper.
QPageLayout layoutFor(const Page& page)
{
    const bool landscape = page.size.width() > page.size.height();
    const QSizeF paper = landscape ? page.size.transposed() : page.size;
    return QPageLayout(QPageSize(paper, QPageSize::Millimeter),
                       landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF());
}

} // namespace

PdfFile::PdfFile(QString path) : m_path(std::move(path)) {}

PdfFile::~PdfFile()
{
    if (m_writer && m_writer->painter.isActive())
        m_writer->painter.end();
    // An unfinished file is discarded: the file at the path stays as it was.
}

void PdfFile::addPage(const Rendering& rendering, const Page& page)
{
    if (!m_writer) {
        // The file must be open before QPdfWriter starts writing to it.
        m_writer = std::make_unique<Writer>(m_path);
        m_writer->file.open();
        m_writer->pdf = std::make_unique<QPdfWriter>(&m_writer->file.device());
        m_writer->pdf->setResolution(kReferenceDpi);
        m_writer->pdf->setCreator(QStringLiteral("Tovrel"));
        m_writer->pdf->setTitle(rendering.title.isEmpty() ? QFileInfo(m_path).fileName() : rendering.title);
        m_writer->pdf->setPageLayout(layoutFor(page));
        if (!m_writer->painter.begin(m_writer->pdf.get()))
            throw platform::AppError(QStringLiteral("Cannot write the file %1").arg(m_path));
    } else {
        m_writer->pdf->setPageLayout(layoutFor(page));
        if (!m_writer->pdf->newPage())
            throw platform::AppError(QStringLiteral("Cannot write the file %1").arg(m_path));
    }
    paintPage(m_writer->painter, rendering, page, PaintOptions{devicePixelsPerMm(*m_writer->pdf), {}, false});
    ++m_pages;
}

void PdfFile::finish()
{
    if (!m_writer || m_pages == 0)
        throw platform::AppError(QStringLiteral("The report has no pages to write"));
    if (!m_writer->painter.end())
        throw platform::AppError(QStringLiteral("Cannot write the file %1").arg(m_path));
    m_writer->file.commit();
}

void writePdf(const Rendering& rendering, const QString& path, const std::vector<int>& pages)
{
    std::vector<int> indexes = pages;
    if (indexes.empty())
        for (int i = 0; i < rendering.pageCount(); ++i)
            indexes.push_back(i);
    for (int i : indexes)
        if (i < 0 || i >= rendering.pageCount())
            throw platform::AppError(QStringLiteral("The report has no page %1").arg(i + 1));
    if (indexes.empty())
        throw platform::AppError(QStringLiteral("The report has no pages to write"));
    PdfFile file(path);
    for (int i : indexes)
        file.addPage(rendering, rendering.pages[static_cast<size_t>(i)]);
    file.finish();
}

} // namespace reports

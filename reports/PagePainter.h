#pragma once

#include "reports/Pages.h"

#include <QPointF>
#include <QString>
#include <memory>

class QPainter;
class QPaintDevice;

// Drawing rendered pages on any device: the preview (at a zoom), a printer, a PDF file.
namespace reports {

struct PaintOptions
{
    // Device pixels per millimetre: devicePixelsPerMm(device) for true size, times the zoom for a preview.
    double pixelsPerMm = 1.0;
    // Millimetres subtracted from every position; for a printer, its unprintable offset (printerOffset()).
    QPointF offset;
    // Fill the page white first (the preview's sheet of paper).
    bool paintPaper = false;
};

[[nodiscard]] double devicePixelsPerMm(const QPaintDevice& device);

// Draws one page with the painter's current transform as origin (the paper's top-left corner less the
// offset). Text is drawn at the reference metrics scaled to the device, so every device shows the same
// layout. Restores the painter's state. Needs a QGuiApplication; not thread-safe (keeps a small cache).
void paintPage(QPainter& painter, const Rendering& rendering, int pageIndex, const PaintOptions& options);
// The same for a page that need not be stored in the rendering (its fonts and documents are).
void paintPage(QPainter& painter, const Rendering& rendering, const Page& page, const PaintOptions& options);

// A PDF file written page by page: each page is drawn as it is added and need not be kept. The file takes its
// title from the first page's rendering (or its own name), and replaces `path` only at finish(); dropped
// unfinished, it leaves `path` as it was.
class PdfFile
{
public:
    explicit PdfFile(QString path);
    ~PdfFile();
    PdfFile(const PdfFile&) = delete;
    PdfFile& operator=(const PdfFile&) = delete;

    // Throws platform::AppError where the file cannot be written.
    void addPage(const Rendering& rendering, const Page& page);
    [[nodiscard]] int pageCount() const { return m_pages; }
    // Throws platform::AppError where there is no page or the file cannot be written.
    void finish();

private:
    struct Writer;
    QString m_path;
    std::unique_ptr<Writer> m_writer;
    int m_pages = 0;
};

// Writes pages to a PDF file, each page with its own exact paper size; the file is replaced only once it
// is complete. `pages`: 0-based indexes, empty for all. Throws platform::AppError where there is nothing to
// write or the file cannot be written.
void writePdf(const Rendering& rendering, const QString& path, const std::vector<int>& pages = {});

} // namespace reports

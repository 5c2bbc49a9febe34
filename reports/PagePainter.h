#pragma once

#include "reports/Pages.h"

#include <QPointF>
#include <QString>

class QPainter;
class QPaintDevice;
class QPrinter;

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

// Where a printer's painter origin lies on the paper, mm: the top-left corner of its printable area, or
// (0, 0) for a printer set to full page.
[[nodiscard]] QPointF printerOffset(const QPrinter& printer);

// Draws one page with the painter's current transform as origin (the paper's top-left corner less the
// offset). Text is drawn at the reference metrics scaled to the device, so every device shows the same
// layout. Restores the painter's state. Needs a QGuiApplication; not thread-safe (keeps a small cache).
void paintPage(QPainter& painter, const Rendering& rendering, int pageIndex, const PaintOptions& options);

// Writes pages to a PDF file, each page with its own exact paper size; the file is replaced only once it
// is complete. `pages`: 0-based indexes, empty for all. Throws platform::AppError where there is nothing to
// write or the file cannot be written.
void writePdf(const Rendering& rendering, const QString& path, const std::vector<int>& pages = {});

} // namespace reports

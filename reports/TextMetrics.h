#pragma once

#include "reports/Common.h"

#include <QFontMetricsF>
#include <QHash>
#include <QString>
#include <memory>
#include <vector>

class QPaintDevice;

// Text measured once, the same for screen, paper and PDF: every metric comes from fonts resolved against one
// reference device of 1200 dots per inch, never from the screen. Needs a QGuiApplication.
namespace reports {

constexpr int kReferenceDpi = 1200;

// Draws Arial, Times New Roman and Courier New with the metric-compatible Liberation fonts where the
// originals are not installed. Safe to call more than once; the metrics below call it themselves.
void installFontSubstitutions();

// The reference paint device (1200 dpi). Lives for the whole program.
[[nodiscard]] QPaintDevice* referenceDevice();

[[nodiscard]] inline double referenceUnitsToMm(double units)
{
    return units * kMmPerInch / kReferenceDpi;
}
[[nodiscard]] inline double mmToReferenceUnits(double mm)
{
    return mm * kReferenceDpi / kMmPerInch;
}

// Metrics of one font in millimetres.
class FontMetrics
{
public:
    explicit FontMetrics(const ReportFont& font);

    [[nodiscard]] double ascent() const { return m_ascent; }
    [[nodiscard]] double descent() const { return m_descent; }
    // One font line: ascent + descent, as the font reports them for "W" (not the glyph's own drawn height).
    [[nodiscard]] double lineHeight() const { return m_ascent + m_descent; }
    // Advance width of one line of text, kerning included, as it is drawn.
    [[nodiscard]] double width(const QString& text) const;

private:
    QFontMetricsF m_metrics;
    double m_ascent;
    double m_descent;
};

// Metrics of the fonts of one rendering, with widths remembered per text (surnames and towns repeat).
class TextMeasurer
{
public:
    [[nodiscard]] const FontMetrics& metrics(const ReportFont& font);
    [[nodiscard]] double width(const ReportFont& font, const QString& text);

private:
    struct Entry
    {
        ReportFont font;
        std::unique_ptr<FontMetrics> metrics;
        QHash<QString, double> widths;
    };
    Entry& entry(const ReportFont& font);
    std::vector<Entry> m_entries;
};

} // namespace reports

#include "reports/TextMetrics.h"

#include <QFontDatabase>
#include <QImage>
#include <mutex>

namespace reports {

ReportFont ReportFont::fromQFont(const QFont& font, const QColor& color)
{
    ReportFont f;
    f.family = font.family();
    f.pointSize = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    f.bold = font.bold();
    f.italic = font.italic();
    f.underline = font.underline();
    f.strikeOut = font.strikeOut();
    f.color = color;
    return f;
}

QFont ReportFont::toQFont() const
{
    installFontSubstitutions();
    QFont f(family);
    f.setPointSizeF(pointSize);
    f.setBold(bold);
    f.setItalic(italic);
    f.setUnderline(underline);
    f.setStrikeOut(strikeOut);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

void installFontSubstitutions()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const std::pair<const char*, const char*> pairs[] = {
            {"Arial", "Liberation Sans"},
            {"Times New Roman", "Liberation Serif"},
            {"Courier New", "Liberation Mono"},
        };
        for (const auto& [family, substitute] : pairs) {
            const QString name = QString::fromLatin1(family);
            if (!QFontDatabase::hasFamily(name))
                QFont::insertSubstitution(name, QString::fromLatin1(substitute));
        }
    });
}

QPaintDevice* referenceDevice()
{
    static QImage* device = [] {
        auto* image = new QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
        const int dotsPerMeter = qRound(kReferenceDpi / 0.0254);
        image->setDotsPerMeterX(dotsPerMeter);
        image->setDotsPerMeterY(dotsPerMeter);
        return image;
    }();
    return device;
}

FontMetrics::FontMetrics(const ReportFont& font)
    : m_metrics(font.toQFont(), referenceDevice()), m_ascent(referenceUnitsToMm(m_metrics.ascent())),
      m_descent(referenceUnitsToMm(m_metrics.descent()))
{
}

double FontMetrics::width(const QString& text) const
{
    return text.isEmpty() ? 0.0 : referenceUnitsToMm(m_metrics.horizontalAdvance(text));
}

TextMeasurer::Entry& TextMeasurer::entry(const ReportFont& font)
{
    for (Entry& e : m_entries)
        if (e.font == font)
            return e;
    m_entries.push_back(Entry{font, std::make_unique<FontMetrics>(font), {}});
    return m_entries.back();
}

const FontMetrics& TextMeasurer::metrics(const ReportFont& font)
{
    return *entry(font).metrics;
}

double TextMeasurer::width(const ReportFont& font, const QString& text)
{
    Entry& e = entry(font);
    auto it = e.widths.constFind(text);
    if (it != e.widths.constEnd())
        return *it;
    const double w = e.metrics->width(text);
    // Unique texts such as e-mail addresses would only fill the cache: keep it bounded.
    if (e.widths.size() < 50000)
        e.widths.insert(text, w);
    return w;
}

} // namespace reports

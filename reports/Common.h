#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <cmath>

// Basic types shared by report definitions, the renderer and the rendered pages.
// Every length in the report engine is a double in millimetres, measured from the paper's top-left corner.
namespace reports {

enum class Alignment { Left, Center, Right };

// A font as a layout names it. Black unless a layout says otherwise.
struct ReportFont
{
    QString family = QStringLiteral("Arial");
    double pointSize = 10.0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    QColor color = Qt::black;

    [[nodiscard]] static ReportFont arial(double pointSize, bool bold = false)
    {
        ReportFont f;
        f.pointSize = pointSize;
        f.bold = bold;
        return f;
    }
    [[nodiscard]] static ReportFont fromQFont(const QFont& font, const QColor& color = Qt::black);

    // The font without any device: unhinted, so that advances scale linearly between devices.
    [[nodiscard]] QFont toQFont() const;

    friend bool operator==(const ReportFont&, const ReportFont&) = default;
};

// Vertical positions move in steps of 0.1 mm: the renderer keeps them as whole tenths of a millimetre.
using Tenths = int;

[[nodiscard]] inline Tenths toTenths(double mm)
{
    return static_cast<Tenths>(std::lround(mm * 10.0));
}
[[nodiscard]] inline double fromTenths(Tenths t)
{
    return t / 10.0;
}

constexpr double kMmPerInch = 25.4;
constexpr double kMmPerPoint = kMmPerInch / 72.0;

} // namespace reports

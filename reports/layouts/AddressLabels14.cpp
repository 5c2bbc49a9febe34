#include "reports/layouts/AddressLabels14.h"

#include "reports/layouts/AddressLabels21.h"

namespace reports {

ReportDefinition labels14Report()
{
    ReportDefinition d;
    d.name = QStringLiteral("QRLabel14");
    d.paper = Paper::a4();
    d.orientation = Orientation::Portrait;
    // The stock's margins are 15.15 mm at top and foot and 4.67 mm at the sides; labels 99.06 mm wide with
    // 2.54 mm between the columns (pitch 101.6 mm). Positions move in 0.1 mm steps, so the top margin rounds
    // to 15.2 mm; the foot margin is 15.1 mm so that the seventh row still fits after that rounding.
    d.margins = {15.15, 15.1, 4.67, 4.67}; // top, bottom, left, right
    d.columns = 2;
    d.columnSpacing = 2.54;
    d.printIfEmpty = false;
    d.paperSource = PaperSource::FirstTray;
    d.labelsPerSheet = 14;
    d.defaultFont = ReportFont::arial(10);
    d.bands = {addressLabelBand(PageGeometry::of(d).columnWidth, 38.1, 10, 1.1, 0.8, 31.8)};
    return d;
}

} // namespace reports

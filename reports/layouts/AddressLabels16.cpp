#include "reports/layouts/AddressLabels16.h"


#include "reports/layouts/AddressLabels21.h"

namespace reports {

ReportDefinition labels16Report()
{
    ReportDefinition d;
    d.name = QStringLiteral("QRLabel16Rep");
    d.paper = Paper::a4();
    d.orientation = Orientation::Portrait;
    d.margins = {15.0, 0.0, 15.0, 10.0}; // top, bottom, left, right
    d.columns = 2;
    d.columnSpacing = 25.0;
    d.printIfEmpty = true;
    d.paperSource = PaperSource::Automatic;
    // All pages: a stored range of one page would make Print send nothing for a one-sheet selection.
    d.pageRange = {0, 0};
    d.labelsPerSheet = 16;
    d.defaultFont = ReportFont::arial(9);
    // Label width (185 - 25) / 2 = 80 mm.
    d.bands = {addressLabelBand(PageGeometry::of(d).columnWidth, 33.6, 9, 1.9, 0.8, 28.8)};
    return d;
}

} // namespace reports

TfmQRLabel16::TfmQRLabel16(QObject* parent) : QObject(parent), QRLabel16Rep(reports::labels16Report())
{
    setObjectName(QStringLiteral("fmQRLabel16"));
}

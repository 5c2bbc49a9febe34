#include "reports/layouts/AddressLabels21.h"

#include "reports/layouts/AddressLabels14.h"

namespace reports {

QStringList addressLabelLines()
{
    return {
        QStringLiteral("{Firstname +' '+Surname}"),
        QStringLiteral("{Address1 +' '+ Address2}"),
        QStringLiteral("{A3_Village}"),
        QStringLiteral("{Town}"),
        QStringLiteral("{County}"),
        QStringLiteral("{PostCode}"),
        QStringLiteral("{Country}"),
    };
}

Band addressLabelBand(double labelWidth, double labelHeight, double pointSize, double memoLeft, double memoTop,
                      double memoHeight)
{
    Band detail{BandKind::Detail, QStringLiteral("DetailBand1"), labelHeight, {}, {}, {}};
    Element memo = memoElement(QStringLiteral("QRExprMemo1"), memoLeft, memoTop, labelWidth - memoLeft, memoHeight,
                               addressLabelLines(), true);
    memo.font = ReportFont::arial(pointSize);
    memo.alignment = Alignment::Left;
    memo.autoSize = true;
    fitToPlace(memo, labelWidth, kLabelMinPointSize);
    detail.elements.push_back(memo);
    return detail;
}

ReportDefinition labels21Report()
{
    ReportDefinition d;
    d.name = QStringLiteral("QRLabel");
    d.title = QStringLiteral("Address Labels");
    d.paper = Paper::a4();
    d.orientation = Orientation::Portrait;
    d.margins = {18.0, 10.0, 12.0, 10.0}; // top, bottom, left, right
    d.columns = 3;
    d.columnSpacing = 5.0;
    d.printIfEmpty = false;
    d.paperSource = PaperSource::FirstTray;
    d.labelsPerSheet = 21;
    d.defaultFont = ReportFont::arial(10);
    // Label width (188 - 2 x 5) / 3 = 59.3 mm.
    d.bands = {addressLabelBand(PageGeometry::of(d).columnWidth, 38.1, 10, 1.1, 0.8, 31.8)};
    return d;
}

} // namespace reports

TfmLabels::TfmLabels(QObject* parent)
    : QObject(parent), QRLabel(reports::labels21Report()), QRLabel14(reports::labels14Report())
{
    setObjectName(QStringLiteral("fmLabels"));
}

#include "reports/layouts/DiaryPages.h"


namespace reports {

ReportDefinition a5DiaryReport()
{
    ReportDefinition d;
    d.name = QStringLiteral("QRA5Diary");
    d.paper = Paper::a4();
    d.orientation = Orientation::Landscape;
    d.margins = {8.0, 5.0, 10.0, 10.0}; // top, bottom, left, right
    d.columns = 4;
    d.columnSpacing = 5.0; // entries (277 - 3 x 5) / 4 = 65.5 mm wide
    d.printIfEmpty = true;
    d.paperSource = PaperSource::Automatic;
    d.defaultFont = ReportFont::arial(10);

    // The name, and the flag after a colon where there is one: no comma or colon stands beside an empty value.
    // Every line goes when empty.
    const QStringList lines = {
        QStringLiteral("{JOIN('  :     ', JOIN(', ', Surname, Firstname), Flag)}"),
        QStringLiteral("{Address1}"),
        QStringLiteral("{Address2}"),
        QStringLiteral("{A3_Village}"),
        QStringLiteral("{Town}"),
        QStringLiteral("{County}"),
        QStringLiteral("{PostCode}"),
        QStringLiteral("{Country}"),
        QStringLiteral("{Tel}"),
        QStringLiteral("{Cell}"),
    };
    const double entryWidth = PageGeometry::of(d).columnWidth;
    Band detail{BandKind::Detail, QStringLiteral("DetailBand1"), 48.9, {}, {}, {}};
    Element memo = memoElement(QStringLiteral("QRExprMemo1"), 3.1, 0.4, entryWidth - 3.1, 47.2, lines, true);
    memo.font = ReportFont::arial(10);
    memo.alignment = Alignment::Left;
    memo.autoSize = true;
    fitToPlace(memo, entryWidth, kMinPointSize);
    detail.elements.push_back(memo);
    d.bands = {detail};
    return d;
}

} // namespace reports

TfmQRA5Diary::TfmQRA5Diary(QObject* parent) : QObject(parent), QRA5Diary(reports::a5DiaryReport())
{
    setObjectName(QStringLiteral("fmQRA5Diary"));
}

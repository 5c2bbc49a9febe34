#include "reports/layouts/PhoneList.h"


#include <iterator>

namespace reports {

namespace {

struct HeaderCell
{
    double left;
    double top;
    const char* caption;
    double width; // 0: auto-sized
};

// ColumnHeaderBand1, Arial 10 pt bold.
// clang-format off
const HeaderCell kHeaders[] = {
    // left  top   caption       width (0: auto-sized)
    {  0.5, 0.0, "Surname",      26.2},
    { 31.0, 0.0, "Firstname",    24.9}, // over its column (31.0), not 6 mm left of it
    { 58.5, 0.0, "Tel",          28.1},
    { 84.4, 0.0, "Cell Phone",    0.0},
    {114.3, 0.3, "Work Tel",      0.0},
    {140.2, 0.3, "email",         0.0},
};
// clang-format on

struct DetailCell
{
    double left;
    double top;
    const char* field;
};

// DetailBand1, Arial 9 pt regular.
// clang-format off
const DetailCell kDetails[] = {
    // left  top   field
    {  0.5, 1.1, "Surname"},
    { 31.0, 1.1, "Firstname"},
    { 59.3, 1.3, "Tel"},
    { 84.7, 1.1, "Cell"},
    {114.6, 1.3, "Work Tel"},
    {140.0, 1.1, "Email"},
};
// clang-format on

// A group per initial as a reader sees it: "Ali", "Ångström" and "ap Rhys" all under one "A".
const char* const kInitial = "INITIAL(HomeQuery.Surname)";

} // namespace

ReportDefinition phoneListReport()
{
    ReportDefinition d;
    d.name = QStringLiteral("QuickRep1");
    d.paper = Paper::a4();
    d.orientation = Orientation::Portrait;
    d.margins = {10.0, 10.0, 10.0, 10.0};
    d.columns = 1;
    d.footerOnLastPage = true;
    d.printIfEmpty = false;
    d.paperSource = PaperSource::FirstTray;
    d.defaultFont = ReportFont::arial(8);
    // Grouped by initial: a selection in another order (a search, a column sort) still prints A before B.
    d.printOrderField = QStringLiteral("Surname");

    Band title{BandKind::Title, QStringLiteral("TitleBand1"), 7.9, {}, {}, {}};
    Element caption = textElement(QStringLiteral("QRLabel1"), 0, 0.3, QStringLiteral("Tovrel Phone List"));
    caption.font = ReportFont::arial(14, true);
    caption.alignment = Alignment::Center;
    caption.alignToBand = true;
    caption.autoSize = false;
    caption.width = 190.0; // the band's width: centred on the page whatever the font makes of the text
    title.elements.push_back(caption);

    Band header{BandKind::ColumnHeader, QStringLiteral("ColumnHeaderBand1"), 5.8, {}, {}, {}};
    int n = 2;
    for (const HeaderCell& cell : kHeaders) {
        Element e =
            textElement(QStringLiteral("QRLabel%1").arg(n++), cell.left, cell.top, QString::fromLatin1(cell.caption));
        e.font = ReportFont::arial(10, true);
        e.autoSize = cell.width == 0;
        e.width = cell.width;
        header.elements.push_back(e);
    }

    const double bandWidth = PageGeometry::of(d).fullWidth;
    Band group{BandKind::GroupHeader, QStringLiteral("QRGroup1"), 4.8, {}, QString::fromLatin1(kInitial), {}};
    Element initial = expressionElement(QStringLiteral("QRExpr1"), 0.5, 0.5, QString::fromLatin1(kInitial));
    initial.font = ReportFont::arial(8, true);
    fitToPlace(initial, bandWidth, kMinPointSize);
    group.elements.push_back(initial);

    Band detail{BandKind::Detail, QStringLiteral("DetailBand1"), 6.6, {}, {}, {}};
    detail.frame.top = true; // the rule above every row
    // Each value keeps to its column: up to where the next one begins, the last up to the right margin.
    n = 1;
    for (const DetailCell& cell : kDetails) {
        Element e =
            fieldElement(QStringLiteral("QRDBText%1").arg(n++), cell.left, cell.top, QString::fromLatin1(cell.field));
        e.font = ReportFont::arial(9);
        const auto next = &cell + 1;
        fitToPlace(e, next != std::end(kDetails) ? next->left : bandWidth, kMinPointSize);
        detail.elements.push_back(e);
    }

    const Band footer = pageNumberFooter(8.2);

    d.bands = {title, header, group, detail, footer};
    return d;
}

} // namespace reports

TfmQRTel::TfmQRTel(QObject* parent) : QObject(parent), QuickRep1(reports::phoneListReport())
{
    setObjectName(QStringLiteral("fmQRTel"));
}

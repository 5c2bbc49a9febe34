#include "reports/layouts/FilofaxPages.h"


namespace reports {

namespace {

struct EntryLine
{
    ElementKind kind;
    const char* name;
    double left;
    double top;
    const char* content; // expression, caption or field name
    bool bold;
};

// DetailBand1: every line is an element of its own at a fixed place, so an empty line keeps its place.
// clang-format off
const EntryLine kLines[] = {
    // kind                     name         left  top   content                                   bold
    {ElementKind::Expression, "QRExpr1",    1.1,  1.1, "JOIN(', ', Surname, Firstname)",          true},
    {ElementKind::Expression, "QRExpr2",    1.1,  5.0, "Address1+' '+Address2+' '+A3_Village",    false},
    {ElementKind::Expression, "QRExpr4",    1.1,  9.3, "Town+' '+County",                         false},
    {ElementKind::Expression, "QRExpr5",    1.1, 13.5, "PostCode+' '+Country",                    false},
    // A label prints only beside a value: no "T: ; Cel: " for a contact without telephones.
    {ElementKind::Expression, "QRExpr3",    1.1, 17.7,
     "JOIN('; ', IFEMPTY(Tel, '', 'T: '+Tel), IFEMPTY(Cell, '', 'Cel: '+Cell))",                    false},
    {ElementKind::Expression, "QRExpr6",    1.1, 21.7, "IFEMPTY(Email, '', 'E:'+Email)",           false},
    {ElementKind::Expression, "QRLabel1",   1.1, 25.9, "IFEMPTY([Work Tel], '', 'T2: '+[Work Tel])", false},
};
// clang-format on

constexpr double kLineHeight = 4.2;

} // namespace

ReportDefinition filofaxReport()
{
    ReportDefinition d;
    d.name = QStringLiteral("fmQRFilo2");
    d.paper = Paper::a4();
    d.orientation = Orientation::Portrait;
    d.margins = {5.0, 127.0, 15.0, 50.0}; // top, bottom, left, right
    d.columns = 2;
    d.columnSpacing = 15.0; // entries (145 - 15) / 2 = 65 mm wide
    d.printIfEmpty = false;
    d.paperSource = PaperSource::FirstTray;
    d.defaultFont = ReportFont::arial(9);

    const double entryWidth = PageGeometry::of(d).columnWidth;
    Band detail{BandKind::Detail, QStringLiteral("DetailBand1"), 31.2, {}, {}, {}};
    for (const EntryLine& line : kLines) {
        const QString name = QString::fromLatin1(line.name);
        const QString content = QString::fromLatin1(line.content);
        Element e = line.kind == ElementKind::Expression ? expressionElement(name, line.left, line.top, content)
                    : line.kind == ElementKind::Text     ? textElement(name, line.left, line.top, content)
                                                         : fieldElement(name, line.left, line.top, content);
        e.height = kLineHeight;
        e.font = ReportFont::arial(9, line.bold);
        e.alignment = Alignment::Left;
        e.autoSize = true;
        fitToPlace(e, entryWidth, kMinPointSize);
        detail.elements.push_back(e);
    }
    d.bands = {detail};
    return d;
}

} // namespace reports

TfmQRFilo2::TfmQRFilo2(QObject* parent) : QObject(parent), QRFilo2(reports::filofaxReport())
{
    setObjectName(QStringLiteral("fmQRFilo2"));
}

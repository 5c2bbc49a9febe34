#include "reports/layouts/MergedLetters.h"

#include "platform/AppError.h"

#include <cmath>

namespace mailmerge {

namespace {

// The address block: name (the workplace for a contact with none), address, village, town, county, postcode,
// country. A line left empty or only blank drops out.
QStringList addressLines()
{
    return {
        QStringLiteral("{IFEMPTY(Firstname +' '+Surname, Workplace)}"),
        QStringLiteral("{Address1 +' '+ Address2}"),
        QStringLiteral("{A3_Village}"),
        QStringLiteral("{Town}"),
        QStringLiteral("{County}"),
        QStringLiteral("{PostCode}"),
        QStringLiteral("{Country}"),
    };
}

// Printed whole and unwrapped from the left edge, on white, in the report's base font.
reports::Element opaque(reports::Element element)
{
    element.autoSize = true;
    element.alignment = reports::Alignment::Left;
    element.opaque = true;
    element.background = Qt::white;
    return element;
}

} // namespace

reports::ReportDefinition letterReport(const LetterBody& body)
{
    using namespace reports;
    ReportDefinition d;
    d.name = QStringLiteral("QuickRep1");
    d.paper = Paper::a4();
    d.orientation = Orientation::Portrait;
    d.margins = {10.0, 10.0, 10.0, 10.0};
    d.columns = 1;
    d.columnSpacing = 0;
    d.printIfEmpty = true;
    d.footerOnLastPage = true;
    d.copies = 1;
    d.paperSource = PaperSource::Automatic;
    d.defaultFont = ReportFont::fromQFont(initialBaseFont(), Qt::black);

    // One detail band per contact; the footer below leaves room for one only, so each letter has its own page.
    Band detail;
    detail.kind = BandKind::Detail;
    detail.name = QStringLiteral("QRBand1");
    detail.height = 40.2;
    detail.elements = {
        opaque(memoElement(QStringLiteral("QRExprMemo1"), 0.8, 0.5, 40.0, 28.8, addressLines(), true)),
        // "Dear", the name and the comma are one line of text, so that a name written right to left still
        // stands between the two in reading order ("Dear <name>,"), and the comma never lands before it.
        opaque(memoElement(QStringLiteral("QRExprMemo2"), 0.8, 34.9, 40.0, 4.5,
                           {QStringLiteral("Dear {IFEMPTY(TRIM(Firstname +' '+Surname), 'Sir or Madam')},")},
                           false)),
    };
    // A larger base font keeps every address line: the block grows, and the salutation and the body below
    // move down with it. Long lines keep to the page.
    Element& address = detail.elements[0];
    address.canGrow = true;
    fitToPlace(address, 190.0, kMinPointSize);
    fitToPlace(detail.elements[1], 190.0, kMinPointSize);

    Band footer;
    footer.kind = BandKind::PageFooter;
    footer.name = QStringLiteral("QRBand2");
    footer.height = 227.3;
    footer.followsGrowth = true; // the body moves down with the address block, still cut at the page's foot
    footer.elements = {richTextElement(QStringLiteral("QRRichText1"), 0.8, 0.5, 188.1, 206.6, body)};

    d.bands = {detail, footer};
    return d;
}

QFont initialBaseFont()
{
    return QFont(QStringLiteral("Arial"), 10);
}

QFont parseFontOption(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    const QString family = parts.value(0).trimmed();
    bool ok = false;
    const double size = parts.value(1).trimmed().toDouble(&ok);
    // Point sizes as a font dialog offers them; anything else is a typing error, not a font.
    if (family.isEmpty() || !ok || !std::isfinite(size) || size < 1.0 || size > 1000.0)
        throw platform::AppError(
            QStringLiteral("The font \"%1\" is not of the form FAMILY,SIZE[,bold][,italic]").arg(text));
    QFont font(family);
    font.setPointSizeF(size);
    for (qsizetype i = 2; i < parts.size(); ++i) {
        const QString style = parts[i].trimmed().toLower();
        if (style == QLatin1String("bold"))
            font.setBold(true);
        else if (style == QLatin1String("italic"))
            font.setItalic(true);
        else
            throw platform::AppError(
                QStringLiteral("The font \"%1\" has an unknown style \"%2\"").arg(text, parts[i].trimmed()));
    }
    return font;
}

} // namespace mailmerge

TfmMailQR::TfmMailQR(mailmerge::LetterBody body, QObject* parent)
    : QObject(parent), QuickRep1(mailmerge::letterReport(body))
{
    setObjectName(QStringLiteral("fmMailQR"));
    setBaseFont(mailmerge::initialBaseFont(), Qt::black);
}

void TfmMailQR::setBaseFont(const QFont& font, const QColor& color)
{
    m_baseFont = font;
    m_baseFontColor = color;
    QFont sized = font;
    // A font measured in pixels (as a screen font may be) is taken at 96 pixels per inch.
    if (sized.pointSizeF() <= 0 && sized.pixelSize() > 0)
        sized.setPointSizeF(sized.pixelSize() * 72.0 / 96.0);
    QuickRep1.defaultFont = reports::ReportFont::fromQFont(sized, color.isValid() ? color : QColor(Qt::black));
}

#include "reports/stocks/LabelStock.h"

#include "platform/AppError.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <utility>

// Resources of a static library are registered by hand, outside any namespace.
static void initStockResources()
{
    Q_INIT_RESOURCE(LabelStocks);
}

namespace reports {

namespace {

// Published sizes are rounded to hundredths of a millimetre: a sheet may use its paper to the last of them.
constexpr double kSlack = 0.005;
constexpr int kMostLabels = 1000;

QString mm(double value)
{
    return QString::number(value, 'g', 8);
}

[[noreturn]] void badStock(const LabelStock& stock, const QString& why)
{
    throw platform::AppError(QStringLiteral("Label stock \"%1\": %2").arg(stock.name, why));
}

void positive(const LabelStock& stock, const char* what, double value)
{
    if (!(std::isfinite(value) && value > 0))
        badStock(stock, QStringLiteral("the %1 must be more than 0 mm, not %2").arg(QLatin1String(what), mm(value)));
}

void notNegative(const LabelStock& stock, const char* what, double value)
{
    if (!(std::isfinite(value) && value >= 0))
        badStock(stock, QStringLiteral("the %1 must be 0 mm or more, not %2").arg(QLatin1String(what), mm(value)));
}

[[noreturn]] void damaged(const QString& source, const QString& why)
{
    throw platform::AppError(QStringLiteral("The label stock catalogue %1 is damaged: %2").arg(source, why));
}

// A member of a catalogue entry, present and of the right kind.
class Entry
{
public:
    Entry(const QJsonObject& object, QString what, QString source)
        : m_object(object), m_what(std::move(what)), m_source(std::move(source))
    {
    }

    [[nodiscard]] QString text(const char* key) const
    {
        const QJsonValue v = m_object.value(QLatin1String(key));
        if (!v.isString() || v.toString().trimmed().isEmpty())
            damaged(m_source, QStringLiteral("%1 has no text \"%2\"").arg(m_what, QLatin1String(key)));
        return v.toString().trimmed();
    }
    [[nodiscard]] QString optionalText(const char* key) const
    {
        return m_object.value(QLatin1String(key)).toString().trimmed();
    }
    [[nodiscard]] double number(const char* key) const
    {
        const QJsonValue v = m_object.value(QLatin1String(key));
        if (!v.isDouble())
            damaged(m_source, QStringLiteral("%1 has no number \"%2\"").arg(m_what, QLatin1String(key)));
        return v.toDouble();
    }
    [[nodiscard]] int whole(const char* key) const
    {
        const double n = number(key);
        if (n != std::floor(n) || std::abs(n) > 1e6)
            damaged(m_source,
                    QStringLiteral("%1: \"%2\" is %3, not a whole number").arg(m_what, QLatin1String(key), mm(n)));
        return static_cast<int>(n);
    }

private:
    QJsonObject m_object;
    QString m_what;
    QString m_source;
};

QJsonArray arrayOf(const QJsonObject& root, const char* key, const QString& source)
{
    const QJsonValue v = root.value(QLatin1String(key));
    if (!v.isArray())
        damaged(source, QStringLiteral("it has no list \"%1\"").arg(QLatin1String(key)));
    return v.toArray();
}

} // namespace

LabelGrid LabelStock::grid() const
{
    LabelGrid g;
    g.columns = columns;
    g.rows = rows;
    g.left = left;
    g.top = top;
    g.hPitch = hPitch;
    g.vPitch = vPitch;
    g.labelWidth = width;
    g.labelHeight = height;
    g.acrossFirst = acrossFirst;
    return g;
}

QRectF LabelStock::labelRect(int index) const
{
    return {grid().labelOrigin(index), QSizeF(width, height)};
}

void validateStock(const LabelStock& stock)
{
    if (stock.name.trimmed().isEmpty())
        throw platform::AppError(QStringLiteral("A label stock needs a name"));
    if (!(stock.paper.size.width() > 0 && stock.paper.size.height() > 0))
        badStock(stock, QStringLiteral("the paper \"%1\" has no size").arg(stock.paper.name));
    positive(stock, "label width", stock.width);
    positive(stock, "label height", stock.height);
    notNegative(stock, "left margin", stock.left);
    notNegative(stock, "top margin", stock.top);
    notNegative(stock, "horizontal pitch", stock.hPitch);
    notNegative(stock, "vertical pitch", stock.vPitch);
    notNegative(stock, "corner radius", stock.radius);
    if (stock.columns < 1)
        badStock(stock, QStringLiteral("the number of columns must be 1 or more, not %1").arg(stock.columns));
    if (stock.rows < 1)
        badStock(stock, QStringLiteral("the number of rows must be 1 or more, not %1").arg(stock.rows));
    if (static_cast<qint64>(stock.columns) * stock.rows > kMostLabels)
        badStock(stock, QStringLiteral("%1 labels to a sheet (%2 columns of %3) are more than %4")
                            .arg(static_cast<qint64>(stock.columns) * stock.rows)
                            .arg(stock.columns)
                            .arg(stock.rows)
                            .arg(kMostLabels));
    if (stock.columns > 1 && stock.hPitch + kSlack < stock.width)
        badStock(stock, QStringLiteral("the horizontal pitch %1 mm is less than the label width %2 mm: the labels "
                                       "would overlap")
                            .arg(mm(stock.hPitch), mm(stock.width)));
    if (stock.rows > 1 && stock.vPitch + kSlack < stock.height)
        badStock(stock, QStringLiteral("the vertical pitch %1 mm is less than the label height %2 mm: the labels "
                                       "would overlap")
                            .arg(mm(stock.vPitch), mm(stock.height)));
    const double right = stock.left + (stock.columns - 1) * stock.hPitch + stock.width;
    if (right > stock.paper.size.width() + kSlack)
        badStock(stock, QStringLiteral("the last column ends %1 mm from the paper's left edge, but the paper (%2) is "
                                       "%3 mm wide")
                            .arg(mm(right), stock.paper.name, mm(stock.paper.size.width())));
    const double bottom = stock.top + (stock.rows - 1) * stock.vPitch + stock.height;
    if (bottom > stock.paper.size.height() + kSlack)
        badStock(stock, QStringLiteral("the last row ends %1 mm from the paper's top edge, but the paper (%2) is "
                                       "%3 mm long")
                            .arg(mm(bottom), stock.paper.name, mm(stock.paper.size.height())));
    if (stock.radius * 2 > std::min(stock.width, stock.height) + kSlack)
        badStock(stock, QStringLiteral("the corner radius %1 mm is more than half the label's width or height")
                            .arg(mm(stock.radius)));
}

StockCatalogue StockCatalogue::parse(const QByteArray& json, const QString& source)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        damaged(source, QStringLiteral("%1 at character %2").arg(error.errorString()).arg(error.offset));
    const QJsonObject root = document.object();
    if (!document.isObject() || root.value(QLatin1String("format")).toString() != QLatin1String("Tovrel label stocks"))
        damaged(source, QStringLiteral("it is not a catalogue of label stocks"));
    if (root.value(QLatin1String("version")).toInt() != 1)
        damaged(source, QStringLiteral("its version %1 is not known").arg(root.value(QLatin1String("version")).toInt()));

    StockCatalogue catalogue;
    for (const QJsonValue& v : arrayOf(root, "papers", source)) {
        const Entry e(v.toObject(), QStringLiteral("a paper"), source);
        Paper paper{e.text("name"), QSizeF(e.number("width"), e.number("height"))};
        if (!(paper.size.width() > 0 && paper.size.height() > 0))
            damaged(source, QStringLiteral("the paper \"%1\" is %2 x %3 mm")
                                .arg(paper.name, mm(paper.size.width()), mm(paper.size.height())));
        if (catalogue.paper(paper.name))
            damaged(source, QStringLiteral("the paper \"%1\" appears twice").arg(paper.name));
        catalogue.papers.push_back(paper);
    }
    for (const QJsonValue& v : arrayOf(root, "stocks", source)) {
        const QString name = v.toObject().value(QLatin1String("name")).toString();
        const Entry e(v.toObject(), QStringLiteral("the stock \"%1\"").arg(name), source);
        LabelStock stock;
        stock.name = e.text("name");
        stock.description = e.optionalText("description");
        const Paper* paper = catalogue.paper(e.text("paper"));
        if (!paper)
            damaged(source, QStringLiteral("the stock \"%1\" is on the unknown paper \"%2\"").arg(name, e.text("paper")));
        stock.paper = *paper;
        stock.width = e.number("width");
        stock.height = e.number("height");
        stock.columns = e.whole("columns");
        stock.rows = e.whole("rows");
        stock.left = e.number("left");
        stock.top = e.number("top");
        stock.hPitch = e.number("hPitch");
        stock.vPitch = e.number("vPitch");
        stock.radius = e.number("radius");
        const QString order = e.text("order");
        if (order != QLatin1String("across") && order != QLatin1String("down"))
            damaged(source, QStringLiteral("the stock \"%1\" has the order \"%2\", not across or down").arg(name, order));
        stock.acrossFirst = order == QLatin1String("across");
        try {
            validateStock(stock);
        } catch (const platform::AppError& bad) {
            damaged(source, bad.message());
        }
        if (catalogue.stock(stock.name))
            damaged(source, QStringLiteral("the stock \"%1\" appears twice").arg(stock.name));
        catalogue.stocks.push_back(stock);
    }
    for (const QJsonValue& v : arrayOf(root, "envelopes", source)) {
        const QString name = v.toObject().value(QLatin1String("name")).toString();
        const Entry e(v.toObject(), QStringLiteral("the envelope \"%1\"").arg(name), source);
        EnvelopeStock envelope;
        envelope.name = e.text("name");
        envelope.description = e.optionalText("description");
        envelope.size = QSizeF(e.number("width"), e.number("height"));
        envelope.addressArea =
            QRectF(e.number("addressLeft"), e.number("addressTop"), e.number("addressWidth"), e.number("addressHeight"));
        const QRectF whole(QPointF(0, 0), envelope.size);
        if (!(envelope.size.width() > 0 && envelope.size.height() > 0))
            damaged(source, QStringLiteral("the envelope \"%1\" is %2 x %3 mm")
                                .arg(name, mm(envelope.size.width()), mm(envelope.size.height())));
        if (!(envelope.addressArea.width() > 0 && envelope.addressArea.height() > 0) ||
            !whole.adjusted(-kSlack, -kSlack, kSlack, kSlack).contains(envelope.addressArea))
            damaged(source, QStringLiteral("the address area of the envelope \"%1\" does not lie on it").arg(name));
        if (catalogue.envelope(envelope.name))
            damaged(source, QStringLiteral("the envelope \"%1\" appears twice").arg(envelope.name));
        catalogue.envelopes.push_back(envelope);
    }
    return catalogue;
}

const StockCatalogue& StockCatalogue::builtIn()
{
    static const StockCatalogue catalogue = [] {
        initStockResources();
        QFile file(QStringLiteral(":/stocks/LabelStocks.json"));
        if (!file.open(QIODevice::ReadOnly))
            damaged(QStringLiteral("of the program"), QStringLiteral("it cannot be read"));
        return parse(file.readAll(), QStringLiteral("of the program"));
    }();
    return catalogue;
}

const LabelStock* StockCatalogue::stock(const QString& name) const
{
    for (const LabelStock& s : stocks)
        if (s.name.compare(name, Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}

const EnvelopeStock* StockCatalogue::envelope(const QString& name) const
{
    for (const EnvelopeStock& e : envelopes)
        if (e.name.compare(name, Qt::CaseInsensitive) == 0)
            return &e;
    return nullptr;
}

const Paper* StockCatalogue::paper(const QString& name) const
{
    for (const Paper& p : papers)
        if (p.name.compare(name, Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}

QStringList StockCatalogue::stockNames() const
{
    QStringList names;
    for (const LabelStock& s : stocks)
        names << s.name;
    return names;
}

QStringList StockCatalogue::envelopeNames() const
{
    QStringList names;
    for (const EnvelopeStock& e : envelopes)
        names << e.name;
    return names;
}

QStringList addressMemoLines(unsigned lines)
{
    static const std::pair<unsigned, const char*> all[] = {
        {LineName, "{Firstname +' '+Surname}"}, {LineAddress, "{Address1 +' '+ Address2}"},
        {LineVillage, "{A3_Village}"},          {LineTown, "{Town}"},
        {LineCounty, "{County}"},               {LinePostCode, "{PostCode}"},
        {LineCountry, "{Country}"},
    };
    QStringList result;
    for (const auto& [bit, text] : all)
        if (lines & bit)
            result << QString::fromLatin1(text);
    return result;
}

namespace {

void checkLines(unsigned lines)
{
    if ((lines & kAllAddressLines) == 0)
        throw platform::AppError(QStringLiteral("Choose at least one line to print"));
}

void checkFont(const ReportFont& font)
{
    if (!(font.pointSize >= 4 && font.pointSize <= 200))
        throw platform::AppError(
            QStringLiteral("The font size must lie between 4 and 200 points, not %1").arg(mm(font.pointSize)));
}

// An element whose lines never leave its box: too wide a value shrinks, down to the labels' smallest size, then
// is cut; lines below its foot are dropped.
Element boxed(Element e, double width, double height, const ReportFont& font)
{
    e.height = height;
    e.font = font;
    e.autoSize = false;
    e.wordWrap = false;
    e.cutToBox = true;
    fitToPlace(e, e.left + width + kFitRightMargin, kLabelMinPointSize);
    return e;
}

} // namespace

ReportDefinition stockLabelsReport(const LabelStock& stock, const LabelOptions& options)
{
    validateStock(stock);
    checkLines(options.lines);
    checkFont(options.font);
    ReportDefinition d;
    d.name = QStringLiteral("QRStockLabels");
    d.title = QStringLiteral("Labels on %1").arg(stock.name);
    d.paper = stock.paper;
    d.printIfEmpty = false;
    d.labelsPerSheet = stock.count();
    d.startAtLabel = std::clamp(options.startAtLabel, 1, stock.count());
    d.labelGrid = stock.grid();
    d.defaultFont = options.font;
    // Clear of the rounded corners, and never more than a quarter of a small label.
    const double padX = std::min(std::max(2.0, stock.radius), stock.width / 4);
    const double padY = std::min(1.5, stock.height / 4);
    Band detail{BandKind::Detail, QStringLiteral("DetailBand1"), stock.height, {}, {}, {}};
    detail.elements.push_back(boxed(memoElement(QStringLiteral("QRExprMemo1"), padX, padY, 0, 0,
                                                addressMemoLines(options.lines), true),
                                    stock.width - 2 * padX, stock.height - 2 * padY, options.font));
    d.bands = {detail};
    return d;
}

ReportDefinition checkSheetReport(const LabelStock& stock)
{
    validateStock(stock);
    ReportDefinition d;
    d.name = QStringLiteral("QRCheckSheet");
    d.title = QStringLiteral("Check sheet for %1").arg(stock.name);
    d.paper = stock.paper;
    d.labelsPerSheet = stock.count();
    d.labelGrid = stock.grid();
    d.defaultFont = ReportFont::arial(6);

    const QSizeF paper = stock.paper.size;
    Band rulers{BandKind::Title, QStringLiteral("TitleBand1"), paper.height(), {}, {}, {}};
    Element caption = textElement(QStringLiteral("QRLabel1"), 0, 0,
                                  QStringLiteral("%1: hold against a sheet of labels and measure how far the crosses "
                                                 "lie from the labels' centres")
                                      .arg(stock.description.isEmpty() ? stock.name : stock.description));
    // Rulers through the middle of the sheet, numbered in mm from the paper's left and top edges: every mm a
    // tick, every 5 mm a longer one, every 10 mm a number. They start 5 mm in, where printers reach.
    const double midX = paper.width() / 2;
    const double midY = paper.height() / 2;
    // The instructions keep to the upper left quarter, wrapped, clear of both rulers and their ticks.
    caption.font = ReportFont::arial(8);
    caption.alignment = Alignment::Left;
    caption.autoSize = false;
    caption.wordWrap = true;
    caption.left = 8;
    caption.width = midX - 6 - caption.left;
    caption.height = 14;
    caption.top = midY - 2 - caption.height;
    rulers.elements.push_back(caption);
    for (int n = 5; n <= static_cast<int>(paper.width()) - 5; ++n) {
        const double tick = n % 10 == 0 ? 4.0 : n % 5 == 0 ? 2.5 : 1.5;
        rulers.elements.push_back(lineElement(QStringLiteral("Tick"), ShapeKind::VerticalLine, n, midY, tick, 0.3));
        if (n % 10 == 0)
            rulers.elements.push_back(textElement(QStringLiteral("Mark"), n + 0.3, midY + 2, QString::number(n)));
    }
    for (int n = 5; n <= static_cast<int>(paper.height()) - 5; ++n) {
        const double tick = n % 10 == 0 ? 4.0 : n % 5 == 0 ? 2.5 : 1.5;
        rulers.elements.push_back(
            lineElement(QStringLiteral("Tick"), ShapeKind::HorizontalLine, midX - tick, n, tick, 0.3));
        if (n % 10 == 0 && std::abs(n - midY) > 4)
            rulers.elements.push_back(textElement(QStringLiteral("Mark"), midX + 0.5, n - 1.2, QString::number(n)));
    }
    rulers.elements.push_back(
        lineElement(QStringLiteral("RulerX"), ShapeKind::HorizontalLine, 5, midY, paper.width() - 10, 0.3));
    rulers.elements.push_back(
        lineElement(QStringLiteral("RulerY"), ShapeKind::VerticalLine, midX, 5, paper.height() - 10, 0.3));

    Band label{BandKind::Detail, QStringLiteral("DetailBand1"), stock.height, {}, {}, {}};
    Element outline = rectangleElement(QStringLiteral("Outline"), 0, 0, stock.width, stock.height);
    outline.penWidth = 0.5;
    label.elements.push_back(outline);
    const double arm = std::min({5.0, stock.width / 4, stock.height / 4});
    label.elements.push_back(lineElement(QStringLiteral("CrossX"), ShapeKind::HorizontalLine, stock.width / 2 - arm,
                                         stock.height / 2, 2 * arm, 0.5));
    label.elements.push_back(lineElement(QStringLiteral("CrossY"), ShapeKind::VerticalLine, stock.width / 2,
                                         stock.height / 2 - arm, 2 * arm, 0.5));
    d.bands = {rulers, label};
    return d;
}

MemoryRecordSource blankRecords(int count)
{
    MemoryRecordSource source(MemoryRecordSource::contactFields());
    for (int i = 0; i < count; ++i)
        source.addRow({});
    return source;
}

ReportDefinition envelopesReport(const EnvelopeStock& envelope, const EnvelopeOptions& options)
{
    checkLines(options.lines);
    checkFont(options.font);
    ReportDefinition d;
    d.name = QStringLiteral("QREnvelopes");
    d.title = QStringLiteral("Envelopes %1").arg(envelope.name);
    // The paper as a printer lists it, short edge across; the page lies the way the address is read.
    d.paper = Paper{QStringLiteral("Envelope %1").arg(envelope.name), envelope.size.transposed()};
    d.orientation = Orientation::Landscape;
    d.paperSource = PaperSource::Automatic;
    d.printIfEmpty = false;
    LabelGrid whole;
    whole.labelWidth = envelope.size.width();
    whole.labelHeight = envelope.size.height();
    d.labelGrid = whole;
    d.defaultFont = options.font;
    const bool longEdgeFirst = options.longEdgeFirst;
    d.printAdjustment = [longEdgeFirst](const QString&) { return PrintAdjustment{{}, longEdgeFirst}; };

    const QRectF area = envelope.addressArea;
    Band detail{BandKind::Detail, QStringLiteral("DetailBand1"), envelope.size.height(), {}, {}, {}};
    detail.elements.push_back(
        boxed(memoElement(QStringLiteral("QRExprMemo1"), area.left(), area.top(), 0, 0,
                          addressMemoLines(options.lines), true),
              area.width(), area.height(), options.font));
    QStringList sender = options.returnAddress;
    while (!sender.isEmpty() && sender.constLast().trimmed().isEmpty())
        sender.removeLast();
    if (!sender.isEmpty()) {
        // Top left, above the address area and clear of the stamp at the top right.
        constexpr double kEdge = 10.0;
        const double height = std::max(0.0, area.top() - 2 * kEdge);
        ReportFont small = options.font;
        small.pointSize = std::max(6.0, options.font.pointSize - 2);
        detail.elements.push_back(boxed(textElement(QStringLiteral("QRReturnAddress"), kEdge, kEdge,
                                                    sender.join(QLatin1Char('\n'))),
                                        envelope.size.width() / 2 - kEdge, height, small));
    }
    d.bands = {detail};
    return d;
}

} // namespace reports

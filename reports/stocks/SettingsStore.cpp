#include "reports/stocks/SettingsStore.h"

#include "platform/AppError.h"

#include <algorithm>
#include <cmath>

namespace reports {

namespace {

const QString kCustomPrefix = QStringLiteral("Custom Stock ");
const QString kLabels = QStringLiteral("Labels on Other Stock");
const QString kEnvelopes = QStringLiteral("Envelopes");
const QString kShifts = QStringLiteral("Printer Offsets");
constexpr int kReturnLines = 6;

QString number(double value)
{
    return QString::number(value, 'g', 10);
}

// A kept number; `fallback` where there is none, NaN where it is not a number (checked later, by name).
double readNumber(const SettingsStore& settings, const QString& section, const QString& key, double fallback)
{
    const QString text = settings.value(section, key).trimmed();
    if (text.isEmpty())
        return fallback;
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? value : std::nan("");
}

int readWhole(const SettingsStore& settings, const QString& section, const QString& key, int fallback)
{
    bool ok = false;
    const int value = settings.value(section, key).trimmed().toInt(&ok);
    return ok ? value : fallback;
}

// Names the settings file can hold as part of a section or key: no brackets, no "=" and no line break.
bool storable(const QString& name)
{
    static const QString forbidden = QStringLiteral("[]=;\r\n");
    for (QChar c : name)
        if (forbidden.contains(c))
            return false;
    return name == name.trimmed() && !name.isEmpty();
}

// A printer's name as a key: the characters a key cannot hold become "_".
QString printerKey(const QString& printerName)
{
    QString key = printerName.trimmed();
    for (QChar& c : key)
        if (QStringLiteral("[]=;\r\n").contains(c))
            c = u'_';
    return key.isEmpty() ? QStringLiteral("(default)") : key;
}

ReportFont readFont(const SettingsStore& settings, const QString& section, const ReportFont& fallback)
{
    ReportFont font = fallback;
    const QString family = settings.value(section, QStringLiteral("FontName")).trimmed();
    if (!family.isEmpty())
        font.family = family;
    const double size = readNumber(settings, section, QStringLiteral("FontSize"), fallback.pointSize);
    if (size >= 4 && size <= 200)
        font.pointSize = size;
    font.bold = readWhole(settings, section, QStringLiteral("FontBold"), fallback.bold ? 1 : 0) != 0;
    font.italic = readWhole(settings, section, QStringLiteral("FontItalic"), fallback.italic ? 1 : 0) != 0;
    return font;
}

void writeFont(SettingsStore& settings, const QString& section, const ReportFont& font)
{
    settings.setValue(section, QStringLiteral("FontName"), font.family);
    settings.setValue(section, QStringLiteral("FontSize"), number(font.pointSize));
    settings.setValue(section, QStringLiteral("FontBold"), font.bold ? QStringLiteral("1") : QStringLiteral("0"));
    settings.setValue(section, QStringLiteral("FontItalic"), font.italic ? QStringLiteral("1") : QStringLiteral("0"));
}

unsigned readLines(const SettingsStore& settings, const QString& section)
{
    const int lines = readWhole(settings, section, QStringLiteral("Lines"), static_cast<int>(kAllAddressLines));
    const unsigned mask = static_cast<unsigned>(lines) & kAllAddressLines;
    return mask == 0 ? kAllAddressLines : mask;
}

} // namespace

QStringList customStockNames(const SettingsStore& settings)
{
    QStringList names;
    for (const QString& section : settings.sections())
        if (section.startsWith(kCustomPrefix, Qt::CaseInsensitive) && section.size() > kCustomPrefix.size())
            names << section.mid(kCustomPrefix.size());
    return names;
}

LabelStock readCustomStock(const SettingsStore& settings, const QString& name)
{
    const QString section = kCustomPrefix + name;
    if (!customStockNames(settings).contains(name, Qt::CaseInsensitive))
        throw platform::AppError(QStringLiteral("There is no label stock \"%1\" in the settings").arg(name));
    LabelStock stock;
    stock.name = name;
    const QString paperName = settings.value(section, QStringLiteral("Paper")).trimmed();
    const Paper* paper = StockCatalogue::builtIn().paper(paperName.isEmpty() ? QStringLiteral("A4") : paperName);
    if (!paper)
        throw platform::AppError(QStringLiteral("Label stock \"%1\": the paper \"%2\" is not known").arg(name, paperName));
    stock.paper = *paper;
    stock.width = readNumber(settings, section, QStringLiteral("Width"), 0);
    stock.height = readNumber(settings, section, QStringLiteral("Height"), 0);
    stock.columns = readWhole(settings, section, QStringLiteral("Columns"), 0);
    stock.rows = readWhole(settings, section, QStringLiteral("Rows"), 0);
    stock.left = readNumber(settings, section, QStringLiteral("Left"), 0);
    stock.top = readNumber(settings, section, QStringLiteral("Top"), 0);
    stock.hPitch = readNumber(settings, section, QStringLiteral("HPitch"), stock.width);
    stock.vPitch = readNumber(settings, section, QStringLiteral("VPitch"), stock.height);
    stock.radius = readNumber(settings, section, QStringLiteral("Radius"), 0);
    stock.acrossFirst = settings.value(section, QStringLiteral("Order")).trimmed() != QLatin1String("down");
    stock.description = QStringLiteral("%1, %2 per sheet on %3").arg(name).arg(stock.count()).arg(paper->name);
    validateStock(stock);
    return stock;
}

void writeCustomStock(SettingsStore& settings, const LabelStock& stock)
{
    if (!storable(stock.name))
        throw platform::AppError(
            QStringLiteral("The stock name \"%1\" cannot be kept: it must not be empty, start or end with a blank, "
                           "or hold [ ] = ; or a line break")
                .arg(stock.name));
    if (StockCatalogue::builtIn().stock(stock.name))
        throw platform::AppError(
            QStringLiteral("\"%1\" is a stock of the catalogue: give your own stock another name").arg(stock.name));
    validateStock(stock);
    if (!StockCatalogue::builtIn().paper(stock.paper.name))
        throw platform::AppError(QStringLiteral("Label stock \"%1\": the paper \"%2\" is not known")
                                     .arg(stock.name, stock.paper.name));
    // An existing stock keeps the spelling of its section.
    QString name = stock.name;
    for (const QString& kept : customStockNames(settings))
        if (kept.compare(name, Qt::CaseInsensitive) == 0)
            name = kept;
    const QString section = kCustomPrefix + name;
    settings.setValue(section, QStringLiteral("Paper"), stock.paper.name);
    settings.setValue(section, QStringLiteral("Width"), number(stock.width));
    settings.setValue(section, QStringLiteral("Height"), number(stock.height));
    settings.setValue(section, QStringLiteral("Columns"), QString::number(stock.columns));
    settings.setValue(section, QStringLiteral("Rows"), QString::number(stock.rows));
    settings.setValue(section, QStringLiteral("Left"), number(stock.left));
    settings.setValue(section, QStringLiteral("Top"), number(stock.top));
    settings.setValue(section, QStringLiteral("HPitch"), number(stock.hPitch));
    settings.setValue(section, QStringLiteral("VPitch"), number(stock.vPitch));
    settings.setValue(section, QStringLiteral("Radius"), number(stock.radius));
    settings.setValue(section, QStringLiteral("Order"),
                      stock.acrossFirst ? QStringLiteral("across") : QStringLiteral("down"));
}

QPointF printerShift(const SettingsStore& settings, const QString& printerName)
{
    const QString key = printerKey(printerName);
    const double x = readNumber(settings, kShifts, key + QStringLiteral(" X"), 0);
    const double y = readNumber(settings, kShifts, key + QStringLiteral(" Y"), 0);
    // A damaged or absurd value must not push the page off the paper: it counts as none.
    const auto usable = [](double v) { return std::isfinite(v) && std::abs(v) <= 50 ? v : 0.0; };
    return {usable(x), usable(y)};
}

void setPrinterShift(SettingsStore& settings, const QString& printerName, const QPointF& shift)
{
    if (!(std::isfinite(shift.x()) && std::isfinite(shift.y()) && std::abs(shift.x()) <= 50 &&
          std::abs(shift.y()) <= 50))
        throw platform::AppError(QStringLiteral("A printer offset must lie between -50 and 50 mm, not %1, %2")
                                     .arg(number(shift.x()), number(shift.y())));
    const QString key = printerKey(printerName);
    settings.setValue(kShifts, key + QStringLiteral(" X"), number(shift.x()));
    settings.setValue(kShifts, key + QStringLiteral(" Y"), number(shift.y()));
}

void applyPrinterShifts(ReportDefinition& definition, SettingsStorePtr settings)
{
    auto before = definition.printAdjustment;
    definition.printAdjustment = [before = std::move(before), settings = std::move(settings)](const QString& name) {
        PrintAdjustment adjustment = before ? before(name) : PrintAdjustment{};
        if (settings)
            adjustment.shift += printerShift(*settings, name);
        return adjustment;
    };
}

QString lastStockName(const SettingsStore& settings)
{
    const QString name = settings.value(kLabels, QStringLiteral("Stock")).trimmed();
    return name.isEmpty() ? QStringLiteral("L7160") : name;
}

LabelOptions readLabelOptions(const SettingsStore& settings)
{
    LabelOptions options;
    options.lines = readLines(settings, kLabels);
    options.font = readFont(settings, kLabels, options.font);
    return options;
}

void writeLabelChoice(SettingsStore& settings, const QString& stockName, const LabelOptions& options)
{
    settings.setValue(kLabels, QStringLiteral("Stock"), stockName);
    settings.setValue(kLabels, QStringLiteral("Lines"), QString::number(options.lines));
    writeFont(settings, kLabels, options.font);
}

QString lastEnvelopeName(const SettingsStore& settings)
{
    const QString name = settings.value(kEnvelopes, QStringLiteral("Envelope")).trimmed();
    return name.isEmpty() ? QStringLiteral("DL") : name;
}

EnvelopeOptions readEnvelopeOptions(const SettingsStore& settings)
{
    EnvelopeOptions options;
    options.lines = readLines(settings, kEnvelopes);
    options.font = readFont(settings, kEnvelopes, options.font);
    options.longEdgeFirst = readWhole(settings, kEnvelopes, QStringLiteral("LongEdgeFirst"), 0) != 0;
    if (readWhole(settings, kEnvelopes, QStringLiteral("ReturnAddress"), 0) != 0) {
        for (int i = 1; i <= kReturnLines; ++i)
            options.returnAddress << settings.value(kEnvelopes, QStringLiteral("Return%1").arg(i));
        while (!options.returnAddress.isEmpty() && options.returnAddress.constLast().isEmpty())
            options.returnAddress.removeLast();
    }
    return options;
}

void writeEnvelopeChoice(SettingsStore& settings, const QString& envelopeName, const EnvelopeOptions& options)
{
    if (options.returnAddress.size() > kReturnLines)
        throw platform::AppError(
            QStringLiteral("A return address has at most %1 lines, not %2").arg(kReturnLines).arg(options.returnAddress.size()));
    settings.setValue(kEnvelopes, QStringLiteral("Envelope"), envelopeName);
    settings.setValue(kEnvelopes, QStringLiteral("Lines"), QString::number(options.lines));
    writeFont(settings, kEnvelopes, options.font);
    settings.setValue(kEnvelopes, QStringLiteral("LongEdgeFirst"),
                      options.longEdgeFirst ? QStringLiteral("1") : QStringLiteral("0"));
    settings.setValue(kEnvelopes, QStringLiteral("ReturnAddress"),
                      options.returnAddress.isEmpty() ? QStringLiteral("0") : QStringLiteral("1"));
    for (int i = 1; i <= kReturnLines; ++i)
        settings.setValue(kEnvelopes, QStringLiteral("Return%1").arg(i),
                          i <= options.returnAddress.size() ? options.returnAddress[i - 1].trimmed() : QString());
}

QString MemorySettingsStore::value(const QString& section, const QString& key) const
{
    for (const auto& [name, entries] : m_sections)
        if (name.compare(section, Qt::CaseInsensitive) == 0)
            for (const auto& [k, v] : entries)
                if (k.compare(key, Qt::CaseInsensitive) == 0)
                    return v;
    return {};
}

void MemorySettingsStore::setValue(const QString& section, const QString& key, const QString& value)
{
    auto it = std::find_if(m_sections.begin(), m_sections.end(),
                           [&](const auto& s) { return s.first.compare(section, Qt::CaseInsensitive) == 0; });
    if (it == m_sections.end())
        it = m_sections.insert(m_sections.end(), {section, {}});
    for (auto& [k, v] : it->second)
        if (k.compare(key, Qt::CaseInsensitive) == 0) {
            v = value;
            return;
        }
    it->second.emplace_back(key, value);
}

QStringList MemorySettingsStore::sections() const
{
    QStringList names;
    for (const auto& s : m_sections)
        names << s.first;
    return names;
}

} // namespace reports

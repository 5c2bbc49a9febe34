#pragma once

#include "reports/RecordSource.h"
#include "reports/ReportDefinition.h"

#include <QByteArray>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <vector>

// Label stocks and envelopes as data: the catalogue compiled into the program (stocks/LabelStocks.json), the
// user's own stocks, and the report definitions that print contacts onto them.
namespace reports {

struct LabelStock
{
    QString name;
    QString description;
    Paper paper = Paper::a4();
    double width = 0; // one label, mm
    double height = 0;
    int columns = 1;
    int rows = 1;
    double left = 0; // the first label's corner, mm from the paper's corner
    double top = 0;
    double hPitch = 0; // from one label's corner to the next one's
    double vPitch = 0;
    double radius = 0; // of the label's corners
    bool acrossFirst = true;

    [[nodiscard]] int count() const { return columns * rows; }
    [[nodiscard]] LabelGrid grid() const;
    // The label at a 0-based place in the fill order, mm on the paper.
    [[nodiscard]] QRectF labelRect(int index) const;

    friend bool operator==(const LabelStock&, const LabelStock&) = default;
};

// Throws platform::AppError naming the value where the stock cannot be printed: a size that is zero, negative or
// not a number, no labels or more than 1000 to a sheet, labels that overlap or run off the paper.
void validateStock(const LabelStock& stock);

struct EnvelopeStock
{
    QString name;
    QString description;
    QSizeF size;        // the envelope lying with its long edge across, mm
    QRectF addressArea; // the window, or where the post office reads the address, mm from the top-left corner

    friend bool operator==(const EnvelopeStock&, const EnvelopeStock&) = default;
};

struct StockCatalogue
{
    std::vector<Paper> papers;
    std::vector<LabelStock> stocks;
    std::vector<EnvelopeStock> envelopes;

    // Throws platform::AppError "The label stock catalogue ... is damaged: ..." naming the entry and the value.
    [[nodiscard]] static StockCatalogue parse(const QByteArray& json, const QString& source);
    // The catalogue compiled into the program, read once.
    [[nodiscard]] static const StockCatalogue& builtIn();

    [[nodiscard]] const LabelStock* stock(const QString& name) const;
    [[nodiscard]] const EnvelopeStock* envelope(const QString& name) const;
    [[nodiscard]] const Paper* paper(const QString& name) const;
    [[nodiscard]] QStringList stockNames() const;
    [[nodiscard]] QStringList envelopeNames() const;
};

// The address lines a label or an envelope can print, in their order on the label.
enum AddressLine : unsigned {
    LineName = 1u << 0,    // first name and surname
    LineAddress = 1u << 1, // address lines 1 and 2
    LineVillage = 1u << 2,
    LineTown = 1u << 3,
    LineCounty = 1u << 4,
    LinePostCode = 1u << 5,
    LineCountry = 1u << 6,
};
constexpr unsigned kAllAddressLines = 0x7f; // the lines of the 21-label report

// The memo lines for a choice of address lines, as on the 21-label report.
[[nodiscard]] QStringList addressMemoLines(unsigned lines);

struct LabelOptions
{
    unsigned lines = kAllAddressLines;
    ReportFont font = ReportFont::arial(10);
    int startAtLabel = 1;
};

// Contacts on a sheet stock: one label each, in the stock's order, from the start label on; every line kept
// inside its label. Throws platform::AppError for a stock that cannot be printed.
[[nodiscard]] ReportDefinition stockLabelsReport(const LabelStock& stock, const LabelOptions& options);

// A sheet to hold against the real stock: every label's outline with a cross at its centre, and millimetre
// rulers along the top and left edges. Render it from `stock.count()` empty rows.
[[nodiscard]] ReportDefinition checkSheetReport(const LabelStock& stock);
// Rows with every field empty: what the check sheet is rendered from.
[[nodiscard]] MemoryRecordSource blankRecords(int count);

struct EnvelopeOptions
{
    unsigned lines = kAllAddressLines;
    ReportFont font = ReportFont::arial(11);
    QStringList returnAddress; // empty: none printed
    bool longEdgeFirst = false;
};

// One envelope per contact, the address in the envelope's address area, the return address at its top left.
[[nodiscard]] ReportDefinition envelopesReport(const EnvelopeStock& envelope, const EnvelopeOptions& options);

} // namespace reports

#pragma once

#include "reports/stocks/LabelStock.h"

#include <QPointF>
#include <QString>
#include <QStringList>
#include <memory>
#include <utility>
#include <vector>

// What the label and envelope printouts keep between runs: the user's own stocks by name, the choices made in
// their dialogs, and each printer's offset measured with the check sheet. Kept in the program's settings file.
namespace reports {

// Named values in sections; the program keeps them in TovrelIni.ini.
class SettingsStore
{
public:
    virtual ~SettingsStore() = default;
    // The value as written; the empty text where there is none.
    [[nodiscard]] virtual QString value(const QString& section, const QString& key) const = 0;
    // Throws platform::AppError where it cannot be kept.
    virtual void setValue(const QString& section, const QString& key, const QString& value) = 0;
    [[nodiscard]] virtual QStringList sections() const = 0;
};
using SettingsStorePtr = std::shared_ptr<SettingsStore>;

// The user's own stocks, by name, in the order they were first kept.
[[nodiscard]] QStringList customStockNames(const SettingsStore& settings);
// Throws platform::AppError naming the value where the kept stock is missing or cannot be printed.
[[nodiscard]] LabelStock readCustomStock(const SettingsStore& settings, const QString& name);
// Checks the stock first (validateStock()); a name of the catalogue or one that the settings file cannot hold
// is refused. A stock of the same name is replaced.
void writeCustomStock(SettingsStore& settings, const LabelStock& stock);

// How far a printer puts things right of and below their place, mm; (0, 0) where none was measured.
[[nodiscard]] QPointF printerShift(const SettingsStore& settings, const QString& printerName);
void setPrinterShift(SettingsStore& settings, const QString& printerName, const QPointF& shift);
// Makes the report's printouts apply the shift measured for whichever printer they go to, on top of any
// adjustment the report already has.
void applyPrinterShifts(ReportDefinition& definition, SettingsStorePtr settings);

// The stock dialog's last choices: stock name (a catalogue stock or a custom one), lines and font.
[[nodiscard]] QString lastStockName(const SettingsStore& settings);
[[nodiscard]] LabelOptions readLabelOptions(const SettingsStore& settings);
void writeLabelChoice(SettingsStore& settings, const QString& stockName, const LabelOptions& options);

// The envelope dialog's last choices: envelope, lines, font, return address and how the printer takes them.
[[nodiscard]] QString lastEnvelopeName(const SettingsStore& settings);
[[nodiscard]] EnvelopeOptions readEnvelopeOptions(const SettingsStore& settings);
void writeEnvelopeChoice(SettingsStore& settings, const QString& envelopeName, const EnvelopeOptions& options);

// A store held in memory, for tests and for runs without a settings file.
class MemorySettingsStore : public SettingsStore
{
public:
    [[nodiscard]] QString value(const QString& section, const QString& key) const override;
    void setValue(const QString& section, const QString& key, const QString& value) override;
    [[nodiscard]] QStringList sections() const override;

private:
    std::vector<std::pair<QString, std::vector<std::pair<QString, QString>>>> m_sections;
};

} // namespace reports

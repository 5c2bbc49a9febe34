#pragma once

#include "reports/ui/LabelChoiceDialog.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class TSheetPicture;

namespace reports {
class RecordSource;
}

// Reports ▸ "Labels on Other Stock…": a stock of the catalogue or the user's own, the lines, the font and the
// start label on a picture of the sheet; the labels then go into the preview. Also prints the check sheet and
// keeps the offset measured with it for each printer.
class TfmStockLabels : public LabelChoiceDialog
{
    Q_OBJECT
public:
    explicit TfmStockLabels(reports::SettingsStorePtr settings, QWidget* parent = nullptr);

    // The whole command: the dialog, then the labels' preview (or the check sheet's, and the dialog again).
    void run(reports::RecordSource& source);

    // The stock chosen: a catalogue stock, a kept one, or the sizes in the custom boxes ("Custom…").
    // Throws platform::AppError naming the value where the sizes cannot be printed.
    [[nodiscard]] reports::LabelStock chosenStock() const;
    [[nodiscard]] reports::LabelOptions chosenOptions() const;
    reports::ReportDefinition& makeReport() override;

    QComboBox* cbStock = nullptr;
    QGroupBox* gbCustom = nullptr;
    QLineEdit* edCustomName = nullptr;
    QComboBox* cbPaper = nullptr;
    QDoubleSpinBox* edWidth = nullptr;
    QDoubleSpinBox* edHeight = nullptr;
    QSpinBox* edColumns = nullptr;
    QSpinBox* edRows = nullptr;
    QDoubleSpinBox* edLeft = nullptr;
    QDoubleSpinBox* edTop = nullptr;
    QDoubleSpinBox* edHPitch = nullptr;
    QDoubleSpinBox* edVPitch = nullptr;
    QDoubleSpinBox* edRadius = nullptr;
    QComboBox* cbOrder = nullptr;
    QPushButton* btnKeepCustom = nullptr;
    TSheetPicture* imgSheet = nullptr;
    QSpinBox* spnStartAtLabel = nullptr;
    QComboBox* cbPrinter = nullptr;
    QDoubleSpinBox* edOffsetX = nullptr;
    QDoubleSpinBox* edOffsetY = nullptr;
    QPushButton* btnCheckSheet = nullptr;

    void cbStockChange();
    void btnKeepCustomClick();
    void btnCheckSheetClick();
    void edOffsetChange();
    void cbPrinterChange();
    void customSizeChange();

    static constexpr int CheckSheet = 2; // a result of exec() besides Accepted and Rejected

private:
    void fillStocks(const QString& select);
    void showStock(const reports::LabelStock& stock);
    [[nodiscard]] reports::LabelStock customBoxes() const;

    reports::ReportDefinition m_checkSheet;
    QLabel* m_problem = nullptr;
    bool m_filling = false;
};

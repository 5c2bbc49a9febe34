#pragma once

#include "reports/stocks/SettingsStore.h"

#include <QDialog>

#include <array>
#include <vector>

class QCheckBox;
class QGroupBox;
class QHBoxLayout;
class QDialogButtonBox;
class QLabel;
class QPushButton;

// What the envelope and stock label windows share: the seven lines to print, the font and Preview / Cancel. Preview
// makes the report (kept, for the preview to refer to) and closes the window.
class LabelChoiceDialog : public QDialog
{
    Q_OBJECT
public:
    // The report for the choices, with the printer offsets applied; the choices are kept.
    virtual reports::ReportDefinition& makeReport() = 0;
    [[nodiscard]] reports::ReportDefinition& report() { return m_report; }

    std::vector<QCheckBox*> cbxLines; // name, address, village, town, county, postcode, country
    QPushButton* btnFont = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

    void btnFontClick();
    void btnOKClick();

protected:
    LabelChoiceDialog(reports::SettingsStorePtr settings, QWidget* parent);

    // The parts of the window, each made where the window places it (the order they are made is the tab order).
    [[nodiscard]] QGroupBox* makeLinesBox(const std::array<const char*, 7>& captions);
    [[nodiscard]] QHBoxLayout* makeFontRow();
    [[nodiscard]] QDialogButtonBox* makeButtons();

    // The lines ticked, one bit each in the order of cbxLines.
    [[nodiscard]] unsigned chosenLines() const;
    void showChoices(unsigned lines, const reports::ReportFont& font);

    reports::SettingsStorePtr m_settings;
    reports::ReportFont m_font;
    reports::ReportDefinition m_report;

private:
    void showFont();

    QLabel* m_fontLabel = nullptr;
};

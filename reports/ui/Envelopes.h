#pragma once

#include "reports/stocks/SettingsStore.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace reports {
class RecordSource;
}

// Reports ▸ "Envelopes…": the envelope, the lines, the font, an optional return address and how the printer takes
// envelopes; one envelope per contact then goes into the preview. The choices are kept in the settings.
class TfmEnvelopes : public QDialog
{
    Q_OBJECT
public:
    explicit TfmEnvelopes(reports::SettingsStorePtr settings, QWidget* parent = nullptr);

    // The dialog, then the envelopes' preview; returns when the preview closes.
    void run(reports::RecordSource& source);

    [[nodiscard]] reports::EnvelopeOptions chosenOptions() const;
    // The report for the choices, with the printer offsets applied; the choices are kept.
    reports::ReportDefinition& makeReport();
    [[nodiscard]] reports::ReportDefinition& report() { return m_report; }

    QComboBox* cbEnvelope = nullptr;
    std::vector<QCheckBox*> cbxLines;
    QPushButton* btnFont = nullptr;
    QCheckBox* cbxReturnAddress = nullptr;
    QPlainTextEdit* memReturnAddress = nullptr;
    QRadioButton* rbShortEdgeFirst = nullptr;
    QRadioButton* rbLongEdgeFirst = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

    void btnFontClick();
    void btnOKClick();

private:
    void showFont();

    reports::SettingsStorePtr m_settings;
    reports::ReportFont m_font;
    reports::ReportDefinition m_report;
    QLabel* m_fontLabel = nullptr;
};

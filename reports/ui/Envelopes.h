#pragma once

#include "reports/ui/LabelChoiceDialog.h"

class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QRadioButton;

namespace reports {
class RecordSource;
}

// Reports ▸ "Envelopes…": the envelope, the lines, the font, an optional return address and how the printer takes
// envelopes; one envelope per contact then goes into the preview. The choices are kept in the settings.
class TfmEnvelopes : public LabelChoiceDialog
{
    Q_OBJECT
public:
    explicit TfmEnvelopes(reports::SettingsStorePtr settings, QWidget* parent = nullptr);

    // The dialog, then the envelopes' preview; returns when the preview closes.
    void run(reports::RecordSource& source);

    [[nodiscard]] reports::EnvelopeOptions chosenOptions() const;
    reports::ReportDefinition& makeReport() override;

    QComboBox* cbEnvelope = nullptr;
    QCheckBox* cbxReturnAddress = nullptr;
    QPlainTextEdit* memReturnAddress = nullptr;
    QRadioButton* rbShortEdgeFirst = nullptr;
    QRadioButton* rbLongEdgeFirst = nullptr;
};

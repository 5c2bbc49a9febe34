#pragma once

// Address labels, 21 and 14 per A4 sheet: report form `TfmLabels`.

#include "reports/ReportDefinition.h"

#include <QObject>

namespace reports {

class RecordSource;

// The seven lines of an address label, the same on every label layout. Lines 1 and 2 always hold the blank
// that joins their two fields, so only lines 3 to 7 can be dropped as empty.
[[nodiscard]] QStringList addressLabelLines();

// The one detail band of an address label: the seven-line memo, left-aligned and auto-sized (a long line runs
// on past the label's edge), blank lines removed, in black Arial regular.
[[nodiscard]] Band addressLabelBand(double labelWidth, double labelHeight, double pointSize, double memoLeft,
                                    double memoTop, double memoHeight);

// `QRLabel`: address labels, 21 to an A4 sheet in three columns of seven (Avery L7160 stock).
[[nodiscard]] ReportDefinition labels21Report();

} // namespace reports

// Holder of the 21-per-sheet labels, and of the 14-per-sheet labels that the third "&Address Labels" entry runs.
// Made once at start-up and never shown; its report objects keep their print settings and start label for the run.
class TfmLabels : public QObject
{
    Q_OBJECT
public:
    explicit TfmLabels(QObject* parent = nullptr);

    reports::ReportDefinition QRLabel;
    reports::ReportDefinition QRLabel14;

};

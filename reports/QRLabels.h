#pragma once

#include "reports/ReportDefinition.h"

namespace reports {

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

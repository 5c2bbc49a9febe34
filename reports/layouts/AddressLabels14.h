#pragma once

#include "reports/ReportDefinition.h"

namespace reports {

// `QRLabel14`: address labels, 14 to an A4 sheet in two columns of seven, for 99.06 x 38.1 mm stock
// (Avery L7163), with the memo of the 21-per-sheet label.
[[nodiscard]] ReportDefinition labels14Report();

} // namespace reports

#pragma once

#include "reports/ReportDefinition.h"

namespace reports {

// `QRLabel16Rep`: address labels, 16 to an A4 sheet in two columns of eight (Avery L7162 stock). An empty
// selection still gives one page with one label.
[[nodiscard]] ReportDefinition labels16Report();

} // namespace reports

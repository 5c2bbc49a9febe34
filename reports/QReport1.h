#pragma once

#include "reports/ReportDefinition.h"

namespace reports {

// The phone list `QuickRep1` of the holder `TfmQRTel`: one row per contact with surname, first name and the
// telephones and e-mail, grouped by the initial of the surname, "Page N" at the foot of every page.
[[nodiscard]] ReportDefinition phoneListReport();

} // namespace reports

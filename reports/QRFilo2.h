#pragma once

#include "reports/ReportDefinition.h"

namespace reports {

// Filofax pages (the holder `TfmQRFilo2` is itself the report): ten entries to an A4 sheet, two columns of
// five in the upper left of the sheet, each with name, address, telephones and e-mail on fixed lines.
[[nodiscard]] ReportDefinition filofaxReport();

} // namespace reports

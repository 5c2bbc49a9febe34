#pragma once

#include "reports/ReportDefinition.h"

namespace reports {

// `QRA5Diary`: address-book entries for A5 diaries, sixteen to a landscape A4 sheet in four columns of four;
// each half of the sheet is one A5 page. An empty selection still gives one page with one entry.
[[nodiscard]] ReportDefinition a5DiaryReport();

} // namespace reports

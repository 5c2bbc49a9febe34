#pragma once

#include "reports/Common.h"

#include <QString>
#include <optional>

class QWidget;

namespace reports {

// The font dialog of the label and envelope dialogs: the chosen font, or none when cancelled. A size outside 4 to
// 200 points is refused with platform::AppError.
[[nodiscard]] std::optional<ReportFont> chooseLabelFont(QWidget* parent, const ReportFont& current);

// "Arial, 10 pt" or "Arial, 10 pt, bold", as the dialogs show the chosen font.
[[nodiscard]] QString describeLabelFont(const ReportFont& font);

} // namespace reports

#include "reports/ui/LabelFontChoice.h"

#include "platform/AppError.h"
#include "platform/Services.h"

namespace reports {

std::optional<ReportFont> chooseLabelFont(QWidget* parent, const ReportFont& current)
{
    const auto font = platform::fontDialog().chooseFont(parent, current.toQFont(), QStringLiteral("Font"));
    if (!font)
        return std::nullopt;
    const ReportFont chosen = ReportFont::fromQFont(*font);
    if (!(chosen.pointSize >= 4 && chosen.pointSize <= 200))
        throw platform::AppError(
            QStringLiteral("The font size must lie between 4 and 200 points, not %1").arg(chosen.pointSize));
    return chosen;
}

QString describeLabelFont(const ReportFont& font)
{
    return QStringLiteral("%1, %2 pt%3")
        .arg(font.family)
        .arg(font.pointSize)
        .arg(font.bold ? QStringLiteral(", bold") : QString());
}

} // namespace reports

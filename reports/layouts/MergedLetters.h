#pragma once

// The merged letters: report form `TfmMailQR`.

#include "reports/ReportDefinition.h"

#include <QColor>
#include <QFont>
#include <QObject>
#include <functional>

class QTextDocument;

namespace reports {
class RecordSource;
}

namespace mailmerge {

// Where the letter body comes from: asked each time a page is made, so the report always prints the document
// as it stands then. Null or empty: the body area stays blank.
using LetterBody = std::function<const QTextDocument*()>;

// The merged letter `QuickRep1`: one A4 page per contact with the address block, "Dear" and the name at the top
// in the base font, and the letter body below in the page footer, laid out in its own formatting and cut at
// the foot of its area. An empty selection still gives one page.
[[nodiscard]] reports::ReportDefinition letterReport(const LetterBody& body);

// The base font before any "Match Font": Arial 10 point.
[[nodiscard]] QFont initialBaseFont();

// A font given on the command line as "FAMILY,SIZE[,bold][,italic]". Throws platform::AppError when it cannot be
// read.
[[nodiscard]] QFont parseFontOption(const QString& text);

} // namespace mailmerge

// The holder of the merged letter report. Never shown; its report definition, with the base font that
// "Match Font" sets, lives for the whole run.
class TfmMailQR : public QObject
{
    Q_OBJECT
public:
    explicit TfmMailQR(mailmerge::LetterBody body, QObject* parent = nullptr);

    [[nodiscard]] static QString caption() { return QStringLiteral("Mail Merged"); }

    // The font of the address block, "Dear" and the name: a copy of the font given, kept until set again.
    void setBaseFont(const QFont& font, const QColor& color);
    [[nodiscard]] const QFont& baseFont() const { return m_baseFont; }
    [[nodiscard]] const QColor& baseFontColor() const { return m_baseFontColor; }


    reports::ReportDefinition QuickRep1;

private:
    QFont m_baseFont;
    QColor m_baseFontColor;
};

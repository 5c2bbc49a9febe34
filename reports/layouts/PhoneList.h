#pragma once

// The phone list: report form `TfmQRTel`.

#include "reports/ReportDefinition.h"

#include <QObject>

namespace reports {

class RecordSource;

// The phone list `QuickRep1` of the holder `TfmQRTel`: one row per contact with surname, first name and the
// telephones and e-mail, grouped by the initial of the surname, "Page N" at the foot of every page.
[[nodiscard]] ReportDefinition phoneListReport();

} // namespace reports

// The phone list's holder: made once at start-up and never shown. Its report object lives as long, so the
// print settings chosen in its preview stay with it for the whole run.
class TfmQRTel : public QObject
{
    Q_OBJECT
public:
    explicit TfmQRTel(QObject* parent = nullptr);

    reports::ReportDefinition QuickRep1;

};

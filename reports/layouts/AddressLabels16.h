#pragma once

// Address labels, 16 per A4 sheet: report form `TfmQRLabel16`.

#include "reports/ReportDefinition.h"

#include <QObject>

namespace reports {

class RecordSource;

// `QRLabel16Rep`: address labels, 16 to an A4 sheet in two columns of eight (Avery L7162 stock). An empty
// selection still gives one page with one label.
[[nodiscard]] ReportDefinition labels16Report();

} // namespace reports

// Holder of the 16-per-sheet labels: made once at start-up and never shown; its report object keeps its print
// settings and start label for the run.
class TfmQRLabel16 : public QObject
{
    Q_OBJECT
public:
    explicit TfmQRLabel16(QObject* parent = nullptr);

    reports::ReportDefinition QRLabel16Rep;

};

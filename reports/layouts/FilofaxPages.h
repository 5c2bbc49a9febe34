#pragma once

// The Filofax pages: report form `TfmQRFilo2`.

#include "reports/ReportDefinition.h"

#include <QObject>

namespace reports {

class RecordSource;

// Filofax pages (the holder `TfmQRFilo2` is itself the report): ten entries to an A4 sheet, two columns of
// five in the upper left of the sheet, each with name, address, telephones and e-mail on fixed lines.
[[nodiscard]] ReportDefinition filofaxReport();

} // namespace reports

// The Filofax pages: the holder is itself the report. Made once at start-up and never shown; the report keeps
// its print settings for the run.
class TfmQRFilo2 : public QObject
{
    Q_OBJECT
public:
    explicit TfmQRFilo2(QObject* parent = nullptr);

    reports::ReportDefinition QRFilo2;

};

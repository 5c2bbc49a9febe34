#pragma once

// The A5 diary pages: report form `TfmQRA5Diary`.

#include "reports/ReportDefinition.h"

#include <QObject>

namespace reports {

class RecordSource;

// `QRA5Diary`: address-book entries for A5 diaries, sixteen to a landscape A4 sheet in four columns of four;
// each half of the sheet is one A5 page. An empty selection still gives one page with one entry.
[[nodiscard]] ReportDefinition a5DiaryReport();

} // namespace reports

// Holder of the A5 diary pages: made once at start-up and never shown; its report object keeps its print
// settings for the run.
class TfmQRA5Diary : public QObject
{
    Q_OBJECT
public:
    explicit TfmQRA5Diary(QObject* parent = nullptr);

    reports::ReportDefinition QRA5Diary;

};

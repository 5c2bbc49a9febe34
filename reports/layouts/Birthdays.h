#pragma once

#include "data/Birthday.h"
#include "reports/RecordSource.h"
#include "reports/ReportDefinition.h"

#include <vector>

namespace reports {

// The contacts of a source that have a birthday, by month and day (then surname and first name), with the
// fields the birthdays report prints: BirthMonth ("May"), BirthDate ("4 May"), Age ("56", or empty), Name.
class BirthdaySource : public RecordSource
{
public:
    BirthdaySource(RecordSource& inner, int year);

    [[nodiscard]] int rowCount() const override { return int(m_rows.size()); }
    [[nodiscard]] int fieldIndex(const QString& name) const override;
    [[nodiscard]] QString text(int row, int field) const override;
    using RecordSource::text;
    // The row of the source a row stands for.
    [[nodiscard]] int innerRow(int row) const { return m_rows[size_t(row)].inner; }
    [[nodiscard]] const data::Birthday& birthday(int row) const { return m_rows[size_t(row)].birthday; }

    void prepare() override { m_inner.prepare(); }
    void renderStarted() override { m_inner.renderStarted(); }
    void renderEnded(int lastRow) override { m_inner.renderEnded(lastRow < 0 ? -1 : innerRow(lastRow)); }

private:
    struct Row
    {
        int inner;
        data::Birthday birthday;
    };
    RecordSource& m_inner;
    int m_year;
    std::vector<Row> m_rows;
    int m_innerFields = 0;
};

// The birthdays report: grouped by month, one line per contact with the day, the name, the age reached this year
// and the telephone.
[[nodiscard]] ReportDefinition birthdaysReport();

} // namespace reports

#pragma once

#include "reports/RecordSource.h"

namespace data {
class Dataset;
}

namespace reports {

// The shared contact query as a report's rows. While a report renders, every other command that would
// move or change the query is refused; at the end the query stands on the row that was current before.
class DatasetSource : public RecordSource
{
public:
    explicit DatasetSource(data::Dataset& dataset) : m_dataset(dataset) {}

    [[nodiscard]] int rowCount() const override;
    [[nodiscard]] int fieldIndex(const QString& name) const override;
    [[nodiscard]] QString text(int row, int field) const override;
    using RecordSource::text;

    void prepare() override;
    void renderStarted() override;
    void renderEnded(int lastRow) override;

private:
    data::Dataset& m_dataset;
    bool m_locked = false;
};

} // namespace reports

#pragma once

#include "data/Dataset.h"

#include <QObject>
#include <QPointer>

namespace data {

// Links views to a dataset. Views listen to the source, so rebinding a source moves every view at once.
class DataSource : public QObject
{
    Q_OBJECT
public:
    explicit DataSource(Dataset* dataset = nullptr, QObject* parent = nullptr);
    [[nodiscard]] Dataset* dataset() const { return m_dataset; }
    void setDataset(Dataset* dataset);

signals:
    void datasetChanged(data::Dataset* dataset);

private:
    QPointer<Dataset> m_dataset;
};

} // namespace data

#pragma once

#include "data/DataSource.h"

#include <QAbstractTableModel>
#include <QFont>

namespace data {

struct ColumnDef
{
    QString field;
    QString title; // empty: the field name
};

// A thin table model over a dataset: it keeps no copy of the rows, only asks the dataset.
class DatasetModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit DatasetModel(DataSource* source, QObject* parent = nullptr);

    void setColumns(const QList<ColumnDef>& columns);
    [[nodiscard]] const QList<ColumnDef>& columns() const { return m_columns; }
    [[nodiscard]] int fieldOfColumn(int column) const;
    // The title of one column in bold (the sort mark); -1: none.
    void setBoldColumn(int column);
    [[nodiscard]] int boldColumn() const { return m_boldColumn; }

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    void attach(Dataset* dataset);
    Dataset* dataset() const { return m_source ? m_source->dataset() : nullptr; }

    DataSource* m_source;
    QList<ColumnDef> m_columns;
    int m_boldColumn = -1;
    int m_indicatorRow = -1; // the row whose indicator was last announced
    QMetaObject::Connection m_connections[9];
};

} // namespace data

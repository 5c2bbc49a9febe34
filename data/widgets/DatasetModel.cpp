#include "data/widgets/DatasetModel.h"

#include "data/DateText.h"
#include "platform/ui/ErrorBox.h"

namespace data {

DatasetModel::DatasetModel(DataSource* source, QObject* parent) : QAbstractTableModel(parent), m_source(source)
{
    connect(source, &DataSource::datasetChanged, this, [this](Dataset* d) {
        beginResetModel();
        attach(d);
        endResetModel();
    });
    attach(source->dataset());
}

void DatasetModel::attach(Dataset* d)
{
    for (auto& c : m_connections)
        disconnect(c);
    if (!d)
        return;
    auto reset = [this] {
        beginResetModel();
        endResetModel();
    };
    m_connections[0] = connect(d, &Dataset::opened, this, reset);
    m_connections[1] = connect(d, &Dataset::closed, this, reset);
    m_connections[8] = connect(d, &Dataset::narrowed, this, reset);
    m_connections[2] = connect(d, &Dataset::reordered, this, [this] {
        emit layoutAboutToBeChanged();
        emit layoutChanged();
        if (rowCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    });
    m_connections[3] = connect(d, &Dataset::rowChanged, this, [this](int row) {
        if (row >= 0 && row < rowCount() && columnCount() > 0)
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        emit headerDataChanged(Qt::Vertical, row, row);
    });
    m_connections[4] = connect(d, &Dataset::rowInserted, this, [this](int row) {
        beginInsertRows({}, row, row);
        endInsertRows();
    });
    m_connections[5] = connect(d, &Dataset::rowRemoved, this, [this](int row) {
        beginRemoveRows({}, row, row);
        endRemoveRows();
    });
    // Only the rows whose indicator changes are announced: a view answers each announcement in time proportional
    // to the rows named, and a report moves the current row through every row of the result.
    auto indicatorChanged = [this](int row) {
        if (row >= 0 && row < rowCount())
            emit headerDataChanged(Qt::Vertical, row, row);
    };
    m_connections[6] = connect(d, &Dataset::stateChanged, this,
                               [d, indicatorChanged] { indicatorChanged(d->currentRow()); });
    m_connections[7] = connect(d, &Dataset::currentChanged, this, [this, indicatorChanged](int row) {
        const int old = m_indicatorRow;
        m_indicatorRow = row;
        if (old != row)
            indicatorChanged(old);
        indicatorChanged(row);
    });
}

void DatasetModel::setColumns(const QList<ColumnDef>& columns)
{
    beginResetModel();
    m_columns = columns;
    endResetModel();
}

int DatasetModel::fieldOfColumn(int column) const
{
    const Dataset* d = dataset();
    if (!d || column < 0 || column >= m_columns.size())
        return -1;
    return d->fieldIndex(m_columns[column].field);
}

void DatasetModel::setBoldColumn(int column)
{
    const int old = m_boldColumn;
    m_boldColumn = column;
    if (old >= 0)
        emit headerDataChanged(Qt::Horizontal, old, old);
    if (column >= 0)
        emit headerDataChanged(Qt::Horizontal, column, column);
}

int DatasetModel::rowCount(const QModelIndex& parent) const
{
    const Dataset* d = dataset();
    return parent.isValid() || !d ? 0 : d->recordCount();
}

int DatasetModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(m_columns.size()); }

QVariant DatasetModel::data(const QModelIndex& index, int role) const
{
    const Dataset* d = dataset();
    if (!d || !index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const int field = fieldOfColumn(index.column());
    if (field < 0)
        return {};
    if (d->fields()[field].kind == FieldKind::Date)
        return formatDate(fromStorage(d->text(index.row(), field)));
    return d->text(index.row(), field);
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= m_columns.size())
            return {};
        if (role == Qt::DisplayRole)
            return m_columns[section].title.isEmpty() ? m_columns[section].field : m_columns[section].title;
        if (role == Qt::FontRole && section == m_boldColumn) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    }
    // The indicator column: the current row, and whether it is being edited or inserted.
    if (role == Qt::DisplayRole) {
        const Dataset* d = dataset();
        if (!d || section != d->currentRow())
            return QString();
        switch (d->state()) {
        case Dataset::State::Edit: return QStringLiteral("I");
        case Dataset::State::Insert: return QStringLiteral("*");
        default: return QStringLiteral("\u25B6");
        }
    }
    return {};
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const int field = fieldOfColumn(index.column());
    if (field >= 0 && dataset()->fields()[field].isStored())
        f |= Qt::ItemIsEditable;
    return f;
}

bool DatasetModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    Dataset* d = dataset();
    if (!d || !index.isValid() || role != Qt::EditRole)
        return false;
    const int field = fieldOfColumn(index.column());
    if (field < 0)
        return false;
    return platform::guard([&] {
        if (index.row() != d->currentRow())
            d->moveTo(index.row());
        d->setFieldValue(field, value);
    });
}

} // namespace data

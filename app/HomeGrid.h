#pragma once

#include <QMainWindow>
#include <QStringList>

class QTableView;
namespace data {
class DatasetModel;
}

// The main contact list window.
class TfmHomeAddMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit TfmHomeAddMain(QWidget* parent = nullptr);

    QTableView* dbGrid1 = nullptr;

    // The County column's pick list, read and replaced by the county list editor.
    [[nodiscard]] QStringList countyPickList() const { return m_countyPickList; }
    void setCountyPickList(const QStringList& list) { m_countyPickList = list; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    data::DatasetModel* m_model = nullptr;
    QStringList m_countyPickList;
};

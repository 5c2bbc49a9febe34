#pragma once

#include <QMainWindow>

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

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    data::DatasetModel* m_model = nullptr;
};

#include "app/HomeGrid.h"

#include "app/Application.h"
#include "data/DatasetModel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QTableView>

TfmHomeAddMain::TfmHomeAddMain(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Tovrel"));
    auto& store = app::Application::instance().store;
    dbGrid1 = new QTableView(this);
    m_model = new data::DatasetModel(&store.dsHome, this);
    QList<data::ColumnDef> columns;
    for (const char* f : {"Surname", "Firstname", "Address1", "Address2", "A3_Village", "Town", "County", "PostCode",
                          "Tel", "Cell"})
        columns << data::ColumnDef{QString::fromLatin1(f), {}};
    m_model->setColumns(columns);
    dbGrid1->setModel(m_model);
    setCentralWidget(dbGrid1);
    resize(900, 600);
}

void TfmHomeAddMain::closeEvent(QCloseEvent* event)
{
    event->accept();
    // Closing the main window ends the program, whatever else is open.
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

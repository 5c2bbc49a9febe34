#pragma once

#include <QDialog>
#include <functional>

class QTableWidget;
class QPushButton;
struct sqlite3;

namespace mainwindow {

// The contacts deleted in the last days, newest first, with Restore.
class RecentlyDeletedBox : public QDialog
{
    Q_OBJECT
public:
    // restored is called with the contact's key after each restore.
    RecentlyDeletedBox(sqlite3* db, std::function<void(qint64)> restored, QWidget* parent = nullptr);

    void reload();
    void restoreSelected();

    QTableWidget* list = nullptr;
    QPushButton* btnRestore = nullptr;

private:
    sqlite3* m_db;
    std::function<void(qint64)> m_restored;
};

} // namespace mainwindow

#pragma once

#include "search/Duplicates.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QListWidget;
class QPushButton;
class QTableWidget;
struct sqlite3;

namespace mainwindow {

// Search ▸ Find Duplicates: the groups of contacts that are probably one person, each shown side by side field by
// field, to merge (choosing the value kept of each field that differs) or to mark as different people.
class DuplicatesBox : public QDialog
{
    Q_OBJECT
public:
    // merged is called after each merge with what undoes it.
    DuplicatesBox(sqlite3* db, std::function<void(const search::duplicates::MergeUndo&)> merged,
                  QWidget* parent = nullptr);

    void reload();
    void showGroup(int index);
    void mergeShown();
    void notTheSamePerson();
    // The combo box choosing the value kept of a field; nullptr where the contacts agree.
    [[nodiscard]] QComboBox* choice(const QString& field) const;

    QListWidget* groups = nullptr;
    QTableWidget* fields = nullptr;
    QPushButton* btnMerge = nullptr;
    QPushButton* btnNotSame = nullptr;

private:
    sqlite3* m_db;
    std::function<void(const search::duplicates::MergeUndo&)> m_merged;
    QList<search::duplicates::Group> m_groups;
    QList<qint64> m_shown; // the contacts shown (the first of a long group), the one kept first
};

} // namespace mainwindow

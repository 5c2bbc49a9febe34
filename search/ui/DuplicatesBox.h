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
// field, to merge (choosing the value kept of each field that differs) or to mark as different people. Of a group of
// more than two, the contacts ticked are merged, after a question naming them; Ctrl+Z takes back the last merge.
class DuplicatesBox : public QDialog
{
    Q_OBJECT
public:
    // merged is called after each merge with what undoes it; mergeUndone tells of each merge taken back here, after
    // which lastMerge() is the one still in force, if any.
    DuplicatesBox(sqlite3* db, std::function<void(const search::duplicates::MergeUndo&)> merged,
                  QWidget* parent = nullptr);

    // Reads the groups again and shows the first whose first contact's key is from on (else the last one).
    void reload(qint64 from = 0);
    void showGroup(int index);
    void mergeShown();
    void undoLastMerge();
    void notTheSamePerson();
    [[nodiscard]] const search::duplicates::MergeUndo* lastMerge() const
    {
        return m_undo.isEmpty() ? nullptr : &m_undo.constLast();
    }
    // The combo box choosing the value kept of a field; nullptr where the contacts agree.
    [[nodiscard]] QComboBox* choice(const QString& field) const;

    QListWidget* groups = nullptr;
    QListWidget* members = nullptr; // the group's contacts, each with how it matches the first; ticks where > 2
    QTableWidget* fields = nullptr;
    QPushButton* btnMerge = nullptr;
    QPushButton* btnNotSame = nullptr;
    QPushButton* btnUndo = nullptr;

signals:
    void mergeUndone(qint64 keptId);

private:
    void listMembers(const search::duplicates::Group& group);

    sqlite3* m_db;
    std::function<void(const search::duplicates::MergeUndo&)> m_merged;
    QList<search::duplicates::Group> m_groups;
    QList<qint64> m_shown;  // the contacts shown (the first of a long group), the one kept first
    QList<qint64> m_listed; // the contacts in the members list, whose ticks m_included holds
    QList<bool> m_included; // per contact shown: merged (the first always)
    QList<search::duplicates::MergeUndo> m_undo; // the merges made here, the last one last
};

} // namespace mainwindow

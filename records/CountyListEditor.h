#pragma once

// The county list editor: form `TfmCountyListEdit`.

#include <QDialog>
#include <QStringList>

#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// The county pick list editor: a modal window over a copy of the main grid's County pick list. "OK" puts the
// edited list into use and writes it to the list file; "&Close" and the close box discard it.
class TfmCountyListEdit : public QDialog
{
    Q_OBJECT
public:
    // The pick list in use: read when the editor opens, replaced by "OK". Either may be empty (no list in use).
    struct PickList
    {
        std::function<QStringList()> read;
        std::function<void(const QStringList&)> replace;
    };
    explicit TfmCountyListEdit(PickList pickList, QWidget* parent = nullptr);

    QListWidget* lbCountyList = nullptr;
    QLabel* lbHelp = nullptr;
    QPushButton* btDeleteItem = nullptr;
    QPushButton* btOKEdit = nullptr;
    QLabel* lbNew = nullptr;
    QLineEdit* edCountyList = nullptr;
    QPushButton* btAddEdit = nullptr;
    QPushButton* BitBtn1 = nullptr;

    // Empties the list and adds every entry at its alphabetical place; the text box keeps its text.
    void fill(const QStringList& entries);
    // The entries in their displayed (alphabetical) order.
    [[nodiscard]] QStringList entries() const;

    void btAddEditClick();
    void btDeleteItemClick();
    void btOKEditClick();

    // Fills the editor from the pick list in use and runs it modally.
    void editPickList();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void addSorted(const QString& entry);

    PickList m_pickList;
};

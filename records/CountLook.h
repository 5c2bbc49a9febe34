#pragma once

#include <QDialog>
#include <QStringList>

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
    explicit TfmCountyListEdit(QWidget* parent = nullptr);

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

    // Fills the editor from the main window's pick list and runs it modally.
    void editPickList();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void addSorted(const QString& entry);
};

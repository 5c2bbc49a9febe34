#pragma once

// The main window with the contact grid: form `TfmHomeAddMain`.

#include "data/FindText.h"
#include "platform/Commands.h"

#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class IniFile;
class QAction;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QTimer;
class QMenu;
class QPrinter;
class QKeyEvent;
class QPushButton;
class QStatusBar;

namespace data {
class ContactStore;
class DBNavigator;
class Dataset;
} // namespace data
namespace mainwindow {
class ContactGrid;
class HintRouter;
} // namespace mainwindow
namespace platform {
class Commands;
}
namespace search::duplicates {
struct MergeUndo;
}

// The main contact list window: the grid over the one contact query, the alphabet filter, the column sort, and
// the buttons and menu that reach every other window (through the named commands it is handed).
class TfmHomeAddMain : public QMainWindow
{
    Q_OBJECT
public:
    TfmHomeAddMain(data::ContactStore& store, platform::Commands& commands, QWidget* parent = nullptr);
    ~TfmHomeAddMain() override;

    // Grid columns: field, title, layout width (0: from the field's display width), settings key.
    struct GridColumn
    {
        const char* field;
        const char* title;
        int width;
        const char* key;
    };
    [[nodiscard]] static const QList<GridColumn>& gridColumns();
    static constexpr int CountyColumn = 6;
    static constexpr int AllChoice = 26;

    // The County column's pick list (read and replaced by the county list editor).
    [[nodiscard]] QStringList countyPickList() const;
    void setCountyPickList(const QStringList& entries);

    // The alphabet filter's choice: 0 to 25 for "A" to "Z", 26 for "All", -1 for none. Setting a different
    // choice runs the filter, as a click does.
    [[nodiscard]] int radioItemIndex() const;
    // The statement of a choice of the alphabet filter.
    [[nodiscard]] static QString letterFilterStatement(int choice);
    void setRadioItemIndex(int index);

    [[nodiscard]] QString statusPanelText(int panel) const;
    // Says in the status bar (and to a screen reader) what a command just did, in place of any hint.
    void showStatusMessage(const QString& text);
    // After File > Backup or Restore made its copy: says so; a restore also ends what Undo could take back,
    // since the contacts it knew are gone.
    void backupDone(const QString& message, bool restored);
    [[nodiscard]] mainwindow::HintRouter* hintRouter() const { return m_hints; }

    // Controls.
    mainwindow::ContactGrid* dbGrid1 = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QPushButton* btnDelete = nullptr;
    QGroupBox* RadioGroup1 = nullptr;
    data::DBNavigator* DBNavigator1 = nullptr;
    QPushButton* btnRecCard = nullptr;
    QPushButton* btEditCounty = nullptr;
    QPushButton* HomeSearch = nullptr;
    QPushButton* sqRetryBtn = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLineEdit* edFind = nullptr; // find as you type, above the grid

    // Menu.
    QMenu* mnFile = nullptr;
    QMenu* mnSearch = nullptr;
    QMenu* mnReports = nullptr;
    QMenu* mnAddressLabels = nullptr;
    QMenu* mnHelp = nullptr;
    QMenu* mnTextSize = nullptr;
    QAction* miBackUp = nullptr;
    QAction* miRestore = nullptr;
    QAction* miPrinterSetup = nullptr;
    QAction* miExit = nullptr;
    QAction* miOpenSearch = nullptr;
    QAction* miClearFilter = nullptr;
    QAction* miPhoneList = nullptr;
    QAction* miLabels21 = nullptr;
    QAction* miLabels16 = nullptr;
    QAction* miLabels14 = nullptr;
    QAction* miFiloFax = nullptr;
    QAction* miA5Diary = nullptr;
    QAction* miRecordForm = nullptr;
    QAction* miMailMerge = nullptr;
    QAction* miNotepad = nullptr;
    QAction* miHelpManual = nullptr;
    QAction* miHelpNote = nullptr;
    QAction* miAbout = nullptr;
    QAction* miUndoDelete = nullptr;
    QAction* miRecentlyDeleted = nullptr;
    QAction* miFindDuplicates = nullptr;
    QAction* miBirthdaysAtStart = nullptr; // the setting: name the coming week's birthdays at start-up

    // Handlers.
    void RadioGroup1Click();
    void sqRetryBtnClick();
    void dbGrid1TitleClick(int column);
    void dbGrid1DblClick();
    void BitBtn3Click();
    void BitBtn2Click();
    void btnDeleteClick();
    void btEditCountyClick();
    void btnRecCardClick();
    void HomeSearchClick();
    void miPrinterSetupClick();
    void miMailMergeClick();
    // Puts back what the last delete took (grid, card or any other), while nothing else changed since.
    void undoDelete();
    // Narrows the selection in force (letter or search) to the contacts holding every word of the find box.
    void applyFind();
    void tellReaderTheCount();
    void showRecentlyDeleted();
    void showDuplicates();
    // Names in the status bar the contacts whose birthday falls in the next seven days.
    void showComingBirthdays();
    // Reads the selection again and makes the contact with this key current when it is among it.
    void reloadAt(qint64 key);
    void FormShow();
    void FormClose();
    void FormActivate();
    // Close as the user's Close does, asking nothing: for a program told to stop by the system. Errors go to
    // standard error, and a change that cannot be saved is given up, its values kept in a file beside the book.
    void closeWithoutQuestions();

    void setVisible(bool visible) override;

    // Asked before the program closes, in the order added; one that returns false keeps it open (the text
    // editor's "Save changes?" answered Cancel).
    void addCloseCheck(std::function<bool()> check) { m_closeChecks.push_back(std::move(check)); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rescuePendingChange();
    void createSidePanel(QWidget* panel);
    void createBottomBar(QWidget* bar);
    void createMenu();
    void createTextSizeMenu();
    void restoreLayout();
    void saveLayout();
    void loadCountyPickList();
    [[nodiscard]] bool canDelete() const;
    void updateDeleteButton();
    void forgetUndo();
    void clearFoundMessage();
    // A key that is one of the window's own shortcuts, which the control with the focus must not keep to itself.
    [[nodiscard]] bool isWindowShortcut(const QKeyEvent& key) const;
    void runCommand(platform::Command name);
    [[nodiscard]] data::Dataset& homeQuery() const;

    data::ContactStore& m_store;
    platform::Commands& m_commands;
    std::vector<std::function<bool()>> m_closeChecks;
    mainwindow::HintRouter* m_hints = nullptr;
    QButtonGroup* m_letters = nullptr;
    QLabel* m_panels[2] = {};
    std::unique_ptr<IniFile> m_ini;          // open from the window's showing to its closing
    std::unique_ptr<QPrinter> m_printer;     // the printer set-up's choice, kept for its next showing
    bool m_shown = false;
    int m_filterChoice = -1; // the letter whose selection is in force
    data::find::Narrower m_narrower; // the find box narrows the selection in force in memory
    QTimer* m_findTimer = nullptr;   // waits for a pause in typing while narrowing takes long
    QTimer* m_findIndexTimer = nullptr; // indexes the rows a slice at a time once the find box has the focus
    bool m_findSlow = false;
    bool m_birthdaysTold = false;
    bool m_undoBeforeFindTyping = false; // a delete or merge came after the find box's last typing
    QString m_foundMessage; // "N contacts found", while it still describes the list shown
    qint64 m_undoEntry = 0; // the recently-deleted entry Undo puts back; 0 when the last change was no delete
    std::unique_ptr<search::duplicates::MergeUndo> m_undoMerge; // what Undo takes back when the last change was a merge
};

// The text editor's actions and the menus and toolbar that show them.
#include "mailmerge/MailMergeEdit.h"
#include "mailmerge/MailMergeEditIcons.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

struct EditorActions
{
    QAction* TfmMailMergeEdit::*member;
    const char* id;
    const char* category;
    const char* caption;
    const char* shortcut; // portable text; empty: none
    const char* hint;     // "tooltip|description"; empty: none
    int icon;             // EditorIcon, or -1 for none
    void (TfmMailMergeEdit::*execute)();
};

namespace {

constexpr int NoIcon = -1;

// clang-format off
const EditorActions Actions[] = {
    {&TfmMailMergeEdit::FileNew, "FileNew", "File", "&New", "", "Create File",
     int(EditorIcon::New), &TfmMailMergeEdit::FileNewExecute},
    {&TfmMailMergeEdit::FileOpen1, "FileOpen1", "File", "&Open...", "Ctrl+O", "Open|Opens an existing file",
     int(EditorIcon::Open), &TfmMailMergeEdit::FileOpen1Execute},
    {&TfmMailMergeEdit::FileSave, "FileSave", "File", "&Save", "Ctrl+S", "Save File",
     int(EditorIcon::Save), &TfmMailMergeEdit::FileSaveExecute},
    {&TfmMailMergeEdit::FileSaveAs1, "FileSaveAs1", "File", "Save &As...", "",
     "Save As|Saves the active file with a new name", int(EditorIcon::SaveAs), &TfmMailMergeEdit::FileSaveAs1Execute},
    {&TfmMailMergeEdit::FileClose, "FileClose", "File", "&Close", "", "",
     int(EditorIcon::Close), &TfmMailMergeEdit::FileCloseExecute},
    {&TfmMailMergeEdit::FilePrint, "FilePrint", "File", "&Print...", "Ctrl+P", "Print|Prints the document",
     NoIcon, &TfmMailMergeEdit::FilePrintExecute},
    {&TfmMailMergeEdit::EditUndo, "EditUndo", "Edit", "&Undo", "Ctrl+Z", "Undo|Undoes the last change",
     NoIcon, &TfmMailMergeEdit::EditUndoExecute},
    {&TfmMailMergeEdit::EditRedo, "EditRedo", "Edit", "&Redo", "Ctrl+Y", "Redo|Does again what Undo undid",
     NoIcon, &TfmMailMergeEdit::EditRedoExecute},
    {&TfmMailMergeEdit::EditFind, "EditFind", "Edit", "&Find...", "Ctrl+F", "Find|Finds text in the document",
     NoIcon, &TfmMailMergeEdit::EditFindExecute},
    {&TfmMailMergeEdit::EditReplace, "EditReplace", "Edit", "R&eplace...", "Ctrl+H",
     "Replace|Replaces text in the document", NoIcon, &TfmMailMergeEdit::EditReplaceExecute},
    {&TfmMailMergeEdit::EditCut1, "EditCut1", "Edit", "C&ut", "Ctrl+X",
     "Cut|Cuts the selection and puts it on the Clipboard", int(EditorIcon::Cut), &TfmMailMergeEdit::EditCut1Execute},
    {&TfmMailMergeEdit::EditCopy1, "EditCopy1", "Edit", "&Copy", "Ctrl+C",
     "Copy|Copies the selection and puts it on the Clipboard", int(EditorIcon::Copy),
     &TfmMailMergeEdit::EditCopy1Execute},
    {&TfmMailMergeEdit::EditPaste1, "EditPaste1", "Edit", "&Paste", "Ctrl+V", "Paste|Inserts Clipboard contents",
     int(EditorIcon::Paste), &TfmMailMergeEdit::EditPaste1Execute},
    {&TfmMailMergeEdit::FontChange, "FontChange", "Format", "&Font Change", "", "",
     int(EditorIcon::Font), &TfmMailMergeEdit::FontChangeExecute},
    {&TfmMailMergeEdit::RichEditBold1, "RichEditBold1", "Format", "&Bold", "Ctrl+B", "Bold",
     int(EditorIcon::Bold), &TfmMailMergeEdit::RichEditBold1Execute},
    {&TfmMailMergeEdit::RichEditItalic1, "RichEditItalic1", "Format", "&Italic", "Ctrl+I", "Italic",
     int(EditorIcon::Italic), &TfmMailMergeEdit::RichEditItalic1Execute},
    {&TfmMailMergeEdit::RichEditUnderline1, "RichEditUnderline1", "Format", "&Underline", "Ctrl+U", "Underline",
     int(EditorIcon::Underline), &TfmMailMergeEdit::RichEditUnderline1Execute},
    {&TfmMailMergeEdit::TableInsert, "TableInsert", "Table", "&Insert Table...", "",
     "Insert Table|Inserts a table of the rows and columns chosen", NoIcon, &TfmMailMergeEdit::TableInsertExecute},
    {&TfmMailMergeEdit::TableRowAbove, "TableRowAbove", "Table", "Insert Row &Above", "",
     "Insert Row Above|Inserts a row above the caret's", NoIcon, &TfmMailMergeEdit::TableRowAboveExecute},
    {&TfmMailMergeEdit::TableRowBelow, "TableRowBelow", "Table", "Insert Row &Below", "",
     "Insert Row Below|Inserts a row below the caret's", NoIcon, &TfmMailMergeEdit::TableRowBelowExecute},
    {&TfmMailMergeEdit::TableColumnLeft, "TableColumnLeft", "Table", "Insert Column &Left", "",
     "Insert Column Left|Inserts a column left of the caret's", NoIcon, &TfmMailMergeEdit::TableColumnLeftExecute},
    {&TfmMailMergeEdit::TableColumnRight, "TableColumnRight", "Table", "Insert Column &Right", "",
     "Insert Column Right|Inserts a column right of the caret's", NoIcon,
     &TfmMailMergeEdit::TableColumnRightExecute},
    {&TfmMailMergeEdit::TableDeleteRow, "TableDeleteRow", "Table", "&Delete Row", "",
     "Delete Row|Deletes the caret's row", NoIcon, &TfmMailMergeEdit::TableDeleteRowExecute},
    {&TfmMailMergeEdit::TableDeleteColumn, "TableDeleteColumn", "Table", "Delete &Column", "",
     "Delete Column|Deletes the caret's column", NoIcon, &TfmMailMergeEdit::TableDeleteColumnExecute},
    {&TfmMailMergeEdit::HelpIndex, "HelpIndex", "Help", "&Index", "", "",
     int(EditorIcon::Index), &TfmMailMergeEdit::HelpIndexExecute},
    {&TfmMailMergeEdit::HelpContents1, "HelpContents1", "Help", "&Contents", "", "Help Contents",
     int(EditorIcon::Help), nullptr},
    {&TfmMailMergeEdit::HelpAbout, "HelpAbout", "Help", "&About", "", "", NoIcon, nullptr},
};
// clang-format on

QString shortHint(const QString& hint)
{
    return hint.section(QLatin1Char('|'), 0, 0);
}

} // namespace

void TfmMailMergeEdit::createActions()
{
    for (const EditorActions& a : Actions) {
        auto* action = new QAction(QString::fromLatin1(a.caption), this);
        action->setObjectName(QString::fromLatin1(a.id));
        action->setProperty("category", QString::fromLatin1(a.category));
        // The toolbar shows the caption with its access key, as the menus do.
        action->setIconText(action->text());
        if (*a.shortcut)
            action->setShortcut(QKeySequence(QString::fromLatin1(a.shortcut)));
        const QString hint = QString::fromLatin1(a.hint);
        action->setStatusTip(hint); // the whole hint, for the program's hint line
        action->setToolTip(shortHint(hint));
        if (a.icon != NoIcon)
            action->setIcon(editorIcon(EditorIcon(a.icon)));
        if (a.execute)
            connect(action, &QAction::triggered, this, a.execute);
        this->*a.member = action;
    }
    for (QAction* style : {RichEditBold1, RichEditItalic1, RichEditUnderline1})
        style->setCheckable(true);
    HelpContents1->setEnabled(false);

    // The toolbar's Close button is captioned differently from the action.
    FileClose->setIconText(QStringLiteral("C&lose"));

    // The Edit menu shows Cut as "Cu&t". A separate item that stands for EditCut1 carries that caption; its
    // shortcut is only displayed (EditCut1's own works).
    Cut1 = new QAction(QStringLiteral("Cu&t"), this);
    Cut1->setObjectName(QStringLiteral("Cut1"));
    Cut1->setIcon(EditCut1->icon());
    Cut1->setStatusTip(EditCut1->statusTip());
    Cut1->setToolTip(EditCut1->toolTip());
    Cut1->setShortcut(EditCut1->shortcut());
    Cut1->setShortcutContext(Qt::WidgetShortcut);
    Cut1->setEnabled(EditCut1->isEnabled());
    connect(Cut1, &QAction::triggered, EditCut1, &QAction::trigger);
    connect(EditCut1, &QAction::enabledChanged, Cut1, &QAction::setEnabled);
}

void TfmMailMergeEdit::createMenusAndToolBar()
{
    MainMenu1 = menuBar();
    File1 = MainMenu1->addMenu(QStringLiteral("&File"));
    File1->addActions({FileNew, FileOpen1, FileSave, FileSaveAs1});
    File1->addSeparator();
    File1->addAction(FilePrint);
    Edit1 = MainMenu1->addMenu(QStringLiteral("&Edit"));
    Edit1->addActions({EditUndo, EditRedo});
    Edit1->addSeparator();
    Edit1->addActions({Cut1, EditCopy1, EditPaste1});
    Edit1->addSeparator();
    Edit1->addActions({EditFind, EditReplace});
    // Alt+T: Alt+O belongs to the toolbar's "&Open...".
    Format1 = MainMenu1->addMenu(QStringLiteral("Forma&t"));
    Format1->addActions({FontChange, RichEditBold1, RichEditItalic1, RichEditUnderline1});
    Insert1 = MainMenu1->addMenu(QStringLiteral("&Insert"));
    MergeField1 = Insert1->addMenu(QStringLiteral("Merge Field"));
    MergeField1->setObjectName(QStringLiteral("MergeField1"));
    for (const QString& name : mergeFieldNames()) {
        QAction* field = MergeField1->addAction(name);
        connect(field, &QAction::triggered, this, [this, name] { insertMergeField(name); });
    }
    // Alt+A: Alt+T belongs to "Forma&t".
    Table1 = MainMenu1->addMenu(QStringLiteral("T&able"));
    Table1->setObjectName(QStringLiteral("Table1"));
    Table1->addAction(TableInsert);
    Table1->addSeparator();
    Table1->addActions({TableRowAbove, TableRowBelow, TableColumnLeft, TableColumnRight});
    Table1->addSeparator();
    Table1->addActions({TableDeleteRow, TableDeleteColumn});
    // Defined but kept off the menu bar: the help commands are out of the user's reach.
    Help1 = MainMenu1->addMenu(QStringLiteral("&Help"));
    Help1->addActions({HelpIndex, HelpContents1, HelpAbout});
    Help1->menuAction()->setVisible(false);

    ToolBar1 = new QToolBar(QStringLiteral("ToolBar1"), this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ToolBar1->addActions({FileNew, FileOpen1, FileSave});
    ToolBar1->addSeparator();
    ToolBar1->addActions({EditCut1, EditCopy1, EditPaste1});
    ToolBar1->addSeparator();
    ToolBar1->addAction(FileClose);
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    // A menu title and a toolbar button may share an access key ("F&ormat", "&Open..."): the menu takes it, as
    // two owners of one key would leave it doing nothing.
    QList<QKeySequence> menuKeys;
    for (QAction* menu : MainMenu1->actions()) {
        if (menu->isVisible())
            menuKeys << QKeySequence::mnemonic(menu->text());
    }
    for (QAction* action : ToolBar1->actions()) {
        auto* button = qobject_cast<QToolButton*>(ToolBar1->widgetForAction(action));
        if (!button || !menuKeys.contains(QKeySequence::mnemonic(button->text())))
            continue;
        button->setShortcut(QKeySequence());
        // The button takes its key again whenever the action changes.
        connect(action, &QAction::changed, button, [button] { button->setShortcut(QKeySequence()); });
    }

    // Close has no hint, so its button has no tooltip (Qt would make one of the caption).
    if (auto* close = qobject_cast<QToolButton*>(ToolBar1->widgetForAction(FileClose))) {
        close->setToolTip(QString());
        connect(FileClose, &QAction::changed, close, [close] { close->setToolTip(QString()); });
    }
}

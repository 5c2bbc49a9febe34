#pragma once

// The letter editor: form `TfmMailMergeEdit`.

#include <QColor>
#include <QFont>
#include <QMainWindow>
#include <QString>

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QStatusBar;
class QTextCharFormat;
class QTextDocument;
class QTextEdit;
class QToolBar;
class TfmFindReplace;

// The one text editor of the program: the notepad, and the editor of the mail merge's letter body. It is made
// once, hidden, and only ever shown and hidden again; its document, file name and fonts last for the whole run.
class TfmMailMergeEdit : public QMainWindow
{
    Q_OBJECT
public:
    explicit TfmMailMergeEdit(QWidget* parent = nullptr);

    // The file name of a document that has no file yet.
    static QString untitledName() { return QStringLiteral("untitled.txt"); }
    // The file-type lists of the Open and Save As dialogs, as the program states them ("label|pattern|...").
    static QString openFileTypes();
    static QString saveFileTypes();
    // A "label|pattern|label|pattern" list in the file dialog's form "label (patterns);;...". Labels are kept as
    // they are; "*.*" means every file.
    [[nodiscard]] static QString dialogFilter(const QString& fileTypes);

    // Makes the editor visible and brings it to the front, without blocking; nothing else changes.
    void showEditor();
    // Asks "Save changes to ...?" where the document holds unsaved changes. false: the user cancelled, or the
    // save did not happen, so whatever was about to replace or end the document must not go on.
    [[nodiscard]] bool maySetDocumentAside();

    // The document being edited. The merged letter report lays it out when it renders, so it is never copied;
    // it lives as long as the editor.
    [[nodiscard]] QTextDocument* document() const;
    // The font of the text the user last worked on (set on activation and by Font Change), for "Match Font".
    [[nodiscard]] const QFont& currentFont() const { return m_currentFont; }
    [[nodiscard]] const QColor& currentFontColor() const { return m_currentFontColor; }
    // The font of text that carries no font of its own.
    [[nodiscard]] const QFont& baseFont() const { return m_baseFont; }
    // The base font an editor starts with (its window font), for reading a letter the way Open does without one.
    [[nodiscard]] static QFont initialBaseFont();
    // "untitled.txt", or the full path of the file last opened or saved with Save As.
    [[nodiscard]] const QString& fileName() const { return m_fileName; }
    // What the file last opened holds that saving the document over it would lose ("footnotes"...): what could
    // not be read, and what an edit has removed since. Save over that file asks first.
    [[nodiscard]] QStringList unkeptContent() const;

    // The contact fields a letter can hold as merge fields, as Insert > Merge Field lists them.
    [[nodiscard]] static QStringList mergeFieldNames();
    // Inserts a merge field at the caret, in place of any selection.
    void insertMergeField(const QString& name);
    // Inserts an empty table of rows x columns at the caret, across the width of the page, with ruled cells; the
    // caret goes into its first cell.
    void insertTable(int rows, int columns);
    // The folder Open and Save As start in: the one last opened from or saved to (empty: the dialog's own).
    [[nodiscard]] const QString& lastFolder() const { return m_lastFolder; }

    // Find and Replace. findNext() selects the next match after the caret (from the start once the end is
    // reached) and returns false when there is none; replaceNext() replaces the selection where it is a match,
    // then finds the next; replaceAll() returns the number of replacements, all one undo step.
    struct FindOptions
    {
        bool matchCase = false;
        bool wholeWord = false;
    };
    bool findNext(const QString& text, FindOptions options);
    bool replaceNext(const QString& text, const QString& with, FindOptions options);
    int replaceAll(const QString& text, const QString& with, FindOptions options);

    // Controls.
    QMenuBar* MainMenu1 = nullptr;
    QMenu* File1 = nullptr;
    QMenu* Edit1 = nullptr;
    QMenu* Format1 = nullptr;
    QMenu* Insert1 = nullptr;
    QMenu* MergeField1 = nullptr; // Insert > Merge Field: one item per contact field
    QMenu* Table1 = nullptr;
    QMenu* Help1 = nullptr; // defined, not displayed
    QToolBar* ToolBar1 = nullptr;
    QTextEdit* RichEdit1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* StatusPanel = nullptr; // the status bar's one panel: the file name

    // Actions (the menu items and toolbar buttons are views of them).
    QAction* FileNew = nullptr;
    QAction* FileOpen1 = nullptr;
    QAction* FileSave = nullptr;
    QAction* FileSaveAs1 = nullptr;
    QAction* FileClose = nullptr;
    QAction* FilePrint = nullptr;
    QAction* EditUndo = nullptr;
    QAction* EditRedo = nullptr;
    QAction* EditFind = nullptr;
    QAction* EditReplace = nullptr;
    QAction* EditCut1 = nullptr;
    QAction* EditCopy1 = nullptr;
    QAction* EditPaste1 = nullptr;
    QAction* FontChange = nullptr;
    QAction* RichEditBold1 = nullptr;
    QAction* RichEditItalic1 = nullptr;
    QAction* RichEditUnderline1 = nullptr;
    QAction* TableInsert = nullptr;
    QAction* TableRowAbove = nullptr;
    QAction* TableRowBelow = nullptr;
    QAction* TableColumnLeft = nullptr;
    QAction* TableColumnRight = nullptr;
    QAction* TableDeleteRow = nullptr;
    QAction* TableDeleteColumn = nullptr;
    QAction* HelpIndex = nullptr;
    QAction* HelpContents1 = nullptr;
    QAction* HelpAbout = nullptr;
    // The Edit menu's item for EditCut1, captioned "Cu&t" there.
    QAction* Cut1 = nullptr;

    // Handlers.
    void FileNewExecute();
    void FileOpen1Execute();
    void FileSaveExecute();
    void FileSaveAs1Execute();
    void FileCloseExecute();
    void FilePrintExecute();
    void EditUndoExecute();
    void EditRedoExecute();
    void EditFindExecute();
    void EditReplaceExecute();
    void EditCut1Execute();
    void EditCopy1Execute();
    void EditPaste1Execute();
    void FontChangeExecute();
    void RichEditBold1Execute();
    void RichEditItalic1Execute();
    void RichEditUnderline1Execute();
    void TableInsertExecute();
    void TableRowAboveExecute();
    void TableRowBelowExecute();
    void TableColumnLeftExecute();
    void TableColumnRightExecute();
    void TableDeleteRowExecute();
    void TableDeleteColumnExecute();
    void HelpIndexExecute();
    void FormActivate();

    // The file Help > Index hands to the desktop: TextEditor.hlp in the program folder.
    [[nodiscard]] const QString& helpFile() const { return m_helpFile; }

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    QMenu* createPopupMenu() override;

private:
    void createActions(); // MailMergeEditActions.cpp
    void createMenusAndToolBar();
    void updateEditActions();
    void updateStyleActions();
    void updatePasteAction();
    void updateTableActions();
    // After Discard: the file as last saved, or an empty document, so that nothing unsaved is left to ask about.
    void revertToSaved();
    void rememberFolder(const QString& path);

    void setFileName(const QString& name);
    void saveTo(const QString& path);
    // Gives the text that takes its font from the base font that font itself, so that a new base font
    // changes only what is typed afterwards.
    void pinBaseFont();
    void keepFieldsToThemselves();
    void setBaseFont(const QFont& font);
    // The character format of the selection, or of the caret with none, with what it leaves open taken from the
    // base font.
    void readFontAtSelection(QFont& font, QColor& color) const;
    // The styles (bold, italic, underline) that every character of the selection shows, or the caret's format.
    [[nodiscard]] int selectionStyles() const;
    void toggleStyle(int style);

    QString m_fileName;
    QString m_helpFile;
    QString m_unkeptFile; // the file the document was read from
    QString m_lastFolder;
    bool m_openedAsText = false; // the file last opened held plain text, not RTF
    TfmFindReplace* m_findReplace = nullptr;
    QFont m_baseFont;
    QFont m_currentFont;
    QColor m_currentFontColor;
    bool m_sized = false;
};

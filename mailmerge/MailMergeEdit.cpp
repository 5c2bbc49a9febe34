#include "mailmerge/MailMergeEdit.h"

#include "app/Application.h"
#include "platform/ErrorBox.h"
#include "platform/ProgramFolder.h"
#include "platform/Services.h"
#include "richtext/RichText.h"

#include <QAction>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>

namespace {

const QSize DefaultSize(731, 382); // outer size, frame included

// The folder part of a file name, with its trailing separator; empty for a bare name such as "untitled.txt".
QString folderPart(const QString& fileName)
{
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : fileName.left(slash + 1);
}

QFont windowFont()
{
    return QFont(QStringLiteral("MS Sans Serif"), 8);
}

QFont initialCurrentFont()
{
    QFont font(QStringLiteral("Times New Roman"), 12);
    font.setBold(true);
    return font;
}

enum Style { Bold = 1, Italic = 2, Underline = 4, AllStyles = 7 };

int stylesOf(const QFont& font)
{
    return (font.bold() ? Bold : 0) | (font.italic() ? Italic : 0) | (font.underline() ? Underline : 0);
}

} // namespace

TfmMailMergeEdit::TfmMailMergeEdit(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("fmMailMergeEdit"));
    setWindowTitle(QStringLiteral("Text Editor"));
    setFont(windowFont());
    resize(DefaultSize);

    createActions();
    createMenusAndToolBar();

    RichEdit1 = new QTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Always shown, and disabled while there is nothing to scroll.
    for (QScrollBar* bar : {RichEdit1->horizontalScrollBar(), RichEdit1->verticalScrollBar()}) {
        bar->setEnabled(bar->maximum() > bar->minimum());
        connect(bar, &QScrollBar::rangeChanged, bar, [bar](int min, int max) { bar->setEnabled(max > min); });
    }
    setCentralWidget(RichEdit1);
    // The text area is the only control that takes the focus, so the actions always act on it.
    for (QToolButton* button : ToolBar1->findChildren<QToolButton*>())
        button->setFocusPolicy(Qt::NoFocus);
    setFocusProxy(RichEdit1);

    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusPanel = new QLabel(StatusBar1);
    StatusPanel->setObjectName(QStringLiteral("StatusPanel"));
    StatusBar1->addWidget(StatusPanel, 1);

    m_currentFont = initialCurrentFont();
    m_currentFontColor = palette().color(QPalette::WindowText);
    setBaseFont(windowFont());

    connect(RichEdit1, &QTextEdit::selectionChanged, this, &TfmMailMergeEdit::updateEditActions);
    connect(RichEdit1, &QTextEdit::cursorPositionChanged, this, &TfmMailMergeEdit::updateStyleActions);
    connect(RichEdit1, &QTextEdit::currentCharFormatChanged, this, &TfmMailMergeEdit::updateStyleActions);
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &TfmMailMergeEdit::updatePasteAction);
    updatePasteAction();

    // Creation: the program's help file, then a new document.
    if (app::Application::exists()) {
        app::Application& application = app::Application::instance();
        application.helpFile = platform::programFile(QStringLiteral("TextEditor.hlp"));
        application.setCommand(QStringLiteral("notepad"), [this] { showEditor(); });
    }
    FileNewExecute();
}

QString TfmMailMergeEdit::openFileTypes()
{
    return QStringLiteral("Test Files (*.txt)|*.txt|Rich Test Format *.rtf)|*.rtf|All files|*.*");
}

QString TfmMailMergeEdit::saveFileTypes()
{
    return QStringLiteral("Text Files (*.txt)|*.txt|Rich Text Format (*.rtf)|*.rtf|All Files (*.*)|*.*");
}

QString TfmMailMergeEdit::dialogFilter(const QString& fileTypes)
{
    const QStringList parts = fileTypes.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString label = parts[i].trimmed();
        const QString& pattern = parts[i + 1];
        // A label that already names its pattern in parentheses loses that copy: the dialog's own follows.
        const QString named = QLatin1Char('(') + pattern + QLatin1Char(')');
        if (label.endsWith(named))
            label = label.chopped(named.size()).trimmed();
        // "*.*" is every file, also those without a dot; several patterns are separated by spaces here.
        QString patterns = pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << label + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

QFont TfmMailMergeEdit::initialBaseFont()
{
    return windowFont();
}

QTextDocument* TfmMailMergeEdit::document() const
{
    return RichEdit1->document();
}

void TfmMailMergeEdit::showEditor()
{
    show();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

void TfmMailMergeEdit::setFileName(const QString& name)
{
    m_fileName = name;
    StatusPanel->setText(name);
}

void TfmMailMergeEdit::setBaseFont(const QFont& font)
{
    m_baseFont = font;
    // The text area hands its own font to the document as the default; set both so neither overrides the other.
    RichEdit1->setFont(font);
    RichEdit1->document()->setDefaultFont(font);
}

void TfmMailMergeEdit::readFontAtSelection(QFont& font, QColor& color) const
{
    const QTextCharFormat format = RichEdit1->textCursor().charFormat();
    font = format.font().resolve(document()->defaultFont());
    const QBrush foreground = format.foreground();
    color = foreground.style() != Qt::NoBrush ? foreground.color() : palette().color(QPalette::WindowText);
}

int TfmMailMergeEdit::selectionStyles() const
{
    const QFont base = document()->defaultFont();
    const QTextCursor cursor = RichEdit1->textCursor();
    if (cursor.hasSelection()) {
        const int start = cursor.selectionStart();
        const int end = cursor.selectionEnd();
        int common = AllStyles;
        bool seen = false;
        for (QTextBlock block = document()->findBlock(start); block.isValid() && block.position() < end;
             block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                if (fragment.position() + fragment.length() <= start || fragment.position() >= end)
                    continue;
                common &= stylesOf(fragment.charFormat().font().resolve(base));
                if (common == 0)
                    return 0; // nothing left to find: a large selection need not be read to its end
                seen = true;
            }
        }
        if (seen)
            return common;
    }
    return stylesOf(cursor.charFormat().font().resolve(base));
}

void TfmMailMergeEdit::toggleStyle(int style)
{
    const bool on = (selectionStyles() & style) == 0;
    QTextCharFormat format;
    if (style == Bold)
        format.setFontWeight(on ? QFont::Bold : QFont::Normal);
    else if (style == Italic)
        format.setFontItalic(on);
    else
        format.setFontUnderline(on);
    RichEdit1->mergeCurrentCharFormat(format);
    updateStyleActions();
}

void TfmMailMergeEdit::updateEditActions()
{
    const bool selection = RichEdit1->textCursor().hasSelection();
    EditCut1->setEnabled(selection);
    EditCopy1->setEnabled(selection);
    updateStyleActions();
}

void TfmMailMergeEdit::updateStyleActions()
{
    const int styles = selectionStyles();
    RichEditBold1->setChecked(styles & Bold);
    RichEditItalic1->setChecked(styles & Italic);
    RichEditUnderline1->setChecked(styles & Underline);
}

void TfmMailMergeEdit::updatePasteAction()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    EditPaste1->setEnabled(data && data->hasText());
}

void TfmMailMergeEdit::FileNewExecute()
{
    RichEdit1->clear();
    // A new document starts in the base font, whatever the caret carried before.
    RichEdit1->setCurrentCharFormat(QTextCharFormat());
    setFileName(untitledName());
    updateEditActions();
}

void TfmMailMergeEdit::FileOpen1Execute()
{
    platform::guard([this] {
        platform::FileDialogRequest request;
        request.title = QStringLiteral("Open file");
        request.filter = dialogFilter(openFileTypes());
        request.defaultSuffix = QStringLiteral("txt");
        const QString chosen = platform::fileDialogs().openFile(this, request);
        if (chosen.isEmpty())
            return;
        const QString path = QFileInfo(chosen).absoluteFilePath();
        // The document is replaced only once the file has been read; a failure leaves everything as it was.
        richtext::loadFile(path, *document(), m_baseFont);
        RichEdit1->moveCursor(QTextCursor::Start);
        setFileName(path);
        updateEditActions();
    });
}

void TfmMailMergeEdit::FileSaveExecute()
{
    if (m_fileName == untitledName()) {
        FileSaveAs1Execute();
        return;
    }
    platform::guard([this] { richtext::saveFile(m_fileName, *document()); });
}

void TfmMailMergeEdit::FileSaveAs1Execute()
{
    platform::guard([this] {
        platform::FileDialogRequest request;
        request.title = QStringLiteral("Save As");
        request.folder = folderPart(m_fileName);
        request.filter = dialogFilter(saveFileTypes());
        request.defaultSuffix = QStringLiteral("txt");
        const QString chosen = platform::fileDialogs().saveFile(this, request);
        if (chosen.isEmpty())
            return;
        const QString path = QFileInfo(chosen).absoluteFilePath();
        richtext::saveFile(path, *document());
        setFileName(path);
    });
}

void TfmMailMergeEdit::FileCloseExecute()
{
    close();
}

void TfmMailMergeEdit::EditCut1Execute()
{
    RichEdit1->cut();
}

void TfmMailMergeEdit::EditCopy1Execute()
{
    RichEdit1->copy();
}

void TfmMailMergeEdit::EditPaste1Execute()
{
    RichEdit1->paste();
}

void TfmMailMergeEdit::FontChangeExecute()
{
    platform::guard([this] {
        readFontAtSelection(m_currentFont, m_currentFontColor);
        const std::optional<QFont> chosen = platform::fontDialog().chooseFont(this, m_currentFont, QString());
        if (chosen) {
            m_currentFont = *chosen;
            // A style name ("Bold Italic") would outweigh the weight and slant, and Bold could not undo it.
            m_currentFont.setStyleName(QString());
            QTextCharFormat format;
            format.setFont(m_currentFont);
            format.setForeground(m_currentFontColor);
            RichEdit1->mergeCurrentCharFormat(format);
        }
        // Confirmed or not, text without a font of its own now shows in the current font.
        setBaseFont(m_currentFont);
        updateStyleActions();
    });
}

void TfmMailMergeEdit::RichEditBold1Execute()
{
    toggleStyle(Bold);
}

void TfmMailMergeEdit::RichEditItalic1Execute()
{
    toggleStyle(Italic);
}

void TfmMailMergeEdit::RichEditUnderline1Execute()
{
    toggleStyle(Underline);
}

void TfmMailMergeEdit::HelpIndexExecute()
{
    if (!app::Application::exists())
        return;
    const QString helpFile = app::Application::instance().helpFile;
    platform::guard([&] { platform::shell().open(helpFile); });
}

void TfmMailMergeEdit::FormActivate()
{
    // The current font follows the text the user was last working on.
    readFontAtSelection(m_currentFont, m_currentFontColor);
    updatePasteAction();
}

bool TfmMailMergeEdit::event(QEvent* event)
{
    // The status bar's one panel shows the file name; hints go to the main window's status bar.
    if (event->type() == QEvent::StatusTip)
        return true;
    return QMainWindow::event(event);
}

void TfmMailMergeEdit::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        // The default size counts the window frame, which is known for certain once the window is active.
        if (!m_sized) {
            m_sized = true;
            const QSize frame = frameGeometry().size() - geometry().size();
            if (frame.width() > 0 || frame.height() > 0)
                resize(DefaultSize - frame);
        }
        FormActivate();
    }
    QMainWindow::changeEvent(event);
}

QMenu* TfmMailMergeEdit::createPopupMenu()
{
    // No menu for hiding the toolbar.
    return nullptr;
}

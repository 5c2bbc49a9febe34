#include "mailmerge/MailMergeEdit.h"

#include "mailmerge/FindReplace.h"
#include "platform/ui/Accessibility.h"
#include "platform/AppError.h"
#include "platform/Console.h"
#include "platform/ui/ErrorBox.h"
#include "platform/ProgramFolder.h"
#include "platform/RescueFile.h"
#include "platform/Services.h"
#include "reports/ui/Printing.h"
#include "reports/RichTextLayout.h"
#include "richtext/RichText.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QPrinter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>
#include <QTextEdit>
#include <QTextTable>
#include <QToolBar>
#include <QToolButton>
#include <functional>

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

// Typed text starts at the size the merged letters print their address in, not the window's 8 points.
QFont initialTextFont()
{
    return QFont(QStringLiteral("MS Sans Serif"), 10);
}

// The extension a file-type filter such as "Rich Text Format (*.rtf)" stands for; empty for "All Files (*)".
QString filterExtension(const QString& filter)
{
    const qsizetype dot = filter.indexOf(QStringLiteral("(*."));
    if (dot < 0)
        return {};
    const qsizetype end = filter.indexOf(QRegularExpression(QStringLiteral("[ ;)]")), dot + 3);
    return end < 0 ? QString() : filter.mid(dot + 3, end - dot - 3);
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
    RichEdit1->setAccessibleName(QStringLiteral("Document"));
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
    platform::closeOnEscape(this, [this] { FileClose->trigger(); });

    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusPanel = new QLabel(StatusBar1);
    StatusPanel->setObjectName(QStringLiteral("StatusPanel"));
    StatusBar1->addWidget(StatusPanel, 1);

    m_currentFont = initialCurrentFont();
    m_currentFontColor = palette().color(QPalette::WindowText);
    setBaseFont(initialTextFont());

    connect(RichEdit1, &QTextEdit::selectionChanged, this, &TfmMailMergeEdit::updateEditActions);
    connect(RichEdit1, &QTextEdit::cursorPositionChanged, this, &TfmMailMergeEdit::updateStyleActions);
    connect(RichEdit1, &QTextEdit::currentCharFormatChanged, this, &TfmMailMergeEdit::updateStyleActions);
    connect(RichEdit1, &QTextEdit::currentCharFormatChanged, this, &TfmMailMergeEdit::keepFieldsToThemselves);
    connect(RichEdit1, &QTextEdit::cursorPositionChanged, this, &TfmMailMergeEdit::updateTableActions);
    updateTableActions();
    connect(RichEdit1, &QTextEdit::undoAvailable, EditUndo, &QAction::setEnabled);
    connect(RichEdit1, &QTextEdit::redoAvailable, EditRedo, &QAction::setEnabled);
    EditUndo->setEnabled(false);
    EditRedo->setEnabled(false);
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &TfmMailMergeEdit::updatePasteAction);
    updatePasteAction();

    // Creation: the help file, then a new document.
    m_helpFile = platform::programFile(QStringLiteral("TextEditor.hlp"));
    FileNewExecute();
}

QString TfmMailMergeEdit::openFileTypes()
{
    // Letters from word processors are RTF: listed first, so that they show without choosing a type.
    return QStringLiteral("Rich Text Format (*.rtf)|*.rtf|Text Files (*.txt)|*.txt|All files|*.*");
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
    return initialTextFont();
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

bool TfmMailMergeEdit::maySetDocumentAside()
{
    if (!document()->isModified())
        return true;
    if (platform::errorsGoToConsole()) {
        // Closing with nobody to ask (a stop signal at logout): the text goes to a copy of its own rather than being
        // lost, and is then set aside, so that nothing asks about it later.
        try {
            const QString copy = platform::writeRescueFile(QStringLiteral("Unsaved letter"), QStringLiteral("rtf"),
                                                           richtext::writeRtf(*document()));
            platform::printError(QStringLiteral("The letter %1 was not saved; its text is kept in %2")
                                     .arg(m_fileName, QDir::toNativeSeparators(copy)));
        } catch (const platform::AppError& e) {
            platform::printError(
                QStringLiteral("The letter %1 was not saved and its changes are lost: %2").arg(m_fileName, e.message()));
        }
        document()->setModified(false);
        return true;
    }
    const platform::Answer answer = platform::prompts().message(
        isVisible() ? this : parentWidget(), windowTitle(), QStringLiteral("Save changes to %1?").arg(m_fileName),
        platform::Icon::Question, platform::Buttons::SaveDiscardCancel);
    if (answer == platform::Answer::Discard) {
        // Thrown away means gone: text kept on without a file would be lost later without a question.
        revertToSaved();
        return true;
    }
    if (answer != platform::Answer::Save)
        return false;
    FileSaveExecute();
    // A Save As cancelled, a save refused or failed: the changes are still only here.
    return !document()->isModified();
}

void TfmMailMergeEdit::closeEvent(QCloseEvent* event)
{
    if (maySetDocumentAside())
        event->accept();
    else
        event->ignore();
}

void TfmMailMergeEdit::revertToSaved()
{
    const bool reread = m_fileName != untitledName() && platform::guard([this] {
        QFile file(m_fileName);
        const bool text = file.open(QIODevice::ReadOnly) && !richtext::isRtf(file.read(64));
        richtext::loadFile(m_fileName, *document(), m_baseFont);
        m_openedAsText = text;
    });
    document()->setModified(false);
    if (!reread) {
        // Nothing saved to go back to (or no longer readable): an empty document.
        FileNewExecute();
        return;
    }
    RichEdit1->moveCursor(QTextCursor::Start);
    m_unkeptFile = m_fileName;
    updateEditActions();
}

void TfmMailMergeEdit::rememberFolder(const QString& path)
{
    m_lastFolder = folderPart(path);
}

void TfmMailMergeEdit::FileNewExecute()
{
    if (!maySetDocumentAside())
        return;
    m_openedAsText = false;
    RichEdit1->clear();
    richtext::forgetFileSettings(*document());
    m_unkeptFile.clear();
    // A new document starts in the base font, whatever the caret carried before.
    RichEdit1->setCurrentCharFormat(QTextCharFormat());
    setFileName(untitledName());
    document()->setModified(false);
    updateEditActions();
}

void TfmMailMergeEdit::FileOpen1Execute()
{
    if (!maySetDocumentAside())
        return;
    platform::guard([this] {
        platform::FileDialogRequest request;
        request.title = QStringLiteral("Open file");
        request.folder = m_lastFolder;
        request.filter = dialogFilter(openFileTypes());
        request.defaultSuffix = QStringLiteral("rtf");
        const QString chosen = platform::fileDialogs().openFile(this, request);
        if (chosen.isEmpty())
            return;
        const QString path = QFileInfo(chosen).absoluteFilePath();
        // The document is replaced only once the file has been read; a failure leaves everything as it was.
        richtext::loadFile(path, *document(), m_baseFont);
        {
            QFile file(path);
            m_openedAsText = file.open(QIODevice::ReadOnly) && !richtext::isRtf(file.read(64));
        }
        rememberFolder(path);
        RichEdit1->moveCursor(QTextCursor::Start);
        m_unkeptFile = path;
        setFileName(path);
        document()->setModified(false);
        updateEditActions();
    });
}

void TfmMailMergeEdit::FileSaveExecute()
{
    if (m_fileName == untitledName()) {
        FileSaveAs1Execute();
        return;
    }
    platform::guard([this] {
        const QStringList unkept = unkeptContent();
        if (!unkept.isEmpty() && m_unkeptFile == m_fileName) {
            const platform::Answer answer = platform::prompts().message(
                this, windowTitle(),
                QStringLiteral("%1 holds content that saving would lose (%2). Save anyway and lose it?")
                    .arg(m_fileName, unkept.join(QStringLiteral(", "))),
                platform::Icon::Warning, platform::Buttons::YesNoSaveAs);
            if (answer == platform::Answer::SaveAs) {
                FileSaveAs1Execute();
                return;
            }
            if (answer != platform::Answer::Yes)
                return;
        }
        saveTo(m_fileName);
    });
}

void TfmMailMergeEdit::saveTo(const QString& path)
{
    richtext::saveFile(path, *document());
    document()->setModified(false);
    // The file now holds what the document holds.
    if (path == m_unkeptFile)
        richtext::settleKeptContent(*document());
}

void TfmMailMergeEdit::FileSaveAs1Execute()
{
    platform::guard([this] {
        platform::FileDialogRequest request;
        request.title = QStringLiteral("Save As");
        request.folder = m_lastFolder.isEmpty() ? folderPart(m_fileName) : m_lastFolder;
        request.filter = dialogFilter(saveFileTypes());
        // The extension is added here, from the type chosen, not by the dialog. The editor writes RTF, so that is
        // what it proposes, unless the letter came from a plain text file.
        const int proposed = m_openedAsText ? 0 : 1;
        QString filter = request.filter.section(QStringLiteral(";;"), proposed, proposed);
        request.chosenFilter = &filter;
        const QString chosen = platform::fileDialogs().saveFile(this, request);
        if (chosen.isEmpty())
            return;
        QString path = QFileInfo(chosen).absoluteFilePath();
        const QFileInfo typed(path);
        if (typed.suffix().isEmpty() && !path.endsWith(QLatin1Char('.')) && !typed.isDir()) {
            const QString extension = filterExtension(filter);
            path += QLatin1Char('.') + (extension.isEmpty() ? QStringLiteral("rtf") : extension);
            // The dialog asked about the name as typed; the file really written may be another one.
            if (QFileInfo::exists(path) &&
                platform::prompts().message(this, windowTitle(),
                                            QStringLiteral("%1 already exists. Replace it?").arg(path),
                                            platform::Icon::Warning,
                                            platform::Buttons::YesNoDefaultNo) != platform::Answer::Yes)
                return;
        }
        // Saving over the file that was read is the same loss as Save.
        const QStringList unkept = path == m_unkeptFile ? unkeptContent() : QStringList();
        if (!unkept.isEmpty()) {
            const platform::Answer answer = platform::prompts().message(
                this, windowTitle(),
                QStringLiteral("%1 holds content that saving would lose (%2). Save anyway and lose it?")
                    .arg(path, unkept.join(QStringLiteral(", "))),
                platform::Icon::Warning, platform::Buttons::YesNo);
            if (answer != platform::Answer::Yes)
                return;
        }
        saveTo(path);
        m_openedAsText = false; // the file now holds what the editor writes
        rememberFolder(path);
        setFileName(path);
    });
}

void TfmMailMergeEdit::FilePrintExecute()
{
    platform::guard([this] {
        if (!platform::printDialogs().hasPrinter())
            throw platform::AppError(QStringLiteral("There is no printer installed"));
        QPrinter printer;
        printer.setDocName(QFileInfo(m_fileName).fileName());
        printer.setPageSize(QPageSize(QPageSize::A4));
        // The pages are made first, so that the dialog can offer their range.
        const reports::Rendering pages = reports::documentPages(*document(), QFileInfo(m_fileName).fileName());
        if (!platform::printDialogs().print(this, printer, pages.pageCount()))
            return;
        reports::PageRange range;
        if (printer.printRange() == QPrinter::PageRange) {
            range.from = printer.fromPage();
            range.to = printer.toPage();
        }
        reports::sendPages(pages, range, printer);
    });
}

QStringList TfmMailMergeEdit::unkeptContent() const
{
    return m_unkeptFile.isEmpty() ? QStringList() : richtext::unkeptContent(*RichEdit1->document());
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
        const std::optional<platform::FontChoice> chosen =
            platform::fontDialog().chooseFontAndColor(this, m_currentFont, m_currentFontColor, QString());
        QTextCursor edit = RichEdit1->textCursor();
        edit.beginEditBlock();
        // Text already typed keeps its font; only the selection (or what is typed at the caret) takes the new one.
        pinBaseFont();
        if (chosen) {
            m_currentFont = chosen->font;
            if (chosen->color.isValid())
                m_currentFontColor = chosen->color;
            // A style name ("Bold Italic") would outweigh the weight and slant, and Bold could not undo it.
            m_currentFont.setStyleName(QString());
            QTextCharFormat format;
            format.setFont(m_currentFont);
            format.setForeground(m_currentFontColor);
            RichEdit1->mergeCurrentCharFormat(format);
        }
        edit.endEditBlock();
        // Confirmed or not, text typed from now on where no font is set shows in the current font.
        setBaseFont(m_currentFont);
        updateStyleActions();
    });
}

void TfmMailMergeEdit::pinBaseFont()
{
    const QFont base = document()->defaultFont();
    QTextCursor cursor(document());
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (format.isImageFormat())
                continue;
            // What the fragment leaves to the base font, set to the base font's own.
            QTextCharFormat pinned;
            if (!format.hasProperty(QTextFormat::FontFamilies))
                pinned.setFontFamilies(QStringList{base.family()});
            if (!format.hasProperty(QTextFormat::FontPointSize) && !format.hasProperty(QTextFormat::FontPixelSize))
                base.pointSizeF() > 0 ? pinned.setFontPointSize(base.pointSizeF())
                                      : pinned.setProperty(QTextFormat::FontPixelSize, base.pixelSize());
            if (!format.hasProperty(QTextFormat::FontWeight))
                pinned.setFontWeight(base.weight());
            if (!format.hasProperty(QTextFormat::FontItalic))
                pinned.setFontItalic(base.italic());
            if (!format.hasProperty(QTextFormat::FontUnderline) && !format.hasProperty(QTextFormat::TextUnderlineStyle))
                pinned.setFontUnderline(base.underline());
            if (!format.hasProperty(QTextFormat::FontStrikeOut))
                pinned.setFontStrikeOut(base.strikeOut());
            if (pinned.properties().isEmpty())
                continue;
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.mergeCharFormat(pinned);
        }
    }
}

// Text typed right after a merge field is text, not part of the field.
void TfmMailMergeEdit::keepFieldsToThemselves()
{
    const QTextCursor cursor = RichEdit1->textCursor();
    const QTextCharFormat format = cursor.charFormat();
    if (cursor.hasSelection() || !format.hasProperty(richtext::MergeFieldProperty))
        return;
    QTextCharFormat plain = format;
    plain.clearProperty(richtext::MergeFieldProperty);
    if (plain.background().color() == richtext::mergeFieldShade())
        plain.clearBackground();
    RichEdit1->setCurrentCharFormat(plain);
}

QStringList TfmMailMergeEdit::mergeFieldNames()
{
    return {QStringLiteral("Firstname"), QStringLiteral("Midname"),  QStringLiteral("Surname"),
            QStringLiteral("Address1"),  QStringLiteral("Address2"), QStringLiteral("A3_Village"),
            QStringLiteral("Town"),      QStringLiteral("County"),   QStringLiteral("PostCode"),
            QStringLiteral("Country"),   QStringLiteral("Tel"),      QStringLiteral("Cell"),
            QStringLiteral("Email"),     QStringLiteral("Birthday")};
}

void TfmMailMergeEdit::insertMergeField(const QString& name)
{
    QTextCursor cursor = RichEdit1->textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    richtext::insertMergeField(cursor, name);
    cursor.endEditBlock();
    RichEdit1->setTextCursor(cursor);
}

namespace {

QTextDocument::FindFlags findFlags(TfmMailMergeEdit::FindOptions options)
{
    QTextDocument::FindFlags flags;
    if (options.matchCase)
        flags |= QTextDocument::FindCaseSensitively;
    if (options.wholeWord)
        flags |= QTextDocument::FindWholeWords;
    return flags;
}

bool isMatch(const QTextCursor& cursor, const QString& text, TfmMailMergeEdit::FindOptions options)
{
    if (!cursor.hasSelection())
        return false;
    QTextCursor again(cursor.document());
    again.setPosition(cursor.selectionStart());
    again = cursor.document()->find(text, again, findFlags(options));
    return !again.isNull() && again.selectionStart() == cursor.selectionStart() &&
           again.selectionEnd() == cursor.selectionEnd();
}

} // namespace

bool TfmMailMergeEdit::findNext(const QString& text, FindOptions options)
{
    if (text.isEmpty())
        return false;
    QTextCursor found = document()->find(text, RichEdit1->textCursor(), findFlags(options));
    if (found.isNull()) // on from the start
        found = document()->find(text, QTextCursor(document()), findFlags(options));
    if (found.isNull())
        return false;
    RichEdit1->setTextCursor(found);
    return true;
}

bool TfmMailMergeEdit::replaceNext(const QString& text, const QString& with, FindOptions options)
{
    QTextCursor cursor = RichEdit1->textCursor();
    if (isMatch(cursor, text, options)) {
        cursor.insertText(with);
        RichEdit1->setTextCursor(cursor);
    }
    return findNext(text, options);
}

int TfmMailMergeEdit::replaceAll(const QString& text, const QString& with, FindOptions options)
{
    if (text.isEmpty())
        return 0;
    int count = 0;
    QTextCursor edit(document());
    edit.beginEditBlock();
    QTextCursor found = document()->find(text, QTextCursor(document()), findFlags(options));
    while (!found.isNull()) {
        found.insertText(with); // the cursor now stands after the replacement
        ++count;
        found = document()->find(text, found, findFlags(options));
    }
    edit.endEditBlock();
    return count;
}

void TfmMailMergeEdit::EditUndoExecute()
{
    RichEdit1->undo();
}

void TfmMailMergeEdit::EditRedoExecute()
{
    RichEdit1->redo();
}

void TfmMailMergeEdit::EditFindExecute()
{
    if (!m_findReplace)
        m_findReplace = new TfmFindReplace(this);
    m_findReplace->showFor(false, RichEdit1->textCursor().selectedText());
}

void TfmMailMergeEdit::EditReplaceExecute()
{
    if (!m_findReplace)
        m_findReplace = new TfmFindReplace(this);
    m_findReplace->showFor(true, RichEdit1->textCursor().selectedText());
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

void TfmMailMergeEdit::insertTable(int rows, int columns)
{
    QTextTableFormat format;
    format.setBorder(1);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    format.setBorderCollapse(true);
    format.setCellPadding(3);
    format.setCellSpacing(0);
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    QList<QTextLength> widths;
    for (int c = 0; c < columns; ++c)
        widths << QTextLength(QTextLength::PercentageLength, 100.0 / columns);
    format.setColumnWidthConstraints(widths);
    QTextCursor cursor = RichEdit1->textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    QTextTable* table = cursor.insertTable(rows, columns, format);
    cursor.endEditBlock();
    RichEdit1->setTextCursor(table->cellAt(0, 0).firstCursorPosition());
    updateTableActions();
}

void TfmMailMergeEdit::TableInsertExecute()
{
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Insert Table"));
    auto* form = new QFormLayout(&dialog);
    auto* rows = new QSpinBox(&dialog);
    rows->setRange(1, 100);
    rows->setValue(2);
    auto* columns = new QSpinBox(&dialog);
    columns->setRange(1, 20);
    columns->setValue(3);
    form->addRow(QStringLiteral("&Rows:"), rows);
    form->addRow(QStringLiteral("&Columns:"), columns);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() == QDialog::Accepted)
        insertTable(rows->value(), columns->value());
}

void TfmMailMergeEdit::updateTableActions()
{
    const bool inTable = RichEdit1->textCursor().currentTable() != nullptr;
    for (QAction* action :
         {TableRowAbove, TableRowBelow, TableColumnLeft, TableColumnRight, TableDeleteRow, TableDeleteColumn})
        action->setEnabled(inTable);
}

namespace {

// The table the caret stands in and the caret's cell in it, or a null table.
std::pair<QTextTable*, QTextTableCell> caretCell(const QTextEdit& edit)
{
    const QTextCursor cursor = edit.textCursor();
    QTextTable* table = cursor.currentTable();
    return {table, table ? table->cellAt(cursor) : QTextTableCell()};
}

// Adds rows or columns around the caret's cell and keeps the caret where it was in that cell: a caret at the end
// of a cell's text would otherwise slide into a cell inserted right after it. The change returns where the cell
// is then (row, column).
void growAroundCaret(QTextEdit& edit, const std::function<std::pair<int, int>(QTextTable&, int row, int column, int rowSpan, int columnSpan)>& change)
{
    const auto [table, cell] = caretCell(edit);
    if (!table)
        return;
    // Read before the change: a cell's row and column are worked out afresh from the table each time.
    const int offset = edit.textCursor().position() - cell.firstPosition();
    const auto [row, column] = change(*table, cell.row(), cell.column(), cell.rowSpan(), cell.columnSpan());
    const QTextTableCell moved = table->cellAt(row, column);
    QTextCursor caret = moved.firstCursorPosition();
    caret.setPosition(std::min(moved.firstPosition() + offset, moved.lastPosition()));
    edit.setTextCursor(caret);
}

} // namespace

void TfmMailMergeEdit::TableRowAboveExecute()
{
    growAroundCaret(*RichEdit1, [](QTextTable& table, int row, int column, int, int) {
        table.insertRows(row, 1);
        return std::pair(row + 1, column);
    });
}

void TfmMailMergeEdit::TableRowBelowExecute()
{
    growAroundCaret(*RichEdit1, [](QTextTable& table, int row, int column, int rows, int) {
        table.insertRows(row + rows, 1);
        return std::pair(row, column);
    });
}

void TfmMailMergeEdit::TableColumnLeftExecute()
{
    growAroundCaret(*RichEdit1, [](QTextTable& table, int row, int column, int, int) {
        table.insertColumns(column, 1);
        return std::pair(row, column + 1);
    });
}

void TfmMailMergeEdit::TableColumnRightExecute()
{
    growAroundCaret(*RichEdit1, [](QTextTable& table, int row, int column, int, int columns) {
        table.insertColumns(column + columns, 1);
        return std::pair(row, column);
    });
}

void TfmMailMergeEdit::TableDeleteRowExecute()
{
    const auto [table, cell] = caretCell(*RichEdit1);
    if (!table)
        return;
    const int row = cell.row();
    const int column = cell.column();
    if (table->rows() == 1) {
        table->removeRows(0, 1); // a table of no rows is no table: it goes with its last row
    } else {
        table->removeRows(row, 1);
        RichEdit1->setTextCursor(table->cellAt(std::min(row, table->rows() - 1), column).firstCursorPosition());
    }
    updateTableActions();
}

void TfmMailMergeEdit::TableDeleteColumnExecute()
{
    const auto [table, cell] = caretCell(*RichEdit1);
    if (!table)
        return;
    const int row = cell.row();
    const int column = cell.column();
    if (table->columns() == 1) {
        table->removeRows(0, table->rows());
    } else {
        table->removeColumns(column, 1);
        RichEdit1->setTextCursor(table->cellAt(row, std::min(column, table->columns() - 1)).firstCursorPosition());
    }
    updateTableActions();
}

void TfmMailMergeEdit::HelpIndexExecute()
{
    platform::guard([&] { platform::shell().open(m_helpFile); });
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

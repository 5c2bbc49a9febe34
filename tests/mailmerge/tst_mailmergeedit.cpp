#include "mailmerge/MailMergeEdit.h"

#include "mailmerge/FindReplace.h"
#include "richtext/RichText.h"

#include "platform/Fakes.h"
#include "platform/ProgramFolder.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextTable>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolBar>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <memory>

namespace {

QFont makeFont(const QString& family, int points, bool bold = false, bool italic = false)
{
    QFont font(family, points);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

QTextCharFormat formatOf(const QFont& font, const QColor& color = QColor())
{
    QTextCharFormat format;
    format.setFont(font);
    if (color.isValid())
        format.setForeground(color);
    return format;
}

// The font a character shows: its own format over the document's default font.
QFont fontAt(const QTextDocument* doc, int position)
{
    QTextCursor cursor(const_cast<QTextDocument*>(doc));
    cursor.setPosition(position + 1);
    return cursor.charFormat().font().resolve(doc->defaultFont());
}

QString describe(const QFont& font)
{
    return QStringLiteral("%1 %2%3%4%5")
        .arg(font.family())
        .arg(font.pointSize())
        .arg(font.bold() ? QStringLiteral(" bold") : QString())
        .arg(font.italic() ? QStringLiteral(" italic") : QString())
        .arg(font.underline() ? QStringLiteral(" underline") : QString());
}

} // namespace

class TestMailMergeEdit : public QObject
{
    Q_OBJECT

    platform::Fakes m_fakes{};
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TfmMailMergeEdit> m_editor;

    QString path(const QString& name) const { return m_dir->filePath(name); }
    QTextEdit* edit() const { return m_editor->RichEdit1; }

    void append(const QString& text, const QTextCharFormat& format = QTextCharFormat())
    {
        QTextCursor cursor = edit()->textCursor();
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(text, format);
        edit()->setTextCursor(cursor);
    }
    void select(int from, int to)
    {
        QTextCursor cursor = edit()->textCursor();
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        edit()->setTextCursor(cursor);
    }
    QStringList errors() const
    {
        QStringList texts;
        for (const platform::PromptRecord& r : m_fakes.prompts->asked) {
            if (r.icon == platform::Icon::Error && r.caption == QLatin1String("Tovrel"))
                texts << r.text;
        }
        return texts;
    }
    QByteArray contents(const QString& file) const
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void write(const QString& file, const QByteArray& bytes) const
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(bytes), bytes.size());
    }
    // Activates the editor as the user does by switching to it.
    void activate()
    {
        m_editor->showEditor();
        QApplication::setActiveWindow(m_editor.get());
        QVERIFY(QTest::qWaitForWindowActive(m_editor.get()));
    }

private slots:
    void init()
    {
        m_fakes = platform::installFakes();
        m_dir = std::make_unique<QTemporaryDir>();
        QGuiApplication::clipboard()->clear();
        m_editor = std::make_unique<TfmMailMergeEdit>();
    }
    void cleanup()
    {
        m_editor.reset();
        m_dir.reset();
    }

    // Every command is reachable from the menus, and the toolbar's buttons are the menus' commands.
    void menusAndToolbarReachEveryCommand()
    {
        const TfmMailMergeEdit& e = *m_editor;
        QCOMPARE(e.windowTitle(), QStringLiteral("Text Editor"));
        QCOMPARE(e.centralWidget(), e.RichEdit1);
        QCOMPARE(e.StatusPanel->text(), QStringLiteral("untitled.txt"));
        const auto items = [](const QMenu* menu) {
            QList<QAction*> found;
            for (QAction* a : menu->actions()) {
                if (!a->isSeparator())
                    found << a;
            }
            return found;
        };
        QCOMPARE(items(e.File1), (QList<QAction*>{e.FileNew, e.FileOpen1, e.FileSave, e.FileSaveAs1, e.FilePrint}));
        QCOMPARE(items(e.Edit1), (QList<QAction*>{e.EditUndo, e.EditRedo, e.Cut1, e.EditCopy1, e.EditPaste1,
                                                  e.EditFind, e.EditReplace}));
        QCOMPARE(items(e.Format1), (QList<QAction*>{e.FontChange, e.RichEditBold1, e.RichEditItalic1,
                                                    e.RichEditUnderline1}));
        QCOMPARE(items(e.Insert1), QList<QAction*>{e.MergeField1->menuAction()});
        QCOMPARE(e.Help1->actions(), (QList<QAction*>{e.HelpIndex, e.HelpContents1, e.HelpAbout}));
        QList<QAction*> buttons;
        for (QAction* action : e.ToolBar1->actions()) {
            if (!action->isSeparator())
                buttons << action;
        }
        QCOMPARE(buttons, (QList<QAction*>{e.FileNew, e.FileOpen1, e.FileSave, e.EditCut1, e.EditCopy1, e.EditPaste1,
                                           e.FileClose}));
    }

    // What the keys do to the letter: "Dear" selected in "Dear friend", "x" on the clipboard.
    void keysActOnTheSelection_data()
    {
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QString>("style"); // of the first letter afterwards
        QTest::newRow("bold") << QKeySequence(QStringLiteral("Ctrl+B")) << "Dear friend" << "x" << "bold";
        QTest::newRow("italic") << QKeySequence(QStringLiteral("Ctrl+I")) << "Dear friend" << "x" << "italic";
        QTest::newRow("underline") << QKeySequence(QStringLiteral("Ctrl+U")) << "Dear friend" << "x" << "underline";
        QTest::newRow("cut") << QKeySequence(QStringLiteral("Ctrl+X")) << " friend" << "Dear" << "";
        QTest::newRow("copy") << QKeySequence(QStringLiteral("Ctrl+C")) << "Dear friend" << "Dear" << "";
        QTest::newRow("paste") << QKeySequence(QStringLiteral("Ctrl+V")) << "x friend" << "x" << "";
        QTest::newRow("undo") << QKeySequence(QStringLiteral("Ctrl+Z")) << "" << "x" << "";
    }
    void keysActOnTheSelection()
    {
        QFETCH(QKeySequence, keys);
        QFETCH(QString, text);
        QFETCH(QString, clipboard);
        QFETCH(QString, style);
        activate();
        edit()->insertPlainText(QStringLiteral("Dear friend"));
        select(0, 4);
        QGuiApplication::clipboard()->setText(QStringLiteral("x"));
        edit()->setFocus();
        QTest::keySequence(edit(), keys);
        QCOMPARE(m_editor->document()->toPlainText(), text);
        QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
        if (text.isEmpty())
            return;
        const QFont first = fontAt(m_editor->document(), 0);
        QCOMPARE(first.bold(), style == QLatin1String("bold"));
        QCOMPARE(first.italic(), style == QLatin1String("italic"));
        QCOMPARE(first.underline(), style == QLatin1String("underline"));
        QVERIFY(!fontAt(m_editor->document(), 6).bold() && !fontAt(m_editor->document(), 6).italic());
    }

    void cutCopyAndPasteFollowSelectionAndClipboard()
    {
        TfmMailMergeEdit& e = *m_editor;
        append(QStringLiteral("Dear friend"));
        QVERIFY(!e.EditCut1->isEnabled());
        QVERIFY(!e.Cut1->isEnabled());
        QVERIFY(!e.EditCopy1->isEnabled());
        QVERIFY(!e.EditPaste1->isEnabled());

        select(0, 4);
        QVERIFY(e.EditCut1->isEnabled());
        QVERIFY(e.Cut1->isEnabled());
        QVERIFY(e.EditCopy1->isEnabled());
        e.EditCopy1->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Dear"));
        QVERIFY(e.EditPaste1->isEnabled());

        e.Cut1->trigger(); // the Edit menu's item cuts like the toolbar button
        QCOMPARE(e.document()->toPlainText(), QStringLiteral(" friend"));
        QVERIFY(!e.EditCut1->isEnabled());
        QVERIFY(!e.EditCopy1->isEnabled());

        QTextCursor end = edit()->textCursor();
        end.movePosition(QTextCursor::End);
        edit()->setTextCursor(end);
        e.EditPaste1->trigger();
        QCOMPARE(e.document()->toPlainText(), QStringLiteral(" friendDear"));

        QGuiApplication::clipboard()->clear();
        QVERIFY(!e.EditPaste1->isEnabled());
        QGuiApplication::clipboard()->setText(QStringLiteral("x"));
        QVERIFY(e.EditPaste1->isEnabled());
    }

    void styleActions_data()
    {
        QTest::addColumn<QString>("style");
        QTest::newRow("bold") << "bold";
        QTest::newRow("italic") << "italic";
        QTest::newRow("underline") << "underline";
    }
    void styleActions()
    {
        QFETCH(QString, style);
        TfmMailMergeEdit& e = *m_editor;
        QAction* action = style == QLatin1String("bold")     ? e.RichEditBold1
                          : style == QLatin1String("italic") ? e.RichEditItalic1
                                                             : e.RichEditUnderline1;
        const auto has = [&](int position) {
            const QFont f = fontAt(e.document(), position);
            return style == QLatin1String("bold")     ? f.bold()
                   : style == QLatin1String("italic") ? f.italic()
                                                      : f.underline();
        };
        QFont styled = e.baseFont();
        styled.setBold(style == QLatin1String("bold"));
        styled.setItalic(style == QLatin1String("italic"));
        styled.setUnderline(style == QLatin1String("underline"));
        append(QStringLiteral("plain "));
        append(QStringLiteral("styled"), formatOf(styled));

        select(6, 12);
        QVERIFY(action->isChecked());
        action->trigger();
        QVERIFY(!has(6) && !has(11));
        QVERIFY(!action->isChecked());
        action->trigger();
        QVERIFY(has(6) && has(11));
        QVERIFY(action->isChecked());

        // A selection only partly styled is not ticked; choosing the action styles all of it.
        select(3, 9);
        QVERIFY(!action->isChecked());
        action->trigger();
        QVERIFY(has(3) && has(8));
        QVERIFY(!has(2));

        // With no selection, the caret's format decides.
        select(10, 10);
        QVERIFY(action->isChecked());
        select(1, 1);
        QVERIFY(!action->isChecked());
    }

    void initialState()
    {
        const TfmMailMergeEdit& e = *m_editor;
        QCOMPARE(e.fileName(), QStringLiteral("untitled.txt"));
        QVERIFY(e.document()->isEmpty());
        QCOMPARE(describe(e.baseFont()), QStringLiteral("MS Sans Serif 10"));
        QCOMPARE(describe(e.document()->defaultFont()), QStringLiteral("MS Sans Serif 10"));
        QCOMPARE(describe(e.currentFont()), QStringLiteral("Times New Roman 12 bold"));
        QCOMPARE(e.currentFontColor(), e.palette().color(QPalette::WindowText));
    }

    void activationTakesTheFontAtTheSelection()
    {
        TfmMailMergeEdit& e = *m_editor;
        activate(); // an empty document: the base font replaces Times New Roman 12 bold
        QCOMPARE(describe(e.currentFont()), QStringLiteral("MS Sans Serif 10"));

        e.FileCloseExecute();
        QVERIFY(!e.isVisible());
        append(QStringLiteral("Dear "));
        append(QStringLiteral("Sir"), formatOf(makeFont(QStringLiteral("Arial"), 14, false, true), Qt::red));
        select(5, 8);
        activate();
        QCOMPARE(describe(e.currentFont()), QStringLiteral("Arial 14 italic"));
        QCOMPARE(e.currentFontColor(), QColor(Qt::red));
        QCOMPARE(e.document()->toPlainText(), QStringLiteral("Dear Sir"));
    }

    void fontChangeConfirmed()
    {
        TfmMailMergeEdit& e = *m_editor;
        append(QStringLiteral("Dear "), formatOf(makeFont(QStringLiteral("Arial"), 10), Qt::blue));
        append(QStringLiteral("Sir"));
        select(0, 4);
        QFont chosen = makeFont(QStringLiteral("Courier New"), 20, false, true);
        chosen.setStyleName(QStringLiteral("Italic")); // as the font dialog gives it
        m_fakes.fontDialog->answers.enqueue(chosen);
        e.FontChange->trigger();

        QCOMPARE(m_fakes.fontDialog->initialFonts.size(), 1);
        QCOMPARE(describe(m_fakes.fontDialog->initialFonts[0]), QStringLiteral("Arial 10"));
        QCOMPARE(describe(fontAt(e.document(), 0)), QStringLiteral("Courier New 20 italic"));
        QCOMPARE(describe(fontAt(e.document(), 3)), QStringLiteral("Courier New 20 italic"));
        QCOMPARE(describe(fontAt(e.document(), 4)), QStringLiteral("Arial 10")); // outside the selection
        QTextCursor first(e.document());
        first.setPosition(1);
        QCOMPARE(first.charFormat().foreground().color(), QColor(Qt::blue));
        QCOMPARE(describe(e.currentFont()), QStringLiteral("Courier New 20 italic"));
        QCOMPARE(describe(e.baseFont()), QStringLiteral("Courier New 20 italic"));
        // The style name would outweigh Italic being switched off later.
        QVERIFY(fontAt(e.document(), 0).styleName().isEmpty());
        e.RichEditItalic1->trigger();
        QCOMPARE(describe(fontAt(e.document(), 0)), QStringLiteral("Courier New 20"));
        // Text typed before keeps the font it showed; what is typed from now on takes the chosen one.
        QCOMPARE(describe(fontAt(e.document(), 6)), QStringLiteral("MS Sans Serif 10"));
        m_fakes.prompts->answers.enqueue(platform::Answer::Discard);
        e.FileNew->trigger();
        edit()->insertPlainText(QStringLiteral("x"));
        QCOMPARE(describe(fontAt(e.document(), 0)), QStringLiteral("Courier New 20 italic"));
        QVERIFY(errors().isEmpty());
    }

    void fontChangeCancelledStillSetsTheBaseFont()
    {
        TfmMailMergeEdit& e = *m_editor;
        append(QStringLiteral("Dear "));
        append(QStringLiteral("Sir"), formatOf(makeFont(QStringLiteral("Arial"), 14, true)));
        select(5, 8);
        e.FontChange->trigger(); // no answer scripted: cancelled

        QCOMPARE(m_fakes.fontDialog->initialFonts.size(), 1);
        QCOMPARE(describe(e.currentFont()), QStringLiteral("Arial 14 bold"));
        QCOMPARE(describe(e.baseFont()), QStringLiteral("Arial 14 bold"));
        QCOMPARE(describe(fontAt(e.document(), 6)), QStringLiteral("Arial 14 bold"));
        QCOMPARE(describe(fontAt(e.document(), 0)), QStringLiteral("MS Sans Serif 10")); // "Dear " keeps its font
    }

    // Only the selection changes, also where the text had no font of its own; the colour comes with the font.
    void fontChangeAppliesToTheSelectionOnly()
    {
        TfmMailMergeEdit& e = *m_editor;
        edit()->insertPlainText(QStringLiteral("one\ntwo\nthree"));
        select(8, 13);
        m_fakes.fontDialog->answers.enqueue(makeFont(QStringLiteral("Courier New"), 20));
        m_fakes.fontDialog->colorAnswers.enqueue(QColor(Qt::darkGreen));
        e.FontChange->trigger();
        QCOMPARE(m_fakes.fontDialog->initialColors.size(), 1);
        QCOMPARE(describe(fontAt(e.document(), 0)), QStringLiteral("MS Sans Serif 10"));
        QCOMPARE(describe(fontAt(e.document(), 4)), QStringLiteral("MS Sans Serif 10"));
        QCOMPARE(describe(fontAt(e.document(), 8)), QStringLiteral("Courier New 20"));
        QTextCursor third(e.document());
        third.setPosition(9);
        QCOMPARE(third.charFormat().foreground().color(), QColor(Qt::darkGreen));
        QCOMPARE(e.currentFontColor(), QColor(Qt::darkGreen));
        QCOMPARE(describe(e.baseFont()), QStringLiteral("Courier New 20"));
        // One step undoes it all.
        e.EditUndo->trigger();
        QCOMPARE(describe(fontAt(e.document(), 8)), QStringLiteral("Courier New 20")); // the base font now
        QTextCursor undone(e.document());
        undone.setPosition(9);
        QVERIFY(!undone.charFormat().hasProperty(QTextFormat::ForegroundBrush));
    }

    void undoAndRedo()
    {
        TfmMailMergeEdit& e = *m_editor;
        QVERIFY(!e.EditUndo->isEnabled());
        QCOMPARE(e.EditUndo->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
        QCOMPARE(e.EditRedo->shortcut(), QKeySequence(QStringLiteral("Ctrl+Y")));
        edit()->insertPlainText(QStringLiteral("Hello"));
        QVERIFY(e.EditUndo->isEnabled());
        e.EditUndo->trigger();
        QCOMPARE(e.document()->toPlainText(), QString());
        QVERIFY(e.EditRedo->isEnabled());
        e.EditRedo->trigger();
        QCOMPARE(e.document()->toPlainText(), QStringLiteral("Hello"));
    }

    void replaceAll_data()
    {
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<bool>("wholeWord");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("count");
        QTest::newRow("any") << false << false << QStringLiteral("x x xs x") << 4;
        QTest::newRow("case") << true << false << QStringLiteral("Tea x xs x") << 3;
        QTest::newRow("word") << false << true << QStringLiteral("x x teas x") << 3;
        QTest::newRow("both") << true << true << QStringLiteral("Tea x teas x") << 2;
    }
    void replaceAll()
    {
        QFETCH(bool, matchCase);
        QFETCH(bool, wholeWord);
        QFETCH(QString, expected);
        QFETCH(int, count);
        TfmMailMergeEdit& e = *m_editor;
        edit()->insertPlainText(QStringLiteral("Tea tea teas tea"));
        QCOMPARE(e.replaceAll(QStringLiteral("tea"), QStringLiteral("x"), {matchCase, wholeWord}), count);
        QCOMPARE(e.document()->toPlainText(), expected);
        e.EditUndo->trigger(); // all of it, one step
        QCOMPARE(e.document()->toPlainText(), QStringLiteral("Tea tea teas tea"));
    }

    void findAndReplaceWindow()
    {
        TfmMailMergeEdit& e = *m_editor;
        edit()->insertPlainText(QStringLiteral("a cat, a Cat"));
        QCOMPARE(e.EditFind->shortcut(), QKeySequence(QStringLiteral("Ctrl+F")));
        QCOMPARE(e.EditReplace->shortcut(), QKeySequence(QStringLiteral("Ctrl+H")));
        select(2, 5);
        e.EditReplace->trigger();
        auto* window = e.findChild<TfmFindReplace*>();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->edtFind->text(), QStringLiteral("cat"));
        window->edtReplace->setText(QStringLiteral("dog"));
        window->chkMatchCase->setChecked(true);
        window->btnReplace->click(); // the selection is a match: replaced, and the next one looked for
        QCOMPARE(e.document()->toPlainText(), QStringLiteral("a dog, a Cat"));
        // "Cat" does not match case.
        QCOMPARE(m_fakes.prompts->asked.size(), 1);
        QCOMPARE(m_fakes.prompts->asked[0].text, QStringLiteral("Cannot find \"cat\""));
        window->chkMatchCase->setChecked(false);
        window->btnFindNext->click();
        QCOMPARE(edit()->textCursor().selectedText(), QStringLiteral("Cat"));
    }

    void mergeFieldMenu()
    {
        TfmMailMergeEdit& e = *m_editor;
        QStringList names;
        for (QAction* a : e.MergeField1->actions())
            names << a->text();
        QCOMPARE(names, TfmMailMergeEdit::mergeFieldNames());
        QVERIFY(names.contains(QStringLiteral("Firstname")) && names.contains(QStringLiteral("Birthday")));
        QVERIFY(!names.contains(QStringLiteral("Cap")));
        edit()->insertPlainText(QStringLiteral("Dear "));
        e.MergeField1->actions().at(0)->trigger();
        edit()->insertPlainText(QStringLiteral(","));
        QCOMPARE(e.document()->toPlainText(), QStringLiteral("Dear \u00ABFirstname\u00BB,"));
        QTextCursor field(e.document());
        field.setPosition(7);
        QCOMPARE(field.charFormat().property(richtext::MergeFieldProperty).toString(), QStringLiteral("Firstname"));
        QTextCursor comma(e.document());
        comma.setPosition(17);
        QVERIFY(!comma.charFormat().hasProperty(richtext::MergeFieldProperty)); // typed after it: text
        const QString letter = path(QStringLiteral("fields.rtf"));
        m_fakes.fileDialogs->answers.enqueue(letter);
        e.FileSaveAs1->trigger();
        QVERIFY(contents(letter).contains("{\\field{\\*\\fldinst MERGEFIELD Firstname}"));
    }

    // A letter keeps what the editor does not show (a header, a footnote): Save over it asks nothing, until an edit
    // takes some of it out; then it asks first, No being the default.
    void saveOverAFileWithUnkeptContentAsks_data()
    {
        QTest::addColumn<QList<platform::Answer>>("answers");
        QTest::addColumn<bool>("saved");
        QTest::addColumn<int>("saveAsDialogs");
        QTest::newRow("no") << QList<platform::Answer>{platform::Answer::No} << false << 0;
        QTest::newRow("yes") << QList<platform::Answer>{platform::Answer::Yes} << true << 0;
        QTest::newRow("save as") << QList<platform::Answer>{platform::Answer::SaveAs} << false << 1;
    }
    void saveOverAFileWithUnkeptContentAsks()
    {
        QFETCH(QList<platform::Answer>, answers);
        QFETCH(bool, saved);
        QFETCH(int, saveAsDialogs);
        TfmMailMergeEdit& e = *m_editor;
        QFile fixture(QStringLiteral(TOVREL_TEST_DATA "/rtf/letterhead.rtf"));
        QVERIFY(fixture.open(QIODevice::ReadOnly));
        const QByteArray original = fixture.readAll();
        const QString letter = path(QStringLiteral("letterhead.rtf"));
        write(letter, original);
        m_fakes.fileDialogs->answers.enqueue(letter);
        e.FileOpen1->trigger();
        QCOMPARE(e.unkeptContent(), QStringList());
        e.FileSave->trigger();
        QCOMPARE(m_fakes.prompts->asked.size(), 0);
        const QByteArray kept = contents(letter);
        QVERIFY(kept.contains("{\\header"));
        QVERIFY(kept.contains("{\\footnote"));

        // The paragraph that holds the footnote's mark goes.
        QTextCursor cursor = e.RichEdit1->document()->find(QStringLiteral("Picture next"));
        QVERIFY(!cursor.isNull());
        cursor.select(QTextCursor::BlockUnderCursor);
        cursor.removeSelectedText();
        QCOMPARE(e.unkeptContent(), QStringList{QStringLiteral("footnotes")});
        for (platform::Answer a : answers)
            m_fakes.prompts->answers.enqueue(a);
        e.FileSave->trigger();
        QCOMPARE(m_fakes.prompts->asked.size(), 1);
        const platform::PromptRecord& asked = m_fakes.prompts->asked[0];
        QCOMPARE(asked.text, letter + QStringLiteral(" holds content that saving would lose (footnotes). Save anyway "
                                                     "and lose it?"));
        QCOMPARE(asked.buttons, platform::Buttons::YesNoSaveAs);
        QCOMPARE(m_fakes.fileDialogs->saved.size(), saveAsDialogs);
        QCOMPARE(contents(letter) != kept, saved);
        if (!saved)
            return;
        // What it keeps, it wrote: the header, the picture, the table, the link and the merge fields.
        const QByteArray written = contents(letter);
        QVERIFY(!written.contains("{\\footnote"));
        QVERIFY(written.contains("{\\header"));
        QVERIFY(written.contains("{\\pict\\pngblip"));
        QVERIFY(written.contains("\\cellx"));
        QVERIFY(written.contains("HYPERLINK \"https://example.org/shop\""));
        QVERIFY(written.contains("MERGEFIELD Town"));
        // The file now holds what the editor holds: the next Save does not ask.
        e.FileSave->trigger();
        QCOMPARE(m_fakes.prompts->asked.size(), 1);
    }

    void saveAsToANewNameDoesNotAsk()
    {
        TfmMailMergeEdit& e = *m_editor;
        const QString letter = path(QStringLiteral("with-footnote.rtf"));
        write(letter, R"({\rtf1 x{\footnote note}\par})");
        m_fakes.fileDialogs->answers.enqueue(letter);
        e.FileOpen1->trigger();
        const QString other = path(QStringLiteral("other.rtf"));
        m_fakes.fileDialogs->answers.enqueue(other);
        e.FileSaveAs1->trigger();
        QVERIFY(m_fakes.prompts->asked.isEmpty());
        QVERIFY(contents(other).startsWith("{\\rtf"));
        e.FileSave->trigger(); // other.rtf never held the footnote
        QVERIFY(m_fakes.prompts->asked.isEmpty());
        // With the footnote's paragraph gone, saving over the first file by Save As is the same loss as Save.
        e.RichEdit1->selectAll();
        e.RichEdit1->textCursor().removeSelectedText();
        m_fakes.fileDialogs->answers.enqueue(letter);
        m_fakes.prompts->answers.enqueue(platform::Answer::No);
        e.FileSaveAs1->trigger();
        QCOMPARE(m_fakes.prompts->asked.size(), 1);
        QVERIFY(contents(letter).contains("footnote"));
    }

    // Unsaved changes are asked about before New, Open, Close or the program's end replace or hide them.
    void unsavedChangesAreAskedAbout_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("untitled"); // the document has no file yet
        QTest::addColumn<platform::Answer>("answer");
        QTest::addColumn<bool>("goesOn"); // the command went ahead
        QTest::addColumn<bool>("saved");  // the file holds the change
        using A = platform::Answer;
        // clang-format off
        QTest::newRow("close, save") << "close" << false << A::Save << true << true;
        QTest::newRow("close, discard") << "close" << false << A::Discard << true << false;
        QTest::newRow("close, cancel") << "close" << false << A::Cancel << false << false;
        QTest::newRow("new, save") << "new" << false << A::Save << true << true;
        QTest::newRow("new, discard") << "new" << false << A::Discard << true << false;
        QTest::newRow("new, cancel") << "new" << false << A::Cancel << false << false;
        QTest::newRow("open, discard") << "open" << false << A::Discard << true << false;
        QTest::newRow("open, cancel") << "open" << false << A::Cancel << false << false;
        QTest::newRow("quit, save") << "quit" << false << A::Save << true << true;
        QTest::newRow("quit, cancel") << "quit" << false << A::Cancel << false << false;
        // Save on a new letter is Save As; cancelling that dialog cancels the command too.
        QTest::newRow("untitled, save as cancelled") << "new" << true << A::Save << false << false;
        // clang-format on
    }
    void unsavedChangesAreAskedAbout()
    {
        QFETCH(QString, command);
        QFETCH(bool, untitled);
        QFETCH(platform::Answer, answer);
        QFETCH(bool, goesOn);
        QFETCH(bool, saved);
        TfmMailMergeEdit& e = *m_editor;
        e.showEditor();
        const QString letter = path(QStringLiteral("a.rtf"));
        append(QStringLiteral("Dear "));
        if (!untitled) {
            m_fakes.fileDialogs->answers.enqueue(letter);
            e.FileSaveAs1->trigger();
        }
        QVERIFY(m_fakes.prompts->asked.isEmpty());
        append(QStringLiteral("unsaved"));
        const QString other = path(QStringLiteral("other.txt"));
        write(other, "other");

        m_fakes.prompts->answers.enqueue(answer);
        bool wentOn = false;
        if (command == QLatin1String("close")) {
            e.FileClose->trigger();
            wentOn = !e.isVisible();
        } else if (command == QLatin1String("new")) {
            e.FileNew->trigger();
            wentOn = e.document()->isEmpty();
        } else if (command == QLatin1String("open")) {
            m_fakes.fileDialogs->answers.enqueue(other);
            e.FileOpen1->trigger();
            wentOn = e.document()->toPlainText() == QLatin1String("other");
        } else {
            wentOn = e.maySetDocumentAside();
        }
        QCOMPARE(m_fakes.prompts->asked.size(), 1);
        const platform::PromptRecord& asked = m_fakes.prompts->asked[0];
        QCOMPARE(asked.text, QStringLiteral("Save changes to %1?").arg(untitled ? QStringLiteral("untitled.txt") : letter));
        QCOMPARE(asked.buttons, platform::Buttons::SaveDiscardCancel);
        QCOMPARE(wentOn, goesOn);
        QCOMPARE(contents(letter).contains("unsaved"), saved);
        if (!goesOn) // nothing lost
            QCOMPARE(e.document()->toPlainText(), QStringLiteral("Dear unsaved"));
        // Answered: the next command does not ask again.
        if (goesOn) {
            e.FileNew->trigger();
            QCOMPARE(m_fakes.prompts->asked.size(), 1);
        }
    }

    // Discard on Close throws the changes away: the editor holds the file as last saved, or nothing, and neither
    // the next Close nor the program's end has anything to ask about or lose.
    void discardDiscards_data()
    {
        QTest::addColumn<bool>("saved"); // the letter has a file
        QTest::newRow("never saved: empty") << false;
        QTest::newRow("saved before: as saved") << true;
    }
    void discardDiscards()
    {
        QFETCH(bool, saved);
        TfmMailMergeEdit& e = *m_editor;
        const QString letter = path(QStringLiteral("kept.rtf"));
        if (saved) {
            append(QStringLiteral("As saved"));
            m_fakes.fileDialogs->answers.enqueue(letter);
            e.FileSaveAs1->trigger();
        }
        append(QStringLiteral(" and then some"));
        m_fakes.prompts->answers.enqueue(platform::Answer::Discard);
        e.FileClose->trigger();
        QCOMPARE(m_fakes.prompts->asked.size(), 1);
        QCOMPARE(e.document()->toPlainText(), saved ? QStringLiteral("As saved") : QString());
        QCOMPARE(e.fileName(), saved ? letter : TfmMailMergeEdit::untitledName());
        QVERIFY(e.maySetDocumentAside()); // what the program's end asks
        e.showEditor();
        e.FileClose->trigger();
        QCOMPARE(m_fakes.prompts->asked.size(), 1);
        if (saved)
            QVERIFY(!contents(letter).contains("and then some"));
    }

    // Save As proposes RTF, the editor's own format, unless the letter came from a plain text file; Open and Save As
    // start in the folder last used.
    void saveAsProposesRtfAndDialogsStartInTheLastFolder()
    {
        TfmMailMergeEdit& e = *m_editor;
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("a")));
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("b")));
        write(path(QStringLiteral("a/notes.txt")), "plain words");
        m_fakes.fileDialogs->answers.enqueue(path(QStringLiteral("a/notes.txt")));
        e.FileOpen1->trigger();
        m_fakes.fileDialogs->answers.enqueue(path(QStringLiteral("b/copy")));
        e.FileSaveAs1->trigger();
        QCOMPARE(m_fakes.fileDialogs->saved.last().folder, path(QStringLiteral("a/")));
        QCOMPARE(e.fileName(), path(QStringLiteral("b/copy.txt"))); // opened as plain text: Text proposed
        m_fakes.fileDialogs->answers.enqueue(path(QStringLiteral("b/second")));
        e.FileSaveAs1->trigger();
        QCOMPARE(m_fakes.fileDialogs->saved.last().folder, path(QStringLiteral("b/")));
        QCOMPARE(e.fileName(), path(QStringLiteral("b/second.rtf"))); // written by the editor since: RTF
        e.FileOpen1->trigger(); // cancelled
        QCOMPARE(m_fakes.fileDialogs->opened.last().folder, path(QStringLiteral("b/")));
    }

    // Table > Insert Table puts a ruled table at the caret; rows and columns go in and out around the caret's cell;
    // the table is saved and read back as a table.
    void tables()
    {
        TfmMailMergeEdit& e = *m_editor;
        QVERIFY(!e.TableRowBelow->isEnabled());
        append(QStringLiteral("Prices"));
        e.insertTable(2, 3);
        QTextTable* table = e.RichEdit1->textCursor().currentTable();
        QVERIFY(table);
        QCOMPARE(table->rows(), 2);
        QCOMPARE(table->columns(), 3);
        QVERIFY(e.TableRowBelow->isEnabled());
        e.RichEdit1->insertPlainText(QStringLiteral("Tea"));
        e.TableRowBelow->trigger();
        e.TableColumnRight->trigger();

        QCOMPARE(table->rows(), 3);
        QCOMPARE(table->columns(), 4);
        e.TableRowAbove->trigger();
        e.TableColumnLeft->trigger();

        QCOMPARE(table->cellAt(1, 1).firstCursorPosition().block().text(), QStringLiteral("Tea"));
        QCOMPARE(table->cellAt(e.RichEdit1->textCursor()).row(), 1); // the caret stayed after "Tea"
        QCOMPARE(table->cellAt(e.RichEdit1->textCursor()).column(), 1);
        e.RichEdit1->setTextCursor(table->cellAt(0, 0).firstCursorPosition());
        e.TableDeleteRow->trigger();
        e.TableDeleteColumn->trigger();
        QCOMPARE(table->rows(), 3);
        QCOMPARE(table->columns(), 4);
        QCOMPARE(table->cellAt(0, 0).firstCursorPosition().block().text(), QStringLiteral("Tea"));

        m_fakes.fileDialogs->answers.enqueue(path(QStringLiteral("prices")));
        e.FileSaveAs1->trigger();
        m_fakes.fileDialogs->answers.enqueue(path(QStringLiteral("prices.rtf")));
        e.FileOpen1->trigger();
        QTextCursor start(e.document());
        start.movePosition(QTextCursor::NextBlock);
        QTextTable* read = start.currentTable();
        QVERIFY(read);
        QCOMPARE(read->rows(), 3);
        QCOMPARE(read->columns(), 4);
        QCOMPARE(read->cellAt(0, 0).firstCursorPosition().block().text(), QStringLiteral("Tea"));

        // A table of one row goes with its last row.
        e.RichEdit1->setTextCursor(read->cellAt(0, 0).firstCursorPosition());
        e.TableDeleteRow->trigger();
        e.TableDeleteRow->trigger();
        e.TableDeleteRow->trigger();
        QVERIFY(!e.RichEdit1->textCursor().currentTable());
        QVERIFY(!e.TableDeleteRow->isEnabled());
    }

    // The name typed without an extension gets the one of the file type chosen.
    void saveAsAddsTheChosenTypesExtension_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("type"); // index in the dialog's list
        QTest::addColumn<QString>("written");
        QTest::newRow("rtf chosen") << "party2" << 1 << "party2.rtf";
        QTest::newRow("txt chosen") << "party2" << 0 << "party2.txt";
        QTest::newRow("all files: the editor's own format") << "party2" << 2 << "party2.rtf";
        QTest::newRow("nothing chosen: RTF proposed") << "party2" << -1 << "party2.rtf";
        QTest::newRow("own extension kept") << "party2.doc" << 1 << "party2.doc";
        QTest::newRow("dot in a folder name") << "v1.2/party2" << 1 << "v1.2/party2.rtf";
    }
    void saveAsAddsTheChosenTypesExtension()
    {
        QFETCH(QString, typed);
        QFETCH(int, type);
        QFETCH(QString, written);
        TfmMailMergeEdit& e = *m_editor;
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("v1.2")));
        append(QStringLiteral("Party"));
        m_fakes.fileDialogs->answers.enqueue(path(typed));
        if (type >= 0)
            m_fakes.fileDialogs->filterAnswers.enqueue(
                TfmMailMergeEdit::dialogFilter(TfmMailMergeEdit::saveFileTypes()).split(QStringLiteral(";;"))[type]);
        e.FileSaveAs1->trigger();
        QCOMPARE(e.fileName(), path(written));
        QVERIFY(contents(path(written)).startsWith("{\\rtf"));
        QVERIFY(!QFile::exists(path(typed)) || typed == written);
        QVERIFY(m_fakes.prompts->asked.isEmpty());
    }

    // The dialog asked about "party2"; replacing the existing "party2.rtf" is asked here, No keeping it.
    void saveAsAsksBeforeReplacingTheExtendedName()
    {
        TfmMailMergeEdit& e = *m_editor;
        write(path(QStringLiteral("party2.rtf")), "kept");
        append(QStringLiteral("Party"));
        m_fakes.fileDialogs->answers.enqueue(path(QStringLiteral("party2")));
        m_fakes.fileDialogs->filterAnswers.enqueue(QStringLiteral("Rich Text Format (*.rtf)"));
        e.FileSaveAs1->trigger();
        QCOMPARE(m_fakes.prompts->asked.size(), 1);
        QCOMPARE(contents(path(QStringLiteral("party2.rtf"))), QByteArray("kept"));
        QCOMPARE(e.fileName(), QStringLiteral("untitled.txt"));
    }

    void saveOnANewDocumentIsSaveAs()
    {
        TfmMailMergeEdit& e = *m_editor;
        append(QStringLiteral("Hello"));
        e.FileSave->trigger(); // the dialog is cancelled
        QCOMPARE(m_fakes.fileDialogs->saved.size(), 1);
        const platform::FileDialogRequest& r = m_fakes.fileDialogs->saved[0];
        QCOMPARE(r.title, QStringLiteral("Save As"));
        QCOMPARE(r.folder, QString());
        QCOMPARE(r.filter, QStringLiteral("Text Files (*.txt);;Rich Text Format (*.rtf);;All Files (*)"));
        QCOMPARE(e.fileName(), QStringLiteral("untitled.txt"));
        QVERIFY(QDir(m_dir->path()).isEmpty());
        QVERIFY(QDir::current().entryList({QStringLiteral("untitled.txt")}).isEmpty());
        QVERIFY(errors().isEmpty());
    }

    void saveAsWritesRtfThatReadsBack()
    {
        TfmMailMergeEdit& e = *m_editor;
        append(QStringLiteral("Bold "), formatOf(makeFont(QStringLiteral("Times New Roman"), 12, true)));
        append(QStringLiteral("red"), formatOf(makeFont(QStringLiteral("Arial"), 16, false, true), Qt::red));
        const QString letter = path(QStringLiteral("letter.txt"));
        m_fakes.fileDialogs->answers.enqueue(letter);
        e.FileSaveAs1->trigger();
        QVERIFY(contents(letter).startsWith("{\\rtf"));
        QCOMPARE(e.fileName(), letter);
        QCOMPARE(e.StatusPanel->text(), letter);

        // Save now writes to that file without asking.
        append(QStringLiteral(" more"));
        e.FileSave->trigger();
        QCOMPARE(m_fakes.fileDialogs->saved.size(), 1);
        QVERIFY(contents(letter).contains("more"));

        // The next Save As starts in the file's folder.
        e.FileSaveAs1->trigger();
        QCOMPARE(m_fakes.fileDialogs->saved.size(), 2);
        QCOMPARE(m_fakes.fileDialogs->saved[1].folder, m_dir->path() + QLatin1Char('/'));
        QCOMPARE(e.fileName(), letter);

        e.FileNew->trigger();
        m_fakes.fileDialogs->answers.enqueue(letter);
        e.FileOpen1->trigger();
        QCOMPARE(e.document()->toPlainText(), QStringLiteral("Bold red more"));
        QCOMPARE(describe(fontAt(e.document(), 0)), QStringLiteral("Times New Roman 12 bold"));
        QCOMPARE(describe(fontAt(e.document(), 6)), QStringLiteral("Arial 16 italic"));
        QTextCursor red(e.document());
        red.setPosition(6);
        QCOMPARE(red.charFormat().foreground().color(), QColor(Qt::red));
        QVERIFY(errors().isEmpty());
    }

    void openReadsPlainTextAndRemembersTheFullPath()
    {
        TfmMailMergeEdit& e = *m_editor;
        // A file that happens to be called untitled.txt is known by its full path, so Save does not ask.
        const QString file = path(QStringLiteral("untitled.txt"));
        write(file, "First line\r\nSecond line\nThird\rFourth");
        m_fakes.fileDialogs->answers.enqueue(file);
        e.FileOpen1->trigger();

        QCOMPARE(m_fakes.fileDialogs->opened.size(), 1);
        const platform::FileDialogRequest& r = m_fakes.fileDialogs->opened[0];
        QCOMPARE(r.title, QStringLiteral("Open file"));
        QCOMPARE(r.folder, QString());
        QCOMPARE(r.filter, QStringLiteral("Rich Text Format (*.rtf);;Text Files (*.txt);;All files (*)"));

        QCOMPARE(e.document()->blockCount(), 4);
        QCOMPARE(e.document()->findBlockByNumber(1).text(), QStringLiteral("Second line"));
        QCOMPARE(describe(fontAt(e.document(), 0)), QStringLiteral("MS Sans Serif 10"));
        QCOMPARE(e.fileName(), file);
        QCOMPARE(e.StatusPanel->text(), file);

        e.FileSave->trigger();
        QVERIFY(m_fakes.fileDialogs->saved.isEmpty());
        QVERIFY(contents(file).startsWith("{\\rtf"));
        QVERIFY(errors().isEmpty());
    }

    void openDecidesByContent()
    {
        TfmMailMergeEdit& e = *m_editor;
        const QString file = path(QStringLiteral("note.txt"));
        write(file, "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 plain \\b bold\\b0\\par}");
        m_fakes.fileDialogs->answers.enqueue(file);
        e.FileOpen1->trigger();
        QCOMPARE(e.document()->toPlainText(), QStringLiteral("plain bold"));
        QCOMPARE(describe(fontAt(e.document(), 7)), QStringLiteral("Arial 10 bold"));
    }

    void failuresKeepTheFormerName_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("target"); // relative to the test folder
        QTest::addColumn<QString>("message");
        // clang-format off
        QTest::newRow("open, no such folder") << "open" << "missing/a.txt" << "Cannot open file %1.";
        QTest::newRow("open, a folder") << "open" << "folder" << "Cannot open file %1.";
        QTest::newRow("open, damaged rtf") << "open" << "damaged.rtf" << "Failed to Load Stream.";
        QTest::newRow("save as, no such folder") << "saveAs" << "missing/a.txt" << "Cannot create file %1.";
        QTest::newRow("save as, a folder") << "saveAs" << "folder" << "Cannot create file %1.";
        QTest::newRow("save, folder gone") << "save" << "" << "Cannot create file %1.";
        // clang-format on
    }
    void failuresKeepTheFormerName()
    {
        QFETCH(QString, command);
        QFETCH(QString, target);
        QFETCH(QString, message);
        TfmMailMergeEdit& e = *m_editor;
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("folder/inner")));
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("sub")));
        write(path(QStringLiteral("damaged.rtf")), "{\\rtf1");
        append(QStringLiteral("Keep me"));
        const QString former = path(QStringLiteral("sub/first.rtf"));
        m_fakes.fileDialogs->answers.enqueue(former);
        e.FileSaveAs1->trigger();
        QCOMPARE(e.fileName(), former);

        QString failing = path(target);
        if (command == QLatin1String("open")) {
            m_fakes.fileDialogs->answers.enqueue(failing);
            e.FileOpen1->trigger();
        } else if (command == QLatin1String("saveAs")) {
            m_fakes.fileDialogs->answers.enqueue(failing);
            e.FileSaveAs1->trigger();
        } else {
            failing = former;
            QVERIFY(QDir(path(QStringLiteral("sub"))).removeRecursively());
            e.FileSave->trigger();
        }
        QCOMPARE(errors(), QStringList{message.contains(QLatin1String("%1")) ? message.arg(failing) : message});
        QCOMPARE(e.fileName(), former);
        QCOMPARE(e.StatusPanel->text(), former);
        QCOMPARE(e.document()->toPlainText(), QStringLiteral("Keep me"));
        QVERIFY(!QFile::exists(path(QStringLiteral("missing"))));
    }

    // Made once, hidden, with a new document; shown again it still holds what was typed. Help > Index hands the
    // program folder's help file to the desktop.
    void oneHiddenEditorKeepsItsDocument()
    {
        QTemporaryDir folder;
        platform::setProgramFolder(folder.path());
        auto made = std::make_unique<TfmMailMergeEdit>();
        TfmMailMergeEdit* editor = made.get();
        QVERIFY(!editor->isVisible());
        QCOMPARE(editor->helpFile(), platform::programFolder() + QStringLiteral("TextEditor.hlp"));
        editor->HelpIndexExecute();
        QCOMPARE(m_fakes.shell->opened, QStringList{editor->helpFile()});
        QCOMPARE(editor->fileName(), QStringLiteral("untitled.txt"));
        QCOMPARE(editor->StatusPanel->text(), QStringLiteral("untitled.txt"));

        editor->showEditor();
        QVERIFY(editor->isVisible());
        QTextDocument* doc = editor->document();
        editor->RichEdit1->insertPlainText(QStringLiteral("Letter body"));
        const QString saved = folder.filePath(QStringLiteral("letter.rtf"));
        m_fakes.prompts->answers.enqueue(platform::Answer::Save);
        m_fakes.fileDialogs->answers.enqueue(saved);
        editor->FileClose->trigger();
        QVERIFY(!editor->isVisible());
        QCOMPARE(editor->document(), doc);
        QCOMPARE(doc->toPlainText(), QStringLiteral("Letter body"));

        editor->showEditor();
        QVERIFY(editor->isVisible());
        QCOMPARE(editor->document()->toPlainText(), QStringLiteral("Letter body"));
        QCOMPARE(editor->fileName(), saved);
        platform::setProgramFolder(QString());
    }
};

QTEST_MAIN(TestMailMergeEdit)
#include "tst_mailmergeedit.moc"

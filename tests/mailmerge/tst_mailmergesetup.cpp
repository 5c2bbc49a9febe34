#include "mailmerge/MailMergeSetup.h"

#include "data/ContactStore.h"
#include "mailmerge/MailMergeEdit.h"
#include "mailmerge/MailMergeInfo.h"
#include "reports/layouts/MergedLetters.h"
#include "platform/Fakes.h"
#include "platform/ProgramFolder.h"
#include "reports/ui/Preview.h"
#include "search/ui/SearchDialog.h"
#include "support/TestDb.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <memory>

namespace {

QFont font(const QString& family, double points, bool bold, bool italic, bool underline, bool strikeOut)
{
    QFont f(family);
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setItalic(italic);
    f.setUnderline(underline);
    f.setStrikeOut(strikeOut);
    return f;
}

// Runs `action` once the report's preview is open and its rendering is over, then closes the preview.
void whenRendered(const reports::ReportDefinition& definition, std::function<void(TfmPreview&)> action)
{
    QTimer::singleShot(0, [&definition, action] {
        TfmPreview* preview = TfmPreview::previewOf(definition);
        if (!preview || preview->isRendering()) {
            whenRendered(definition, action);
            return;
        }
        action(*preview);
        preview->close();
    });
}

} // namespace

class TestMailMergeSetup : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    platform::Fakes m_fakes{};
    std::unique_ptr<data::ContactStore> m_store;
    // The windows the set-up works through, made as the start-up makes them.
    std::unique_ptr<TfmSQLSearchDialog> m_search;
    std::unique_ptr<TfmMailMergeEdit> m_editor;
    std::unique_ptr<TfmMailQR> m_letters;
    std::unique_ptr<TfmMailMergeHelp> m_help;
    std::unique_ptr<TfmMailMergeSetup> m_setup;

    TfmMailMergeSetup* setup() const { return m_setup.get(); }
    TfmMailMergeEdit* editor() const { return m_editor.get(); }

    void showSetup()
    {
        setup()->showSetup();
        QVERIFY(QTest::qWaitForWindowActive(setup()));
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        testsupport::makeDatabase(m_dir->filePath(QStringLiteral("Tovrel.mdb")), testsupport::sampleContacts());
        testsupport::makeCountyList(m_dir->path());
        platform::setProgramFolder(m_dir->path());
        m_fakes = platform::installFakes();
        m_store = testsupport::contactStore(false); // the search dialog's creation opens it, as at start-up
        m_search = std::make_unique<TfmSQLSearchDialog>(m_store->HomeQuery);
        m_search->FormCreate();
        m_editor = std::make_unique<TfmMailMergeEdit>();
        m_letters = std::make_unique<TfmMailQR>([this] { return m_editor->document(); });
        m_help = std::make_unique<TfmMailMergeHelp>();
        TfmMailMergeSetup::Parts parts;
        parts.contacts = &m_store->HomeQuery;
        parts.editor = [this] { return m_editor.get(); };
        parts.letters = [this] { return m_letters.get(); };
        parts.help = [this] { return m_help.get(); };
        parts.selectNames = [this] { m_search->exec(); };
        m_setup = std::make_unique<TfmMailMergeSetup>(std::move(parts));
        QVERIFY(!setup()->isVisible());
    }

    void cleanup()
    {
        m_setup.reset();
        m_help.reset();
        m_letters.reset();
        m_editor.reset();
        m_search.reset();
        m_store.reset();
        m_dir.reset();
    }

    void layout()
    {
        showSetup();
        QCOMPARE(setup()->windowTitle(), QStringLiteral("Tovrel Mail Merge"));
        QCOMPARE(setup()->Label1->text(), QStringLiteral("Setup Mail Merge"));
        QCOMPARE(setup()->Label1->font().pointSize(), 14);
        QVERIFY(setup()->Label1->font().bold());
        const std::pair<QLabel*, QPushButton*> rows[] = {{setup()->Label2, setup()->btnDocument},
                                                         {setup()->Label3, setup()->btnSelectNames},
                                                         {setup()->Label4, setup()->btnMerge}};
        const QStringList labels{"Select, edit or create letter:", "Select names && addresses:",
                                 "Preview Merged Report:"};
        const QStringList captions{"&Document", "&Select Names", "&Merge"};
        for (int i = 0; i < 3; ++i) {
            auto [label, button] = rows[i];
            QCOMPARE(label->text(), labels[i]);
            QCOMPARE(label->font().pointSize(), 10);
            QCOMPARE(label->buddy(), button); // so that "&&" shows as one "&"
            QCOMPARE(button->text(), captions[i]);
            QVERIFY(label->geometry().right() < button->geometry().left());
            QCOMPARE(button->x(), setup()->btnDocument->x());
            if (i > 0)
                QVERIFY(button->y() > rows[i - 1].second->y());
        }
        QCOMPARE(setup()->btnMatchFont->text(), QStringLiteral("Match Font"));
        QCOMPARE(setup()->btnHelp->text(), QStringLiteral("&Help"));
        QCOMPARE(setup()->btnClose->text(), QStringLiteral("&Close"));
        QVERIFY(!setup()->btnHelp->icon().isNull() && !setup()->btnClose->icon().isNull());
        QVERIFY(setup()->btnMatchFont->x() < setup()->btnHelp->x());
        QVERIFY(setup()->btnHelp->x() < setup()->btnClose->x());
        QVERIFY(setup()->btnMatchFont->y() > setup()->btnMerge->y());
    }

    void focusOrder()
    {
        showSetup();
        QCOMPARE(QApplication::focusWidget(), setup()->btnSelectNames);
        QList<QWidget*> order;
        for (int i = 0; i < 6; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << QApplication::focusWidget();
        }
        const QList<QWidget*> expected{setup()->btnMerge, setup()->btnMatchFont, setup()->btnHelp,
                                       setup()->btnClose, setup()->btnDocument,  setup()->btnSelectNames};
        QCOMPARE(order, expected);
    }

    // Shown again after closing, it is the same window as before.
    void showAndClose()
    {
        showSetup();
        setup()->btnClose->click();
        QVERIFY(!setup()->isVisible());
        showSetup();
        QVERIFY(setup()->isVisible());
    }

    void documentShowsTheEditorAsItIs()
    {
        editor()->RichEdit1->setPlainText(QStringLiteral("Dear friend"));
        const QString name = editor()->fileName();
        showSetup();
        setup()->btnDocument->click();
        QVERIFY(editor()->isVisible());
        QCOMPARE(editor()->RichEdit1->toPlainText(), QStringLiteral("Dear friend"));
        QCOMPARE(editor()->fileName(), name);
    }

    void selectNamesRunsTheSearchDialogModally()
    {
        showSetup();
        QWidget* shown = nullptr;
        QTimer::singleShot(0, this, [&] {
            shown = QApplication::activeModalWidget();
            if (shown)
                shown->close();
        });
        setup()->btnSelectNames->click();
        QCOMPARE(shown, static_cast<QWidget*>(m_search.get()));
    }

    // The letters of the contacts the main window holds, with the editor's text as it stands, into the preview;
    // the query's current contact is left where it was.
    void mergeRunsTheLettersIntoThePreview()
    {
        editor()->RichEdit1->setPlainText(QStringLiteral("We have moved."));
        data::Dataset& query = m_store->HomeQuery;
        const int contacts = query.recordCount();
        QVERIFY(contacts > 2);
        query.moveTo(1);
        showSetup();
        int pages = 0;
        QString body;
        whenRendered(m_letters->QuickRep1, [&](TfmPreview& preview) {
            pages = preview.shownPages().pageCount();
            const auto& texts = preview.shownPages().richTexts();
            body = texts.empty() ? QString() : texts.front();
        });
        setup()->btnMerge->click();
        QCOMPARE(pages, contacts);
        QVERIFY(body.contains(QStringLiteral("We have moved.")));
        QCOMPARE(query.currentRow(), 1);
        QVERIFY(m_fakes.prompts->asked.isEmpty());
    }

    // With no letter written or opened, Merge asks first; No prints nothing, Yes prints the letters anyway.
    void mergeWithNoLetterAsks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<platform::Answer>("answer");
        QTest::addColumn<bool>("shown");
        QTest::newRow("empty, no") << QString() << platform::Answer::No << false;
        QTest::newRow("only blank lines, no") << QStringLiteral("\n  \n") << platform::Answer::No << false;
        QTest::newRow("empty, yes") << QString() << platform::Answer::Yes << true;
    }
    void mergeWithNoLetterAsks()
    {
        QFETCH(QString, text);
        QFETCH(platform::Answer, answer);
        QFETCH(bool, shown);
        editor()->RichEdit1->setPlainText(text);
        showSetup();
        bool previewed = false;
        if (shown) // a preview that never opens would be waited for without end
            whenRendered(m_letters->QuickRep1, [&](TfmPreview&) { previewed = true; });
        m_fakes.prompts->answers.enqueue(answer);
        setup()->btnMerge->click();
        QCOMPARE(m_fakes.prompts->asked.size(), 1);
        QVERIFY(m_fakes.prompts->asked[0].text.startsWith(QStringLiteral("There is no letter")));
        QCOMPARE(previewed, shown);
    }

    void helpWindow()
    {
        showSetup();
        setup()->btnHelp->click();
        TfmMailMergeHelp* help = m_help.get();
        QVERIFY(help->isVisible());
        QCOMPARE(help->windowTitle(), QStringLiteral("Tovrel Mail Merge Help"));
        QCOMPARE(help->size(), QSize(466, 304));
        QCOMPARE(help->minimumSize(), help->maximumSize());
        QCOMPARE(help->Label1->text(), QStringLiteral("Helpful Information"));
        QCOMPARE(help->RichEdit1->lineWrapMode(), QTextEdit::WidgetWidth);
        const QTextDocument* doc = help->RichEdit1->document();
        QCOMPARE(doc->blockCount(), 17);
        QCOMPARE(doc->findBlockByNumber(8).text(),
                 QStringLiteral("for example, enter EH and select the PostCode field in the list. "));
        QCOMPARE(doc->findBlockByNumber(16).text(),
                 QStringLiteral("If you need to adjust margins etc, print out only one sheet."));

        // Typed text stays for the rest of the run.
        QVERIFY(!help->RichEdit1->isReadOnly());
        QTest::keyClicks(help->RichEdit1, QStringLiteral("My note. "));
        help->close();
        setup()->btnHelp->click();
        QVERIFY(help->RichEdit1->toPlainText().startsWith(QStringLiteral("My note. To perform")));
    }

    // "Match Font" hands the report a copy of the editor's current font with its colour: every attribute.
    void matchFont_data()
    {
        QTest::addColumn<QFont>("chosen");
        QTest::addColumn<QColor>("color");
        QTest::newRow("Arial 14 italic") << font("Arial", 14, false, true, false, false) << QColor(Qt::black);
        QTest::newRow("bold, underlined, struck, coloured")
            << font("Times New Roman", 12.5, true, false, true, true) << QColor(200, 0, 30);
        QFont mono = font("Courier New", 9, false, false, false, false);
        mono.setFixedPitch(true);
        mono.setStyleHint(QFont::TypeWriter);
        QTest::newRow("fixed pitch") << mono << QColor(Qt::darkGreen);
    }
    void matchFont()
    {
        QFETCH(QFont, chosen);
        QFETCH(QColor, color);
        QTextCharFormat coloured;
        coloured.setForeground(color);
        QTextCursor caret = editor()->RichEdit1->textCursor();
        caret.insertText(QStringLiteral("Dear friend"), coloured);
        editor()->RichEdit1->setTextCursor(caret);
        m_fakes.fontDialog->answers.enqueue(chosen);
        editor()->FontChangeExecute();

        showSetup();
        setup()->btnMatchFont->click();
        const TfmMailQR* report = m_letters.get();
        QCOMPARE(report->baseFont(), chosen);
        QCOMPARE(report->baseFontColor(), color);
        QCOMPARE(report->QuickRep1.defaultFont, reports::ReportFont::fromQFont(chosen, color));
        QVERIFY(m_fakes.prompts->asked.isEmpty());

        // Kept until the next "Match Font", also when the window is closed and shown again.
        setup()->btnClose->click();
        showSetup();
        QCOMPARE(report->baseFont(), chosen);
    }

    // Before any "Match Font" the head of the letter is in Arial 10 point; before the editor was ever shown the
    // editor's current font is Times New Roman 12 point bold.
    void matchFontBeforeTheEditorWasShown()
    {
        QCOMPARE(m_letters->QuickRep1.defaultFont, reports::ReportFont::arial(10));
        showSetup();
        setup()->btnMatchFont->click();
        const reports::ReportFont f = m_letters->QuickRep1.defaultFont;
        QCOMPARE(f.family, QStringLiteral("Times New Roman"));
        QCOMPARE(f.pointSize, 12.0);
        QVERIFY(f.bold && !f.italic);
    }
};

QTEST_MAIN(TestMailMergeSetup)
#include "tst_mailmergesetup.moc"

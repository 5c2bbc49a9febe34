// The main window's find box, Undo after a delete and the recently deleted contacts.
#include "MainWindowFixture.h"

#include "data/RecentlyDeleted.h"
#include "mainwindow/RecentlyDeletedBox.h"
#include "search/SearchStatement.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>

class TestMainWindowFindUndo : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFixture> m_p;
    ProgramFixture& p() { return *m_p; }
    TfmHomeAddMain* w() { return m_p->w; }

    QStringList firstnames()
    {
        QStringList names = p().column(QStringLiteral("Firstname"));
        names.sort();
        return names;
    }
    void type(const QString& text)
    {
        w()->edFind->setFocus();
        QTest::keyClicks(w()->edFind, text);
        w()->applyFind(); // what the pause after typing does
    }
    void deleteCurrent()
    {
        p().fakes.prompts->answers.enqueue(platform::Answer::Ok);
        QTest::mouseClick(w()->btnDelete, Qt::LeftButton);
    }

private slots:
    void init()
    {
        m_p = std::make_unique<ProgramFixture>();
        p().start();
    }
    void cleanup() { m_p.reset(); }

    void typingNarrowsAndEscapeRestores()
    {
        QCOMPARE(p().q().recordCount(), 6);
        p().activate();
        QTest::keyClick(w(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), w()->edFind);
        type(QStringLiteral("adams"));
        QCOMPARE(firstnames(), QStringList({"Bob", "Carol"}));
        type(QStringLiteral(" bath")); // every word, in any field
        QCOMPARE(firstnames(), QStringList{"Carol"});
        QTest::keyClick(w()->edFind, Qt::Key_Escape);
        QVERIFY(w()->edFind->text().isEmpty());
        QCOMPARE(p().q().recordCount(), 6);
        QVERIFY(p().errors().isEmpty());
    }

    // Each keystroke narrows at once; taking a letter back widens again, and an edit made meanwhile stays.
    void keystrokesNarrowAndWidenAgain()
    {
        w()->edFind->setFocus();
        QTest::keyClicks(w()->edFind, QStringLiteral("adamsx"));
        QCOMPARE(p().q().recordCount(), 0);
        QTest::keyClick(w()->edFind, Qt::Key_Backspace);
        QCOMPARE(firstnames(), QStringList({"Bob", "Carol"}));
        p().q().edit();
        p().q().setFieldValue(QStringLiteral("Town"), QStringLiteral("Wells"));
        QTest::keyClicks(w()->edFind, QStringLiteral(" wel"));
        QCOMPARE(p().q().recordCount(), 1); // saved first, then found by its new town
        QTest::keyClick(w()->edFind, Qt::Key_Escape);
        QCOMPARE(p().q().recordCount(), 6);
        QVERIFY(p().errors().isEmpty());
    }

    // The letter chosen and the words typed both apply, whichever came first.
    void combinesWithTheLetterFilter()
    {
        auto* a = w()->RadioGroup1->findChild<QRadioButton*>(QStringLiteral("RadioGroup1_A"));
        QTest::mouseClick(a, Qt::LeftButton);
        QCOMPARE(p().q().recordCount(), 2);
        type(QStringLiteral("york"));
        QCOMPARE(firstnames(), QStringList{"Bob"});
        auto* z = w()->RadioGroup1->findChild<QRadioButton*>(QStringLiteral("RadioGroup1_Z"));
        QTest::mouseClick(z, Qt::LeftButton); // Zoë, of Łódź: no York
        QTRY_COMPARE(p().q().recordCount(), 0);
        QTest::keyClick(w()->edFind, Qt::Key_Escape);
        QCOMPARE(firstnames(), QStringList{"Dana"}); // the letter's selection as it was
        // Reset shows everyone and empties the box.
        type(QStringLiteral("kent"));
        QTest::mouseClick(w()->sqRetryBtn, Qt::LeftButton);
        QVERIFY(w()->edFind->text().isEmpty());
        QCOMPARE(p().q().recordCount(), 6);
    }

    void undoBringsBackTheContactJustDeleted()
    {
        QVERIFY(!w()->miUndoDelete->isEnabled());
        p().q().moveTo(2);
        const QString name = p().q().text(2, QStringLiteral("Firstname"));
        const qint64 key = p().q().rowKey(2);
        deleteCurrent();
        QCOMPARE(p().storedCount(), 5);
        QVERIFY(w()->miUndoDelete->isEnabled());
        w()->miUndoDelete->trigger();
        QCOMPARE(p().storedCount(), 6);
        QCOMPARE(p().q().rowKey(p().q().currentRow()), key);
        QCOMPARE(p().q().currentText(QStringLiteral("Firstname")), name);
        QVERIFY(!w()->miUndoDelete->isEnabled());
        QVERIFY(data::deleted::list(p().store().connection.handle()).isEmpty());
    }

    // The window's shortcuts work from the find box, which has the focus at start-up: Ctrl+Z undoes the last
    // delete unless the box holds typing of its own since then, and Ctrl+E closes the window.
    void shortcutsWorkFromTheFindBox()
    {
        p().activate();
        type(QStringLiteral("adams"));
        deleteCurrent();
        QCOMPARE(p().storedCount(), 5);
        QTest::keyClick(w(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), w()->edFind);
        QTest::keyClick(w()->edFind, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(p().storedCount(), 6);
        QCOMPARE(w()->edFind->text(), QStringLiteral("adams")); // the box's words stay

        deleteCurrent();
        w()->edFind->setFocus();
        QTest::keyClick(w()->edFind, Qt::Key_End);
        QTest::keyClicks(w()->edFind, QStringLiteral("x"));
        QTest::keyClick(w()->edFind, Qt::Key_Z, Qt::ControlModifier); // the box's own typing first
        QCOMPARE(w()->edFind->text(), QStringLiteral("adams"));
        QCOMPARE(p().storedCount(), 5);

        QTest::keyClick(w()->edFind, Qt::Key_E, Qt::ControlModifier);
        QVERIFY(!w()->isVisible());
    }

    // What the window shows is what is true now: Delete greyed out while the find box shows nobody, no letter
    // chosen after a search over every contact, no count of a search after Reset, no Undo after a Restore.
    void stateFollowsWhatIsShown()
    {
        type(QStringLiteral("nobody"));
        QCOMPARE(p().q().recordCount(), 0);
        QVERIFY(!w()->btnDelete->isEnabled());
        QTest::keyClick(w()->edFind, Qt::Key_Escape);
        QVERIFY(w()->btnDelete->isEnabled());

        auto* a = w()->RadioGroup1->findChild<QRadioButton*>(QStringLiteral("RadioGroup1_A"));
        QTest::mouseClick(a, Qt::LeftButton);
        p().table().set(platform::Command::SearchDialog, [this] {
            p().q().close();
            p().q().setSql(search::searchStatement(QStringLiteral("Town"), QStringLiteral("o"), false));
            p().q().open();
        });
        w()->HomeSearchClick();
        QCOMPARE(w()->radioItemIndex(), -1);
        QVERIFY(!a->isChecked());
        QCOMPARE(w()->statusPanelText(0), QStringLiteral("%1 contacts found").arg(p().q().recordCount()));
        QTest::mouseClick(a, Qt::LeftButton); // chosen again, the letter applies again
        QCOMPARE(p().q().recordCount(), 2);
        QCOMPARE(w()->statusPanelText(0), QString());
        w()->HomeSearchClick();
        QTest::mouseClick(w()->sqRetryBtn, Qt::LeftButton);
        QCOMPARE(w()->statusPanelText(0), QString());

        deleteCurrent();
        QVERIFY(w()->miUndoDelete->isEnabled());
        w()->backupDone(QStringLiteral("Restored"), true);
        QVERIFY(!w()->miUndoDelete->isEnabled());
        QCOMPARE(w()->statusPanelText(0), QStringLiteral("Restored"));
    }

    void recentlyDeletedListsNewestFirstAndRestores()
    {
        p().q().moveTo(0);
        const QString first = p().q().currentText(QStringLiteral("Surname"));
        deleteCurrent();
        p().fakes.clock->current = p().fakes.clock->current.addSecs(3600);
        const QString second = p().q().currentText(QStringLiteral("Surname"));
        deleteCurrent();
        QCOMPARE(p().q().recordCount(), 4);

        QTimer::singleShot(0, w(), [&] {
            auto* box = w()->findChild<mainwindow::RecentlyDeletedBox*>();
            QVERIFY(box);
            QCOMPARE(box->list->rowCount(), 2);
            QCOMPARE(box->list->item(0, 1)->text(), second);
            QCOMPARE(box->list->item(1, 1)->text(), first);
            box->list->selectRow(1);
            QTest::mouseClick(box->btnRestore, Qt::LeftButton);
            QCOMPARE(box->list->rowCount(), 1);
            box->reject();
        });
        w()->miRecentlyDeleted->trigger();
        QCOMPARE(p().q().recordCount(), 5);
        QCOMPARE(p().q().currentText(QStringLiteral("Surname")), first);
        QVERIFY(p().errors().isEmpty());
    }
};

QTEST_MAIN(TestMainWindowFindUndo)
#include "tst_mainwindow_findundo.moc"

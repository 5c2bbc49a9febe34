// Editing in the main grid: in-place editors, the keys of the grid, the County drop-down, the title row cursor.
#include "MainWindowFixture.h"

#include "data/widgets/DBEdit.h"
#include "records/RecordCard.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using State = data::Dataset::State;

class TestMainWindowEdit : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFixture> m_p;
    ProgramFixture& p() { return *m_p; }
    mainwindow::ContactGrid* grid() { return m_p->w->dbGrid1; }
    static constexpr int TownColumn = 5;

    QModelIndex cell(int row, int column) { return grid()->model()->index(row, column); }

    void clickCell(int row, int column)
    {
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, grid()->visualRect(cell(row, column)).center());
    }

    // Types into the grid as a user does: the first key opens the editor, the rest go to the editor.
    void type(const QString& text)
    {
        for (const QChar c : text) {
            QWidget* target = QApplication::focusWidget();
            QTest::keyClick(target ? target : grid(), c.toLatin1());
        }
    }

    void key(Qt::Key k, Qt::KeyboardModifiers mods = {})
    {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target ? target : grid(), k, mods);
        QCoreApplication::processEvents(); // Enter in an editor commits through a queued call
    }

    // The value in the table, read outside the program, of the contact shown in a row.
    QString stored(const QString& field, int row)
    {
        return testsupport::query(
                   p().file(QStringLiteral("Tovrel.mdb")),
                   QStringLiteral("SELECT \"%1\" FROM HomeAd WHERE ID = %2").arg(field).arg(p().q().rowKey(row)))
            .value(0);
    }

    QString indicator(int row) { return grid()->model()->headerData(row, Qt::Vertical).toString(); }

private slots:
    void init()
    {
        m_p = std::make_unique<ProgramFixture>();
        p().start();
        p().activate();
        grid()->setFocus();
        QVERIFY(grid()->hasFocus());
    }
    void cleanup() { m_p.reset(); }

    void typingEditsTheRowAndMovingSavesIt()
    {
        clickCell(2, TownColumn); // Brown, Leeds
        QCOMPARE(p().q().currentRow(), 2);
        type(QStringLiteral("Hull"));
        QVERIFY(grid()->isEditing());
        QCOMPARE(p().q().state(), State::Edit);
        QCOMPARE(indicator(2), QStringLiteral("I"));
        QVERIFY(p().fakes.sound->files.isEmpty());
        key(Qt::Key_Down);
        QCOMPARE(p().q().state(), State::Browse);
        QCOMPARE(p().q().currentRow(), 3);
        QCOMPARE(stored(QStringLiteral("Town"), 2), QStringLiteral("Hull"));
        QCOMPARE(p().fakes.sound->files, QStringList{"post.wav"});
        QCOMPARE(indicator(3), QStringLiteral("\u25B6"));
    }

    void clickingAnotherRowSavesToo()
    {
        clickCell(1, TownColumn);
        type(QStringLiteral("Hull"));
        clickCell(4, 0);
        QCOMPARE(p().q().currentRow(), 4);
        QCOMPARE(stored(QStringLiteral("Town"), 1), QStringLiteral("Hull"));
        QCOMPARE(p().fakes.sound->files.size(), 1);
    }

    void escAbandonsTheEdit_data()
    {
        QTest::addColumn<bool>("closeEditorFirst");
        QTest::newRow("in the cell") << false;
        QTest::newRow("after the cell was left") << true;
    }
    void escAbandonsTheEdit()
    {
        QFETCH(bool, closeEditorFirst);
        clickCell(2, TownColumn);
        type(QStringLiteral("Hull"));
        if (closeEditorFirst) {
            key(Qt::Key_Return); // the cell's editor closes: the row stays in editing
            QVERIFY(!grid()->isEditing());
            QCOMPARE(p().q().state(), State::Edit);
            QCOMPARE(p().q().text(2, QStringLiteral("Town")), QStringLiteral("Hull"));
        }
        key(Qt::Key_Escape);
        QCOMPARE(p().q().state(), State::Browse);
        QCOMPARE(p().q().text(2, QStringLiteral("Town")), QStringLiteral("Leeds"));
        QCOMPARE(stored(QStringLiteral("Town"), 2), QStringLiteral("Leeds"));
        QVERIFY(p().fakes.sound->files.isEmpty());
    }

    // The record card's "Next >>" while a cell editor is open: the typed text goes nowhere, least of all into the
    // row that becomes current.
    void aMoveFromElsewhereClosesTheEditorUnwritten()
    {
        clickCell(2, TownColumn);
        type(QStringLiteral("Hull"));
        p().q().next();
        QCoreApplication::processEvents();
        QVERIFY(!grid()->isEditing());
        QCOMPARE(grid()->currentIndex().row(), 3);
        QCOMPARE(p().q().text(2, QStringLiteral("Town")), QStringLiteral("Leeds"));
        QVERIFY(p().q().text(3, QStringLiteral("Town")) != QStringLiteral("Hull"));
        QCOMPARE(p().q().state(), State::Browse);
        QVERIFY(p().fakes.sound->files.isEmpty());
    }

    void insertKeyAddsARowAtTheCurrentPlace()
    {
        clickCell(3, 0);
        key(Qt::Key_Insert);
        QCOMPARE(p().q().state(), State::Insert);
        QCOMPARE(p().q().currentRow(), 3);
        QCOMPARE(grid()->currentIndex().row(), 3);
        QCOMPARE(indicator(3), QStringLiteral("*"));
        type(QStringLiteral("New"));
        key(Qt::Key_Up);
        QCOMPARE(p().q().state(), State::Browse);
        QCOMPARE(p().storedCount(), 7);
        QCOMPARE(stored(QStringLiteral("Surname"), 3), QStringLiteral("New"));
    }

    void downPastTheLastRowAppends()
    {
        clickCell(5, 0);
        key(Qt::Key_Down);
        QCOMPARE(p().q().state(), State::Insert);
        QCOMPARE(p().q().recordCount(), 7);
        QCOMPARE(grid()->currentIndex().row(), 6);
        // A further Down on the untouched new row adds nothing.
        key(Qt::Key_Down);
        QCOMPARE(p().q().recordCount(), 7);
        // Typed into, it is saved by the next Down, which adds the next row.
        type(QStringLiteral("Last"));
        key(Qt::Key_Down);
        QCOMPARE(p().storedCount(), 7);
        QCOMPARE(p().q().recordCount(), 8);
        QCOMPARE(p().q().state(), State::Insert);
        // Moving up drops the untouched one again.
        key(Qt::Key_Up);
        QCOMPARE(p().q().recordCount(), 7);
        QCOMPARE(p().q().state(), State::Browse);
    }

    void ctrlDeleteAsks_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("left");
        QTest::addColumn<bool>("ctrl");
        QTest::newRow("Ctrl+Delete, OK") << int(platform::Answer::Ok) << 5 << true;
        QTest::newRow("Ctrl+Delete, Cancel") << int(platform::Answer::Cancel) << 6 << true;
        QTest::newRow("Delete, OK") << int(platform::Answer::Ok) << 5 << false;
        QTest::newRow("Delete, Cancel") << int(platform::Answer::Cancel) << 6 << false;
    }
    void ctrlDeleteAsks()
    {
        QFETCH(int, answer);
        QFETCH(int, left);
        QFETCH(bool, ctrl);
        clickCell(1, 0);
        p().fakes.prompts->answers.enqueue(platform::Answer(answer));
        key(Qt::Key_Delete, ctrl ? Qt::ControlModifier : Qt::NoModifier);
        QCOMPARE(p().fakes.prompts->asked.size(), 1);
        QCOMPARE(p().fakes.prompts->asked.first().caption, QStringLiteral("Confirm"));
        QCOMPARE(p().fakes.prompts->asked.first().text, QStringLiteral("Delete Carol Adams?"));
        QCOMPARE(p().fakes.prompts->asked.first().buttons, platform::Buttons::OkCancel);
        QCOMPARE(p().storedCount(), left);
        QCOMPARE(grid()->model()->rowCount(), left);
    }

    // The manual's first steps: Record, then each field typed with Tab to the next; Tab from the last column goes
    // on to the next row, which stores the new contact. Nothing typed on the way lands on a button.
    void typingANewContactByTabStoresIt()
    {
        QTest::mouseClick(p().w->BitBtn3, Qt::LeftButton);
        QCOMPARE(p().q().state(), State::Insert);
        const QStringList values = {"Newman", "Nina", "1 High St", "", "Ashby", "Hull", "Kent", "HU1 1AA", "01482 1",
                                    "07700 1"};
        for (const QString& value : values) {
            type(value);
            key(Qt::Key_Tab);
        }
        QCOMPARE(p().q().state(), State::Browse);
        QCOMPARE(p().storedCount(), 7);
        const QStringList row = testsupport::query(
            p().file(QStringLiteral("Tovrel.mdb")),
            QStringLiteral("SELECT Firstname||'|'||Address1||'|'||A3_Village||'|'||Town||'|'||County||'|'||PostCode||'|'||"
                           "Tel||'|'||Cell FROM HomeAd WHERE Surname = 'Newman'"));
        QCOMPARE(row, QStringList{"Nina|1 High St|Ashby|Hull|Kent|HU1 1AA|01482 1|07700 1"});
        QCOMPARE(grid()->currentIndex().column(), 0);
        QVERIFY(grid()->hasFocus());
        QVERIFY(p().fakes.prompts->asked.isEmpty());
        QVERIFY(p().commands.isEmpty());
    }

    // Tab and Shift+Tab move from cell to cell and on to the next or previous row, from a cell or from its open
    // editor (what was typed is kept); Ctrl+Tab and Ctrl+Shift+Tab leave the grid, as its description says.
    void tabMovesAlongTheRowCtrlTabLeaves_data()
    {
        QTest::addColumn<bool>("editing");
        QTest::newRow("from a cell") << false;
        QTest::newRow("from the cell's editor") << true;
    }
    void tabMovesAlongTheRowCtrlTabLeaves()
    {
        QFETCH(bool, editing);
        QVERIFY(grid()->accessibleDescription().contains(QStringLiteral("Ctrl+Tab")));
        clickCell(1, 8);
        if (editing)
            type(QStringLiteral("0113"));
        key(Qt::Key_Tab);
        QCOMPARE(grid()->currentIndex(), cell(1, 9));
        QCOMPARE(grid()->isEditing(), editing); // the editor goes along the row being typed
        key(Qt::Key_Tab);
        QCOMPARE(grid()->currentIndex(), cell(2, 0));
        QCOMPARE(grid()->isEditing(), false); // another row: a stored contact is not opened for typing
        if (editing)
            QCOMPARE(stored(QStringLiteral("Tel"), 1), QStringLiteral("0113"));
        key(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(grid()->currentIndex(), cell(1, 9));
        if (editing)
            type(QStringLiteral("07700"));
        key(Qt::Key_Tab, Qt::ControlModifier);
        QVERIFY(!grid()->isAncestorOf(QApplication::focusWidget()) && QApplication::focusWidget() != grid());
        QVERIFY(p().w->isAncestorOf(QApplication::focusWidget()));
        if (editing) // kept, still being typed: only Esc or Cancel gives it up
            QCOMPARE(p().q().text(1, QStringLiteral("Cell")), QStringLiteral("07700"));
        key(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), grid());
        QCOMPARE(grid()->currentIndex(), cell(1, 9));
        key(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(QApplication::focusWidget() != grid());
        QVERIFY(p().w->isAncestorOf(QApplication::focusWidget()));
    }

    // Tab from the last row's last cell adds a row, as Down does, and Shift+Tab stops at the first cell.
    void tabAtTheEndsOfTheGrid()
    {
        clickCell(5, 9);
        key(Qt::Key_Tab);
        QCOMPARE(p().q().state(), State::Insert);
        QCOMPARE(p().q().recordCount(), 7);
        QTRY_VERIFY(grid()->isEditing());
        QCOMPARE(grid()->currentIndex(), cell(6, 0));
        key(Qt::Key_Escape);
        QCOMPARE(p().q().recordCount(), 6);
        clickCell(0, 0);
        key(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), grid());
        QCOMPARE(grid()->currentIndex(), cell(0, 0));
    }

    // A character refused by a full field is named at once in the status bar: in a grid cell and on the card.
    void refusedCharacterIsNamed_data()
    {
        QTest::addColumn<bool>("onTheCard");
        QTest::newRow("grid cell") << false;
        QTest::newRow("record card") << true;
    }
    void refusedCharacterIsNamed()
    {
        QFETCH(bool, onTheCard);
        const QString full = QStringLiteral("Kingston upon Thames"); // 20 characters, all Town holds
        std::unique_ptr<TfmRecCard> card;
        if (onTheCard) {
            card = std::make_unique<TfmRecCard>(p().q(), p().w);
            card->show();
            card->activateWindow();
            QApplication::setActiveWindow(card.get());
            QVERIFY(QTest::qWaitForWindowActive(card.get()));
            card->box(QStringLiteral("Town"))->setFocus();
            card->box(QStringLiteral("Town"))->selectAll();
        } else {
            clickCell(1, TownColumn);
        }
        type(full.left(19));
        QCOMPARE(p().w->statusPanelText(0).contains(QStringLiteral("at most")), false);
        type(QStringLiteral("sX"));
        const QString refused = QStringLiteral("Town holds at most 20 characters: \"X\" was not added");
        QCOMPARE(p().w->statusPanelText(0), refused);
        if (onTheCard) {
            // The card covers the status bar: it says so itself, until the next key.
            QCOMPARE(card->messageLine->text(), refused);
            QVERIFY(card->messageLine->isVisible());
            type(QStringLiteral("\b"));
            QCOMPARE(card->messageLine->text(), QString());
        }
    }

    // An empty book: Delete is greyed out and the Delete key asks nothing.
    void nothingToDelete()
    {
        QVERIFY(p().w->btnDelete->isEnabled());
        m_p = std::make_unique<ProgramFixture>();
        p().start({});
        p().activate();
        QVERIFY(!p().w->btnDelete->isEnabled());
        grid()->setFocus();
        key(Qt::Key_Delete);
        QVERIFY(p().fakes.prompts->asked.isEmpty());
        key(Qt::Key_Insert); // a new row can be given up with Delete
        QVERIFY(p().w->btnDelete->isEnabled());
    }

    void untouchedNewRowIsDroppedWhenTheGridLosesTheFocus()
    {
        clickCell(2, 0);
        key(Qt::Key_Insert);
        QCOMPARE(p().q().recordCount(), 7);
        // Focus to another window keeps it: the grid is still its window's focused control.
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QCOMPARE(p().q().recordCount(), 7);
        p().activate();
        // Focus to another control of the window drops it.
        p().w->sqRetryBtn->setFocus(Qt::TabFocusReason);
        QCOMPARE(p().q().recordCount(), 6);
        QCOMPARE(p().q().state(), State::Browse);
        QCOMPARE(p().storedCount(), 6);

        // A new row with something typed in it stays, still being inserted.
        grid()->setFocus();
        key(Qt::Key_Insert);
        type(QStringLiteral("Kept"));
        p().w->sqRetryBtn->setFocus(Qt::TabFocusReason);
        QCOMPARE(p().q().state(), State::Insert);
        QCOMPARE(p().q().currentText(QStringLiteral("Surname")), QStringLiteral("Kept"));
    }

    void clickingBelowAnUntouchedNewRowLandsOnTheClickedContact()
    {
        clickCell(1, 0);
        key(Qt::Key_Insert); // the new row is row 1, pushing the others down
        const QString target = p().q().text(4, QStringLiteral("Surname"));
        clickCell(4, 0);
        QCOMPARE(p().q().recordCount(), 6);
        QCOMPARE(p().q().currentText(QStringLiteral("Surname")), target);
        QCOMPARE(grid()->currentIndex().row(), p().q().currentRow());
    }

    // A click on the cell that is already current opens its editor once no double click can follow. Keys typed
    // before then used to be swallowed while the view waited; now the first of them opens the editor.
    void typingRightAfterAClickOnTheNewRowLosesNoKey_data()
    {
        QTest::addColumn<bool>("waitForTheEditor");
        QTest::newRow("typing at once") << false;
        QTest::newRow("typing once the editor is open") << true;
    }
    void typingRightAfterAClickOnTheNewRowLosesNoKey()
    {
        QFETCH(bool, waitForTheEditor);
        QTest::mouseClick(p().w->BitBtn3, Qt::LeftButton); // "R&ecord"
        QCOMPARE(p().q().state(), State::Insert);
        const int row = p().q().currentRow();
        QTRY_COMPARE(grid()->currentIndex(), cell(row, 0));
        // The new row's first cell is being edited at once: what is typed next goes into it.
        QVERIFY(grid()->isEditing());
        QVERIFY(grid()->isAncestorOf(QApplication::focusWidget()));
        key(Qt::Key_Return); // closed unchanged, the row stays new and untouched
        QCOMPARE(p().q().state(), State::Insert);
        clickCell(row, 0); // the new row's Surname cell, current already
        if (waitForTheEditor)
            QTRY_VERIFY(grid()->isEditing());
        type(QStringLiteral("Zylstra"));
        QVERIFY(grid()->isEditing());
        QCOMPARE(p().q().currentText(QStringLiteral("Surname")), QString()); // not written before the editor closes
        key(Qt::Key_Return);
        key(Qt::Key_Down);
        QCOMPARE(p().q().state(), State::Browse);
        QCOMPARE(p().column(QStringLiteral("Surname")).count(QStringLiteral("Zylstra")), 1);
        QCOMPARE(testsupport::query(p().file(QStringLiteral("Tovrel.mdb")),
                                    QStringLiteral("SELECT count(*) FROM HomeAd WHERE Surname = 'Zylstra'")),
                 QStringList{"1"});
        // The wait that was cut short opens no second editor later.
        QTest::qWait(2 * QApplication::doubleClickInterval());
        QVERIFY(!grid()->isEditing());
    }

    // The County list drops down as wide as its longest entry, however narrow the column.
    void countyListIsAsWideAsItsLongestEntry()
    {
        const QString longest = QStringLiteral("Greater London (City of Westminster)");
        p().w->setCountyPickList({"Kent", longest, "Avon"});
        grid()->setColumnWidth(TfmHomeAddMain::CountyColumn, 60);
        clickCell(2, TfmHomeAddMain::CountyColumn);
        key(Qt::Key_F2);
        auto* combo = grid()->findChild<QComboBox*>();
        QVERIFY(combo);
        combo->showPopup();
        QAbstractItemView* list = combo->view();
        QTRY_VERIFY(list->isVisible());
        QVERIFY(list->viewport()->width() >= list->fontMetrics().horizontalAdvance(longest));
        const QModelIndex entry = list->model()->index(1, 0);
        QVERIFY(list->visualRect(entry).width() >= list->sizeHintForIndex(entry).width());
        combo->hidePopup();
    }

    void countyCellOffersThePickList()
    {
        const QStringList picks = {"Somerset", "Avon", "", "Kent", "Kent"};
        p().w->setCountyPickList(picks);
        QCOMPARE(p().w->countyPickList(), picks);
        clickCell(2, TfmHomeAddMain::CountyColumn);
        key(Qt::Key_F2);
        auto* combo = qobject_cast<QComboBox*>(QApplication::focusWidget()->parentWidget());
        if (!combo)
            combo = qobject_cast<QComboBox*>(QApplication::focusWidget());
        QVERIFY(combo);
        QVERIFY(combo->isEditable());
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        QCOMPARE(items, picks);
        QCOMPARE(combo->currentText(), QStringLiteral("West Yorkshire"));

        // A choice from the list, then any other text.
        combo->setCurrentIndex(1);
        emit combo->activated(1);
        QCOMPARE(p().q().state(), State::Edit);
        key(Qt::Key_Return);
        QCOMPARE(p().q().text(2, QStringLiteral("County")), QStringLiteral("Avon"));
        key(Qt::Key_F2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        type(QStringLiteral("Narnia"));
        key(Qt::Key_Return);
        key(Qt::Key_Up);
        QCOMPARE(stored(QStringLiteral("County"), 2), QStringLiteral("Narnia"));
    }

    void editorsKeepToTheFieldLength()
    {
        clickCell(0, 7); // PostCode: 10 characters
        type(QStringLiteral("ABCDEFGHIJKLMN"));
        key(Qt::Key_Return);
        QCOMPARE(p().q().text(0, QStringLiteral("PostCode")), QStringLiteral("ABCDEFGHIJ"));
        QVERIFY(p().errors().isEmpty());
    }

    void pointingHandOverTheTitleRowOnly()
    {
        QHeaderView* header = grid()->horizontalHeader();
        QCOMPARE(header->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(grid()->viewport()->cursor().shape(), Qt::ArrowCursor);
        // Over a column border the resize arrow, then the hand again.
        const int border = header->sectionViewportPosition(1) - 1;
        QMouseEvent onBorder(QEvent::MouseMove, QPointF(border, header->height() / 2.0),
                             header->viewport()->mapToGlobal(QPointF(border, header->height() / 2.0)), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(header->viewport(), &onBorder);
        QCOMPARE(header->cursor().shape(), Qt::SplitHCursor);
        const QPointF middle(header->sectionViewportPosition(2) + 20, header->height() / 2.0);
        QMouseEvent inside(QEvent::MouseMove, middle, header->viewport()->mapToGlobal(middle), Qt::NoButton,
                           Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(header->viewport(), &inside);
        QCOMPARE(header->cursor().shape(), Qt::PointingHandCursor);
    }

    void enterWithoutAnEditorIsTheDefaultButton()
    {
        clickCell(2, 0);
        key(Qt::Key_Return);
        QCOMPARE(p().q().state(), State::Insert);
        QCOMPARE(p().q().currentRow(), 2);
    }
};

QTEST_MAIN(TestMainWindowEdit)
#include "tst_mainwindow_edit.moc"

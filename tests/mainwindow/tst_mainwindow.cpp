// The main window: its layout, menu, alphabet filter, Reset, title sort and row commands.
#include "MainWindowFixture.h"

#include "mainwindow/MainWindowHints.h"
#include "data/widgets/DBNavigator.h"
#include "search/ui/SearchDialog.h"

#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

class TestMainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFixture> m_p;
    ProgramFixture& p() { return *m_p; }
    TfmHomeAddMain* w() { return m_p->w; }

    QRadioButton* letter(const QString& caption)
    {
        return w()->RadioGroup1->findChild<QRadioButton*>(QStringLiteral("RadioGroup1_") + caption);
    }

    void clickTitle(int column)
    {
        QHeaderView* header = w()->dbGrid1->horizontalHeader();
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    }

    // The action of a menu path such as "&Reports/&Address Labels/16 per A4 sheet".
    QAction* menuAction(const QString& path)
    {
        QList<QAction*> actions = w()->menuBar()->actions();
        QAction* found = nullptr;
        for (const QString& part : path.split(QLatin1Char('/'))) {
            found = nullptr;
            for (QAction* a : actions)
                if (a->text() == part)
                    found = a;
            if (!found)
                return nullptr;
            actions = found->menu() ? found->menu()->actions() : QList<QAction*>();
        }
        return found;
    }

    // The sample's towns in the order people read them ("Łódź" among the L's), or the other way round.
    static QStringList townsInOrder(bool descending)
    {
        QStringList towns{"Bath", "Dover", "Leeds", QString::fromUtf8("Łódź"), "Truro", "York"};
        if (descending)
            std::reverse(towns.begin(), towns.end());
        return towns;
    }

private slots:
    void init()
    {
        m_p = std::make_unique<ProgramFixture>();
        p().start();
    }
    void cleanup() { m_p.reset(); }

    void layoutOfTheWindow()
    {
        QCOMPARE(w()->windowTitle(), QStringLiteral("Tovrel"));
        QCOMPARE(w()->centralWidget()->palette().color(QPalette::Window), QColor(255, 198, 198));
        QVERIFY(p().errors().isEmpty());
        QVERIFY(p().q().isOpen());
        QCOMPARE(w()->dbGrid1->model()->rowCount(), 6);

        const QStringList titles = {"Surname", "Firstname", "Address1", "Address2", "Add3 / Village",
                                    "Town",    "County",    "PostCode", "Tel",      "Cell"};
        const QList<int> widths = {76, 103, 103, 108, 108, 80, 86, -1, -1, -1};
        for (int c = 0; c < titles.size(); ++c) {
            QCOMPARE(w()->dbGrid1->model()->headerData(c, Qt::Horizontal).toString(), titles[c]);
            if (widths[c] > 0)
                QCOMPARE(w()->dbGrid1->columnWidth(c), widths[c]);
        }
        // Widths from the display width: 12 characters for PostCode, 15 for Cell.
        QVERIFY(w()->dbGrid1->columnWidth(7) > 0);
        QVERIFY(w()->dbGrid1->columnWidth(9) > w()->dbGrid1->columnWidth(7));
        // Tel holds a whole phone number with its country code.
        const QFontMetrics metrics(w()->dbGrid1->font());
        QVERIFY(w()->dbGrid1->columnWidth(8) > metrics.horizontalAdvance(QStringLiteral("+44 (0)1234 567890")));

        QCOMPARE(w()->BitBtn3->parentWidget()->width(), 104);
        QCOMPARE(w()->DBNavigator1->parentWidget()->height(), 36);
        QCOMPARE(w()->RadioGroup1->title(), QStringLiteral("   Surname"));
        QCOMPARE(w()->radioItemIndex(), -1);
        const auto radios = w()->RadioGroup1->findChildren<QRadioButton*>();
        QCOMPARE(radios.size(), 27);
        // Two columns, filled top to bottom: "A" over "B", "O" beside "A", "All" last under "Z".
        QCOMPARE(letter("B")->x(), letter("A")->x());
        QCOMPARE(letter("O")->y(), letter("A")->y());
        QVERIFY(letter("O")->x() > letter("A")->x());
        QCOMPARE(letter("All")->x(), letter("Z")->x());
        QVERIFY(letter("All")->y() > letter("Z")->y());
        QVERIFY(w()->BitBtn3->isDefault());

        using Nav = data::DBNavigator;
        QCOMPARE(w()->DBNavigator1->visibleButtons(),
                 QList<Nav::Button>({Nav::First, Nav::Prior, Nav::Next, Nav::Last, Nav::Post}));
        QCOMPARE(w()->StatusBar1->findChildren<QLabel*>().size(), 2);
        QCOMPARE(w()->StatusBar1->findChildren<QLabel*>().first()->width(), 550);
    }

    void buttons_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("command");
        QTest::newRow("BitBtn3") << "BitBtn3"
                                 << "R&ecord"
                                 << "Insert new record into table"
                                 << "";
        QTest::newRow("BitBtn2") << "BitBtn2"
                                 << "&Cancel"
                                 << "Cancel updates"
                                 << "";
        QTest::newRow("btnDelete") << "btnDelete"
                                   << "&Delete"
                                   << "Delete 1 row"
                                   << "";
        QTest::newRow("btnRecCard") << "btnRecCard"
                                    << "Rec&ord Card"
                                    << "Index Card for data entry"
                                    << "recordCard";
        QTest::newRow("btEditCounty") << "btEditCounty"
                                      << "Ed&itCounty"
                                      << "Edit List of Counties"
                                      << "countyEditor";
        QTest::newRow("HomeSearch") << "HomeSearch"
                                    << "Se&arch"
                                    << "Search & Filter"
                                    << "";
        QTest::newRow("sqRetryBtn") << "sqRetryBtn"
                                    << "Rese&t"
                                    << "Shows all names again"
                                    << "";
        QTest::newRow("BitBtn1") << "BitBtn1"
                                 << "C&lose"
                                 << "Closes Application"
                                 << "";
    }
    void buttons()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, hint);
        QFETCH(QString, command);
        auto* button = w()->findChild<QPushButton*>(name);
        QVERIFY(button);
        QCOMPARE(button->text(), caption);
        QCOMPARE(button->statusTip(), hint);
        QCOMPARE(button->toolTip(), hint);
        if (!command.isEmpty()) {
            QTest::mouseClick(button, Qt::LeftButton);
            QCOMPARE(p().commands, QStringList{command});
        }
    }

    void menuBarReadsLeftToRight()
    {
        QStringList captions;
        for (QAction* a : w()->menuBar()->actions())
            captions << a->text();
        QCOMPARE(captions, QStringList({"&File", "&Search", "&Reports", "&Mail Merge", "&Notepad", "&Help"}));
        QCOMPARE(menuAction("&Search")->statusTip(), QStringLiteral("Search & Filter"));
        QCOMPARE(menuAction("&Reports")->statusTip(), QStringLiteral("Selection of useful Reports"));
        QCOMPARE(menuAction("&Mail Merge")->statusTip(), QStringLiteral("Prints a letter to each contact shown"));
        QCOMPARE(menuAction("&Notepad")->statusTip(), QStringLiteral("Opens Text Editor"));
        auto texts = [](QMenu* m) {
            QStringList out;
            for (QAction* a : m->actions())
                out << (a->isSeparator() ? QStringLiteral("-") : a->text());
            return out;
        };
        QCOMPARE(texts(w()->mnFile),
                 QStringList({"&Backup", "&Restore", "&Import...", "Expor&t...", "S&hared Address Book…",
                              "S&ynchronise", "&Undo Delete", "Recently &Deleted…", "-", "Text Si&ze", "&Printer Setup",
                              "E&xit"}));
        QCOMPARE(texts(w()->mnReports),
                 QStringList({"Phone &List", "&Address Labels", "Labels on &Other Stock…", "&Envelopes…",
                              "&Birthdays", "Birthdays at Start-&up", "&FiloFax Pages", "A&5 Diary Pages", "-", "&Record Form "}));
        QCOMPARE(texts(w()->mnAddressLabels), QStringList({"21 per A4 sheet", "16 per A4 sheet", "14 per A4 sheet"}));
        QCOMPARE(texts(w()->mnHelp), QStringList({"&Help", "Hel&p Note", "&About"}));
    }

    void menuItems_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("command");
        QTest::newRow("Backup") << "&File/&Backup"
                                << "Ctrl+B"
                                << ""
                                << "backup";
        QTest::newRow("Restore") << "&File/&Restore"
                                 << "Ctrl+R"
                                 << ""
                                 << "restore";
        QTest::newRow("Import") << "&File/&Import..."
                                << ""
                                << "Adds contacts from a vCard, CSV or Access-format file"
                                << "import";
        QTest::newRow("Export") << "&File/Expor&t..."
                                << ""
                                << "Writes the contacts shown to a vCard or CSV file"
                                << "export";
        QTest::newRow("Shared Address Book") << "&File/S&hared Address Book…"
                                             << ""
                                             << "Sets up the address book shared with a CardDAV server"
                                             << "sharedBook";
        QTest::newRow("Synchronise") << "&File/S&ynchronise"
                                     << ""
                                     << "Exchanges changes with the shared address book"
                                     << "synchronise";
        QTest::newRow("Birthdays") << "&Reports/&Birthdays"
                                   << ""
                                   << "The birthdays of the contacts shown, by month and day"
                                   << "birthdays";
        QTest::newRow("Printer Setup") << "&File/&Printer Setup"
                                       << "Ctrl+Q"
                                       << ""
                                       << "";
        QTest::newRow("Exit") << "&File/E&xit"
                              << "Ctrl+E"
                              << ""
                              << "";
        QTest::newRow("Open Search") << "&Search/O&pen Search"
                                     << "F3"
                                     << ""
                                     << "";
        QTest::newRow("Clear Filter") << "&Search/&Clear Filter"
                                       << "F4"
                                       << ""
                                       << "";
        QTest::newRow("Phone List") << "&Reports/Phone &List"
                                    << ""
                                    << ""
                                    << "phoneList";
        QTest::newRow("21") << "&Reports/&Address Labels/21 per A4 sheet"
                            << ""
                            << "Avery L7160"
                            << "labels21";
        QTest::newRow("16") << "&Reports/&Address Labels/16 per A4 sheet"
                            << ""
                            << "Avery L7162"
                            << "labels16";
        QTest::newRow("14") << "&Reports/&Address Labels/14 per A4 sheet"
                            << ""
                            << ""
                            << "labels14";
        QTest::newRow("Other stock") << "&Reports/Labels on &Other Stock…"
                                     << ""
                                     << "Address labels on any sheet of labels, or your own sizes"
                                     << "stockLabels";
        QTest::newRow("Envelopes") << "&Reports/&Envelopes…"
                                   << ""
                                   << "One envelope for each contact shown"
                                   << "envelopes";
        QTest::newRow("FiloFax") << "&Reports/&FiloFax Pages"
                                 << ""
                                 << ""
                                 << "filofax";
        QTest::newRow("A5") << "&Reports/A&5 Diary Pages"
                            << ""
                            << ""
                            << "diary";
        QTest::newRow("Record Form") << "&Reports/&Record Form "
                                     << ""
                                     << "Alternative form for data entry"
                                     << "formView";
        QTest::newRow("Mail Merge") << "&Mail Merge"
                                    << ""
                                    << "Prints a letter to each contact shown"
                                    << "mailMerge";
        QTest::newRow("Notepad") << "&Notepad"
                                 << ""
                                 << "Opens Text Editor"
                                 << "notepad";
        QTest::newRow("Help") << "&Help/&Help"
                              << "F1"
                              << ""
                              << "manual";
        QTest::newRow("Help Note") << "&Help/Hel&p Note"
                                   << ""
                                   << ""
                                   << "helpNote";
        QTest::newRow("About") << "&Help/&About"
                               << ""
                               << ""
                               << "about";
    }
    void menuItems()
    {
        QFETCH(QString, path);
        QFETCH(QString, shortcut);
        QFETCH(QString, hint);
        QFETCH(QString, command);
        QAction* action = menuAction(path);
        QVERIFY2(action, qPrintable(path));
        QCOMPARE(action->shortcut().toString(), shortcut);
        QCOMPARE(action->statusTip(), hint);
        if (!command.isEmpty()) {
            action->trigger();
            QCOMPARE(p().commands, QStringList{command});
        }
    }

    void printerSetupAsksThePlatformDialog()
    {
        w()->miPrinterSetup->trigger();
        QCOMPARE(p().fakes.printDialogs->setupAsked, 1);
    }

    void mailMergeFailureIsIgnoredSilently()
    {
        p().table().set(platform::Command::MailMerge,
                        [] { throw platform::AppError(QStringLiteral("cannot show")); });
        w()->miMailMerge->trigger();
        QVERIFY(p().fakes.prompts->asked.isEmpty());
        // Other commands report theirs.
        p().table().set(platform::Command::Notepad,
                        [] { throw platform::AppError(QStringLiteral("cannot show")); });
        w()->miNotepad->trigger();
        QCOMPARE(p().errors(), QStringList{"cannot show."});
    }

    void exitClosesTheWindowAndSavesItsLayout()
    {
        w()->miExit->trigger();
        QVERIFY(!w()->isVisible());
        QVERIFY(QFile::exists(p().file(QStringLiteral("TovrelIni.ini"))));
    }

    void searchButtonAndF3ShowTheDialogModally()
    {
        auto* dialog = p().search.get();
        QVERIFY(dialog);
        int shown = 0;
        auto closeSoon = [&] {
            QTimer::singleShot(0, dialog, [&] {
                shown += dialog->isVisible() && dialog->isModal();
                dialog->sqCancelBtn->click();
            });
        };
        closeSoon();
        QTest::mouseClick(w()->HomeSearch, Qt::LeftButton);
        closeSoon();
        w()->miOpenSearch->trigger();
        QCOMPARE(shown, 2);
        QVERIFY(!dialog->isVisible());
    }

    void alphabetFilter_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("surnames");
        const auto letterSql = [](const char* l) {
            return QStringLiteral("SELECT * FROM HomeAd WHERE Surname LIKE '%1%' OR initial_letter(Surname) = '%1'")
                .arg(QLatin1String(l));
        };
        QTest::newRow("A") << "A" << letterSql("A") << QStringList{"adams", "Adams"};
        QTest::newRow("L: an initial with a stroke") << "L" << letterSql("L") << QStringList{"Łukasz"};
        QTest::newRow("Z") << "Z" << letterSql("Z") << QStringList{"ZOË"};
        QTest::newRow("Q") << "Q" << letterSql("Q") << QStringList{};
        QTest::newRow("All") << "All"
                             << "SELECT * FROM HomeAd"
                             << QStringList{"adams", "Adams", "Brown", "Łukasz", "O'Neil", "ZOË"};
    }
    void alphabetFilter()
    {
        QFETCH(QString, choice);
        QFETCH(QString, sql);
        QFETCH(QStringList, surnames);
        QTest::mouseClick(letter(choice), Qt::LeftButton);
        QCOMPARE(p().q().sql(), QStringList{sql});
        QStringList got = p().column(QStringLiteral("Surname"));
        QCOMPARE(got, surnames); // in reading order, though the statement has no ordering clause
        QCOMPARE(w()->dbGrid1->model()->rowCount(), surnames.size());
    }

    // Every selection of the window lists the names as a reader files them: accents and case aside, the same
    // surname by first name, initials with accents under their letter.
    void namesInReadingOrder_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("names"); // surname and first name
        const QStringList all{"Abbott Cy",     "adams Bob",    "Ali Aisha",   "ali Bea",   "Ali Ffion", "Ali Kofi",
                              "Ångström Lars", "ap Rhys Owen", "Éluard Paul", "Evans Ann", "Øberg Ole", "Zed Ann"};
        QTest::newRow("start-up") << "" << all;
        QTest::newRow("All") << "All" << all;
        QTest::newRow("Reset") << "reset" << all;
        QTest::newRow("a search") << "search" << all; // NOT on Town: nobody has one
        QTest::newRow("A") << "A"
                           << QStringList{"Abbott Cy", "adams Bob", "Ali Aisha",     "ali Bea",
                                          "Ali Ffion", "Ali Kofi",  "Ångström Lars", "ap Rhys Owen"};
        QTest::newRow("E") << "E" << QStringList{"Éluard Paul", "Evans Ann"};
        QTest::newRow("O") << "O" << QStringList{"Øberg Ole"};
    }
    void namesInReadingOrder()
    {
        QFETCH(QString, how);
        QFETCH(QStringList, names);
        // Stored out of order on purpose.
        QList<testsupport::Contact> contacts;
        for (const char* name : {"Ali Kofi", "Zed Ann", "ap Rhys Owen", "Ali Ffion", "Øberg Ole", "Ångström Lars",
                                 "adams Bob", "ali Bea", "Éluard Paul", "Evans Ann", "Abbott Cy", "Ali Aisha"}) {
            const QString whole = QString::fromUtf8(name);
            const qsizetype blank = whole.lastIndexOf(QLatin1Char(' '));
            contacts.append({{QStringLiteral("Surname"), whole.left(blank)},
                             {QStringLiteral("Firstname"), whole.mid(blank + 1)}});
        }
        m_p = std::make_unique<ProgramFixture>();
        p().start(contacts);
        if (how == QLatin1String("reset")) {
            QTest::mouseClick(letter("Q"), Qt::LeftButton);
            QTest::mouseClick(w()->sqRetryBtn, Qt::LeftButton);
        } else if (how == QLatin1String("search")) {
            p().q().close();
            p().q().setSql(search::searchStatement(QStringLiteral("Town"), QStringLiteral("x"), true));
            p().q().open();
        } else if (!how.isEmpty()) {
            QTest::mouseClick(letter(how), Qt::LeftButton);
        }
        QStringList got;
        const QStringList surnames = p().column(QStringLiteral("Surname"));
        const QStringList firstnames = p().column(QStringLiteral("Firstname"));
        for (int i = 0; i < surnames.size(); ++i)
            got << surnames[i] + QLatin1Char(' ') + firstnames.value(i);
        QCOMPARE(got, names);
    }

    void clickingTheChosenEntryDoesNothing()
    {
        QTest::mouseClick(letter("B"), Qt::LeftButton);
        const QStringList search = search::searchStatement(QStringLiteral("Town"), QStringLiteral("o"), false);
        p().q().close();
        p().q().setSql(search);
        p().q().open();
        QSignalSpy opened(&p().q(), &data::Dataset::opened);
        QTest::mouseClick(letter("B"), Qt::LeftButton);
        QCOMPARE(opened.count(), 0);
        QCOMPARE(p().q().sql(), search);
        QCOMPARE(w()->radioItemIndex(), 1);
    }

    void reset_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("openings");
        QTest::newRow("after a letter") << "Q" << 2; // choosing "All" runs the filter once more
        QTest::newRow("with All chosen") << "All" << 1;
        QTest::newRow("with nothing chosen") << "" << 2;
    }
    void reset()
    {
        QFETCH(QString, before);
        QFETCH(int, openings);
        if (!before.isEmpty())
            QTest::mouseClick(letter(before), Qt::LeftButton);
        QSignalSpy opened(&p().q(), &data::Dataset::opened);
        QTest::mouseClick(w()->sqRetryBtn, Qt::LeftButton);
        QCOMPARE(opened.count(), openings);
        QCOMPARE(p().q().sql(), QStringList{"SELECT * FROM HomeAd"});
        QCOMPARE(w()->radioItemIndex(), TfmHomeAddMain::AllChoice);
        QCOMPARE(p().column(QStringLiteral("Surname")),
                 QStringList({"adams", "Adams", "Brown", "Łukasz", "O'Neil", "ZOË"}));
        // F4 is the same command.
        QTest::mouseClick(letter("Q"), Qt::LeftButton);
        w()->miClearFilter->trigger();
        QCOMPARE(p().q().recordCount(), 6);
        QCOMPARE(w()->radioItemIndex(), TfmHomeAddMain::AllChoice);
    }

    void titleClicksAlternateAndBoldStays()
    {
        constexpr int town = 5, tel = 8;
        p().q().moveTo(2);
        const QString current =
            p().q().currentText(QStringLiteral("Surname")) + p().q().currentText(QStringLiteral("Firstname"));
        const QStringList expected = {"Town ASC", "Town DESC", "Town ASC"};
        for (const QString& sort : expected) {
            clickTitle(town);
            QCOMPARE(p().q().sort(), sort);
            QCOMPARE(p().column(QStringLiteral("Town")), townsInOrder(sort.endsWith(QLatin1String("DESC"))));
        }
        QCOMPARE(w()->dbGrid1->datasetModel()->boldColumn(), town);
        // The current row stays current through the sorts.
        QCOMPARE(p().q().currentText(QStringLiteral("Surname")) + p().q().currentText(QStringLiteral("Firstname")),
                 current);
        QTRY_COMPARE(w()->dbGrid1->currentIndex().row(), p().q().currentRow());
        clickTitle(town);
        clickTitle(tel);
        QCOMPARE(p().q().sort(), QStringLiteral("Tel ASC"));
        QVERIFY(w()->dbGrid1->model()->headerData(tel, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());
        QVERIFY(!w()->dbGrid1->model()->headerData(town, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());

        // A new selection is unsorted, yet the mark stays on the title.
        QTest::mouseClick(letter("All"), Qt::LeftButton);
        QCOMPARE(p().q().sort(), QString());
        QCOMPARE(w()->dbGrid1->datasetModel()->boldColumn(), tel);
    }

    void newRowAndCancel()
    {
        p().q().moveTo(3);
        QTest::mouseClick(w()->BitBtn3, Qt::LeftButton);
        QCOMPARE(p().q().state(), data::Dataset::State::Insert);
        QCOMPARE(p().q().currentRow(), 3);
        QCOMPARE(w()->dbGrid1->model()->rowCount(), 7);
        QTRY_COMPARE(w()->dbGrid1->currentIndex().row(), 3); // the grid follows once the moving is over
        QVERIFY(w()->dbGrid1->isEditing()); // the new row's first cell is open for typing
        p().q().setFieldValue(QStringLiteral("Surname"), QStringLiteral("Newman"));
        // Cancel gives up the new row and what was typed in it; the contact that takes its place is not touched.
        QTest::mouseClick(w()->BitBtn2, Qt::LeftButton);
        QCOMPARE(p().q().state(), data::Dataset::State::Browse);
        QVERIFY(!w()->dbGrid1->isEditing());
        QVERIFY(!p().q().isModified());
        QCOMPARE(w()->dbGrid1->model()->rowCount(), 6);
        QCOMPARE(p().storedCount(), 6);

        // An edited row gets its stored values back; a saved change stays.
        p().q().setFieldValue(QStringLiteral("Town"), QStringLiteral("Changed"));
        p().q().post();
        p().q().setFieldValue(QStringLiteral("Town"), QStringLiteral("Again"));
        QTest::mouseClick(w()->BitBtn2, Qt::LeftButton);
        QCOMPARE(p().q().currentText(QStringLiteral("Town")), QStringLiteral("Changed"));
    }

    void deleteAsksFirst_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("left");
        QTest::newRow("OK") << int(platform::Answer::Ok) << 5;
        QTest::newRow("Cancel or the close box") << int(platform::Answer::Cancel) << 6;
    }
    void deleteAsksFirst()
    {
        QFETCH(int, answer);
        QFETCH(int, left);
        p().q().moveTo(1);
        p().fakes.prompts->answers.enqueue(platform::Answer(answer));
        QTest::mouseClick(w()->btnDelete, Qt::LeftButton);
        QCOMPARE(p().fakes.prompts->asked.size(), 1);
        const auto& asked = p().fakes.prompts->asked.first();
        QCOMPARE(asked.caption, QStringLiteral("Confirm"));
        QCOMPARE(asked.text, QStringLiteral("Delete Carol Adams?"));
        QCOMPARE(asked.icon, platform::Icon::Question);
        QCOMPARE(asked.buttons, platform::Buttons::OkCancel);
        QCOMPARE(p().storedCount(), left);
        QCOMPARE(p().q().recordCount(), left);
        QCOMPARE(p().q().currentRow(), 1);
    }

    // With nothing listed there is nothing to delete: the button is greyed out, and nothing is asked or said.
    void deleteOnAnEmptyResultFails()
    {
        QVERIFY(w()->btnDelete->isEnabled());
        QTest::mouseClick(letter("Q"), Qt::LeftButton);
        QCOMPARE(p().q().recordCount(), 0);
        QVERIFY(!w()->btnDelete->isEnabled());
        QTest::mouseClick(w()->btnDelete, Qt::LeftButton);
        QCOMPARE(p().fakes.prompts->asked.size(), 0);
        QCOMPARE(p().storedCount(), 6);
        QTest::mouseClick(letter("A"), Qt::LeftButton); // a letter with contacts makes it usable again
        QVERIFY(w()->btnDelete->isEnabled());
    }

    void doubleClickShowsTheRecordCard()
    {
        // On the current cell too, where a single click would start editing.
        const QRect cell = w()->dbGrid1->visualRect(w()->dbGrid1->model()->index(2, 1));
        QTest::mouseClick(w()->dbGrid1->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        QTest::mouseDClick(w()->dbGrid1->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(p().commands, QStringList{"recordCard"});
        QTest::qWait(2 * QApplication::doubleClickInterval());
        QVERIFY(!w()->dbGrid1->isEditing());
        QCOMPARE(p().q().state(), data::Dataset::State::Browse);
    }

    // Nothing moves the rows while a report walks them: every command says why and the window carries on.
    void commandsWhileAReportHoldsTheRows()
    {
        const QString reason = QStringLiteral("A report is being prepared from these rows");
        p().q().beginExclusiveRead(reason);
        QTest::mouseClick(letter("B"), Qt::LeftButton);
        clickTitle(5);
        QTest::mouseClick(w()->BitBtn3, Qt::LeftButton);
        QTest::mouseClick(w()->sqRetryBtn, Qt::LeftButton);
        const QRect cell = w()->dbGrid1->visualRect(w()->dbGrid1->model()->index(4, 0));
        QTest::mouseClick(w()->dbGrid1->viewport(), Qt::LeftButton, {}, cell.center());
        p().q().endExclusiveRead();
        QCOMPARE(p().errors(), QStringList(5, reason + QLatin1Char('.')));
        QCOMPARE(p().q().sql(), data::startSql());
        QCOMPARE(p().q().recordCount(), 6);
        QCOMPARE(p().q().currentRow(), 0);
        QCOMPARE(w()->dbGrid1->currentIndex().row(), 0);
    }

    void aWalkThroughTheRowsLeavesTheGridOnTheLastRow()
    {
        for (p().q().first(); !p().q().eof(); p().q().next()) {
        }
        QTRY_COMPARE(w()->dbGrid1->currentIndex().row(), 5);
        QVERIFY(p().errors().isEmpty());
    }

    void missingDatabaseLeavesAnEmptyGrid()
    {
        p().q().close();
        QVERIFY(QFile::remove(p().file(QStringLiteral("Tovrel.mdb"))));
        p().store().connection.close();
        QTest::mouseClick(letter("C"), Qt::LeftButton);
        QCOMPARE(p().errors().size(), 1);
        QVERIFY(!p().q().isOpen());
        QCOMPARE(w()->dbGrid1->model()->rowCount(), 0);
        QVERIFY(!w()->DBNavigator1->button(data::DBNavigator::First)->isEnabled());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"

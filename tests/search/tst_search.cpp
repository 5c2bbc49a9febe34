// The search dialog: its field list, the chosen-field rule, the statement, Reset, closing, help, failures and
// words that try to change the statement.
#include "data/ContactStore.h"
#include "data/Connection.h"
#include "platform/Fakes.h"
#include "platform/ProgramFolder.h"
#include "search/ui/SearchDialog.h"
#include "search/ui/SearchHelp.h"
#include "support/TestDb.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <sqlite3.h>

using testsupport::Contact;

namespace {

Contact contact(const QString& surname, const QString& town, const QString& midname = {}, const QString& workTel = {},
                const QString& birthday = {})
{
    Contact c{{QStringLiteral("Surname"), surname}};
    if (!town.isNull())
        c[QStringLiteral("Town")] = town;
    if (!midname.isNull())
        c[QStringLiteral("Midname")] = midname;
    if (!workTel.isNull())
        c[QStringLiteral("Work Tel")] = workTel;
    if (!birthday.isNull())
        c[QStringLiteral("Birthday")] = birthday;
    return c;
}

// O'Neil has no town at all (NULL), "a_c" an empty one; "50%" lives in a town with a backslash.
QList<Contact> contacts()
{
    return {contact("Johnstone", "Leeds", "Jo", "0113 555 01"),
            contact("Major", "York", "Anne", {}, "1985-03-14"),
            contact("abc", "Bath"),
            contact("aXc", "Bristol", {}, "0117 555 02"),
            contact("a\"b", "Łódź"),
            contact("O'Neil", QString(), {}, {}, "1990-11-02"),
            contact("Zed", "Hull", "Joan"),
            contact("a_c", ""),
            contact("50%", "Back\\slash")};
}

} // namespace

class TestSearch : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    platform::Fakes m_fakes{};
    std::unique_ptr<data::ContactStore> m_store;
    std::unique_ptr<TfmSQLSearchDialog> m_dialog;

    data::Dataset& q() { return m_store->HomeQuery; }
    TfmSQLSearchDialog* d() { return m_dialog.get(); }
    QString dbPath() const { return m_dir.filePath(QStringLiteral("Tovrel.mdb")); }

    QStringList surnames()
    {
        QStringList out;
        for (int r = 0; r < q().recordCount(); ++r)
            out << q().text(r, QStringLiteral("Surname"));
        return out;
    }

    // Which contacts a search found, whatever their order.
    QStringList found()
    {
        QStringList out = surnames();
        out.sort();
        return out;
    }

    int storedCount()
    {
        return testsupport::query(dbPath(), QStringLiteral("SELECT count(*) FROM HomeAd")).value(0).toInt();
    }

    void clickEntry(const QString& field)
    {
        const auto items = d()->sqListBox->findItems(field, Qt::MatchExactly);
        QCOMPARE(items.size(), 1);
        QTest::mouseClick(d()->sqListBox->viewport(), Qt::LeftButton, {},
                          d()->sqListBox->visualItemRect(items.first()).center());
    }

    QStringList marked()
    {
        QStringList out;
        for (int i = 0; i < d()->sqListBox->count(); ++i)
            if (d()->sqListBox->item(i)->isSelected())
                out << d()->sqListBox->item(i)->text();
        return out;
    }

    void search(const QString& field, const QString& word, bool notSearch = false)
    {
        d()->show();
        if (d()->chosenField() != field) {
            for (const QString& m : marked())
                clickEntry(m);
            clickEntry(field);
        }
        d()->sqEditBox->setText(word);
        d()->cboxNot->setChecked(notSearch);
        QTest::mouseClick(d()->sqOKBtn, Qt::LeftButton);
    }

    QStringList errors()
    {
        QStringList out;
        for (const auto& p : m_fakes.prompts->asked)
            if (p.icon == platform::Icon::Error)
                out << p.text;
        return out;
    }

private slots:
    void initTestCase()
    {
        // The short date format and the month names the birthday search is checked against.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    }
    void init()
    {
        m_fakes = platform::installFakes();
        testsupport::makeDatabase(dbPath(), contacts());
        m_store = std::make_unique<data::ContactStore>();
        m_store->configure(m_dir.path() + QLatin1Char('/'));
        m_dialog = std::make_unique<TfmSQLSearchDialog>(q());
        d()->FormCreate();
    }
    void cleanup()
    {
        m_dialog.reset();
        m_store.reset();
    }

    void fieldListAndFirstOpening()
    {
        QStringList entries;
        for (int i = 0; i < d()->sqListBox->count(); ++i)
            entries << d()->sqListBox->item(i)->text();
        QCOMPARE(entries, QStringList({"Surname", "Midname", "Firstname", "Address1", "Address2", "A3_Village", "Town",
                                       "County", "PostCode", "Country", "Tel", "Cell", "Email", "Birthday", "Notes",
                                       "Workplace", "Work Tel", "Flag", "Flag2"}));
        QVERIFY(q().isOpen());
        QCOMPARE(q().sql(), data::startSql());
        QCOMPARE(d()->windowTitle(), QStringLiteral("Tovrel SQL Search"));
        QCOMPARE(d()->size(), QSize(333, 315));
        QVERIFY(d()->sqOKBtn->isDefault());
        QCOMPARE(d()->cboxNot->toolTip(), QStringLiteral("Check to EXCLUDE a word from filtered table"));
        QCOMPARE(d()->sqRetryBtn->toolTip(), QStringLiteral("Shows all names"));
        QCOMPARE(d()->sqOKBtn->toolTip(), QStringLiteral("Starts search"));
        QCOMPARE(d()->sqCancelBtn->toolTip(), QStringLiteral("Cancels entry & closes this box"));
        QVERIFY(d()->sqHelpBtn->toolTip().isEmpty());
        QVERIFY(!d()->cboxNot->isChecked());
        QStringList focusOrder;
        QWidget* w = d()->sqListBox;
        do {
            if (w->focusPolicy() & Qt::TabFocus)
                focusOrder << w->objectName();
            w = w->nextInFocusChain();
        } while (w != d()->sqListBox);
        QCOMPARE(focusOrder, QStringList({"sqListBox", "sqEditBox", "cboxNot", "sqRetryBtn", "sqOKBtn",
                                          "sqCancelBtn", "sqHelpBtn"}));
    }

    void statement_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("word");
        QTest::addColumn<bool>("notSearch");
        QTest::addColumn<QStringList>("lines");
        const QString escape = QStringLiteral(" ESCAPE '\\'");
        QTest::newRow("Town Jo") << "Town"
                                 << "Jo" << false
                                 << QStringList{"SELECT * from HomeAd", "WHERE", "Town", "LIKE", "\"%Jo%\"" + escape};
        QTest::newRow("NOT") << "Town"
                             << "Jo" << true
                             << QStringList{"SELECT * from HomeAd", "WHERE", "coalesce(Town,'')", "NOT LIKE",
                                            "\"%Jo%\"" + escape};
        QTest::newRow("Work Tel") << "Work Tel"
                                  << "555" << false
                                  << QStringList{"SELECT * from HomeAd", "WHERE", "[Work Tel]", "LIKE",
                                                 "\"%555%\"" + escape};
        QTest::newRow("empty word") << "Surname"
                                    << "" << false
                                    << QStringList{"SELECT * from HomeAd", "WHERE", "Surname", "LIKE", "\"%%\"" + escape};
        QTest::newRow("double quote") << "Surname"
                                      << "a\"b" << false
                                      << QStringList{"SELECT * from HomeAd", "WHERE", "Surname", "LIKE",
                                                     "\"%a\"\"b%\"" + escape};
        QTest::newRow("wildcards and escape") << "Surname"
                                              << "5_0%\\" << false
                                              << QStringList{"SELECT * from HomeAd", "WHERE", "Surname", "LIKE",
                                                             "\"%5\\_0\\%\\\\%\"" + escape};
        QTest::newRow("Birthday NOT") << "Birthday"
                                      << "Mar" << true
                                      << QStringList{"SELECT * from HomeAd", "WHERE", "coalesce(date_shown(Birthday),'')",
                                                     "NOT LIKE", "\"%Mar%\"" + escape};
    }
    void statement()
    {
        QFETCH(QString, field);
        QFETCH(QString, word);
        QFETCH(bool, notSearch);
        QFETCH(QStringList, lines);
        QCOMPARE(search::searchStatement(field, word, notSearch), lines);
        search(field, word, notSearch);
        QCOMPARE(q().sql(), lines);
        QVERIFY(q().isOpen());
        QVERIFY(!d()->isVisible());
    }

    // One field at a time: each click chooses the field clicked, and the list never shows another one marked.
    void aClickChoosesTheField()
    {
        d()->show();
        QCOMPARE(d()->chosenField(), QString());
        clickEntry("County");
        QCOMPARE(d()->chosenField(), QStringLiteral("County"));
        clickEntry("Firstname");
        QCOMPARE(marked(), QStringList{"Firstname"});
        QCOMPARE(d()->chosenField(), QStringLiteral("Firstname"));
        clickEntry("Firstname"); // a second click keeps it
        QCOMPARE(marked(), QStringList{"Firstname"});
        // The keyboard moves the choice with the mark.
        d()->sqListBox->setFocus();
        QTest::keyClick(d()->sqListBox, Qt::Key_Down);
        QCOMPARE(marked(), QStringList{"Address1"});
        QCOMPARE(d()->chosenField(), QStringLiteral("Address1"));
        d()->sqEditBox->setText(QStringLiteral("x"));
        QTest::mouseClick(d()->sqOKBtn, Qt::LeftButton);
        QCOMPARE(q().sql().value(2), QStringLiteral("Address1"));
    }

    // With no field chosen (none yet, or the mark taken off with Ctrl), OK says so and searches nothing.
    void okWithoutAFieldSearchesNothing_data()
    {
        QTest::addColumn<bool>("unmarked");
        QTest::newRow("none chosen yet") << false;
        QTest::newRow("mark taken off") << true;
    }
    void okWithoutAFieldSearchesNothing()
    {
        QFETCH(bool, unmarked);
        d()->show();
        if (unmarked) {
            clickEntry("Town");
            const auto item = d()->sqListBox->findItems(QStringLiteral("Town"), Qt::MatchExactly).first();
            QTest::mouseClick(d()->sqListBox->viewport(), Qt::LeftButton, Qt::ControlModifier,
                              d()->sqListBox->visualItemRect(item).center());
            QVERIFY(marked().isEmpty());
        }
        d()->sqEditBox->setText(QStringLiteral("jo"));
        QTest::mouseClick(d()->sqOKBtn, Qt::LeftButton);
        QCOMPARE(m_fakes.prompts->asked.size(), 1);
        QCOMPARE(m_fakes.prompts->asked.first().caption, QStringLiteral("Information"));
        QCOMPARE(m_fakes.prompts->asked.first().text, QStringLiteral("Please select a field first"));
        QCOMPARE(m_fakes.prompts->asked.first().icon, platform::Icon::Information);
        QCOMPARE(d()->chosenField(), QString());
        QVERIFY(d()->isVisible());
        QCOMPARE(q().sql(), data::startSql());
        QCOMPARE(q().recordCount(), contacts().size());
    }

    void results_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("word");
        QTest::addColumn<bool>("notSearch");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("part of a word, any case") << "Surname"
                                                  << "jo" << false << QStringList{"Johnstone", "Major"};
        QTest::newRow("NOT") << "Surname"
                             << "jo" << true << QStringList{"50%", "O'Neil", "Zed", "a\"b", "a_c", "abc", "aXc"};
        QTest::newRow("underscore is no wildcard") << "Surname"
                                                   << "a_c" << false << QStringList{"a_c"};
        QTest::newRow("percent is no wildcard") << "Surname"
                                                << "%" << false << QStringList{"50%"};
        QTest::newRow("backslash") << "Town"
                                   << "k\\s" << false << QStringList{"50%"};
        QTest::newRow("empty word: every value")
            << "Town"
            << "" << false << QStringList{"50%", "Johnstone", "Major", "Zed", "a\"b", "a_c", "abc", "aXc"};
        QTest::newRow("empty word, NOT: none") << "Town"
                                               << "" << true << QStringList{};
        // No town (NULL) and an empty town do not hold "e" either.
        QTest::newRow("NOT keeps empty fields")
            << "Town"
            << "e" << true << QStringList{"50%", "Major", "O'Neil", "Zed", "a\"b", "a_c", "abc", "aXc"};
        QTest::newRow("NOT percent") << "Surname"
                                     << "%" << true
                                     << QStringList{"Johnstone", "Major", "O'Neil", "Zed", "a\"b", "a_c", "abc", "aXc"};
        QTest::newRow("Work Tel") << "Work Tel"
                                  << "555" << false << QStringList{"Johnstone", "aXc"};
        QTest::newRow("letters beyond ASCII") << "Town"
                                              << "łÓDŹ" << false << QStringList{"a\"b"};
        QTest::newRow("double quote") << "Surname"
                                      << "a\"" << false << QStringList{"a\"b"};
        QTest::newRow("apostrophe") << "Surname"
                                    << "'" << false << QStringList{"O'Neil"};
        QTest::newRow("nothing") << "Surname"
                                 << "qqq" << false << QStringList{};
        // The card shows a birthday in the short date format; the month is found by its name too.
        QTest::newRow("Birthday by month name") << "Birthday"
                                                << "mar" << false << QStringList{"Major"};
        QTest::newRow("Birthday as shown") << "Birthday"
                                           << "14/03/1985" << false << QStringList{"Major"};
        QTest::newRow("Birthday as stored") << "Birthday"
                                            << "1985-03" << false << QStringList{"Major"};
        QTest::newRow("Birthday year") << "Birthday"
                                       << "19" << false << QStringList{"Major", "O'Neil"};
        QTest::newRow("Birthday NOT month") << "Birthday"
                                            << "March" << true
                                            << QStringList{"50%", "Johnstone", "O'Neil", "Zed", "a\"b", "a_c", "abc",
                                                           "aXc"};
    }
    void results()
    {
        QFETCH(QString, field);
        QFETCH(QString, word);
        QFETCH(bool, notSearch);
        QFETCH(QStringList, found);
        found.sort();
        search(field, word, notSearch);
        QVERIFY(errors().isEmpty());
        QVERIFY(q().isOpen());
        QCOMPARE(this->found(), found);
    }

    // Whatever the word holds, it is one text value in one query: it finds the contacts that hold it literally
    // and never changes the table.
    void wordsCannotChangeTheStatement_data()
    {
        QTest::addColumn<QString>("word");
        QTest::newRow("statement injection") << "\"; DROP TABLE HomeAd; --";
        QTest::newRow("quote closing the value") << "Johnstone\" OR \"1\"=\"1";
        QTest::newRow("quote inside") << "a\"b";
        QTest::newRow("lone quote") << "\"";
        QTest::newRow("percent") << "%";
        QTest::newRow("underscore") << "_";
        QTest::newRow("empty") << "";
        QTest::newRow("10,000 characters") << QString(10000, QLatin1Char('x'));
        QTest::newRow("non-ASCII") << "ÆØÅ 日本 ñ";
        QTest::newRow("a column's name") << "Surname"; // must stay a value, not become the column
        QTest::newRow("brackets") << "[Work Tel]";
        QTest::newRow("line break") << "a\r\nb";
    }
    void wordsCannotChangeTheStatement()
    {
        QFETCH(QString, word);
        search(QStringLiteral("Surname"), word);
        QVERIFY2(errors().isEmpty(), qPrintable(errors().join(QLatin1Char('|'))));
        QVERIFY(q().isOpen());
        QStringList expected;
        for (const Contact& c : contacts())
            if (c.value(QStringLiteral("Surname")).toCaseFolded().contains(word.toCaseFolded()))
                expected << c.value(QStringLiteral("Surname"));
        expected.sort();
        QCOMPARE(found(), expected);
        QCOMPARE(storedCount(), contacts().size());
        search(QStringLiteral("Surname"), word, true);
        QCOMPARE(surnames().size() + expected.size(), contacts().size());
        QCOMPARE(storedCount(), contacts().size());
    }

    void dialogResetSortsAndKeepsTheEntries()
    {
        search(QStringLiteral("Town"), QStringLiteral("o"), true);
        d()->show();
        QTest::mouseClick(d()->sqRetryBtn, Qt::LeftButton);
        QVERIFY(!d()->isVisible());
        QCOMPARE(q().sql(), QStringList({"SELECT * FROM HomeAd", "ORDER by Surname"}));
        QCOMPARE(surnames(), QStringList({"50%", "a_c", "a\"b", "abc", "aXc", "Johnstone", "Major", "O'Neil", "Zed"}));
        QCOMPARE(marked(), QStringList{"Town"});
        QCOMPARE(d()->sqEditBox->text(), QStringLiteral("o"));
        QVERIFY(d()->cboxNot->isChecked());
        QCOMPARE(d()->chosenField(), QStringLiteral("Town"));
    }

    void closingChangesNothing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel") << "cancel";
        QTest::newRow("Esc") << "esc";
        QTest::newRow("close box") << "close";
    }
    void closingChangesNothing()
    {
        QFETCH(QString, how);
        d()->show();
        clickEntry("Town");
        d()->sqEditBox->setText(QStringLiteral("Leeds"));
        if (how == QLatin1String("cancel"))
            QTest::mouseClick(d()->sqCancelBtn, Qt::LeftButton);
        else if (how == QLatin1String("esc"))
            QTest::keyClick(d()->sqEditBox, Qt::Key_Escape);
        else
            d()->close();
        QVERIFY(!d()->isVisible());
        QCOMPARE(q().sql(), data::startSql());
        QCOMPARE(q().recordCount(), contacts().size());
        d()->show();
        QCOMPARE(marked(), QStringList{"Town"});
        QCOMPARE(d()->sqEditBox->text(), QStringLiteral("Leeds"));
    }

    void enterStartsTheSearch()
    {
        d()->show();
        clickEntry("Town");
        d()->sqEditBox->setText(QStringLiteral("Leeds"));
        QTest::keyClick(d()->sqEditBox, Qt::Key_Return);
        QVERIFY(!d()->isVisible());
        QCOMPARE(surnames(), QStringList{"Johnstone"});
    }

    // A search and Reset save a pending change first, as a move would.
    void anUnsavedChangeIsSavedBySearchAndReset()
    {
        q().setFieldValue(QStringLiteral("Town"), QStringLiteral("Changed"));
        search(QStringLiteral("Town"), QString());
        QCOMPARE(m_fakes.sound->files.size(), 1);
        q().last(); // another contact than the one changed before
        q().setFieldValue(QStringLiteral("Town"), QStringLiteral("Changed too"));
        d()->show();
        QTest::mouseClick(d()->sqRetryBtn, Qt::LeftButton);
        QCOMPARE(m_fakes.sound->files.size(), 2);
        QCOMPARE(testsupport::query(dbPath(), QStringLiteral("SELECT count(*) FROM HomeAd WHERE Town LIKE 'Changed%'")),
                 QStringList{"2"});
    }

    void failingStatementLeavesTheQueryClosed()
    {
        // Another program renames the table: the engine rejects the statement.
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(dbPath()).constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, "ALTER TABLE HomeAd RENAME TO Other", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        search(QStringLiteral("Town"), QStringLiteral("Leeds"));
        QCOMPARE(errors().size(), 1);
        QVERIFY2(errors().first().contains(QLatin1String("HomeAd")), qPrintable(errors().first()));
        QVERIFY(!d()->isVisible());
        QVERIFY(!q().isOpen());
        QCOMPARE(q().recordCount(), 0);
    }

    void refusedWhileAReportHoldsTheRows()
    {
        q().beginExclusiveRead(QStringLiteral("A report is being prepared"));
        search(QStringLiteral("Town"), QStringLiteral("Leeds"));
        q().endExclusiveRead();
        QCOMPARE(errors(), QStringList{"A report is being prepared."});
        QVERIFY(!d()->isVisible());
        QVERIFY(q().isOpen());
        QCOMPARE(q().sql(), data::startSql());
    }

    void helpWindowStaysOpenWithoutBlocking()
    {
        d()->show();
        QTest::mouseClick(d()->sqHelpBtn, Qt::LeftButton);
        TfmSearchHelp* help = d()->helpWindow();
        QVERIFY(help);
        QVERIFY(help->isVisible());
        QVERIFY(help->isWindow());
        QVERIFY(!help->isModal());
        QVERIFY(d()->isVisible());
        QCOMPARE(help->windowTitle(), QStringLiteral("Tovrel Search Help"));
        QCOMPARE(help->size(), QSize(600, 421));
        const QStringList lines = help->Memo1->toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 21);
        QCOMPARE(lines.first(), QStringLiteral("HELP FOR SEARCH BOX"));
        QVERIFY(lines[7].contains(QLatin1String("postcode")));
        // The search ignores case, and the help says so.
        QCOMPARE(lines[10], QStringLiteral("The search ignores upper and lower case, so if you are looking for "
                                           "someone called Johnstone, the "));
        QCOMPARE(lines.last(), QStringLiteral("belonging to one group. You could use this to print labels for a "
                                              "mailshot or your Christmas cards."));
        QVERIFY(help->Memo1->isReadOnly());
        QTest::mouseClick(d()->sqCancelBtn, Qt::LeftButton);
        QVERIFY(!d()->isVisible());
        QVERIFY(help->isVisible());
        // Asked for again while the dialog runs modally, it comes up beside it.
        help->hide();
        bool shownBeside = false;
        QTimer::singleShot(0, d(), [&] {
            QTest::mouseClick(d()->sqHelpBtn, Qt::LeftButton);
            shownBeside = help->isVisible() && d()->isVisible();
            d()->reject();
        });
        d()->exec();
        QVERIFY(shownBeside);
    }
};

QTEST_MAIN(TestSearch)
#include "tst_search.moc"

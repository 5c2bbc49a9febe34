// The search dialog: its field list, the chosen-field rule, the statement, Reset, closing, help, failures and
// words that try to change the statement.
#include "data/ContactStore.h"
#include "data/Connection.h"
#include "platform/Fakes.h"
#include "platform/ProgramFolder.h"
#include "search/JSQLSEARCH.h"
#include "search/SearchHelp.h"
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

Contact contact(const QString& surname, const QString& town, const QString& midname = {}, const QString& workTel = {})
{
    Contact c{{QStringLiteral("Surname"), surname}};
    if (!town.isNull())
        c[QStringLiteral("Town")] = town;
    if (!midname.isNull())
        c[QStringLiteral("Midname")] = midname;
    if (!workTel.isNull())
        c[QStringLiteral("Work Tel")] = workTel;
    return c;
}

// In table order; the search statements have no ordering clause.
QList<Contact> contacts()
{
    return {contact("Johnstone", "Leeds", "Jo", "0113 555 01"),
            contact("Major", "York", "Anne"),
            contact("abc", "Bath"),
            contact("aXc", "Bristol", {}, "0117 555 02"),
            contact("a\"b", "Łódź"),
            contact("O'Neil", QString()),
            contact("Zed", "Hull", "Joan")};
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
        QCOMPARE(focusOrder, QStringList({"sqListBox", "sqEditBox", "sqOKBtn", "sqCancelBtn", "sqRetryBtn",
                                          "sqHelpBtn", "cboxNot"}));
    }

    void statement_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("word");
        QTest::addColumn<bool>("notSearch");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("Town Jo") << "Town"
                                 << "Jo" << false
                                 << QStringList{"SELECT * from HomeAd", "WHERE", "Town", "LIKE", "\"%Jo%\""};
        QTest::newRow("NOT") << "Town"
                             << "Jo" << true
                             << QStringList{"SELECT * from HomeAd", "WHERE", "Town", "NOT LIKE", "\"%Jo%\""};
        QTest::newRow("Work Tel") << "Work Tel"
                                  << "555" << false
                                  << QStringList{"SELECT * from HomeAd", "WHERE", "[Work Tel]", "LIKE", "\"%555%\""};
        QTest::newRow("empty word") << "Surname"
                                    << "" << false
                                    << QStringList{"SELECT * from HomeAd", "WHERE", "Surname", "LIKE", "\"%%\""};
        QTest::newRow("double quote") << "Surname"
                                      << "a\"b" << false
                                      << QStringList{"SELECT * from HomeAd", "WHERE", "Surname", "LIKE",
                                                     "\"%a\"\"b%\""};
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

    void chosenFieldIsTheLowestMark()
    {
        QCOMPARE(d()->chosenField(), QString());
        clickEntry("Town");
        QCOMPARE(d()->chosenField(), QStringLiteral("Town"));
        clickEntry("Town"); // unmarked: the choice stays
        QVERIFY(marked().isEmpty());
        QCOMPARE(d()->chosenField(), QStringLiteral("Town"));
        clickEntry("County");
        clickEntry("Surname");
        QCOMPARE(marked(), QStringList({"Surname", "County"}));
        QCOMPARE(d()->chosenField(), QStringLiteral("County"));
        // Marks changed by keyboard count the same.
        d()->sqListBox->setFocus();
        d()->sqListBox->setCurrentRow(17, QItemSelectionModel::NoUpdate);
        QTest::keyClick(d()->sqListBox, Qt::Key_Space);
        QCOMPARE(d()->chosenField(), QStringLiteral("Flag"));
        d()->sqEditBox->setText(QStringLiteral("x"));
        QTest::mouseClick(d()->sqOKBtn, Qt::LeftButton);
        QCOMPARE(q().sql().value(2), QStringLiteral("Flag"));
    }

    void firstSearchWithoutAFieldFallsBackToMidname()
    {
        d()->show();
        d()->sqEditBox->setText(QStringLiteral("jo"));
        QTest::mouseClick(d()->sqOKBtn, Qt::LeftButton);
        QCOMPARE(m_fakes.prompts->asked.size(), 1);
        QCOMPARE(m_fakes.prompts->asked.first().caption, QStringLiteral("Information"));
        QCOMPARE(m_fakes.prompts->asked.first().text, QStringLiteral("Please select a field first"));
        QCOMPARE(m_fakes.prompts->asked.first().icon, platform::Icon::Information);
        QCOMPARE(m_fakes.prompts->asked.first().buttons, platform::Buttons::Ok);
        QCOMPARE(d()->chosenField(), QStringLiteral("Midname"));
        QCOMPARE(surnames(), QStringList({"Johnstone", "Zed"}));
        QVERIFY(!d()->isVisible());
        d()->show();
        QTest::mouseClick(d()->sqOKBtn, Qt::LeftButton);
        QCOMPARE(m_fakes.prompts->asked.size(), 1);
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
                             << "jo" << true << QStringList{"abc", "aXc", "a\"b", "O'Neil", "Zed"};
        QTest::newRow("one-character wildcard") << "Surname"
                                                << "a_c" << false << QStringList{"abc", "aXc"};
        QTest::newRow("empty word: every value")
            << "Town"
            << "" << false << QStringList{"Johnstone", "Major", "abc", "aXc", "a\"b", "Zed"};
        QTest::newRow("empty word, NOT: none") << "Town"
                                               << "" << true << QStringList{};
        QTest::newRow("no value is never NOT found")
            << "Town"
            << "e" << true << QStringList{"Major", "abc", "aXc", "a\"b", "Zed"};
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
    }
    void results()
    {
        QFETCH(QString, field);
        QFETCH(QString, word);
        QFETCH(bool, notSearch);
        QFETCH(QStringList, found);
        search(field, word, notSearch);
        QVERIFY(errors().isEmpty());
        QVERIFY(q().isOpen());
        QCOMPARE(surnames(), found);
    }

    // Whatever the word holds, it is one text value in one query: it finds the contacts that hold it literally
    // (wildcards aside) and never changes the table.
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
            if (data::likeMatch(QLatin1Char('%') + word + QLatin1Char('%'), c.value(QStringLiteral("Surname"))))
                expected << c.value(QStringLiteral("Surname"));
        QCOMPARE(surnames(), expected);
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
        QCOMPARE(surnames(), QStringList({"a\"b", "abc", "aXc", "Johnstone", "Major", "O'Neil", "Zed"}));
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
        QCOMPARE(help->windowTitle(), QStringLiteral("Tovrel"));
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

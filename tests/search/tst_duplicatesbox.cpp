// The Find Duplicates window: groups named with their reasons, the value kept chosen field by field, Merge (of more
// than two only those ticked, after a question), Ctrl+Z, "Not the Same Person" remembered, and a long group kept
// readable.
#include "data/Connection.h"
#include "platform/Fakes.h"
#include "search/Duplicates.h"
#include "search/ui/DuplicatesBox.h"
#include "support/TestDb.h"

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>

using testsupport::Contact;
using testsupport::contact;
namespace dups = search::duplicates;

class TestDuplicatesBox : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    platform::Fakes m_fakes{};
    std::unique_ptr<data::Connection> m_connection;
    QString dbPath() const { return m_dir.filePath(QStringLiteral("Tovrel.mdb")); }

    sqlite3* open(const QList<Contact>& contacts)
    {
        m_connection.reset();
        testsupport::makeDatabase(dbPath(), contacts);
        m_connection = std::make_unique<data::Connection>();
        m_connection->setDatabasePath(dbPath());
        m_connection->open();
        return m_connection->handle();
    }

    sqlite3* openFour()
    {
        return open({contact({{"Surname", "Cole"}, {"Firstname", "Ann"}, {"Town", "Bath"}}),
                     contact({{"Surname", "Abbot"}, {"Firstname", "Bea"}, {"Town", "Ely"}, {"Email", "b@x.org"}}),
                     contact({{"Surname", "Cole"}, {"Firstname", "A."}, {"Town", "Bath"}}),
                     contact({{"Surname", "Abbott"}, {"Firstname", "B"}, {"Town", "Ely"}, {"Email", "B@x.org"}})});
    }

private slots:
    void init() { m_fakes = platform::installFakes(); }
    void cleanup() { m_connection.reset(); }

    void mergeKeepsTheChosenValue()
    {
        sqlite3* db = openFour();
        std::optional<dups::MergeUndo> merged;
        mainwindow::DuplicatesBox box(db, [&](const dups::MergeUndo& undo) { merged = undo; });
        QCOMPARE(box.groups->count(), 2);
        QCOMPARE(box.groups->item(0)->text(), QStringLiteral("Cole, Ann / Cole, A. — same name"));
        QCOMPARE(box.groups->item(1)->text(), QStringLiteral("Abbot, Bea / Abbott, B — same e-mail"));

        box.groups->setCurrentRow(1);
        QComboBox* surname = box.choice(QStringLiteral("Surname"));
        QVERIFY(surname);
        QCOMPARE(surname->currentText(), QStringLiteral("Abbot")); // the kept contact's, until chosen otherwise
        QVERIFY(!box.choice(QStringLiteral("Town")));              // nothing to choose where they agree
        surname->setCurrentText(QStringLiteral("Abbott"));
        box.btnMerge->click();

        QVERIFY(merged);
        QCOMPARE(merged->keptId, 2);
        QCOMPARE(testsupport::query(dbPath(), QStringLiteral("SELECT ID FROM HomeAd ORDER BY ID")),
                 (QStringList{"1", "2", "3"}));
        QCOMPARE(testsupport::query(dbPath(), QStringLiteral("SELECT Surname FROM HomeAd WHERE ID = 2")),
                 QStringList{"Abbott"});
        const QString notes = testsupport::query(dbPath(), QStringLiteral("SELECT Notes FROM HomeAd WHERE ID = 2")).value(0);
        QVERIFY2(notes.contains(QStringLiteral("Merged from Bea Abbot: Surname = Abbot")), qPrintable(notes));
        QVERIFY2(notes.contains(QStringLiteral("Merged from B Abbott: Firstname = B")), qPrintable(notes));
        QCOMPARE(box.groups->count(), 1); // the list follows the merge
        QVERIFY(m_fakes.prompts->asked.isEmpty());
    }

    void notTheSamePersonIsNotOfferedAgain()
    {
        sqlite3* db = openFour();
        {
            mainwindow::DuplicatesBox box(db, {});
            box.groups->setCurrentRow(0);
            box.btnNotSame->click();
            QCOMPARE(box.groups->count(), 1);
            QVERIFY(box.groups->item(0)->text().startsWith(QStringLiteral("Abbot")));
        }
        mainwindow::DuplicatesBox again(db, {});
        QCOMPARE(again.groups->count(), 1);
        QCOMPARE(testsupport::query(dbPath(), QStringLiteral("SELECT count(*) FROM HomeAd")), QStringList{"4"});
    }

    // Of a group of more than two, only the contacts ticked are merged, ticked at first where the name matches as
    // well as a number, e-mail or post code; the question names them; the list then moves on, and Ctrl+Z undoes.
    void severalAreMergedOnlyWhereTicked()
    {
        sqlite3* db = open({contact({{"Surname", "Cole"}, {"Firstname", "Ann"}, {"PostCode", "BA1 1AA"},
                                     {"Email", "ann@x.org"}, {"Tel", "01632 960101"}}),
                            contact({{"Surname", "Cole"}, {"Firstname", "A."}, {"PostCode", "BA1 1AA"}}),
                            contact({{"Surname", "Cole"}, {"Firstname", "Tom"}, {"Tel", "01632 960101"}}),
                            contact({{"Surname", "Bell"}, {"Firstname", "Ann"}, {"Email", "ann@x.org"}}),
                            contact({{"Surname", "Abbot"}, {"Firstname", "Bea"}, {"Email", "b@x.org"}}),
                            contact({{"Surname", "Abbott"}, {"Firstname", "B"}, {"Email", "B@x.org"}})});
        mainwindow::DuplicatesBox box(db, {});
        box.show();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        QCOMPARE(box.groups->count(), 2);
        QCOMPARE(box.members->count(), 4);
        const QStringList listed{"Cole, Ann — kept", "Cole, A. — same name", "Cole, Tom — same phone",
                                 "Bell, Ann — same e-mail"};
        QList<Qt::CheckState> ticks{Qt::Checked, Qt::Unchecked, Qt::Unchecked};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(box.members->item(i)->text(), listed[i]);
            if (i > 0)
                QCOMPARE(box.members->item(i)->checkState(), ticks[i - 1]);
        }
        auto count = [&] { return testsupport::query(dbPath(), QStringLiteral("SELECT count(*) FROM HomeAd")); };

        m_fakes.prompts->answers.enqueue(platform::Answer::No);
        box.btnMerge->click();
        QCOMPARE(count(), QStringList{"6"});
        QCOMPARE(m_fakes.prompts->asked.size(), 1);

        box.members->item(2)->setCheckState(Qt::Checked);
        QCOMPARE(box.fields->horizontalHeaderItem(2)->text(), QStringLiteral("Merged away"));
        QCOMPARE(box.fields->horizontalHeaderItem(3)->text(), QStringLiteral("Not merged"));
        QVERIFY(!box.choice(QStringLiteral("Surname"))); // the contacts merged agree: Bell is not among them
        QCOMPARE(box.choice(QStringLiteral("Firstname"))->count(), 3);
        box.btnMerge->setFocus();
        box.btnMerge->click();
        const QString question = m_fakes.prompts->asked.constLast().text;
        QVERIFY2(question.contains(QStringLiteral("Cole, A.")) && question.contains(QStringLiteral("Cole, Tom")) &&
                     question.contains(QStringLiteral("into Cole, Ann")) && !question.contains(QStringLiteral("Bell")),
                 qPrintable(question));
        QCOMPARE(testsupport::query(dbPath(), QStringLiteral("SELECT ID FROM HomeAd ORDER BY ID")),
                 (QStringList{"1", "4", "5", "6"}));
        QCOMPARE(box.groups->currentItem()->text(), QStringLiteral("Abbot, Bea / Abbott, B — same e-mail"));
        QCOMPARE(box.focusWidget(), box.groups);

        QSignalSpy undone(&box, &mainwindow::DuplicatesBox::mergeUndone);
        QTest::keyClick(box.groups, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(count(), QStringList{"6"});
        QCOMPARE(undone.size(), 1);
        QCOMPARE(undone.first().first().toLongLong(), 1);
        QVERIFY(!box.lastMerge());
        QVERIFY(!box.btnUndo->isEnabled());
        QCOMPARE(box.groups->currentRow(), 0);
        QCOMPARE(box.focusWidget(), box.groups);
    }

    // One person entered forty-five times: one group, named by its first few, compared in part.
    void longGroupStaysReadable()
    {
        const QList<Contact> same(45, contact({{"Surname", "Cole"}, {"Firstname", "Ann"}, {"PostCode", "BA1 1AA"}}));
        sqlite3* db = open(same);
        mainwindow::DuplicatesBox box(db, {});
        QCOMPARE(box.groups->count(), 1);
        QCOMPARE(box.groups->item(0)->text(),
                 QStringLiteral("Cole, Ann / Cole, Ann / Cole, Ann / Cole, Ann and 41 more — same name"));
        const int shown = box.fields->columnCount() - 1; // the last column is the value kept
        QVERIFY(shown > 1 && shown < 45);
        box.btnMerge->click(); // merges those shown, and only those
        QCOMPARE(testsupport::query(dbPath(), QStringLiteral("SELECT count(*) FROM HomeAd")).value(0).toInt(),
                 45 - shown + 1);
    }
};

QTEST_MAIN(TestDuplicatesBox)
#include "tst_duplicatesbox.moc"

#include "RecordsFixture.h"

#include "data/widgets/DBEdit.h"
#include "data/widgets/DBMemo.h"
#include "data/DateText.h"

#include <QVBoxLayout>

using testsupport::Contact;

class TestDBEdit : public QObject
{
    Q_OBJECT

    RecordsFixture f;
    std::unique_ptr<QWidget> m_window;
    std::unique_ptr<data::DataSource> m_source;

    data::DBEdit* bound(const QString& field)
    {
        auto* edit = new data::DBEdit(m_window.get());
        edit->setObjectName(field);
        m_window->layout()->addWidget(edit);
        edit->setDataSource(m_source.get());
        edit->setDataField(field);
        return edit;
    }

    void setUp(const QList<Contact>& contacts)
    {
        f.start(contacts);
        m_window = std::make_unique<QWidget>();
        new QVBoxLayout(m_window.get());
        m_source = std::make_unique<data::DataSource>(&f.q());
    }

private slots:
    void init()
    {
        setUp({Contact{{"Surname", "Adams"}, {"Town", "Bath"}, {"Birthday", "1974-03-21"}, {"Notes", "one\r\ntwo"}},
               Contact{{"Surname", "Brown"}, {"Town", "Leeds"}}});
    }
    void cleanup()
    {
        m_window.reset();
        m_source.reset();
        f.stop();
    }

    void followsTheCurrentRow()
    {
        data::DBEdit* town = bound(QStringLiteral("Town"));
        data::DBEdit* birthday = bound(QStringLiteral("Birthday"));
        QCOMPARE(town->text(), QStringLiteral("Bath"));
        QCOMPARE(birthday->text(), data::formatDate(QDate(1974, 3, 21)));
        f.q().next();
        QCOMPARE(town->text(), QStringLiteral("Leeds"));
        QCOMPARE(birthday->text(), QString());
        // A change made in another view shows at once.
        f.q().setFieldValue(QStringLiteral("Town"), QStringLiteral("York"));
        QCOMPARE(town->text(), QStringLiteral("York"));
        f.q().cancel();
        QCOMPARE(town->text(), QStringLiteral("Leeds"));
        f.q().close();
        QCOMPARE(town->text(), QString());
        QVERIFY(town->isReadOnly());
        f.q().open();
        QCOMPARE(town->text(), QStringLiteral("Bath"));
        QVERIFY(!town->isReadOnly());
    }

    void typingEditsTheRow()
    {
        data::DBEdit* town = bound(QStringLiteral("Town"));
        QTest::keyClicks(town, QStringLiteral("ford"));
        QCOMPARE(f.q().state(), data::Dataset::State::Edit);
        QCOMPARE(f.q().currentText(QStringLiteral("Town")), QStringLiteral("Bathford"));
        QCOMPARE(town->text(), QStringLiteral("Bathford"));
        f.q().post();
        QCOMPARE(f.stored(QStringLiteral("SELECT Town FROM HomeAd WHERE Surname='Adams'")),
                 QStringList{QStringLiteral("Bathford")});
    }

    void typingStopsAtTheFieldLength_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("size");
        QTest::newRow("Surname") << QStringLiteral("Surname") << 30;
        QTest::newRow("PostCode") << QStringLiteral("PostCode") << 10;
        QTest::newRow("Email") << QStringLiteral("Email") << 50;
        QTest::newRow("Flag2") << QStringLiteral("Flag2") << 6;
    }
    void typingStopsAtTheFieldLength()
    {
        QFETCH(QString, field);
        QFETCH(int, size);
        f.q().next(); // Brown: only Surname and Town are filled
        data::DBEdit* edit = bound(field);
        edit->selectAll();
        QTest::keyClicks(edit, QString(size + 5, QLatin1Char('x')));
        QCOMPARE(edit->text().size(), size);
        QCOMPARE(f.q().currentText(field), QString(size, QLatin1Char('x')));
    }

    // A value stored longer than the field allows (by another program) is shown whole, never cut.
    void longerStoredValueIsShownWhole()
    {
        const QString longName(40, QLatin1Char('z'));
        cleanup();
        setUp({Contact{{"Surname", longName}}});
        QCOMPARE(bound(QStringLiteral("Surname"))->text(), longName);
        QCOMPARE(f.q().state(), data::Dataset::State::Browse);
    }

    void dateBox_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored"); // empty with accepted false: refused
        QTest::addColumn<bool>("accepted");
        QTest::newRow("d/m/yyyy") << QStringLiteral("2/5/1980") << QStringLiteral("1980-05-02") << true;
        QTest::newRow("short date") << data::formatDate(QDate(1991, 12, 31)) << QStringLiteral("1991-12-31") << true;
        QTest::newRow("ISO") << QStringLiteral("1960-01-09") << QStringLiteral("1960-01-09") << true;
        QTest::newRow("emptied") << QString() << QString() << true;
        QTest::newRow("no such day") << QStringLiteral("31/02/1990") << QString() << false;
        QTest::newRow("words") << QStringLiteral("next spring") << QString() << false;
    }
    // A date is taken when the box is left; text that is no date is refused there, kept for correction, and the
    // row keeps both its former date and the other fields typed so far.
    void dateBox()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(bool, accepted);
        data::DBEdit* town = bound(QStringLiteral("Town"));
        data::DBEdit* birthday = bound(QStringLiteral("Birthday"));
        QVERIFY(activate(m_window.get()));
        town->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(town, QStringLiteral("ford"));
        birthday->setFocus(Qt::TabFocusReason);
        birthday->selectAll();
        if (typed.isEmpty())
            QTest::keyClick(birthday, Qt::Key_Delete);
        else
            QTest::keyClicks(birthday, typed);
        town->setFocus(Qt::TabFocusReason); // leave the box

        QCOMPARE(f.q().currentText(QStringLiteral("Town")), QStringLiteral("Bathford"));
        if (accepted) {
            QVERIFY(f.errors().isEmpty());
            QCOMPARE(f.q().currentText(QStringLiteral("Birthday")), stored);
            QCOMPARE(birthday->text(), data::formatDate(data::fromStorage(stored)));
            QVERIFY(!birthday->hasPendingText());
            f.q().post();
            QCOMPARE(f.stored(QStringLiteral("SELECT ifnull(Birthday,'') FROM HomeAd WHERE Surname='Adams'")),
                     QStringList{stored});
            return;
        }
        QCOMPARE(f.errors(), QStringList{QStringLiteral("'%1' is not a valid date.").arg(typed)});
        QCOMPARE(birthday->text(), typed);
        QVERIFY(birthday->hasFocus());
        QCOMPARE(f.q().state(), data::Dataset::State::Edit);
        QCOMPARE(f.q().currentText(QStringLiteral("Birthday")), QStringLiteral("1974-03-21"));
        // Typing elsewhere in the row does not wipe the text being corrected.
        f.q().setFieldValue(QStringLiteral("Tel"), QStringLiteral("123"));
        QCOMPARE(birthday->text(), typed);

        // Saving the row refuses it too, and nothing is written.
        QVERIFY_THROWS_EXCEPTION(platform::AppError, data::DBEdit::updateRecord(&f.q()));
        QCOMPARE(birthday->text(), typed);
        // So does a save from anywhere else, such as the grid moving to another row.
        QVERIFY_THROWS_EXCEPTION(platform::AppError, f.q().next());
        QCOMPARE(f.q().state(), data::Dataset::State::Edit);
        QCOMPARE(birthday->text(), typed);
        QCOMPARE(f.stored(QStringLiteral("SELECT Town FROM HomeAd WHERE Surname='Adams'")),
                 QStringList{QStringLiteral("Bath")});

        // Corrected, it goes through with everything else typed.
        birthday->selectAll();
        QTest::keyClicks(birthday, QStringLiteral("1/4/1975"));
        data::DBEdit::updateRecord(&f.q());
        f.q().post();
        QCOMPARE(
            f.stored(QStringLiteral("SELECT Town || ' ' || Tel || ' ' || Birthday FROM HomeAd WHERE Surname='Adams'")),
            QStringList{QStringLiteral("Bathford 123 1975-04-01")});
    }

    void escapeAndCancelDropTheTextBeingTyped()
    {
        data::DBEdit* birthday = bound(QStringLiteral("Birthday"));
        QTest::keyClicks(birthday, QStringLiteral("x"));
        QVERIFY(birthday->hasPendingText());
        QTest::keyClick(birthday, Qt::Key_Escape);
        QCOMPARE(birthday->text(), data::formatDate(QDate(1974, 3, 21)));
        QTest::keyClicks(birthday, QStringLiteral("x"));
        f.q().cancel();
        QVERIFY(!birthday->hasPendingText());
        QCOMPARE(birthday->text(), data::formatDate(QDate(1974, 3, 21)));
    }

    // A box of a window that is not open must not stop a save made in another window.
    void closedWindowDoesNotBlockSaving()
    {
        data::DBEdit* birthday = bound(QStringLiteral("Birthday"));
        QTest::keyClicks(birthday, QStringLiteral("x"));
        QVERIFY(!m_window->isVisible());
        data::DBEdit::updateRecord(&f.q());
        QVERIFY(!birthday->hasPendingText());
    }

    void memo()
    {
        auto* notes = new data::DBMemo(m_window.get());
        notes->setDataSource(m_source.get());
        notes->setDataField(QStringLiteral("Notes"));
        QCOMPARE(notes->toPlainText(), QStringLiteral("one\ntwo"));
        QCOMPARE(f.q().state(), data::Dataset::State::Browse);
        notes->moveCursor(QTextCursor::End);
        QTest::keyClicks(notes, QStringLiteral("!"));
        QCOMPARE(f.q().state(), data::Dataset::State::Edit);
        QCOMPARE(f.q().currentText(QStringLiteral("Notes")), QStringLiteral("one\ntwo!"));
        f.q().next();
        QCOMPARE(notes->toPlainText(), QString());
        f.q().close();
        QVERIFY(notes->isReadOnly());
    }
};

QTEST_MAIN(TestDBEdit)
#include "tst_dbedit.moc"

// The data-aware navigator: which buttons are usable when, what each does, and that it follows moves made elsewhere.
#include "data/ContactStore.h"
#include "data/widgets/DBNavigator.h"
#include "platform/Fakes.h"
#include "support/TestDb.h"

#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using Nav = data::DBNavigator;
Q_DECLARE_METATYPE(QList<Nav::Button>)

class TestNavigator : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    platform::Fakes m_fakes{};
    std::unique_ptr<data::ContactStore> m_store;
    std::unique_ptr<Nav> m_nav;

    data::Dataset& q() { return m_store->HomeQuery; }

    QList<Nav::Button> usable()
    {
        QList<Nav::Button> out;
        for (Nav::Button b : Nav::allButtons())
            if (m_nav->button(b)->isEnabled())
                out << b;
        return out;
    }

private slots:
    void init()
    {
        m_fakes = platform::installFakes();
        const QString db = m_dir.filePath(QStringLiteral("Tovrel.mdb"));
        testsupport::makeDatabase(db, testsupport::sampleContacts());
        m_store = std::make_unique<data::ContactStore>();
        m_store->configure(m_dir.path() + QLatin1Char('/'));
        m_nav = std::make_unique<Nav>(&m_store->dsHome);
    }
    void cleanup()
    {
        m_nav.reset();
        m_store.reset();
    }

    void usableButtons_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QList<Nav::Button>>("expected");
        const QList<Nav::Button> always = {Nav::Insert, Nav::Delete, Nav::Edit, Nav::Refresh};
        QTest::newRow("closed") << "closed" << QList<Nav::Button>{};
        QTest::newRow("just opened") << "opened" << QList<Nav::Button>{Nav::Next, Nav::Last} + always;
        QTest::newRow("after Next") << "next"
                                    << QList<Nav::Button>{Nav::First, Nav::Prior, Nav::Next, Nav::Last} + always;
        QTest::newRow("after Last") << "last" << QList<Nav::Button>{Nav::First, Nav::Prior} + always;
        QTest::newRow("Prior finds no row") << "prior at first" << QList<Nav::Button>{Nav::Next, Nav::Last} + always;
        QTest::newRow("Next finds no row") << "next at last" << QList<Nav::Button>{Nav::First, Nav::Prior} + always;
        QTest::newRow("empty") << "empty" << QList<Nav::Button>{Nav::Insert, Nav::Edit, Nav::Refresh};
        QTest::newRow("editing") << "editing" << QList<Nav::Button>{Nav::Next, Nav::Last,   Nav::Insert, Nav::Delete,
                                                                    Nav::Post, Nav::Cancel, Nav::Refresh};
        QTest::newRow("inserting into empty")
            << "inserting into empty"
            << QList<Nav::Button>{Nav::First,  Nav::Prior, Nav::Next,   Nav::Last,   Nav::Insert,
                                  Nav::Delete, Nav::Post,  Nav::Cancel, Nav::Refresh};
    }
    // Changes made by other code (another window's buttons) are followed as well as the navigator's own.
    void usableButtons()
    {
        QFETCH(QString, situation);
        QFETCH(QList<Nav::Button>, expected);
        if (situation != QLatin1String("closed"))
            q().open();
        if (situation == QLatin1String("next"))
            q().next();
        if (situation == QLatin1String("last"))
            m_nav->click(Nav::Last);
        if (situation == QLatin1String("prior at first")) {
            q().next();
            q().prior(); // back on the first row, not yet at the beginning
            QVERIFY(m_nav->button(Nav::Prior)->isEnabled());
            q().prior();
        }
        if (situation == QLatin1String("next at last")) {
            q().moveTo(q().recordCount() - 1);
            QVERIFY(m_nav->button(Nav::Next)->isEnabled());
            q().next();
        }
        if (situation.endsWith(QLatin1String("empty"))) {
            q().close();
            q().setSql({QStringLiteral("SELECT * FROM HomeAd WHERE Surname LIKE 'Q%'")});
            q().open();
        }
        if (situation == QLatin1String("editing"))
            q().setFieldValue(QStringLiteral("Town"), QStringLiteral("Hull"));
        if (situation == QLatin1String("inserting into empty"))
            q().insert();
        QCOMPARE(usable(), expected);
    }

    void buttonsActOnTheDataset()
    {
        q().open();
        m_nav->click(Nav::Last);
        QCOMPARE(q().currentRow(), 5);
        m_nav->click(Nav::Prior);
        QCOMPARE(q().currentRow(), 4);
        m_nav->click(Nav::First);
        QCOMPARE(q().currentRow(), 0);
        m_nav->click(Nav::Next);
        QCOMPARE(q().currentRow(), 1);
        m_nav->click(Nav::Edit);
        QCOMPARE(q().state(), data::Dataset::State::Edit);
        q().setFieldValue(QStringLiteral("Town"), QStringLiteral("Hull"));
        m_nav->click(Nav::Post);
        QCOMPARE(q().state(), data::Dataset::State::Browse);
        QCOMPARE(m_fakes.sound->files, QStringList{"post.wav"});
        m_nav->click(Nav::Insert);
        QCOMPARE(q().state(), data::Dataset::State::Insert);
        QCOMPARE(q().recordCount(), 7);
        m_nav->click(Nav::Cancel);
        QCOMPARE(q().recordCount(), 6);
        // Moving settles a changed row: it is saved.
        q().setFieldValue(QStringLiteral("Town"), QStringLiteral("Ely"));
        m_nav->click(Nav::Next);
        QCOMPARE(q().text(1, QStringLiteral("Town")), QStringLiteral("Ely"));
        QCOMPARE(m_fakes.sound->files.size(), 2);
        // Refresh fetches the rows again and stays on the same contact and order.
        q().setSort(QStringLiteral("Town DESC"));
        const qint64 key = q().rowKey(q().currentRow());
        m_nav->click(Nav::Refresh);
        QCOMPARE(q().rowKey(q().currentRow()), key);
        QCOMPARE(q().sort(), QStringLiteral("Town DESC"));
    }

    void deleteAsks_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("left");
        QTest::newRow("OK") << int(platform::Answer::Ok) << 5;
        QTest::newRow("Cancel") << int(platform::Answer::Cancel) << 6;
    }
    void deleteAsks()
    {
        QFETCH(int, answer);
        QFETCH(int, left);
        q().open();
        m_fakes.prompts->answers.enqueue(platform::Answer(answer));
        m_nav->click(Nav::Delete);
        QCOMPARE(m_fakes.prompts->asked.size(), 1);
        QCOMPARE(m_fakes.prompts->asked.first().caption, QStringLiteral("Confirm"));
        QCOMPARE(m_fakes.prompts->asked.first().text, QStringLiteral("Delete Bob adams?"));
        QCOMPARE(m_fakes.prompts->asked.first().icon, platform::Icon::Question);
        QCOMPARE(m_fakes.prompts->asked.first().buttons, platform::Buttons::OkCancel);
        QCOMPARE(q().recordCount(), left);
    }

    void errorsGoToTheErrorBox()
    {
        q().open();
        q().beginExclusiveRead(QStringLiteral("Busy"));
        m_nav->click(Nav::Next);
        q().endExclusiveRead();
        QCOMPARE(m_fakes.prompts->asked.size(), 1);
        QCOMPARE(m_fakes.prompts->asked.first().text, QStringLiteral("Busy."));
        QCOMPARE(q().currentRow(), 0);
    }

    void visibleButtonsAndHints()
    {
        Nav five(&m_store->dsHome, {Nav::First, Nav::Prior, Nav::Next, Nav::Last, Nav::Post});
        QVERIFY(five.button(Nav::Post));
        QVERIFY(!five.button(Nav::Insert));
        QCOMPARE(five.findChildren<QToolButton*>().size(), 10);
        int visible = 0;
        for (QToolButton* b : five.findChildren<QToolButton*>())
            visible += !b->isHidden();
        QCOMPARE(visible, 5);
        const QStringList hints = {"First record",  "Prior record", "Next record", "Last record", "Insert record",
                                   "Delete record", "Edit record",  "Post edit",   "Cancel edit"};
        for (int i = 0; i < hints.size(); ++i) {
            QCOMPARE(m_nav->button(Nav::Button(i))->toolTip(), hints[i]);
            QCOMPARE(m_nav->button(Nav::Button(i))->statusTip(), hints[i]);
        }
        m_nav->setHint(Nav::First, QStringLiteral("Start|Go to the first contact"));
        QCOMPARE(m_nav->button(Nav::First)->toolTip(), QStringLiteral("Start"));
        m_nav->setShowHints(false);
        QVERIFY(m_nav->button(Nav::First)->toolTip().isEmpty());
        QCOMPARE(m_nav->button(Nav::First)->statusTip(), QStringLiteral("Start|Go to the first contact"));
    }
};

QTEST_MAIN(TestNavigator)
#include "tst_mainwindow_navigator.moc"

// Deleted contacts kept in their side table: by every path, restored, expired.
#include "data/ContactStore.h"
#include "data/RecentlyDeleted.h"
#include "platform/AppError.h"
#include "platform/Fakes.h"
#include "support/TestDb.h"

#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

using testsupport::Contact;
namespace deleted = data::deleted;

class TestRecentlyDeleted : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    platform::Fakes m_fakes{};
    std::unique_ptr<data::ContactStore> m_store;

    data::Dataset& q() { return m_store->HomeQuery; }
    sqlite3* db() { return m_store->connection.handle(); }
    QString dbPath() const { return m_dir.filePath(QStringLiteral("Tovrel.mdb")); }

    void reopen()
    {
        q().close();
        m_store->connection.close();
        q().open();
    }
    int rowOf(const QString& firstname)
    {
        for (int r = 0; r < q().recordCount(); ++r)
            if (q().text(r, QStringLiteral("Firstname")) == firstname)
                return r;
        return -1;
    }
    void exec(const char* sql) { QCOMPARE(sqlite3_exec(db(), sql, nullptr, nullptr, nullptr), SQLITE_OK); }

private slots:
    void init()
    {
        m_fakes = platform::installFakes();
        Contact full = testsupport::sampleContacts().first();
        full.insert(QStringLiteral("Work Tel"), QStringLiteral("0113 496 0000"));
        full.insert(QStringLiteral("Notes"), QStringLiteral("line one\nline two"));
        full.insert(QStringLiteral("Birthday"), QStringLiteral("1970-05-04"));
        QList<Contact> contacts = testsupport::sampleContacts();
        contacts[0] = full;
        testsupport::makeDatabase(dbPath(), contacts);
        m_store = std::make_unique<data::ContactStore>();
        m_store->configure(m_dir.path() + QLatin1Char('/'));
        q().open();
    }
    void cleanup() { m_store.reset(); }

    void gridDeleteIsKeptWholeAndRestoredUnderItsKey()
    {
        const int row = rowOf(QStringLiteral("Alice"));
        q().moveTo(row);
        const qint64 key = q().rowKey(row);
        q().remove();
        const auto entries = deleted::list(db());
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].contactId, key);
        QCOMPARE(entries[0].deletedAt, m_fakes.clock->current);
        QCOMPARE(entries[0].values.value(QStringLiteral("Work Tel")), QStringLiteral("0113 496 0000"));
        QCOMPARE(entries[0].values.value(QStringLiteral("Notes")), QStringLiteral("line one\nline two"));

        QCOMPARE(deleted::restore(db(), entries[0].id), key);
        QVERIFY(deleted::list(db()).isEmpty());
        reopen();
        const int back = rowOf(QStringLiteral("Alice"));
        QVERIFY(back >= 0);
        QCOMPARE(q().rowKey(back), key);
        QCOMPARE(q().text(back, QStringLiteral("Work Tel")), QStringLiteral("0113 496 0000"));
        QCOMPARE(testsupport::query(dbPath(), QStringLiteral("SELECT Birthday FROM HomeAd WHERE Firstname='Alice'")),
                 QStringList{QStringLiteral("1970-05-04")});
        // The contact table is left with its own columns only.
        QCOMPARE(testsupport::query(dbPath(), QStringLiteral("SELECT count(*) FROM pragma_table_info('HomeAd')")),
                 QStringList{QStringLiteral("20")});
    }

    // A sync or a merge deletes with its own statement on the same connection.
    void anyDeleteOnTheConnectionIsKeptNewestFirst()
    {
        exec("DELETE FROM HomeAd WHERE Firstname = 'Bob'");
        m_fakes.clock->current = m_fakes.clock->current.addSecs(60);
        exec("DELETE FROM HomeAd WHERE Town IN ('Bath', 'Dover')");
        QStringList names;
        for (const auto& e : deleted::list(db()))
            names << e.values.value(QStringLiteral("Firstname"));
        QCOMPARE(names.size(), 3);
        QCOMPARE(names.last(), QStringLiteral("Bob"));
    }

    void restoreTakesANewKeyWhenTheOldIsTaken()
    {
        exec("DELETE FROM HomeAd WHERE Firstname = 'Bob'");
        const auto entry = deleted::list(db()).first();
        const QByteArray taken =
            QStringLiteral("INSERT INTO HomeAd (ID, Surname) VALUES (%1, 'Other')").arg(entry.contactId).toUtf8();
        exec(taken.constData());
        const qint64 key = deleted::restore(db(), entry.id);
        QVERIFY(key != entry.contactId);
        QCOMPARE(testsupport::query(dbPath(), QStringLiteral("SELECT Firstname FROM HomeAd WHERE ID=%1").arg(key)),
                 QStringList{QStringLiteral("Bob")});
        QVERIFY_THROWS_EXCEPTION(platform::AppError, deleted::restore(db(), entry.id));
    }

    void keptThirtyDays_data()
    {
        QTest::addColumn<int>("hoursLater");
        QTest::addColumn<bool>("kept");
        QTest::newRow("29 days") << 29 * 24 << true;
        QTest::newRow("just under 30 days") << 30 * 24 - 1 << true;
        QTest::newRow("31 days") << 31 * 24 << false;
    }
    void keptThirtyDays()
    {
        QFETCH(int, hoursLater);
        QFETCH(bool, kept);
        exec("DELETE FROM HomeAd WHERE Firstname = 'Bob'");
        m_fakes.clock->current = m_fakes.clock->current.addSecs(qint64(hoursLater) * 3600);
        reopen(); // the next start
        QCOMPARE(deleted::list(db()).size(), kept ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestRecentlyDeleted)
#include "tst_recentlydeleted.moc"

// Two programs on one database file: saves and deletes that another program got in the way of, and Restore while
// the file is open elsewhere.

#include "backup/BackupRestore.h"
#include "data/ContactStore.h"
#include "data/Connection.h"
#include "platform/AppError.h"
#include "platform/Fakes.h"
#include "platform/ProgramFolder.h"
#include "support/TestDb.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

namespace {

QString errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const platform::AppError& e) {
        return e.message();
    }
    return {};
}

// A second program: opens the database and holds it until its standard input closes.
int holdDatabase(const char* path)
{
    data::Connection connection;
    connection.setDatabasePath(QString::fromLocal8Bit(path));
    try {
        connection.open();
    } catch (const platform::AppError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    std::printf("open\n");
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    return 0;
}

} // namespace

class TestSharedFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    platform::Fakes m_fakes{};
    std::unique_ptr<data::ContactStore> m_a;
    std::unique_ptr<data::ContactStore> m_b;

    QString dbPath() const { return m_dir.filePath(QStringLiteral("Tovrel.mdb")); }

    std::unique_ptr<data::ContactStore> openStore() const
    {
        auto store = std::make_unique<data::ContactStore>();
        store->configure(m_dir.path() + QLatin1Char('/'));
        store->HomeQuery.setSql({QStringLiteral("SELECT * FROM HomeAd WHERE Surname = 'Brown'")});
        store->HomeQuery.open();
        return store;
    }

    QString stored(const QString& field) const
    {
        return testsupport::query(dbPath(), QStringLiteral("SELECT \"%1\" FROM HomeAd WHERE Firstname LIKE 'A%'")
                                                .arg(field))
            .value(0);
    }

    // What the first program does to the contact: change a field and save it, or delete it.
    static void act(data::Dataset& q, const QString& field, const QString& value)
    {
        if (field.isEmpty()) {
            q.remove();
            return;
        }
        q.setFieldValue(field, value);
        q.post();
    }

private slots:
    void init()
    {
        m_fakes = platform::installFakes();
        testsupport::makeDatabase(dbPath(), testsupport::sampleContacts());
        m_a = openStore();
        m_b = openStore(); // both read the contact before either saves
    }

    void cleanup()
    {
        m_a.reset();
        m_b.reset();
    }

    void secondSaveOrDelete_data()
    {
        // The first program changes a field (or deletes the row, field empty); then the second, whose snapshot is
        // older, saves a change of its own (or deletes, field empty).
        QTest::addColumn<QString>("firstField");
        QTest::addColumn<QString>("firstValue");
        QTest::addColumn<QString>("secondField");
        QTest::addColumn<QString>("secondValue");
        QTest::addColumn<bool>("refused");
        QTest::newRow("different fields: both kept") << "Firstname" << "Alicia" << "Address1" << "1 High St" << false;
        QTest::newRow("same field: refused") << "Town" << "Hull" << "Town" << "Ripon" << true;
        QTest::newRow("same field, only the case changed: refused") << "Town" << "LEEDS" << "Town" << "Ripon" << true;
        QTest::newRow("field set where it was empty: refused") << "Address1" << "2 Low Rd" << "Address1" << "1 High St"
                                                              << true;
        QTest::newRow("row deleted: save refused") << "" << "" << "Town" << "Ripon" << true;
        QTest::newRow("row changed: delete refused") << "Notes" << "moved" << "" << "" << true;
        QTest::newRow("row deleted: delete refused") << "" << "" << "" << "" << true;
    }

    void secondSaveOrDelete()
    {
        QFETCH(QString, firstField);
        QFETCH(QString, firstValue);
        QFETCH(QString, secondField);
        QFETCH(QString, secondValue);
        QFETCH(bool, refused);
        act(m_a->HomeQuery, firstField, firstValue);
        data::Dataset& b = m_b->HomeQuery;
        const QString error = errorOf([&] { act(b, secondField, secondValue); });
        if (!refused) {
            QCOMPARE(error, QString());
            QCOMPARE(stored(firstField), firstValue);
            QCOMPARE(stored(secondField), secondValue);
            // The saved row shows the other program's change too.
            QCOMPARE(b.currentText(firstField), firstValue);
            return;
        }
        const QString action = secondField.isEmpty() ? QStringLiteral("deleting") : QStringLiteral("updating");
        if (!firstField.isEmpty() && !secondField.isEmpty()) // the row is there: the field changed is named
            QCOMPARE(error, QStringLiteral("HomeQuery: Another program changed %1 of Alice Brown while it was being "
                                           "edited here, so this change was not saved. Cancel shows the stored "
                                           "version")
                                .arg(secondField));
        else
            QCOMPARE(error, QStringLiteral("HomeQuery: The row of Alice Brown cannot be found for %1: it was changed "
                                           "or deleted by another program")
                                .arg(action));
        if (!secondField.isEmpty()) {
            // The typed value stays, in editing, for the user to see or cancel; the table keeps the first change.
            QCOMPARE(b.state(), data::Dataset::State::Edit);
            QCOMPARE(b.currentText(secondField), secondValue);
            if (!firstField.isEmpty())
                QCOMPARE(stored(firstField), firstValue);
        } else {
            QCOMPARE(b.recordCount(), 1);
        }
        // Cancel shows what the table holds now: the first program's value, or no row at all.
        b.cancelUpdates();
        QCOMPARE(b.state(), data::Dataset::State::Browse);
        if (firstField.isEmpty()) {
            QCOMPARE(b.recordCount(), 0);
        } else {
            QCOMPARE(b.currentText(firstField), firstValue);
            // Now that it has read the change, the second program may change the field itself.
            if (!secondField.isEmpty()) {
                act(b, secondField, secondValue);
                QCOMPARE(stored(secondField), secondValue);
            }
        }
    }

    void restoreRefusedWhileAnotherProgramHasTheFile()
    {
        m_a.reset();
        m_b.reset();
        const QString backup = m_dir.filePath(QStringLiteral("Tovrel.bak"));
        testsupport::makeDatabase(backup, {{{QStringLiteral("Surname"), QStringLiteral("Backup")}}});
        const QByteArray before = testsupport::readBytes(dbPath());

        QProcess holder;
        holder.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold"), dbPath()});
        QVERIFY(holder.waitForReadyRead(30000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("open"));

        // The refusal names the file and says why, so the user knows what to close.
        const QString refused = errorOf([&] { backup::restoreDatabase(backup, dbPath()); });
        QVERIFY2(refused.startsWith(QStringLiteral("Cannot create file %1: ")
                                        .arg(QFileInfo(dbPath()).absoluteFilePath())) &&
                     refused.contains(QLatin1String("has the address book open")),
                 qPrintable(refused));
        QCOMPARE(testsupport::readBytes(dbPath()), before);

        // Once the other program has closed it, the restore goes ahead.
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(30000));
        QCOMPARE(holder.exitCode(), 0);
        QCOMPARE(errorOf([&] { backup::restoreDatabase(backup, dbPath()); }), QString());
        QCOMPARE(testsupport::query(dbPath(), QStringLiteral("SELECT Surname FROM HomeAd")), QStringList{"Backup"});
    }

    void restoreCommandRefusedWhileASecondConnectionIsOpen()
    {
        platform::setProgramFolder(m_dir.path());
        const QString backup = m_dir.filePath(QStringLiteral("Tovrel.bak"));
        testsupport::makeDatabase(backup, {{{QStringLiteral("Surname"), QStringLiteral("Backup")}}});
        const QByteArray before = testsupport::readBytes(dbPath());
        m_fakes.prompts->answers << platform::Answer::Ok; // the restore question defaults to Cancel
        backup::miRestoreClick(*m_a);
        platform::setProgramFolder(QString());
        QCOMPARE(m_fakes.prompts->asked.size(), 2);
        const QString refused = m_fakes.prompts->asked.last().text;
        QVERIFY2(refused.startsWith(QStringLiteral("Cannot create file %1: ")
                                        .arg(QFileInfo(dbPath()).absoluteFilePath())) &&
                     refused.contains(QLatin1String("has the address book open")),
                 qPrintable(refused));
        QCOMPARE(testsupport::readBytes(dbPath()), before);
        // Both programs go on working on the file they had.
        QCOMPARE(m_a->HomeQuery.recordCount(), 1);
        m_b->HomeQuery.setFieldValue(QStringLiteral("Town"), QStringLiteral("Ripon"));
        m_b->HomeQuery.post();
        QCOMPARE(stored(QStringLiteral("Town")), QStringLiteral("Ripon"));
    }
};

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--hold")
        return holdDatabase(argv[2]);
    QApplication application(argc, argv);
    TestSharedFile test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_sharedfile.moc"

#include "app/Application.h"
#include "mainwindow/HomeGrid.h"
#include "platform/Fakes.h"
#include "platform/ProgramFolder.h"
#include "support/TestDb.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestStartUp : public QObject
{
    Q_OBJECT
private slots:
    void startsWithContacts()
    {
        QTemporaryDir dir;
        testsupport::makeDatabase(dir.filePath(QStringLiteral("Tovrel.mdb")), testsupport::sampleContacts());
        QFile list(dir.filePath(QStringLiteral("ListFile.txt"))); // a missing county list is reported
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.close();
        platform::setProgramFolder(dir.path());
        auto fakes = platform::installFakes();
        app::Application application;
        application.startUp();
        QVERIFY(application.fmHomeAddMain);
        QVERIFY(application.fmHomeAddMain->isVisible());
        QCOMPARE(application.fmHomeAddMain->windowTitle(), QStringLiteral("Tovrel"));
        QVERIFY(application.store.HomeQuery.isOpen());
        QCOMPARE(application.store.HomeQuery.recordCount(), 6);
        const auto errors = std::count_if(fakes.prompts->asked.begin(), fakes.prompts->asked.end(),
                                          [](const platform::PromptRecord& r) { return r.icon == platform::Icon::Error; });
        QCOMPARE(errors, 0);
    }

    // A first start in a folder without an address book asks; No keeps the engine's one error and a closed grid,
    // Yes makes the folder, the database and the county list and starts with a working, empty grid.
    void firstStartOffersANewAddressBook_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("no") << false;
        QTest::newRow("yes") << true;
    }
    void firstStartOffersANewAddressBook()
    {
        QFETCH(bool, yes);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("not yet/contacts"));
        platform::setProgramFolder(folder);
        auto fakes = platform::installFakes();
        fakes.prompts->answers << (yes ? platform::Answer::Yes : platform::Answer::No);
        app::Application application;
        application.startUp();
        QVERIFY(application.fmHomeAddMain);
        const platform::PromptRecord first = fakes.prompts->asked.constFirst();
        QCOMPARE(first.text, QStringLiteral("There is no address book in %1. Make a new, empty one there?")
                                 .arg(QDir::toNativeSeparators(folder)));
        QCOMPARE(first.buttons, platform::Buttons::YesNo);
        QStringList errors;
        for (const auto& r : fakes.prompts->asked)
            if (r.icon == platform::Icon::Error)
                errors << r.text;
        data::Dataset& q = application.store.HomeQuery;
        if (!yes) {
            QCOMPARE(errors.filter(QStringLiteral("Tovrel.mdb")).size(), 1);
            QVERIFY(!q.isOpen());
            QVERIFY(!QFile::exists(folder + QStringLiteral("/Tovrel.mdb")));
            return;
        }
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QLatin1Char('\n'))));
        QVERIFY(q.isOpen());
        QCOMPARE(q.recordCount(), 0);
        QVERIFY(QFile::exists(folder + QStringLiteral("/ListFile.txt")));
        q.insert();
        q.setFieldValue(QStringLiteral("Surname"), QStringLiteral("Zylstra"));
        q.post();
        QCOMPARE(testsupport::query(folder + QStringLiteral("/Tovrel.mdb"), QStringLiteral("SELECT Surname FROM HomeAd")),
                 QStringList{QStringLiteral("Zylstra")});
    }

    // A file that is there but cannot be read is never replaced, and nothing is asked about it.
    void aDamagedFileIsNeverReplaced()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Tovrel.mdb"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a database at all");
        file.close();
        platform::setProgramFolder(dir.path());
        auto fakes = platform::installFakes();
        app::Application application;
        application.startUp();
        for (const auto& r : fakes.prompts->asked)
            QVERIFY2(r.icon != platform::Icon::Question, qPrintable(r.text));
        QVERIFY(!application.store.HomeQuery.isOpen());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("not a database at all"));
    }

    // Without --folder the contacts live in the user's data folder, unless the program's own folder holds them.
    void theContactsLiveInTheUsersDataFolder()
    {
        QTemporaryDir home;
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
        platform::setProgramFolder(QString());
        const QString folder = platform::programFolder();
        qputenv("XDG_DATA_HOME", saved);
        QCOMPARE(folder, home.path() + QStringLiteral("/Tovrel/"));
    }

    void initDatabaseNeverOverwrites()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Tovrel.mdb"));
        QCOMPARE(QProcess::execute(QStringLiteral(TOVREL_BINARY), {"--init-database", "--folder", dir.path()}), 0);
        QCOMPARE(testsupport::query(path, QStringLiteral("SELECT count(*) FROM HomeAd")), QStringList{"0"});
        testsupport::makeDatabase(path, testsupport::sampleContacts());
        QCOMPARE(QProcess::execute(QStringLiteral(TOVREL_BINARY), {"--init-database", "--folder", dir.path()}), 0);
        QCOMPARE(testsupport::query(path, QStringLiteral("SELECT count(*) FROM HomeAd")), QStringList{"6"});
        QCOMPARE(testsupport::query(path, QStringLiteral("PRAGMA journal_mode")), QStringList{"delete"});
    }
};

QTEST_MAIN(TestStartUp)
#include "tst_startup.moc"

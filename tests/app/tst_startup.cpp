#include "app/Application.h"
#include "app/HomeGrid.h"
#include "platform/Fakes.h"
#include "platform/ProgramFolder.h"
#include "support/TestDb.h"

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

    void missingDatabaseGivesOneErrorAndAnEmptyGrid()
    {
        QTemporaryDir dir;
        platform::setProgramFolder(dir.path());
        auto fakes = platform::installFakes();
        app::Application application;
        application.startUp();
        QVERIFY(application.fmHomeAddMain);
        QVERIFY(!application.store.HomeQuery.isOpen());
        QStringList errors;
        for (const auto& r : fakes.prompts->asked)
            if (r.icon == platform::Icon::Error && r.text.contains(QStringLiteral("Tovrel.mdb")))
                errors << r.text;
        QCOMPARE(errors.size(), 1);
        QCOMPARE(fakes.prompts->asked.constFirst().caption, QStringLiteral("Tovrel"));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("Tovrel.mdb"))));
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

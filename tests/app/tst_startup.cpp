#include "app/Application.h"
#include "data/widgets/DBEdit.h"
#include "exchange/AccessFile.h"
#include "exchange/ContactImport.h"
#include "help/Credits.h"
#include "help/HelpMemoBox.h"
#include "mailmerge/MailMergeEdit.h"
#include "mailmerge/MailMergeInfo.h"
#include "mailmerge/MailMergeSetup.h"
#include "mainwindow/MainWindow.h"
#include "platform/Fakes.h"
#include "platform/ProgramFolder.h"
#include "records/CountyListEditor.h"
#include "records/HomeFormView.h"
#include "records/RecordCard.h"
#include "search/ui/SearchDialog.h"
#include "support/TestDb.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestStartUp : public QObject
{
    Q_OBJECT
private slots:
    // Modal windows run their own event loops here; closing one must not end the test's application.
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

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

    // Start-up makes the windows hidden, in order, and offers their commands: the card and the form show the main
    // window's contact, the county editor edits its County pick list, the mail merge reaches the text editor.
    void startUpHandsTheWindowsWhatTheyUse()
    {
        QTemporaryDir dir;
        const testsupport::Contact adams{{QStringLiteral("Surname"), QStringLiteral("Adams")}};
        testsupport::makeDatabase(dir.filePath(QStringLiteral("Tovrel.mdb")), {adams});
        testsupport::makeCountyList(dir.path(), {QStringLiteral("Kent")});
        platform::setProgramFolder(dir.path());
        auto fakes = platform::installFakes();
        app::Application a;
        a.startUp();
        const QList<QWidget*> hidden{a.fmMailMergeSetup, a.fmMailMergeHelp, a.fmMailMergeEdit, a.fmCountyListEdit,
                                     a.fmHelpMemo,       a.fmHomeForm,      a.fmRecCard,       a.fmCredits};
        for (QWidget* window : hidden)
            QVERIFY(window && !window->isVisible());
        for (const platform::Command command : platform::allCommands)
            QVERIFY2(a.hasCommand(command), qPrintable(platform::commandName(command)));
        QCOMPARE(a.fmHomeForm->parentWidget(), a.fmHomeAddMain);
        QCOMPARE(a.fmRecCard->parentWidget(), a.fmHomeAddMain);
        QVERIFY(a.store.HomeQuery.isOpen());
        QVERIFY(a.runCommand(platform::Command::FormView));
        QVERIFY(a.fmHomeForm->isVisible());
        QVERIFY(a.runCommand(platform::Command::RecordCard));
        QVERIFY(a.fmRecCard->isVisible());
        QCOMPARE(a.fmRecCard->box(QStringLiteral("Surname"))->text(), QStringLiteral("Adams"));

        QStringList seen;
        QTimer::singleShot(0, a.fmCountyListEdit, [&] {
            seen = a.fmCountyListEdit->entries();
            a.fmCountyListEdit->fill({QStringLiteral("Avon"), QStringLiteral("Kent")});
            a.fmCountyListEdit->btOKEdit->click();
        });
        QVERIFY(a.runCommand(platform::Command::CountyEditor));
        QCOMPARE(seen, QStringList{QStringLiteral("Kent")});
        QCOMPARE(a.fmHomeAddMain->countyPickList(), (QStringList{QStringLiteral("Avon"), QStringLiteral("Kent")}));

        QVERIFY(a.runCommand(platform::Command::HelpNote));
        QVERIFY(a.fmHelpMemo->isVisible());
        QVERIFY(a.runCommand(platform::Command::MailMerge));
        QVERIFY(a.fmMailMergeSetup->isVisible());
        a.fmMailMergeSetup->btnDocument->click();
        QVERIFY(a.fmMailMergeEdit->isVisible());
        a.fmMailMergeEdit->hide();
        QVERIFY(a.runCommand(platform::Command::Notepad));
        QVERIFY(a.fmMailMergeEdit->isVisible());
        for (const auto& r : fakes.prompts->asked)
            QVERIFY2(r.icon != platform::Icon::Error, qPrintable(r.text));
    }

    // The search dialog is made at start-up, its creation opens the contact query, and it is the modal search command.
    void searchDialogIsMadeAtStartUpAndOpensTheContacts()
    {
        QTemporaryDir dir;
        testsupport::makeDatabase(dir.filePath(QStringLiteral("Tovrel.mdb")), testsupport::sampleContacts());
        testsupport::makeCountyList(dir.path());
        platform::setProgramFolder(dir.path());
        platform::installFakes();
        app::Application application;
        QVERIFY(!application.store.HomeQuery.isOpen());
        application.startUp();
        TfmSQLSearchDialog* dialog = application.fmSQLSearchDialog;
        QVERIFY(dialog);
        QVERIFY(application.store.HomeQuery.isOpen());
        QCOMPARE(application.store.HomeQuery.recordCount(), testsupport::sampleContacts().size());
        bool wasModal = false;
        QTimer::singleShot(0, dialog, [&] {
            wasModal = dialog->isModal() && dialog->isVisible();
            dialog->sqCancelBtn->click();
        });
        QVERIFY(application.runCommand(platform::Command::SearchDialog));
        QVERIFY(wasModal);
    }

    // An Access-format Tovrel.mdb without a HomeAd table: start-up says so once, the list stays empty and the file
    // is left as it was.
    void startUpWithAnAccessFileWithoutHomeAdSaysSo()
    {
        if (testsupport::accessSample("nwind.mdb").isEmpty())
            QSKIP("no Access-format sample");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Tovrel.mdb"));
        QVERIFY(QFile::copy(testsupport::accessSample("nwind.mdb"), path));
        testsupport::makeCountyList(dir.path());
        platform::setProgramFolder(dir.path());
        auto fakes = platform::installFakes();
        app::Application application;
        application.startUp();
        QVERIFY(application.fmHomeAddMain);
        QVERIFY(!application.store.HomeQuery.isOpen());
        QStringList errors;
        for (const auto& r : fakes.prompts->asked)
            if (r.icon == platform::Icon::Error)
                errors << r.text;
        QCOMPARE(errors.size(), 1); // no second report from opening the query
        QVERIFY2(errors[0].contains(exchange::canReadAccessFiles() ? QStringLiteral("no table \"HomeAd\"")
                                                                   : QStringLiteral("cannot read")),
                 qPrintable(errors[0]));
        QVERIFY(errors[0].contains(QStringLiteral("The contact list stays empty")));
        QCOMPARE(testsupport::readBytes(path), testsupport::readBytes(testsupport::accessSample("nwind.mdb")));
        QVERIFY(!QFile::exists(exchange::accessBackupPath(path)));
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
        QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("ListFile.txt")))); // so the first start finds it
        testsupport::makeDatabase(path, testsupport::sampleContacts());
        QCOMPARE(QProcess::execute(QStringLiteral(TOVREL_BINARY), {"--init-database", "--folder", dir.path()}), 0);
        QCOMPARE(testsupport::query(path, QStringLiteral("SELECT count(*) FROM HomeAd")), QStringList{"6"});
        QCOMPARE(testsupport::query(path, QStringLiteral("PRAGMA journal_mode")), QStringList{"delete"});
    }
};

QTEST_MAIN(TestStartUp)
#include "tst_startup.moc"

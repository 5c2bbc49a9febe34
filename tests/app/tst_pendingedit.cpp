// No command drops a pending edit: each first saves it as a move would, and does not run when that save fails.
#include "mainwindow/MainWindowFixture.h"

#include "app/Application.h"
#include "backup/BackupRestore.h"
#include "exchange/ui/ExportCommand.h"
#include "exchange/ui/ImportDialog.h"
#include "platform/ui/ErrorBox.h"
#include "records/HomeFormView.h"
#include "records/RecordCard.h"
#include "reports/DatasetSource.h"
#include "search/ui/SearchDialog.h"
#include "support/TestFiles.h"

#include <QLineEdit>
#include <sqlite3.h>

using State = data::Dataset::State;

class TestPendingEdit : public QObject
{
    Q_OBJECT

    // The main window of the whole running program: its commands reach the other windows.
    std::unique_ptr<ProgramFixture> m_p;
    std::unique_ptr<app::Application> m_application;
    ProgramFixture& p() { return *m_p; }
    QString dbPath() { return p().file(QStringLiteral("Tovrel.mdb")); }
    qint64 m_key = 0;

    QString storedTown()
    {
        const QString sql = QStringLiteral("SELECT Town FROM HomeAd WHERE ID = %1").arg(m_key);
        return testsupport::query(dbPath(), sql).value(0);
    }

    // Another program changes the same field, so that the pending change can no longer be saved.
    void changeElsewhere()
    {
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open_v2(QFile::encodeName(dbPath()).constData(), &db, SQLITE_OPEN_READWRITE, nullptr),
                 SQLITE_OK);
        const QByteArray sql = QStringLiteral("UPDATE HomeAd SET Town = 'Hull' WHERE ID = %1").arg(m_key).toUtf8();
        QCOMPARE(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }

    // Runs one command as the user would start it.
    void run(const QString& command)
    {
        app::Application& a = *m_application;
        if (command == "close program") {
            p().w->show();
            p().w->close();
        } else if (command == "close record card") {
            a.fmRecCard->show();
            a.fmRecCard->close();
        } else if (command == "close form view") {
            a.fmHomeForm->show();
            a.fmHomeForm->close();
        } else if (command == "letter filter") {
            p().w->setRadioItemIndex(1);
        } else if (command == "reset") {
            p().w->sqRetryBtnClick();
        } else if (command == "search") {
            a.fmSQLSearchDialog->sqRetryBtnClick();
        } else if (command == "backup") {
            backup::miBackUpClick(a.store);
        } else if (command == "restore") {
            p().fakes.prompts->answers << platform::Answer::Ok; // the restore question defaults to Cancel
            backup::miRestoreClick(a.store);
        } else if (command == "export") {
            p().fakes.fileDialogs->answers << p().file(QStringLiteral("out.vcf"));
            exchange::ExportClick(p().w, a.store.HomeQuery);
        } else if (command == "import") {
            exchange::ImportClick(p().w, a.store);
        } else if (command == "report") {
            platform::guard([&] {
                // What every report command does before its preview opens, and then as it renders.
                reports::DatasetSource source(a.store.HomeQuery);
                source.prepare();
                source.renderStarted();
                source.renderEnded(-1);
            });
        }
    }

    // Whether the command did its work (all of them can tell).
    bool ran(const QString& command)
    {
        app::Application& a = *m_application;
        const QStringList filterSql{TfmHomeAddMain::letterFilterStatement(1)};
        if (command == "close program")
            return !p().w->isVisible();
        if (command == "close record card")
            return !a.fmRecCard->isVisible();
        if (command == "close form view")
            return !a.fmHomeForm->isVisible();
        if (command == "letter filter")
            return p().q().sql() == filterSql;
        if (command == "reset" || command == "search")
            return p().q().sql() != data::startSql();
        if (command == "backup")
            return QFileInfo::exists(p().file(QStringLiteral("Tovrel.bak")));
        if (command == "restore")
            return testsupport::readBytes(dbPath()) == testsupport::readBytes(p().file(QStringLiteral("Tovrel.bak")));
        if (command == "export")
            return QFileInfo::exists(p().file(QStringLiteral("out.vcf")));
        if (command == "import")
            return !p().fakes.fileDialogs->opened.isEmpty();
        if (command == "report")
            return p().errors().isEmpty();
        return false;
    }

    // Restore replaces the table, so only its failing case can show that it settles first.
    static void commands(bool withRestore)
    {
        QTest::addColumn<QString>("command");
        for (const char* c : {"close program", "close record card", "close form view", "letter filter", "reset",
                              "search", "backup", "restore", "export", "import", "report"})
            if (withRestore || QLatin1String(c) != QLatin1String("restore"))
                QTest::newRow(c) << QString::fromLatin1(c);
    }

private slots:
    void init()
    {
        m_p = std::make_unique<ProgramFixture>();
        p().prepare();
        m_application = std::make_unique<app::Application>();
        m_application->startUp();
        p().attach(m_application->store, m_application->commands, m_application->fmHomeAddMain);
        p().q().moveTo(2);
        m_key = p().q().rowKey(2);
        p().q().setFieldValue(QStringLiteral("Town"), QStringLiteral("Ripon"));
        QCOMPARE(p().q().state(), State::Edit);
    }
    void cleanup()
    {
        m_application.reset();
        m_p.reset();
    }

    void commandSavesThePendingEditFirst_data() { commands(false); }
    void commandSavesThePendingEditFirst()
    {
        QFETCH(QString, command);
        run(command);
        QCOMPARE(p().errors(), QStringList());
        QCOMPARE(storedTown(), QStringLiteral("Ripon"));
        QVERIFY(ran(command));
    }

    void commandNotRunWhenTheSaveFails_data() { commands(true); }
    void commandNotRunWhenTheSaveFails()
    {
        QFETCH(QString, command);
        if (command == "restore") {
            // A backup other than the database, so that a restore would show.
            testsupport::makeDatabase(p().file(QStringLiteral("Tovrel.bak")), {});
        }
        changeElsewhere();
        run(command);
        QCOMPARE(p().errors().size(), 1);
        QVERIFY2(p().errors().first().contains(QStringLiteral("Another program changed Town of ")),
                 qPrintable(p().errors().first()));
        QVERIFY(!ran(command));
        // The typed value waits in editing; the other program's value stays in the table.
        QCOMPARE(p().q().state(), State::Edit);
        QCOMPARE(p().q().currentText(QStringLiteral("Town")), QStringLiteral("Ripon"));
        QCOMPARE(storedTown(), QStringLiteral("Hull"));
    }

    void closingAsksBeforeLosingAChangeThatCannotBeSaved_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closed");
        QTest::newRow("default: No") << -1 << false;
        QTest::newRow("Yes") << int(platform::Answer::Yes) << true;
    }

    void closingAsksBeforeLosingAChangeThatCannotBeSaved()
    {
        QFETCH(int, answer);
        QFETCH(bool, closed);
        p().w->show();
        changeElsewhere();
        if (answer >= 0)
            p().fakes.prompts->answers << platform::Answer::Ok << platform::Answer(answer);
        QCOMPARE(p().w->close(), closed);
        const auto& asked = p().fakes.prompts->asked;
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked.last().caption, QStringLiteral("Confirm"));
        QCOMPARE(asked.last().text, QStringLiteral("Your last change could not be saved. Close anyway and lose it?"));
        QCOMPARE(asked.last().buttons, platform::Buttons::YesNoDefaultNo);
        QCOMPARE(storedTown(), QStringLiteral("Hull"));
    }
};

QTEST_MAIN(TestPendingEdit)
#include "tst_pendingedit.moc"

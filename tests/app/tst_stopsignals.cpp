// A program told to stop by the system (logout, shutdown, Ctrl+C) closes as its Close does: the pending edit saved,
// the settings written, nobody asked. The program runs as a child process of this test, which sends it the signal.
#include "app/Application.h"
#include "app/StopSignals.h"
#include "mainwindow/MainWindow.h"
#include "platform/Fakes.h"
#include "platform/ProgramFolder.h"
#include "support/TestDb.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <sqlite3.h>

namespace {

const char* const ChildFolder = "TOVREL_STOP_TEST_FOLDER";
const char* const ChildConflict = "TOVREL_STOP_TEST_CONFLICT";

void changeElsewhere(const QString& database, qint64 key)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(database).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    const QByteArray sql = QStringLiteral("UPDATE HomeAd SET Town = 'Hull' WHERE ID = %1").arg(key).toUtf8();
    sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// The program as the user left it: a change typed and not yet saved, then waiting for the signal.
int runChild(int argc, char** argv)
{
    QApplication qtApp(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const platform::Fakes fakes = platform::installFakes();
    platform::setProgramFolder(qEnvironmentVariable(ChildFolder));
    app::Application application;
    application.startUp();
    if (!application.fmHomeAddMain)
        return 3;
    application.fmHomeAddMain->show();
    data::Dataset& query = application.store.HomeQuery;
    query.moveTo(2);
    const qint64 key = query.rowKey(2);
    query.setFieldValue(QStringLiteral("Town"), QStringLiteral("Ripon"));
    if (qEnvironmentVariableIsSet(ChildConflict))
        changeElsewhere(platform::programFile(QStringLiteral("Tovrel.mdb")), key);
    const std::unique_ptr<app::StopSignals> stop = app::closeOnStopSignals(application);
    std::printf("ready %lld\n", static_cast<long long>(key));
    std::fflush(stdout);
    const int status = QApplication::exec();
    std::printf("asked %lld\n", static_cast<long long>(fakes.prompts->asked.size()));
    return status;
}

} // namespace

class TestStopSignals : public QObject
{
    Q_OBJECT

private slots:
    void stopSignalClosesAsCloseDoes_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("conflict"); // another program changed the field meanwhile
        QTest::newRow("SIGTERM") << int(SIGTERM) << false;
        QTest::newRow("SIGINT") << int(SIGINT) << false;
        QTest::newRow("SIGHUP") << int(SIGHUP) << false;
        QTest::newRow("SIGTERM, the change cannot be saved") << int(SIGTERM) << true;
    }
    void stopSignalClosesAsCloseDoes()
    {
        QFETCH(int, signal);
        QFETCH(bool, conflict);
        QTemporaryDir dir;
        const QString database = dir.filePath(QStringLiteral("Tovrel.mdb"));
        testsupport::makeDatabase(database, testsupport::sampleContacts());
        testsupport::makeCountyList(dir.path(), {QStringLiteral("Kent")});

        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(ChildFolder), dir.path());
        if (conflict)
            environment.insert(QString::fromLatin1(ChildConflict), QStringLiteral("1"));
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForStarted());
        QByteArray out;
        while (!out.contains('\n') && child.waitForReadyRead(60000))
            out += child.readAllStandardOutput();
        QVERIFY2(out.startsWith("ready "), out.constData());
        const qint64 key = out.mid(6).trimmed().toLongLong();

        QCOMPARE(::kill(pid_t(child.processId()), signal), 0);
        QVERIFY(child.waitForFinished(60000));
        out += child.readAllStandardOutput();
        const QString err = QString::fromLocal8Bit(child.readAllStandardError());

        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QVERIFY2(out.contains("asked 0"), out.constData());
        const QString town =
            testsupport::query(database, QStringLiteral("SELECT Town FROM HomeAd WHERE ID = %1").arg(key)).value(0);
        QCOMPARE(town, conflict ? QStringLiteral("Hull") : QStringLiteral("Ripon"));
        // What could not be saved is on standard error, and the rest of the close went ahead.
        QVERIFY2(err.contains(QStringLiteral("tovrel: ")) == conflict, qPrintable(err));
        QVERIFY(testsupport::readBytes(dir.filePath(QStringLiteral("TovrelIni.ini"))).contains("[MainForm]"));
    }
};

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsSet(ChildFolder))
        return runChild(argc, argv);
    QApplication app(argc, argv);
    TestStopSignals test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_stopsignals.moc"

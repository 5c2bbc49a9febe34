// A program told to stop by the system (logout, shutdown, Ctrl+C) closes as its Close does: the pending edit saved,
// the settings written, nobody asked, nothing waited for; what cannot be saved is kept in a numbered private file
// beside the book. The program runs as a child process of this test, which sends it the signal.
#include "app/Application.h"
#include "app/StopSignals.h"
#include "mailmerge/MailMergeEdit.h"
#include "mainwindow/MainWindow.h"
#include "platform/Fakes.h"
#include "platform/ProgramFolder.h"
#include "support/TestDb.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

#include <csignal>
#include <cstdio>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

const char* const ChildFolder = "TOVREL_STOP_TEST_FOLDER";
const char* const ChildConflict = "TOVREL_STOP_TEST_CONFLICT";
const char* const ChildLetter = "TOVREL_STOP_TEST_LETTER";

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
    if (qEnvironmentVariableIsSet(ChildLetter) && application.fmMailMergeEdit) {
        application.fmMailMergeEdit->document()->setPlainText(QStringLiteral("Dear Ann, not saved yet"));
        application.fmMailMergeEdit->document()->setModified(true);
    }
    const std::unique_ptr<app::StopSignals> stop = app::closeOnStopSignals(application);
    std::printf("ready %lld\n", static_cast<long long>(key));
    std::fflush(stdout);
    const int status = QApplication::exec();
    app::finishWindowedRun(application);
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
        QTest::addColumn<bool>("letter");   // the letter editor holds text not saved
        QTest::addColumn<bool>("syncAtExit"); // with no password kept anywhere
        QTest::newRow("SIGTERM") << int(SIGTERM) << false << false << false;
        QTest::newRow("SIGINT") << int(SIGINT) << false << false << false;
        QTest::newRow("SIGHUP") << int(SIGHUP) << false << false << false;
        QTest::newRow("SIGTERM, the change cannot be saved") << int(SIGTERM) << true << false << false;
        QTest::newRow("SIGTERM, an unsaved letter") << int(SIGTERM) << false << true << false;
        QTest::newRow("SIGTERM, synchronise at exit") << int(SIGTERM) << false << false << true;
    }
    void stopSignalClosesAsCloseDoes()
    {
        QFETCH(int, signal);
        QFETCH(bool, conflict);
        QFETCH(bool, letter);
        QFETCH(bool, syncAtExit);
        QTemporaryDir dir;
        const QString database = dir.filePath(QStringLiteral("Tovrel.mdb"));
        testsupport::makeDatabase(database, testsupport::sampleContacts());
        testsupport::makeCountyList(dir.path(), {QStringLiteral("Kent")});
        // An earlier rescue stays as it was: the new one takes the next number.
        const QString earlier = testsupport::writeFile(dir.filePath(QStringLiteral("Unsaved letter.rtf")), "earlier");
        if (syncAtExit)
            testsupport::writeFile(dir.filePath(QStringLiteral("TovrelIni.ini")),
                                   "[SharedAddressBook]\r\nUrl=http://127.0.0.1:9/book/\r\nUser=ann\r\n"
                                   "AllowHttp=1\r\nSyncAtExit=1\r\n");

        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(ChildFolder), dir.path());
        if (conflict)
            environment.insert(QString::fromLatin1(ChildConflict), QStringLiteral("1"));
        if (letter)
            environment.insert(QString::fromLatin1(ChildLetter), QStringLiteral("1"));
        child.setProcessEnvironment(environment);
        const mode_t formerMask = ::umask(022); // the rescue is private whatever the umask
        child.start(QCoreApplication::applicationFilePath(), {});
        ::umask(formerMask);
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
        QVERIFY2(err.contains(QStringLiteral("tovrel: ")) == (conflict || letter || syncAtExit), qPrintable(err));
        QVERIFY(testsupport::readBytes(dir.filePath(QStringLiteral("TovrelIni.ini"))).contains("[MainForm]"));
        QCOMPARE(testsupport::readBytes(earlier), QByteArray("earlier"));
        // The values refused and the letter's text are in the file standard error names, readable by the user alone.
        const QRegularExpressionMatch kept =
            QRegularExpression(QStringLiteral("kept in (.*(Unsaved change\\.txt|Unsaved letter 2\\.rtf))")).match(err);
        QCOMPARE(kept.hasMatch(), conflict || letter);
        if (kept.hasMatch()) {
            const QString rescue = kept.captured(1);
            QCOMPARE(QFileInfo(rescue).absolutePath(), QFileInfo(database).absolutePath());
            QVERIFY(testsupport::readBytes(rescue).contains(conflict ? "Town: Ripon" : "Dear Ann, not saved yet"));
            struct stat st = {};
            QCOMPARE(::stat(QFile::encodeName(rescue).constData(), &st), 0);
            QCOMPARE(st.st_mode & 0777, mode_t(0600));
        }
        if (syncAtExit)
            QVERIFY2(err.contains(QStringLiteral("synchronisation at exit was left out")), qPrintable(err));
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

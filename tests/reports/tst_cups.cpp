// Printing for real: a private CUPS server of the test's own (its own port, configuration and spool folders in a
// temporary folder, a PDF printer writing to a file there) takes the report from the preview's Print button through
// Qt's print system. The server is stopped at the end. Where cupsd cannot run here, the test is skipped; the page
// range logic is also covered against PDF output by tst_printing.
#include "PreviewTestUtil.h"

#include "platform/Fakes.h"
#include "reports/ui/Preview.h"
#include "reports/layouts/PhoneList.h"

#include <QPrinter>
#include <QPrinterInfo>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace reports;
using previewtest::WatchedSource;

namespace {

const QString kPrinter = QStringLiteral("TovrelTest");
const QString kPpd = QStringLiteral("/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd");

QString tool(const QString& name)
{
    return QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin"),
                                                 QStringLiteral("/sbin"), QStringLiteral("/bin")});
}

bool writeFile(const QString& path, const QString& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) == text.toUtf8().size();
}

QString readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestCups : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcess m_cupsd;
    QString m_server; // localhost:PORT
    platform::Fakes m_fakes{};

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString output() const { return path(QStringLiteral("out/job.pdf")); }

    // Runs a CUPS client command against the private server; its output, or empty with `failed` set.
    QString client(const QString& program, const QStringList& arguments, bool* failed = nullptr)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(tool(program), QStringList{QStringLiteral("-h"), m_server} + arguments);
        const bool ok =
            process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
        if (failed)
            *failed = !ok;
        return QString::fromLocal8Bit(process.readAll());
    }

    QStringList jobs(const QString& which)
    {
        return client(QStringLiteral("lpstat"), {QStringLiteral("-W"), which, QStringLiteral("-o"), kPrinter})
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QString serverLog() const { return readFile(path(QStringLiteral("log/error_log"))).right(3000); }

    bool startServer(QString& why)
    {
        for (const char* program : {"cupsd", "lpadmin", "lpstat"}) {
            if (tool(QString::fromLatin1(program)).isEmpty()) {
                why = QStringLiteral("%1 is not installed (Debian packages cups, cups-client)").arg(program);
                return false;
            }
        }
        if (!QFileInfo::exists(kPpd)) {
            why = QStringLiteral("the PPD %1 is not installed (Debian package cups-filters)").arg(kPpd);
            return false;
        }
        // The server's filters may run as another user: they must reach the spool and the PPD.
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                                QFileDevice::ReadGroup | QFileDevice::ExeGroup |
                                                QFileDevice::ReadOther | QFileDevice::ExeOther);
        for (const char* sub : {"etc/ppd", "cache", "state", "spool/tmp", "log", "out"})
            QDir(m_dir.path()).mkpath(QString::fromLatin1(sub));

        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0)) {
            why = QStringLiteral("no free local port");
            return false;
        }
        const quint16 port = probe.serverPort();
        probe.close();
        m_server = QStringLiteral("localhost:%1").arg(port);

        const QString cupsd = QStringLiteral("Listen localhost:%1\n"
                                             "LogLevel info\n"
                                             "Browsing Off\n"
                                             "DefaultAuthType None\n"
                                             "WebInterface No\n"
                                             "PreserveJobHistory Yes\n"
                                             "PageLogFormat \"%j %{job-name}\"\n"
                                             "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                                             "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n"
                                             "</Policy>\n")
                                  .arg(port);
        const QString root = m_dir.path();
        const QString files = QStringLiteral("ServerRoot %1/etc\nCacheDir %1/cache\nStateDir %1/state\n"
                                             "RequestRoot %1/spool\nTempDir %1/spool/tmp\nErrorLog %1/log/error_log\n"
                                             "AccessLog %1/log/access_log\nPageLog %1/log/page_log\n"
                                             "Printcap %1/printcap\nFileDevice Yes\n")
                                  .arg(root);
        if (!writeFile(path(QStringLiteral("etc/cupsd.conf")), cupsd) ||
            !writeFile(path(QStringLiteral("etc/cups-files.conf")), files)) {
            why = QStringLiteral("cannot write the server's configuration");
            return false;
        }

        m_cupsd.setProcessChannelMode(QProcess::MergedChannels);
        m_cupsd.start(tool(QStringLiteral("cupsd")),
                      {QStringLiteral("-f"), QStringLiteral("-c"), path(QStringLiteral("etc/cupsd.conf")),
                       QStringLiteral("-s"), path(QStringLiteral("etc/cups-files.conf"))});
        if (!m_cupsd.waitForStarted(10000)) {
            why = QStringLiteral("cupsd does not start: %1").arg(m_cupsd.errorString());
            return false;
        }
        QDeadlineTimer deadline(30000);
        while (!client(QStringLiteral("lpstat"), {QStringLiteral("-r")}).contains(QStringLiteral("is running"))) {
            if (m_cupsd.state() == QProcess::NotRunning || deadline.hasExpired()) {
                why = QStringLiteral("cupsd does not run here: %1 %2")
                          .arg(QString::fromLocal8Bit(m_cupsd.readAll()), serverLog());
                return false;
            }
            QTest::qWait(100);
        }
        bool failed = false;
        const QString added = client(QStringLiteral("lpadmin"),
                                     {QStringLiteral("-p"), kPrinter, QStringLiteral("-E"), QStringLiteral("-v"),
                                      QStringLiteral("file://") + output(), QStringLiteral("-P"), kPpd},
                                     &failed);
        if (!failed)
            client(QStringLiteral("lpadmin"), {QStringLiteral("-d"), kPrinter}, &failed);
        if (failed) {
            why = QStringLiteral("lpadmin cannot add the printer: %1").arg(added);
            return false;
        }
        return true;
    }

    // Waits until the server has finished one more job; true when it has.
    bool waitForCompletedJobs(int count)
    {
        QDeadlineTimer deadline(120000);
        while (jobs(QStringLiteral("completed")).size() < count) {
            if (deadline.hasExpired() || m_cupsd.state() == QProcess::NotRunning)
                return false;
            QTest::qWait(200);
        }
        return true;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        if (!previewtest::hasPoppler())
            QSKIP("pdfinfo and pdftotext (poppler-utils) are not installed");
        QString why;
        if (!startServer(why))
            QSKIP(qPrintable(QStringLiteral("no private CUPS server: ") + why));
        // The program talks to this server only; the user's own printer choices stay out of it.
        qputenv("CUPS_SERVER", m_server.toLocal8Bit());
        qunsetenv("PRINTER");
        qunsetenv("LPDEST");
        QVERIFY2(QPrinterInfo::availablePrinterNames().contains(kPrinter), qPrintable(serverLog()));
    }

    void cleanupTestCase()
    {
        if (m_cupsd.state() != QProcess::NotRunning) {
            m_cupsd.terminate();
            if (!m_cupsd.waitForFinished(15000))
                m_cupsd.kill();
            m_cupsd.waitForFinished(5000);
        }
    }

    void init() { m_fakes = platform::installFakes(); }

    // The print dialog picks the printer and pages 2 to 3; Print sends just those, in a job named after the report.
    void printsTheRange()
    {
        ReportDefinition definition = previewtest::phoneList();
        definition.title = QStringLiteral("Tovrel Test Phone List");
        WatchedSource source(reporttest::numbered(150)); // four pages
        TfmPreview preview(definition, source);
        preview.renderReport();
        QCOMPARE(preview.shownPages().pageCount(), 4);
        m_fakes.printDialogs->onPrint = [](QPrinter& printer) {
            printer.setPrinterName(kPrinter);
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(2, 3);
            return true;
        };
        preview.btnPrinterSetup->click();
        QCOMPARE(definition.printer, kPrinter);
        QCOMPARE(definition.pageRange, (PageRange{2, 3}));

        const int before = int(jobs(QStringLiteral("completed")).size());
        preview.btnPrint->click();
        QVERIFY(m_fakes.prompts->asked.isEmpty());
        QVERIFY2(waitForCompletedJobs(before + 1), qPrintable(serverLog()));
        QCOMPARE(previewtest::pdfPages(output()), 2);
        QCOMPARE(previewtest::pageFooters(output()), (QStringList{"Page 2", "Page 3"}));
        const QString pageLog = readFile(path(QStringLiteral("log/page_log")));
        QVERIFY2(pageLog.contains(QStringLiteral(" Tovrel Test Phone List")), qPrintable(pageLog));
    }

    // A range that starts after the last page sends no job to the (default) printer at all.
    void rangeAfterTheLastPageSendsNothing()
    {
        ReportDefinition definition = previewtest::phoneList();
        definition.pageRange = {5, 6};
        WatchedSource source(reporttest::numbered(150));
        TfmPreview preview(definition, source);
        preview.renderReport();
        const int before = int(jobs(QStringLiteral("all")).size());
        preview.btnPrint->click();
        QVERIFY(m_fakes.prompts->asked.isEmpty());
        QCOMPARE(int(jobs(QStringLiteral("all")).size()), before); // a job would be listed once submitted
    }
};

QTEST_MAIN(TestCups)
#include "tst_cups.moc"

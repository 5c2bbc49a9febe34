// The account window and File > Synchronise against a real Radicale, with the platform's prompts faked.
#include "data/ContactStore.h"
#include "exchange/ui/ImportDialog.h"
#include "sync/ui/SyncCommands.h"
#include "platform/Fakes.h"
#include "platform/ProgramFolder.h"
#include "support/DavServer.h"
#include "support/TestDb.h"
#include "sync/ui/SharedBook.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

using testsupport::DavServer;

namespace {

QByteArray fileText(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

} // namespace

class TestSyncWindow : public QObject
{
    Q_OBJECT
    std::unique_ptr<DavServer> server;
    QUrl book;

private slots:
    void initTestCase()
    {
        server = std::make_unique<DavServer>();
        QVERIFY2(server->start(), qPrintable(server->error()));
        book = server->makeAddressBook(QStringLiteral("family"));
    }
    void cleanupTestCase() { server.reset(); }
    void findAndTest();
    void plainHttpAsksFirst();
    void synchroniseFromTheMenu();
};

// From the server's address alone the book is found; "Test connection" tells a good password from a wrong one.
void TestSyncWindow::findAndTest()
{
    platform::installFakes();
    TfmSharedBook w({});
    w.edUrl->setText(server->root().toString());
    w.edUser->setText(DavServer::user());
    w.edPassword->setText(DavServer::password());
    w.btnFindClick();
    QVERIFY2(w.cbBooks->count() >= 1, qPrintable(w.lbStatus->text()));
    QCOMPARE(QUrl(w.edUrl->text()).path(), book.path());
    w.btnTestClick();
    QCOMPARE(w.lbStatus->text(), QStringLiteral("Connected: the address book answers."));
    w.edPassword->setText(QStringLiteral("wrong"));
    w.btnTestClick();
    QVERIFY2(w.lbStatus->text().contains(QLatin1String("user name or password (401)")), qPrintable(w.lbStatus->text()));
    QCOMPARE(w.account().url, QUrl(book.toString()));
}

// Plain http:// to another machine is used only once the user confirms; Cancel sends nothing.
void TestSyncWindow::plainHttpAsksFirst()
{
    platform::Fakes fakes = platform::installFakes();
    fakes.prompts->answers.enqueue(platform::Answer::Cancel);
    TfmSharedBook w({});
    w.edUrl->setText(QStringLiteral("http://192.0.2.1/dav/"));
    w.edUser->setText(QStringLiteral("anna"));
    w.btnTestClick();
    QCOMPARE(fakes.prompts->asked.size(), 1);
    QCOMPARE(fakes.prompts->asked[0].caption, QStringLiteral("Confirm"));
    QVERIFY(fakes.prompts->asked[0].text.contains(QLatin1String("unencrypted")));
    QVERIFY(w.lbStatus->text().isEmpty());
    QVERIFY(!w.account().allowPlainHttp);
}

// The first Synchronise asks for the account; with no keyring the password is asked again at the next one, and
// it is never written to the settings file.
void TestSyncWindow::synchroniseFromTheMenu()
{
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("Tovrel.mdb"));
    testsupport::makeDatabase(database, testsupport::sampleContacts());
    platform::setProgramFolder(dir.path());
    platform::Fakes fakes = platform::installFakes();
    auto store = testsupport::contactStore();

    int asked = 0;
    exchange::setDialogRunner([&](QDialog& dialog) {
        auto* w = qobject_cast<TfmSharedBook*>(&dialog);
        if (!w)
            return int(QDialog::Rejected);
        ++asked;
        if (asked == 1) {
            w->edUrl->setText(book.toString());
            w->edUser->setText(DavServer::user());
        } else {
            // Asked for the password only: the account is shown as kept.
            [&] { QVERIFY(!w->edUrl->isEnabled()); }();
            [&] { QCOMPARE(w->edUser->text(), DavServer::user()); }();
        }
        w->edPassword->setText(DavServer::password());
        w->btnOKClick();
        return w->result();
    });
    sharing::SynchroniseClick(nullptr, *store);
    QCOMPARE(asked, 1);
    QCOMPARE(fakes.prompts->asked.size(), 2);
    QVERIFY(fakes.prompts->asked[0].text.startsWith(QLatin1String("The password cannot be kept (no keyring")));
    QCOMPARE(fakes.prompts->asked.last().text, QStringLiteral("Synchronised: 6 sent, 0 received, 0 deleted, 0 conflicts."));
    const QByteArray ini = fileText(dir.filePath(QStringLiteral("TovrelIni.ini")));
    QVERIFY(ini.contains("[SharedAddressBook]"));
    QVERIFY(ini.contains("Url=" + book.toEncoded()));
    QVERIFY(!ini.contains(DavServer::password().toUtf8()));

    QCOMPARE(server->request("PUT", book.resolved(QUrl("zed.vcf")),
                             "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:zed\r\nN:Zeta;Zed;;;\r\nFN:Zed Zeta\r\nEND:VCARD\r\n"),
             201);
    sharing::SynchroniseClick(nullptr, *store);
    QCOMPARE(asked, 2);
    QCOMPARE(fakes.prompts->asked.last().text, QStringLiteral("Synchronised: 0 sent, 1 received, 0 deleted, 0 conflicts."));
    QCOMPARE(store->HomeQuery.recordCount(), 7); // the list is read again
    exchange::setDialogRunner({});
}

QTEST_MAIN(TestSyncWindow)
#include "tst_syncwindow.moc"

// Two-way sync against a real Radicale (and Xandikos) started on 127.0.0.1 for the test.
#include "data/ContactStore.h"
#include "data/Connection.h"
#include "data/RecentlyDeleted.h"
#include "exchange/ContactFields.h"
#include "platform/AppError.h"
#include "search/Duplicates.h"
#include "support/DavServer.h"
#include "support/Python.h"
#include "support/TestDb.h"
#include "sync/CardDavClient.h"
#include "sync/SyncCard.h"
#include "sync/SyncEngine.h"
#include "sync/SyncState.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>
#include <sqlite3.h>

using namespace sharing;
using testsupport::DavServer;
Q_DECLARE_METATYPE(DavServer::Kind)

namespace {

QByteArray vcard(const QString& uid, const QString& surname, const QString& first, const QString& extra = {})
{
    return QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:%1\r\nN:%2;%3;;;\r\nFN:%3 %2\r\n%4END:VCARD\r\n")
        .arg(uid, surname, first, extra)
        .toUtf8();
}

// Runs SQL on the test database (as another tool would) and returns the first column of the rows.
QStringList sql(const QString& db, const QString& statement)
{
    sqlite3* h = nullptr;
    sqlite3_open(db.toUtf8().constData(), &h);
    QStringList out;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(h, statement.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
        qFatal("%s", sqlite3_errmsg(h));
    while (sqlite3_step(st) == SQLITE_ROW)
        out << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    sqlite3_close(h);
    return out;
}

// Every row of HomeAd, every column, in ID order.
QStringList dumpContacts(const QString& db)
{
    sqlite3* h = nullptr;
    sqlite3_open(db.toUtf8().constData(), &h);
    QStringList rows;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(h, "SELECT * FROM HomeAd ORDER BY ID", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
        QStringList row;
        for (int i = 0; i < sqlite3_column_count(st); ++i)
            row << (sqlite3_column_type(st, i) == SQLITE_NULL
                        ? QStringLiteral("<null>")
                        : QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i))));
        rows << row.join(QLatin1Char('|'));
    }
    sqlite3_finalize(st);
    sqlite3_close(h);
    return rows;
}

// Each property as python3-vobject reads it: "group.name;params=value", ADR and ORG with every component.
QStringList vobjectProperties(const QByteArray& card)
{
    QProcess python;
    python.start(testsupport::python(),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, vobject\n"
                                 "c = vobject.readOne(sys.stdin.read())\n"
                                 "for l in c.getChildren():\n"
                                 "    v = l.value\n"
                                 "    if hasattr(v, 'street'):\n"
                                 "        v = '|'.join(str(x) for x in (v.box, v.extended, v.street, v.city, v.region,"
                                 " v.code, v.country))\n"
                                 "    elif isinstance(v, list): v = '|'.join(v)\n"
                                 "    p = ';'.join('%s=%s' % (k, ','.join(sorted(x.lower() for x in vs)))"
                                 " for k, vs in sorted(l.params.items()))\n"
                                 "    print('%s%s;%s=%s' % ((l.group + '.') if l.group else '', l.name, p,"
                                 " str(v).replace('\\n', '/')))\n")});
    python.write(card);
    python.closeWriteChannel();
    python.waitForFinished(30000);
    return QString::fromUtf8(python.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// A card as a phone writes it: labelled and grouped values, several numbers and addresses, a photo.
QByteArray richPhoneCard(const QByteArray& uid)
{
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Phone//EN\r\nUID:" + uid +
           "\r\nN:Smith;John;;Dr.;PhD\r\nFN:Dr. John Smith PhD\r\n"
           "item1.EMAIL;TYPE=home,pref:john@home.example\r\nitem1.X-ABLabel:Home mail\r\n"
           "EMAIL;TYPE=work:john@work.example\r\n"
           "ADR;TYPE=home,pref:PO Box 9;;10 Main St;Leeds;;LS1 1AA;UK\r\n"
           "item4.ADR;TYPE=work:;;1 Mill Lane;York;;YO1 1AA;UK\r\nitem4.X-ABADR:gb\r\n"
           "ORG:Acme Ltd;Sales;North\r\nTITLE:Manager\r\nTEL;TYPE=CELL,voice,pref:07700 900001\r\n"
           "TEL;TYPE=HOME:0113 496 0001\r\nTEL;TYPE=WORK,FAX:0113 496 0002\r\n"
           "item2.TEL:0113 496 0003\r\nitem2.X-ABLabel:Boat\r\n"
           "URL:https://example.org/john\r\nX-SOCIALPROFILE;type=twitter:x.com/john\r\n"
           "CATEGORIES:Family,Friends,Chess club\r\nBDAY;VALUE=date:1970-05-06\r\n"
           "NOTE:from the phone\\nzweite Zeile\r\n"
           "PHOTO;ENCODING=b;TYPE=PNG:iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk\r\n"
           " +M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==\r\nEND:VCARD\r\n";
}

} // namespace

class TestCardDavSync : public QObject
{
    Q_OBJECT
public:
    std::unique_ptr<DavServer> server;
    std::unique_ptr<DavServer> xandikosServer; // null when xandikos is not installed
    DavServer* dav = nullptr;                  // the server of the current book
    std::unique_ptr<QTemporaryDir> folder;
    QUrl book;
    int books = 0;

    QString dbPath() const { return folder->filePath(QStringLiteral("Tovrel.mdb")); }

    // A fresh database with the given contacts and a fresh address book on the server.
    void fresh(const QList<testsupport::Contact>& contacts, DavServer::Kind kind = DavServer::Kind::Radicale)
    {
        dav = kind == DavServer::Kind::Radicale ? server.get() : xandikosServer.get();
        if (!dav)
            QSKIP("xandikos is not installed");
        folder = std::make_unique<QTemporaryDir>();
        testsupport::makeDatabase(dbPath(), contacts);
        book = dav->makeAddressBook(QStringLiteral("book%1").arg(++books));
    }

    SyncSummary sync(SyncOptions options = {}, const QString& password = DavServer::password(),
                     const std::function<void(CardDavClient&, qint64, const QString&)>& onProgress = {})
    {
        data::Connection connection;
        connection.setDatabasePath(dbPath());
        connection.open();
        CardDavClient client(book, DavServer::user(), password);
        client.setTimeout(20000);
        if (!options.today.isValid())
            options.today = QDate(2026, 5, 6);
        SyncEngine engine(connection.handle(), client, options);
        if (onProgress)
            engine.progress = [&](qint64 done, qint64, const QString& what) { onProgress(client, done, what); };
        return engine.run();
    }

    // href -> card, as the server holds them now.
    QHash<QString, QByteArray> serverCards()
    {
        QByteArray body;
        dav->request("PROPFIND", book,
                        "<?xml version=\"1.0\"?><d:propfind xmlns:d=\"DAV:\"><d:prop><d:getetag/></d:prop></d:propfind>",
                        &body, {{"Depth", "1"}});
        QHash<QString, QByteArray> cards;
        for (const DavResource& r : parseMultiStatus(body, book).resources) {
            if (!r.href.endsWith(QLatin1Char('/'))) {
                QByteArray card;
                dav->request("GET", book.resolved(QUrl(r.href)), {}, &card);
                cards.insert(r.href, card);
            }
        }
        return cards;
    }

private slots:
    void initTestCase();
    void cleanupTestCase()
    {
        server.reset();
        xandikosServer.reset();
    }
    void firstUploadIsReadByAnotherReader();
    void serverChangesArrive_data();
    void serverChangesArrive();
    void ourChangesArrive_data();
    void ourChangesArrive();
    void bothSidesChanged_data();
    void bothSidesChanged();
    void keepsWhatOthersStored();
    void changeHereRewritesOnlyItsProperty_data();
    void changeHereRewritesOnlyItsProperty();
    void clearingRemovesOnlyThatValue_data();
    void clearingRemovesOnlyThatValue();
    void phoneValuesTooLongStayWhole();
    void deletedHereChangedThere_data();
    void deletedHereChangedThere();
    void mergedDuplicatesKeepBothCards_data();
    void mergedDuplicatesKeepBothCards();
    void restoredContactTakesItsCardBack_data();
    void restoredContactTakesItsCardBack();
    void wrongPassword();
    void serverStoppedHalfway();
    void cancelKeepsTheTableOfTheLastPass();
    void interruptedPassDoublesNothing_data();
    void interruptedPassDoublesNothing();
    void randomRoundsEndEqual_data();
    void randomRoundsEndEqual();
    void commandLine();
    void xandikos();
};

void TestCardDavSync::initTestCase()
{
    server = std::make_unique<DavServer>();
    QVERIFY2(server->start(), qPrintable(server->error()));
    if (!QStandardPaths::findExecutable(QStringLiteral("xandikos")).isEmpty()) {
        xandikosServer = std::make_unique<DavServer>(DavServer::Kind::Xandikos);
        QVERIFY2(xandikosServer->start(), qPrintable(xandikosServer->error()));
    }
}

void TestCardDavSync::firstUploadIsReadByAnotherReader()
{
    fresh(testsupport::sampleContacts());
    sql(dbPath(), QStringLiteral("UPDATE HomeAd SET Tel = '0113 496 0000', Email = 'alice@example.org', "
                                 "Notes = 'Line 1' || char(10) || 'Line 2' WHERE Firstname = 'Alice'"));
    const SyncSummary first = sync();
    QCOMPARE(first.line(), QStringLiteral("6 sent, 0 received, 0 deleted, 0 conflicts"));
    QVERIFY(first.errors.isEmpty());
    const QHash<QString, QByteArray> cards = serverCards();
    QCOMPARE(cards.size(), 6);
    QStringList names;
    for (const QByteArray& card : cards) {
        const QStringList props = testsupport::readWithVobject(card);
        QVERIFY2(!props.value(0).startsWith(QLatin1String("error")), qPrintable(props.join('\n')));
        for (const QString& p : props) {
            if (p.startsWith(QLatin1String("n=")))
                names << p.mid(2);
        }
        if (card.contains("Alice")) {
            QVERIFY(props.contains(QStringLiteral("tel=0113 496 0000")));
            QVERIFY(props.contains(QStringLiteral("email=alice@example.org")));
            QVERIFY(props.contains(QStringLiteral("note=Line 1|Line 2")));
            QVERIFY(props.contains(QStringLiteral("adr=;Leeds;West Yorkshire;;")));
        }
    }
    names.sort();
    QCOMPARE(names, QStringList({"Adams;Carol;", "Brown;Alice;", "O'Neil;Fay;", "ZOË;Dana;", "adams;Bob;",
                                 "Łukasz;Ed;"}));
    // Nothing to do the second time, and nothing sent again.
    QCOMPARE(sync().line(), QStringLiteral("0 sent, 0 received, 0 deleted, 0 conflicts"));
    QCOMPARE(sync({.useSyncCollection = false}).line(), QStringLiteral("0 sent, 0 received, 0 deleted, 0 conflicts"));
}

void TestCardDavSync::serverChangesArrive_data()
{
    QTest::addColumn<DavServer::Kind>("kind");
    QTest::addColumn<bool>("syncCollection");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QStringList>("people"); // Firstname Surname Town, by surname
    for (const bool sc : {true, false}) {
        const char* how = sc ? "sync-collection" : "listing";
        QTest::addRow("change, %s", how) << DavServer::Kind::Radicale << sc << "change" << "0 sent, 1 received, 0 deleted, 0 conflicts"
                                         << QStringList{"Alice Brown Hull", "Bob Cole York"};
        QTest::addRow("add, %s", how) << DavServer::Kind::Radicale << sc << "add" << "0 sent, 1 received, 0 deleted, 0 conflicts"
                                      << QStringList{"Alice Brown Leeds", "Bob Cole York", "Zed Zeta "};
        QTest::addRow("delete, %s", how) << DavServer::Kind::Radicale << sc << "delete" << "0 sent, 0 received, 1 deleted, 0 conflicts"
                                         << QStringList{"Bob Cole York"};
        // Groups of other clients are no contacts: nothing arrives, and they stay on the server as they are.
        for (const char* group : {"group 4.0", "group 3.0"}) {
            QTest::addRow("%s, %s", group, how) << DavServer::Kind::Radicale << sc << group << "0 sent, 0 received, 0 deleted, 0 conflicts"
                                                << QStringList{"Alice Brown Leeds", "Bob Cole York"};
        }
    }
    // A server may leave out of its changes a card made and deleted since the token: the token kept must be one
    // read after our own uploads.
    for (const auto& [kind, name] : {std::pair{DavServer::Kind::Radicale, "radicale"},
                                     std::pair{DavServer::Kind::Xandikos, "xandikos"}}) {
        QTest::addRow("delete, %s", name) << kind << true << "delete" << "0 sent, 0 received, 1 deleted, 0 conflicts"
                                         << QStringList{"Bob Cole York"};
        QTest::addRow("delete there, changed here, %s", name)
            << kind << true << "delete, town here" << "1 sent, 0 received, 0 deleted, 0 conflicts"
            << QStringList{"Alice Brown Ripon", "Bob Cole York"};
    }
    // Hrefs exactly as the server gives them: a decoded ';' names another resource.
    for (const char* name : {"semi%3Bcolon.vcf", "plus%2Bsign.vcf", "sp%20ace.vcf", "caf%C3%A9.vcf", "pct%25.vcf"})
        QTest::addRow("add as %s", name) << DavServer::Kind::Radicale << true << QStringLiteral("add as ") + name
                                         << "0 sent, 1 received, 0 deleted, 0 conflicts"
                                         << QStringList{"Alice Brown Leeds", "Bob Cole York", "Zed Zeta "};
}

namespace {

QByteArray groupCard(const QString& action, const QByteArray& memberUid)
{
    if (action == QLatin1String("group 4.0"))
        return "BEGIN:VCARD\r\nVERSION:4.0\r\nUID:family\r\nKIND:group\r\nFN:Family\r\nN:Family;;;;\r\n"
               "MEMBER:urn:uuid:" + memberUid + "\r\nEND:VCARD\r\n";
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Apple Inc.//AddressBook//EN\r\nUID:family\r\nN:Family\r\n"
           "FN:Family\r\nX-ADDRESSBOOKSERVER-KIND:group\r\nX-ADDRESSBOOKSERVER-MEMBER:urn:uuid:" + memberUid +
           "\r\nEND:VCARD\r\n";
}

} // namespace

// Another client changes the book with plain PUT and DELETE; the changes arrive here.
void TestCardDavSync::serverChangesArrive()
{
    QFETCH(DavServer::Kind, kind);
    QFETCH(bool, syncCollection);
    QFETCH(QString, action);
    fresh({{{"Surname", "Brown"}, {"Firstname", "Alice"}, {"Town", "Leeds"}},
           {{"Surname", "Cole"}, {"Firstname", "Bob"}, {"Town", "York"}}},
          kind);
    const SyncOptions options{.useSyncCollection = syncCollection};
    QCOMPARE(sync(options).sent, 2);
    QString aliceHref;
    QByteArray aliceCard;
    const QHash<QString, QByteArray> cards = serverCards();
    for (auto it = cards.constBegin(); it != cards.constEnd(); ++it) {
        if (it.value().contains("Alice")) {
            aliceHref = it.key();
            aliceCard = it.value();
        }
    }
    QVERIFY(!aliceHref.isEmpty());
    const QUrl alice = book.resolved(QUrl(aliceHref));
    if (action == QLatin1String("change")) {
        aliceCard.replace("Leeds", "Hull");
        QCOMPARE(dav->request("PUT", alice, aliceCard), 201);
    } else if (action.startsWith(QLatin1String("add"))) {
        const QString name = action == QLatin1String("add") ? QStringLiteral("zed.vcf") : action.mid(7);
        QCOMPARE(dav->request("PUT", book.resolved(QUrl(name)), vcard("zed", "Zeta", "Zed")), 201);
    } else if (action.startsWith(QLatin1String("group"))) {
        const QByteArray uid = aliceCard.mid(aliceCard.indexOf("UID:") + 4).split('\r').value(0);
        QCOMPARE(dav->request("PUT", book.resolved(QUrl("family.vcf")), groupCard(action, uid)), 201);
    } else {
        QVERIFY(dav->request("DELETE", alice) / 100 == 2);
        if (action.endsWith(QLatin1String("town here")))
            sql(dbPath(), QStringLiteral("UPDATE HomeAd SET Town = 'Ripon' WHERE Firstname = 'Alice'"));
    }
    const SyncSummary s = sync(options);
    QVERIFY2(s.errors.isEmpty(), qPrintable(s.errors.join('\n')));
    QTEST(s.line(), "summary");
    QTEST(sql(dbPath(), QStringLiteral("SELECT Firstname || ' ' || Surname || ' ' || ifnull(Town, '') FROM HomeAd "
                                       "ORDER BY Surname")),
          "people");
    QCOMPARE(sync(options).line(), QStringLiteral("0 sent, 0 received, 0 deleted, 0 conflicts"));
    if (action.startsWith(QLatin1String("add"))) {
        // Changed here, it goes back to the same card.
        const QStringList hrefs = serverCards().keys();
        sql(dbPath(), QStringLiteral("UPDATE HomeAd SET Town = 'Kendal' WHERE Firstname = 'Zed'"));
        const SyncSummary back = sync(options);
        QVERIFY2(back.errors.isEmpty(), qPrintable(back.errors.join('\n')));
        QCOMPARE(back.line(), QStringLiteral("1 sent, 0 received, 0 deleted, 0 conflicts"));
        const QHash<QString, QByteArray> after = serverCards();
        QCOMPARE(QSet<QString>(after.keyBegin(), after.keyEnd()), QSet<QString>(hrefs.begin(), hrefs.end()));
        QCOMPARE(std::count_if(after.begin(), after.end(), [](const QByteArray& c) { return c.contains("Kendal"); }), 1);
    }
    if (action.startsWith(QLatin1String("group"))) {
        // Every contact deleted here: their cards go, the group stays untouched.
        const QByteArray group = serverCards().value(book.path() + "family.vcf");
        QVERIFY(group.contains("Family"));
        sql(dbPath(), QStringLiteral("DELETE FROM HomeAd"));
        QCOMPARE(sync(options).line(), QStringLiteral("0 sent, 0 received, 2 deleted, 0 conflicts"));
        const QHash<QString, QByteArray> left = serverCards();
        QCOMPARE(left.keys(), QStringList{book.path() + "family.vcf"});
        QCOMPARE(left.constBegin().value(), group);
        QCOMPARE(sql(dbPath(), QStringLiteral("SELECT count(*) FROM HomeAd")), QStringList{"0"});
    }
}

void TestCardDavSync::ourChangesArrive_data()
{
    QTest::addColumn<bool>("deletedThereMeanwhile"); // a card not yet sent is deleted on the server after the first PUT
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QStringList>("serverNames"); // vobject's N values, sorted
    QTest::newRow("changed") << false << "UPDATE HomeAd SET Surname = 'Browne' WHERE Firstname = 'Alice'"
                             << "1 sent, 0 received, 0 deleted, 0 conflicts"
                             << QStringList{"n=Browne;Alice;", "n=Cole;Bob;"};
    QTest::newRow("added") << false << "INSERT INTO HomeAd (Surname, Firstname) VALUES ('Dodd', 'Cy')"
                           << "1 sent, 0 received, 0 deleted, 0 conflicts"
                           << QStringList{"n=Brown;Alice;", "n=Cole;Bob;", "n=Dodd;Cy;"};
    QTest::newRow("deleted") << false << "DELETE FROM HomeAd WHERE Firstname = 'Alice'"
                             << "0 sent, 0 received, 1 deleted, 0 conflicts" << QStringList{"n=Cole;Bob;"};
    // The ID of a deleted last row is given to the next new one: it is a new contact, not a change of the old.
    QTest::newRow("deleted, its ID used again")
        << false << "DELETE FROM HomeAd WHERE Firstname = 'Bob'; INSERT INTO HomeAd (Surname, Firstname) VALUES ('Dodd', 'Cy')"
        << "1 sent, 0 received, 1 deleted, 0 conflicts" << QStringList{"n=Brown;Alice;", "n=Dodd;Cy;"};
    // The PUT gets 412 and the fetch 404: the contact is sent again as a new card in the same sync.
    QTest::newRow("changed, deleted there meanwhile")
        << true << "UPDATE HomeAd SET Surname = Surname || 'e'" << "2 sent, 0 received, 0 deleted, 0 conflicts"
        << QStringList{"n=Browne;Alice;", "n=Colee;Bob;"};
}

// Changes made with any tool (here plain SQL) are found by comparison and sent.
void TestCardDavSync::ourChangesArrive()
{
    QFETCH(bool, deletedThereMeanwhile);
    QFETCH(QString, statement);
    fresh({{{"Surname", "Brown"}, {"Firstname", "Alice"}}, {{"Surname", "Cole"}, {"Firstname", "Bob"}}});
    QCOMPARE(sync().sent, 2);
    for (const QString& s : statement.split(QStringLiteral("; ")))
        sql(dbPath(), s);
    bool deleted = false;
    const SyncSummary s = sync({.parallel = 1}, DavServer::password(), [&](CardDavClient&, qint64, const QString& what) {
        if (!deletedThereMeanwhile || deleted || what != QLatin1String("Sending changes"))
            return;
        const QHash<QString, QByteArray> cards = serverCards();
        for (auto it = cards.constBegin(); it != cards.constEnd(); ++it) {
            if (!it.value().contains("Browne") && !it.value().contains("Colee"))
                deleted = server->request("DELETE", book.resolved(QUrl(it.key()))) == 200;
        }
    });
    QCOMPARE(deleted, deletedThereMeanwhile);
    QVERIFY2(s.errors.isEmpty(), qPrintable(s.errors.join('\n')));
    QTEST(s.line(), "summary");
    QStringList names;
    for (const QByteArray& card : serverCards()) {
        for (const QString& p : testsupport::readWithVobject(card)) {
            if (p.startsWith(QLatin1String("n=")))
                names << p;
        }
    }
    names.sort();
    QTEST(names, "serverNames");
}

void TestCardDavSync::bothSidesChanged_data()
{
    QTest::addColumn<QString>("localSet");
    QTest::addColumn<QByteArray>("remoteFrom");
    QTest::addColumn<QByteArray>("remoteTo");
    QTest::addColumn<QString>("expected"); // Tel|Town|Notes after the sync, here and there
    QTest::addColumn<int>("conflicts");
    QTest::newRow("different fields") << "Tel = '222'" << QByteArray("Leeds") << QByteArray("Hull")
                                      << "222|Hull|" << 0;
    QTest::newRow("same field") << "Town = 'York'" << QByteArray("Leeds") << QByteArray("Hull")
                                << "111|York|Changed elsewhere on 2026-05-06: Town = Hull" << 1;
}

// Both sides change one contact: fields merged, a clash keeps ours with theirs in Notes, and the merge goes back.
void TestCardDavSync::bothSidesChanged()
{
    QFETCH(QString, localSet);
    QFETCH(QByteArray, remoteFrom);
    QFETCH(QByteArray, remoteTo);
    fresh({{{"Surname", "Brown"}, {"Firstname", "Alice"}, {"Town", "Leeds"}, {"Tel", "111"}}});
    QCOMPARE(sync().sent, 1);
    const auto cards = serverCards();
    const QString href = cards.constBegin().key();
    QByteArray card = cards.constBegin().value();
    card.replace(remoteFrom, remoteTo);
    QCOMPARE(server->request("PUT", book.resolved(QUrl(href)), card), 201);
    sql(dbPath(), QStringLiteral("UPDATE HomeAd SET %1").arg(localSet));

    const SyncSummary s = sync();
    QVERIFY2(s.errors.isEmpty(), qPrintable(s.errors.join('\n')));
    QTEST(s.conflicts, "conflicts");
    QCOMPARE(s.sent, 1);
    QTEST(sql(dbPath(), QStringLiteral("SELECT Tel || '|' || Town || '|' || ifnull(Notes, '') FROM HomeAd")).value(0),
          "expected");
    QFETCH(QString, expected);
    const QStringList parts = expected.split(QLatin1Char('|'));
    const QStringList there = testsupport::readWithVobject(serverCards().value(href));
    QVERIFY2(there.contains(QStringLiteral("tel=") + parts[0]), qPrintable(there.join('\n')));
    QVERIFY(there.contains(QStringLiteral("adr=;%1;;;").arg(parts[1])));
    if (!parts[2].isEmpty())
        QVERIFY(there.contains(QStringLiteral("note=") + parts[2]));
    QCOMPARE(sync().line(), QStringLiteral("0 sent, 0 received, 0 deleted, 0 conflicts"));
}

// A card from a phone with a photo, a second number and a web address: changing it here strips none of those.
void TestCardDavSync::keepsWhatOthersStored()
{
    fresh({});
    const QByteArray phone = vcard("phone-1", "Smith", "John",
                                   "TEL;TYPE=CELL:111\r\nTEL;TYPE=CELL:222\r\nURL:https://example.org/john\r\n"
                                   "PHOTO;ENCODING=b;TYPE=PNG:iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR4\r\n"
                                   " 2mNk+M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==\r\n");
    QCOMPARE(server->request("PUT", book.resolved(QUrl("phone-1.vcf")), phone), 201);
    QCOMPARE(sync().line(), QStringLiteral("0 sent, 1 received, 0 deleted, 0 conflicts"));
    QCOMPARE(sql(dbPath(), QStringLiteral("SELECT Cell FROM HomeAd")), QStringList{"111"});
    sql(dbPath(), QStringLiteral("UPDATE HomeAd SET Town = 'Leeds'"));
    QCOMPARE(sync().line(), QStringLiteral("1 sent, 0 received, 0 deleted, 0 conflicts"));
    const QStringList props = testsupport::readWithVobject(serverCards().value(book.path() + "phone-1.vcf"));
    QVERIFY2(props.contains(QStringLiteral("tel=222")), qPrintable(props.join('\n')));
    QVERIFY(props.contains(QStringLiteral("url=https://example.org/john")));
    QVERIFY(props.contains(QStringLiteral("uid=phone-1")));
    QVERIFY(props.contains(QStringLiteral("adr=;Leeds;;;")));
    QVERIFY(std::any_of(props.begin(), props.end(), [](const QString& p) { return p.startsWith("photo="); }));
}

void TestCardDavSync::deletedHereChangedThere_data()
{
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QString>("town"); // here, after the sync
    QTest::newRow("a field") << QByteArray("Leeds") << QByteArray("Hull") << "Hull";
    // A photo and a second address, which have no field here, are as much a change.
    QTest::newRow("what has no field here")
        << QByteArray("END:VCARD")
        << QByteArray("EMAIL;TYPE=work:alice@work.example\r\nPHOTO;ENCODING=b;TYPE=PNG:iVBORw0KGgoAAAANSUhEUgAAAAEAAAAB"
                      "CAYAAAAfFcSJAAAADUlEQVR42mNk+M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==\r\nEND:VCARD")
        << "Leeds";
}

void TestCardDavSync::changeHereRewritesOnlyItsProperty_data()
{
    QTest::addColumn<QString>("set");
    QTest::addColumn<QStringList>("changed"); // the properties that differ afterwards, as vobject reads them
    QTest::newRow("notes") << "Notes = 'desk edit'" << QStringList{"NOTE;=desk edit"};
    QTest::newRow("town") << "Town = 'York'"
                          << QStringList{"ADR;TYPE=home=PO Box 9|Flat 2|10 Main St/Block C/Third line|York|"
                                         "West Yorkshire|LS1 1AA|UK"};
    QTest::newRow("first street line, the PO box")
        << "Address1 = 'PO Box 10'"
        << QStringList{"ADR;TYPE=home=PO Box 10|Flat 2|10 Main St/Block C/Third line|Leeds|West Yorkshire|LS1 1AA|UK"};
    QTest::newRow("further street lines")
        << "Address2 = '12 Main St, Block C, Third line'"
        << QStringList{"ADR;TYPE=home=PO Box 9|Flat 2|12 Main St/Block C/Third line|Leeds|West Yorkshire|LS1 1AA|UK"};
    QTest::newRow("one unit of the workplace") << "Workplace = 'Acme Ltd, Sales, South'"
                                               << QStringList{"ORG;=Acme Ltd|Sales|South"};
    QTest::newRow("typed, grouped e-mail") << "Email = 'john@new.example'"
                                           << QStringList{"item1.EMAIL;TYPE=home,pref=john@new.example"};
    QTest::newRow("second flag") << "Flag2 = 'Work'" << QStringList{"CATEGORIES;=Family|Work|Chess club"};
    QTest::newRow("first name") << "Firstname = 'Jon'"
                                << QStringList{"FN;=Dr. Jon Smith", "N;=Dr. Jon  Smith "};
}

// A card a phone wrote, changed here in one field: every other property goes back as the phone wrote it.
void TestCardDavSync::changeHereRewritesOnlyItsProperty()
{
    QFETCH(QString, set);
    fresh({});
    const QByteArray phone = "BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Phone//EN\r\nUID:phone-2\r\n"
                             "N:Smith;John;;Dr.;\r\nFN:Dr. John Smith\r\n"
                             "item1.EMAIL;TYPE=home,pref:john@home.example\r\nitem1.X-ABLabel:Home mail\r\n"
                             "EMAIL;TYPE=work:john@work.example\r\n"
                             "ADR;TYPE=home:PO Box 9;Flat 2;10 Main St\\nBlock C\\nThird line;Leeds;West Yorkshire;"
                             "LS1 1AA;UK\r\n"
                             "ORG:Acme Ltd;Sales;North\r\nTEL;TYPE=CELL:07700 900001\r\nTEL;TYPE=CELL:07700 900002\r\n"
                             "CATEGORIES:Family,Friends,Chess club\r\nNOTE:from the phone\r\n"
                             "PHOTO;ENCODING=b;TYPE=PNG:iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk\r\n"
                             " +M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==\r\nEND:VCARD\r\n";
    const QUrl href = book.resolved(QUrl("phone-2.vcf"));
    QCOMPARE(server->request("PUT", href, phone), 201);
    QCOMPARE(sync().line(), QStringLiteral("0 sent, 1 received, 0 deleted, 0 conflicts"));
    QByteArray before;
    server->request("GET", href, {}, &before);
    sql(dbPath(), QStringLiteral("UPDATE HomeAd SET %1").arg(set));
    QCOMPARE(sync().line(), QStringLiteral("1 sent, 0 received, 0 deleted, 0 conflicts"));
    QByteArray after;
    server->request("GET", href, {}, &after);

    const QStringList was = vobjectProperties(before);
    const QStringList now = vobjectProperties(after);
    QVERIFY2(was.size() > 10, qPrintable(was.join('\n')));
    QStringList added, removed;
    for (const QString& p : now) {
        if (!was.contains(p))
            added << p;
    }
    for (const QString& p : was) {
        if (!now.contains(p))
            removed << p;
    }
    QTEST(added, "changed");
    QCOMPARE(removed.size(), added.size());
    auto names = [](const QStringList& props) {
        QStringList out;
        for (const QString& p : props)
            out << p.section(QLatin1Char(';'), 0, 0);
        return out;
    };
    QCOMPARE(names(now), names(was)); // no property lost, added or moved
    QCOMPARE(sql(dbPath(), QStringLiteral("SELECT count(*) FROM HomeAd")), QStringList{"1"});
    QCOMPARE(sync().line(), QStringLiteral("0 sent, 0 received, 0 deleted, 0 conflicts"));
}

void TestCardDavSync::clearingRemovesOnlyThatValue_data()
{
    QTest::addColumn<QString>("set");
    QTest::addColumn<QStringList>("removed"); // properties as vobject reads them
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QString>("here");      // a value here after the sync, as SQL
    QTest::addColumn<QString>("hereValue"); // the next value of its kind reads into the cleared field
    QTest::newRow("one of two e-mails")
        << "Email = NULL" << QStringList{"item1.EMAIL;TYPE=home,pref=john@home.example", "item1.X-ABLABEL;=Home mail"}
        << QStringList{} << "Email" << "john@work.example";
    QTest::newRow("home number beside a labelled one")
        << "Tel = NULL" << QStringList{"TEL;TYPE=home=0113 496 0001"} << QStringList{} << "Tel" << "0113 496 0003";
    QTest::newRow("first street line, the PO box")
        << "Address1 = NULL" << QStringList{"ADR;TYPE=home,pref=PO Box 9||10 Main St|Leeds||LS1 1AA|UK"}
        << QStringList{"ADR;TYPE=home,pref=||10 Main St|Leeds||LS1 1AA|UK"}
        << "Address1 || '/' || ifnull(Address2, '') || '/' || Town" << "10 Main St//Leeds";
    QTest::newRow("home address beside a work one")
        << "Address1 = NULL, Address2 = NULL, Town = NULL, PostCode = NULL, Country = NULL"
        << QStringList{"ADR;TYPE=home,pref=PO Box 9||10 Main St|Leeds||LS1 1AA|UK"} << QStringList{}
        << "Address1 || '/' || Town" << "1 Mill Lane/York";
    QTest::newRow("workplace") << "Workplace = NULL" << QStringList{"ORG;=Acme Ltd|Sales|North"} << QStringList{}
                               << "ifnull(Workplace, '-')" << "-";
    // Not a clearing, but the same care: the birthday's value changes, its parameters stay.
    QTest::newRow("birthday changed") << "Birthday = '1971-05-06'" << QStringList{"BDAY;VALUE=date=1970-05-06"}
                                      << QStringList{"BDAY;VALUE=date=1971-05-06"} << "Birthday" << "1971-05-06";
}

// A value cleared here removes exactly its property (or component) from the phone's card; both sides then hold what
// the card reads as, and the next sync changes nothing.
void TestCardDavSync::clearingRemovesOnlyThatValue()
{
    QFETCH(QString, set);
    fresh({});
    const QUrl href = book.resolved(QUrl("phone-4.vcf"));
    QCOMPARE(server->request("PUT", href, richPhoneCard("phone-4")), 201);
    QCOMPARE(sync().line(), QStringLiteral("0 sent, 1 received, 0 deleted, 0 conflicts"));
    QByteArray before;
    server->request("GET", href, {}, &before);
    sql(dbPath(), QStringLiteral("UPDATE HomeAd SET %1").arg(set));
    const SyncSummary s = sync();
    QVERIFY2(s.errors.isEmpty(), qPrintable(s.errors.join('\n')));
    QCOMPARE(s.line(), QStringLiteral("1 sent, 0 received, 0 deleted, 0 conflicts"));
    QByteArray after;
    server->request("GET", href, {}, &after);

    const QStringList was = vobjectProperties(before);
    const QStringList now = vobjectProperties(after);
    QStringList added, removed;
    for (const QString& p : now) {
        if (!was.contains(p))
            added << p;
    }
    for (const QString& p : was) {
        if (!now.contains(p))
            removed << p;
    }
    QTEST(removed, "removed");
    QTEST(added, "added");
    QFETCH(QString, here);
    QTEST(sql(dbPath(), QStringLiteral("SELECT %1 FROM HomeAd").arg(here)).value(0), "hereValue");
    QCOMPARE(sync().line(), QStringLiteral("0 sent, 0 received, 0 deleted, 0 conflicts"));
    QByteArray last;
    server->request("GET", href, {}, &last);
    QCOMPARE(last, after);
}

// A phone's values longer than their fields are fitted here as an import fits them (the whole value in Notes): an
// edit of another field goes back without touching them, and the card keeps them whole.
void TestCardDavSync::phoneValuesTooLongStayWhole()
{
    fresh({});
    const QUrl href = book.resolved(QUrl("phone-5.vcf"));
    const QByteArray phone = vcard("phone-5", "Smith", "John",
                                   "TEL;TYPE=CELL:07700 900123 ext 45\r\nORG:Northern Widget Manufacturers Ltd\r\n"
                                   "CATEGORIES:Friends,Chess club\r\nNOTE:met at the club\r\n");
    QCOMPARE(server->request("PUT", href, phone), 201);
    QCOMPARE(sync().line(), QStringLiteral("0 sent, 1 received, 0 deleted, 0 conflicts"));
    for (const exchange::FieldInfo& f : exchange::Fields) {
        const QString value = sql(dbPath(), QStringLiteral("SELECT ifnull(\"%1\", '') FROM HomeAd").arg(f.name)).value(0);
        QVERIFY2(f.maxLength == 0 || value.size() <= f.maxLength, f.name);
    }
    QCOMPARE(sql(dbPath(), QStringLiteral("SELECT Notes FROM HomeAd")).value(0),
             QStringLiteral("met at the club\nCell: 07700 900123 ext 45\nWorkplace: Northern Widget Manufacturers Ltd\n"
                            "Flag: Friends\nFlag2: Chess club"));

    sql(dbPath(), QStringLiteral("UPDATE HomeAd SET Town = 'Ripon'"));
    QCOMPARE(sync().line(), QStringLiteral("1 sent, 0 received, 0 deleted, 0 conflicts"));
    QByteArray after;
    server->request("GET", href, {}, &after);
    // Every property as the phone wrote it, and the town.
    QStringList was = vobjectProperties(phone);
    QStringList now = vobjectProperties(after);
    const QStringList address = now.filter(QRegularExpression(QStringLiteral("^ADR;")));
    QCOMPARE(address.size(), 1);
    QVERIFY2(address[0].endsWith(QLatin1String("|Ripon|||")), qPrintable(address[0]));
    now.removeAll(address[0]);
    was.sort();
    now.sort();
    QCOMPARE(now, was);

    // Changed there in another property: received, and nothing goes back.
    QCOMPARE(server->request("PUT", href, QByteArray(after).replace("met at the club", "met at the chess club")), 201);
    QCOMPARE(sync().line(), QStringLiteral("0 sent, 1 received, 0 deleted, 0 conflicts"));
    QVERIFY(sql(dbPath(), QStringLiteral("SELECT Notes FROM HomeAd")).value(0).startsWith("met at the chess club\nCell: "));
    QCOMPARE(sync().line(), QStringLiteral("0 sent, 0 received, 0 deleted, 0 conflicts"));
}

// Deleted here, changed there: the contact comes back with the other side's changes, counted as a conflict.
void TestCardDavSync::deletedHereChangedThere()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    fresh({{{"Surname", "Brown"}, {"Firstname", "Alice"}, {"Town", "Leeds"}}});
    QCOMPARE(sync().sent, 1);
    const auto cards = serverCards();
    QByteArray card = cards.constBegin().value();
    card.replace(from, to);
    QCOMPARE(server->request("PUT", book.resolved(QUrl(cards.constBegin().key())), card), 201);
    sql(dbPath(), QStringLiteral("DELETE FROM HomeAd"));
    const SyncSummary s = sync();
    QCOMPARE(s.line(), QStringLiteral("0 sent, 1 received, 0 deleted, 1 conflicts"));
    QTEST(sql(dbPath(), QStringLiteral("SELECT Town FROM HomeAd")).value(0), "town");
    QCOMPARE(serverCards().size(), 1);
    QStringList there = testsupport::readWithVobject(serverCards().constBegin().value());
    QStringList sent = testsupport::readWithVobject(card);
    there.sort();
    sent.sort();
    QCOMPARE(there, sent);
    QCOMPARE(sync().line(), QStringLiteral("0 sent, 0 received, 0 deleted, 0 conflicts"));
}

void TestCardDavSync::mergedDuplicatesKeepBothCards_data()
{
    QTest::addColumn<bool>("keepNewHere");
    QTest::addColumn<bool>("undo");
    QTest::newRow("merged") << false << false;
    QTest::newRow("kept contact not on the server yet") << true << false;
    QTest::newRow("merge undone before the sync") << false << true;
}

// Two cards of one person, each with a photo and properties with no field here: merged here, the next sync deletes
// one card and writes both cards' properties on the other; undone before the sync, both cards stay as they were.
void TestCardDavSync::mergedDuplicatesKeepBothCards()
{
    QFETCH(bool, keepNewHere);
    QFETCH(bool, undo);
    fresh({});
    const QByteArray photo1 = "PHOTO;ENCODING=b;TYPE=PNG:iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR4\r\n"
                              " 2mNk+M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==\r\n";
    const QByteArray photo2 = "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQEASABIAAD/2wBDAP//////////////////\r\n";
    QCOMPARE(server->request("PUT", book.resolved(QUrl("one.vcf")),
                             vcard("one", "Smith", "John",
                                   "EMAIL:john@example.org\r\nitem1.URL:https://one.example/\r\n"
                                   "item1.X-ABLabel:blog\r\n" + photo1)),
             201);
    QCOMPARE(server->request("PUT", book.resolved(QUrl("two.vcf")),
                             vcard("two", "Smith", "John",
                                   "EMAIL:john@example.org\r\nTEL;TYPE=CELL:07700 900111\r\n"
                                   "TEL;TYPE=CELL:07700 900222\r\nitem1.URL:https://two.example/\r\n"
                                   "item1.X-ABLabel:home\r\n" + photo2)),
             201);
    QCOMPARE(sync().received, 2);
    const QHash<QString, QByteArray> before = serverCards();
    if (keepNewHere)
        sql(dbPath(), QStringLiteral("INSERT INTO HomeAd (Surname, Firstname, Town) VALUES ('Smith', 'John', 'York')"));
    const QStringList ids = sql(dbPath(), QStringLiteral("SELECT ID FROM HomeAd ORDER BY ID"));
    const qint64 kept = keepNewHere ? ids.last().toLongLong() : ids.first().toLongLong();
    QList<qint64> others;
    for (const QString& id : ids)
        if (id.toLongLong() != kept)
            others << id.toLongLong();
    {
        data::Connection connection;
        connection.setDatabasePath(dbPath());
        connection.open();
        const auto done = search::duplicates::merge(connection.handle(), kept, others, {});
        if (undo)
            search::duplicates::undoMerge(connection.handle(), done);
    }

    const SyncSummary s = sync();
    QVERIFY2(s.errors.isEmpty(), qPrintable(s.errors.join('\n')));
    if (undo) {
        QCOMPARE(s.line(), QStringLiteral("0 sent, 0 received, 0 deleted, 0 conflicts"));
        QCOMPARE(serverCards(), before);
        return;
    }
    QCOMPARE(s.line(), keepNewHere ? QStringLiteral("1 sent, 0 received, 2 deleted, 0 conflicts")
                                   : QStringLiteral("1 sent, 0 received, 1 deleted, 0 conflicts"));
    const QHash<QString, QByteArray> after = serverCards();
    QCOMPARE(after.size(), 1);
    const QStringList props = vobjectProperties(after.constBegin().value());
    const QString all = props.join(QLatin1Char('\n'));
    QVERIFY2(props.value(0).startsWith(QLatin1String("VERSION")), qPrintable(all));
    QCOMPARE(props.filter(QRegularExpression(QStringLiteral("^PHOTO;"))).size(), 2);
    QCOMPARE(props.filter(QRegularExpression(QStringLiteral("^TEL;.*07700 900(111|222)$"))).size(), 2);
    // The two cards' grouped properties stay paired, under two groups.
    const auto paired = [&](const QString& url, const QString& label) {
        const QStringList lines = props.filter(QStringLiteral(".URL;=") + url);
        const QString group = lines.value(0).section(QLatin1Char('.'), 0, 0);
        return lines.size() == 1 && props.contains(group + QStringLiteral(".X-ABLABEL;=") + label) ? group : QString();
    };
    const QString one = paired(QStringLiteral("https://one.example/"), QStringLiteral("blog"));
    const QString two = paired(QStringLiteral("https://two.example/"), QStringLiteral("home"));
    QVERIFY2(!one.isEmpty() && !two.isEmpty() && one != two, qPrintable(all));
    QCOMPARE(sql(dbPath(), QStringLiteral("SELECT count(*) FROM HomeAd")), QStringList{"1"});
    QCOMPARE(sync().line(), QStringLiteral("0 sent, 0 received, 0 deleted, 0 conflicts"));
    QCOMPARE(serverCards(), after);
}

void TestCardDavSync::restoredContactTakesItsCardBack_data()
{
    QTest::addColumn<QString>("how"); // "undo delete" or "undo merge" (of the phone's contact into another)
    QTest::addColumn<bool>("syncBetween");
    QTest::addColumn<QString>("summary"); // of the sync after the undo
    QTest::newRow("undo delete") << "undo delete" << false << "0 sent, 0 received, 0 deleted, 0 conflicts";
    QTest::newRow("restore after a sync") << "undo delete" << true << "1 sent, 0 received, 0 deleted, 0 conflicts";
    // The kept contact goes back to what it was, and the phone's card comes back.
    QTest::newRow("undo merge after a sync") << "undo merge" << true << "2 sent, 0 received, 0 deleted, 0 conflicts";
}

// A phone's contact deleted here (on its own or merged into another) and brought back: before a sync the server is
// left as it was; after one its card comes back with every property it had, under a new UID.
void TestCardDavSync::restoredContactTakesItsCardBack()
{
    QFETCH(QString, how);
    QFETCH(bool, syncBetween);
    fresh({});
    const QUrl href = book.resolved(QUrl("phone-3.vcf"));
    QCOMPARE(server->request("PUT", href, richPhoneCard("phone-3")), 201);
    QCOMPARE(sync().line(), QStringLiteral("0 sent, 1 received, 0 deleted, 0 conflicts"));
    const QHash<QString, QByteArray> before = serverCards();
    const QString phoneId = sql(dbPath(), QStringLiteral("SELECT ID FROM HomeAd")).value(0);
    const bool merge = how == QLatin1String("undo merge");
    if (merge)
        sql(dbPath(), QStringLiteral("INSERT INTO HomeAd (Surname, Firstname, Email) VALUES "
                                     "('Smith', 'John', 'john@home.example')"));
    auto withConnection = [&](const std::function<void(sqlite3*)>& work) {
        data::Connection connection;
        connection.setDatabasePath(dbPath());
        connection.open();
        work(connection.handle());
    };
    search::duplicates::MergeUndo undo;
    withConnection([&](sqlite3* db) {
        if (merge)
            undo = search::duplicates::merge(db, phoneId.toLongLong() + 1, {phoneId.toLongLong()}, {});
        else
            QCOMPARE(sqlite3_exec(db, "DELETE FROM HomeAd", nullptr, nullptr, nullptr), SQLITE_OK);
    });
    if (syncBetween) {
        const SyncSummary s = sync();
        QVERIFY2(s.errors.isEmpty(), qPrintable(s.errors.join('\n')));
        QCOMPARE(s.deleted, 1);
    }
    withConnection([&](sqlite3* db) {
        if (merge)
            search::duplicates::undoMerge(db, undo);
        else
            data::deleted::restore(db, data::deleted::newestId(db));
    });
    const SyncSummary s = sync();
    QVERIFY2(s.errors.isEmpty(), qPrintable(s.errors.join('\n')));
    QTEST(s.line(), "summary");
    const QHash<QString, QByteArray> after = serverCards();
    if (!syncBetween) {
        QCOMPARE(after, before);
        return;
    }
    // The phone's card is back (beside the merged contact's card): the same properties but its UID.
    auto withoutUid = [](const QByteArray& card) {
        QStringList props = vobjectProperties(card).filter(QRegularExpression(QStringLiteral("^(?!UID;)")));
        props.sort();
        return props;
    };
    const QStringList expected = withoutUid(before.constBegin().value());
    QStringList back;
    for (const QByteArray& card : after) {
        if (card.contains("PHOTO"))
            back << withoutUid(card).join(QLatin1Char('\n'));
    }
    QCOMPARE(back.size(), merge ? 2 : 1); // the merge wrote the photo on the kept card too
    QVERIFY2(back.contains(expected.join(QLatin1Char('\n'))), qPrintable(back.join(QLatin1String("\n\n"))));
    QCOMPARE(sync().line(), QStringLiteral("0 sent, 0 received, 0 deleted, 0 conflicts"));
}

void TestCardDavSync::wrongPassword()
{
    fresh(testsupport::sampleContacts());
    try {
        sync({}, QStringLiteral("wrong"));
        QFAIL("no error");
    } catch (const platform::AppError& e) {
        QVERIFY2(e.message().contains(QLatin1String("user name or password (401)")), qPrintable(e.message()));
    }
    QCOMPARE(sql(dbPath(), QStringLiteral("SELECT count(*) FROM HomeAd")), QStringList{"6"});
    QVERIFY(serverCards().isEmpty());
    QCOMPARE(sync().sent, 6);
}

// The server goes away in the middle of sending: nothing is lost here, and the next sync finishes the work
// without sending any contact twice.
void TestCardDavSync::serverStoppedHalfway()
{
    QList<testsupport::Contact> many;
    for (int i = 0; i < 40; ++i)
        many << testsupport::Contact{{"Surname", QStringLiteral("Person%1").arg(i, 2, 10, QLatin1Char('0'))}};
    fresh(many);
    QByteArray before;
    before = sql(dbPath(), QStringLiteral("SELECT group_concat(Surname) FROM HomeAd")).value(0).toUtf8();
    try {
        sync({.parallel = 2}, DavServer::password(), [&](CardDavClient&, qint64 done, const QString&) {
            if (done == 10 && server->isRunning())
                server->stop();
        });
        QFAIL("no error");
    } catch (const platform::AppError& e) {
        QVERIFY2(e.message().contains(QLatin1String("refused the connection")) ||
                     e.message().contains(QLatin1String("closed")),
                 qPrintable(e.message()));
        QVERIFY(e.message().contains(QLatin1String("next sync takes up")));
    }
    QCOMPARE(sql(dbPath(), QStringLiteral("SELECT group_concat(Surname) FROM HomeAd")).value(0).toUtf8(), before);
    QVERIFY2(server->start(), qPrintable(server->error()));
    const SyncSummary s = sync();
    QVERIFY2(s.errors.isEmpty(), qPrintable(s.errors.join('\n')));
    QCOMPARE(s.conflicts, 0);
    QCOMPARE(serverCards().size(), 40);
    QCOMPARE(sql(dbPath(), QStringLiteral("SELECT count(*) FROM HomeAd")), QStringList{"40"});
    QCOMPARE(sql(dbPath(), QStringLiteral("SELECT count(*) FROM HomeAd WHERE Notes IS NOT NULL")), QStringList{"0"});
    QCOMPARE(sync().line(), QStringLiteral("0 sent, 0 received, 0 deleted, 0 conflicts"));
}

// Cancel in the second pass of a long sync: what the first pass applied stays, nothing of the second does, and the
// next sync finishes both sides' changes without sending any contact twice.
void TestCardDavSync::cancelKeepsTheTableOfTheLastPass()
{
    fresh({{{"Surname", "Brown"}, {"Firstname", "Alice"}, {"Town", "Leeds"}},
           {{"Surname", "Cole"}, {"Firstname", "Bob"}, {"Town", "York"}}});
    QCOMPARE(sync().sent, 2);
    QHash<QString, QUrl> hrefs; // first name -> card
    QHash<QString, QByteArray> cards;
    const QHash<QString, QByteArray> synced = serverCards();
    for (auto it = synced.constBegin(); it != synced.constEnd(); ++it) {
        const QString first = it.value().contains("Alice") ? QStringLiteral("Alice") : QStringLiteral("Bob");
        hrefs.insert(first, book.resolved(QUrl(it.key())));
        cards.insert(first, it.value());
    }
    // The first pass receives a change; the second would receive three more.
    QCOMPARE(server->request("PUT", hrefs["Bob"], QByteArray(cards["Bob"]).replace("York", "Selby")), 201);
    for (int i = 0; i < 30; ++i)
        sql(dbPath(), QStringLiteral("INSERT INTO HomeAd (Surname) VALUES ('New%1')").arg(i, 2, 10, QLatin1Char('0')));

    int passes = 0, sentInSecond = 0;
    QStringList beforeLastPass;
    try {
        sync({.parallel = 2, .sendsPerPass = 10}, DavServer::password(),
             [&](CardDavClient& client, qint64, const QString& what) {
                 if (what == QLatin1String("Asking the server for changes")) {
                     beforeLastPass = dumpContacts(dbPath());
                     if (++passes == 2) {
                         server->request("PUT", hrefs["Alice"], QByteArray(cards["Alice"]).replace("Leeds", "Hull"));
                         server->request("DELETE", hrefs["Bob"]);
                         server->request("PUT", book.resolved(QUrl("zed.vcf")), vcard("zed", "Zeta", "Zed"));
                     }
                 } else if (what == QLatin1String("Sending changes") && passes == 2 && ++sentInSecond == 3) {
                     client.cancel(); // what the Cancel button does
                 }
             });
        QFAIL("the sync was not cancelled");
    } catch (const platform::AppError& e) {
        QVERIFY2(e.message().contains(QLatin1String("cancelled")), qPrintable(e.message()));
    }
    QCOMPARE(passes, 2);
    QVERIFY(beforeLastPass.filter(QStringLiteral("|Selby|")).size() == 1); // the first pass was applied
    QCOMPARE(dumpContacts(dbPath()), beforeLastPass);

    const SyncSummary s = sync({.sendsPerPass = 10});
    QVERIFY2(s.errors.isEmpty(), qPrintable(s.errors.join('\n')));
    QCOMPARE(s.conflicts, 0);
    QCOMPARE(sql(dbPath(), QStringLiteral("SELECT Firstname || ' ' || ifnull(Town, '') FROM HomeAd WHERE Firstname IS NOT NULL "
                                          "ORDER BY Firstname")),
             QStringList({"Alice Hull", "Zed "}));
    QCOMPARE(sql(dbPath(), QStringLiteral("SELECT count(*) FROM HomeAd")), QStringList{"32"});
    QCOMPARE(sql(dbPath(), QStringLiteral("SELECT count(*) FROM HomeAd WHERE Notes IS NOT NULL")), QStringList{"0"});
    QCOMPARE(serverCards().size(), 32);
    QCOMPARE(sync().line(), QStringLiteral("0 sent, 0 received, 0 deleted, 0 conflicts"));
}

void TestCardDavSync::interruptedPassDoublesNothing_data()
{
    QTest::addColumn<DavServer::Kind>("kind");
    QTest::addColumn<QString>("step");
    QTest::addColumn<bool>("stopServer"); // else the client is cancelled, as a killed sync would stop
    QTest::addColumn<int>("stopAfter");   // sends answered in the step before it stops
    for (const char* step : {"first upload", "deleted there, changed here", "412, then deleted there"}) {
        QTest::addRow("%s, server stopped", step) << DavServer::Kind::Radicale << step << true << 1;
        QTest::addRow("%s, cancelled", step) << DavServer::Kind::Radicale << step << false << 4;
        QTest::addRow("%s, xandikos stopped", step) << DavServer::Kind::Xandikos << step << true << 3;
    }
}

// A pass cut off after some of its cards reached the server, then a full sync: every contact once on each side,
// with its change, and no conflict.
void TestCardDavSync::interruptedPassDoublesNothing()
{
    QFETCH(DavServer::Kind, kind);
    QFETCH(QString, step);
    QFETCH(bool, stopServer);
    QFETCH(int, stopAfter);
    constexpr int Count = 12;
    QList<testsupport::Contact> people;
    for (int i = 0; i < Count; ++i)
        people << testsupport::Contact{{"Surname", QStringLiteral("Person%1").arg(i, 2, 10, QLatin1Char('0'))},
                                       {"Town", "Leeds"}};
    fresh(people, kind);
    const bool upload = step == QLatin1String("first upload");
    const bool settle = step.startsWith(QLatin1String("412"));
    if (!upload) {
        QCOMPARE(sync().sent, Count);
        sql(dbPath(), QStringLiteral("UPDATE HomeAd SET Town = 'Hull'"));
        if (!settle) {
            const QHash<QString, QByteArray> cards = serverCards();
            for (auto it = cards.constBegin(); it != cards.constEnd(); ++it)
                QVERIFY(dav->request("DELETE", book.resolved(QUrl(it.key()))) / 100 == 2);
        }
    }
    // 412 first: the cards not yet sent are deleted there after the first answer, and are sent again as new ones.
    const int stopAt = settle ? Count + stopAfter : stopAfter;
    int answered = 0;
    bool stopped = false;
    try {
        sync({.parallel = 1}, DavServer::password(), [&](CardDavClient& client, qint64, const QString& what) {
            if (what != QLatin1String("Sending changes"))
                return;
            ++answered;
            if (settle && answered == 1) {
                const QHash<QString, QByteArray> cards = serverCards();
                for (auto it = cards.constBegin(); it != cards.constEnd(); ++it) {
                    if (!it.value().contains("Hull"))
                        dav->request("DELETE", book.resolved(QUrl(it.key())));
                }
            }
            if (answered == stopAt) {
                stopped = true;
                stopServer ? dav->stop() : client.cancel();
            }
        });
    } catch (const platform::AppError&) {
    }
    if (!dav->isRunning())
        QVERIFY2(dav->start(), qPrintable(dav->error()));
    QVERIFY(stopped);

    const SyncSummary s = sync();
    QVERIFY2(s.errors.isEmpty(), qPrintable(s.errors.join('\n')));
    QCOMPARE(s.conflicts, 0);
    const QString town = upload ? QStringLiteral("Leeds") : QStringLiteral("Hull");
    QStringList here = sql(dbPath(), QStringLiteral("SELECT Surname || ' ' || Town || ifnull(Notes, '') FROM HomeAd "
                                                    "ORDER BY Surname"));
    QStringList expected;
    for (const testsupport::Contact& c : people)
        expected << c["Surname"] + QLatin1Char(' ') + town;
    QCOMPARE(here, expected);
    QStringList there;
    for (const QByteArray& card : serverCards()) {
        for (const QString& p : testsupport::readWithVobject(card)) {
            if (p.startsWith(QLatin1String("n=")))
                there << p.mid(2).section(QLatin1Char(';'), 0, 0) + QLatin1Char(' ') +
                             (card.contains(town.toUtf8()) ? town : QStringLiteral("?"));
        }
    }
    there.sort();
    QCOMPARE(there, expected);
    QCOMPARE(sync().line(), QStringLiteral("0 sent, 0 received, 0 deleted, 0 conflicts"));
}

void TestCardDavSync::randomRoundsEndEqual_data()
{
    QTest::addColumn<DavServer::Kind>("kind");
    QTest::newRow("radicale") << DavServer::Kind::Radicale;
    QTest::newRow("xandikos") << DavServer::Kind::Xandikos;
}

// Rounds of edits, adds and deletes on both sides (the same contact now and then, deletions undone or restored
// later), every other sync cut off at a random answer and run again: after each round both sides hold the same
// contacts field for field, every edit is there or in a conflict note, and another sync has nothing to do.
void TestCardDavSync::randomRoundsEndEqual()
{
    QFETCH(DavServer::Kind, kind);
    QList<testsupport::Contact> people;
    for (int i = 0; i < 30; ++i)
        people << testsupport::Contact{{"Surname", QStringLiteral("Person%1").arg(i, 2, 10, QLatin1Char('0'))},
                                       {"Town", "Leeds"}};
    fresh(people, kind);
    QCOMPARE(sync().sent, 30);
    QRandomGenerator rng(20261211);
    const QStringList fields{"Town", "Tel", "Cell", "Email", "Workplace", "PostCode"};
    auto withConnection = [&](const std::function<void(sqlite3*)>& work) {
        data::Connection connection;
        connection.setDatabasePath(dbPath());
        connection.open();
        work(connection.handle());
    };
    struct Edit
    {
        QString contact; // here: the contact's ID; there: the card's href
        bool here;
        QString field, value;
    };
    for (int round = 0; round < 8; ++round) {
        QList<Edit> edits;
        const QStringList ids = sql(dbPath(), QStringLiteral("SELECT ID FROM HomeAd ORDER BY ID"));
        QHash<QString, QByteArray> cards = serverCards();
        QStringList hrefs = cards.keys();
        hrefs.sort();
        QSet<QString> touched; // "here/there contact", "here/there contact field"
        for (int n = 0; n < 10; ++n) {
            const bool here = n % 2 == 0;
            const QString contact = here ? ids[rng.bounded(ids.size())] : hrefs[rng.bounded(hrefs.size())];
            const QString field = fields[rng.bounded(fields.size())];
            const QString side = here ? QStringLiteral("here ") : QStringLiteral("there ");
            if (touched.contains(side + contact + field))
                continue;
            touched << side + contact << side + contact + field;
            QString value = QStringLiteral("%1%2x%3").arg(here ? 'h' : 't').arg(round).arg(n);
            if (field == QLatin1String("Email"))
                value += QStringLiteral("@example.org");
            if (here) {
                sql(dbPath(), QStringLiteral("UPDATE HomeAd SET \"%1\" = '%2' WHERE ID = %3").arg(field, value, contact));
            } else {
                SyncCard card = parseCard(cards[contact]);
                card.contact[exchange::fieldByName(field).value()] = value;
                cards[contact] = composeCard(card);
                QVERIFY(dav->request("PUT", book.resolved(QUrl(contact)), cards[contact]) / 100 == 2);
            }
            edits << Edit{contact, here, field, value};
        }
        sql(dbPath(), QStringLiteral("INSERT INTO HomeAd (Surname, Town) VALUES ('Here%1', 'Hull')").arg(round));
        QCOMPARE(dav->request("PUT", book.resolved(QUrl(QStringLiteral("there%1.vcf").arg(round))),
                              vcard(QStringLiteral("there%1").arg(round), QStringLiteral("There%1").arg(round), "Al")),
                 201);
        // A deletion on each side of a contact that side did not edit; here now and then undone at once, or an
        // earlier one restored.
        for (int tries = 0; tries < 10; ++tries) {
            const QString href = hrefs[rng.bounded(hrefs.size())];
            if (!touched.contains(QStringLiteral("there ") + href)) {
                QVERIFY(dav->request("DELETE", book.resolved(QUrl(href))) / 100 == 2);
                break;
            }
        }
        for (int tries = 0; tries < 10; ++tries) {
            const QString id = ids[rng.bounded(ids.size())];
            if (touched.contains(QStringLiteral("here ") + id))
                continue;
            withConnection([&](sqlite3* db) {
                QCOMPARE(sqlite3_exec(db, qPrintable(QStringLiteral("DELETE FROM HomeAd WHERE ID = ") + id), nullptr,
                                      nullptr, nullptr),
                         SQLITE_OK);
                const QList<data::deleted::Entry> deleted = data::deleted::list(db);
                if (round % 3 == 1)
                    data::deleted::restore(db, deleted.first().id); // Undo Delete
                else if (round % 3 == 2 && deleted.size() > 1)
                    data::deleted::restore(db, deleted.last().id); // restored after syncs
            });
            break;
        }

        if (round % 2 == 1) {
            const int stopAt = 1 + int(rng.bounded(6));
            int answered = 0;
            try {
                sync({.parallel = 1}, DavServer::password(), [&](CardDavClient&, qint64, const QString& what) {
                    if (what == QLatin1String("Sending changes") && ++answered == stopAt)
                        dav->stop();
                });
            } catch (const platform::AppError&) {
            }
            if (!dav->isRunning())
                QVERIFY2(dav->start(), qPrintable(dav->error()));
        }
        const SyncSummary s = sync();
        QVERIFY2(s.errors.isEmpty(), qPrintable(s.errors.join('\n')));

        QStringList here, there;
        withConnection([&](sqlite3* db) {
            for (const LocalContact& c : SyncStore(db).read().contacts)
                here << packFields(c.contact);
        });
        for (const QByteArray& card : serverCards())
            there << packFields(parseCard(card).contact);
        here.sort();
        there.sort();
        QCOMPARE(here, there);
        for (const Edit& e : edits) {
            const QString id = e.here ? e.contact
                                      : sql(dbPath(), QStringLiteral("SELECT ContactID FROM SyncCard WHERE Href = '%1'")
                                                          .arg(e.contact))
                                            .value(0);
            const QString now = sql(dbPath(), QStringLiteral("SELECT ifnull(\"%1\", '') || '|' || ifnull(Notes, '') "
                                                             "FROM HomeAd WHERE ID = '%2'")
                                                  .arg(e.field, id))
                                    .value(0);
            QVERIFY2(now.startsWith(e.value + QLatin1Char('|')) || now.contains(QStringLiteral(" = ") + e.value),
                     qPrintable(QStringLiteral("round %1, %2 %3 = %4: %5")
                                    .arg(round)
                                    .arg(e.contact, e.field, e.value, now)));
        }
        QCOMPARE(sync().line(), QStringLiteral("0 sent, 0 received, 0 deleted, 0 conflicts"));
    }
}

void TestCardDavSync::commandLine()
{
    fresh(testsupport::sampleContacts());
    const QString passwordFile = folder->filePath(QStringLiteral("pw"));
    QFile pw(passwordFile);
    QVERIFY(pw.open(QIODevice::WriteOnly));
    pw.write("secret\nnot this line\n");
    pw.close();
    auto run = [&](const QStringList& args, QString* out, QString* err) {
        QProcess p;
        p.start(QStringLiteral(TOVREL_BINARY), args + QStringList{"--folder", folder->path()});
        p.waitForFinished(120000);
        *out = QString::fromUtf8(p.readAllStandardOutput());
        *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    };
    QString out, err;
    // The user's folder is no address book: nothing is sent, nothing kept, and the books in it are named.
    const QUrl home = book.resolved(QUrl(".."));
    QCOMPARE(run({"--sync", home.toString(), "--user", "anna", "--password-file", passwordFile}, &out, &err), 1);
    QVERIFY2(err.contains(QLatin1String("is a folder on the server, not an address book")), qPrintable(err));
    QVERIFY2(err.contains(book.toString()), qPrintable(err));
    QVERIFY(out.isEmpty());
    QFile noAccount(folder->filePath(QStringLiteral("TovrelIni.ini")));
    QVERIFY(!noAccount.open(QIODevice::ReadOnly) || !noAccount.readAll().contains("SharedAddressBook"));
    QByteArray listing;
    server->request("PROPFIND", home, {}, &listing, {{"Depth", "1"}});
    for (const DavResource& r : parseMultiStatus(listing, home).resources) // no card stored as a folder of its own
        QVERIFY2(r.href == home.path() || r.addressBook, qPrintable(r.href));
    QCOMPARE(run({"--sync", book.toString(), "--user", "anna", "--password-file", passwordFile}, &out, &err), 0);
    QCOMPARE(out, QStringLiteral("6 sent, 0 received, 0 deleted, 0 conflicts\n"));
    // The account is kept, the password is not.
    const QByteArray ini = [&] {
        QFile f(folder->filePath(QStringLiteral("TovrelIni.ini")));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    QVERIFY(ini.contains("[SharedAddressBook]"));
    QVERIFY(ini.contains("User=anna"));
    QVERIFY(!ini.contains("secret"));
    QCOMPARE(run({"--sync", "--password-file", passwordFile}, &out, &err), 0);
    QCOMPARE(out, QStringLiteral("0 sent, 0 received, 0 deleted, 0 conflicts\n"));

    pw.open(QIODevice::WriteOnly);
    pw.write("wrong\n");
    pw.close();
    QCOMPARE(run({"--sync", "--password-file", passwordFile}, &out, &err), 1);
    QVERIFY2(err.contains(QLatin1String("user name or password")), qPrintable(err));
    QVERIFY(!err.contains(QLatin1String("wrong")));
    QCOMPARE(run({"--sync", "http://192.0.2.1/book/", "--user", "anna", "--password-file", passwordFile}, &out, &err),
             1);
    QVERIFY2(err.contains(QLatin1String("plain http://")), qPrintable(err));
}

// A second server implementation: the same first upload, change and no-op.
void TestCardDavSync::xandikos()
{
    if (QStandardPaths::findExecutable(QStringLiteral("xandikos")).isEmpty())
        QSKIP("xandikos is not installed");
    DavServer x(DavServer::Kind::Xandikos);
    QVERIFY2(x.start(), qPrintable(x.error()));
    folder = std::make_unique<QTemporaryDir>();
    testsupport::makeDatabase(dbPath(), testsupport::sampleContacts());
    book = x.makeAddressBook(QStringLiteral("family"));
    for (const bool sc : {true, false}) {
        const SyncOptions options{.useSyncCollection = sc};
        const SyncSummary first = sync(options);
        QVERIFY2(first.errors.isEmpty(), qPrintable(first.errors.join('\n')));
        QCOMPARE(first.sent, sc ? 6 : 0);
        QCOMPARE(sync(options).line(), QStringLiteral("0 sent, 0 received, 0 deleted, 0 conflicts"));
    }
    QCOMPARE(x.request("PUT", book.resolved(QUrl("zed.vcf")), vcard("zed", "Zeta", "Zed")), 201);
    QCOMPARE(sync().line(), QStringLiteral("0 sent, 1 received, 0 deleted, 0 conflicts"));
}

QTEST_GUILESS_MAIN(TestCardDavSync)
#include "tst_carddavsync.moc"

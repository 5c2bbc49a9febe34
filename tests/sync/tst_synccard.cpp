#include "sync/SyncCard.h"
#include "sync/SyncEngine.h"

#include <QtTest>

using exchange::Contact;
using exchange::Field;
using namespace sharing;

class TestSyncCard : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void keepsForeignProperties();
    void merge_data();
    void merge();
};

namespace {
Contact full()
{
    Contact c;
    c[Field::Surname] = QStringLiteral("Łukasz; Jr");
    c[Field::Midname] = QStringLiteral("M");
    c[Field::Firstname] = QStringLiteral("Anna, Maria");
    c[Field::Address1] = QStringLiteral("Flat 2, 10 High St");
    c[Field::Address2] = QStringLiteral("Back lane");
    c[Field::A3_Village] = QStringLiteral("Upton");
    c[Field::Town] = QStringLiteral("Leeds");
    c[Field::County] = QStringLiteral("West Yorkshire");
    c[Field::PostCode] = QStringLiteral("LS1 4AP");
    c[Field::Country] = QStringLiteral("UK");
    c[Field::Tel] = QStringLiteral("0113 496 0000");
    c[Field::Cell] = QStringLiteral("07700 900123");
    c[Field::Email] = QStringLiteral("anna@example.org");
    c[Field::Birthday] = QStringLiteral("1970-01-31");
    c[Field::Notes] = QStringLiteral("Line one\nline two \\ with a backslash");
    c[Field::Workplace] = QStringLiteral("Acme, Ltd");
    c[Field::WorkTel] = QStringLiteral("0113 496 0001");
    c[Field::Flag] = QStringLiteral("XMAS");
    c[Field::Flag2] = QStringLiteral("B");
    return c;
}
} // namespace

void TestSyncCard::roundTrip_data()
{
    QTest::addColumn<Contact>("contact");
    QTest::addColumn<bool>("version4");
    QTest::newRow("every field, 3.0") << full() << false;
    QTest::newRow("every field, 4.0") << full() << true;
    Contact secondLineOnly;
    secondLineOnly[Field::Surname] = QStringLiteral("Brown");
    secondLineOnly[Field::Address2] = QStringLiteral("Only the second line");
    secondLineOnly[Field::Flag2] = QStringLiteral("F2");
    QTest::newRow("second street line and second flag alone") << secondLineOnly << false;
    QTest::newRow("empty contact") << Contact() << false;
    Contact longNote;
    longNote[Field::Notes] = QString(300, QChar(0x00e9)) + QStringLiteral("\n\nend");
    QTest::newRow("long folded note") << longNote << false;
}

// A contact written as a card reads back as the same contact: the base of change detection.
void TestSyncCard::roundTrip()
{
    QFETCH(Contact, contact);
    QFETCH(bool, version4);
    SyncCard card;
    card.contact = contact;
    card.uid = "uid-1";
    card.version4 = version4;
    const SyncCard back = parseCard(composeCard(card));
    QCOMPARE(back.contact, contact);
    QCOMPARE(back.uid, QByteArray("uid-1"));
    QVERIFY2(back.foreign.isEmpty(), back.foreign.join('|').constData());
    QCOMPARE(back.version4, version4);
}

// What has no field here survives a change made here: photos, further numbers and addresses, groups, honorifics.
void TestSyncCard::keepsForeignProperties()
{
    const QByteArray phone = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:abc\r\nN:Smith;John;;Dr.;\r\nFN:Dr. John Smith\r\n"
                             "TEL;TYPE=CELL:111\r\nTEL;TYPE=CELL:222\r\nTEL;TYPE=FAX:333\r\n"
                             "ADR;TYPE=WORK:;;1 Work Rd;Work Town;;;\r\nADR;TYPE=HOME:;;2 Home St;Hometown;;;\r\n"
                             "EMAIL:a@x.org\r\nEMAIL;TYPE=PREF:b@x.org\r\nBDAY:--0131\r\n"
                             "item1.URL:https://example.org\r\nitem1.X-ABLabel:blog\r\n"
                             "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQAAAQABAAD\r\n"
                             " /2wBDAAgGBgcGBQgHBwcJCQgKDBQNDAsLDBkSEw8UHR\r\n"
                             "CATEGORIES:Family,Friends,Chess club\r\nREV:2024-01-01T00:00:00Z\r\nEND:VCARD\r\n";
    const SyncCard card = parseCard(phone);
    QCOMPARE(card.contact[Field::Surname], QStringLiteral("Smith"));
    QCOMPARE(card.contact[Field::Cell], QStringLiteral("111"));
    QCOMPARE(card.contact[Field::Address1], QStringLiteral("2 Home St"));
    QCOMPARE(card.contact[Field::Email], QStringLiteral("b@x.org"));
    QCOMPARE(card.contact[Field::Flag], QStringLiteral("Family"));
    // Longer than its field: fitted here, kept whole in Notes (and on the card, below).
    QCOMPARE(card.contact[Field::Flag2], QStringLiteral("Friend"));
    QCOMPARE(card.contact[Field::Notes], QStringLiteral("Flag2: Friends"));
    QVERIFY(card.contact[Field::Birthday].isEmpty());

    SyncCard changed = card;
    changed.contact[Field::Town] = QStringLiteral("Leeds");
    const QByteArray written = composeCard(changed);
    const SyncCard back = parseCard(written);
    QCOMPARE(back.contact, changed.contact);
    QCOMPARE(back.foreign, card.foreign);
    for (const QByteArray& kept :
         {QByteArray("TEL;TYPE=CELL:222"), QByteArray("TEL;TYPE=FAX:333"), QByteArray("ADR;TYPE=WORK:;;1 Work Rd"),
          QByteArray("EMAIL:a@x.org"), QByteArray("BDAY:--0131"), QByteArray("item1.URL:https://example.org"),
          QByteArray("item1.X-ABLabel:blog"), QByteArray("CATEGORIES:Family,Friends,Chess club"), QByteArray("N:Smith;John;;Dr.;"),
          QByteArray("UID:abc")})
        QVERIFY2(written.contains(kept), kept.constData());
    QVERIFY(QByteArray(written).replace("\r\n ", "").contains(
        "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDAAgGBgcGBQgHBwcJCQgKDBQNDAsLDBkSEw8UHR"));
    QVERIFY(written.contains("REV:") && !written.contains("REV:2024-01-01T00:00:00Z")); // stale once changed
}

void TestSyncCard::merge_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("local");
    QTest::addColumn<QString>("remote");
    QTest::addColumn<QString>("mergedTel");
    QTest::addColumn<QString>("mergedTown");
    QTest::addColumn<QString>("mergedNotes");
    QTest::addColumn<int>("clashes");
    // Values: Tel|Town|Notes
    QTest::newRow("different fields") << "1|York|" << "2|York|" << "1|Leeds|" << "2" << "Leeds" << "" << 0;
    QTest::newRow("same field, same value") << "1|York|" << "2|York|" << "2|York|" << "2" << "York" << "" << 0;
    QTest::newRow("same field, two values")
        << "1|York|n" << "2|York|n" << "3|York|n" << "2" << "York" << "n\nChanged elsewhere on 2026-03-04: Tel = 3" << 1;
    QTest::newRow("cleared there, changed here")
        << "1|York|" << "2|York|" << "|York|" << "2" << "York" << "Changed elsewhere on 2026-03-04: Tel = (cleared)" << 1;
    QTest::newRow("notes on both sides")
        << "1|York|a" << "1|York|b" << "1|York|c" << "1" << "York" << "b\nChanged elsewhere on 2026-03-04: Notes = c"
        << 1;
    // A first sync stopped half-way leaves no base: notes kept here with CR LF and sent back with LF are one value.
    QTest::newRow("no base, notes differ in line ends only")
        << "||" << "1|York|a\r\nb" << "1|York|a\nb" << "1" << "York" << "a\r\nb" << 0;
    QTest::newRow("line ends aside, changed there only")
        << "1|York|a\r\nb" << "1|York|a\r\nb" << "1|York|a\nb\nc" << "1" << "York" << "a\nb\nc" << 0;
}

void TestSyncCard::merge()
{
    QFETCH(QString, base);
    QFETCH(QString, local);
    QFETCH(QString, remote);
    auto make = [](const QString& tel_town_notes) {
        const QStringList v = tel_town_notes.split(QLatin1Char('|'));
        Contact c;
        c[Field::Surname] = QStringLiteral("Brown");
        c[Field::Tel] = v[0];
        c[Field::Town] = v[1];
        c[Field::Notes] = v[2];
        return c;
    };
    Contact merged;
    const int clashes = mergeContacts(make(base), make(local), make(remote), QDate(2026, 3, 4), merged);
    QTEST(clashes, "clashes");
    QTEST(merged[Field::Tel], "mergedTel");
    QTEST(merged[Field::Town], "mergedTown");
    QTEST(merged[Field::Notes], "mergedNotes");
    QCOMPARE(merged[Field::Surname], QStringLiteral("Brown"));
}

QTEST_GUILESS_MAIN(TestSyncCard)
#include "tst_synccard.moc"

#include "exchange/ReaderTestUtil.h"

#include "exchange/ImportPlan.h"
#include "exchange/VCardReader.h"
#include "platform/AppError.h"

#include <QBuffer>
#include <QStringEncoder>
#include <QTest>

using namespace exchange;

namespace {

using readertest::Read;

Read readBytes(const QByteArray& bytes) { return readertest::readBytes<VCardReader>(bytes); }
Read readFixture(const char* name) { return readertest::readFixture<VCardReader>(name); }

QByteArray card(const QByteArray& body, const char* version = "3.0")
{
    return "BEGIN:VCARD\r\nVERSION:" + QByteArray(version) + "\r\n" + body + "\r\nEND:VCARD\r\n";
}

} // namespace

class TestVCardReader : public QObject
{
    Q_OBJECT
private slots:
    void version21WithQuotedPrintableAndCharsets()
    {
        const Read r = readFixture("vcard21.vcf");
        QCOMPARE(r.contacts.size(), 2);
        const Contact& c = r.contacts[0].contact;
        QCOMPARE(c[Field::Surname], QStringLiteral("Müller"));
        QCOMPARE(c[Field::Firstname], QStringLiteral("Jürgen"));
        QCOMPARE(c[Field::Tel], QStringLiteral("+49 30 1234567"));
        QCOMPARE(c[Field::Cell], QStringLiteral("+49 171 7654321"));
        QCOMPARE(c[Field::WorkTel], QString());                        // that one is a fax: in Notes
        QCOMPARE(c[Field::Address1], QStringLiteral("Hauptstraße 5")); // ISO-8859-1 byte 0xDF
        QCOMPARE(c[Field::Address2], QStringLiteral("Hinterhaus"));
        QCOMPARE(c[Field::Town], QStringLiteral("Berlin"));
        QCOMPARE(c[Field::PostCode], QStringLiteral("10115"));
        QCOMPARE(c[Field::Country], QStringLiteral("Deutschland")); // soft line break joined
        QCOMPARE(c[Field::Email], QStringLiteral("juergen@example.de"));
        QCOMPARE(c[Field::Notes], QStringLiteral("Erste Zeile\nZweite Zeile mit = Zeichen und einer langen Fortsetzung\n"
                                                 "Name prefix: Dr.\nWork fax: +49 30 999"));
        QCOMPARE(c[Field::Birthday], QStringLiteral("1965-07-14"));
        QCOMPARE(r.contacts[1].contact[Field::Surname], QStringLiteral("Smith"));
        QCOMPARE(r.contacts[1].contact[Field::Tel], QStringLiteral("01234 567890"));
        QCOMPARE(r.contacts[1].line, 19);

        QCOMPARE(r.contacts[0].movedToNotes, 2);
        QCOMPARE(r.contacts[0].notStored, 1); // the photo, with its bare base64 lines
        QCOMPARE(r.log.skipped(), (QMap<QString, qint64>{{QStringLiteral("PHOTO (binary, not stored)"), 1},
                                                         {QStringLiteral("X-IRMC-LUID"), 1}}));
        QCOMPARE(r.log.warningCount(), 0);
    }

    void version30GroupedAndFolded()
    {
        const Read r = readFixture("vcard30.vcf");
        QCOMPARE(r.contacts.size(), 1);
        const Contact& c = r.contacts[0].contact;
        QCOMPARE(c[Field::Surname], QStringLiteral("Appleseed"));
        QCOMPARE(c[Field::Firstname], QStringLiteral("Johnny"));
        QCOMPARE(c[Field::Midname], QStringLiteral("Q."));
        QCOMPARE(c[Field::Workplace], QStringLiteral("Orchard Co."));
        QCOMPARE(c[Field::Email], QStringLiteral("johnny@example.com"));
        QCOMPARE(c[Field::Cell], QStringLiteral("+1 555 0100"));
        QCOMPARE(c[Field::WorkTel], QStringLiteral("+1 555 0199"));
        QCOMPARE(c[Field::Tel], QStringLiteral("+1 555 0111"));
        // The home address wins over the work address written before it.
        QCOMPARE(c[Field::Address1], QStringLiteral("1 Orchard Loop"));
        QCOMPARE(c[Field::Address2], QStringLiteral("Building 2"));
        QCOMPARE(c[Field::Country], QStringLiteral("USA"));
        QCOMPARE(c[Field::Birthday], QStringLiteral("1980-04-01"));
        QCOMPARE(c[Field::Notes],
                 QStringLiteral("Met at the fair, 2019.\nLikes apples and this note is long enough to be folded onto a "
                                "second line\nDepartment: Sales\nWork address: 2 Work St, Cupertino, CA, 95014, USA\n"
                                "Categories: Friends, Orchard"));
        QCOMPARE(c[Field::Flag], QStringLiteral("Family"));
        QCOMPARE(c[Field::Flag2], QString()); // the others are longer than it allows
        QCOMPARE(r.log.skipped(), (QMap<QString, qint64>{{QStringLiteral("X-ABADR"), 1}}));
        QVERIFY(!r.log.skipped().contains(QStringLiteral("PRODID")));
        QVERIFY(!r.log.skipped().contains(QStringLiteral("FN")));
    }

    void version40NoYearBirthdayAndNamesFromFn()
    {
        const Read r = readFixture("vcard40.vcf");
        QCOMPARE(r.contacts.size(), 3);
        const Contact& ann = r.contacts[0].contact;
        QCOMPARE(ann[Field::Tel], QStringLiteral("+44-20-7946-0000"));
        QCOMPARE(ann[Field::Cell], QStringLiteral("+44-7700-900000"));
        QCOMPARE(ann[Field::Email], QStringLiteral("ann@example.com")); // the preferred one
        QCOMPARE(ann[Field::A3_Village], QStringLiteral("Little Snoring"));
        QCOMPARE(ann[Field::Address1], QStringLiteral("1 Rose Lane"));
        QCOMPARE(ann[Field::County], QStringLiteral("Norfolk"));
        QCOMPARE(ann[Field::Birthday], QString());
        QCOMPARE(ann[Field::Notes], QStringLiteral("Work e-mail: ann.work@example.com\nBirthday: 15/04"));
        QVERIFY2(r.hasNotice(1, 1, QStringLiteral("\"--0415\" has no year; kept in Notes as \"Birthday: 15/04\"")),
                 qPrintable(r.allNotices()));

        const Contact& acme = r.contacts[1].contact;
        QCOMPARE(acme[Field::Surname], QStringLiteral("Acme Widgets Ltd"));
        QCOMPARE(acme[Field::Workplace], QStringLiteral("Acme Widgets Ltd"));

        const Contact& bob = r.contacts[2].contact;
        QCOMPARE(bob[Field::Surname], QStringLiteral("Stone"));
        QCOMPARE(bob[Field::Firstname], QStringLiteral("Bob"));
        QCOMPARE(bob[Field::Birthday], QString());
        QCOMPARE(bob[Field::Notes], QStringLiteral("Birthday: circa 1800"));
        QVERIFY2(r.hasNotice(3, 19, QStringLiteral("\"circa 1800\" is not a valid date")), qPrintable(r.allNotices()));
        QCOMPARE(r.log.skipped().value(QStringLiteral("KIND")), 2);
        QVERIFY(!r.log.skipped().contains(QStringLiteral("EMAIL (more than one)")));
    }

    void brokenCardsAreReadAsFarAsTheyGo()
    {
        const Read r = readFixture("broken.vcf");
        QCOMPARE(r.contacts.size(), 3);
        QCOMPARE(r.contacts[0].contact[Field::Surname], QStringLiteral("First"));
        QCOMPARE(r.contacts[1].contact[Field::Surname], QStringLiteral("Second"));
        QCOMPARE(r.contacts[2].contact[Field::Surname], QStringLiteral("Third"));
        QCOMPARE(r.contacts[2].contact[Field::Tel], QStringLiteral("123"));
        const QString all = r.allNotices();
        QVERIFY2(r.hasNotice(1, 1, QStringLiteral("no END:VCARD before the next BEGIN:VCARD on line 5")),
                 qPrintable(all));
        QVERIFY2(r.hasNotice(1, 4, QStringLiteral("not a vCard property")), qPrintable(all));
        QVERIFY2(r.hasNotice(0, 9, QStringLiteral("END:VCARD without BEGIN:VCARD")), qPrintable(all));
        QVERIFY2(r.hasNotice(3, 10, QStringLiteral("the file ends before END:VCARD")), qPrintable(all));
        QCOMPARE(r.log.warningCount(), 4);
    }

    void typeParameterForms_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("version");
        QTest::addColumn<int>("field"); // -1: in Notes
        QTest::newRow("4.0 lower case") << QByteArray("TEL;TYPE=cell:123") << QByteArray("4.0") << index(Field::Cell);
        QTest::newRow("3.0 upper case") << QByteArray("TEL;type=CELL:123") << QByteArray("3.0") << index(Field::Cell);
        QTest::newRow("2.1 bare") << QByteArray("TEL;CELL:123") << QByteArray("2.1") << index(Field::Cell);
        QTest::newRow("2.1 TYPE=") << QByteArray("TEL;TYPE=WORK:123") << QByteArray("2.1") << index(Field::WorkTel);
        QTest::newRow("comma list") << QByteArray("TEL;TYPE=work,voice:123") << QByteArray("3.0")
                                    << index(Field::WorkTel);
        QTest::newRow("repeated") << QByteArray("TEL;TYPE=work;TYPE=voice:123") << QByteArray("3.0")
                                  << index(Field::WorkTel);
        QTest::newRow("quoted list") << QByteArray("TEL;TYPE=\"voice,work\":123") << QByteArray("4.0")
                                     << index(Field::WorkTel);
        QTest::newRow("home") << QByteArray("TEL;TYPE=HOME:123") << QByteArray("3.0") << index(Field::Tel);
        QTest::newRow("no type") << QByteArray("TEL:123") << QByteArray("3.0") << index(Field::Tel);
        QTest::newRow("grouped, pref") << QByteArray("item1.TEL;type=pref;type=CELL:123") << QByteArray("3.0")
                                       << index(Field::Cell);
        QTest::newRow("other parameter") << QByteArray("TEL;X-SERVICE=1;TYPE=iphone:123") << QByteArray("3.0")
                                         << index(Field::Cell);
        QTest::newRow("uri value") << QByteArray("TEL;VALUE=uri;TYPE=cell:tel:123") << QByteArray("4.0")
                                   << index(Field::Cell);
        QTest::newRow("lower-case name") << QByteArray("tel;type=work:123") << QByteArray("3.0")
                                         << index(Field::WorkTel);
        QTest::newRow("fax") << QByteArray("TEL;TYPE=fax,home:123") << QByteArray("3.0") << -1;
        QTest::newRow("2.1 bare fax") << QByteArray("TEL;WORK;FAX:123") << QByteArray("2.1") << -1;
    }
    void typeParameterForms()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, version);
        QFETCH(int, field);
        const Read r = readBytes(card("N:X;;;;\r\n" + line, version.constData()));
        QCOMPARE(r.contacts.size(), 1);
        const Contact& c = r.contacts[0].contact;
        for (Field f : {Field::Tel, Field::Cell, Field::WorkTel})
            QCOMPARE(c[f], index(f) == field ? QStringLiteral("123") : QString());
        QVERIFY2(field >= 0 ? c[Field::Notes].isEmpty() : c[Field::Notes].endsWith(QLatin1String(" fax: 123")),
                 qPrintable(c[Field::Notes]));
        QCOMPARE(r.log.skippedCount(), 0);
    }

    void escapesByVersion_data()
    {
        QTest::addColumn<QByteArray>("version");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("note");
        QTest::newRow("3.0") << QByteArray("3.0") << QByteArray("a\\,b\\;c\\\\d\\ne\\Nf")
                             << QStringLiteral("a,b;c\\d\ne\nf");
        QTest::newRow("4.0 unknown escape kept")
            << QByteArray("4.0") << QByteArray("C:\\temp") << QStringLiteral("C:\\temp");
        QTest::newRow("2.1 only \\;") << QByteArray("2.1") << QByteArray("a\\;b, c\\n") << QStringLiteral("a;b, c\\n");
    }
    void escapesByVersion()
    {
        QFETCH(QByteArray, version);
        QFETCH(QByteArray, value);
        QFETCH(QString, note);
        const Read r = readBytes(card("N:X;;;;\r\nNOTE:" + value, version.constData()));
        QCOMPARE(r.contacts.value(0).contact[Field::Notes], note);
    }

    void structuredValuesKeepEscapedSeparators()
    {
        const Read r = readBytes(card("N:Smith\\, Jr.;Ann,Marie;;;\r\n"
                                      "ADR:;;1 High St,Flat 2\\, rear;Ely;;;\r\n"
                                      "CATEGORIES:a\\,b,c"));
        const Contact& c = r.contacts.value(0).contact;
        QCOMPARE(c[Field::Surname], QStringLiteral("Smith, Jr."));
        QCOMPARE(c[Field::Firstname], QStringLiteral("Ann Marie"));
        QCOMPARE(c[Field::Address1], QStringLiteral("1 High St"));
        QCOMPARE(c[Field::Address2], QStringLiteral("Flat 2, rear"));
        QCOMPARE(c[Field::Flag], QStringLiteral("a,b"));
        QCOMPARE(c[Field::Flag2], QStringLiteral("c"));
    }

    void encodings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("encoding");
        const QString text =
            QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Müller;Zoë;;;\r\nNOTE:€ 5 😀\r\nEND:VCARD\r\n");
        QStringEncoder le(QStringConverter::Utf16LE), be(QStringConverter::Utf16BE);
        QTest::newRow("UTF-8") << text.toUtf8() << QStringLiteral("UTF-8");
        QTest::newRow("UTF-8 BOM") << QByteArray("\xEF\xBB\xBF" + text.toUtf8())
                                   << QStringLiteral("UTF-8 with byte-order mark");
        QTest::newRow("UTF-16LE BOM") << QByteArray("\xFF\xFE" + QByteArray(le.encode(text)))
                                      << QStringLiteral("UTF-16");
        QTest::newRow("UTF-16BE BOM") << QByteArray("\xFE\xFF" + QByteArray(be.encode(text)))
                                      << QStringLiteral("UTF-16");
    }
    void encodings()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, encoding);
        const Read r = readBytes(bytes);
        QCOMPARE(r.contacts.size(), 1);
        QCOMPARE(r.contacts[0].contact[Field::Surname], QStringLiteral("Müller"));
        QCOMPARE(r.contacts[0].contact[Field::Firstname], QStringLiteral("Zoë"));
        QCOMPARE(r.contacts[0].contact[Field::Notes], QStringLiteral("€ 5 😀"));
        QCOMPARE(r.description, QStringLiteral("vCard, ") + encoding);
    }

    void windows1252File()
    {
        const Read r = readBytes(card("N:M\xFCller;J\x80rg;;;\r\nNOTE:\x93quoted\x94"));
        QCOMPARE(r.contacts.value(0).contact[Field::Surname], QStringLiteral("Müller"));
        QCOMPARE(r.contacts.value(0).contact[Field::Firstname], QStringLiteral("J€rg"));
        QCOMPARE(r.contacts.value(0).contact[Field::Notes], QStringLiteral("“quoted”"));
        QCOMPARE(r.description, QStringLiteral("vCard, Windows-1252"));
        QCOMPARE(r.log.warningCount(), 1); // said once for the file, not for each value
    }

    // The encoding is judged from the whole file, after unfolding: a stray byte is replaced where it is (and that place
    // named), not taken as a sign that the whole file is Windows-1252; only text with no UTF-8 at all is read so.
    void decodingFromTheWholeFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("surnames");
        QTest::addColumn<QString>("firstname"); // of the last contact
        QTest::addColumn<QString>("notice");    // a warning that must be there; empty: no warning at all
        QTest::addColumn<qint64>("record");
        QTest::addColumn<qint64>("line");

        QTest::newRow("stray byte in card 2 of 3")
            << card("N:Bront\xC3\xAB;Zo\xC3\xAB;;;") + card("N:Smith;Jo\xFF;;;") + card("N:M\xC3\xBCller;Hans;;;")
            << QStringList{"Brontë", "Smith", "Müller"} << QStringLiteral("Hans")
            << QStringLiteral("N: 1 byte that is not UTF-8, replaced by \uFFFD") << qint64(2) << qint64(7);

        // A stray byte at the start, with the first UTF-8 character only past the first block read.
        QByteArray late = card("N:Smith;Jo\xFF;;;");
        while (late.size() < 300 * 1024)
            late += card("N:Able;Ann;;;");
        late += card("N:Bront\xC3\xAB;Zo\xC3\xAB;;;") + card("N:M\xC3\xBCller;Hans\xC3\xAB;;;");
        QTest::newRow("stray byte before the first UTF-8 block")
            << late << QStringList() << QStringLiteral("Hansë") << QStringLiteral("N: 1 byte that is not UTF-8")
            << qint64(1) << qint64(3);

        QTest::newRow("character split by a fold")
            << card("N:Bront\xC3\r\n \xAB;Zo\xC3\xAB;;;") << QStringList{"Brontë"} << QStringLiteral("Zoë") << QString()
            << qint64(0) << qint64(0);

        QTest::newRow("no UTF-8 at all: Windows-1252, said")
            << card("N:M\xFCller;J\x80rg;;;") << QStringList{"Müller"} << QStringLiteral("J€rg")
            << QStringLiteral("the file is not UTF-8; it was read as Windows-1252") << qint64(0) << qint64(3);

        QTest::newRow("quoted-printable, not UTF-8, in an ASCII file")
            << card("N;ENCODING=QUOTED-PRINTABLE:Gr=FC=DFe;Ann;;;", "2.1") << QStringList{"Grüße"}
            << QStringLiteral("Ann") << QStringLiteral("N: text that is not UTF-8 was read as Windows-1252")
            << qint64(1) << qint64(3);

        // Without a byte-order mark, and a name in another script right at the start.
        const QString text = QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Łoś;Żaneta;;;\r\nEND:VCARD\r\n"
                                            "BEGIN:VCARD\r\nVERSION:3.0\r\nN:山田;太郎;;;\r\nEND:VCARD\r\n");
        QStringEncoder le(QStringConverter::Utf16LE), be(QStringConverter::Utf16BE);
        QTest::newRow("UTF-16LE, no byte-order mark") << QByteArray(le.encode(text)) << QStringList{"Łoś", "山田"}
                                                      << QStringLiteral("太郎") << QString() << qint64(0) << qint64(0);
        QTest::newRow("UTF-16BE, no byte-order mark") << QByteArray(be.encode(text)) << QStringList{"Łoś", "山田"}
                                                      << QStringLiteral("太郎") << QString() << qint64(0) << qint64(0);
    }
    void decodingFromTheWholeFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, surnames);
        QFETCH(QString, firstname);
        QFETCH(QString, notice);
        QFETCH(qint64, record);
        QFETCH(qint64, line);
        const Read r = readBytes(bytes);
        QVERIFY(!r.contacts.isEmpty());
        for (qsizetype i = 0; i < surnames.size(); ++i)
            QCOMPARE(r.contacts.value(i).contact[Field::Surname], surnames[i]);
        QCOMPARE(r.contacts.last().contact[Field::Firstname], firstname);
        if (notice.isEmpty())
            QVERIFY2(r.log.warningCount() == 0, qPrintable(r.allNotices()));
        else
            QVERIFY2(r.hasNotice(record, line, notice), qPrintable(r.allNotices()));
    }

    void replacedBytesKeepTheRestOfTheValue()
    {
        const Read r = readBytes(card("N:Bront\xC3\xAB;Zo\xC3\xAB;;;") + card("N:M\xFCller;;;;"));
        QCOMPARE(r.contacts.value(1).contact[Field::Surname], QStringLiteral("M\uFFFDller"));
        QCOMPARE(r.description, QStringLiteral("vCard, UTF-8"));
    }

    // Faults of real exports: each value lands where a reader of the card would put it, nothing dropped.
    void cardsFromPhones_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("expected"); // "Field=value"; fields not named are empty

        QTest::newRow("LABEL is the only address")
            << card("N:A;;;;\r\nLABEL;TYPE=HOME:Flat 3\\n17 Kings Road\\nLeeds")
            << QStringList{"Surname=A", "Address1=Flat 3", "Address2=17 Kings Road, Leeds"};
        QTest::newRow("2.1 quoted-printable LABEL is the only address")
            << card("N:A;;;;\r\nLABEL;HOME;ENCODING=QUOTED-PRINTABLE:1 Rue de l'=C3=89glise=0D=0AParis", "2.1")
            << QStringList{"Surname=A", "Address1=1 Rue de l'Église", "Address2=Paris"};
        QTest::newRow("LABEL of another kind than the ADR")
            << card("N:A;;;;\r\nADR;TYPE=HOME:;;1 High St;York;;;\r\nLABEL;TYPE=HOME:1 High St\\nYork\r\n"
                    "LABEL;TYPE=WORK:2 Low St\\nLeeds")
            << QStringList{"Surname=A", "Address1=1 High St", "Town=York", "Notes=Work address: 2 Low St, Leeds"};
        QTest::newRow("quoted-printable goes on without a soft break")
            << card("N:A;;;;\r\nNOTE;ENCODING=QUOTED-PRINTABLE:first line\r\nsecond=20line\r\nTEL;HOME:123", "2.1")
            << QStringList{"Surname=A", "Notes=first line\nsecond line", "Tel=123"};
        QTest::newRow("tel URI with an extension")
            << card("N:A;;;;\r\nTEL;VALUE=uri:tel:+44-555-555-5555;ext=5555", "4.0")
            << QStringList{"Surname=A", "Tel=+44-555-555-5555", "Notes=Tel extension: 5555"};
        QTest::newRow("phone labelled Other")
            << card("N:A;;;;\r\nitem3.TEL:01234 567\r\nitem3.X-ABLabel:_$!<Other>!$_\r\nTEL;TYPE=CELL:07700")
            << QStringList{"Surname=A", "Cell=07700", "Notes=Other phone: 01234 567"};
        QTest::newRow("PO box after the street")
            << card("N:A;;;;\r\nADR;TYPE=HOME:PO Box 12;;1 High St;York;;YO1 1AA;")
            << QStringList{"Surname=A", "Address1=1 High St", "Address2=PO Box 12", "Town=York", "PostCode=YO1 1AA"};
        QTest::newRow("PO box alone") << card("N:A;;;;\r\nADR:PO Box 12;;;York;;;")
                                      << QStringList{"Surname=A", "Address1=PO Box 12", "Town=York"};
        QTest::newRow("2.1 street lines written as \\n")
            << card("N:A;;;;\r\nADR;HOME:;;Flat 3\\n17 Kings Road;Leeds;;LS6 3AA;", "2.1")
            << QStringList{"Surname=A", "Address1=Flat 3", "Address2=17 Kings Road", "Town=Leeds", "PostCode=LS6 3AA"};
        QTest::newRow("a cell that is also video")
            << card("N:A;;;;\r\nTEL;TYPE=work,cell,voice,video:07700 900")
            << QStringList{"Surname=A", "Cell=07700 900"};
        // Phones' and desktop address books' own properties: labelled lines, dates as dates.
        QTest::newRow("Android's custom data")
            << card("N:A;;;;\r\nX-ANDROID-CUSTOM:vnd.android.cursor.item/nickname;Bobby;1;;;;;;;;;;;;;\r\n"
                    "X-ANDROID-CUSTOM:vnd.android.cursor.item/contact_event;2001-06-09;1;;;;;;;;;;;;;\r\n"
                    "X-ANDROID-CUSTOM:vnd.android.cursor.item/contact_event;2010-03-01;0;Graduation;;;;;;;;;;;;\r\n"
                    "X-ANDROID-CUSTOM:vnd.android.cursor.item/relation;Carol;14;;;;;;;;;;;;;",
                    "2.1")
            << QStringList{"Surname=A",
                           "Notes=Nickname: Bobby\nAnniversary: 2001-06-09\nGraduation: 2010-03-01\nSpouse: Carol"};
        QTest::newRow("a desktop address book's fields")
            << card("N:A;;;;\r\nX-KADDRESSBOOK-X-Anniversary:2001-06-09\r\nX-KADDRESSBOOK-X-Department:Sales\r\n"
                    "X-KADDRESSBOOK-X-AssistantsName:Dan\r\nX-KADDRESSBOOK-X-ManagersName:Eve\r\n"
                    "X-KADDRESSBOOK-X-IMAddress:ann@jabber.example")
            << QStringList{"Surname=A", "Notes=Anniversary: 2001-06-09\nDepartment: Sales\nAssistant: Dan\n"
                                        "Manager: Eve\nIM: ann@jabber.example"};
        QTest::newRow("messaging and social handles")
            << card("N:A;;;;\r\nX-GOOGLE TALK:ann@talk.example\r\nX-SAMETIME:ann\r\nX-MS-IMADDRESS:ann@msn.example\r\n"
                    "IMPP:xmpp:ann@jabber.example\r\nX-SOCIALPROFILE;TYPE=twitter:https://twitter.com/ann")
            << QStringList{"Surname=A", "Notes=IM (Google Talk): ann@talk.example\nIM (Sametime): ann\n"
                                        "IM: ann@msn.example\nIM (xmpp): ann@jabber.example\n"
                                        "Social profile (twitter): https://twitter.com/ann"};
    }
    void cardsFromPhones()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, expected);
        const Read r = readBytes(bytes);
        QCOMPARE(r.contacts.size(), 1);
        Contact want;
        for (const QString& e : expected) {
            const qsizetype eq = e.indexOf(QLatin1Char('='));
            want[*fieldByName(e.left(eq))] = e.mid(eq + 1);
        }
        for (const FieldInfo& f : Fields)
            QCOMPARE(r.contacts[0].contact[f.field], want[f.field]);
    }

    // A card that names a character set its text is not in: each such value is read as Windows-1252, said once.
    void aWrongCharsetFallsBackToWindows1252()
    {
        const Read r = readBytes(card("N;CHARSET=UTF-8:M\xFCller;J\xF6rg;;;\r\nNOTE;CHARSET=UTF-8:caf\xE9\r\n"
                                      "ORG;CHARSET=UTF-8:Caf\xC3\xA9 Ol\xC3\xA9",
                                      "2.1"));
        const Contact& c = r.contacts.value(0).contact;
        QCOMPARE(c[Field::Surname], QStringLiteral("Müller"));
        QCOMPARE(c[Field::Firstname], QStringLiteral("Jörg"));
        QCOMPARE(c[Field::Notes], QStringLiteral("café"));
        QCOMPARE(c[Field::Workplace], QStringLiteral("Café Olé")); // the values that are UTF-8 stay so
        QCOMPARE(r.log.noticeCount(), 1);
        QVERIFY2(r.hasNotice(1, 3, QStringLiteral("N: the text is not in the character set \"UTF-8\" the card names; "
                                                  "it was read as Windows-1252")),
                 qPrintable(r.allNotices()));
    }

    // Lines and characters cut by the reader's block boundaries come out whole.
    void blockBoundaries_data()
    {
        QTest::addColumn<bool>("utf16");
        QTest::newRow("UTF-8") << false;
        QTest::newRow("UTF-16") << true;
    }
    void blockBoundaries()
    {
        QFETCH(bool, utf16);
        QString text;
        const int count = 6000;
        for (int i = 0; i < count; ++i) {
            text += QStringLiteral("BEGIN:VCARD\r\nVERSION:4.0\r\nN:Ñame%1;€😀;;;\r\nNOTE:%2\r\nEND:VCARD\r\n")
                        .arg(i)
                        .arg(QString(i % 97, QChar(0x00E9)));
        }
        QStringEncoder le(QStringConverter::Utf16LE);
        const QByteArray bytes = utf16 ? QByteArray("\xFF\xFE" + QByteArray(le.encode(text))) : text.toUtf8();
        QVERIFY(bytes.size() > 3 * 256 * 1024);
        const Read r = readBytes(bytes);
        QCOMPARE(r.contacts.size(), count);
        for (int i = 0; i < count; ++i) {
            const Contact& c = r.contacts[i].contact;
            if (c[Field::Surname] != QStringLiteral("Ñame%1").arg(i) || c[Field::Firstname] != QStringLiteral("€😀") ||
                c[Field::Notes] != QString(i % 97, QChar(0x00E9)))
                QFAIL(qPrintable(QStringLiteral("contact %1 damaged").arg(i)));
        }
        QCOMPARE(r.log.noticeCount(), 0);
    }

    void formattedNameFillsAnEmptyName_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("surname");
        QTest::addColumn<QString>("firstname");
        QTest::newRow("no N") << QByteArray("FN:Mary Ann Jones") << QStringLiteral("Jones") << QStringLiteral("Mary Ann");
        QTest::newRow("empty N") << QByteArray("N:;;;;\r\nFN:Mary Jones") << QStringLiteral("Jones")
                                 << QStringLiteral("Mary");
        QTest::newRow("N wins") << QByteArray("FN:Dr Mary Jones\r\nN:Jones;Mary;;Dr;") << QStringLiteral("Jones")
                                << QStringLiteral("Mary");
        // What our own export writes for a contact without a name: it is named as any nameless card.
        QTest::newRow("empty N, FN is ORG") << QByteArray("FN:Acme Ltd\r\nN:;;;;\r\nORG:Acme Ltd")
                                            << QStringLiteral("Acme Ltd") << QString();
        QTest::newRow("empty N, FN is EMAIL") << QByteArray("FN:a@b.org\r\nN:;;;;\r\nEMAIL:a@b.org")
                                              << QStringLiteral("a@b.org") << QString();
    }
    void formattedNameFillsAnEmptyName()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, surname);
        QFETCH(QString, firstname);
        const Read r = readBytes(card(body, "4.0"));
        QCOMPARE(r.contacts.value(0).contact[Field::Surname], surname);
        QCOMPARE(r.contacts.value(0).contact[Field::Firstname], firstname);
    }

    void aCardWithoutDataIsSkippedWithANotice()
    {
        const Read r = readBytes(card("PRODID:x") + card("N:Real;;;;"));
        QCOMPARE(r.contacts.size(), 1);
        QCOMPARE(r.contacts[0].record, 2);
        QVERIFY(r.hasNotice(1, 1, QStringLiteral("holds no contact data")));
    }

    // A group is no person: it is left out and said so, and the people beside it are read.
    void aGroupIsLeftOutWithANotice_data()
    {
        QTest::addColumn<QByteArray>("group");
        QTest::newRow("vCard 4") << card("KIND:group\r\nFN:Chess club\r\nMEMBER:urn:uuid:1", "4.0");
        QTest::newRow("vCard 3, address book's own property")
            << card("X-ADDRESSBOOKSERVER-KIND:Group\r\nN:Chess club;;;;\r\nFN:Chess club");
    }
    void aGroupIsLeftOutWithANotice()
    {
        QFETCH(QByteArray, group);
        const Read r = readBytes(group + card("N:Real;;;;"));
        QCOMPARE(r.contacts.size(), 1);
        QCOMPARE(r.contacts[0].contact[Field::Surname], QStringLiteral("Real"));
        QVERIFY2(r.hasNotice(1, 1, QStringLiteral("\"Chess club\" is a group")), qPrintable(r.allNotices()));
    }

    void anOverlongLineIsRefused()
    {
        QByteArray bytes = "BEGIN:VCARD\r\nVERSION:3.0\r\nNOTE:";
        bytes += QByteArray(LineReader::MaxLineBytes + 10, 'x');
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        VCardReader reader(buffer, ReadOptions{2024});
        ReadContact rc;
        QVERIFY_THROWS_EXCEPTION(platform::AppError, (void)reader.next(rc));
    }
};

QTEST_GUILESS_MAIN(TestVCardReader)
#include "tst_vcardreader.moc"

// Files in the shapes that phones and address books export: every card comes over, and every e-mail address and
// phone number lands in a field or in Notes.
#include "exchange/ImportPlan.h"

#include <QTest>

using namespace exchange;

namespace {

QString fixture(const QString& name)
{
    return QStringLiteral(TOVREL_TEST_DATA "/exchange/") + name;
}

struct Imported
{
    ImportPlan plan;
    ImportResult result;
    QList<Contact> contacts;
};

Imported import(const QString& name, OverLongChoice choice = OverLongChoice::Keep)
{
    Importer importer(fixture(name), {}, ReadOptions{2024});
    Imported out;
    out.plan = importer.plan().value();
    out.result = importer.run(choice, [&](const Contact& c) { out.contacts << c; });
    return out;
}

QString digits(const QString& number)
{
    QString out;
    for (QChar c : number)
        if (c.isDigit() || c == QLatin1Char('+'))
            out += c;
    return out;
}

// Whether some contact holds the value whole: in a field, as a line of Notes, or as a phone number written
// without its spaces and dashes.
bool holds(const QList<Contact>& contacts, const QString& value)
{
    for (const Contact& c : contacts) {
        for (const FieldInfo& f : Fields) {
            if (c[f.field] == value)
                return true;
            if ((f.field == Field::Tel || f.field == Field::Cell || f.field == Field::WorkTel) && !c[f.field].isEmpty() &&
                digits(c[f.field]) == digits(value))
                return true;
        }
        for (const QString& line : c[Field::Notes].split(QLatin1Char('\n')))
            if (line.endsWith(QStringLiteral(": ") + value))
                return true;
    }
    return false;
}

QString notes(const Imported& i, int contact)
{
    return i.contacts.value(contact)[Field::Notes];
}

} // namespace

class TestRealExports : public QObject
{
    Q_OBJECT
private slots:
    void everyCardAndEveryAddressComesOver_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("cards");
        QTest::addColumn<QStringList>("emails");
        QTest::addColumn<QStringList>("phones");
        QTest::newRow("Android 2.1") << "android21.vcf" << 6
                                     << QStringList{"asa@example.se", "asa.aberg@work.example.se",
                                                    "newsletter@shop.example.com"}
                                     << QStringList{"+46 70 123 45 67", "08-123 456", "+46 70 765 43 21",
                                                    "+1-418-656-9254;ext=102", "+1 418 656 0000", "0711 234567",
                                                    "031-55 66 77", "+49 (0) 2351 12 34 56"};
        QTest::newRow("Gmail 3.0") << "gmail30.vcf" << 1
                                   << QStringList{"priya@example.in", "p.natarajan@corp.example.com",
                                                  "priya.n@alumni.example.edu"}
                                   << QStringList{"+91 98450 12345", "+91 80 4110 2000", "+91 80 2553 1234",
                                                  "+91 80 2553 9999", "+91 80 4110 2001"};
        QTest::newRow("Outlook 2.1") << "outlook21.vcf" << 1
                                     << QStringList{"margaret@hughes-partners.example.co.uk",
                                                    "mhughes@home.example.net"}
                                     << QStringList{"(0161) 496 0123", "(0161) 496 0456", "07700 900123",
                                                    "(0161) 496 0999"};
        QTest::newRow("vCard 4.0") << "vcard40dates.vcf" << 2
                                   << QStringList{"h.okafor@hospital.example.ng", "hannah@example.ng",
                                                  "info@library.example.ng"}
                                   << QStringList{"+234-1-234-5678", "+234-1-876-5432", "+234-803-555-0101"};
        QTest::newRow("Google CSV") << "googlecontacts.csv" << 3
                                    << QStringList{"carlos@example.pt", "cm@example.pt", "carlos.mendes@firm.example.pt",
                                                   "info@bakery.example.com"}
                                    << QStringList{"+351 912 345 678", "+351 21 000 1234", "+351 21 000 1299",
                                                   "+44 7700 900777"};
    }
    void everyCardAndEveryAddressComesOver()
    {
        QFETCH(QString, file);
        QFETCH(int, cards);
        QFETCH(QStringList, emails);
        QFETCH(QStringList, phones);
        const Imported i = import(file);
        QCOMPARE(i.plan.contactCount, cards);
        QCOMPARE(i.plan.toAdd(OverLongChoice::Keep), cards);
        QCOMPARE(i.result.added, cards);
        QCOMPARE(i.contacts.size(), cards);
        for (const QString& value : emails + phones)
            QVERIFY2(holds(i.contacts, value), qPrintable(value));
        for (const Contact& c : i.contacts) {
            QVERIFY(!c[Field::Surname].isEmpty());
            QVERIFY(overLongValues(c).isEmpty());
        }
        for (auto it = i.plan.skipped.cbegin(); it != i.plan.skipped.cend(); ++it) {
            for (const char* kept : {"EMAIL", "TEL", "ADR", "CATEGORIES", "column"})
                QVERIFY2(!it.key().startsWith(QLatin1String(kept)) || it.key().contains(QLatin1String("binary")),
                         qPrintable(it.key()));
        }
    }

    // What went into Notes, line by line, in the card's order.
    void valuesWithoutAFieldAreLabelledLinesOfNotes_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("contact");
        QTest::addColumn<QString>("notes");
        QTest::newRow("Android: the work phone shortened, whole in Notes")
            << "android21.vcf" << 1
            << "Work fax: +1 418 656 0000\nCategories: Colleagues\nWork Tel: +1-418-656-9254;ext=102";
        QTest::newRow("Android: a second mobile and a work e-mail")
            << "android21.vcf" << 0 << "Mobile: +46 70 765 43 21\nWork e-mail: asa.aberg@work.example.se";
        QTest::newRow("Gmail")
            << "gmail30.vcf" << 0
            << "Met at PyCon.\n"
               "Work e-mail: p.natarajan@corp.example.com\n"
               "E-mail (Alumni): priya.n@alumni.example.edu\n"
               "Other phone (Grandparents): +91 80 2553 9999\n"
               "Work fax: +91 80 4110 2001\n"
               "Work address: Tower B, 4th Floor, Embassy Tech Village, Bengaluru, 560103, India\n"
               "Web page (HomePage): http://priya.example.in\n"
               "Department: Research\n"
               "Job title: Principal Engineer\n"
               "Nickname: Pri\n"
               "Categories: Friends\n"
               "IM (Skype): priya.n";
        QTest::newRow("Outlook: every address but the home one")
            << "outlook21.vcf" << 0
            << "Name prefix: Mrs.\n"
               "Department: Accounts\n"
               "Job title: Senior Partner\n"
               "Work fax: (0161) 496 0999\n"
               "Work address: Suite 4, Exchange House, 12 Market Street, Manchester, Greater Manchester, M1 1AA, "
               "United Kingdom\n"
               "Other address: PO Box 77, Manchester, M60 1QD, United Kingdom\n"
               "Work web page: http://www.hughes-partners.example.co.uk\n"
               "E-mail: mhughes@home.example.net";
        QTest::newRow("vCard 4.0: dates, relations")
            << "vcard40dates.vcf" << 0
            << "Name prefix: Dr.\nName suffix: PhD\nBirthday: 12/04\nAnniversary: 2009-06-20\nWork Tel extension: 12\n"
               "Other phone: +234-803-555-0101\nWork e-mail: h.okafor@hospital.example.ng\nSpouse: Chidi Okafor";
        QTest::newRow("Google CSV")
            << "googlecontacts.csv" << 0
            << "Plays guitar\n"
               "Nickname: Cacá\n"
               "Categories: Neighbours\n"
               "Home e-mail: cm@example.pt\n"
               "Work e-mail: carlos.mendes@firm.example.pt\n"
               "Work Fax: +351 21 000 1299\n"
               "Work address: Av. da Liberdade 200, 1250-147 Lisboa\n"
               "Job title: Engenheiro\n"
               "Web page (Blog): http://carlos.example.pt\n"
               "Anniversary: 2005-09-17";
    }
    void valuesWithoutAFieldAreLabelledLinesOfNotes()
    {
        QFETCH(QString, file);
        QFETCH(int, contact);
        QFETCH(QString, notes);
        QCOMPARE(::notes(import(file), contact), notes);
    }

    void fieldsTakeWhatFitsThem()
    {
        const Imported android = import(QStringLiteral("android21.vcf"));
        const Contact& asa = android.contacts[0];
        QCOMPARE(asa[Field::Surname], QStringLiteral("Åberg"));
        QCOMPARE(asa[Field::Cell], QStringLiteral("+46701234567")); // 16 characters as written
        QCOMPARE(asa[Field::Flag], QString()); // only the catch-all groups
        const Contact& luc = android.contacts[1];
        QCOMPARE(luc[Field::Address1], QStringLiteral("1234 Chemin Sainte-Foy"));
        QCOMPARE(luc[Field::Address2], QStringLiteral("Appartement 5B"));
        QCOMPARE(luc[Field::Town], QStringLiteral("Québec"));
        QCOMPARE(luc[Field::PostCode], QStringLiteral("G1V 1Z2"));
        QCOMPARE(luc[Field::WorkTel], QStringLiteral("+14186569254;ex"));
        QCOMPARE(luc[Field::Flag], QStringLiteral("Family"));
        const Contact& jorg = android.contacts[5];
        QCOMPARE(jorg[Field::Surname], QStringLiteral("Müller-Lüdenscheidt"));
        QCOMPARE(jorg[Field::Tel], QStringLiteral("+4902351123456"));
        QCOMPARE(jorg[Field::Flag], QStringLiteral("Sport"));
        QCOMPARE(android.plan.notStored, 1);
        QCOMPARE(android.plan.overLongCount, 1);
        QCOMPARE(android.plan.overLong[0].record, 2);
        QCOMPARE(android.plan.overLong[0].values, (QList<OverLongValue>{{Field::WorkTel, 23, 15}}));
        QCOMPARE(android.result.shortenedValues, 1);

        const Imported gmail = import(QStringLiteral("gmail30.vcf"));
        const Contact& priya = gmail.contacts[0];
        QCOMPARE(priya[Field::Email], QStringLiteral("priya@example.in"));
        QCOMPARE(priya[Field::Tel], QStringLiteral("+918025531234"));
        QCOMPARE(priya[Field::WorkTel], QStringLiteral("+918041102000"));
        QCOMPARE(priya[Field::Address1], QStringLiteral("12 Residency Road"));
        QCOMPARE(priya[Field::Workplace], QStringLiteral("Corp Example"));
        QCOMPARE(priya[Field::Birthday], QStringLiteral("1985-11-02"));
        QCOMPARE(gmail.result.movedToNotes, 11);

        const Imported outlook = import(QStringLiteral("outlook21.vcf"));
        QCOMPARE(outlook.contacts[0][Field::Address1], QStringLiteral("7 Larch Close"));
        QCOMPARE(outlook.contacts[0][Field::Town], QStringLiteral("Didsbury"));
        QCOMPARE(outlook.contacts[0][Field::Email], QStringLiteral("margaret@hughes-partners.example.co.uk"));

        const Imported v4 = import(QStringLiteral("vcard40dates.vcf"));
        QCOMPARE(v4.contacts[0][Field::Email], QStringLiteral("hannah@example.ng"));
        QCOMPARE(v4.contacts[0][Field::Birthday], QString());
        QCOMPARE(v4.plan.notStored, 2); // PHOTO and KEY

        const Imported google = import(QStringLiteral("googlecontacts.csv"));
        const Contact& carlos = google.contacts[0];
        QCOMPARE(carlos[Field::Email], QStringLiteral("carlos@example.pt"));
        QCOMPARE(carlos[Field::Cell], QStringLiteral("+351912345678"));
        QCOMPARE(carlos[Field::WorkTel], QStringLiteral("+351210001234"));
        QCOMPARE(carlos[Field::Address1], QStringLiteral("Rua Augusta 100"));
        QCOMPARE(carlos[Field::Town], QStringLiteral("Lisboa"));
        QCOMPARE(carlos[Field::Workplace], QStringLiteral("Firma Lda"));
        QCOMPARE(carlos[Field::Flag], QStringLiteral("Band"));
        QCOMPARE(google.plan.notStored, 1); // the photo
    }

    // A card without a name is named from what it has, and listed.
    void namelessCardsAreNamedAndListed()
    {
        const Imported android = import(QStringLiteral("android21.vcf"));
        QCOMPARE(android.plan.namelessCount, 3);
        QCOMPARE(android.plan.nameless[0].record, 3);
        QCOMPARE(android.plan.nameless[0].surname, QStringLiteral("newsletter@shop.example.com"));
        QCOMPARE(android.plan.nameless[0].takenFrom, QStringLiteral("Email"));
        QCOMPARE(android.plan.nameless[1].surname, QStringLiteral("0711 234567"));
        QCOMPARE(android.plan.nameless[1].takenFrom, QStringLiteral("phone number"));
        QCOMPARE(android.plan.nameless[2].surname, QStringLiteral("Garage Lindqvist"));
        QCOMPARE(android.plan.nameless[2].takenFrom, QStringLiteral("Workplace"));
        const Imported google = import(QStringLiteral("googlecontacts.csv"));
        QCOMPARE(google.contacts[1][Field::Surname], QStringLiteral("info@bakery.example.com"));
        QCOMPARE(google.contacts[2][Field::Surname], QStringLiteral("+44 7700 900777"));
        QCOMPARE(google.plan.namelessCount, 2);
        // The library has a name of its own (FN), so it is not listed.
        QCOMPARE(import(QStringLiteral("vcard40dates.vcf")).plan.namelessCount, 0);
    }

    void skippingLongContactsRemainsAChoice()
    {
        const Imported i = import(QStringLiteral("android21.vcf"), OverLongChoice::SkipContact);
        QCOMPARE(i.result.added, 5);
        QCOMPARE(i.result.skipped, 1);
        for (const Contact& c : i.contacts)
            QVERIFY(c[Field::Surname] != QStringLiteral("Tremblay"));
    }
};

QTEST_GUILESS_MAIN(TestRealExports)
#include "tst_realexports.moc"

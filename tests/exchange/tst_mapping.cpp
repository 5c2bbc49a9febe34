#include "exchange/ColumnMapping.h"
#include "exchange/ContactDraft.h"
#include "exchange/ImportPlan.h"
#include "exchange/TextDecoding.h"
#include "platform/AppError.h"

#include <QTest>
#include <algorithm>

using namespace exchange;
using Kind = BirthdayText::Kind;

class TestMapping : public QObject
{
    Q_OBJECT
private slots:
    void birthdays_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<bool>("guessed");
        auto row = [](const char* name, const char* text, Kind kind, QDate date = {}, bool guessed = false) {
            QTest::newRow(name) << QString::fromUtf8(text) << int(kind) << date << guessed;
        };
        row("ISO", "1970-01-31", Kind::Date, QDate(1970, 1, 31));
        row("ISO basic", "19700131", Kind::Date, QDate(1970, 1, 31));
        row("ISO with time", "1970-01-31T10:00:00Z", Kind::Date, QDate(1970, 1, 31));
        row("date and time with a space", "1970-01-31 00:00:00", Kind::Date, QDate(1970, 1, 31));
        row("day first", "31/01/1970", Kind::Date, QDate(1970, 1, 31));
        row("month first, two-digit year", "1/31/70", Kind::Date, QDate(1970, 1, 31));
        row("two-digit year this century", "24/01/24", Kind::Date, QDate(2024, 1, 24));
        row("ambiguous: day first, told", "03/04/2005", Kind::Date, QDate(2005, 4, 3), true);
        row("same day and month", "05/05/1990", Kind::Date, QDate(1990, 5, 5));
        row("dotted", "31.12.1999", Kind::Date, QDate(1999, 12, 31));
        row("no year", "--0229", Kind::NoYear);
        row("no year, extended", "--04-15", Kind::NoYear);
        row("no year, no such day", "--02-30", Kind::Invalid);
        row("not a leap year", "2023-02-29", Kind::Invalid);
        row("month 13", "1980-13-01", Kind::Invalid);
        row("both over twelve", "15/15/2000", Kind::Invalid);
        row("words", "circa 1800", Kind::Invalid);
        row("year zero", "0000-01-01", Kind::Invalid);
        row("Outlook's none", "0/0/00", Kind::Empty);
        row("blank", "  ", Kind::Empty);
    }
    void birthdays()
    {
        QFETCH(QString, text);
        QFETCH(int, kind);
        QFETCH(QDate, date);
        QFETCH(bool, guessed);
        const BirthdayText b = parseBirthday(text, 2024);
        QCOMPARE(int(b.kind), kind);
        if (b.kind == Kind::Date) {
            QCOMPARE(b.date, date);
            QCOMPARE(b.guessedDayFirst, guessed);
        }
    }

    void columnNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("role");
        QTest::addColumn<int>("field");
        using R = ColumnTarget::Role;
        auto value = [](const char* n, Field f) {
            QTest::newRow(n) << QString::fromUtf8(n) << int(R::Value) << index(f);
        };
        value("Surname", Field::Surname);
        value("LastName", Field::Surname);
        value("Last Name", Field::Surname);
        value("E-mail Address", Field::Email);
        value("Home Country/Region", Field::Country);
        value("Work Tel", Field::WorkTel);
        value("A3_Village", Field::A3_Village);
        value("PostalCode", Field::PostCode);
        value("Business Phone", Field::WorkTel);
        value("Company", Field::Workplace);
        QTest::newRow("street") << QStringLiteral("Address") << int(R::Street) << 0;
        QTest::newRow("home street") << QStringLiteral("Home Street") << int(R::Street) << 0;
        QTest::newRow("birth date") << QStringLiteral("BirthDate") << int(R::Birthday) << 0;
        QTest::newRow("phone pair") << QStringLiteral("Phone 2 - Value") << int(R::Part) << 0;
        QTest::newRow("Google e-mail") << QStringLiteral("E-mail 1 - Value") << int(R::Part) << 0;
        QTest::newRow("second e-mail") << QStringLiteral("E-mail 2 Address") << int(R::Part) << 0;
        QTest::newRow("work address") << QStringLiteral("Business Country/Region") << int(R::Part) << 0;
        QTest::newRow("groups") << QStringLiteral("Group Membership") << int(R::Categories) << 0;
        QTest::newRow("nickname") << QStringLiteral("Nickname") << int(R::Note) << 0;
        QTest::newRow("photo") << QStringLiteral("Photo") << int(R::Binary) << 0;
        QTest::newRow("unknown") << QStringLiteral("Fax") << int(R::None) << 0;
    }
    void columnNames()
    {
        QFETCH(QString, name);
        QFETCH(int, role);
        QFETCH(int, field);
        const ColumnTarget t = columnTarget(name);
        QCOMPARE(int(t.role), role);
        if (t.role == ColumnTarget::Role::Value)
            QCOMPARE(index(t.field), field);
    }

    // The header rows that address books, mail programs, webmail and CRMs write, each with one contact: the name,
    // the e-mail address, a phone and the town land in their fields and nothing in Notes.
    void headerRowsOfOtherPrograms_data()
    {
        QTest::addColumn<QStringList>("header");
        QTest::addColumn<QStringList>("stored"); // "Field=value" for every field that is not empty
        const QStringList values{"Lee", "Ann", "ann@example.com", "07700 900123", "Leeds"};
        auto row = [&](const char* name, const char* header, const char* phoneField) {
            const QStringList h = QString::fromUtf8(header).split(QLatin1Char('|'));
            QStringList stored{"Surname=Lee", "Firstname=Ann", "Town=Leeds",
                               QStringLiteral("%1=07700 900123").arg(QLatin1String(phoneField)),
                               "Email=ann@example.com"};
            QTest::newRow(name) << h << stored;
        };
        // Surname | Firstname | e-mail | phone | town, as each program names them.
        row("Outlook, English", "Last Name|First Name|E-mail Address|Mobile Phone|Home City", "Cell");
        row("Outlook, German", "Nachname|Vorname|E-Mail-Adresse|Telefon privat|Ort privat", "Tel");
        row("Thunderbird, German", "Nachname|Vorname|Primäre E-Mail-Adresse|Mobil-Tel.-Nr.|Privat: Ort", "Cell");
        row("Outlook, French", "Nom|Prénom|Adresse de messagerie|Tél. mobile|Ville (domicile)", "Cell");
        row("Outlook, Spanish", "Apellidos|Nombre|Dirección de correo electrónico|Móvil|Ciudad de residencia", "Cell");
        row("Outlook, Italian", "Cognome|Nome|Indirizzo posta elettronica|Cellulare|Città (ab.)", "Cell");
        row("Outlook, Dutch", "Achternaam|Voornaam|E-mailadres|Telefoon thuis|Huisadres, plaats", "Tel");
        row("Outlook, Portuguese", "Sobrenome|Nome|Endereço de e-mail|Telefone celular|Cidade residencial", "Cell");
        row("Outlook, Swedish", "Efternamn|Förnamn|E-postadress|Telefon, arbete|Ort, hem", "Work Tel");
        row("Outlook, Polish", "Nazwisko|Imię|Adres e-mail|Telefon komórkowy|Miasto (dom)", "Cell");
        row("Outlook, Japanese", "姓|名|電子メール アドレス|自宅電話|市町村 (自宅)", "Tel");
        row("Outlook, Chinese", "姓|名|电子邮件地址|移动电话|住宅所在地的市/县", "Cell");
        row("Thunderbird, English", "Last Name|First Name|Primary Email|Work Phone|Home City", "Work Tel");
        row("Yahoo Mail", "Last|First|Email|Mobile|Home City", "Cell");
        row("webmail, UK", "Last Name|First Name|E-mail Address|Home Phone|Home Town", "Tel");
        row("CRM, snake_case", "last_name|first_name|email_work|phone_home|address_city", "Tel");
        row("CRM, camelCase", "lastName|firstName|emailHome|phoneWork|City", "Work Tel");
        row("CRM, custom e-mail field", "Last Name|First Name|custom_fields_emails|phone_mobile|Mailing City", "Cell");
    }
    void headerRowsOfOtherPrograms()
    {
        QFETCH(QStringList, header);
        QFETCH(QStringList, stored);
        ImportLog log;
        const RowMapper mapper(header);
        QVERIFY(mapper.mapsName());
        ContactDraft d(log, 1, 2, 2024);
        mapper.apply({"Lee", "Ann", "ann@example.com", "07700 900123", "Leeds"}, d, log);
        const Contact c = d.finish();
        QStringList out;
        for (const FieldInfo& f : Fields)
            if (!c[f.field].isEmpty())
                out << QLatin1String(f.name) + QLatin1Char('=') + c[f.field];
        std::sort(out.begin(), out.end());
        std::sort(stored.begin(), stored.end());
        QCOMPARE(out, stored);
    }

    // What a webmail writes for the home address: town, county and post code each in their field.
    void webmailHomeAddress()
    {
        ImportLog log;
        const RowMapper mapper({"First Name", "Last Name", "Home Town", "Home County", "Home Post Code", "Fax"});
        ContactDraft d(log, 1, 2, 2024);
        mapper.apply({"Ann", "Lee", "Leeds", "West Yorkshire", "LS1 1AA", "0113 000"}, d, log);
        const Contact c = d.finish();
        QCOMPARE(c[Field::Town], QStringLiteral("Leeds"));
        QCOMPARE(c[Field::County], QStringLiteral("West Yorkshire"));
        QCOMPARE(c[Field::PostCode], QStringLiteral("LS1 1AA"));
        QCOMPARE(c[Field::Notes], QStringLiteral("Fax: 0113 000"));
        QCOMPARE(mapper.columnsInNotes(), (QList<std::pair<QString, qint64>>{{"Fax", 1}}));
    }

    // A column named wrongly, or not at all, is put where the user says; Skip leaves it out, counted.
    void theUsersChoiceComesBeforeTheName()
    {
        ImportLog log;
        const ColumnChoices choices = parseColumnMap(QStringLiteral("Rufname=Firstname, \"Familie, Name\"=surname,"
                                                                    "Geb=Birthday,E-Mail-Adresse=Notes,Id=Skip"));
        const RowMapper mapper({"Rufname", "Familie, Name", "Geb", "E-Mail-Adresse", "ID"},
                               RowMapper::Unplaced::ToNotes, choices);
        QVERIFY(mapper.mapsName());
        ContactDraft d(log, 1, 2, 2024);
        mapper.apply({"Ann", "Lee", "31.01.1970", "ann@example.com", "17"}, d, log);
        const Contact c = d.finish();
        QCOMPARE(c[Field::Firstname], QStringLiteral("Ann"));
        QCOMPARE(c[Field::Surname], QStringLiteral("Lee"));
        QCOMPARE(c[Field::Birthday], QStringLiteral("1970-01-31"));
        QCOMPARE(c[Field::Email], QString());
        QCOMPARE(c[Field::Notes], QStringLiteral("E-Mail-Adresse: ann@example.com"));
        QCOMPARE(log.skipped().value(QStringLiteral("column \"ID\" (skipped as chosen)")), 1);

        QVERIFY(!RowMapper({"Suffix", "Mail"}).mapsName()); // a stray match gives no name
        QVERIFY_THROWS_EXCEPTION(platform::AppError, (void)parseColumnMap(QStringLiteral("Vorname=Vorname")));
        QVERIFY_THROWS_EXCEPTION(platform::AppError, (void)parseColumnMap(QStringLiteral("Vorname")));
    }

    void birthdayInThreeColumns()
    {
        ImportLog log;
        const RowMapper mapper({QStringLiteral("Last Name"), QStringLiteral("Birth Year"),
                                QStringLiteral("Birth Month"), QStringLiteral("Birth Day")});
        ContactDraft d(log, 1, 2, 2024);
        mapper.apply({QStringLiteral("Lee"), QStringLiteral("1975"), QStringLiteral("6"), QStringLiteral("9")}, d, log);
        QCOMPARE(d.finish()[Field::Birthday], QStringLiteral("1975-06-09"));
        ContactDraft noYear(log, 2, 3, 2024);
        mapper.apply({QStringLiteral("Lee"), QString(), QStringLiteral("6"), QStringLiteral("9")}, noYear, log);
        QCOMPARE(noYear.finish()[Field::Notes], QStringLiteral("Birthday: 09/06"));
    }

    void overLongValuesAreFound()
    {
        Contact c;
        c[Field::PostCode] = QStringLiteral("12345678901");  // 11 > 10
        c[Field::Notes] = QString(100000, QLatin1Char('n')); // no limit
        c[Field::Surname] = QString(30, QLatin1Char('s'));   // exactly the limit
        QCOMPARE(overLongValues(c), (QList<OverLongValue>{{Field::PostCode, 11, 10}}));
    }

    // Values are made to fit without loss where they can be; what is shortened is kept whole in Notes.
    void valuesAreMadeToFit_data()
    {
        QTest::addColumn<QStringList>("read");   // "Field=value"
        QTest::addColumn<QStringList>("stored"); // "Field=value" for every field that is not empty
        QTest::addColumn<int>("shortened");
        auto row = [](const char* name, QStringList read, QStringList stored, int shortened) {
            QTest::newRow(name) << read << stored << shortened;
        };
        row("street split after a comma", {"Address1=1234 Chemin Sainte-Foy, Appartement 5B"},
            {"Address1=1234 Chemin Sainte-Foy", "Address2=Appartement 5B"}, 0);
        row("street split at spaces over three lines",
            {"Address1=The Old Rectory Cottages Lower Middleton Cheney Road"},
            {"Address1=The Old Rectory Cottages", "Address2=Lower Middleton Cheney", "A3_Village=Road"}, 0);
        row("second line runs into the village", {"Address1=1 High St", "Address2=Industrial Estate Unit 7 Block C"},
            {"Address1=1 High St", "Address2=Industrial Estate Unit 7", "A3_Village=Block C"}, 0);
        row("the next line is taken", {"Address1=The Old Rectory Cottages Lower Road", "Address2=Flat 2"},
            {"Address1=The Old Rectory Cottages", "Address2=Flat 2", "Notes=Address1: The Old Rectory Cottages Lower Road"},
            1);
        row("a word longer than the line", {"Address1=Llanfairpwllgwyngyllgogerychwyrndrobwll"},
            {"Address1=Llanfairpwllgwyngyllgoger", "Notes=Address1: Llanfairpwllgwyngyllgogerychwyrndrobwll"}, 1);
        row("phone written for reading", {"Tel=+44 (0) 20 7946.0000"}, {"Tel=+4402079460000"}, 0);
        row("phone that fits is left alone", {"Cell=07700 900 123"}, {"Cell=07700 900 123"}, 0);
        row("phone still too long", {"Work Tel=+1-418-656-9254;ext=102"},
            {"Notes=Work Tel: +1-418-656-9254;ext=102", "Work Tel=+14186569254;ex"}, 1);
        row("after the notes of the card", {"PostCode=ABCDEFGHIJKL", "Notes=Old friend"},
            {"PostCode=ABCDEFGHIJ", "Notes=Old friend\nPostCode: ABCDEFGHIJKL"}, 1);
        row("never inside a surrogate pair", {"Flag=abcde😀"}, {"Notes=Flag: abcde😀", "Flag=abcde"}, 1);
        row("notes of any length", {QStringLiteral("Notes=") + QString(70000, QLatin1Char('n'))},
            {QStringLiteral("Notes=") + QString(70000, QLatin1Char('n'))}, 0);
    }
    void valuesAreMadeToFit()
    {
        QFETCH(QStringList, read);
        QFETCH(QStringList, stored);
        QFETCH(int, shortened);
        Contact c;
        for (const QString& r : read)
            c[*fieldByName(r.section(QLatin1Char('='), 0, 0))] = r.section(QLatin1Char('='), 1);
        const FittedContact fitted = fitToFields(c);
        QStringList out;
        for (const FieldInfo& f : Fields)
            if (!fitted.contact[f.field].isEmpty())
                out << QLatin1String(f.name) + QLatin1Char('=') + fitted.contact[f.field];
        QCOMPARE(out, stored);
        QCOMPARE(fitted.shortened.size(), shortened);
        QVERIFY(overLongValues(fitted.contact).isEmpty());
    }

    void categories_data()
    {
        QTest::addColumn<QStringList>("categories");
        QTest::addColumn<QString>("flag");
        QTest::addColumn<QString>("flag2");
        QTest::addColumn<QString>("notes");
        QTest::newRow("the first that fit") << QStringList{"Friends", "VIP", "Golf", "XMAS"} << "VIP"
                                            << "Golf" << "Categories: Friends, XMAS";
        QTest::newRow("Android") << QStringList{"My Contacts", "Family", "Colleagues"} << "Family" << ""
                                 << "Categories: Colleagues";
        QTest::newRow("catch-all groups only")
            << QStringList{"* myContacts", "Starred in Android", "MY CONTACTS"} << "" << "" << "";
        QTest::newRow("only the second, as we export it") << QStringList{"", "B"} << ""
                                                          << "B"
                                                          << "";
        QTest::newRow("blanks") << QStringList{" a ", "", "b"} << "a"
                                << "b"
                                << "";
    }
    void categories()
    {
        QFETCH(QStringList, categories);
        QFETCH(QString, flag);
        QFETCH(QString, flag2);
        QFETCH(QString, notes);
        ImportLog log;
        ContactDraft d(log, 1, 1, 2024);
        d.setCategories(categories);
        const Contact c = d.finish();
        QCOMPARE(c[Field::Flag], flag);
        QCOMPARE(c[Field::Flag2], flag2);
        QCOMPARE(c[Field::Notes], notes);
    }

    void utf8Validation_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::newRow("ascii") << QByteArray("abc") << true;
        QTest::newRow("two bytes") << QByteArray("\xC3\xA9") << true;
        QTest::newRow("four bytes") << QByteArray("\xF0\x9F\x98\x80") << true;
        QTest::newRow("lone continuation") << QByteArray("\x80") << false;
        QTest::newRow("overlong") << QByteArray("\xC0\xAF") << false;
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << false;
        QTest::newRow("past U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false;
        QTest::newRow("cut off") << QByteArray("a\xE2\x82") << false;
        QTest::newRow("1252 text") << QByteArray("M\xFCller") << false;
    }
    void utf8Validation()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QCOMPARE(isValidUtf8(bytes), valid);
    }

    void windows1252() { QCOMPARE(fromWindows1252("\x80\x8A\x9F\xA3\xFF\x81"), QStringLiteral("€ŠŸ£ÿ\u0081")); }
};

QTEST_GUILESS_MAIN(TestMapping)
#include "tst_mapping.moc"

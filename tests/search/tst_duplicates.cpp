// Probable duplicates: the look-alike rules, groups, merging without loss, undo, --duplicates.
#include "data/Connection.h"
#include "data/RecentlyDeleted.h"
#include "platform/Fakes.h"
#include "search/Duplicates.h"
#include "support/TestDb.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <numeric>

using search::duplicates::Person;
using testsupport::Contact;
using testsupport::contact;
namespace dups = search::duplicates;

Q_DECLARE_METATYPE(Person)

namespace {

Person person(const char* surname, const char* first, const char* town = "", const char* email = "",
              const char* phone = "", const char* postcode = "")
{
    Person p;
    p.surname = QString::fromUtf8(surname);
    p.firstname = QString::fromUtf8(first);
    p.town = QString::fromUtf8(town);
    p.email = QString::fromUtf8(email);
    p.postcode = QString::fromUtf8(postcode);
    p.phones = {QString::fromUtf8(phone), QString(), QString()};
    return p;
}

} // namespace

class TestDuplicates : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    platform::Fakes m_fakes{};
    QString dbPath() const { return m_dir.filePath(QStringLiteral("Tovrel.mdb")); }

private slots:
    void init() { m_fakes = platform::installFakes(); }

    void lookAlikes_data()
    {
        QTest::addColumn<Person>("a");
        QTest::addColumn<Person>("b");
        QTest::addColumn<QString>("reason");
        QTest::newRow("case and accents") << person("Brown", "Zoë", "Leeds") << person("BROWN", "zoe", "leeds")
                                          << "same name";
        QTest::newRow("punctuation and spaces") << person("O'Neil", "Fay") << person("O Neil", "Fay") << "same name";
        QTest::newRow("initial against full name") << person("Smith", "J.") << person("Smith", "John", "York")
                                                   << "same name";
        QTest::newRow("swapped names") << person("Smith", "John", "York") << person("John", "Smith", "York")
                                       << "same name";
        QTest::newRow("same name, another field agrees")
            << person("Smith", "John", "", "a@example.org", "", "LS1 4AP")
            << person("Smith", "John", "", "b@example.org", "", "ls14ap") << "same name";
        QTest::newRow("namesakes sharing only the name")
            << person("Smith", "John", "Leeds", "john@example.org", "0113 496 0000")
            << person("Smith", "John", "York", "js@example.net", "020 7946 0001") << "";
        QTest::newRow("same name, towns differ") << person("Smith", "John", "Leeds") << person("Smith", "John", "York")
                                                 << "";
        QTest::newRow("other initial") << person("Smith", "K.") << person("Smith", "John") << "";
        QTest::newRow("initial beyond ASCII") << person("Nowak", "Ł.") << person("nowak", "Łucja", "Ely")
                                              << "same name";
        QTest::newRow("e-mail beyond ASCII, any case") << person("Berg", "Åsa", "", "ÅSA@exempel.se")
                                                       << person("Lind", "Å", "", "åsa@exempel.se") << "same e-mail";
        QTest::newRow("same e-mail, any case") << person("Brown", "Alice", "", "Alice@Example.org")
                                               << person("Smith", "Alice", "", "alice@example.org ") << "same e-mail";
        QTest::newRow("same phone, last nine digits") << person("Brown", "A", "", "", "+44 (1632) 960-101")
                                                      << person("Jones", "B", "", "", "01632 960101") << "same phone";
        QTest::newRow("short numbers are no evidence") << person("Brown", "A", "", "", "2222")
                                                       << person("Jones", "B", "", "", "2222") << "";
    }
    void lookAlikes()
    {
        QFETCH(Person, a);
        QFETCH(Person, b);
        QFETCH(QString, reason);
        QCOMPARE(dups::sameReason(a, b), reason);
        QCOMPARE(dups::sameReason(b, a), reason);
    }

    void groupsJoinThroughAnyReasonAndSkipPairsMarkedDifferent()
    {
        QList<Person> people{person("Brown", "Alice", "Leeds", "alice@example.org"),
                             person("Brown", "A.", "", "", "01632 960101"),
                             person("Browne", "Al", "", "ALICE@example.org", "01632 960 101"),
                             person("Smith", "John", "Leeds"), person("Smith", "John", "York"),
                             person("Cole", "Ann", "Bath"), person("Cole", "Ann", "Bath")};
        for (int i = 0; i < people.size(); ++i)
            people[i].id = 10 + i;
        QList<dups::Group> groups = dups::findGroups(people);
        QCOMPARE(groups.size(), 2);
        QCOMPARE(groups[0].ids, (QList<qint64>{10, 11, 12}));
        QCOMPARE(groups[1].ids, (QList<qint64>{15, 16}));
        groups = dups::findGroups(people, {{15, 16}});
        QCOMPARE(groups.size(), 1);
    }

    // Each group is a star around its first contact: nobody joins because they look like someone who joined.
    // A number or address more than five share is no evidence on its own.
    void groupsNeverChainStrangers_data()
    {
        QTest::addColumn<QList<Person>>("people"); // keys 1, 2, ... in this order
        QTest::addColumn<QList<QList<qint64>>>("groups");
        const char* board = "01632 960000";
        QList<Person> office;
        for (const char* name : {"Ash", "Birch", "Elm", "Fir", "Oak", "Yew", "Lime"})
            office << person(name, "Pat", "", "", board);
        QTest::newRow("shared switchboard") << office << QList<QList<qint64>>{};
        office[6] = person("Ash", "P.", "", "", board);
        QTest::newRow("switchboard, and the same name") << office << QList<QList<qint64>>{{1, 7}};
        QList<Person> family;
        for (const char* first : {"Tom", "Ann", "Bea", "Cy", "Di", "Ed"})
            family << person("Hart", first, "", "harts@example.org");
        QTest::newRow("shared family e-mail") << family << QList<QList<qint64>>{};
        family.removeLast();
        QTest::newRow("five sharing an e-mail") << family << QList<QList<qint64>>{{1, 2, 3, 4, 5}};
        QTest::newRow("A-B by phone, B-C by e-mail")
            << QList<Person>{person("Adams", "Al", "", "", "01632 960101"),
                             person("Baker", "Bo", "", "bo@example.org", "01632 960101"),
                             person("Clark", "Cy", "", "bo@example.org")}
            << QList<QList<qint64>>{{1, 2}};
        QTest::newRow("B first: A and C each match B")
            << QList<Person>{person("Baker", "Bo", "", "bo@example.org", "01632 960101"),
                             person("Adams", "Al", "", "", "01632 960101"),
                             person("Clark", "Cy", "", "bo@example.org")}
            << QList<QList<qint64>>{{1, 2, 3}};
        QTest::newRow("John - J. - James") << QList<Person>{person("Smith", "John"), person("Smith", "J."),
                                                            person("Smith", "James")}
                                           << QList<QList<qint64>>{{1, 2}};
        QTest::newRow("a contact taken is no link")
            << QList<Person>{person("Adams", "Al", "", "a@example.org"),
                             person("Baker", "Bo", "", "a@example.org", "01632 960202"),
                             person("Clark", "Cy", "", "", "01632 960202"), person("Dane", "Di", "", "", "01632 960303"),
                             person("Eden", "Ed", "", "", "01632 960303")}
            << QList<QList<qint64>>{{1, 2}, {4, 5}};
        QList<Person> same(100, person("Cole", "Ann", "Bath"));
        QList<qint64> all(100);
        std::iota(all.begin(), all.end(), 1);
        QTest::newRow("one person a hundred times") << same << QList<QList<qint64>>{all};
    }
    void groupsNeverChainStrangers()
    {
        QFETCH(QList<Person>, people);
        QFETCH(QList<QList<qint64>>, groups);
        for (int i = 0; i < people.size(); ++i)
            people[i].id = i + 1;
        QList<QList<qint64>> found;
        for (const dups::Group& g : dups::findGroups(people)) {
            found << g.ids;
            QCOMPARE(g.reasons.size(), g.ids.size());
            QCOMPARE(g.sure.size(), g.ids.size());
        }
        QCOMPARE(found, groups);
    }

    // A block too large to compare every pair in: a thousand namesakes, each in another town, and among them one
    // person entered twice, far apart in the file.
    void commonNameStillFindsTheOneDuplicate()
    {
        QList<Person> people;
        const QByteArray twice = "Ely";
        people << person("Smith", "John", twice.constData());
        for (int i = 0; i < 1000; ++i)
            people << person("Smith", i % 2 ? "John" : "J.", QByteArray("Town " + QByteArray::number(i)).constData());
        people << person("SMITH", "john", twice.constData());
        for (int i = 0; i < people.size(); ++i)
            people[i].id = i + 1;
        const QList<dups::Group> groups = dups::findGroups(people);
        QCOMPARE(groups.size(), 1);
        QCOMPARE(groups[0].ids, (QList<qint64>{1, qint64(people.size())}));
    }

    void mergeKeepsEveryValueAndUndoes()
    {
        testsupport::makeDatabase(
            dbPath(),
            {contact({{"Surname", "Brown"}, {"Firstname", "Alice"}, {"Town", "Leeds"}, {"Tel", "0113 496 0000"},
                      {"Notes", "Met at work"}}),
             contact({{"Surname", "Brown"}, {"Firstname", "Alicia"}, {"Town", "Leeds"}, {"Tel", "0113 496 0999"},
                      {"Email", "alice@example.org"}, {"Birthday", "1970-05-04"}, {"Notes", "Old address book"}})});
        data::Connection connection;
        connection.setDatabasePath(dbPath());
        connection.open();
        sqlite3* db = connection.handle();
        const QMap<QString, QString> before1 = dups::contactValues(db, 1);
        const QMap<QString, QString> before2 = dups::contactValues(db, 2);

        // The second contact's Tel is kept; the rest as the first has it, the second's e-mail filling the gap.
        const dups::MergeUndo undo = dups::merge(db, 1, {2},
                                               {{"Firstname", "Alice"}, {"Tel", "0113 496 0999"},
                                                {"Email", "alice@example.org"}});
        QCOMPARE(testsupport::query(dbPath(), QStringLiteral("SELECT count(*) FROM HomeAd")), QStringList{"1"});
        const QMap<QString, QString> kept = dups::contactValues(db, 1);
        const QString notes = kept.value(QStringLiteral("Notes"));
        for (const auto* before : {&before1, &before2}) {
            const QString name = before == &before1 ? QStringLiteral("Alice Brown") : QStringLiteral("Alicia Brown");
            for (auto it = before->cbegin(); it != before->cend(); ++it) {
                const bool inField = kept.value(it.key()) == it.value();
                const bool inNotes = notes.contains(QStringLiteral("Merged from %1: %2 = %3").arg(name, it.key(),
                                                                                                   it.value())) ||
                                     (it.key() == QLatin1String("Notes") && notes.contains(it.value()));
                QVERIFY2(inField || inNotes, qPrintable(it.key() + QStringLiteral(" = ") + it.value() + "\n" + notes));
            }
        }
        QCOMPARE(kept.value(QStringLiteral("Birthday")), QStringLiteral("1970-05-04"));
        QVERIFY(notes.contains(QStringLiteral("Merged from Alice Brown: Tel = 0113 496 0000")));
        QCOMPARE(data::deleted::list(db).size(), 1);

        dups::undoMerge(db, undo);
        QCOMPARE(dups::contactValues(db, 1), before1);
        QCOMPARE(dups::contactValues(db, 2), before2);
        QVERIFY(data::deleted::list(db).isEmpty());
    }

    void notSameIsRememberedInTheFile()
    {
        testsupport::makeDatabase(dbPath(), {contact({{"Surname", "Cole"}, {"Firstname", "Ann"}}),
                                             contact({{"Surname", "Cole"}, {"Firstname", "Ann"}})});
        {
            data::Connection connection;
            connection.setDatabasePath(dbPath());
            connection.open();
            QCOMPARE(dups::findGroups(connection.handle()).size(), 1);
            dups::rememberNotSame(connection.handle(), 2, 1);
        }
        data::Connection again;
        again.setDatabasePath(dbPath());
        again.open();
        QVERIFY(dups::findGroups(again.handle()).isEmpty());
    }

    void commandLinePrintsGroups()
    {
        testsupport::makeDatabase(dbPath(), {contact({{"Surname", "Cole"}, {"Firstname", "Ann"}}),
                                             contact({{"Surname", "Abbot"}, {"Firstname", "Bea"}, {"Email", "b@x.org"}}),
                                             contact({{"Surname", "Cole"}, {"Firstname", "A."}}),
                                             contact({{"Surname", "Abbott"}, {"Firstname", "B"}, {"Email", "B@x.org"}})});
        QProcess process;
        process.start(QStringLiteral(TOVREL_BINARY), {"--duplicates", "--folder", m_dir.path()});
        QVERIFY(process.waitForFinished(120000));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()),
                 QStringLiteral("1\tCole\tAnn\tsame name\n3\tCole\tA.\tsame name\n\n"
                                "2\tAbbot\tBea\tsame e-mail\n4\tAbbott\tB\tsame e-mail\n"));
        QVERIFY(process.readAllStandardError().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDuplicates)
#include "tst_duplicates.moc"

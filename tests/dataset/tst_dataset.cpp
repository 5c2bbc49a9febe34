#include "data/ContactStore.h"
#include "data/Connection.h"
#include "data/TextOrder.h"
#include "platform/AppError.h"
#include "platform/Fakes.h"
#include "support/TestDb.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

using testsupport::Contact;

class TestDataset : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    platform::Fakes m_fakes{};
    std::unique_ptr<data::ContactStore> m_store;

    data::Dataset& q() { return m_store->HomeQuery; }
    QString dbPath() const { return m_dir.filePath(QStringLiteral("Tovrel.mdb")); }

    QStringList column(const QString& field)
    {
        QStringList out;
        for (int r = 0; r < q().recordCount(); ++r)
            out << q().text(r, field);
        return out;
    }

    void openWith(const QStringList& sql)
    {
        q().close();
        q().setSql(sql);
        q().open();
    }

    static QString errorOf(const std::function<void()>& f)
    {
        try {
            f();
        } catch (const platform::AppError& e) {
            return e.message();
        }
        return {};
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }
    void init()
    {
        m_fakes = platform::installFakes();
        testsupport::makeDatabase(dbPath(), testsupport::sampleContacts());
        m_store = std::make_unique<data::ContactStore>();
        m_store->configure(m_dir.path() + QLatin1Char('/'));
    }
    void cleanup() { m_store.reset(); }

    void fieldsAreKnownWhileClosed()
    {
        QVERIFY(!q().isOpen());
        QCOMPARE(q().fieldCount(), 20);
        QCOMPARE(q().fields()[18].name, QStringLiteral("Cap"));
        QCOMPARE(q().fields()[19].name, QStringLiteral("Flag2"));
        // Configuring only says where the book is; the query opens the Tovrel.mdb of that folder.
        QVERIFY(!m_store->connection.isOpen());
        q().open();
        QVERIFY(m_store->connection.isOpen());
        QCOMPARE(QFileInfo(m_store->connection.databasePath()).canonicalFilePath(),
                 QFileInfo(dbPath()).canonicalFilePath());
        QCOMPARE(column(QStringLiteral("Surname")).size(), 6);
    }

    void startTextOrdersBySurnameWithoutRegardToCase()
    {
        q().open();
        QCOMPARE(q().sql(), QStringList({"select * from HomeAd", "order by Surname"}));
        const QStringList surnames = column(QStringLiteral("Surname"));
        QCOMPARE(surnames.size(), 6);
        QCOMPARE(surnames[0].toLower(), QStringLiteral("adams"));
        QCOMPARE(surnames[2], QStringLiteral("Brown"));
        QCOMPARE(q().currentRow(), 0);
        QVERIFY(q().bof());
    }

    void capIsOneWholeCharacter_data()
    {
        QTest::addColumn<QString>("surname");
        QTest::addColumn<QString>("cap");
        QTest::newRow("lower case kept") << "adams" << "a";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("outside the BMP") << QString::fromUtf8("\U0001D49Cbc") << QString::fromUtf8("\U0001D49C");
        QTest::newRow("combining accent") << QString::fromUtf8("e\u0301tienne") << QString::fromUtf8("e\u0301");
    }
    void capIsOneWholeCharacter()
    {
        QFETCH(QString, surname);
        QFETCH(QString, cap);
        QCOMPARE(data::initialOf(surname), cap);
    }

    void selectionTextsRunUnchanged_data()
    {
        QTest::addColumn<QStringList>("sql");
        QTest::addColumn<QStringList>("surnames");
        QTest::newRow("letter A") << QStringList{"SELECT * FROM HomeAd WHERE Surname LIKE 'A%'"}
                                  << QStringList{"adams", "Adams"};
        QTest::newRow("letter non-ASCII") << QStringList{QString::fromUtf8("SELECT * FROM HomeAd WHERE Surname LIKE 'ł%'")}
                                          << QStringList{QString::fromUtf8("Łukasz")};
        QTest::newRow("search word any case")
            << QStringList{"SELECT * from HomeAd", "WHERE", "Surname", "LIKE", QString::fromUtf8("\"%zoë%\"")}
            << QStringList{QString::fromUtf8("ZOË")};
        QTest::newRow("search work tel bracketed")
            << QStringList{"SELECT * from HomeAd", "WHERE", "[Work Tel]", "LIKE", "\"%%\""} << QStringList{};
        QTest::newRow("not like")
            << QStringList{"SELECT * from HomeAd", "WHERE", "County", "NOT LIKE", "\"%shire%\""}
            << QStringList{"Adams", QString::fromUtf8("ZOË"), QString::fromUtf8("Łukasz"), "O'Neil"};
        QTest::newRow("underscore one character")
            << QStringList{"SELECT * FROM HomeAd WHERE Surname LIKE '_OË'"} << QStringList{QString::fromUtf8("ZOË")};
    }
    void selectionTextsRunUnchanged()
    {
        QFETCH(QStringList, sql);
        QFETCH(QStringList, surnames);
        openWith(sql);
        QStringList got = column(QStringLiteral("Surname"));
        got.sort();
        surnames.sort();
        QCOMPARE(got, surnames);
    }

    static QStringList names()
    {
        return {"Zylstra", "ffrench", "de Souza", "Flat 10", "van der Berg", QString::fromUtf8("Ødegaard"), "Dean",
                "Fawcett", "", "Nash", "Parker", "Flat 9", "Upton", "Vance", QString::fromUtf8("Émile"), "Emile",
                "Emily"};
    }
    static QStringList namesAsPeopleRead()
    {
        return {"", "de Souza", "Dean", "Emile", QString::fromUtf8("Émile"), "Emily", "Fawcett", "ffrench", "Flat 9",
                "Flat 10", "Nash", QString::fromUtf8("Ødegaard"), "Parker", "Upton", "van der Berg", "Vance", "Zylstra"};
    }
    void makeNames(const QStringList& surnames, bool otherTool)
    {
        QList<Contact> contacts;
        for (const QString& surname : surnames)
            contacts << Contact{{"Surname", surname}, {"Town", surname.isEmpty() ? "Ayr" : "Bath"}};
        testsupport::makeDatabase(dbPath(), contacts);
        if (!otherTool)
            return;
        // As another tool makes the table: text columns declared without any collation.
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(dbPath()).constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db,
                              "CREATE TABLE Plain AS SELECT * FROM HomeAd; DROP TABLE HomeAd;"
                              "ALTER TABLE Plain RENAME TO HomeAd;",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(db);
    }

    // Start-up order, a descending order and a title click all sort as people read, whatever the file declares.
    void namesSortAsPeopleRead_data()
    {
        QTest::addColumn<bool>("otherTool");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("sort");
        QTest::addColumn<bool>("descending");
        for (const bool other : {false, true}) {
            const char* maker = other ? "file of another tool" : "file made here";
            QTest::addRow("%s, start text", maker) << other << "select * from HomeAd\norder by Surname" << "" << false;
            QTest::addRow("%s, descending", maker) << other << "SELECT * FROM HomeAd ORDER BY [Surname] DESC;" << ""
                                                   << true;
            QTest::addRow("%s, with a search", maker)
                << other << "select * from HomeAd where Town like '%a%' order by Surname" << "" << false;
            QTest::addRow("%s, title click", maker) << other << "SELECT * FROM HomeAd" << "Surname ASC" << false;
            QTest::addRow("%s, second title click", maker) << other << "SELECT * FROM HomeAd" << "Surname DESC" << true;
        }
    }
    void namesSortAsPeopleRead()
    {
        QFETCH(bool, otherTool);
        QFETCH(QString, sql);
        QFETCH(QString, sort);
        QFETCH(bool, descending);
        makeNames(names(), otherTool);
        openWith(sql.split(QLatin1Char('\n')));
        if (!sort.isEmpty())
            q().setSort(sort);
        QStringList expected = namesAsPeopleRead();
        if (descending)
            std::reverse(expected.begin(), expected.end());
        QCOMPARE(column(QStringLiteral("Surname")), expected);
    }

    // Equal texts (NULL beside empty, the same name twice) come in the order of their key, as an index gives them.
    void equalTextsKeepTheirKeyOrder()
    {
        makeNames({"b", "a", "", "b", "", "a"}, false);
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(dbPath()).constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, "UPDATE HomeAd SET Surname = NULL WHERE ID = 5", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        QStringList keys;
        openWith({"select * from HomeAd order by Surname"});
        for (int r = 0; r < q().recordCount(); ++r)
            keys << QString::number(q().rowKey(r));
        QCOMPARE(keys, QStringList({"3", "5", "2", "6", "1", "4"}));
        keys.clear();
        openWith({"select * from HomeAd order by Surname desc"});
        for (int r = 0; r < q().recordCount(); ++r)
            keys << QString::number(q().rowKey(r));
        QCOMPARE(keys, QStringList({"4", "1", "6", "2", "5", "3"}));
    }

    // What the snapshot cannot sort by itself is left to the engine, in the engine's order.
    void theEngineOrdersTheRest_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");
        QTest::newRow("limit") << "select * from HomeAd order by Surname limit 3" << "ORDER BY Surname, ID LIMIT 3";
        QTest::newRow("expression") << "select * from HomeAd order by Surname collate binary"
                                    << "ORDER BY Surname COLLATE BINARY, ID";
        QTest::newRow("two columns") << "select * from HomeAd order by Town, Surname" << "ORDER BY Town, Surname, ID";
        QTest::newRow("not a field") << "select * from HomeAd order by ID desc" << "ORDER BY ID DESC";
    }
    void theEngineOrdersTheRest()
    {
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        makeNames(names(), false);
        openWith({sql});
        QStringList keys;
        for (int r = 0; r < q().recordCount(); ++r)
            keys << QString::number(q().rowKey(r));
        QCOMPARE(keys, testsupport::query(dbPath(), QStringLiteral("SELECT ID FROM HomeAd ") + expected));
    }

    // The user's locale decides: in Danish "Aa" is a letter after "Z"; a C locale sorts as English does.
    void theUsersLocaleDecides_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedKingdom)
                                 << QStringList{"Aagaard", "Berg", "de Souza", "Zylstra"};
        QTest::newRow("Danish") << QLocale(QLocale::Danish, QLocale::Denmark)
                                << QStringList{"Berg", "de Souza", "Zylstra", "Aagaard"};
        QTest::newRow("C") << QLocale::c() << QStringList{"Aagaard", "Berg", "de Souza", "Zylstra"};
    }
    void theUsersLocaleDecides()
    {
        QFETCH(QLocale, locale);
        QFETCH(QStringList, expected);
        QLocale::setDefault(locale);
        makeNames({"Zylstra", "de Souza", "Aagaard", "Berg"}, false);
        q().open();
        const QStringList got = column(QStringLiteral("Surname"));
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        QCOMPARE(got, expected);
    }

    // The one comparison the reports sort with is the snapshot's order.
    void compareTextIsTheSnapshotOrder()
    {
        const QStringList sorted = namesAsPeopleRead();
        for (int i = 1; i < sorted.size(); ++i) {
            QVERIFY2(data::compareText(sorted[i - 1], sorted[i]) < 0, qPrintable(sorted[i]));
            QVERIFY2(data::compareText(sorted[i], sorted[i - 1]) > 0, qPrintable(sorted[i]));
        }
        QCOMPARE(data::compareText(u"Smith", u"Smith"), 0);
    }

    void likeMatchesEveryLetterWithoutRegardToCase_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("match");
        QTest::newRow("umlaut") << QString::fromUtf8("%zoë%") << QString::fromUtf8("ZOË") << true;
        QTest::newRow("polish") << QString::fromUtf8("łukasz") << QString::fromUtf8("Łukasz") << true;
        QTest::newRow("no match") << "abc" << "abd" << false;
        QTest::newRow("percent alone") << "%" << "" << true;
        QTest::newRow("backtracking") << "%a%b%c" << "xxaxxbxxbc" << true;
        QTest::newRow("underscore one code point") << "_" << QString::fromUtf8("\U0001D49C") << true;
    }
    void likeMatchesEveryLetterWithoutRegardToCase()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QFETCH(bool, match);
        QCOMPARE(data::likeMatch(pattern, text), match);
    }

    void likeWithEscape()
    {
        QVERIFY(data::likeMatch(QStringLiteral("100!%"), QStringLiteral("100%"), QLatin1Char('!')));
        QVERIFY(!data::likeMatch(QStringLiteral("100!%"), QStringLiteral("1000"), QLatin1Char('!')));
        openWith({"SELECT * FROM HomeAd WHERE Surname LIKE 'O''N%' ESCAPE '!'"});
        QCOMPARE(q().recordCount(), 1);
    }

    void onlyOneStatementEverRuns()
    {
        const QString error = errorOf([&] { openWith({"SELECT * FROM HomeAd; DROP TABLE HomeAd"}); });
        QVERIFY(!error.isEmpty());
        QVERIFY(!q().isOpen());
        QCOMPARE(testsupport::query(dbPath(), QStringLiteral("SELECT count(*) FROM HomeAd")), QStringList{"6"});
    }

    void insertPostCancelDelete()
    {
        q().open();
        q().moveTo(2);
        q().insert();
        QCOMPARE(q().state(), data::Dataset::State::Insert);
        QCOMPARE(q().currentRow(), 2);
        QCOMPARE(q().recordCount(), 7);
        q().setFieldValue(QStringLiteral("Surname"), QStringLiteral("Carter"));
        QCOMPARE(q().currentText(QStringLiteral("Cap")), QStringLiteral("C"));
        q().post();
        QCOMPARE(m_fakes.sound->files, QStringList{"post.wav"});
        QCOMPARE(testsupport::query(dbPath(), QStringLiteral("SELECT Firstname IS NULL FROM HomeAd WHERE Surname='Carter'")),
                 QStringList{"1"});

        // An unmodified new row is dropped when the user moves on.
        q().insert();
        q().next();
        QCOMPARE(q().recordCount(), 7);
        QCOMPARE(q().state(), data::Dataset::State::Browse);

        // Cancel gives an edited row its stored values back.
        q().first();
        const QString before = q().currentText(QStringLiteral("Town"));
        q().setFieldValue(QStringLiteral("Town"), QStringLiteral("Elsewhere"));
        q().cancel();
        QCOMPARE(q().currentText(QStringLiteral("Town")), before);

        // Delete: the next row becomes current; at the end, the one before.
        q().last();
        const int last = q().currentRow();
        q().remove();
        QCOMPARE(q().currentRow(), last - 1);
        QCOMPARE(testsupport::query(dbPath(), QStringLiteral("SELECT count(*) FROM HomeAd")), QStringList{"6"});
    }

    void editsOfAnyRowMoveOnlyThatRow()
    {
        q().open();
        q().moveTo(1);
        q().setFieldValue(QStringLiteral("Birthday"), QStringLiteral("2001-02-03"));
        q().moveTo(3); // moving off saves
        const qint64 key = q().rowKey(1);
        QCOMPARE(testsupport::query(dbPath(), QStringLiteral("SELECT Birthday FROM HomeAd WHERE ID=%1").arg(key)),
                 QStringList{"2001-02-03"});
        QCOMPARE(testsupport::query(dbPath(), QStringLiteral("SELECT count(*) FROM HomeAd WHERE Birthday IS NOT NULL")),
                 QStringList{"1"});
    }

    void errorsHaveTheirTexts()
    {
        QCOMPARE(errorOf([&] { q().next(); }),
                 QStringLiteral("HomeQuery: Cannot perform this operation on a closed dataset"));
        openWith({"SELECT * FROM HomeAd WHERE Surname LIKE 'Q%'"});
        QCOMPARE(q().recordCount(), 0);
        QVERIFY(q().bof() && q().eof());
        QCOMPARE(errorOf([&] { q().remove(); }),
                 QStringLiteral("HomeQuery: Cannot perform this operation on an empty dataset"));
    }

    void badValuesAreRefused_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::newRow("surname too long") << "Surname" << QString(31, QLatin1Char('x'));
        QTest::newRow("flag too long") << "Flag" << "1234567";
        QTest::newRow("not a date") << "Birthday" << "31/02/2001";
    }
    void badValuesAreRefused()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        q().open();
        QVERIFY(!errorOf([&] { q().setFieldValue(field, value); }).isEmpty());
        QCOMPARE(q().state(), data::Dataset::State::Browse);
        q().setFieldValue(QStringLiteral("Surname"), QString(30, QLatin1Char('y'))); // the maximum is fine
        q().post();
    }

    // A value stored longer than its field (by a sync or another tool) blocks no edit of another field and stays
    // whole; it is checked when it is edited itself.
    void overLongStoredValueDoesNotBlockOtherEdits()
    {
        testsupport::makeDatabase(dbPath(), {{{"Surname", "Smith"}, {"Cell", "+44 7700 900 001 23"}, {"Flag", "Friends"}}});
        q().open();
        const qint64 key = q().rowKey(0);
        q().setFieldValue(QStringLiteral("Town"), QStringLiteral("Ripon"));
        q().post();
        QCOMPARE(testsupport::query(dbPath(), QStringLiteral("SELECT Town || '|' || Cell || '|' || Flag FROM HomeAd "
                                                             "WHERE ID = %1").arg(key)),
                 QStringList{"Ripon|+44 7700 900 001 23|Friends"});
        QVERIFY(!errorOf([&] { q().setFieldValue(QStringLiteral("Cell"), QStringLiteral("+44 7700 900 001 24")); })
                     .isEmpty());
    }

    void typedControlCharactersAreNotStored_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("NUL") << "Surname" << QStringLiteral("Nu") + QChar(0) + QStringLiteral("l") << "Nul";
        QTest::newRow("escape and bell") << "Town" << "\x1bY\x07ork\x1f" << "York";
        QTest::newRow("tab, CR and LF stay") << "Notes" << "a\tb\r\nc\nd" << "a\tb\r\nc\nd";
        QTest::newRow("only controls: empty") << "Town" << "\x01\x02" << "";
    }
    void typedControlCharactersAreNotStored()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        q().open();
        const qint64 key = q().rowKey(0);
        q().setFieldValue(field, typed);
        QCOMPARE(q().currentText(field), stored);
        q().post();
        QCOMPARE(testsupport::query(dbPath(), QStringLiteral("SELECT coalesce(\"%1\", '') FROM HomeAd WHERE ID = %2")
                                                  .arg(field)
                                                  .arg(key)),
                 QStringList{stored});
    }

    void emptySurnameIsStoredUnchanged()
    {
        q().open();
        q().insert();
        q().setFieldValue(QStringLiteral("Town"), QStringLiteral("Nowhere"));
        q().post();
        QCOMPARE(testsupport::query(dbPath(), QStringLiteral("SELECT count(*) FROM HomeAd WHERE Surname IS NULL")),
                 QStringList{"1"});
    }

    void failedSaveStaysInEditingAndStillPlaysTheSound()
    {
        q().open();
        sqlite3* other = nullptr;
        sqlite3_open(QFile::encodeName(dbPath()).constData(), &other);
        sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
        q().setFieldValue(QStringLiteral("Town"), QStringLiteral("Locked"));
        QVERIFY(errorOf([&] { q().post(); }).contains(QStringLiteral("locked")));
        QCOMPARE(q().state(), data::Dataset::State::Edit);
        QCOMPARE(m_fakes.sound->files.size(), 1);
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        q().post();
        QCOMPARE(q().state(), data::Dataset::State::Browse);
    }

    void badDatabaseFilesFailWithoutCreatingOne_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("exists");
        QTest::newRow("missing") << QByteArray() << false;
        QTest::newRow("empty file has no table") << QByteArray() << true;
        QTest::newRow("not a database") << QByteArray(4096, 'x') << true;
        QTest::newRow("truncated") << QByteArray("SQLite format 3\0", 16) + QByteArray(80, '\0') << true;
    }
    void badDatabaseFilesFailWithoutCreatingOne()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, exists);
        QFile::remove(dbPath());
        if (exists) {
            QFile f(dbPath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        QVERIFY(!errorOf([&] { q().open(); }).isEmpty());
        QVERIFY(!q().isOpen());
        QCOMPARE(QFile::exists(dbPath()), exists);
        // A later opening tries again.
        testsupport::makeDatabase(dbPath(), testsupport::sampleContacts());
        m_store->connection.close();
        q().open();
        QCOMPARE(q().recordCount(), 6);
    }

    void sortKeepsTheCurrentRowAndEndsAtClose()
    {
        q().open();
        q().moveTo(3);
        const QString current = q().currentText(QStringLiteral("Surname"));
        q().setSort(QStringLiteral("Town ASC"));
        QCOMPARE(q().currentText(QStringLiteral("Surname")), current);
        QStringList towns = column(QStringLiteral("Town"));
        QCOMPARE(towns.first(), QStringLiteral("Bath"));
        q().setSort(QStringLiteral("Town DESC"));
        QCOMPARE(column(QStringLiteral("Town")),
                 QStringList({"York", "Truro", QString::fromUtf8("Łódź"), "Leeds", "Dover", "Bath"}));
        q().close();
        QVERIFY(q().sort().isEmpty());
    }

    void reportWalkRefusesOtherMoves()
    {
        q().open();
        q().beginExclusiveRead(QStringLiteral("busy"));
        QCOMPARE(errorOf([&] { q().next(); }), QStringLiteral("busy"));
        QCOMPARE(errorOf([&] { q().close(); }), QStringLiteral("busy"));
        q().endExclusiveRead();
        q().next();
    }

    // Find as you type shows a part of the result; a save, a delete, a new row and a sort made meanwhile are in the
    // whole result when it is shown again, and in the file.
    void narrowedResultKeepsWhatIsDoneMeanwhile()
    {
        q().open(); // adams Bob, Adams Carol, Brown Alice, Łukasz Ed, O'Neil Fay, ZOË Dana
        const std::vector<data::RowStore::Row> all = q().allRows();
        q().moveTo(1);
        const quint64 before = q().rowsGeneration();
        q().showRows({all[1], all[3], all[5]});
        QCOMPARE(column(QStringLiteral("Firstname")), QStringList({"Carol", "Ed", "Dana"}));
        QCOMPARE(q().currentRow(), 0); // Carol stays the current contact
        QCOMPARE(q().rowsGeneration(), before);
        q().edit();
        q().setFieldValue(QStringLiteral("Town"), QStringLiteral("Wells"));
        q().post();
        QVERIFY(q().rowsGeneration() != before);
        q().moveTo(1);
        q().remove(); // Ed
        q().append();
        q().setFieldValue(QStringLiteral("Firstname"), QStringLiteral("Gus"));
        q().post();
        q().setSort(QStringLiteral("Firstname DESC"));
        QCOMPARE(column(QStringLiteral("Firstname")), QStringList({"Gus", "Dana", "Carol"}));
        q().showAllRows();
        QVERIFY(!q().isNarrowed());
        QCOMPARE(column(QStringLiteral("Firstname")), QStringList({"Gus", "Fay", "Dana", "Carol", "Bob", "Alice"}));
        QCOMPARE(q().text(q().currentRow(), QStringLiteral("Firstname")), QStringLiteral("Gus")); // the one just saved
        QCOMPARE(q().text(3, QStringLiteral("Town")), QStringLiteral("Wells"));
        openWith({QStringLiteral("SELECT * FROM HomeAd ORDER BY Firstname")});
        QCOMPARE(column(QStringLiteral("Firstname")), QStringList({"Alice", "Bob", "Carol", "Dana", "Fay", "Gus"}));
        QCOMPARE(q().text(2, QStringLiteral("Town")), QStringLiteral("Wells"));
    }
};

QTEST_MAIN(TestDataset)
#include "tst_dataset.moc"

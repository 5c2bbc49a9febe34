#include "app/ContactStore.h"
#include "data/Connection.h"
#include "platform/AppError.h"
#include "platform/Fakes.h"
#include "support/TestDb.h"

#include <QFile>
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
    std::unique_ptr<app::ContactStore> m_store;

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
    void init()
    {
        m_fakes = platform::installFakes();
        testsupport::makeDatabase(dbPath(), testsupport::sampleContacts());
        m_store = std::make_unique<app::ContactStore>();
        m_store->configure(m_dir.path() + QLatin1Char('/'));
    }
    void cleanup() { m_store.reset(); }

    void fieldsAreKnownWhileClosed()
    {
        QVERIFY(!q().isOpen());
        QCOMPARE(q().fieldCount(), 20);
        QCOMPARE(q().fields()[18].name, QStringLiteral("Cap"));
        QCOMPARE(q().fields()[19].name, QStringLiteral("Flag2"));
        QCOMPARE(m_store->ADOConnection1.connectionString(),
                 QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + m_dir.path() +
                     QStringLiteral("/Tovrel.mdb;Persist Security Info=False"));
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
        QCOMPARE(app::initialOf(surname), cap);
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

    // Rows sorted after loading come in exactly the order the engine gives, ties by key as an index gives them;
    // what the engine must order itself (numbers in a text column, an expression, LIMIT) is left to it.
    void loadedOrderIsTheEnginesOrder_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");
        QTest::newRow("start text") << "select * from HomeAd\norder by Surname" << "ORDER BY Surname, ID";
        QTest::newRow("descending") << "SELECT * FROM HomeAd ORDER BY Surname DESC;" << "ORDER BY Surname DESC, ID DESC";
        QTest::newRow("binary column") << "select * from HomeAd order by [Tel]" << "ORDER BY Tel, ID";
        QTest::newRow("with a search") << "select * from HomeAd where Town like '%e%' order by Surname"
                                       << "WHERE Town LIKE '%e%' ORDER BY Surname, ID";
        QTest::newRow("a blob in a text column") << "select * from HomeAd order by Town" << "ORDER BY Town, ID";
        QTest::newRow("limit") << "select * from HomeAd order by Surname limit 3" << "ORDER BY Surname, ID LIMIT 3";
        QTest::newRow("expression") << "select * from HomeAd order by Surname collate binary"
                                    << "ORDER BY Surname COLLATE BINARY, ID";
    }
    void loadedOrderIsTheEnginesOrder()
    {
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        const QString ties = QString::fromUtf8("Ängström");
        testsupport::makeDatabase(dbPath(),
                                  {{{"Surname", "b"}, {"Town", "Bath"}, {"Tel", "2"}},
                                   {{"Surname", "B"}, {"Town", "Leeds"}},
                                   {{"Surname", ties}, {"Town", "York"}, {"Tel", "10"}},
                                   {{"Surname", "a"}, {"Town", "Ayr"}, {"Tel", "1"}},
                                   {{"Surname", "b"}, {"Town", "Bala"}},
                                   {{"Surname", ties}, {"Town", "Wells"}, {"Tel", "B"}},
                                   {{"Surname", "Zed"}},
                                   {{"Surname", "Ab"}, {"Town", "Ely"}}});
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(dbPath()).constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, "UPDATE HomeAd SET Town = x'41' WHERE Surname = 'Zed'", nullptr, nullptr, nullptr),
                 SQLITE_OK);
        // Empty text beside NULL in Tel: the engine puts NULL first.
        QCOMPARE(sqlite3_exec(db, "UPDATE HomeAd SET Tel = '' WHERE ID = 2", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        openWith(sql.split(QLatin1Char('\n')));
        QStringList keys;
        for (int r = 0; r < q().recordCount(); ++r)
            keys << QString::number(q().rowKey(r));
        QCOMPARE(keys, testsupport::query(dbPath(), QStringLiteral("SELECT ID FROM HomeAd ") + expected));
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
        m_store->ADOConnection1.close();
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
        QCOMPARE(column(QStringLiteral("Town")).first(), QString::fromUtf8("Łódź"));
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
};

QTEST_MAIN(TestDataset)
#include "tst_dataset.moc"

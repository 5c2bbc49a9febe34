// Import and export from the main window: the current selection out in its order, files in through the preview
// as one transaction, and an Access-format database turned into ours.
#include "data/ContactStore.h"
#include "exchange/AccessFile.h"
#include "exchange/ContactExport.h"
#include "exchange/ContactImport.h"
#include "exchange/ui/ExportCommand.h"
#include "exchange/ui/ImportDialog.h"
#include "platform/AppError.h"
#include "platform/Fakes.h"
#include "platform/ProgramFolder.h"
#include "search/ui/SearchDialog.h"
#include "support/TestDb.h"
#include "support/TestFiles.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <sqlite3.h>

using testsupport::readBytes;
using testsupport::writeFile;

using exchange::ExportFormat;

namespace {

QByteArray digest(const QString& path)
{
    return QCryptographicHash::hash(readBytes(path), QCryptographicHash::Sha256);
}

void exec(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
    QCOMPARE(rc, SQLITE_OK);
}

// Three contacts: the second has a post code and a flag too long for their fields, a birthday without a year and
// a column we have no place for.
const QByteArray ThreeContacts = "Surname,Firstname,PostCode,Flag,Birthday,Fax\r\n"
                                 "Able,Ann,AB1 2CD,X,1970-01-31,\r\n"
                                 "Baker,Bob,ABCDEFGHIJKL,TOOLONG,--1224,01 234\r\n"
                                 "Cole,Cat,CD3 4EF,,,\r\n";

// A program folder holding the sample contacts, the contact list open and the services faked.
struct Program
{
    QTemporaryDir dir;
    QString database = dir.filePath(QStringLiteral("Tovrel.mdb"));
    platform::Fakes fakes;
    std::unique_ptr<data::ContactStore> store;

    Program()
    {
        testsupport::makeDatabase(database, testsupport::sampleContacts());
        platform::setProgramFolder(dir.path());
        fakes = platform::installFakes();
        store = testsupport::contactStore();
    }
    ~Program() { exchange::setDialogRunner({}); }

    data::Dataset& query() { return store->HomeQuery; }
    int stored() { return testsupport::query(database, QStringLiteral("SELECT count(*) FROM HomeAd"))[0].toInt(); }
    QStringList column(int field)
    {
        QStringList out;
        for (int row = 0; row < query().recordCount(); ++row)
            out << query().text(row, field);
        return out;
    }
    QStringList errors() const
    {
        QStringList out;
        for (const platform::PromptRecord& r : fakes.prompts->asked)
            if (r.icon == platform::Icon::Error)
                out << r.text;
        return out;
    }
};

// Answers the preview with the given choice and remembers what it showed.
struct PreviewAnswer
{
    explicit PreviewAnswer(bool keepLong, int answer = QDialog::Accepted) : keep(keepLong), result(answer) {}
    bool keep;
    int result;
    QString countText;
    int shown = 0;
    void install()
    {
        exchange::setDialogRunner([this](QDialog& dialog) {
            if (auto* preview = qobject_cast<TfmImportPreview*>(&dialog)) {
                ++shown;
                (keep ? preview->rbKeep : preview->rbSkip)->setChecked(true);
                countText = preview->lbCount->text();
            }
            return result;
        });
    }
};

} // namespace

class TestExchangeUi : public QObject
{
    Q_OBJECT
private slots:
    void exportWritesTheRowsTheGridShowsInItsOrder()
    {
        Program p;
        data::Dataset& q = p.query();
        q.close();
        q.setSql(search::searchStatement(QStringLiteral("Town"), QStringLiteral("o"), false));
        q.open();
        const int surname = q.fieldIndex(QStringLiteral("Surname"));
        const QStringList unsorted = p.column(surname);
        q.setSort(QStringLiteral("Town DESC"));
        const QStringList shown = p.column(surname);
        QCOMPARE(shown.size(), 3); // York, Dover, Truro: the "ó" of Łódź is another letter
        QVERIFY(shown != unsorted);
        // An edit not yet saved is saved first, so the file and the table agree.
        q.moveTo(1);
        q.setFieldValue(QStringLiteral("Firstname"), QStringLiteral("Zed"));

        p.fakes.fileDialogs->answers << p.dir.filePath(QStringLiteral("out"));
        p.fakes.fileDialogs->filterAnswers << exchange::exportFilters().at(2);
        exchange::ExportClick(nullptr, p.query());
        QVERIFY2(p.errors().isEmpty(), qPrintable(p.errors().join(QLatin1Char('\n'))));
        const QStringList lines = QString::fromUtf8(readBytes(p.dir.filePath(QStringLiteral("out.csv"))))
                                      .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[0].startsWith(QStringLiteral("Surname,Midname,Firstname,")));
        QStringList written;
        for (const QString& line : lines.mid(1))
            written << line.section(QLatin1Char(','), 0, 0).remove(QLatin1Char('"'));
        QCOMPARE(written, shown);
        QVERIFY(lines[2].contains(QStringLiteral(",Zed,")));
        QCOMPARE(q.state(), data::Dataset::State::Browse);
        QCOMPARE(testsupport::query(p.database, QStringLiteral("SELECT count(*) FROM HomeAd WHERE Firstname='Zed'")),
                 QStringList{"1"});
        QCOMPARE(p.fakes.prompts->asked.constLast().text,
                 QStringLiteral("3 contacts exported to %1.")
                     .arg(QDir::toNativeSeparators(p.dir.filePath(QStringLiteral("out.csv")))));
    }

    void exportFormatFromFilterAndName_data()
    {
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("path");
        QTest::addColumn<ExportFormat>("format");
        QTest::newRow("4.0, no suffix") << 0 << "a"
                                        << "a.vcf" << ExportFormat::VCard40;
        QTest::newRow("3.0, .vcard") << 1 << "a.vcard"
                                     << "a.vcard" << ExportFormat::VCard30;
        QTest::newRow("CSV, no suffix") << 2 << "a"
                                        << "a.csv" << ExportFormat::Csv;
        QTest::newRow("vCard filter, .csv name") << 0 << "a.csv"
                                                 << "a.csv" << ExportFormat::Csv;
        QTest::newRow("CSV filter, .vcf name") << 2 << "a.vcf"
                                               << "a.vcf" << ExportFormat::VCard30;
        QTest::newRow("other suffix keeps the filter") << 0 << "a.txt"
                                                       << "a.txt" << ExportFormat::VCard40;
        QTest::newRow("dotted folder") << 2 << "/tmp/x.d/a"
                                       << "/tmp/x.d/a.csv" << ExportFormat::Csv;
    }
    void exportFormatFromFilterAndName()
    {
        QFETCH(int, filter);
        QFETCH(QString, typed);
        QFETCH(QString, path);
        QFETCH(ExportFormat, format);
        QCOMPARE(exchange::exportFormatFor(typed, exchange::exportFilters().at(filter)), format);
        QCOMPARE(typed, path);
    }

    void previewTellsWhatWillBeAdded()
    {
        QTemporaryDir dir;
        exchange::Importer importer(writeFile(dir.filePath(QStringLiteral("c.csv")), ThreeContacts));
        const auto plan = importer.plan();
        QVERIFY(plan);
        TfmImportPreview preview(*plan, dir.filePath(QStringLiteral("c.csv")));
        QVERIFY(preview.lbSource->text().startsWith(QStringLiteral("c.csv (CSV, comma separated")));
        QVERIFY(preview.lbSource->text().endsWith(QStringLiteral("3 contacts read.")));
        QCOMPARE(preview.lbCount->text(), QStringLiteral("3 contacts will be added."));
        QCOMPARE(preview.choice(), exchange::OverLongChoice::Keep);
        preview.rbSkip->setChecked(true);
        QCOMPARE(preview.lbCount->text(), QStringLiteral("2 contacts will be added."));
        QCOMPARE(preview.choice(), exchange::OverLongChoice::SkipContact);

        QCOMPARE(preview.tbFirst->item(0, 0)->text(), QStringLiteral("Surname"));
        QCOMPARE(preview.tbFirst->item(0, 1)->text(), QStringLiteral("Able"));
        QCOMPARE(preview.tbFirst->item(exchange::index(exchange::Field::Birthday), 1)->text(),
                 QStringLiteral("1970-01-31"));
        QVERIFY(!preview.gbOverLong->isHidden());
        QCOMPARE(preview.lbOverLong->count(), 1);
        QCOMPARE(preview.lbOverLong->item(0)->text(),
                 QStringLiteral("Record 2, line 3: Bob Baker: PostCode has 12 characters (at most 10), "
                                "Flag has 7 characters (at most 6)"));
        QStringList notes;
        for (int i = 0; i < preview.lbNotes->count(); ++i)
            notes << preview.lbNotes->item(i)->text();
        QCOMPARE(notes, QStringList({"Kept in Notes: 2 values with no field of their own",
                                     "Record 2, line 3: birthday \"--1224\" has no year; kept in Notes as "
                                     "\"Birthday: 24/12\"."}));
        QVERIFY(preview.gbNameless->isHidden());

        exchange::Importer clean(writeFile(dir.filePath(QStringLiteral("d.csv")), "Surname\r\nDent\r\n"));
        const auto cleanPlan = clean.plan();
        TfmImportPreview quiet(*cleanPlan, dir.filePath(QStringLiteral("d.csv")));
        QCOMPARE(quiet.lbCount->text(), QStringLiteral("1 contact will be added."));
        QVERIFY(quiet.gbOverLong->isHidden());
        QVERIFY(quiet.gbNotes->isHidden());

        exchange::Importer nameless(
            writeFile(dir.filePath(QStringLiteral("e.csv")), "Surname,Email,Photo\r\n,shop@example.com,x.jpg\r\n"));
        const auto namelessPlan = nameless.plan();
        TfmImportPreview listed(*namelessPlan, dir.filePath(QStringLiteral("e.csv")));
        QVERIFY(!listed.gbNameless->isHidden());
        QCOMPARE(listed.lbNameless->item(0)->text(),
                 QStringLiteral("Record 1, line 2: Surname \"shop@example.com\" from Email"));
        QCOMPARE(listed.lbNotes->item(0)->text(),
                 QStringLiteral("Not stored: 1 binary value (photos, logos, sounds, keys)"));
    }

    // A header row that gives no name opens the columns with that said at the top; what the user chooses there is
    // what the next file with the same header row starts from.
    void theColumnChoiceIsRememberedForTheSameHeaderRow()
    {
        Program p;
        const QByteArray header = "Rufname;Familie;Suffix;Mail\r\n";
        QStringList shown; // per preview: no-name banner, OK enabled, what Rufname becomes
        exchange::setDialogRunner([&](QDialog& dialog) {
            auto* preview = qobject_cast<TfmImportPreview*>(&dialog);
            if (!preview)
                return int(QDialog::Rejected);
            auto combo = [&](const char* column) {
                for (int row = 0; row < preview->tbColumns->rowCount(); ++row)
                    if (preview->tbColumns->item(row, 0)->text() == QLatin1String(column))
                        return preview->columnCombo(row);
                return static_cast<QComboBox*>(nullptr);
            };
            shown << QStringLiteral("%1 %2 %3")
                         .arg(preview->lbNoName->isHidden() ? "named" : "nameless")
                         .arg(preview->btnOK->isEnabled() ? "ok" : "wait")
                         .arg(combo("Rufname")->currentText());
            if (!preview->lbNoName->isHidden()) {
                combo("Rufname")->setCurrentIndex(combo("Rufname")->findText(QStringLiteral("Firstname")));
                combo("Familie")->setCurrentIndex(combo("Familie")->findText(QStringLiteral("Surname")));
                shown << preview->lbCount->text();
            }
            return preview->btnOK->isEnabled() ? int(QDialog::Accepted) : int(QDialog::Rejected);
        });
        exchange::importFile(nullptr, *p.store,
                             writeFile(p.dir.filePath(QStringLiteral("a.csv")), header + "Ann;Lee;Jr;ann@example.com\r\n"));
        exchange::importFile(nullptr, *p.store,
                             writeFile(p.dir.filePath(QStringLiteral("b.csv")), header + "Bob;Ray;;\r\nCy;Fox;;\r\n"));
        QVERIFY2(p.errors().isEmpty(), qPrintable(p.errors().join(QLatin1Char('\n'))));
        QCOMPARE(shown, QStringList({"nameless wait Notes (by its name)", "1 contact will be added.",
                                     "named ok Firstname"}));
        QCOMPARE(p.stored(), 9);
        QCOMPARE(testsupport::query(p.database, QStringLiteral("SELECT Firstname||' '||Surname FROM HomeAd WHERE "
                                                               "Surname IN ('Lee','Ray','Fox') ORDER BY Surname")),
                 QStringList({"Cy Fox", "Ann Lee", "Bob Ray"}));
    }

    // A vCard's kinds of property without a field are listed too, left out until the user says where they go.
    void aVCardPropertyKindCanBeKept()
    {
        QTemporaryDir dir;
        const QString path = writeFile(dir.filePath(QStringLiteral("p.vcf")),
                                       "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann;;;\r\nX-PHONETIC-FIRST-NAME:Anna\r\n"
                                       "UID:123\r\nEND:VCARD\r\n");
        auto replan = [&](const exchange::ColumnChoices& choices) {
            exchange::ReadOptions options;
            options.columns = choices;
            return exchange::Importer(path, {}, options).plan();
        };
        TfmImportPreview preview(*replan({}), path, nullptr, replan);
        QCOMPARE(preview.tbColumns->rowCount(), 2);
        QCOMPARE(preview.tbColumns->item(0, 0)->text(), QStringLiteral("X-PHONETIC-FIRST-NAME"));
        QCOMPARE(preview.columnCombo(0)->currentText(), QStringLiteral("Skip (no field of its own)"));
        const int notes = int(exchange::index(exchange::Field::Notes));
        QCOMPARE(preview.tbFirst->item(notes, 1)->text(), QString());
        preview.columnCombo(0)->setCurrentIndex(preview.columnCombo(0)->findText(QStringLiteral("Notes")));
        QCOMPARE(preview.tbFirst->item(notes, 1)->text(), QStringLiteral("X-PHONETIC-FIRST-NAME: Anna"));
    }

    void importAddsEveryContactAndReadsTheListAgain_data()
    {
        QTest::addColumn<bool>("keep");
        QTest::newRow("leave out") << false;
        QTest::newRow("keep") << true;
    }
    void importAddsEveryContactAndReadsTheListAgain()
    {
        QFETCH(bool, keep);
        Program p;
        data::Dataset& q = p.query();
        q.close();
        const QStringList sql = search::searchStatement(QStringLiteral("Surname"), QStringLiteral("b"), false);
        q.setSql(sql);
        q.open();
        QCOMPARE(q.recordCount(), 1); // Brown
        PreviewAnswer answer(keep);
        answer.install();
        exchange::importFile(nullptr, *p.store, writeFile(p.dir.filePath(QStringLiteral("c.csv")), ThreeContacts));
        QCOMPARE(answer.shown, 1);
        QVERIFY(p.errors().isEmpty());
        QCOMPARE(p.stored(), keep ? 9 : 8);
        QCOMPARE(q.sql(), sql);
        QVERIFY(q.isOpen());
        QCOMPARE(q.recordCount(), keep ? 3 : 2); // Brown and Able, and Baker when it was added
        QCOMPARE(testsupport::query(p.database, QStringLiteral("SELECT PostCode FROM HomeAd WHERE Surname='Baker'")),
                 keep ? QStringList{"ABCDEFGHIJ"} : QStringList{});
        QCOMPARE(
            testsupport::query(p.database, QStringLiteral("SELECT Midname IS NULL FROM HomeAd WHERE Surname='Able'")),
            QStringList{"1"});
        QCOMPARE(p.fakes.prompts->asked.constLast().text,
                 keep ? QStringLiteral("3 contacts added from c.csv. 1 contact has values shortened to fit, each kept "
                                       "whole in Notes.")
                     : QStringLiteral("2 contacts added from c.csv. 1 contact left out for over-long values."));
    }

    // File > Import takes another address book through the same preview; the book itself is refused before it.
    void anotherAddressBookIsImported_data()
    {
        QTest::addColumn<bool>("itself");
        QTest::newRow("another book") << false;
        QTest::newRow("the book itself") << true;
    }
    void anotherAddressBookIsImported()
    {
        QFETCH(bool, itself);
        Program p;
        const QString other = p.dir.filePath(QStringLiteral("family.mdb"));
        testsupport::makeDatabase(other, {{{"Surname", "Carter"}, {"Firstname", "Zoë"}, {"Birthday", "1970-01-31"}}});
        PreviewAnswer answer(true);
        answer.install();
        exchange::importFile(nullptr, *p.store, itself ? p.database : other);
        QCOMPARE(answer.shown, itself ? 0 : 1);
        QCOMPARE(p.stored(), itself ? 6 : 7);
        if (itself) {
            QCOMPARE(p.errors(), QStringList{QStringLiteral("Tovrel.mdb is the address book itself; nothing was imported.")});
        } else {
            QVERIFY(p.errors().isEmpty());
            QCOMPARE(testsupport::query(p.database,
                                        QStringLiteral("SELECT Firstname||' '||Birthday FROM HomeAd WHERE Surname='Carter'")),
                     QStringList{"Zoë 1970-01-31"});
        }
    }

    void aFailedImportLeavesTheTableAsItWas_data()
    {
        QTest::addColumn<bool>("locked");
        QTest::newRow("insert refused") << false;
        QTest::newRow("database locked") << true;
    }
    void aFailedImportLeavesTheTableAsItWas()
    {
        QFETCH(bool, locked);
        Program p;
        sqlite3* other = nullptr;
        const auto closeOther = qScopeGuard([&] { sqlite3_close(other); });
        if (locked) {
            QCOMPARE(sqlite3_open(QFile::encodeName(p.database).constData(), &other), SQLITE_OK);
            QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        } else {
            // The third contact is refused, after two were written inside the transaction.
            exec(p.database, "CREATE TRIGGER refuse BEFORE INSERT ON HomeAd WHEN NEW.Surname = 'Cole' "
                             "BEGIN SELECT RAISE(ABORT, 'refused by the test'); END;");
        }
        const QStringList before = p.column(0);
        PreviewAnswer answer(true);
        answer.install();
        exchange::importFile(nullptr, *p.store, writeFile(p.dir.filePath(QStringLiteral("c.csv")), ThreeContacts));
        const QStringList errors = p.errors();
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains(locked ? QStringLiteral("locked") : QStringLiteral("refused by the test")),
                 qPrintable(errors[0]));
        if (!locked)
            QVERIFY(errors[0].contains(QStringLiteral("Nothing was imported")));
        if (locked)
            sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        QCOMPARE(p.stored(), 6);
        QCOMPARE(p.column(0), before);
        QVERIFY(sqlite3_get_autocommit(p.store->connection.handle()));
    }

    void aCancelledImportAddsNothing()
    {
        Program p;
        QByteArray many = "Surname\n";
        for (int i = 0; i < 1000; ++i)
            many += "Name" + QByteArray::number(i) + '\n';
        exchange::Importer importer(writeFile(p.dir.filePath(QStringLiteral("m.csv")), many));
        int calls = 0;
        const exchange::ImportResult r =
            exchange::importIntoDatabase(p.store->connection.handle(), importer,
                                    exchange::OverLongChoice::Keep, [&](qint64, qint64) { return ++calls < 3; });
        QVERIFY(r.cancelled);
        QCOMPARE(r.added, 0);
        QCOMPARE(p.stored(), 6);
        QVERIFY(sqlite3_get_autocommit(p.store->connection.handle()));
    }

    void anAccessTableIsChosenThenImported()
    {
        if (testsupport::accessSample("nwind.mdb").isEmpty() || !exchange::canReadAccessFiles())
            QSKIP("no Access-format sample or no mdbtools");
        Program p;
        QStringList offered;
        QString defaultTable;
        exchange::setDialogRunner([&](QDialog& dialog) {
            if (auto* chooser = qobject_cast<TfmImportTable*>(&dialog)) {
                for (int i = 0; i < chooser->lbTables->count(); ++i)
                    offered << chooser->lbTables->item(i)->text();
                defaultTable = chooser->chosenTable();
                chooser->lbTables->setCurrentRow(int(offered.indexOf(QStringLiteral("Employees"))));
            }
            return int(QDialog::Accepted);
        });
        exchange::importFile(nullptr, *p.store, testsupport::accessSample("nwind.mdb"));
        QVERIFY2(p.errors().isEmpty(), qPrintable(p.errors().join(QLatin1Char('\n'))));
        QVERIFY(offered.contains(QStringLiteral("Employees")));
        QCOMPARE(defaultTable, offered.constFirst()); // no HomeAd table here
        QCOMPARE(p.stored(), 15);
        QCOMPARE(testsupport::query(p.database, QStringLiteral("SELECT Town FROM HomeAd WHERE Surname='Davolio'")),
                 QStringList{"Seattle"});
    }

    void accessDatabaseIsConvertedOnlyWhenTheUserAgrees_data()
    {
        QTest::addColumn<bool>("agree");
        QTest::newRow("OK") << true;
        QTest::newRow("Cancel") << false;
    }
    void accessDatabaseIsConvertedOnlyWhenTheUserAgrees()
    {
        QFETCH(bool, agree);
        if (testsupport::accessSample("nwind.mdb").isEmpty() || !exchange::canReadAccessFiles())
            QSKIP("no Access-format sample or no mdbtools");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Tovrel.mdb"));
        QVERIFY(QFile::copy(testsupport::accessSample("nwind.mdb"), path));
        const QByteArray original = digest(path);
        auto fakes = platform::installFakes();
        fakes.prompts->answers << (agree ? platform::Answer::Ok : platform::Answer::Cancel);
        QCOMPARE(exchange::offerAccessConversion(nullptr, path, QStringLiteral("Employees")), agree);
        const platform::PromptRecord& confirm = fakes.prompts->asked.constFirst();
        QCOMPARE(confirm.caption, QStringLiteral("Confirm"));
        QCOMPARE(confirm.buttons, platform::Buttons::OkCancel);
        QVERIFY2(confirm.text.contains(QStringLiteral("Convert its 9 contacts (table \"Employees\")")),
                 qPrintable(confirm.text));
        QVERIFY(confirm.text.contains(QStringLiteral("Tovrel.mdb.access")));
        if (agree) {
            QCOMPARE(fakes.prompts->asked.size(), 1);
            QCOMPARE(digest(dir.filePath(QStringLiteral("Tovrel.mdb.access"))), original);
            QVERIFY(!exchange::isAccessFile(path));
            QCOMPARE(testsupport::query(path, QStringLiteral("SELECT count(*) FROM HomeAd")), QStringList{"9"});
            QCOMPARE(testsupport::query(path, QStringLiteral("SELECT Birthday FROM HomeAd WHERE Surname='Davolio'")),
                     QStringList{"1948-12-08"});
        } else {
            QCOMPARE(fakes.prompts->asked.size(), 2);
            QVERIFY(fakes.prompts->asked[1].text.contains(QStringLiteral("Tovrel.mdb was not converted.")));
            QCOMPARE(digest(path), original);
            QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("Tovrel.mdb.access"))));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), agree ? 2 : 1); // no temporary file left
    }

    void conversionNeverOverwritesAKeptOriginal()
    {
        if (testsupport::accessSample("nwind.mdb").isEmpty() || !exchange::canReadAccessFiles())
            QSKIP("no Access-format sample or no mdbtools");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Tovrel.mdb"));
        QVERIFY(QFile::copy(testsupport::accessSample("nwind.mdb"), path));
        writeFile(exchange::accessBackupPath(path), "kept");
        QVERIFY_THROWS_EXCEPTION(platform::AppError,
                                 exchange::convertAccessDatabase(path, QStringLiteral("Employees")));
        QCOMPARE(digest(path), digest(testsupport::accessSample("nwind.mdb")));
        QCOMPARE(readBytes(exchange::accessBackupPath(path)), QByteArray("kept"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);
    }

    void aFileNamedAtStartIsOpenedForImport()
    {
        Program p;
        PreviewAnswer answer(false, QDialog::Rejected);
        answer.install();
        const QString file = writeFile(p.dir.filePath(QStringLiteral("c.csv")), ThreeContacts);
        exchange::importAfterStartUp(nullptr, *p.store, file);
        QCOMPARE(answer.shown, 0); // not before the event loop runs
        QTRY_COMPARE(answer.shown, 1);
        QCOMPARE(p.stored(), 6);
    }
};

QTEST_MAIN(TestExchangeUi)
#include "tst_exchangeui.moc"


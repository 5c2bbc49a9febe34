#include "exchange/ImportPlan.h"
#include "platform/AppError.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace exchange;

namespace {

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Three contacts: the second has a post code and a flag too long for their fields.
const QByteArray ThreeContacts = "Surname,Firstname,PostCode,Flag,Birthday,Fax\r\n"
                                 "Able,Ann,AB1 2CD,X,1970-01-31,\r\n"
                                 "Baker,Bob,ABCDEFGHIJKL,TOOLONG,--1224,01 234\r\n"
                                 "Cole,Cat,CD3 4EF,,,\r\n";

} // namespace

class TestImportPlan : public QObject
{
    Q_OBJECT
private slots:
    // Without a byte-order mark and with a name in another script at once, a UTF-16 vCard is still a vCard.
    void utf16WithoutAMarkIsRecognised()
    {
        QTemporaryDir dir;
        QStringEncoder be(QStringConverter::Utf16BE);
        const QByteArray bytes = be.encode(QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Żółw;Łucja;;;\r\n"
                                                          "FN:Łucja Żółw\r\nEND:VCARD\r\n"));
        Importer importer(writeFile(dir, QStringLiteral("apple.vcf"), bytes), {}, ReadOptions{2024});
        QCOMPARE(importer.kind(), SourceKind::VCard);
        const std::optional<ImportPlan> plan = importer.plan();
        QVERIFY(plan);
        QCOMPARE(plan->contactCount, 1);
        QCOMPARE((*plan->first)[Field::Surname], QStringLiteral("Żółw"));
        QCOMPARE(plan->source, QStringLiteral("vCard, UTF-16"));
    }

    void planShowsWhatWillHappen()
    {
        QTemporaryDir dir;
        Importer importer(writeFile(dir, QStringLiteral("c.csv"), ThreeContacts), {}, ReadOptions{2024});
        QCOMPARE(importer.kind(), SourceKind::Csv);
        const std::optional<ImportPlan> plan = importer.plan();
        QVERIFY(plan);
        QCOMPARE(plan->contactCount, 3);
        QCOMPARE(plan->toAdd(OverLongChoice::Keep), 3);
        QCOMPARE(plan->toAdd(OverLongChoice::SkipContact), 2);
        QVERIFY(plan->first);
        QCOMPARE((*plan->first)[Field::Surname], QStringLiteral("Able"));
        QCOMPARE((*plan->first)[Field::Birthday], QStringLiteral("1970-01-31"));
        QCOMPARE(plan->overLongCount, 1);
        QCOMPARE(plan->overLong.size(), 1);
        QCOMPARE(plan->overLong[0].record, 2);
        QCOMPARE(plan->overLong[0].line, 3);
        QCOMPARE(plan->overLong[0].name, QStringLiteral("Bob Baker"));
        QCOMPARE(plan->overLong[0].values, (QList<OverLongValue>{{Field::PostCode, 12, 10}, {Field::Flag, 7, 6}}));
        QCOMPARE(plan->shortenedValues, 2);
        QCOMPARE(plan->movedToNotes, 2); // the birthday without a year and the fax number
        QVERIFY(plan->skipped.isEmpty());
        QCOMPARE(plan->noticeCount, 1);
        QCOMPARE(
            plan->notices[0].toString(),
            QStringLiteral("Record 2, line 3: birthday \"--1224\" has no year; kept in Notes as \"Birthday: 24/12\"."));
    }

    void controlCharactersAreRemovedAndListed_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("name");
        QTest::newRow("vCard, NUL in the surname")
            << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Nu") + '\0' +
                   QByteArray("l;Bob\r\nFN:Bob Nul\r\nNOTE:a\\nb\tc\r\nEND:VCARD\r\n")
            << "Surname";
        QTest::newRow("CSV, escape and bell in two fields")
            << QByteArray("Surname,Firstname,Town\r\nNu\x1bl,B\x07ob,York\r\n") << "Surname, Firstname";
    }
    void controlCharactersAreRemovedAndListed()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, name);
        QTemporaryDir dir;
        const bool vcard = bytes.startsWith("BEGIN");
        Importer importer(writeFile(dir, vcard ? QStringLiteral("c.vcf") : QStringLiteral("c.csv"), bytes), {},
                          ReadOptions{2024});
        const std::optional<ImportPlan> plan = importer.plan();
        QVERIFY(plan);
        QCOMPARE((*plan->first)[Field::Surname], QStringLiteral("Nul"));
        QCOMPARE(plan->noticeCount, 1);
        QCOMPARE(plan->notices[0].text,
                 QStringLiteral("control characters removed from %1 of Bob Nul").arg(name));
        QList<Contact> added;
        importer.run(OverLongChoice::Keep, [&](const Contact& c) { added << c; });
        QCOMPARE(added.size(), 1);
        QCOMPARE(added[0][Field::Surname], QStringLiteral("Nul"));
        QCOMPARE(added[0][Field::Firstname], QStringLiteral("Bob"));
        if (vcard) // TAB and LF stay
            QCOMPARE(added[0][Field::Notes], QStringLiteral("a\nb\tc"));
    }

    void runKeepsOrSkipsOnlyAsChosen_data()
    {
        QTest::addColumn<OverLongChoice>("choice");
        QTest::newRow("keep") << OverLongChoice::Keep;
        QTest::newRow("skip") << OverLongChoice::SkipContact;
    }
    void runKeepsOrSkipsOnlyAsChosen()
    {
        QFETCH(OverLongChoice, choice);
        QTemporaryDir dir;
        Importer importer(writeFile(dir, QStringLiteral("c.csv"), ThreeContacts), {}, ReadOptions{2024});
        QVERIFY(importer.plan());
        QList<Contact> added;
        const ImportResult r = importer.run(choice, [&](const Contact& c) { added << c; });
        QVERIFY(!r.cancelled);
        if (choice == OverLongChoice::Keep) {
            QCOMPARE(r.added, 3);
            QCOMPARE(r.shortened, 1);
            QCOMPARE(r.shortenedValues, 2);
            QCOMPARE(r.movedToNotes, 2);
            QCOMPARE(added[1][Field::PostCode], QStringLiteral("ABCDEFGHIJ"));
            QCOMPARE(added[1][Field::Flag], QStringLiteral("TOOLON"));
            QCOMPARE(added[1][Field::Notes],
                     QStringLiteral("Birthday: 24/12\nFax: 01 234\nPostCode: ABCDEFGHIJKL\nFlag: TOOLONG"));
        } else {
            QCOMPARE(r.added, 2);
            QCOMPARE(r.skipped, 1);
            QCOMPARE(r.movedToNotes, 0); // those of the contact left out are not counted
            QCOMPARE(added[1][Field::Surname], QStringLiteral("Cole"));
        }
        QCOMPARE(added.size(), r.added);
        for (const Contact& c : added)
            QVERIFY(overLongValues(c).isEmpty());
    }

    void cancelling()
    {
        QTemporaryDir dir;
        QByteArray many = "Surname\n";
        for (int i = 0; i < 2000; ++i)
            many += "Name" + QByteArray::number(i) + '\n';
        Importer importer(writeFile(dir, QStringLiteral("m.csv"), many));
        int calls = 0;
        QCOMPARE(importer.plan([&](qint64, qint64) { return ++calls < 2; }), std::nullopt);
        qint64 lastDone = 0, lastTotal = 0;
        QVERIFY(importer.plan([&](qint64 done, qint64 total) {
            lastDone = done;
            lastTotal = total;
            return true;
        }));
        QCOMPARE(lastDone, qint64(many.size()));
        QCOMPARE(lastTotal, qint64(many.size()));
        int added = 0;
        const ImportResult r = importer.run(
            OverLongChoice::Keep, [&](const Contact&) { ++added; }, [](qint64 done, qint64) { return done < 4000; });
        QVERIFY(r.cancelled);
        QCOMPARE(r.added, added);
        QVERIFY(added < 2000);
    }

    void aFileChangedSinceThePreviewIsRefused()
    {
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("c.csv"), ThreeContacts);
        Importer importer(path);
        QVERIFY(importer.plan());
        writeFile(dir, QStringLiteral("c.csv"), ThreeContacts + "Dent,Dan,,,,\r\n");
        int added = 0;
        QVERIFY_THROWS_EXCEPTION(platform::AppError,
                                 importer.run(OverLongChoice::Keep, [&](const Contact&) { ++added; }));
        QCOMPARE(added, 0);
    }

    void aFailingStoreStopsTheImport()
    {
        QTemporaryDir dir;
        Importer importer(writeFile(dir, QStringLiteral("c.csv"), ThreeContacts));
        int added = 0;
        QVERIFY_THROWS_EXCEPTION(platform::AppError, importer.run(OverLongChoice::Keep, [&](const Contact&) {
            if (++added == 2)
                throw platform::AppError(QStringLiteral("disk I/O error"));
        }));
        QCOMPARE(added, 2);
    }

    void theKindOfFileIsSeenFromItsContent_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<SourceKind>("kind");
        const QString card = QStringLiteral("\r\n\r\nbegin:vcard\r\nVERSION:3.0\r\nN:A;;;;\r\nEND:VCARD\r\n");
        QStringEncoder le(QStringConverter::Utf16LE);
        QTest::newRow("vCard named .csv") << QStringLiteral("x.csv") << card.toUtf8() << SourceKind::VCard;
        QTest::newRow("UTF-16 vCard") << QStringLiteral("x.vcf") << QByteArray("\xFF\xFE" + QByteArray(le.encode(card)))
                                      << SourceKind::VCard;
        QTest::newRow("CSV named .vcf") << QStringLiteral("x.vcf") << QByteArray("Surname\nA\n") << SourceKind::Csv;
    }
    void theKindOfFileIsSeenFromItsContent()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(SourceKind, kind);
        QTemporaryDir dir;
        const QString path = writeFile(dir, name, bytes);
        QCOMPARE(detectSourceKind(path), kind);
        Importer importer(path);
        const auto plan = importer.plan();
        QVERIFY(plan);
        QCOMPARE(plan->contactCount, 1);
    }
};

QTEST_GUILESS_MAIN(TestImportPlan)
#include "tst_importplan.moc"

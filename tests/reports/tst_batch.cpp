// Reports from the command line: the program writes the PDF without a window, or says on standard error why not.
#include "PreviewTestUtil.h"

#include "support/TestDb.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

struct Outcome
{
    int exitCode = -1;
    QString errors;
};

Outcome tovrel(const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // No display and no platform chosen: the batch command needs neither.
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    // As from cron, over ssh or as root: no runtime folder either.
    environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TOVREL_BINARY), arguments);
    if (!process.waitForFinished(120000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardError())};
}

testsupport::Contact person(const QString& surname, const QString& town)
{
    return {{QStringLiteral("Surname"), surname}, {QStringLiteral("Town"), town}};
}

} // namespace

class TestBatch : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_folder;
    QString m_longFolder;

private slots:
    void initTestCase()
    {
        if (!previewtest::hasPoppler())
            QSKIP("pdfinfo and pdftotext (poppler-utils) are not installed");
        m_folder = m_dir.filePath(QStringLiteral("contacts"));
        QVERIFY(QDir().mkpath(m_folder));
        // Two pages' worth: 60 rows under one initial, then two more people, unsorted in the table.
        QList<testsupport::Contact> contacts{person(QStringLiteral("Zeller"), QStringLiteral("Bath")),
                                             person(QStringLiteral("Adams"), QStringLiteral("Bath"))};
        for (int i = 1; i <= 60; ++i)
            contacts << person(QStringLiteral("Moss%1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("Leeds"));
        testsupport::makeDatabase(m_folder + QStringLiteral("/Tovrel.mdb"), contacts);
        // A name too long for a label or the phone list's column, beside a short one.
        m_longFolder = m_dir.filePath(QStringLiteral("long"));
        QVERIFY(QDir().mkpath(m_longFolder));
        testsupport::makeDatabase(m_longFolder + QStringLiteral("/Tovrel.mdb"),
                                  {person(QStringLiteral("Featherstonehaugh-Cholmondeley-Fiennes"), QStringLiteral("York")),
                                   person(QStringLiteral("Moss"), QStringLiteral("York"))});
    }

    void phoneList()
    {
        const QString pdf = m_dir.filePath(QStringLiteral("all.pdf"));
        const Outcome out = tovrel({"--folder", m_folder, "--report", "phone-list", "--pdf", pdf});
        QVERIFY2(out.errors.isEmpty(), qPrintable(out.errors)); // nothing on standard error when it works
        QCOMPARE(out.exitCode, 0);
        QCOMPARE(previewtest::pdfPages(pdf), 2);
        // All contacts by surname, as at start-up.
        const QString text = previewtest::pdfText(pdf);
        QVERIFY(text.indexOf(QStringLiteral("Adams")) < text.indexOf(QStringLiteral("Moss01")));
        QVERIFY(text.indexOf(QStringLiteral("Moss60")) < text.indexOf(QStringLiteral("Zeller")));
    }

    // Sheets from the catalogue by name, started part-way; envelopes one to a contact.
    void stocksAndEnvelopes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("pages");
        QTest::newRow("65 to a sheet from label 64") << QStringList{"--report", "labels", "--stock", "l7651", "--start", "64"} << 2;
        QTest::newRow("US Letter") << QStringList{"--report", "labels", "--stock", "5160"} << 3;
        QTest::newRow("envelopes") << QStringList{"--report", "envelopes", "--envelope", "DL"} << 62;
    }

    void stocksAndEnvelopes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, pages);
        const QString pdf = m_dir.filePath(QStringLiteral("stock.pdf"));
        const Outcome out = tovrel(QStringList{"--folder", m_folder, "--pdf", pdf} + arguments);
        QVERIFY2(!out.errors.contains(QStringLiteral("tovrel:")), qPrintable(out.errors));
        QCOMPARE(out.exitCode, 0);
        QCOMPARE(previewtest::pdfPages(pdf), pages);
        QVERIFY(previewtest::pdfText(pdf).contains(QStringLiteral("Zeller")));
    }

    void search_data()
    {
        QTest::addColumn<QStringList>("search");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QStringList>("absent");
        QTest::newRow("word") << QStringList{"--search", "Town", "bath"} << QStringList{"Adams", "Zeller"}
                              << QStringList{"Moss01"};
        QTest::newRow("not") << QStringList{"--search", "Town", "bath", "--not"} << QStringList{"Moss01", "Moss60"}
                             << QStringList{"Adams", "Zeller"};
        // Nobody has a flag: nobody's flag holds "x".
        QTest::newRow("not, no value") << QStringList{"--search", "Flag", "x", "--not"}
                                       << QStringList{"Adams", "Moss01", "Zeller"} << QStringList{};
        QTest::newRow("field in any case")
            << QStringList{"--search", "surname", "ZELL"} << QStringList{"Zeller"} << QStringList{"Adams", "Moss01"};
    }

    void search()
    {
        QFETCH(QStringList, search);
        QFETCH(QStringList, present);
        QFETCH(QStringList, absent);
        const QString pdf = m_dir.filePath(QStringLiteral("search.pdf"));
        const Outcome out = tovrel(QStringList{"--report", "phone-list", "--pdf", pdf, "--folder", m_folder} + search);
        QVERIFY2(out.errors.isEmpty(), qPrintable(out.errors)); // nothing on standard error when it works
        QCOMPARE(out.exitCode, 0);
        const QString text = previewtest::pdfText(pdf);
        for (const QString& name : present)
            QVERIFY2(text.contains(name), qPrintable(name));
        for (const QString& name : absent)
            QVERIFY2(!text.contains(name), qPrintable(name));
    }

    // A run that had to make values smaller or cut them says how many on standard error, and still succeeds.
    void shortenedValuesAreCounted_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("surname");
        QTest::addColumn<QString>("notice");
        QTest::newRow("labels") << "labels-21" << "Feather" << "1 value shortened to fit\n";
        QTest::newRow("phone list") << "phone-list" << "Feather" << "1 value shortened to fit\n";
        QTest::newRow("nothing too long") << "labels-21" << "Moss" << "";
    }
    void shortenedValuesAreCounted()
    {
        QFETCH(QString, report);
        QFETCH(QString, surname);
        QFETCH(QString, notice);
        const QString pdf = m_dir.filePath(QStringLiteral("shortened.pdf"));
        const Outcome out =
            tovrel({"--folder", m_longFolder, "--report", report, "--pdf", pdf, "--search", "Surname", surname});
        QCOMPARE(out.exitCode, 0);
        QCOMPARE(out.errors, notice);
        QVERIFY(previewtest::pdfText(pdf).contains(surname));
    }

    // Every report says the same for an empty selection, and writes nothing.
    void emptySelection_data()
    {
        QTest::addColumn<QString>("report");
        for (const char* report : {"phone-list", "labels-21", "labels-16", "labels-14", "filofax", "diary", "letters"})
            QTest::newRow(report) << QString::fromLatin1(report);
    }
    void emptySelection()
    {
        QFETCH(QString, report);
        const QString letter = m_dir.filePath(QStringLiteral("letter.txt"));
        QFile file(letter);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Dear friends, we have moved.");
        file.close();
        const QString pdf = m_dir.filePath(QStringLiteral("empty.pdf"));
        QStringList args{"--folder", m_folder, "--report", report, "--pdf", pdf, "--search", "Town", "Paris"};
        if (report == QLatin1String("letters"))
            args << "--letter" << letter;
        const Outcome out = tovrel(args);
        QCOMPARE(out.exitCode, 1);
        QCOMPARE(out.errors, QStringLiteral("tovrel: The report has no pages: the selection is empty\n"));
        QVERIFY(!QFileInfo::exists(pdf));
    }

    void errors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown report") << QStringList{"--report", "phonelist", "--pdf", "@PDF@"} << 1
                                        << "unknown report \"phonelist\"; the reports are: ";
        QTest::newRow("no --pdf") << QStringList{"--report", "phone-list"} << 2 << "--pdf FILE is missing";
        QTest::newRow("--not alone") << QStringList{"--report", "phone-list", "--pdf", "@PDF@", "--not"} << 2
                                     << "--not goes with --search";
        QTest::newRow("unknown option") << QStringList{"--report", "phone-list", "--pdf", "@PDF@", "--bogus"} << 2
                                        << "unknown option --bogus";
        QTest::newRow("unknown field") << QStringList{"--report", "phone-list", "--pdf", "@PDF@",
                                                      "--search", "Shoe",       "x"}
                                       << 1 << "unknown field \"Shoe\"";
        QTest::newRow("unwritable file") << QStringList{"--report", "phone-list", "--pdf",
                                                        "@DIR@/no/such/folder/out.pdf"}
                                         << 1 << "Cannot write";
        QTest::newRow("missing database")
            << QStringList{"--report", "phone-list", "--pdf", "@PDF@", "--folder", "@DIR@"} << 1
            << "Could not open the database";
        QTest::newRow("unknown stock") << QStringList{"--report", "labels", "--pdf", "@PDF@", "--stock", "L9999"} << 1
                                       << "unknown stock \"L9999\"; the stocks are: L7159, L7160, L7161";
        QTest::newRow("no stock") << QStringList{"--report", "labels", "--pdf", "@PDF@"} << 1
                                  << "--stock NAME is missing; the stocks are: L7159";
        QTest::newRow("start beyond the sheet")
            << QStringList{"--report", "labels", "--pdf", "@PDF@", "--stock", "L7160", "--start", "22"} << 1
            << "--start 22: the stock L7160 has labels 1 to 21";
        QTest::newRow("unknown envelope")
            << QStringList{"--report", "envelopes", "--pdf", "@PDF@", "--envelope", "C4"} << 1
            << "unknown envelope \"C4\"; the envelopes are: DL, C5, C6, 10";
        QTest::newRow("missing folder")
            << QStringList{"--report", "phone-list", "--pdf", "@PDF@", "--folder", "@DIR@/not there"} << 1
            << "does not exist";
        QTest::newRow("nobody selected") << QStringList{"--report", "phone-list", "--pdf", "@PDF@",
                                                        "--search", "Town",       "Paris"}
                                         << 1 << "no pages";
    }

    void errors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QTemporaryDir empty;
        const QString pdf = m_dir.filePath(QStringLiteral("failed.pdf"));
        QStringList args{"--folder", m_folder};
        for (QString a : arguments)
            args << a.replace(QStringLiteral("@PDF@"), pdf).replace(QStringLiteral("@DIR@"), empty.path());
        const Outcome out = tovrel(args);
        QCOMPARE(out.exitCode, exitCode);
        QVERIFY2(out.errors.contains(message), qPrintable(out.errors));
        QVERIFY(!QFileInfo::exists(pdf));
    }
};

QTEST_GUILESS_MAIN(TestBatch)
#include "tst_batch.moc"

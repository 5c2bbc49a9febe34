// Merged letters from the command line: one PDF page per selected contact with the letter file as the body.
#include "reports/PreviewTestUtil.h"

#include "support/TestDb.h"

#include <QFile>
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
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("DISPLAY"));
    // A runtime folder of its own, so Qt has nothing to warn about on standard error.
    static QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TOVREL_BINARY), arguments);
    if (!process.waitForFinished(120000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardError())};
}

testsupport::Contact person(const QString& first, const QString& surname, const QString& town)
{
    return {{QStringLiteral("Firstname"), first}, {QStringLiteral("Surname"), surname}, {QStringLiteral("Town"), town}};
}

QString wordProcessorLetter()
{
    return QStringLiteral(TOVREL_TEST_DATA "/rtf/libreoffice-letter.rtf");
}

} // namespace

class TestLetterBatch : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_folder;
    QString m_plainLetter;

    QString pdf() const { return m_dir.filePath(QStringLiteral("letters.pdf")); }

private slots:
    void initTestCase()
    {
        if (!previewtest::hasPoppler())
            QSKIP("pdfinfo and pdftotext (poppler-utils) are not installed");
        m_folder = m_dir.filePath(QStringLiteral("contacts"));
        QVERIFY(QDir().mkpath(m_folder));
        testsupport::makeDatabase(m_folder + QStringLiteral("/Tovrel.mdb"),
                                  {person("Zoë", "Łukasz", "Bath"), person("Ann", "Adams", "Leeds"),
                                   person("Bob", "Cox", "Bath")});
        // Plain text, whatever the name says: read as the editor reads it, one paragraph per line.
        m_plainLetter = m_dir.filePath(QStringLiteral("plain.rtf"));
        QFile file(m_plainLetter);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("We are opening a new shop.\r\nCome and see us.\r\n");
    }

    void cleanup() { QFile::remove(pdf()); }

    // Every contact by surname gets a page with "Dear" and the name, and the whole letter below.
    void wordProcessorLetterForEveryone()
    {
        const Outcome out =
            tovrel({"--folder", m_folder, "--report", "letters", "--letter", wordProcessorLetter(), "--pdf", pdf()});
        QVERIFY2(out.errors.isEmpty(), qPrintable(out.errors));
        QCOMPARE(out.exitCode, 0);
        QCOMPARE(previewtest::pdfPages(pdf()), 3);
        const QStringList pages = previewtest::pdfText(pdf()).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
        QCOMPARE(pages.size(), 3);
        const QStringList names{"Ann Adams,", "Bob Cox,", "Zoë Łukasz,"};
        for (int i = 0; i < 3; ++i) {
            const QRegularExpression salutation(QStringLiteral("Dear\\s+") + QRegularExpression::escape(names[i]));
            QVERIFY2(salutation.match(pages[i]).hasMatch(), qPrintable(pages[i]));
            QVERIFY2(pages[i].contains(QStringLiteral("Centred Heading")), qPrintable(pages[i]));
            QVERIFY(pages[i].contains(QStringLiteral("Zoë Łukasz naïve €")));
        }
    }

    // Merge fields take each contact's values; a name that is no field prints as written and is reported.
    void mergeFields()
    {
        const QString letter = m_dir.filePath(QStringLiteral("fields.rtf"));
        QFile file(letter);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(R"({\rtf1 Dear {\field{\*\fldinst MERGEFIELD Firstname}{\fldrslt x}} of )"
                   R"({\field{\*\fldinst MERGEFIELD Town}}, {\field{\*\fldinst MERGEFIELD Nickname}}\par})");
        file.close();
        const Outcome out = tovrel({"--folder", m_folder, "--report", "letters", "--letter", letter, "--pdf", pdf()});
        QCOMPARE(out.exitCode, 0);
        QCOMPARE(out.errors.trimmed(), QStringLiteral("Unknown merge fields: Nickname"));
        const QStringList pages = previewtest::pdfText(pdf()).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
        QCOMPARE(pages.size(), 3);
        QVERIFY2(pages[0].contains(QStringLiteral("Dear Ann of Leeds, \u00ABNickname\u00BB")), qPrintable(pages[0]));
        QVERIFY2(pages[2].contains(QStringLiteral("Dear Zoë of Bath")), qPrintable(pages[2]));
    }

    // Links to web pages and mail addresses stay links in the PDF; any other kind prints as plain text.
    void onlyWebAndMailLinksReachThePdf()
    {
        const QString letter = m_dir.filePath(QStringLiteral("links.rtf"));
        QFile file(letter);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(R"x({\rtf1 {\field{\*\fldinst HYPERLINK "https://example.org/shop"}{\fldrslt Shop}} )x"
                   R"x({\field{\*\fldinst HYPERLINK "mailto:ann@example.org"}{\fldrslt Mail}} )x"
                   R"x({\field{\*\fldinst HYPERLINK "javascript:app.alert(1)"}{\fldrslt Script}} )x"
                   R"x({\field{\*\fldinst HYPERLINK "file:///etc/passwd"}{\fldrslt Local}} )x"
                   R"x({\field{\*\fldinst HYPERLINK "JavaScript:alert(2)"}{\fldrslt Shout}}\par})x");
        file.close();
        const Outcome out = tovrel({"--folder", m_folder, "--report", "letters", "--letter", letter, "--pdf", pdf()});
        QCOMPARE(out.exitCode, 0);
        QFile written(pdf());
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray bytes = written.readAll();
        QVERIFY(bytes.contains("https://example.org/shop"));
        QVERIFY(bytes.contains("mailto:ann@example.org"));
        QVERIFY(!bytes.contains("javascript") && !bytes.contains("JavaScript"));
        QVERIFY(!bytes.contains("file:"));
        const QString text = previewtest::pdfText(pdf());
        for (const char* shown : {"Shop", "Mail", "Script", "Local", "Shout"})
            QVERIFY2(text.contains(QLatin1String(shown)), shown);
    }

    // The search narrows the letters as the search dialog would (nobody found: see the batch tests).
    void search_data()
    {
        QTest::addColumn<QStringList>("search");
        QTest::addColumn<int>("pages");
        QTest::newRow("Bath") << QStringList{"--search", "Town", "bath"} << 2;
        QTest::newRow("not Bath") << QStringList{"--search", "Town", "bath", "--not"} << 1;
    }
    void search()
    {
        QFETCH(QStringList, search);
        QFETCH(int, pages);
        const Outcome out = tovrel(
            QStringList{"--folder", m_folder, "--report", "letters", "--letter", m_plainLetter, "--pdf", pdf()} +
            search);
        QVERIFY2(out.errors.isEmpty(), qPrintable(out.errors));
        QCOMPARE(previewtest::pdfPages(pdf()), pages);
        QVERIFY(previewtest::pdfText(pdf()).contains(QStringLiteral("Come and see us.")));
    }

    // The head of the letter takes the font given; the body keeps its own.
    void fontOption()
    {
        const QStringList letters{"--folder", m_folder, "--report", "letters", "--letter", m_plainLetter};
        QCOMPARE(tovrel(letters + QStringList{"--pdf", pdf()}).exitCode, 0);
        const QString plainFonts = previewtest::run(QStringLiteral("pdffonts"), {pdf()});
        QCOMPARE(tovrel(letters + QStringList{"--font", "Times New Roman,14,bold", "--pdf", pdf()}).exitCode, 0);
        const QString chosenFonts = previewtest::run(QStringLiteral("pdffonts"), {pdf()});
        QVERIFY2(!plainFonts.contains(QStringLiteral("Serif-Bold")), qPrintable(plainFonts));
        QVERIFY2(chosenFonts.contains(QStringLiteral("Serif-Bold")), qPrintable(chosenFonts));
    }

    void errors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("status"); // 2: a malformed command line
        QTest::newRow("no letter") << QStringList{} << "--letter FILE is missing" << 1;
        QTest::newRow("letter not there") << QStringList{"--letter", "@DIR@/none.rtf"} << "Cannot open file" << 1;
        QTest::newRow("bad font") << QStringList{"--letter", "@PLAIN@", "--font", "Arial"}
                                  << "is not of the form FAMILY,SIZE" << 1;
        QTest::newRow("unknown option") << QStringList{"--letter", "@PLAIN@", "--colour", "red"}
                                        << "unknown option --colour" << 2;
    }
    void errors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QFETCH(int, status);
        QStringList args{"--folder", m_folder, "--report", "letters", "--pdf", pdf()};
        for (QString a : arguments)
            args << a.replace(QStringLiteral("@DIR@"), m_dir.path()).replace(QStringLiteral("@PLAIN@"), m_plainLetter);
        const Outcome out = tovrel(args);
        QCOMPARE(out.exitCode, status);
        QVERIFY2(out.errors.contains(message), qPrintable(out.errors));
        QVERIFY(!QFileInfo::exists(pdf()));
    }
};

QTEST_GUILESS_MAIN(TestLetterBatch)
#include "tst_letterbatch.moc"

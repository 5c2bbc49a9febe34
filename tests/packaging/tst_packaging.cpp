// What the package relies on: the version the program reports, and desktop files the desktop accepts.
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QXmlStreamReader>

namespace {
const QString Packaging = QStringLiteral(TOVREL_TEST_DATA "/../../packaging/");

struct Run
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Run run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    Run r;
    if (!process.waitForFinished(60000))
        return r;
    r.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.out = process.readAllStandardOutput();
    r.err = process.readAllStandardError();
    return r;
}
} // namespace

class TestPackaging : public QObject
{
    Q_OBJECT
private slots:
    void versionIsTheProjects()
    {
        const Run r = run(QStringLiteral(TOVREL_BINARY), {QStringLiteral("--version")});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QByteArray("tovrel " TOVREL_VERSION "\n"));
        QVERIFY(r.err.isEmpty());
    }

    // The metainfo's newest release is the version being built, so software centres show the right one.
    void metainfoNamesThisRelease()
    {
        QFile file(Packaging + QStringLiteral("io.tovrel.Tovrel.metainfo.xml"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QString first;
        while (!xml.atEnd() && first.isEmpty())
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("release"))
                first = xml.attributes().value(QLatin1String("version")).toString();
        QVERIFY(!xml.hasError());
        QCOMPARE(first, QStringLiteral(TOVREL_VERSION));
    }

    void validates_data()
    {
        QTest::addColumn<QString>("validator");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("desktop entry") << QStringLiteral("desktop-file-validate")
                                       << QStringList{Packaging + QStringLiteral("tovrel.desktop")};
        QTest::newRow("metainfo") << QStringLiteral("appstreamcli")
                                  << QStringList{QStringLiteral("validate"), QStringLiteral("--no-net"),
                                                 Packaging + QStringLiteral("io.tovrel.Tovrel.metainfo.xml")};
    }
    void validates()
    {
        QFETCH(QString, validator);
        QFETCH(QStringList, arguments);
        const QString program = QStandardPaths::findExecutable(validator);
        if (program.isEmpty())
            QSKIP(qPrintable(validator + QStringLiteral(" is not installed")));
        const Run r = run(program, arguments);
        QVERIFY2(r.status == 0, (r.out + r.err).constData());
    }

    void desktopEntryNamesItsIcon()
    {
        QFile file(Packaging + QStringLiteral("tovrel.desktop"));
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        const QByteArray entry = file.readAll();
        QVERIFY(entry.contains("\nIcon=tovrel\n"));
        QVERIFY(QFile::exists(Packaging + QStringLiteral("tovrel.svg")));
    }
};

QTEST_GUILESS_MAIN(TestPackaging)
#include "tst_packaging.moc"

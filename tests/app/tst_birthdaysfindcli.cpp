// --find, --report birthdays and --export FILE.ics, run as the program itself without a window.
#include "support/Program.h"
#include "support/TestDb.h"
#include "support/Python.h"
#include "support/TestFiles.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using testsupport::Contact;

using testsupport::Run;
using testsupport::tovrel;

namespace {

Contact contact(const char* surname, const char* first, const char* town, const char* tel, const char* birthday,
                const char* notes = "")
{
    return Contact{{QStringLiteral("Surname"), QString::fromUtf8(surname)},
                   {QStringLiteral("Firstname"), QString::fromUtf8(first)},
                   {QStringLiteral("Town"), QString::fromUtf8(town)},
                   {QStringLiteral("Tel"), QString::fromUtf8(tel)},
                   {QStringLiteral("Birthday"), QString::fromUtf8(birthday)},
                   {QStringLiteral("Notes"), QString::fromUtf8(notes)}};
}

} // namespace

class TestBirthdaysFindCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_database;

    QString file(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void init()
    {
        m_database = file(QStringLiteral("Tovrel.mdb"));
        testsupport::makeDatabase(
            m_database,
            {contact("Brown", "Alice", "Leeds", "(01632) 960-101", "1970-05-04"),
             contact("ZOË", "Dana", "Dover", "", "2000-02-29"),
             contact("Adams", "Carol", "Bath", "", "", "Likes tea\nBirthday: 24/12"),
             contact("Adams", "Bob", "York", "020 7946 0000", "")});
    }

    void findSelectsForExport_data()
    {
        QTest::addColumn<QString>("words");
        QTest::addColumn<QStringList>("firstnames");
        QTest::newRow("words in two fields") << "adams york" << QStringList{"Bob"};
        QTest::newRow("accents and case aside") << "zoe" << QStringList{"Dana"};
        QTest::newRow("phone digits") << "01632960" << QStringList{"Alice"};
        QTest::newRow("one word, several contacts") << "ADAMS" << QStringList{"Bob", "Carol"};
    }
    void findSelectsForExport()
    {
        QFETCH(QString, words);
        QFETCH(QStringList, firstnames);
        const QString vcf = file(QStringLiteral("found.vcf"));
        const Run r = tovrel({"--export", vcf, "--find", words, "--folder", m_dir.path()});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QStringList got;
        for (const QString& line : QString::fromUtf8(testsupport::readBytes(vcf)).split(QStringLiteral("\r\n")))
            if (line.startsWith(QStringLiteral("N:")))
                got << line.section(QLatin1Char(';'), 1, 1);
        got.sort();
        QCOMPARE(got, firstnames);
    }

    void birthdaysReportByMonthAndDayWithAge()
    {
        const QString pdf = file(QStringLiteral("birthdays.pdf"));
        const Run r = tovrel({"--report", "birthdays", "--pdf", pdf, "--folder", m_dir.path()});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        if (!text.waitForStarted())
            QSKIP("pdftotext is not installed");
        QVERIFY(text.waitForFinished(60000));
        const QString page = QString::fromUtf8(text.readAllStandardOutput());
        const int year = QDate::currentDate().year();
        const qsizetype dana = page.indexOf(QStringLiteral("Dana ZO"));
        const qsizetype alice = page.indexOf(QStringLiteral("Alice Brown"));
        const qsizetype carol = page.indexOf(QStringLiteral("Carol Adams"));
        QVERIFY2(dana >= 0 && dana < alice && alice < carol, qPrintable(page));
        QVERIFY(!page.contains(QStringLiteral("Bob")));
        QVERIFY(page.contains(QStringLiteral("4 May")));
        QVERIFY(page.section(QStringLiteral("Alice Brown"), 1).section(QLatin1Char('\n'), 0, 0)
                    .contains(QString::number(year - 1970)));
        // The day without a year has no age (and Carol no telephone): nothing but the name on its line.
        const QString carolLine = page.mid(carol).section(QLatin1Char('\n'), 0, 0);
        QVERIFY2(!carolLine.contains(QRegularExpression(QStringLiteral("\\d"))), qPrintable(carolLine));
    }

    // Another program's iCalendar parser (Debian's python3-icalendar) reads the events back.
    void calendarReadBackByAnotherParser()
    {
        const QString python = testsupport::python();
        if (QProcess::execute(python, {QStringLiteral("-c"), QStringLiteral("import icalendar")}) != 0)
            QSKIP("python3-icalendar is not installed");
        const QString ics = file(QStringLiteral("birthdays.ics"));
        const Run r = tovrel({"--export", ics, "--folder", m_dir.path()});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QCOMPARE(r.out, QStringLiteral("3 birthdays exported to %1\n").arg(ics));
        static const char* const script = R"(
import json, sys, icalendar
cal = icalendar.Calendar.from_ical(open(sys.argv[1], 'rb').read())
out = {}
for e in cal.walk('VEVENT'):
    start = e.decoded('DTSTART')
    out[str(e['SUMMARY'])] = {
        'uid': str(e['UID']), 'start': start.isoformat(), 'allday': not hasattr(start, 'hour'),
        'rrule': {k: [str(x) for x in v] for k, v in e['RRULE'].items()},
        'omit': e['DTSTART'].params.get('X-APPLE-OMIT-YEAR', ''),
    }
print(json.dumps(out))
)";
        auto readBack = [&] {
            QProcess process;
            process.start(python, {QStringLiteral("-c"), QString::fromUtf8(script), ics});
            process.waitForFinished(60000);
            if (process.exitCode() != 0)
                qWarning("%s", process.readAllStandardError().constData());
            return QJsonDocument::fromJson(process.readAllStandardOutput()).object();
        };
        const QJsonObject events = readBack();
        QCOMPARE(events.size(), 3);
        const QJsonObject alice = events[QStringLiteral("Birthday: Alice Brown")].toObject();
        QCOMPARE(alice[QStringLiteral("start")].toString(), QStringLiteral("1970-05-04"));
        QVERIFY(alice[QStringLiteral("allday")].toBool());
        QCOMPARE(alice[QStringLiteral("rrule")].toObject()[QStringLiteral("FREQ")].toArray().first().toString(),
                 QStringLiteral("YEARLY"));
        // 29 February: kept on the last day of February in the other years.
        const QJsonObject dana = events[QString::fromUtf8("Birthday: Dana ZOË")].toObject();
        QCOMPARE(dana[QStringLiteral("start")].toString(), QStringLiteral("2000-02-29"));
        QCOMPARE(dana[QStringLiteral("rrule")].toObject()[QStringLiteral("BYMONTHDAY")].toArray().first().toString(),
                 QStringLiteral("-1"));
        // No year: the year calendars read as none.
        const QJsonObject carol = events[QStringLiteral("Birthday: Carol Adams")].toObject();
        QCOMPARE(carol[QStringLiteral("start")].toString(), QStringLiteral("1604-12-24"));
        QCOMPARE(carol[QStringLiteral("omit")].toString(), QStringLiteral("1604"));

        // Written again, each contact keeps its UID.
        QCOMPARE(tovrel({"--export", ics, "--folder", m_dir.path()}).status, 0);
        const QJsonObject again = readBack();
        QStringList uids;
        for (const QString& name : events.keys()) {
            QCOMPARE(again[name].toObject()[QStringLiteral("uid")], events[name].toObject()[QStringLiteral("uid")]);
            uids << events[name].toObject()[QStringLiteral("uid")].toString();
        }
        uids.removeDuplicates();
        QCOMPARE(uids.size(), 3);
    }
};

QTEST_GUILESS_MAIN(TestBirthdaysFindCli)
#include "tst_birthdaysfindcli.moc"

#include "exchange/ContactWriter.h"
#include "exchange/CsvReader.h"
#include "exchange/CsvWriter.h"
#include "exchange/VCardReader.h"
#include "exchange/VCardWriter.h"
#include "platform/AppError.h"
#include "support/TestFiles.h"
#include "support/Python.h"
#include "support/FailingWrite.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace exchange;

namespace {

Contact fullContact()
{
    Contact c;
    c[Field::Surname] = QStringLiteral("O'Brien-Łukasiewicz");
    c[Field::Midname] = QStringLiteral("Anne");
    c[Field::Firstname] = QStringLiteral("Zoë");
    c[Field::Address1] = QStringLiteral("Flat 2; Rose Court");
    c[Field::Address2] = QStringLiteral("12, High Street");
    c[Field::A3_Village] = QStringLiteral("Little Snoring");
    c[Field::Town] = QStringLiteral("Fakenham");
    c[Field::County] = QStringLiteral("Norfolk");
    c[Field::PostCode] = QStringLiteral("NR21 0AA");
    c[Field::Country] = QStringLiteral("United Kingdom");
    c[Field::Tel] = QStringLiteral("01328 123456");
    c[Field::Cell] = QStringLiteral("07700 900123");
    c[Field::Email] = QStringLiteral("zoe@example.org");
    c[Field::Birthday] = QStringLiteral("1970-02-28");
    c[Field::Notes] = QStringLiteral("Line one, with comma\nLine two; \"quoted\" \\ backslash\n\nAfter a blank line");
    c[Field::Workplace] = QStringLiteral("Smith & Sons; Ltd");
    c[Field::WorkTel] = QStringLiteral("01603 000111");
    c[Field::Flag] = QStringLiteral("XMAS");
    c[Field::Flag2] = QStringLiteral("€uro");
    return c;
}

QByteArray write(ExportFormat format, const QList<Contact>& contacts)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        const auto writer = makeWriter(format, buffer);
        for (const Contact& c : contacts)
            writer->write(c);
    }
    return buffer.data();
}

QList<Contact> readBack(ExportFormat format, const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    std::unique_ptr<ContactReader> reader;
    if (format == ExportFormat::Csv)
        reader = std::make_unique<CsvReader>(buffer, ReadOptions{2024});
    else
        reader = std::make_unique<VCardReader>(buffer, ReadOptions{2024});
    QList<Contact> out;
    ReadContact rc;
    while (reader->next(rc))
        out << rc.contact;
    if (reader->log().noticeCount() > 0)
        qWarning("%s", qPrintable(reader->log().notices().first().toString()));
    return out;
}

// A device whose writes fail after a number of bytes, as on a full disk.
class FailingDevice : public QIODevice
{
public:
    explicit FailingDevice(qint64 room) : m_room(room) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 len) override
    {
        if (len > m_room) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        m_room -= len;
        return len;
    }

private:
    qint64 m_room;
};

} // namespace

class TestExport : public QObject
{
    Q_OBJECT
private slots:
    void vcard30IsWrittenAsExpected()
    {
        const QByteArray out = write(ExportFormat::VCard30, {fullContact()});
        const QByteArray expected =
            "BEGIN:VCARD\r\n"
            "VERSION:3.0\r\n"
            "FN:Zoë Anne O'Brien-Łukasiewicz\r\n"
            "N:O'Brien-Łukasiewicz;Zoë;Anne;;\r\n"
            "ADR;TYPE=HOME:;Little Snoring;Flat 2\\; Rose Court\\n12\\, High Street;Fakenha\r\n"
            " m;Norfolk;NR21 0AA;United Kingdom\r\n"
            "TEL;TYPE=HOME,VOICE:01328 123456\r\n"
            "TEL;TYPE=CELL:07700 900123\r\n"
            "TEL;TYPE=WORK,VOICE:01603 000111\r\n"
            "EMAIL;TYPE=INTERNET:zoe@example.org\r\n"
            "BDAY:1970-02-28\r\n"
            "ORG:Smith & Sons\\; Ltd\r\n"
            "CATEGORIES:XMAS,€uro\r\n"
            "NOTE:Line one\\, with comma\\nLine two\\; \"quoted\" \\\\ backslash\\n\\nAfter a bla\r\n"
            " nk line\r\n"
            "END:VCARD\r\n";
        QCOMPARE(out, expected);
    }

    void vcard40UsesItsOwnForms()
    {
        const QByteArray out = write(ExportFormat::VCard40, {fullContact()});
        QVERIFY(out.startsWith("BEGIN:VCARD\r\nVERSION:4.0\r\n"));
        QVERIFY(out.contains("\r\nBDAY:19700228\r\n"));
        QVERIFY(out.contains("\r\nTEL;TYPE=cell:07700 900123\r\n"));
        QVERIFY(out.contains("\r\nEMAIL:zoe@example.org\r\n"));
        QVERIFY(out.contains("\r\nADR;TYPE=home:;Little Snoring;"));
    }

    void emptyFieldsAreLeftOut()
    {
        Contact c;
        c[Field::Surname] = QStringLiteral("Smith");
        c[Field::Flag2] = QStringLiteral("B");
        const QByteArray out = write(ExportFormat::VCard40, {c});
        QCOMPARE(out, QByteArray("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Smith\r\nN:Smith;;;;\r\nCATEGORIES:,B\r\n"
                                 "END:VCARD\r\n"));
    }

    void folding_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("ascii") << QString(200, QLatin1Char('a'));
        QTest::newRow("two-byte characters") << QString(150, QChar(0x00E9));
        QTest::newRow("three-byte characters") << QString(100, QChar(0x20AC));
        QTest::newRow("four-byte characters")
            << QString::fromUtf8(QByteArray(60, 'x') + QByteArray("\xF0\x9F\x98\x80").repeated(30));
        QTest::newRow("escapes everywhere") << QString(120, QLatin1Char(';'));
        QTest::newRow("mixed") << QStringLiteral("ab\\;cé€,\n").repeated(40);
    }
    void folding()
    {
        QFETCH(QString, value);
        const QByteArray folded = VCardWriter::fold("NOTE:" + VCardWriter::escape(value));
        QVERIFY(folded.endsWith("\r\n"));
        const QList<QByteArray> lines = folded.chopped(2).split('\n');
        QByteArray unfolded;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QByteArray l = lines[i];
            if (i + 1 < lines.size()) {
                QVERIFY(l.endsWith('\r'));
                l.chop(1);
            }
            QVERIFY2(l.size() <= 75, qPrintable(QStringLiteral("line %1 has %2 octets").arg(i).arg(l.size())));
            if (i > 0) {
                QVERIFY(l.startsWith(' '));
                l.remove(0, 1);
            }
            // Every physical line is whole UTF-8 and does not end inside a backslash escape.
            QVERIFY(QString::fromUtf8(l).toUtf8() == l);
            qsizetype run = 0;
            while (run < l.size() && l[l.size() - 1 - run] == '\\')
                ++run;
            QVERIFY2(run % 2 == 0 || i + 1 == lines.size(), "a line ends inside an escape");
            unfolded += l;
        }
        QCOMPARE(unfolded, "NOTE:" + VCardWriter::escape(value));
    }

    void roundTrip_data()
    {
        QTest::addColumn<ExportFormat>("format");
        QTest::newRow("vCard 4.0") << ExportFormat::VCard40;
        QTest::newRow("vCard 3.0") << ExportFormat::VCard30;
        QTest::newRow("CSV") << ExportFormat::Csv;
    }
    void roundTrip()
    {
        QFETCH(ExportFormat, format);
        Contact second;
        second[Field::Firstname] = QStringLiteral("Ann");
        second[Field::Address2] = QStringLiteral("Only the second line");
        second[Field::Flag2] = QStringLiteral("B");
        second[Field::Notes] = QString(300, QChar(0x4E2D)); // long CJK note: folded on character bounds
        Contact third;
        third[Field::Workplace] = QStringLiteral("Acme");
        third[Field::Email] = QStringLiteral("a,b@example.org");
        QList<Contact> contacts{fullContact(), second, third};
        const QList<Contact> read = readBack(format, write(format, contacts));
        contacts[2][Field::Surname] = QStringLiteral("Acme"); // a contact without a name is named by its workplace
        QCOMPARE(read, contacts);
    }

    // Another program's vCard parser (Debian's python3-vobject) finds every field in its place.
    void thirdPartyParserReadsEveryField_data()
    {
        QTest::addColumn<ExportFormat>("format");
        QTest::addColumn<QString>("birthday");
        QTest::newRow("vCard 3.0") << ExportFormat::VCard30 << "1970-02-28";
        QTest::newRow("vCard 4.0") << ExportFormat::VCard40 << "19700228";
    }
    void thirdPartyParserReadsEveryField()
    {
        QFETCH(ExportFormat, format);
        QFETCH(QString, birthday);
        const QString python = testsupport::python();
        if (QProcess::execute(python, {QStringLiteral("-c"), QStringLiteral("import vobject")}) != 0)
            QSKIP("python3-vobject is not installed");
        static const char* const script = R"(
import json, sys, vobject
card = vobject.readOne(sys.stdin.buffer.read().decode('utf-8'))
def text(v):
    return ','.join(v) if isinstance(v, list) else v
a = card.adr.value
out = {
    'family': card.n.value.family, 'given': card.n.value.given, 'additional': card.n.value.additional,
    'fn': card.fn.value, 'extended': text(a.extended), 'street': text(a.street), 'city': text(a.city),
    'region': text(a.region), 'code': text(a.code), 'country': text(a.country),
    'tel': sorted(','.join(t.params.get('TYPE', [])).lower() + ':' + t.value for t in card.contents['tel']),
    'email': card.email.value, 'bday': card.bday.value, 'note': card.note.value,
    'org': card.org.value, 'categories': card.categories.value,
}
print(json.dumps(out))
)";
        QProcess process;
        process.start(python, {QStringLiteral("-c"), QString::fromUtf8(script)});
        QVERIFY(process.waitForStarted());
        process.write(write(format, {fullContact()}));
        process.closeWriteChannel();
        QVERIFY(process.waitForFinished(60000));
        QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
        const QJsonObject got = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
        const Contact c = fullContact();
        const QList<std::pair<QString, QString>> expected{
            {"family", c[Field::Surname]},   {"given", c[Field::Firstname]},
            {"additional", c[Field::Midname]}, {"fn", QStringLiteral("Zoë Anne O'Brien-Łukasiewicz")},
            {"extended", c[Field::A3_Village]},
            {"street", c[Field::Address1] + QLatin1Char('\n') + c[Field::Address2]},
            {"city", c[Field::Town]},         {"region", c[Field::County]},
            {"code", c[Field::PostCode]},     {"country", c[Field::Country]},
            {"email", c[Field::Email]},       {"bday", birthday},
            {"note", c[Field::Notes]}};
        for (const auto& [key, value] : expected)
            QCOMPARE(got.value(key).toString(), value);
        QStringList tels;
        for (const QJsonValue& v : got.value(QStringLiteral("tel")).toArray())
            tels << v.toString();
        QCOMPARE(tels.size(), 3);
        QVERIFY(tels.filter(QStringLiteral("home")).join(QString()).endsWith(c[Field::Tel]));
        QVERIFY(tels.filter(QStringLiteral("cell")).join(QString()).endsWith(c[Field::Cell]));
        QVERIFY(tels.filter(QStringLiteral("work")).join(QString()).endsWith(c[Field::WorkTel]));
        QCOMPARE(got.value(QStringLiteral("org")).toArray().at(0).toString(), c[Field::Workplace]);
        QCOMPARE(got.value(QStringLiteral("categories")).toArray().toVariantList(),
                 (QVariantList{c[Field::Flag], c[Field::Flag2]}));
    }

    void csvIsRfc4180()
    {
        Contact c;
        c[Field::Surname] = QStringLiteral("Doe, \"JD\"");
        c[Field::Notes] = QStringLiteral("one\ntwo");
        c[Field::Town] = QStringLiteral("Ely");
        const QByteArray out = write(ExportFormat::Csv, {c});
        const QByteArray header = "\xEF\xBB\xBFSurname,Midname,Firstname,Address1,Address2,A3_Village,Town,County,"
                                  "PostCode,Country,Tel,Cell,Email,Birthday,Notes,Workplace,Work Tel,Flag,Flag2\r\n";
        QCOMPARE(out, header + "\"Doe, \"\"JD\"\"\",,,,,,Ely,,,,,,,,\"one\r\ntwo\",,,,\r\n");
        QCOMPARE(write(ExportFormat::Csv, {}), header);
    }

    void aFailingWriteIsReported()
    {
        FailingDevice device(100);
        const auto writer = makeWriter(ExportFormat::VCard40, device);
        QVERIFY_THROWS_EXCEPTION(platform::AppError, writer->write(fullContact()));
    }

    void aFullDiskNamesTheFileAndTheReasonOnce()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.vcf"));
        QString error;
        {
            const testsupport::FileSizeLimit limit(4096);
            try {
                exportToFile(path, ExportFormat::VCard30, [](Contact& c) {
                    c = fullContact();
                    return true;
                });
            } catch (const platform::AppError& e) {
                error = e.message();
            }
        }
        QVERIFY2(testsupport::reportsFailure(error, QStringLiteral("Cannot write the file %1").arg(path)), qPrintable(error));
        QVERIFY(!QFile::exists(path));
    }

    void exportToFileReplacesOnlyWhenComplete()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.vcf"));
        QCOMPARE(exportFormatForPath(path), ExportFormat::VCard30);
        QCOMPARE(exportFormatForPath(QStringLiteral("x.CSV")), ExportFormat::Csv);
        QCOMPARE(exportFormatForPath(QStringLiteral("x.txt")), std::nullopt);

        int left = 2;
        const qint64 n = exportToFile(path, ExportFormat::VCard30, [&](Contact& c) {
            c = fullContact();
            return left-- > 0;
        });
        QCOMPARE(n, 2);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray before = f.readAll();
        f.close();
        QCOMPARE(before.count("BEGIN:VCARD"), 2);

        // A source that fails half way leaves the earlier file as it was.
        int calls = 0;
        QVERIFY_THROWS_EXCEPTION(platform::AppError, exportToFile(path, ExportFormat::VCard30, [&](Contact& c) {
                                     if (++calls == 3)
                                         throw platform::AppError(QStringLiteral("Reading failed"));
                                     c = fullContact();
                                     return true;
                                 }));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }
};

QTEST_GUILESS_MAIN(TestExport)
#include "tst_export.moc"

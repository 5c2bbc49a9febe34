#include "DocDump.h"
#include "platform/AppError.h"
#include "richtext/RichText.h"

#include <QDir>
#include <QFont>
#include <QTest>
#include <QTextDocument>

using namespace rtftest;

// Files written by real word processors (see tests/data/rtf/README.md).
class TestRtfFixtures : public QObject
{
    Q_OBJECT

    const QFont m_base{QStringLiteral("MS Sans Serif"), 8};

private slots:
    void realWriters_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("expected");
        // LibreOffice: styles, \hich/\loch fonts, \uN with \'hh fallbacks, a table, a bulleted list.
        QTest::newRow("LibreOffice") << u"libreoffice-letter.rtf"_qs
                                     << QStringList{
                                            u"[centre li=0 ri=0 fi=0 sb=240 sa=283]"_qs,
                                            u"  \"Centred Heading\" Liberation Sans 18pt bold auto/none"_qs,
                                            u"[left li=0 ri=0 fi=0 sb=0 sa=283]"_qs,
                                            u"  \"Plain \" Liberation Serif 12pt auto/none"_qs,
                                            u"  \"bold\" Liberation Serif 12pt bold auto/none"_qs,
                                            u"  \" \" Liberation Serif 12pt auto/none"_qs,
                                            u"  \"italic\" Liberation Serif 12pt italic auto/none"_qs,
                                            u"  \" \" Liberation Serif 12pt auto/none"_qs,
                                            u"  \"underlined\" Liberation Serif 12pt underline auto/none"_qs,
                                            u"  \" \" Liberation Serif 12pt auto/none"_qs,
                                            u"  \"struck\" Liberation Serif 12pt strike auto/none"_qs,
                                            u"  \" \" Liberation Serif 12pt auto/none"_qs,
                                            u"  \"red\" Liberation Serif 12pt #ff0000/none"_qs,
                                            u"  \" \" Liberation Serif 12pt auto/none"_qs,
                                            u"  \"mono\" Liberation Mono 10pt auto/none"_qs,
                                            u"  \" end.\" Liberation Serif 12pt auto/none"_qs,
                                            u"[left li=0 ri=0 fi=0 sb=0 sa=283]"_qs,
                                            u"  \"Zoë Łukasz naïve €\" Liberation Serif 12pt auto/none"_qs,
                                            u"[right li=0 ri=0 fi=0 sb=0 sa=283]"_qs,
                                            u"  \"Right aligned\" Liberation Serif 12pt auto/none"_qs,
                                            u"[left li=1440 ri=0 fi=0 sb=0 sa=283]"_qs,
                                            u"  \"Indented one inch\" Liberation Serif 12pt auto/none"_qs,
                                            // the table's cells
                                            u"[left li=0 ri=0 fi=0 sb=0 sa=283]"_qs,
                                            u"  \"Name\" Liberation Serif 12pt auto/none"_qs,
                                            u"[left li=0 ri=0 fi=0 sb=0 sa=283]"_qs,
                                            u"  \"Town\" Liberation Serif 12pt auto/none"_qs,
                                            u"[left li=0 ri=0 fi=0 sb=0 sa=283]"_qs,
                                            u"  \"Zoë\" Liberation Serif 12pt auto/none"_qs,
                                            u"[left li=0 ri=0 fi=0 sb=0 sa=283]"_qs,
                                            u"  \"Łódź\" Liberation Serif 12pt auto/none"_qs,
                                            // the bullets are the list's own, not text; they hang where the file's first line did
                                            u"[left li=709 ri=0 fi=0 sb=0 sa=0] list -1/0 hang=-283"_qs,
                                            u"  \"first item\" Liberation Serif 12pt auto/none"_qs,
                                            u"[left li=709 ri=0 fi=0 sb=0 sa=283] list -1/0 hang=-283"_qs,
                                            u"  \"second item\" Liberation Serif 12pt auto/none"_qs,
                                            u"[left li=0 ri=0 fi=0 sb=0 sa=283]"_qs,
                                            u"  \"After the table\" Liberation Serif 12pt auto/none"_qs,
                                        };
        // pandoc: formats inside paragraph groups, \uN with '?' fallbacks, paragraphs inside table cells.
        QTest::newRow("pandoc") << u"pandoc-letter.rtf"_qs
                                << QStringList{
                                       u"[left li=0 ri=0 fi=0 sb=0 sa=180]"_qs,
                                       u"  \"Centred Heading\" Helvetica 18pt bold auto/none"_qs,
                                       u"[left li=0 ri=0 fi=0 sb=0 sa=180]"_qs,
                                       u"  \"Plain \" Helvetica 12pt auto/none"_qs,
                                       u"  \"bold\" Helvetica 12pt bold auto/none"_qs,
                                       u"  \" \" Helvetica 12pt auto/none"_qs,
                                       u"  \"italic\" Helvetica 12pt italic auto/none"_qs,
                                       u"  \" \" Helvetica 12pt auto/none"_qs,
                                       u"  \"struck\" Helvetica 12pt strike auto/none"_qs,
                                       u"  \" \" Helvetica 12pt auto/none"_qs,
                                       u"  \"mono\" Courier 12pt auto/none"_qs,
                                       u"  \" end.\" Helvetica 12pt auto/none"_qs,
                                       u"[left li=0 ri=0 fi=0 sb=0 sa=180]"_qs,
                                       u"  \"Zoë Łukasz naïve €\" Helvetica 12pt auto/none"_qs,
                                       // the table's cells
                                       u"[left li=0 ri=0 fi=0 sb=0 sa=0]"_qs,
                                       u"  \"Name\" Helvetica 12pt auto/none"_qs,
                                       u"[left li=0 ri=0 fi=0 sb=0 sa=0]"_qs,
                                       u"  \"Town\" Helvetica 12pt auto/none"_qs,
                                       u"[left li=0 ri=0 fi=0 sb=0 sa=0]"_qs,
                                       u"  \"Zoë\" Helvetica 12pt auto/none"_qs,
                                       u"[left li=0 ri=0 fi=0 sb=0 sa=0]"_qs,
                                       u"  \"Łódź\" Helvetica 12pt auto/none"_qs,
                                       u"[left li=0 ri=0 fi=0 sb=0 sa=180]"_qs,
                                       u"[left li=360 ri=0 fi=-360 sb=0 sa=0 tab=360l]"_qs,
                                       u"  \"•\tfirst item\" Helvetica 12pt auto/none"_qs,
                                       u"[left li=360 ri=0 fi=-360 sb=0 sa=180 tab=360l]"_qs,
                                       u"  \"•\tsecond item\" Helvetica 12pt auto/none"_qs,
                                       u"[left li=0 ri=0 fi=0 sb=0 sa=180]"_qs,
                                       u"  \"After the table\" Helvetica 12pt auto/none"_qs,
                                   };
    }
    void realWriters()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, expected);
        const QByteArray rtf = readFixture(file);
        QVERIFY(!rtf.isEmpty());
        QTextDocument doc;
        richtext::readDocument(rtf, doc, m_base);
        QCOMPARE(describe(doc), expected);

        // What we write from it reads back the same.
        QTextDocument copy;
        richtext::readDocument(richtext::writeRtf(doc), copy, m_base);
        QCOMPARE(describe(copy), expected);
    }

    // Inputs from the fuzz target: each reads, or is refused with the load error, and reads back as written.
    void fuzzRegressions()
    {
        const QDir dir(QStringLiteral(TOVREL_TEST_DATA "/rtf/fuzz"));
        const QStringList files = dir.entryList(QDir::Files);
        QVERIFY(!files.isEmpty());
        for (const QString& name : files) {
            if (name.endsWith(QLatin1String(".md")))
                continue;
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QTextDocument doc;
            try {
                richtext::readDocument(file.readAll(), doc, m_base);
                QTextDocument copy;
                richtext::readDocument(richtext::writeRtf(doc), copy, m_base);
                QVERIFY2(paragraphs(copy) == paragraphs(doc),
                         qPrintable(name + u": "_qs + paragraphs(doc) + u" / "_qs + paragraphs(copy)));
            } catch (const platform::AppError& e) {
                QVERIFY2(e.message() == u"Failed to Load Stream"_qs, qPrintable(name));
            }
        }
    }
};

QTEST_MAIN(TestRtfFixtures)
#include "tst_rtffixtures.moc"

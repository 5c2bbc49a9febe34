#include "DocDump.h"
#include "richtext/RichText.h"

#include <QFont>
#include <QTest>
#include <QTextDocument>

using namespace rtftest;

class TestPlainText : public QObject
{
    Q_OBJECT

    const QFont m_base{QStringLiteral("MS Sans Serif"), 8};

private slots:
    void isRtf_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("rtf");
        QTest::newRow("header") << QByteArray("{\\rtf1\\ansi x}") << true;
        QTest::newRow("no version") << QByteArray("{\\rtf x}") << true;
        QTest::newRow("header only") << QByteArray("{\\rtf") << true;
        QTest::newRow("leading blanks") << QByteArray(" \t\r\n{\\rtf1}") << true;
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF{\\rtf1}") << true;
        QTest::newRow("another word") << QByteArray("{\\rtfx}") << false;
        QTest::newRow("upper case") << QByteArray("{\\RTF1}") << false;
        QTest::newRow("text first") << QByteArray("a{\\rtf1}") << false;
        QTest::newRow("plain") << QByteArray("Dear Sir") << false;
        QTest::newRow("empty") << QByteArray() << false;
    }
    void isRtf()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, rtf);
        QCOMPARE(richtext::isRtf(bytes), rtf);
    }

    void lines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("paragraphs");
        QTest::newRow("zero bytes") << QByteArray() << QString() << 1;
        QTest::newRow("one line") << QByteArray("Dear Sir") << u"Dear Sir"_qs << 1;
        QTest::newRow("CR LF") << QByteArray("a\r\nb\r\nc") << u"a\nb\nc"_qs << 3;
        QTest::newRow("LF") << QByteArray("a\nb") << u"a\nb"_qs << 2;
        QTest::newRow("CR") << QByteArray("a\rb") << u"a\nb"_qs << 2;
        QTest::newRow("mixed") << QByteArray("a\r\n\r\nb\rc\n") << u"a\n\nb\nc\n"_qs << 5;
        QTest::newRow("final line break") << QByteArray("a\r\n") << u"a\n"_qs << 2;
        QTest::newRow("tabs kept, NUL dropped") << QByteArray("a\tb\0c", 5) << u"a\tbc"_qs << 1;
        QTest::newRow("RTF later in the text") << QByteArray("x {\\rtf1 y}") << u"x {\\rtf1 y}"_qs << 1;
        QTest::newRow("not the RTF header") << QByteArray("{\\rtfx}") << u"{\\rtfx}"_qs << 1;
    }
    void lines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(int, paragraphs);
        QTextDocument doc;
        richtext::readDocument(bytes, doc, m_base);
        QCOMPARE(rtftest::paragraphs(doc), text);
        QCOMPARE(doc.blockCount(), paragraphs);
    }

    void encoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("UTF-8") << QByteArray("Zo\xC3\xAB \xC5\x81ukasz na\xC3\xAFve \xE2\x82\xAC") << u"Zoë Łukasz naïve €"_qs;
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF" "caf\xC3\xA9") << u"café"_qs;
        QTest::newRow("UTF-8 outside the BMP") << QByteArray("\xF0\x9F\x98\x80") << u"\U0001F600"_qs;
        QTest::newRow("Windows-1252") << QByteArray("caf\xE9 \x80 \x93q\x94 \x85") << u"café € “q” …"_qs;
        QTest::newRow("mostly UTF-8 but one bad byte") << QByteArray("\xC3\xA9 \xE9") << u"Ã© é"_qs;
        QTest::newRow("BOM declares UTF-8") << QByteArray("\xEF\xBB\xBF" "a\xE9" "b") << u"a\uFFFDb"_qs;
    }
    void encoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QTextDocument doc;
        richtext::readDocument(bytes, doc, m_base);
        QCOMPARE(paragraphs(doc), text);
    }

    void linesInTheBaseFont()
    {
        QTextDocument doc;
        const QFont base(QStringLiteral("Liberation Serif"), 14, QFont::Bold);
        richtext::readDocument("first\r\n\r\nthird", doc, base);
        QCOMPARE(doc.defaultFont().family(), u"Liberation Serif"_qs);
        for (const QString& needle : {u"first"_qs, u"third"_qs}) {
            const QTextCharFormat f = formatOf(doc, needle);
            QCOMPARE(family(f), u"Liberation Serif"_qs);
            QCOMPARE(f.fontPointSize(), 14.0);
            QCOMPARE(f.fontWeight(), int(QFont::Bold));
        }
        // The empty line has the base font's height too.
        QCOMPARE(family(doc.findBlockByNumber(1).charFormat()), u"Liberation Serif"_qs);
    }

    void replacesTheDocument()
    {
        QTextDocument doc;
        richtext::readDocument(R"({\rtf1{\colortbl;\red255\green0\blue0;}\qc\cf1\b red})", doc, m_base);
        richtext::readDocument("plain", doc, m_base);
        QCOMPARE(describe(doc), QStringList({u"[left li=0 ri=0 fi=0 sb=0 sa=0]"_qs,
                                             u"  \"plain\" MS Sans Serif 8pt auto/none"_qs}));
        QVERIFY(!doc.isUndoAvailable());
    }
};

QTEST_MAIN(TestPlainText)
#include "tst_plaintext.moc"

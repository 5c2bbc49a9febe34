#include "DocDump.h"
#include "platform/AppError.h"
#include "richtext/RichText.h"

#include <QFont>
#include <QTest>
#include <QTextDocument>

using namespace rtftest;

class TestRtfReader : public QObject
{
    Q_OBJECT

    const QFont m_base{QStringLiteral("MS Sans Serif"), 8};

    QString textOf(const QByteArray& rtf)
    {
        QTextDocument doc;
        richtext::readDocument(rtf, doc, m_base);
        return paragraphs(doc);
    }

private slots:
    void text_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("text");
        QTest::newRow("minimal") << QByteArray(R"({\rtf1 Hello})") << u"Hello"_qs;
        QTest::newRow("paragraphs, final par adds none") << QByteArray(R"({\rtf1 a\par b\par})") << u"a\nb"_qs;
        QTest::newRow("empty paragraph kept") << QByteArray(R"({\rtf1 a\par\par b})") << u"a\n\nb"_qs;
        QTest::newRow("empty last paragraph") << QByteArray(R"({\rtf1 a\par\par})") << u"a\n"_qs;
        QTest::newRow("empty document") << QByteArray(R"({\rtf1})") << QString();
        QTest::newRow("delimiter space") << QByteArray(R"({\rtf1 a\b b\b0  c})") << u"ab c"_qs;
        QTest::newRow("source line breaks ignored") << QByteArray("{\\rtf1 a\r\nb\nc}") << u"abc"_qs;
        QTest::newRow("escaped line break is par") << QByteArray("{\\rtf1 a\\\nb}") << u"a\nb"_qs;
        QTest::newRow("line and tab") << QByteArray("{\\rtf1 a\\line b\\tab c\td}") << u"a\u2028b\tc\td"_qs;
        QTest::newRow("escapes") << QByteArray(R"({\rtf1 \\\{\}})") << u"\\{}"_qs;
        QTest::newRow("control symbols") << QByteArray(R"({\rtf1 a\~b\-c\_d})") << u"a\u00A0b\u00ADc\u2011d"_qs;
        QTest::newRow("special characters")
            << QByteArray(R"({\rtf1 \emdash\endash\lquote\rquote\ldblquote\rdblquote\bullet})")
            << u"\u2014\u2013\u2018\u2019\u201C\u201D\u2022"_qs;
        QTest::newRow("unicode with fallback") << QByteArray(R"({\rtf1 Zo\u235e na\u239?ve})") << u"Zoë naïve"_qs;
        QTest::newRow("uc2 skips two") << QByteArray(R"({\rtf1\uc2 \u8364\'80\'80x})") << u"€x"_qs;
        QTest::newRow("uc0 skips none") << QByteArray(R"({\rtf1\uc0 \u8364 x})") << u"€x"_qs;
        QTest::newRow("fallback counts control words") << QByteArray(R"({\rtf1\uc2 \u233\'e9\tab x})") << u"éx"_qs;
        QTest::newRow("brace ends fallback") << QByteArray(R"({\rtf1\uc3 \u233{}x})") << u"éx"_qs;
        QTest::newRow("uc is group scoped") << QByteArray(R"({\rtf1{\uc2 \u233 ab}\u233 cd})") << u"ééd"_qs;
        QTest::newRow("negative N, surrogate pair") << QByteArray(R"({\rtf1 \u-10179?\u-8704?!})") << u"\U0001F600!"_qs;
        QTest::newRow("lone surrogate") << QByteArray(R"({\rtf1 \u-10179?x})") << u"\uFFFDx"_qs;
        QTest::newRow("huge N") << QByteArray(R"({\rtf1 \u99999999999?x})") << u"\uFFFDx"_qs;
        QTest::newRow("paragraph separator N") << QByteArray(R"({\rtf1 a\u8233?b})") << u"a\u2028b"_qs;
        QTest::newRow("control characters dropped") << QByteArray(R"({\rtf1 a\'00\'07\u13?b})") << u"ab"_qs;
        // Kept in place, each run as one character that takes no room.
        QTest::newRow("hidden and deleted text out of sight")
            << QByteArray(R"({\rtf1 a{\v hidden}b\v c\v0 d{\deleted gone}e})") << u"a\uFFFCb\uFFFCd\uFFFCe"_qs;
        QTest::newRow("unknown word ignored") << QByteArray(R"({\rtf1 \foo x\bar12 y})") << u"xy"_qs;
        QTest::newRow("unknown starred destination") << QByteArray(R"({\rtf1{\*\foo bar {nested} baz}x})") << u"x"_qs;
        // Kept to be written back: the head's and the first section's apart from the text, the others in place,
        // each as one character that takes no room.
        QTest::newRow("destinations not shown")
            << QByteArray(R"({\rtf1{\info{\title T}{\author W}}{\stylesheet{\s0 Normal;}}{\header H}{\footer F})"
                          R"(A{\footnote N}{\*\bkmkstart b}{\object{\result R}}})")
            << u"A\uFFFC\uFFFC\uFFFC"_qs;
        QTest::newRow("field keeps result")
            << QByteArray(R"({\rtf1 see {\field{\*\fldinst HYPERLINK "x"}{\fldrslt {\ul link}}}.})") << u"see link."_qs;
        QTest::newRow("field without star") << QByteArray(R"({\rtf1{\field{\fldinst PAGE}{\fldrslt 7}}})") << u"7"_qs;
        QTest::newRow("bin data skipped") << QByteArray("{\\rtf1 a{\\v\\bin4 }{\\x}b}") << u"ab"_qs;
        QTest::newRow("bin in text") << QByteArray(R"({\rtf1 a\bin2 xyb})") << u"ab"_qs;
        QTest::newRow("bin past the end") << QByteArray(R"({\rtf1 a\bin999 xy)") << u"a"_qs;
        QTest::newRow("bin negative") << QByteArray(R"({\rtf1 a\bin-5 b})") << u"ab"_qs;
        QTest::newRow("table") << QByteArray(
                                      R"({\rtf1\trowd\cellx1000\cellx2000\pard\intbl a\cell b\cell\row\pard c\par})")
                               << u"\na\nb\nc"_qs; // a table, each cell a paragraph of its own
        QTest::newRow("table empty cells") << QByteArray(R"({\rtf1\trowd\intbl\cell\cell x\cell\row})") << u"\n\n\nx\n"_qs;
        QTest::newRow("two rows") << QByteArray(R"({\rtf1\intbl 1\cell 2\cell\row\intbl 3\cell 4\cell\row})")
                                  << u"\n1\n2\n3\n4\n"_qs;
        QTest::newRow("paragraphs in cells")
            << QByteArray(R"({\rtf1{\pard\intbl a\par b\par}\cell{\pard\intbl\par}\cell{\pard\intbl c\par}\cell\row)"
                          R"(\pard d\par})")
            << u"\na\nb\n\nc\nd"_qs;
        QTest::newRow("list text kept") << QByteArray(R"({\rtf1{\listtext\pard\plain \'b7\tab}Item\par})")
                                        << u"·\tItem"_qs;
        QTest::newRow("old bullets skipped")
            << QByteArray(R"({\rtf1{\*\pn\pnlvlblt{\pntxtb x}}{\pn\pnlvlblt{\pntxtb y}}Item})") << u"Item"_qs;
        QTest::newRow("page and section breaks")
            << QByteArray(R"({\rtf1 a\par\page b\sect\sectd c\par\sect})") << u"a\nb\nc"_qs;
        QTest::newRow("text after the document") << QByteArray(R"({\rtf1 a}b)") << u"a"_qs;
        QTest::newRow("byte order mark and blanks") << QByteArray("\xEF\xBB\xBF \r\n{\\rtf1 a}") << u"a"_qs;
    }
    void text()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, text);
        QCOMPARE(textOf(rtf), text);
    }

    void codePages_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("text");
        QTest::newRow("ansi") << QByteArray(R"({\rtf1\ansi caf\'e9 \'80})") << u"café €"_qs;
        QTest::newRow("hex digits any case") << QByteArray(R"({\rtf1\ansi \'E9\'e9})") << u"éé"_qs;
        QTest::newRow("ansicpg 1251") << QByteArray(R"({\rtf1\ansi\ansicpg1251 \'cf\'f0\'e8})") << u"При"_qs;
        QTest::newRow("ansicpg 1250") << QByteArray(R"({\rtf1\ansi\ansicpg1250 \'a3ukasz})") << u"Łukasz"_qs;
        QTest::newRow("mac") << QByteArray(R"({\rtf1\mac \'8e})") << u"é"_qs;
        QTest::newRow("pc") << QByteArray(R"({\rtf1\pc \'82})") << u"é"_qs;
        QTest::newRow("unknown code page") << QByteArray(R"({\rtf1\ansi\ansicpg99999 \'e9})") << u"é"_qs;
        QTest::newRow("charset 238") << QByteArray(R"({\rtf1{\fonttbl{\f0 Arial;}{\f1\fcharset238 Arial CE;}})"
                                                   R"(\f1 \'a3ukasz \f0\'a3})")
                                     << u"Łukasz £"_qs;
        QTest::newRow("charset 204 in a 1252 document")
            << QByteArray(R"({\rtf1\ansi{\fonttbl{\f1\fcharset204 Times;}}\f1 \'cf})") << u"П"_qs;
        QTest::newRow("charset 0 in a 1251 document")
            << QByteArray(R"({\rtf1\ansi\ansicpg1251{\fonttbl{\f1\fcharset0 Times;}}\'cf\f1 \'cf})") << u"ПÏ"_qs;
        QTest::newRow("charset 161") << QByteArray(R"({\rtf1{\fonttbl{\f0\fcharset161 Arial Greek;}}\f0 \'e1})")
                                     << u"α"_qs;
        QTest::newRow("charset 162") << QByteArray(R"({\rtf1{\fonttbl{\f0\fcharset162 Arial Tur;}}\f0 \'fd})")
                                     << u"ı"_qs;
        QTest::newRow("charset 177") << QByteArray(R"({\rtf1{\fonttbl{\f0\fcharset177 David;}}\f0 \'e0})") << u"א"_qs;
        QTest::newRow("charset 178") << QByteArray(R"({\rtf1{\fonttbl{\f0\fcharset178 Arial;}}\f0 \'c7})") << u"ا"_qs;
        QTest::newRow("charset 186") << QByteArray(R"({\rtf1{\fonttbl{\f0\fcharset186 Arial Baltic;}}\f0 \'e0})")
                                     << u"ą"_qs;
        QTest::newRow("charset 222") << QByteArray(R"({\rtf1{\fonttbl{\f0\fcharset222 Tahoma;}}\f0 \'a1})") << u"ก"_qs;
        QTest::newRow("charset 128 double byte")
            << QByteArray(R"({\rtf1{\fonttbl{\f0\fcharset128 MS Mincho;}}\f0 \'82\'a0\'82\'a2})") << u"あい"_qs;
        QTest::newRow("charset 134") << QByteArray(R"({\rtf1{\fonttbl{\f0\fcharset134 SimSun;}}\f0 \'c4\'e3})")
                                     << u"你"_qs;
        QTest::newRow("charset 129") << QByteArray(R"({\rtf1{\fonttbl{\f0\fcharset129 Batang;}}\f0 \'c7\'d1})")
                                     << u"한"_qs;
        QTest::newRow("charset 136") << QByteArray(R"({\rtf1{\fonttbl{\f0\fcharset136 MingLiU;}}\f0 \'a4\'a4})")
                                     << u"中"_qs;
        QTest::newRow("cpg wins over charset")
            << QByteArray(R"({\rtf1{\fonttbl{\f0\fcharset0\cpg1251 Times;}}\f0 \'cf})") << u"П"_qs;
        QTest::newRow("unicode beats fallback bytes")
            << QByteArray(R"({\rtf1\ansi\ansicpg1251 \u1055\'cf\u1088\'f0})") << u"Пр"_qs;
    }
    void codePages()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, text);
        QCOMPARE(textOf(rtf), text);
    }

    void fontNameInItsCharset()
    {
        QTextDocument doc;
        richtext::readDocument(R"({\rtf1{\fonttbl{\f0\fcharset204 \'c0\'f0\'e8\'e0\'eb;}{\f1 \u1040?rial;}})"
                               R"(\f0 x\f1 y})",
                               doc, m_base);
        QCOMPARE(family(formatOf(doc, u"x"_qs)), u"Ариал"_qs);
        QCOMPARE(family(formatOf(doc, u"y"_qs)), u"Аrial"_qs);
    }

    void fontsAndSizes()
    {
        QTextDocument doc;
        richtext::readDocument(R"({\rtf1\ansi\deff0{\fonttbl{\f0\froman\fcharset0 Times New Roman;})"
                               R"({\f1\fswiss\fcharset0{\*\panose 020b0604020202020204}Arial{\*\falt Helvetica};})"
                               R"({\f2\fmodern\fprq1 Courier New;}}\fs24 a{\f1\fs36 b}{\f2\fs21 c}d\f7 e})",
                               doc, m_base);
        const QTextCharFormat a = formatOf(doc, u"a"_qs);
        QCOMPARE(family(a), u"Times New Roman"_qs);
        QCOMPARE(a.fontPointSize(), 12.0);
        QCOMPARE(a.fontStyleHint(), QFont::Serif);
        const QTextCharFormat b = formatOf(doc, u"b"_qs);
        QCOMPARE(family(b), u"Arial"_qs);
        QCOMPARE(b.fontPointSize(), 18.0);
        QCOMPARE(b.fontStyleHint(), QFont::SansSerif);
        const QTextCharFormat c = formatOf(doc, u"c"_qs);
        QCOMPARE(family(c), u"Courier New"_qs);
        QCOMPARE(c.fontPointSize(), 10.5);
        QVERIFY(c.fontFixedPitch());
        QCOMPARE(family(formatOf(doc, u"d"_qs)), u"Times New Roman"_qs);
        // An undefined font number falls back to the default font.
        QCOMPARE(family(formatOf(doc, u"e"_qs)), u"Times New Roman"_qs);
    }

    void flatFontTable()
    {
        QTextDocument doc;
        richtext::readDocument(R"({\rtf1{\fonttbl\f0\fswiss Helvetica;\f1\fmodern Courier;}\f1 x{\f0 y}})", doc,
                               m_base);
        QCOMPARE(family(formatOf(doc, u"x"_qs)), u"Courier"_qs);
        QCOMPARE(family(formatOf(doc, u"y"_qs)), u"Helvetica"_qs);
    }

    // The text shows in the document's default font and is written back without naming one.
    void noFontTableKeepsTheDefaultFont()
    {
        QTextDocument doc;
        richtext::readDocument(R"({\rtf1 x})", doc, m_base);
        QCOMPARE(family(formatOf(doc, u"x"_qs)), QString());
        QCOMPARE(doc.defaultFont().family(), u"MS Sans Serif"_qs);
        QCOMPARE(formatOf(doc, u"x"_qs).fontPointSize(), 12.0); // RTF's own default size
        const QByteArray rtf = richtext::writeRtf(doc);
        QVERIFY2(!rtf.contains("Sans") && !rtf.contains("\\f0"), rtf.constData());
        QTextDocument copy;
        richtext::readDocument(rtf, copy, m_base);
        QCOMPARE(family(formatOf(copy, u"x"_qs)), QString());
    }

    void styles_data()
    {
        QTest::addColumn<QString>("needle");
        QTest::addColumn<QString>("format");
        const QString plain = u"Times 12pt auto/none"_qs;
        QTest::newRow("plain") << u"A"_qs << plain;
        QTest::newRow("bold") << u"B"_qs << u"Times 12pt bold auto/none"_qs;
        QTest::newRow("b0") << u"C"_qs << plain;
        QTest::newRow("italic") << u"D"_qs << u"Times 12pt italic auto/none"_qs;
        QTest::newRow("underline") << u"E"_qs << u"Times 12pt underline auto/none"_qs;
        QTest::newRow("ulnone") << u"F"_qs << plain;
        QTest::newRow("ul0") << u"G"_qs << plain;
        QTest::newRow("word underline") << u"H"_qs << u"Times 12pt underline auto/none"_qs;
        QTest::newRow("strike") << u"I"_qs << u"Times 12pt strike auto/none"_qs;
        QTest::newRow("strike0") << u"J"_qs << plain;
        QTest::newRow("group restores") << u"K"_qs << u"Times 12pt bold auto/none"_qs;
        QTest::newRow("after group") << u"L"_qs << plain;
        QTest::newRow("everything") << u"M"_qs << u"Times 20pt bold italic underline strike #ff0000/#008000"_qs;
        QTest::newRow("plain resets") << u"N"_qs << plain;
        QTest::newRow("cf0 is auto") << u"O"_qs << plain;
        QTest::newRow("colour out of range") << u"P"_qs << plain;
        QTest::newRow("cb") << u"Q"_qs << u"Times 12pt auto/#ff0000"_qs;
        QTest::newRow("huge size clamped") << u"R"_qs << u"Times 1638pt auto/none"_qs;
        QTest::newRow("zero size clamped") << u"S"_qs << u"Times 1pt auto/none"_qs;
    }
    void styles()
    {
        QFETCH(QString, needle);
        QFETCH(QString, format);
        QTextDocument doc;
        richtext::readDocument(R"({\rtf1{\fonttbl{\f0 Times;}}{\colortbl;\red255\green0\blue0;\red0\green128\blue0;})"
                               R"(A\b B\b0 C\i D\i0\ul E\ulnone F\ul\ul0 G\ulw H\ul0\strike I\strike0 J)"
                               R"({\b K}L\b\i\ul\strike\fs40\cf1\highlight2 M\plain N\cf0 O\cf99 P\cf0{\cb1 Q})"
                               R"({\fs99999999999 R}{\fs0 S}})",
                               doc, m_base);
        QCOMPARE(describeChar(formatOf(doc, needle)), format);
    }

    void paragraphFormats()
    {
        QTextDocument doc;
        richtext::readDocument(R"({\rtf1\pard\qc c\par\pard\qr r\par\pard\qj j\par)"
                               R"(\pard\li720\ri360\fi-360\sb120\sa240 i\par{\qc g\par}\pard\ql l\par)"
                               R"(\li-99999999999 h\par\pard n})",
                               doc, m_base);
        QCOMPARE(describeBlock(blockOf(doc, u"c"_qs)), u"[centre li=0 ri=0 fi=0 sb=0 sa=0]"_qs);
        QCOMPARE(describeBlock(blockOf(doc, u"r"_qs)), u"[right li=0 ri=0 fi=0 sb=0 sa=0]"_qs);
        QCOMPARE(describeBlock(blockOf(doc, u"j"_qs)), u"[justify li=0 ri=0 fi=0 sb=0 sa=0]"_qs);
        QCOMPARE(describeBlock(blockOf(doc, u"i"_qs)), u"[left li=720 ri=360 fi=-360 sb=120 sa=240]"_qs);
        QCOMPARE(blockOf(doc, u"i"_qs).leftMargin(), 48.0); // pixels at 96 dpi
        // Paragraph properties set inside a group end with it; \pard resets them.
        QCOMPARE(describeBlock(blockOf(doc, u"g"_qs)), u"[centre li=720 ri=360 fi=-360 sb=120 sa=240]"_qs);
        QCOMPARE(describeBlock(blockOf(doc, u"l"_qs)), u"[left li=0 ri=0 fi=0 sb=0 sa=0]"_qs);
        QCOMPARE(describeBlock(blockOf(doc, u"h"_qs)), u"[left li=-31680 ri=0 fi=0 sb=0 sa=0]"_qs);
        QCOMPARE(describeBlock(blockOf(doc, u"n"_qs)), u"[left li=0 ri=0 fi=0 sb=0 sa=0]"_qs);
    }

    void emptyParagraphKeepsItsFont()
    {
        QTextDocument doc;
        richtext::readDocument(R"({\rtf1{\fonttbl{\f0 Times;}{\f1 Arial;}}a\par{\f1\fs48\par}b})", doc, m_base);
        QCOMPARE(doc.blockCount(), 3);
        const QTextCharFormat mark = doc.findBlockByNumber(1).charFormat();
        QCOMPARE(family(mark), u"Arial"_qs);
        QCOMPARE(mark.fontPointSize(), 24.0);
    }

    void replacesContentAndUndo()
    {
        QTextDocument doc;
        doc.setPlainText(u"old text"_qs);
        richtext::readDocument(R"({\rtf1 new})", doc, m_base);
        QCOMPARE(paragraphs(doc), u"new"_qs);
        QVERIFY(!doc.isUndoAvailable());
        QVERIFY(doc.isUndoRedoEnabled());
        QCOMPARE(doc.defaultFont().family(), u"MS Sans Serif"_qs);
    }

    // Damaged input is read as far as it goes.
    void damaged_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("text");
        QTest::newRow("truncated") << QByteArray(R"({\rtf1 Hello {\b wor)") << u"Hello wor"_qs;
        QTest::newRow("truncated in a word") << QByteArray(R"({\rtf1 Hello\pa)") << u"Hello"_qs;
        QTest::newRow("truncated in hex") << QByteArray(R"({\rtf1 Hello\'e)") << u"Helloe"_qs;
        QTest::newRow("truncated after backslash") << QByteArray("{\\rtf1 Hello\\") << u"Hello"_qs;
        QTest::newRow("truncated font table") << QByteArray(R"({\rtf1{\fonttbl{\f0 Ari)") << QString();
        QTest::newRow("too many closing braces") << QByteArray(R"({\rtf1 a}}}b)") << u"a"_qs;
        QTest::newRow("NUL ends the stream") << QByteArray("{\\rtf1 abc\0\0\0def}", 18) << u"abc"_qs;
        QTest::newRow("bad hex") << QByteArray(R"({\rtf1 a\'zzb})") << u"azzb"_qs;
        QTest::newRow("lone star") << QByteArray(R"({\rtf1 a\*b})") << u"a"_qs;
        QTest::newRow("minus without digits") << QByteArray(R"({\rtf1 \li- a})") << u"- a"_qs;
        QTest::newRow("huge uc") << QByteArray(R"({\rtf1\uc999999999 \u233 abcdefghijklmnopqrstuvwxyz})")
                                 << u"éqrstuvwxyz"_qs;
        QTest::newRow("binary after header") << QByteArray("{\\rtf1 \x89PNG\x1a\xff\xfe}") << u"‰PNGÿþ"_qs;
        QTest::newRow("unknown destination in text") << QByteArray(R"({\rtf1 a{\*\x}{\*}b})") << u"a\uFFFCb"_qs;
    }
    void damaged()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, text);
        QCOMPARE(textOf(rtf), text);
    }

    void deepNesting()
    {
        const int depth = 100000;
        QByteArray rtf = R"({\rtf1 a)";
        rtf += QByteArray(depth, '{') + R"(\b x)" + QByteArray(depth, '}') + " y}";
        QTextDocument doc;
        richtext::readDocument(rtf, doc, m_base);
        QCOMPARE(paragraphs(doc), u"ax y"_qs);
        QCOMPARE(formatOf(doc, u"x"_qs).fontWeight(), int(QFont::Bold));
        QCOMPARE(formatOf(doc, u"y"_qs).fontWeight(), int(QFont::Normal));
    }

    void unclosedGroups()
    {
        QByteArray rtf = R"({\rtf1 a)";
        rtf += QByteArray(1000000, '{') + "b";
        QCOMPARE(textOf(rtf), u"ab"_qs);
    }

    void longControlWord()
    {
        QByteArray rtf = R"({\rtf1 a\)";
        rtf += QByteArray(1000000, 'x') + QByteArray(1000, '9') + " b}";
        QCOMPARE(textOf(rtf), u"ab"_qs);
    }

    // Tables beyond any real document's size stop growing; what they hold so far stays in use.
    void hugeTables()
    {
        QByteArray rtf = R"({\rtf1{\fonttbl)";
        for (int i = 0; i < 70000; ++i)
            rtf += "{\\f" + QByteArray::number(i) + " F" + QByteArray::number(i) + ";}";
        rtf += R"(}{\colortbl)" + QByteArray(70000, ';').replace(";", "\\red255;") + "}";
        rtf += R"(\f7 a\f69999 b\cf65535 c\cf65536 d})";
        QTextDocument doc;
        richtext::readDocument(rtf, doc, m_base);
        QCOMPARE(family(formatOf(doc, u"a"_qs)), u"F7"_qs);
        QCOMPARE(family(formatOf(doc, u"b"_qs)), u"F0"_qs); // past the limit: the default font
        QCOMPARE(formatOf(doc, u"c"_qs).foreground().color(), QColor(255, 0, 0));
        QVERIFY(!formatOf(doc, u"d"_qs).hasProperty(QTextFormat::ForegroundBrush));
    }

    void largeDocument()
    {
        // Several megabytes of real-looking RTF read completely.
        QByteArray rtf = R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}{\colortbl;\red255\green0\blue0;})";
        const QByteArray para = R"(\pard\qc {\b Bold} caf\'e9 {\cf1 red} \u8364? text\par)"
                                "\n";
        const int count = 30000;
        for (int i = 0; i < count; ++i)
            rtf += para;
        rtf += '}';
        QTextDocument doc;
        richtext::readDocument(rtf, doc, m_base);
        QCOMPARE(doc.blockCount(), count);
        QCOMPARE(doc.lastBlock().text(), u"Bold café red € text"_qs);
    }

    void nothingAfterHeader_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::newRow("header only") << QByteArray("{\\rtf");
        QTest::newRow("with version") << QByteArray("{\\rtf1");
        QTest::newRow("blanks") << QByteArray("  {\\rtf1 \r\n\t ");
        QTest::newRow("zero filled") << QByteArray("{\\rtf1\0\0\0\\b x}", 13);
    }
    void nothingAfterHeader()
    {
        QFETCH(QByteArray, rtf);
        QTextDocument doc;
        doc.setPlainText(u"kept"_qs);
        try {
            richtext::readDocument(rtf, doc, m_base);
            QFAIL("no error");
        } catch (const platform::AppError& e) {
            QCOMPARE(e.message(), u"Failed to Load Stream"_qs);
        }
        QCOMPARE(paragraphs(doc), u"kept"_qs);
    }
};

QTEST_MAIN(TestRtfReader)
#include "tst_rtfreader.moc"

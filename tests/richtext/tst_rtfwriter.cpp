#include "DocDump.h"
#include "richtext/RichText.h"

#include <QFont>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

using namespace rtftest;

namespace {

QTextCharFormat charFormat(const QString& family, double points, std::initializer_list<const char*> styles = {})
{
    QTextCharFormat f;
    f.setFontFamilies({family});
    f.setFontPointSize(points);
    f.setFontWeight(QFont::Normal);
    f.setFontItalic(false);
    f.setFontUnderline(false);
    f.setFontStrikeOut(false);
    for (const char* style : styles) {
        const QByteArray s(style);
        if (s == "bold")
            f.setFontWeight(QFont::Bold);
        else if (s == "italic")
            f.setFontItalic(true);
        else if (s == "underline")
            f.setFontUnderline(true);
        else if (s == "strike")
            f.setFontStrikeOut(true);
        else if (s.startsWith("fg="))
            f.setForeground(QColor(QString::fromLatin1(s.mid(3))));
        else if (s.startsWith("bg="))
            f.setBackground(QColor(QString::fromLatin1(s.mid(3))));
    }
    return f;
}

QTextBlockFormat blockFormat(Qt::Alignment align, double left = 0, double right = 0, double indent = 0, double top = 0,
                             double bottom = 0)
{
    QTextBlockFormat f;
    f.setAlignment(align);
    f.setLeftMargin(left);
    f.setRightMargin(right);
    f.setTextIndent(indent);
    f.setTopMargin(top);
    f.setBottomMargin(bottom);
    return f;
}

// A letter with every format the editor can give: fonts, sizes, styles, colours, alignment, indents, tab stops.
void buildLetter(QTextDocument& doc)
{
    QTextCursor c(&doc);
    c.setBlockFormat(blockFormat(Qt::AlignHCenter));
    c.insertText(u"Heading"_qs, charFormat(u"Arial"_qs, 18, {"bold"}));
    c.insertBlock(blockFormat(Qt::AlignJustify, 48, 24, -24));
    c.insertText(u"Plain, "_qs, charFormat(u"Times New Roman"_qs, 12));
    c.insertText(u"bold, "_qs, charFormat(u"Times New Roman"_qs, 12, {"bold"}));
    c.insertText(u"italic, "_qs, charFormat(u"Times New Roman"_qs, 12, {"italic"}));
    c.insertText(u"underlined, "_qs, charFormat(u"Times New Roman"_qs, 12, {"underline"}));
    c.insertText(u"struck, "_qs, charFormat(u"Times New Roman"_qs, 12, {"strike"}));
    c.insertText(u"red on yellow, "_qs, charFormat(u"Times New Roman"_qs, 12, {"fg=#ff0000", "bg=#ffff00"}));
    c.insertText(u"all at once "_qs,
                 charFormat(u"Courier New"_qs, 10.5, {"bold", "italic", "underline", "strike", "fg=#008000"}));
    c.insertText(u"Zoë Łukasz naïve €"_qs, charFormat(u"Liberation Sans"_qs, 11, {"fg=#123456"}));
    c.insertBlock(blockFormat(Qt::AlignRight, 0, 0, 0, 8, 16), charFormat(u"Arial"_qs, 24));
    QTextBlockFormat tabbed = blockFormat(Qt::AlignLeft, 24, 0, -12);
    tabbed.setTabPositions({QTextOption::Tab(48, QTextOption::LeftTab), QTextOption::Tab(192, QTextOption::CenterTab),
                            QTextOption::Tab(288, QTextOption::RightTab),
                            QTextOption::Tab(384, QTextOption::DelimiterTab, QLatin1Char('.'))});
    c.insertBlock(tabbed);
    c.insertText(u"Yours,\tat\tevery\ttab\t1.5"_qs, charFormat(u"Times New Roman"_qs, 12));
}

void insertPlain(QTextDocument& doc, const QString& text)
{
    QTextCursor(&doc).insertText(text, charFormat(u"Arial"_qs, 10));
}

QTextDocument* readBack(const QByteArray& rtf, QObject* parent)
{
    auto* doc = new QTextDocument(parent);
    richtext::readDocument(rtf, *doc, QFont(QStringLiteral("MS Sans Serif"), 8));
    return doc;
}

bool bracesBalanced(const QByteArray& rtf)
{
    int depth = 0;
    for (qsizetype i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '\\')
            ++i;
        else if (rtf[i] == '{')
            ++depth;
        else if (rtf[i] == '}' && --depth < 0)
            return false;
    }
    return depth == 0;
}

} // namespace

class TestRtfWriter : public QObject
{
    Q_OBJECT

private slots:
    void formatsRoundTrip()
    {
        QTextDocument doc;
        doc.setDefaultFont(QFont(QStringLiteral("MS Sans Serif"), 8)); // what reading gives the copy
        buildLetter(doc);
        const QByteArray rtf = richtext::writeRtf(doc);
        QVERIFY(rtf.startsWith("{\\rtf1\\ansi"));
        QVERIFY(bracesBalanced(rtf));
        QTextDocument* back = readBack(rtf, this);
        QCOMPARE(describe(*back), describe(doc));
        QCOMPARE(family(back->findBlockByNumber(2).charFormat()), u"Arial"_qs);
        QCOMPARE(back->findBlockByNumber(2).charFormat().fontPointSize(), 24.0);
        QCOMPARE(back->defaultTextOption().tabStopDistance(), doc.defaultTextOption().tabStopDistance());
        // Written again, the document gives the same file.
        QCOMPARE(richtext::writeRtf(*back), rtf);
    }

    void textRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("RTF syntax as text") << u"\\ { } \\par \\u233? {\\rtf1} ;"_qs;
        QTest::newRow("blanks kept") << u"  two leading, two trailing  "_qs;
        QTest::newRow("tab, line break, special spaces") << u"a\tb\u2028c\u00A0d\u00ADe\u2011f"_qs;
        QTest::newRow("accents") << u"Zoë Łukasz naïve € ß Ø"_qs;
        QTest::newRow("scripts") << u"Привет Γειά שלום 你好 こんにちは 한국어"_qs;
        QTest::newRow("above U+7FFF") << u"\uFF21\uFFFD\uE000"_qs;
        QTest::newRow("outside the BMP") << u"\U0001F600 \U00010348"_qs;
        QTest::newRow("paragraphs") << u"first\n\nthird\n"_qs;
        QTest::newRow("only empty paragraphs") << u"\n\n"_qs;
    }
    void textRoundTrip()
    {
        QFETCH(QString, text);
        QTextDocument doc;
        insertPlain(doc, text);
        const QByteArray rtf = richtext::writeRtf(doc);
        QVERIFY(std::all_of(rtf.begin(), rtf.end(), [](char c) { return c > 0 && c < 0x7F; }));
        QTextDocument* back = readBack(rtf, this);
        QCOMPARE(paragraphs(*back), text);
        QCOMPARE(back->blockCount(), doc.blockCount());
        QCOMPARE(describe(*back), describe(doc));
    }

    void unicodeFallbacks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("accented letter") << u"ë"_qs << QByteArray("\\u235e");
        QTest::newRow("stroke letter") << u"Ł"_qs << QByteArray("\\u321L");
        QTest::newRow("no close letter") << u"€"_qs << QByteArray("\\u8364?");
        QTest::newRow("above U+7FFF is negative") << u"\uFF21"_qs << QByteArray("\\u-223A");
        QTest::newRow("surrogate pair") << u"\U0001F600"_qs << QByteArray("\\u-10179?\\u-8704?");
        QTest::newRow("escapes") << u"\\{}"_qs << QByteArray("\\\\\\{\\}");
    }
    void unicodeFallbacks()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, written);
        QTextDocument doc;
        insertPlain(doc, text);
        const QByteArray rtf = richtext::writeRtf(doc);
        QVERIFY2(rtf.contains(written), rtf.constData());
        QVERIFY(rtf.contains("\\uc1"));
    }

    // Text that carries no font of its own is written in the document's default font.
    void defaultFontWritten()
    {
        QTextDocument doc;
        doc.setDefaultFont(QFont(QStringLiteral("Liberation Serif"), 14));
        doc.setPlainText(u"typed"_qs);
        QTextDocument* back = readBack(richtext::writeRtf(doc), this);
        const QTextCharFormat f = formatOf(*back, u"typed"_qs);
        QCOMPARE(family(f), u"Liberation Serif"_qs);
        QCOMPARE(f.fontPointSize(), 14.0);
    }

    void pixelSizedFont()
    {
        QTextDocument doc;
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(16);
        QTextCharFormat f;
        f.setFont(font);
        QTextCursor(&doc).insertText(u"x"_qs, f);
        QTextDocument* back = readBack(richtext::writeRtf(doc), this);
        QCOMPARE(formatOf(*back, u"x"_qs).fontPointSize(), 12.0);
    }

    void fontNamesEscaped()
    {
        QTextDocument doc;
        QTextCursor(&doc).insertText(u"x"_qs, charFormat(u"Ариал {Cyr}"_qs, 12));
        QTextDocument* back = readBack(richtext::writeRtf(doc), this);
        QCOMPARE(family(formatOf(*back, u"x"_qs)), u"Ариал {Cyr}"_qs);
    }

    void objectsLeftOut()
    {
        QTextDocument doc;
        insertPlain(doc, u"a\uFFFCb"_qs);
        QTextDocument* back = readBack(richtext::writeRtf(doc), this);
        QCOMPARE(paragraphs(*back), u"ab"_qs);
    }
};

QTEST_MAIN(TestRtfWriter)
#include "tst_rtfwriter.moc"

#include "DocDump.h"
#include "platform/AppError.h"
#include "richtext/RichText.h"

#include <QDir>
#include <QFont>
#include <QTest>
#include <QTextDocument>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextList>
#include <QTextTable>
#include <QUrl>

using namespace rtftest;
using namespace Qt::StringLiterals;

namespace {

// What a letter's layout holds, one fact a line, in the order of the document.
QStringList layoutFacts(const QTextDocument& doc)
{
    QStringList facts;
    const richtext::PageSetup page = richtext::pageSetup(doc);
    facts << u"page %1x%2 margins %3,%4,%5,%6"_s.arg(page.paperWidth)
                 .arg(page.paperHeight)
                 .arg(page.marginLeft)
                 .arg(page.marginRight)
                 .arg(page.marginTop)
                 .arg(page.marginBottom);
    QList<QTextList*> lists;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const QTextBlockFormat format = block.blockFormat();
        // What the file keeps unshown (one character each) is no text of the layout.
        const QString shown = block.text().remove(QChar::ObjectReplacementCharacter);
        if (format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
            facts << u"page break before \"%1\""_s.arg(shown.left(27));
        if (format.lineHeightType() == QTextBlockFormat::ProportionalHeight && format.lineHeight() != 100)
            facts << u"line height %1%"_s.arg(format.lineHeight());
        if (format.layoutDirection() == Qt::RightToLeft)
            facts << u"right to left \"%1\""_s.arg(shown);
        if (block.textList() && !lists.contains(block.textList()))
            lists << block.textList();
        QTextCursor at(block);
        if (QTextTable* table = at.currentTable(); table && table->cellAt(block.position()).row() == 0 &&
                                                    table->cellAt(block.position()).column() == 0) {
            const QTextTableCell first = table->cellAt(0, 0);
            const QTextTableCellFormat cell = first.format().toTableCellFormat();
            const bool centred = table->format().alignment() & Qt::AlignHCenter;
            facts << u"table %1 rows, row 1: %2 cells, first spans %3, shaded %4%5"_s.arg(table->rows())
                         .arg(table->columns() - first.columnSpan() + 1)
                         .arg(first.columnSpan())
                         .arg(cell.background().color().name(), centred ? u", centred"_s : QString());
            if (cell.hasProperty(QTextFormat::TableCellTopPadding))
                facts << u"cell padding %1 twips"_s.arg(qRound(cell.topPadding() * 15));
        }
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            const QString text = it.fragment().text();
            if (f.objectType() == richtext::KeptRtfObject) // what the file keeps unshown is no layout
                continue;
            if (f.verticalAlignment() == QTextCharFormat::AlignSuperScript)
                facts << u"superscript \"%1\""_s.arg(text);
            if (f.verticalAlignment() == QTextCharFormat::AlignSubScript)
                facts << u"subscript \"%1\""_s.arg(text);
            if (f.background().style() != Qt::NoBrush && !at.currentTable())
                facts << u"background %1 \"%2\""_s.arg(f.background().color().name(), text);
            if (f.isImageFormat()) {
                const QImage image =
                    doc.resource(QTextDocument::ImageResource, QUrl(f.toImageFormat().name())).value<QImage>();
                facts << u"picture %1x%2"_s.arg(image.width()).arg(image.height());
            }
        }
    }
    for (QTextList* list : std::as_const(lists))
        facts << u"list of %1, %2%3"_s.arg(list->count())
                     .arg(list->format().style() == QTextListFormat::ListDisc      ? u"disc"_s
                          : list->format().style() == QTextListFormat::ListDecimal ? u"decimal"_s
                                                                                   : u"other"_s)
                     .arg(list->format().hasProperty(richtext::ListStartProperty)
                              ? u" from %1"_s.arg(list->format().intProperty(richtext::ListStartProperty))
                              : QString());
    return facts;
}

} // namespace

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

    // Letters written by word processors, with the layout a letter has: what they keep is kept again after a save.
    void lettersKeepTheirLayout_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("LibreOffice") << u"libreoffice-club-letter.rtf"_s
                                     << QStringList{
                                            u"page 11906x16838 margins 1417,1134,1134,1134"_s,
                                            u"picture 120x40"_s,
                                            u"superscript \"5\""_s,
                                            u"subscript \"2\""_s,
                                            u"subscript \"2\""_s,
                                            u"background #ffff00 \"Please bring your own gloves.\""_s,
                                            u"table 3 rows, row 1: 2 cells, first spans 2, shaded #c0d0e0, centred"_s,
                                            u"cell padding 57 twips"_s,
                                            u"line height 150%"_s,
                                            u"page break before \"The second page starts here\""_s,
                                            u"right to left \"مرحبا بكم في النادي. نلتقي يوم السبت.\""_s,
                                            u"list of 3, disc"_s,
                                            u"list of 2, decimal from 3"_s,
                                        };
        // AbiWord writes no row alignment, breaks the page inside a paragraph of its own, and its lists (which
        // LibreOffice does not show either) come in as plain paragraphs.
        QTest::newRow("AbiWord") << u"abiword-club-letter.rtf"_s
                                 << QStringList{
                                        u"page 11905x16837 margins 1416,1133,1133,1133"_s,
                                        u"picture 120x40"_s,
                                        u"superscript \"5\""_s,
                                        u"subscript \"2\""_s,
                                        u"subscript \"2\""_s,
                                        u"background #ffff00 \"Please bring your own gloves.\""_s,
                                        u"table 3 rows, row 1: 2 cells, first spans 2, shaded #c0d0e0"_s,
                                        u"line height 150%"_s,
                                        u"page break before \"\""_s,
                                        u"right to left \"مرحبا بكم في النادي. نلتقي يوم السبت.\""_s,
                                    };
    }

    void lettersKeepTheirLayout()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, expected);
        const QByteArray rtf = readFixture(file);
        QVERIFY(!rtf.isEmpty());
        QTextDocument doc;
        richtext::readDocument(rtf, doc, m_base);
        QCOMPARE(layoutFacts(doc), expected);
        QCOMPARE(richtext::unkeptContent(doc), QStringList());
        QTextDocument copy;
        richtext::readDocument(richtext::writeRtf(doc), copy, m_base);
        QCOMPARE(layoutFacts(copy), expected);
    }

    // Letters with what the editor does not show (headers and footers with page numbers, a footnote, a date field,
    // a two-column section, a floating logo, a list "a)", bold Arabic, styles): saved unchanged, each is written
    // back, and a second save writes the same again.
    void keptLettersWriteBackWhatTheyHold_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("LibreOffice") << u"libreoffice-kept-letter.rtf"_s
                                     << QStringList{u"{\\stylesheet"_s,
                                                    u"{\\*\\pgdsctbl"_s,
                                                    u"{\\header\\pard\\plain \\s27"_s,
                                                    u"{\\field{\\*\\fldinst  NUMPAGES }{\\fldrslt 3}}"_s,
                                                    u"{\\field{\\*\\fldinst  DATE \\\\@\"M/d/yy\" }{\\fldrslt 12/11/26}}"_s,
                                                    u"{\\*\\footnote \\chftn\\pard\\plain \\s26"_s,
                                                    u"\\shpleft6803\\shptop0\\shpright8502\\shpbottom565"_s,
                                                    u"{\\leveltext \\'02\\'00);}"_s,
                                                    u"\\sect\\sectd\\sftnnar\\saftnnrlc\\sectunlocked1"_s,
                                                    u"\\cols2\\colsx340"_s,
                                                    u"\\rtlch\\ab"_s,
                                                    u"\\trpaddft3"_s};
        QTest::newRow("AbiWord") << u"abiword-kept-letter.rtf"_s
                                 << QStringList{u"{\\header"_s, u"{\\footer"_s, u"{\\footnote"_s, u"\\trgaph36"_s,
                                                u"{\\*\\abicellprops"_s, u"\\cols2"_s};
        QTest::newRow("pandoc") << u"pandoc-kept-letter.rtf"_s
                                << QStringList{u"\\widowctrl\\hyphauto"_s, u"{\\*\\footnote"_s, u"\\trgaph120"_s};
    }
    void keptLettersWriteBackWhatTheyHold()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, kept);
        const QByteArray rtf = readFixture(file);
        QVERIFY(!rtf.isEmpty());
        QTextDocument doc;
        richtext::readDocument(rtf, doc, m_base);
        QCOMPARE(richtext::unkeptContent(doc), QStringList());
        const QByteArray written = richtext::writeRtf(doc);
        for (const QString& group : std::as_const(kept)) {
            QVERIFY2(rtf.contains(group.toLatin1()), qPrintable(group));
            QVERIFY2(written.contains(group.toLatin1()), qPrintable(group));
        }
        QTextDocument copy;
        richtext::readDocument(written, copy, m_base);
        QCOMPARE(paragraphs(copy), paragraphs(doc));
        QCOMPARE(richtext::writeRtf(copy), written);
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

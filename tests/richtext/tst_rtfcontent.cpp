// Pictures, tables, links, merge fields and what a file holds that the document cannot.
#include "DocDump.h"
#include "richtext/RichText.h"

#include <QBuffer>
#include <QFont>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>

using namespace rtftest;
using namespace Qt::StringLiterals;

namespace {

const QFont kBase(u"MS Sans Serif"_s, 8);

QByteArray pngData(QSize size = QSize(4, 3), QColor colour = Qt::red)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return data;
}

QByteArray jpegData()
{
    QImage image(QSize(8, 8), QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return data;
}

void read(const QByteArray& rtf, QTextDocument& doc)
{
    richtext::readDocument(rtf, doc, kBase);
}

// The pictures of a document in order, each as "kind WxH" (its size in the document).
QStringList pictures(const QTextDocument& doc)
{
    QStringList out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (!f.isImageFormat())
                continue;
            const QTextImageFormat image = f.toImageFormat();
            out << u"%1 %2x%3"_s.arg(image.stringProperty(richtext::PictureKindProperty))
                       .arg(qRound(image.width()))
                       .arg(qRound(image.height()));
        }
    }
    return out;
}

QTextImageFormat firstPicture(const QTextDocument& doc)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isImageFormat())
                return it.fragment().charFormat().toImageFormat();
        }
    }
    return {};
}

QList<QTextTable*> tables(const QTextDocument& doc)
{
    QList<QTextTable*> out;
    for (QTextFrame* frame : doc.rootFrame()->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(frame))
            out << table;
    }
    return out;
}

QString cellText(QTextTable* table, int row, int column)
{
    const QTextTableCell cell = table->cellAt(row, column);
    QTextCursor c = cell.firstCursorPosition();
    c.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
    return c.selectedText().replace(QChar::ParagraphSeparator, u'|');
}

QByteArray roundTrip(const QTextDocument& doc, QTextDocument& copy)
{
    const QByteArray rtf = richtext::writeRtf(doc);
    read(rtf, copy);
    return rtf;
}

} // namespace

class TestRtfContent : public QObject
{
    Q_OBJECT
private slots:
    void pictureSize_data()
    {
        QTest::addColumn<QByteArray>("words");
        QTest::addColumn<QString>("expected");
        QTest::newRow("goal") << QByteArray(R"(\picw4\pich3\picwgoal1500\pichgoal750)") << u"png 100x50"_s;
        QTest::newRow("pixels") << QByteArray(R"(\picw40\pich30)") << u"png 40x30"_s;
        QTest::newRow("image") << QByteArray() << u"png 4x3"_s;
        QTest::newRow("scaled") << QByteArray(R"(\picwgoal1500\pichgoal750\picscalex50\picscaley200)")
                                << u"png 50x100"_s;
        QTest::newRow("huge") << QByteArray(R"(\picwgoal2147483647\pichgoal-5)") << u"png 2112x3"_s;
    }
    void pictureSize()
    {
        QFETCH(QByteArray, words);
        QFETCH(QString, expected);
        QTextDocument doc;
        read("{\\rtf1 a{\\pict\\pngblip" + words + " " + pngData().toHex() + "}b\\par}", doc);
        QCOMPARE(pictures(doc), QStringList{expected});
        QCOMPARE(paragraphs(doc), u"a\uFFFCb"_s);
    }

    void picturesAreWrittenBack_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("png") << QByteArray("pngblip") << pngData();
        QTest::newRow("jpeg") << QByteArray("jpegblip") << jpegData();
    }
    void picturesAreWrittenBack()
    {
        QFETCH(QByteArray, kind);
        QFETCH(QByteArray, data);
        QTextDocument doc;
        // The picture word processors write inside \shppict, with a copy for older readers that is not read.
        read("{\\rtf1{\\*\\shppict{\\pict{\\*\\picprop}\\" + kind + "\\picwgoal1500\\pichgoal1500\n" + data.toHex() +
                 "}}{\\nonshppict{\\pict\\wmetafile8 0102}}\\par}",
             doc);
        QCOMPARE(pictures(doc).size(), 1);
        QCOMPARE(firstPicture(doc).property(richtext::PictureDataProperty).toByteArray(), data);
        const QImage shown = doc.resource(QTextDocument::ImageResource, QUrl(firstPicture(doc).name())).value<QImage>();
        QCOMPARE(shown.size(), QSize(data == pngData() ? 4 : 8, data == pngData() ? 3 : 8));
        QVERIFY(richtext::unkeptContent(doc).isEmpty());

        QTextDocument copy;
        const QByteArray rtf = roundTrip(doc, copy);
        QVERIFY(rtf.contains("{\\pict\\" + kind));
        QCOMPARE(pictures(copy), pictures(doc));
        QCOMPARE(firstPicture(copy).property(richtext::PictureDataProperty).toByteArray(), data);
    }

    // A picture of a kind the editor does not show, or one it cannot read, goes back into the file unchanged.
    void otherPicturesAreKeptAsRead_data()
    {
        QTest::addColumn<QByteArray>("group");
        QTest::addColumn<QString>("expected");
        QTest::newRow("metafile") << QByteArray("{\\pict\\wmetafile8\\picw2540\\pich1270 0100090000}")
                                  << u"rtf 96x48"_s;
        QTest::newRow("emf goal") << QByteArray("{\\pict\\emfblip\\picwgoal3000\\pichgoal1500{\\*\\blipuid ab} 0102}")
                                  << u"rtf 200x100"_s;
        QTest::newRow("broken png") << QByteArray("{\\pict\\pngblip\\picwgoal300\\pichgoal300 89504e47}")
                                    << u"rtf 20x20"_s;
        QTest::newRow("binary png")
            << QByteArray("{\\pict\\pngblip\\picwgoal300\\pichgoal300\\bin4 \x89PNG}") << u"rtf 20x20"_s;
    }
    void otherPicturesAreKeptAsRead()
    {
        QFETCH(QByteArray, group);
        QFETCH(QString, expected);
        QTextDocument doc;
        read("{\\rtf1 x" + group + "y\\par}", doc);
        QCOMPARE(pictures(doc), QStringList{expected});
        QCOMPARE(firstPicture(doc).property(richtext::PictureDataProperty).toByteArray(), group);
        QVERIFY(richtext::writeRtf(doc).contains(group));
        QTextDocument copy;
        roundTrip(doc, copy);
        QCOMPARE(pictures(copy), pictures(doc));
        QCOMPARE(paragraphs(copy), paragraphs(doc));
    }

    void truncatedPictures_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::newRow("hex cut short") << QByteArray("{\\rtf1 a{\\pict\\pngblip " + pngData().toHex().left(30));
        QTest::newRow("bin beyond the end") << QByteArray("{\\rtf1 a{\\pict\\pngblip\\bin999999 \x89PN");
        QTest::newRow("inner group open") << QByteArray("{\\rtf1 a{\\pict\\wmetafile8{\\*\\blipuid 12");
        QTest::newRow("nul") << QByteArray("{\\rtf1 a{\\pict\\wmetafile8 01\0 02}}", 30);
    }
    // Read as far as they go, and what is written back reads again.
    void truncatedPictures()
    {
        QFETCH(QByteArray, rtf);
        QTextDocument doc;
        read(rtf, doc);
        QCOMPARE(pictures(doc).size(), 1);
        QCOMPARE(doc.begin().text().left(1), u"a"_s);
        QTextDocument copy;
        roundTrip(doc, copy);
        QCOMPARE(pictures(copy), pictures(doc));
        QCOMPARE(paragraphs(copy), paragraphs(doc));
    }

    void tables()
    {
        QTextDocument doc;
        read(R"({\rtf1 Before\par
\trowd\trgaph108\cellx1500\cellx4500
\pard\intbl {\b a}\cell b1\par b2\cell\row
\trowd\trgaph108\cellx1500\cellx4500
\pard\intbl c\cell d\cell\row
\pard After\par})",
             doc);
        const QList<QTextTable*> found = ::tables(doc);
        QCOMPARE(found.size(), 1);
        QTextTable* table = found.first();
        QCOMPARE(table->rows(), 2);
        QCOMPARE(table->columns(), 2);
        QCOMPARE(cellText(table, 0, 0), u"a"_s);
        QCOMPARE(cellText(table, 0, 1), u"b1|b2"_s);
        QCOMPARE(cellText(table, 1, 1), u"d"_s);
        const QList<QTextLength> widths = table->format().columnWidthConstraints();
        QCOMPARE(widths.size(), 2);
        QCOMPARE(widths[0].rawValue(), 100.0);
        QCOMPARE(widths[1].rawValue(), 200.0);
        QCOMPARE(doc.begin().text(), u"Before"_s);
        QCOMPARE(doc.lastBlock().text(), u"After"_s);

        QTextDocument copy;
        const QByteArray rtf = roundTrip(doc, copy);
        QVERIFY(rtf.contains("\\cellx1500"));
        QVERIFY(rtf.contains("\\cellx4500"));
        QCOMPARE(paragraphs(copy), paragraphs(doc));
        QCOMPARE(::tables(copy).size(), 1);
        QCOMPARE(::tables(copy).first()->format().columnWidthConstraints(), widths);
        // A second round gives the same file: nothing grows from save to save.
        QTextDocument again;
        QCOMPARE(roundTrip(copy, again), rtf);
    }

    void tableAtTheStart()
    {
        QTextDocument doc;
        read(R"({\rtf1\trowd\cellx1000\pard\intbl x\cell\row})", doc);
        QTextDocument copy;
        const QByteArray rtf = roundTrip(doc, copy);
        QTextDocument again;
        QCOMPARE(roundTrip(copy, again), rtf);
        QCOMPARE(paragraphs(again), paragraphs(doc));
    }

    void mergedCells()
    {
        QTextDocument doc;
        read(R"({\rtf1\trowd\clmgf\cellx1000\clmrg\cellx2000\cellx3000\pard\intbl wide\cell\cell c\cell\row
\trowd\clvmgf\cellx1000\cellx2000\cellx3000\pard\intbl tall\cell e\cell f\cell\row
\trowd\clvmrg\cellx1000\cellx2000\cellx3000\pard\intbl\cell h\cell i\cell\row})",
             doc);
        QTextTable* table = ::tables(doc).value(0);
        QVERIFY(table);
        QCOMPARE(table->cellAt(0, 0).columnSpan(), 2);
        QCOMPARE(cellText(table, 0, 2), u"c"_s);
        QCOMPARE(table->cellAt(1, 0).rowSpan(), 2);
        QCOMPARE(cellText(table, 2, 2), u"i"_s);
        QTextDocument copy;
        const QByteArray rtf = roundTrip(doc, copy);
        QVERIFY(rtf.contains("\\clvmrg"));
        QTextTable* again = ::tables(copy).value(0);
        QVERIFY(again);
        QCOMPARE(again->cellAt(0, 0).columnSpan(), 2);
        QCOMPARE(again->cellAt(1, 0).rowSpan(), 2);
        QCOMPARE(paragraphs(copy), paragraphs(doc));
    }

    void damagedTables_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("text");
        QTest::newRow("edges out of order") << QByteArray(R"({\rtf1\trowd\cellx3000\cellx1000\cellx-5\pard\intbl a\cell b\cell c\cell\row})")
                                            << u"\na\nb\nc\n"_s; // a document keeps a paragraph before and after a table
        QTest::newRow("empty last paragraph in a cell")
            << QByteArray(R"({\rtf1\trowd\cellx1000\pard\intbl a\par\par\cell\row})") << u"\na\n\n"_s;
        QTest::newRow("cell without table") << QByteArray(R"({\rtf1 x\cell y\par})") << u"x\n\ny"_s;
        QTest::newRow("row without cells") << QByteArray(R"({\rtf1 x\row y\par})") << u"x\ny"_s;
        QTest::newRow("nested table") << QByteArray(R"({\rtf1\trowd\cellx4000\pard\intbl a\par\itap2 n1\nestcell n2\nestcell{\*\nesttableprops\trowd\cellx1000\cellx2000\nestrow}\itap1 z\cell\row})")
                                      << u"\na\nn1\tn2\tz\n"_s;
    }
    void damagedTables()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, text);
        QTextDocument doc;
        read(rtf, doc);
        QCOMPARE(paragraphs(doc), text);
        QTextDocument copy;
        roundTrip(doc, copy);
        QCOMPARE(paragraphs(copy), paragraphs(doc));
    }

    // Cells beyond the largest table a word processor makes share the last column; none is lost.
    void thousandsOfCells()
    {
        QByteArray rtf = "{\\rtf1\\trowd";
        for (int i = 1; i <= 2000; ++i)
            rtf += "\\cellx" + QByteArray::number(i * 10);
        rtf += "\\pard\\intbl ";
        for (int i = 0; i < 2000; ++i)
            rtf += QByteArray::number(i) + "\\cell ";
        rtf += "\\row}";
        QTextDocument doc;
        read(rtf, doc);
        QTextTable* table = ::tables(doc).value(0);
        QVERIFY(table);
        QVERIFY(table->columns() <= 64);
        QCOMPARE(cellText(table, 0, 0), u"0"_s);
        QVERIFY2(cellText(table, 0, table->columns() - 1).endsWith(u"\t1999"_s),
                 qPrintable(QString::number(table->columns()) + cellText(table, 0, table->columns() - 1).right(40)));
    }

    void links()
    {
        QTextDocument doc;
        read(R"({\rtf1 See {\field{\*\fldinst {HYPERLINK "https://example.org/a?b=1" }}{\fldrslt {\ul\cf1 our site}}} and {\field{\*\fldinst HYPERLINK \\l "part2"}{\fldrslt part two}}.\par})",
             doc);
        QCOMPARE(paragraphs(doc), u"See our site and part two."_s);
        QStringList targets;
        for (auto it = doc.begin().begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isAnchor())
                targets << it.fragment().text() + u" -> "_s + it.fragment().charFormat().anchorHref();
        }
        QCOMPARE(targets, (QStringList{u"our site -> https://example.org/a?b=1"_s, u"part two -> #part2"_s}));
        QVERIFY(richtext::unkeptContent(doc).isEmpty());

        QTextDocument copy;
        const QByteArray rtf = roundTrip(doc, copy);
        QVERIFY(rtf.contains("{\\field{\\*\\fldinst HYPERLINK \"https://example.org/a?b=1\"}"));
        QVERIFY(rtf.contains("HYPERLINK \\\\l \"part2\""));
        QCOMPARE(describe(copy), describe(doc));
        QCOMPARE(copy.toHtml().count(u"href="_s), 2);
    }

    void mergeFields_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("text");
        QTest::newRow("as written") << QByteArray(R"({\rtf1 Dear {\field{\*\fldinst { MERGEFIELD Firstname \\* MERGEFORMAT }}{\fldrslt {\b \'abFirstname\'bb}}},\par})")
                                    << u"Dear \u00ABFirstname\u00BB,"_s;
        QTest::newRow("no result") << QByteArray(R"({\rtf1 Dear {\field{\*\fldinst MERGEFIELD Town}},\par})")
                                   << u"Dear \u00ABTown\u00BB,"_s;
        QTest::newRow("other result") << QByteArray(R"({\rtf1 {\field{\*\fldinst MERGEFIELD "Post Code"}{\fldrslt xyz}}\par})")
                                      << u"\u00ABPost Code\u00BB"_s;
        QTest::newRow("field in its result") << QByteArray(R"({\rtf1 {\field{\*\fldinst MERGEFIELD A}{\fldrslt {\field{\*\fldinst PAGE}{\fldrslt 3}}}}\par})")
                                             << u"\u00ABA\u00BB"_s;
        QTest::newRow("nested instruction") << QByteArray(R"({\rtf1 {\field{\*\fldinst MERGEFIELD Surname{\field{\*\fldinst PAGE}{\fldrslt 3}}}{\fldrslt x}}\par})")
                                            << u"\u00ABSurname\u00BB"_s;
    }
    void mergeFields()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, text);
        QTextDocument doc;
        read(rtf, doc);
        QCOMPARE(paragraphs(doc), text);
        QTextDocument copy;
        const QByteArray written = roundTrip(doc, copy);
        QVERIFY(written.contains("{\\field{\\*\\fldinst MERGEFIELD "));
        QCOMPARE(paragraphs(copy), text);
        // Shown in the editor's shade, and written without it.
        bool shaded = false;
        for (auto it = copy.begin().begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (f.hasProperty(richtext::MergeFieldProperty))
                shaded = f.background().color() == richtext::mergeFieldShade();
        }
        QVERIFY(shaded);
        QVERIFY(!written.contains("\\highlight"));
    }

    void mergeTemplate()
    {
        QTextDocument doc;
        QTextCursor cursor(&doc);
        cursor.insertText(u"Dear "_s);
        richtext::insertMergeField(cursor, u"Firstname"_s);
        richtext::insertMergeField(cursor, u"Surname"_s);
        cursor.insertText(u" of "_s);
        richtext::insertMergeField(cursor, u"Nickname"_s);
        cursor.insertText(u" \u00ABnot a field\u00BB"_s);
        const richtext::MergeTemplate merge(doc, [](const QTextDocument& d) { return d.toPlainText(); });
        QVERIFY(merge.hasFields());
        QStringList unknown;
        const auto value = [](const QString& name) -> std::optional<QString> {
            if (name == u"Firstname")
                return u"Ann & <Bo>"_s;
            if (name == u"Surname")
                return QString();
            return std::nullopt;
        };
        QCOMPARE(merge.fill(value, &unknown), u"Dear Ann &amp; &lt;Bo&gt; of \u00ABNickname\u00BB \u00ABnot a field\u00BB"_s);
        QCOMPARE(unknown, QStringList{u"Nickname"_s});
    }

    // What a save would lose: only what the reader cannot keep. Headers, footnotes, fields, shapes, comments,
    // frames and later sections are kept (tst_rtflayout writes them back).
    void unkeptContent_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QStringList>("unkept");
        QTest::newRow("nothing") << QByteArray(R"({\rtf1{\info{\title T}}{\stylesheet{\s1 Heading;}}{\*\bkmkstart a}x\par})")
                                 << QStringList();
        QTest::newRow("kept") << QByteArray(R"({\rtf1{\header h}x{\super\chftn}{\footnote\chftn note}{\object\objemb)"
                                            R"({\*\objdata 01}}{\shp{\*\shpinst x}}{\field{\*\fldinst PAGE}{\fldrslt 1}})"
                                            R"({\*\annotation c}\par\sect\sectd\lndscpsxn\pard\phpg\posx1000 y\par})")
                              << QStringList();
        QTest::newRow("nested table") << QByteArray(R"({\rtf1\intbl a\nestcell\nestrow\cell\row})")
                                      << QStringList{u"nested tables"_s};
        QTest::newRow("field over two paragraphs")
            << QByteArray(R"({\rtf1 {\field{\*\fldinst TOC}{\fldrslt a\par b}}\par})") << QStringList{u"fields"_s};
    }
    void unkeptContent()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QStringList, unkept);
        QTextDocument doc;
        read(rtf, doc);
        QCOMPARE(richtext::unkeptContent(doc), unkept);
        // Reading plain text over it forgets what the file before lacked.
        read("plain", doc);
        QVERIFY(richtext::unkeptContent(doc).isEmpty());
    }

    // Deleting a paragraph that holds kept content is what a save would lose; undoing it gives it back.
    void editsThatRemoveKeptContent_data()
    {
        QTest::addColumn<QString>("paragraph");
        QTest::addColumn<QStringList>("unkept");
        QTest::newRow("the footnote's") << u"a"_s << QStringList{u"footnotes"_s};
        QTest::newRow("the field's") << u"b"_s << QStringList{u"fields"_s};
        QTest::newRow("a later section's first") << u"c"_s << QStringList{u"settings of later sections"_s};
        QTest::newRow("one without any") << u"d"_s << QStringList();
    }
    void editsThatRemoveKeptContent()
    {
        QFETCH(QString, paragraph);
        QFETCH(QStringList, unkept);
        QTextDocument doc;
        read(QByteArray(R"({\rtf1{\header h}a{\super\chftn}{\footnote\chftn note}\par b {\field{\*\fldinst PAGE}{\fldrslt 1}})"
                        R"(\par d\par\sect\sectd\cols2 c\par e\par})"),
             doc);
        QCOMPARE(richtext::unkeptContent(doc), QStringList());
        QTextBlock block = doc.begin();
        while (block.isValid() && !block.text().startsWith(paragraph))
            block = block.next();
        QVERIFY(block.isValid());
        QTextCursor cursor(block);
        cursor.select(QTextCursor::BlockUnderCursor);
        cursor.removeSelectedText();
        QCOMPARE(richtext::unkeptContent(doc), unkept);
        doc.undo();
        QCOMPARE(richtext::unkeptContent(doc), QStringList());
    }
};

QTEST_MAIN(TestRtfContent)
#include "tst_rtfcontent.moc"

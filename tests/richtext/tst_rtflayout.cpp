// A word processor's layout read, written and read again: each row a small fragment, the property it sets
// asked of the document model after the first read and after the round trip.

#include "DocDump.h"
#include "richtext/RichText.h"
#include "richtext/RtfReader.h"

#include <QFont>
#include <QTest>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>

using namespace rtftest;

namespace {

// Each row's cells by their text and edges in twips.
QString tableLayout(const QTextDocument& doc)
{
    QTextTable* table = nullptr;
    for (QTextFrame* frame : doc.rootFrame()->childFrames()) {
        if ((table = qobject_cast<QTextTable*>(frame)))
            break;
    }
    if (!table)
        return QStringLiteral("no table");
    QList<int> edges{0};
    for (const QTextLength& w : table->format().columnWidthConstraints())
        edges << edges.back() + qRound(w.rawValue() * 15);
    QStringList rows;
    for (int r = 0; r < table->rows(); ++r) {
        QStringList cells;
        for (int c = 0; c < table->columns(); ++c) {
            const QTextTableCell cell = table->cellAt(r, c);
            if (cell.row() != r || cell.column() != c)
                continue;
            QString text;
            for (auto it = cell.begin(); !it.atEnd(); ++it)
                text += it.currentBlock().text();
            cells << QStringLiteral("%1@%2-%3").arg(text).arg(edges.value(c)).arg(edges.value(c + cell.columnSpan()));
        }
        rows << cells.join(QLatin1Char(' '));
    }
    return rows.join(QLatin1String(" | "));
}

QTextTable* firstTable(const QTextDocument& doc)
{
    for (QTextFrame* frame : doc.rootFrame()->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(frame))
            return table;
    }
    return nullptr;
}

// What the document says of one property, around the text "x".
QString probe(const QTextDocument& doc, const QString& what)
{
    const QTextCharFormat chr = formatOf(doc, u"x"_qs);
    const QTextBlockFormat block = blockOf(doc, u"x"_qs);
    if (what == u"page") {
        const richtext::PageSetup p = richtext::pageSetup(doc);
        return QStringLiteral("%1x%2 %3/%4/%5/%6%7")
            .arg(p.paperWidth)
            .arg(p.paperHeight)
            .arg(p.marginLeft)
            .arg(p.marginRight)
            .arg(p.marginTop)
            .arg(p.marginBottom)
            .arg(p.landscape ? u" landscape"_qs : QString());
    }
    if (what == u"section")
        return QString::fromLatin1(richtext::pageSetup(doc).sectionWords);
    if (what == u"break") {
        QStringList breaks;
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
            breaks << b.text() + (b.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore ? u"^"_qs : u""_qs);
        return breaks.join(QLatin1Char(' '));
    }
    if (what == u"spacing")
        return QStringLiteral("%1 %2").arg(block.lineHeightType()).arg(block.lineHeight());
    if (what == u"direction")
        return block.layoutDirection() == Qt::RightToLeft ? u"rtl"_qs : u"ltr"_qs;
    if (what == u"shade")
        return block.hasProperty(QTextFormat::BackgroundBrush) ? block.background().color().name() : u"none"_qs;
    if (what == u"borders")
        return block.stringProperty(richtext::BordersProperty) +
               (block.hasProperty(QTextFormat::BlockTrailingHorizontalRulerWidth) ? u" rule"_qs : QString());
    if (what == u"leaders")
        return block.stringProperty(richtext::TabLeadersProperty);
    if (what == u"kept")
        return QString::fromLatin1(block.property(richtext::KeptWordsProperty).toByteArray() + '|' +
                                   chr.property(richtext::KeptWordsProperty).toByteArray());
    if (what == u"background")
        return chr.hasProperty(QTextFormat::BackgroundBrush) ? chr.background().color().name() : u"none"_qs;
    if (what == u"vertical")
        return QString::number(chr.verticalAlignment());
    if (what == u"caps")
        return QString::number(chr.fontCapitalization());
    if (what == u"rtl run")
        return chr.boolProperty(richtext::RightToLeftRunProperty) ? u"rtl"_qs : u"ltr"_qs;
    if (what == u"underline")
        return QStringLiteral("%1 %2 %3")
            .arg(chr.fontUnderline() || chr.underlineStyle() != QTextCharFormat::NoUnderline)
            .arg(chr.underlineStyle())
            .arg(chr.stringProperty(richtext::UnderlineWordProperty));
    if (what == u"hidden") {
        QStringList hidden;
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                if (it.fragment().charFormat().objectType() == richtext::HiddenTextObject)
                    hidden << it.fragment().charFormat().stringProperty(richtext::HiddenTextProperty);
            }
        }
        return paragraphs(doc) + u" / "_qs + hidden.join(QLatin1Char(','));
    }
    // Each paragraph: its text, and in a list its style, level and place in the list.
    if (what == u"list") {
        QStringList items;
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
            const QTextList* list = b.textList();
            items << (list ? QStringLiteral("%1[%2,%3,%4]")
                                 .arg(b.text())
                                 .arg(list->format().style())
                                 .arg(list->format().intProperty(richtext::ListLevelProperty))
                                 .arg(list->itemNumber(b) + 1)
                           : b.text());
        }
        return items.join(QLatin1Char(' '));
    }
    if (what == u"table")
        return tableLayout(doc);
    // A picture's size in twips.
    if (what == u"picture") {
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                if (it.fragment().charFormat().isImageFormat()) {
                    const QTextImageFormat image = it.fragment().charFormat().toImageFormat();
                    return QStringLiteral("%1x%2").arg(qRound(image.width() * 15)).arg(qRound(image.height() * 15));
                }
            }
        }
        return u"no picture"_qs;
    }
    // What the document keeps for its head, its own words and its first section.
    if (what == u"head")
        return QString::fromLatin1(doc.property(richtext::kRtfHeadProperty).toByteArray() + '|' +
                                   doc.property(richtext::kRtfDocumentWordsProperty).toByteArray() + '|' +
                                   doc.property(richtext::kRtfSectionHeadProperty).toByteArray());
    // The groups kept in the text, in its order: objects, fields (once each), sections, floating pictures.
    if (what == u"kept groups") {
        QStringList groups;
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
            if (b.blockFormat().hasProperty(richtext::SectionStartProperty))
                groups << QString::fromLatin1(b.blockFormat().property(richtext::SectionStartProperty).toByteArray());
            int field = -1;
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat f = it.fragment().charFormat();
                const QString rtf = QString::fromLatin1(f.property(richtext::KeptRtfProperty).toByteArray());
                if (f.hasProperty(richtext::KeptFieldProperty)) {
                    if (f.intProperty(richtext::KeptFieldProperty) != field)
                        groups << rtf;
                    field = f.intProperty(richtext::KeptFieldProperty);
                    continue;
                }
                field = -1;
                if (f.objectType() == richtext::KeptRtfObject)
                    groups << rtf;
                else if (f.isImageFormat() && f.stringProperty(richtext::PictureKindProperty) == u"rtf")
                    groups << QString::fromLatin1(f.property(richtext::PictureDataProperty).toByteArray().left(16));
            }
        }
        return groups.join(u" | "_qs);
    }
    if (what == u"merge") {
        QStringList fields;
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat f = it.fragment().charFormat();
                if (f.hasProperty(richtext::MergeFieldProperty))
                    fields << it.fragment().text() + u'=' + f.stringProperty(richtext::MergeFieldResultProperty);
            }
        }
        return fields.join(u' ');
    }
    // The text of each list level as the file wrote it ("a)").
    if (what == u"list text") {
        const QTextList* list = doc.find(u"x"_qs).block().textList();
        const QByteArray definition = list ? list->format().property(richtext::ListDefinitionProperty).toByteArray() : "";
        const qsizetype at = definition.indexOf("{\\leveltext");
        return at < 0 ? u"none"_qs : QString::fromLatin1(definition.mid(at, definition.indexOf('}', at) - at + 1));
    }
    QTextTable* table = firstTable(doc);
    if (!table)
        return u"no table"_qs;
    const QTextTableCellFormat cell = table->cellAt(0, 0).format().toTableCellFormat();
    if (what == u"cell shade")
        return cell.hasProperty(QTextFormat::BackgroundBrush) ? cell.background().color().name() : u"none"_qs;
    if (what == u"cell borders")
        return QStringLiteral("%1 %2 %3/%4")
            .arg(table->format().border())
            .arg(cell.stringProperty(richtext::BordersProperty))
            .arg(qRound(cell.topBorder() * 15))
            .arg(qRound(cell.leftBorder() * 15));
    if (what == u"row align")
        return QString::number(int(table->format().alignment() & Qt::AlignHorizontal_Mask));
    if (what == u"row words") {
        QStringList rows;
        for (const QVariant& words : table->format().property(richtext::TableRowWordsProperty).toList())
            rows << QString::fromLatin1(words.toByteArray());
        return rows.join(u'|');
    }
    return u"unknown probe"_qs;
}

} // namespace

class TestRtfLayout : public QObject
{
    Q_OBJECT

    QFont m_base{u"MS Sans Serif"_qs, 8};

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("probe");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const char* rtf, const char* probe, const QString& expected) {
            QTest::newRow(name) << QByteArray(rtf) << QString::fromLatin1(probe) << expected;
        };
        row("A4 and margins", R"({\rtf1\paperw11906\paperh16838\margl1134\margr1134\margt1417\margb1134 x\par})",
            "page", u"11906x16838 1134/1134/1417/1134"_qs);
        row("landscape section", R"({\rtf1\sectd\lndscpsxn\pgwsxn16838\pghsxn11906 x\par})", "page",
            u"16838x11906 0/0/0/0 landscape"_qs);
        row("columns and page numbers", R"({\rtf1\sectd\cols2\colsx720\linebetcol\pgnstarts3 x\par})", "section",
            uR"(\cols2\colsx720\linebetcol\pgnstarts3)"_qs);
        row("page", R"({\rtf1 a\par\page x\par})", "break", u"a x^"_qs);
        row("page inside a paragraph", R"({\rtf1 a\page x\par})", "break", u"a x^"_qs);
        row("page break before", R"({\rtf1 a\par\pard\pagebb x\par})", "break", u"a x^"_qs);
        row("section starts a page", R"({\rtf1 a\sect\sectd x\par})", "break", u"a x^"_qs);
        row("section on the same page", R"({\rtf1 a\sect\sectd\sbknone x\par})", "break", u"a x"_qs);
        row("one and a half lines", R"({\rtf1\sl360\slmult1 x\par})", "spacing", u"1 150"_qs);
        row("at least", R"({\rtf1\sl300\slmult0 x\par})", "spacing", u"3 20"_qs);
        row("exactly", R"({\rtf1\sl-300\slmult0 x\par})", "spacing", u"2 20"_qs);
        row("right-to-left paragraph", R"({\rtf1\pard\rtlpar\qr x\par})", "direction", u"rtl"_qs);
        row("right-to-left run", R"({\rtf1{\rtlch x}\par})", "rtl run", u"rtl"_qs);
        row("paragraph shading", R"({\rtf1{\colortbl;\red255\green255\blue0;}\pard\cbpat1 x\par})", "shade",
            u"#ffff00"_qs);
        row("rule under a letterhead",
            R"({\rtf1{\colortbl;\red0\green0\blue128;}\pard\brdrb\brdrs\brdrw15\brsp20\brdrcf1 x\par})", "borders",
            u"b:brdrs,15,20,#000080 rule"_qs);
        row("box", R"({\rtf1\pard\box\brdrdb\brdrw10 x\par})", "borders",
            u"t:brdrdb,10,0,;l:brdrdb,10,0,;b:brdrdb,10,0,;r:brdrdb,10,0, rule"_qs);
        row("character background", R"({\rtf1{\colortbl;\red255\green0\blue0;}{\chcbpat1 x}\par})", "background",
            u"#ff0000"_qs);
        row("highlight", R"({\rtf1{\colortbl;\red0\green255\blue0;}{\highlight1 x}\par})", "background",
            u"#00ff00"_qs);
        row("superscript", R"({\rtf1 a{\super x}\par})", "vertical", u"1"_qs);
        row("subscript", R"({\rtf1 a{\sub x}\par})", "vertical", u"2"_qs);
        row("all caps", R"({\rtf1{\caps x}\par})", "caps", u"1"_qs);
        row("small caps", R"({\rtf1{\scaps x}\par})", "caps", u"3"_qs);
        row("double underline", R"({\rtf1{\uldb x}\par})", "underline", u"1 1 uldb"_qs);
        row("dotted underline", R"({\rtf1{\uld x}\par})", "underline", u"1 3 uld"_qs);
        row("wavy underline", R"({\rtf1{\ulwave x}\par})", "underline", u"1 6 ulwave"_qs);
        row("words underlined", R"({\rtf1{\ulw x}\par})", "underline", u"1 1 ulw"_qs);
        row("underline ended", R"({\rtf1{\uldb a\ulnone x}\par})", "underline", u"0 0 "_qs);
        row("dot leader", R"({\rtf1\pard\tldot\tqr\tx5000\tx6000 x\par})", "leaders", u"d "_qs);
        row("kept words", R"({\rtf1\pard\keepn\widctlpar{\expndtw20\shad x}\par})", "kept",
            uR"(\keepn\widctlpar|\expndtw20\shad)"_qs);
        row("hidden text", R"({\rtf1 a{\v secret}x\par})", "hidden", u"a\uFFFCx / secret"_qs);
        // Lists: the bullet text before each item is the writer's, not the text's.
        row("bullets", R"({\rtf1{\*\listtable{\list{\listlevel\levelnfc23{\leveltext\'01\u8226 ?;}}\listid7}}
{\*\listoverridetable{\listoverride\listid7\listoverridecount0\ls1}}
\pard\ls1\li720\fi-360{\listtext \u8226 ?\tab}x\par{\listtext \u8226 ?\tab}y\par\pard z\par})",
            "list", u"x[-1,0,1] y[-1,0,2] z"_qs);
        row("numbers", R"({\rtf1{\*\listtable{\list{\listlevel\levelnfc0{\leveltext\'02\'00.;}}\listid3}}
{\*\listoverridetable{\listoverride\listid3\ls2}}
{\listtext\pard\plain 1.\tab}\ls2\ilvl0 a\par{\listtext\pard\plain 2.\tab}\ls2\ilvl0 x\par})",
            "list", u"a[-4,0,1] x[-4,0,2]"_qs);
        row("levels", R"({\rtf1{\*\listtable{\list\listhybrid{\listlevel\levelnfc0}{\listlevel\levelnfc4}{\listlevel\levelnfc2}\listid9}}
{\*\listoverridetable{\listoverride\listid9\ls1}}
\pard\ls1{\listtext 1.\tab}a\par\ls1\ilvl1{\listtext a.\tab}x\par{\listtext b.\tab}b\par\ilvl2{\listtext i.\tab}c\par
\ilvl0{\listtext 2.\tab}d\par})",
            "list", u"a[-4,0,1] x[-5,1,1] b[-5,1,2] c[-7,2,1] d[-4,0,2]"_qs);
        row("two lists", R"({\rtf1{\*\listtable{\list{\listlevel\levelnfc23}\listid1}{\list{\listlevel\levelnfc3}\listid2}}
{\*\listoverridetable{\listoverride\listid1\ls1}{\listoverride\listid2\ls2}}
\pard\ls1 a\par\pard\ls2 x\par\pard\ls1 b\par})",
            "list", u"a[-1,0,1] x[-6,0,1] b[-1,0,2]"_qs);
        // Without a list table the written numbers are all there is: they stay text.
        row("list text without a list table", R"({\rtf1\pard\ls1{\listtext 1.\tab}x\par})", "list", u"1.\tx"_qs);
        // Cells by their edges: a row whose first cell reaches over two of the next row's.
        row("cells by edges", R"({\rtf1\trowd\cellx4000\cellx6000\pard\intbl x\cell b\cell\row
\trowd\cellx2000\cellx4000\cellx6000\pard\intbl c\cell d\cell e\cell\row})",
            "table", u"x@0-4000 b@4000-6000 | c@0-2000 d@2000-4000 e@4000-6000"_qs);
        // Qt's rows are all as long; the shorter one ends in a cell with nothing in it and no borders.
        row("a later row ends short", R"({\rtf1\trowd\cellx2000\cellx5000\pard\intbl x\cell b\cell\row
\trowd\cellx2000\pard\intbl c\cell\row})",
            "table", u"x@0-2000 b@2000-5000 | c@0-2000 @2000-5000"_qs);
        row("merged across", R"({\rtf1\trowd\clmgf\cellx1000\clmrg\cellx2000\cellx3000\pard\intbl x\cell\cell c\cell\row})",
            "table", u"x@0-2000 c@2000-3000"_qs);
        row("cell shading", R"({\rtf1{\colortbl;\red200\green200\blue200;}\trowd\clcbpat1\cellx2000\pard\intbl x\cell\row})",
            "cell shade", u"#c8c8c8"_qs);
        row("no borders", R"({\rtf1\trowd\cellx2000\pard\intbl x\cell\row})", "cell borders", u"0  0/0"_qs);
        row("cell borders", R"({\rtf1\trowd\clbrdrt\brdrs\brdrw30\cellx2000\pard\intbl x\cell\row})", "cell borders",
            u"0 t:brdrs,30,0, 30/0"_qs);
        row("centred row", R"({\rtf1\trowd\trqc\cellx2000\pard\intbl x\cell\row})", "row align",
            QString::number(int(Qt::AlignHCenter)));
        row("right row", R"({\rtf1\trowd\trqr\cellx2000\pard\intbl x\cell\row})", "row align",
            QString::number(int(Qt::AlignRight)));
        // What word processors write beyond what the editor shows, written back as it was.
        row("picture sized by its shape", R"({\rtf1{\field{\*\fldinst SHAPE}{\fldrslt{\shp{\*\shpinst\shpleft0\shptop0)"
            R"(\shpright3000\shpbottom1500{\sp{\sn pib}{\sv {\pict\pngblip\picw1\pich1 )" "89504e470d0a1a0a0000000d4948445200000001000000010802000000907753de0000000c49444154789c63f8cfc0000003010100c9fe92ef0000000049454e44ae426082" R"(}}}}}}} x\par})",
            "picture", u"3000x1500"_qs);
        row("row gap and left edge", R"({\rtf1\trowd\trgaph108\trleft-108\cellx2000\pard\intbl x\cell\row)"
            R"(\trowd\trgaph70\cellx2000\pard\intbl y\cell\row})",
            "row words", u"\\trgaph108\\trleft-108|\\trgaph70"_qs);
        row("no gap where the file has none", R"({\rtf1\trowd\cellx2000\pard\intbl x\cell\row})", "row words", u""_qs);
        row("widow control and keep flags", R"({\rtf1\widowctrl\ftnbj\pard\widctlpar\keep\keepn x\par})", "kept",
            uR"(\widctlpar\keep\keepn|)"_qs);
        row("widow control of the document", R"({\rtf1\widowctrl\hyphauto1 x\par})", "head",
            uR"(|\widowctrl\hyphauto1|)"_qs);
        row("bold right-to-left text and its font", R"({\rtf1{\fonttbl{\f0 Arial;}{\f1 Tahoma;}}\pard\rtlpar)"
            R"({\rtlch\ab\af1\afs28\ltrch\b0\hich\af0 x}\par})",
            "kept", uR"(|\rtlch\ab\rtlch\af1\rtlch\afs28\hich\af0)"_qs);
        row("list level text", R"({\rtf1{\*\listtable{\list{\listlevel\levelnfc4{\leveltext \'02\'00);}}\listid5}}
{\*\listoverridetable{\listoverride\listid5\ls1}}\pard\ls1{\listtext a)\tab}x\par})",
            "list text", uR"({\leveltext \'02\'00);})"_qs);
        row("stylesheet and a paragraph's style", R"({\rtf1{\stylesheet{\s0 Normal;}{\s1\f1\fs30 Heading;}}\pard\s1 x\par})",
            "head", uR"({\stylesheet{\s0 Normal;}{\s1\f1\fs30 Heading;}}||)"_qs);
        row("paragraph style", R"({\rtf1{\stylesheet{\s1 Heading;}}\pard\s1 x\par})", "kept", uR"(\s1|)"_qs);
        row("merge field result", R"({\rtf1 x {\field{\*\fldinst MERGEFIELD Firstname}{\fldrslt <Firstname>}}\par})",
            "merge", u"\u00ABFirstname\u00BB=<Firstname>"_qs);
        row("merge field showing its name", R"({\rtf1 x {\field{\*\fldinst MERGEFIELD Town}{\fldrslt \u171?Town\u187?}}\par})",
            "merge", u"\u00ABTown\u00BB="_qs);
        row("footnote and its mark", R"({\rtf1 x{\super\chftn}{\*\footnote\pard\plain{\super\chftn} note}\par})",
            "kept groups", uR"(\chftn  | {\*\footnote\pard\plain{\super\chftn} note})"_qs);
        row("header and footer of the first section", R"({\rtf1\sectd{\header\pard h\par}{\footer\pard f\par}x\par})",
            "head", uR"(||{\header\pard h\par}{\footer\pard f\par})"_qs);
        row("fields", R"({\rtf1 x {\field{\*\fldinst PAGE}{\fldrslt 1}} of {\field{\*\fldinst NUMPAGES}{\fldrslt 2}}\par})",
            "kept groups", uR"({\field{\*\fldinst PAGE}{\fldrslt 1}} | {\field{\*\fldinst NUMPAGES}{\fldrslt 2}})"_qs);
        row("a field without a result", R"({\rtf1 x {\field{\*\fldinst DATE}}\par})", "kept groups",
            uR"({\field{\*\fldinst DATE}})"_qs);
        row("a later section, with its header", R"({\rtf1 a\sect\sectd\sbknone\cols2{\header\pard h\par}x\par})",
            "kept groups", uR"(\sect\sectd\sbknone\cols2 | {\header\pard h\par})"_qs);
        row("landscape later section", R"({\rtf1 a\sect\sectd\lndscpsxn\pgwsxn16838\pghsxn11906 x\par})", "kept groups",
            uR"(\sect\sectd\lndscpsxn\pgwsxn16838\pghsxn11906)"_qs);
        row("positioned frame", R"({\rtf1\pard\phpg\posx1000\posy1000\absw2000 x\par})", "kept",
            uR"(\phpg\posx1000\posy1000\absw2000|)"_qs);
        row("floating picture", R"({\rtf1{\shp{\*\shpinst\shpleft500{\sp{\sn pib}{\sv {\pict\pngblip )" "89504e470d0a1a0a0000000d4948445200000001000000010802000000907753de0000000c49444154789c63f8cfc0000003010100c9fe92ef0000000049454e44ae426082"
            R"(}}}}}x\par})", "kept groups", uR"({\shp{\*\shpinst)"_qs);
        row("comment", R"({\rtf1 x{\*\atnid A}{\*\annotation note}\par})", "kept groups",
            uR"({\*\atnid A} | {\*\annotation note})"_qs);
    }
    void roundTrip()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, probe);
        QFETCH(QString, expected);
        QTextDocument doc;
        richtext::readDocument(rtf, doc, m_base);
        QCOMPARE(::probe(doc, probe), expected);
        const QByteArray written = richtext::writeRtf(doc);
        QTextDocument copy;
        richtext::readDocument(written, copy, m_base);
        QVERIFY2(::probe(copy, probe) == expected, written.constData());
        QVERIFY2(richtext::unkeptContent(doc).isEmpty(), qPrintable(richtext::unkeptContent(doc).join(u',')));
    }

    // A new item typed into a read list belongs to it, and a list made in the editor is saved as one,
    // nested by its indent.
    void listsEditAsLists()
    {
        QTextDocument doc;
        richtext::readDocument(R"({\rtf1{\*\listtable{\list{\listlevel\levelnfc0}\listid1}}
{\*\listoverridetable{\listoverride\listid1\ls1}}\pard\ls1{\listtext 1.\tab}a\par{\listtext 2.\tab}b\par\pard end\par})",
                               doc, m_base);
        QTextCursor cursor = doc.find(u"a"_qs);
        cursor.movePosition(QTextCursor::EndOfBlock);
        cursor.insertBlock();
        cursor.insertText(u"new"_qs);
        cursor = doc.find(u"end"_qs);
        cursor.movePosition(QTextCursor::EndOfBlock);
        cursor.insertBlock(QTextBlockFormat());
        cursor.insertText(u"sub"_qs);
        QTextListFormat nested;
        nested.setStyle(QTextListFormat::ListLowerRoman);
        nested.setIndent(2);
        cursor.createList(nested);

        QTextDocument copy;
        richtext::readDocument(richtext::writeRtf(doc), copy, m_base);
        QCOMPARE(probe(copy, u"list"_qs), u"a[-4,0,1] new[-4,0,2] b[-4,0,3] end sub[-7,1,1]"_qs);
    }

    // Printing and merging go through HTML: hidden text stays out of it.
    void hiddenTextIsNotPrinted()
    {
        QTextDocument doc;
        richtext::readDocument(R"({\rtf1 a{\v secret}b\par})", doc, m_base);
        QTextDocument printed;
        printed.setHtml(doc.toHtml());
        QCOMPARE(printed.toPlainText(), u"ab"_qs);
    }

    // The page a letter sets is the page it is printed on; a side it leaves out keeps RTF's own.
    void pageLayout()
    {
        QTextDocument doc;
        richtext::readDocument(R"({\rtf1\paperw16838\paperh11906\margl1134 x})", doc, m_base);
        const std::optional<QPageLayout> layout = richtext::pageLayout(doc);
        QVERIFY(layout);
        QCOMPARE(layout->orientation(), QPageLayout::Landscape);
        QVERIFY(layout->pageSize().isEquivalentTo(QPageSize(QPageSize::A4)));
        QCOMPARE(qRound(layout->margins(QPageLayout::Millimeter).left() * 10), 200);
        QCOMPARE(qRound(layout->margins(QPageLayout::Millimeter).top() * 10), 254);

        richtext::readDocument(R"({\rtf1 x})", doc, m_base);
        QVERIFY(!richtext::pageLayout(doc));
    }
};

QTEST_MAIN(TestRtfLayout)
#include "tst_rtflayout.moc"

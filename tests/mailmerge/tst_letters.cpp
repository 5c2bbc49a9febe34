#include "reports/ReportTestUtil.h"

#include "reports/layouts/MergedLetters.h"
#include "platform/AppError.h"
#include "reports/Renderer.h"
#include "reports/RichTextLayout.h"
#include "richtext/RichText.h"
#include "reports/TextMetrics.h"

#include "reports/PagePainter.h"
#include "reports/ui/Preview.h"
#include "reports/ReportFile.h"

#include <QBuffer>
#include <QLabel>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextFrame>
#include <QUrl>
#include <QPainter>

using namespace reports;
using namespace Qt::StringLiterals;
using reporttest::near;

namespace {

// The band's corner lies on the margins: 10 mm from the left and top edges of the paper.
constexpr double kLeft = 10.0;
constexpr double kTop = 10.0;

QTextDocument* longLetter(QTextDocument& doc, int paragraphs)
{
    QTextCursor cursor(&doc);
    for (int i = 1; i <= paragraphs; ++i)
        cursor.insertText(QStringLiteral("Paragraph %1 of the letter.%2").arg(i).arg(i < paragraphs ? "\n" : ""));
    return &doc;
}

// The text items whose left edge lies at x and whose top lies within [top, bottom), from top to bottom.
std::vector<TextItem> itemsIn(const Page& page, double x, double top, double bottom)
{
    std::vector<TextItem> found;
    for (const TextItem& t : reporttest::texts(page))
        if (near(t.box.left(), x, 1e-3) && t.box.top() >= top - 1e-6 && t.box.top() < bottom)
            found.push_back(t);
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.box.top() < b.box.top(); });
    return found;
}

QStringList textsIn(const Page& page, double x, double top, double bottom)
{
    QStringList result;
    for (const TextItem& t : itemsIn(page, x, top, bottom))
        result << t.text;
    return result;
}

std::vector<TextItem> addressItems(const Page& page)
{
    return itemsIn(page, kLeft + 0.8, kTop + 0.5, kTop + 0.5 + 28.8);
}

QStringList addressTexts(const Page& page)
{
    return textsIn(page, kLeft + 0.8, kTop + 0.5, kTop + 0.5 + 28.8);
}

std::vector<RichTextItem> bodies(const Page& page)
{
    std::vector<RichTextItem> result;
    for (const PageItem& item : page.items)
        if (const auto* body = std::get_if<RichTextItem>(&item))
            result.push_back(*body);
    return result;
}

// Each run of text, and each run's format, in document order.
QStringList fragments(const QTextDocument& document)
{
    QStringList result;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            result << it.fragment().text();
    return result;
}

QList<QTextCharFormat> formats(const QTextDocument& document)
{
    QList<QTextCharFormat> result;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            result << it.fragment().charFormat();
    return result;
}

double lineHeight(const QFont& font)
{
    return FontMetrics(ReportFont::fromQFont(font)).lineHeight();
}

} // namespace

class TestLetters : public QObject
{
    Q_OBJECT

    QTextDocument m_body;
    std::unique_ptr<TfmMailQR> m_report;

    Rendering letters(const QStringList& fields, const std::vector<QStringList>& rows)
    {
        auto source = reporttest::contacts(fields, rows);
        return render(m_report->QuickRep1, source);
    }

private slots:
    void init()
    {
        m_body.setPlainText(QStringLiteral("We are writing to tell you about our new shop."));
        m_report = std::make_unique<TfmMailQR>([this] { return &m_body; });
    }

    // One page per contact, each with its own address block and the whole letter; an empty selection still
    // gives one letter.
    void onePagePerContact_data()
    {
        QTest::addColumn<int>("contacts");
        QTest::newRow("none") << 0;
        QTest::newRow("one") << 1;
        QTest::newRow("twelve") << 12;
    }
    void onePagePerContact()
    {
        QFETCH(int, contacts);
        auto source = reporttest::numbered(contacts);
        const Rendering r = render(m_report->QuickRep1, source);
        QCOMPARE(r.pageCount(), std::max(1, contacts));
        for (int i = 0; i < r.pageCount(); ++i) {
            const Page& page = r.pages[size_t(i)];
            QCOMPARE(page.size, QSizeF(210, 297));
            const QString surname = contacts ? QStringLiteral("Name%1").arg(i + 1) : QStringLiteral("Sir or Madam");
            QCOMPARE(textsIn(page, kLeft + 0.8, kTop + 34.9, kTop + 35), QStringList{"Dear " + surname + ","});
            QCOMPARE(addressTexts(page).value(0), contacts ? QLatin1Char(' ') + surname : QString());
            QCOMPARE(bodies(page).size(), size_t(1));
        }
        QCOMPARE(r.richTexts().size(), size_t(1));
    }

    // Lines whose merged text is empty drop out and the rest move up; the name and address lines always stay.
    void addressBlock_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QStringList>("expected");
        const QStringList all{"Firstname", "Surname", "Address1", "Address2", "A3_Village",
                              "Town",      "County",  "PostCode", "Country"};
        QTest::newRow("every line") << all
                                    << QStringList{"Zoë",     "Łukasz",          "1 High St", "Flat 2", "Little Dean",
                                                   "Glouc.",  "Gloucestershire", "GL1 1AA",   "UK"}
                                    << QStringList{"Zoë Łukasz", "1 High St Flat 2", "Little Dean",
                                                   "Glouc.",     "Gloucestershire",  "GL1 1AA", "UK"};
        QTest::newRow("town, no village, county or country")
            << QStringList{"Firstname", "Surname", "Address1", "Town", "PostCode"}
            << QStringList{"Ann", "Bee", "2 Low Rd", "Exeter", "EX1 2AB"}
            << QStringList{"Ann Bee", "2 Low Rd ", "Exeter", "EX1 2AB"};
        // Lines left with only blanks close up too.
        QTest::newRow("no address lines") << QStringList{"Firstname", "Surname", "Town"}
                                          << QStringList{"Ann", "Bee", "Exeter"}
                                          << QStringList{"Ann Bee", "Exeter"};
        QTest::newRow("a blank county") << QStringList{"Surname", "County", "Country"}
                                        << QStringList{"Bee", "  ", "UK"} << QStringList{" Bee", "UK"};
        QTest::newRow("workplace only") << QStringList{"Workplace", "Address1"}
                                        << QStringList{"Acme Widgets Ltd (company)", "1 Mill Lane"}
                                        << QStringList{"Acme Widgets Ltd (company)", "1 Mill Lane "};
        QTest::newRow("empty selection") << QStringList() << QStringList() << QStringList();
    }
    void addressBlock()
    {
        QFETCH(QStringList, fields);
        QFETCH(QStringList, values);
        QFETCH(QStringList, expected);
        const Rendering r = letters(fields, fields.isEmpty() ? std::vector<QStringList>{} : std::vector{values});
        const Page& page = r.pages.at(0);
        QCOMPARE(addressTexts(page), expected);
        // One base-font line apart from the block's top, in Arial 10 point.
        const double line = lineHeight(mailmerge::initialBaseFont());
        const std::vector<TextItem> items = addressItems(page);
        for (int i = 0; i < expected.size(); ++i) {
            const TextItem& item = items.at(size_t(i));
            QVERIFY(near(item.box.top(), kTop + 0.5 + i * line, 1e-3));
            QCOMPARE(r.fonts()[size_t(item.font)], ReportFont::arial(10));
        }
    }

    // "Dear", the name and the comma: one line, in reading order; no name gives "Sir or Madam".
    void salutation_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("expected");
        const QStringList names{"Firstname", "Surname"};
        QTest::newRow("name") << names << QStringList{"Zoë", "Łukasz"} << "Dear Zoë Łukasz,";
        QTest::newRow("surname only") << names << QStringList{"", "Bee"} << "Dear Bee,";
        QTest::newRow("first name only") << names << QStringList{"Ann", ""} << "Dear Ann,";
        QTest::newRow("workplace only") << QStringList{"Workplace"} << QStringList{"Acme Widgets Ltd (company)"}
                                        << "Dear Sir or Madam,";
        QTest::newRow("empty selection") << names << QStringList() << "Dear Sir or Madam,";
        QTest::newRow("arabic name") << names << QStringList{"محمد", "الهاشمي"} << "Dear محمد الهاشمي,";
    }
    void salutation()
    {
        QFETCH(QStringList, fields);
        QFETCH(QStringList, values);
        QFETCH(QString, expected);
        const Rendering r = letters(fields, values.isEmpty() ? std::vector<QStringList>{} : std::vector{values});
        const Page& page = r.pages.at(0);
        const std::vector<TextItem> items = itemsIn(page, kLeft + 0.8, kTop + 34.9, kTop + 35);
        QCOMPARE(items.size(), size_t(1));
        QCOMPARE(items[0].text, expected);
        // Laid out as one paragraph, the comma stands right of every letter of the name, whatever its direction.
        QTextLayout layout(expected, ReportFont::arial(10).toQFont());
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        const QTextLine line = layout.lineAt(0);
        const qsizetype comma = expected.lastIndexOf(QLatin1Char(','));
        for (qsizetype i = 5; i < comma; ++i)
            QVERIFY2(line.cursorToX(int(i)) < line.cursorToX(int(comma)) + 1e-6, qPrintable(QString::number(i)));
    }

    // Every line prints whole on white, on one line: a line too long for the page is made smaller rather than
    // wrapped, and the white fill is as wide as the longest line.
    void longLinesPrintWholeOpaque()
    {
        const QString address(70, QLatin1Char('W'));
        const Rendering r = letters({"Surname", "Address1"}, {{"Bee", address}});
        const Page& page = r.pages.at(0);
        const TextItem line = reporttest::find(page, address + QLatin1Char(' '));
        QVERIFY(line.box.width() > 100);
        QVERIFY(line.box.right() <= 200.0);
        QVERIFY(r.fonts()[size_t(line.font)].pointSize < 10);
        QCOMPARE(r.shortened, 1);
        // Each of the three elements is first filled white: the block as wide as its longest line.
        std::vector<QRectF> fills;
        for (const PageItem& item : page.items)
            if (const auto* rect = std::get_if<RectItem>(&item); rect && rect->fill == QColor(Qt::white))
                fills.push_back(rect->rect);
        QCOMPARE(fills.size(), size_t(2));
        QVERIFY(near(fills[0].left(), kLeft + 0.8) && near(fills[0].top(), kTop + 0.5));
        QVERIFY(near(fills[0].width(), line.box.width(), 1e-6) && near(fills[0].height(), 28.8));
    }

    // The address block holds every line in the base font: where they need more than its 28.8 mm, it grows and
    // the salutation and the body move down by as much, the body still cut at the page's foot. In Arial 10
    // everything stays where it was.
    void addressBlockGrowsWithTheFont_data()
    {
        QTest::addColumn<QFont>("font");
        QTest::addColumn<bool>("grows");
        QTest::newRow("Arial 10") << mailmerge::initialBaseFont() << false;
        QTest::newRow("Arial 14") << QFont(QStringLiteral("Arial"), 14) << true;
        QTest::newRow("Arial 16") << QFont(QStringLiteral("Arial"), 16) << true;
        QFont times(QStringLiteral("Times New Roman"), 24);
        times.setBold(true);
        times.setItalic(true);
        QTest::newRow("Times 24 bold italic") << times << true;
    }
    void addressBlockGrowsWithTheFont()
    {
        QFETCH(QFont, font);
        QFETCH(bool, grows);
        longLetter(m_body, 150);
        const Rendering plain = letters({"Surname"}, {{"Bee"}});
        m_report->setBaseFont(font, QColor(Qt::darkBlue));
        const QStringList all{"Firstname", "Surname", "Address1", "A3_Village", "Town", "County", "PostCode",
                              "Country"};
        const Rendering r =
            letters(all, {{"Priya", "Walker", "1 Rd", "Dean", "Exeter", "Devon", "EX1 1AA", "United Kingdom"}});
        const Page& page = r.pages.at(0);
        const double line = lineHeight(font);
        const double growth = std::max(0.0, 7 * line - 28.8);
        QCOMPARE(growth > 0, grows);

        const QStringList address{"Priya Walker", "1 Rd ", "Dean", "Exeter", "Devon", "EX1 1AA", "United Kingdom"};
        QCOMPARE(textsIn(page, kLeft + 0.8, kTop + 0.5, kTop + 0.5 + 28.8 + growth), address);
        const TextItem dear = reporttest::find(page, QStringLiteral("Dear Priya Walker,"));
        QVERIFY(near(dear.box.left(), kLeft + 0.8) && near(dear.box.top(), kTop + 34.9 + growth, 1e-6));

        const RichTextItem body = bodies(page).at(0);
        QVERIFY(near(body.rect.top(), 297 - 10 - 227.3 + 0.5 + growth, 1e-6));
        QVERIFY(body.rect.top() + body.visibleHeight <= 287.0 + 1e-6);
        if (!grows)
            QVERIFY(body == bodies(plain.pages.at(0)).at(0));
        QCOMPARE(r.richTexts(), plain.richTexts()); // the body keeps its own formatting
    }

    // The body is laid out at 188.1 mm in the page footer and cut at 206.6 mm with no line shown in part; what
    // does not fit is not carried to another page.
    void bodyIsCutAndNotContinued()
    {
        longLetter(m_body, 150);
        const Rendering r = letters({"Surname"}, {{"Bee"}, {"Cox"}});
        QCOMPARE(r.pageCount(), 2);
        for (const Page& page : r.pages) {
            const auto found = bodies(page);
            QCOMPARE(found.size(), size_t(1));
            QCOMPARE(found[0].rect, QRectF(kLeft + 0.8, 297 - 10 - 227.3 + 0.5, 188.1, 206.6));
            QVERIFY(found[0].visibleHeight <= 206.6 && found[0].visibleHeight > 195);
            QCOMPARE(found[0].content, 0);
        }
        QVERIFY(r.richTexts()[0].contains(QStringLiteral("Paragraph 150 ")));
    }

    void emptyLetterLeavesTheBodyBlank()
    {
        m_body.clear();
        const Rendering r = letters({"Surname"}, {{"Bee"}});
        QCOMPARE(r.pageCount(), 1);
        QVERIFY(bodies(r.pages[0]).empty());
        QCOMPARE(reporttest::find(r.pages[0], QStringLiteral("Dear Bee,")).text, QStringLiteral("Dear Bee,"));
    }

    // Indents and tab stops written in twips keep their length on paper: one inch is 25.4 mm, whatever the
    // resolution the body is laid out at.
    void indentsKeepTheirLengthOnPaper_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("word");
        QTest::addColumn<double>("leftMm");
        QTest::newRow("left indent") << QByteArray("{\\rtf1 {\\pard\\li1440 Indented\\par}}") << "Indented" << 25.4;
        QTest::newRow("first line") << QByteArray("{\\rtf1 {\\pard\\fi720 First\\par}}") << "First" << 12.7;
        QTest::newRow("tab stop") << QByteArray("{\\rtf1 {\\pard\\tx2880 a\\tab Tabbed\\par}}") << "Tabbed" << 50.8;
        QTest::newRow("right tab stop")
            << QByteArray("{\\rtf1 {\\pard\\tqr\\tx4320 a\\tab Right\\par}}") << "" << 76.2;
        QTest::newRow("default tab distance") << QByteArray("{\\rtf1\\deftab1440 {\\pard a\\tab Tabbed\\par}}")
                                              << "Tabbed" << 25.4;
        QTest::newRow("RTF's own default") << QByteArray("{\\rtf1 {\\pard a\\tab Tabbed\\par}}") << "Tabbed" << 12.7;
        QTest::newRow("hanging list item")
            << QByteArray("{\\rtf1 {\\pard\\li720\\fi-360\\tx720 \\bullet\\tab Item\\par}}") << "Item" << 12.7;
        QTest::newRow("right indent") << QByteArray("{\\rtf1 {\\pard\\qr\\ri1440 Right\\par}}") << "" << 188.1 - 25.4;
    }
    void indentsKeepTheirLengthOnPaper()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, word);
        QFETCH(double, leftMm);
        QTextDocument source;
        richtext::readDocument(rtf, source, QFont(QStringLiteral("Arial"), 10));
        const auto laidOut = reports::layoutRichText(reports::richTextContent(source), 188.1);
        const QTextBlock block = laidOut->begin();
        // An empty word: where the line ends.
        const int at = word.isEmpty() ? int(block.text().size()) : int(block.text().indexOf(word));
        QVERIFY(at >= 0);
        const QTextLine line = block.layout()->lineForTextPosition(at);
        const double x = line.cursorToX(at) + laidOut->documentLayout()->blockBoundingRect(block).left();
        QVERIFY2(std::abs(reports::referenceUnitsToMm(x) - leftMm) < 0.3,
                 qPrintable(QString::number(reports::referenceUnitsToMm(x))));
    }

    // The report reads the document as it stands at each rendering; nothing is copied when it is made.
    void documentIsReadWhenRendering()
    {
        m_body.setPlainText(QStringLiteral("First version"));
        const Rendering first = letters({"Surname"}, {{"Bee"}});
        m_body.setHtml(QStringLiteral("<p>Second <b>version</b></p>"));
        const Rendering second = letters({"Surname"}, {{"Bee"}});
        QVERIFY(first.richTexts().at(0).contains(QStringLiteral("First version")));
        QVERIFY(second.richTexts().at(0).contains(QStringLiteral("Second")));
        QVERIFY(!second.richTexts().at(0).contains(QStringLiteral("First version")));
    }

    void fontOption_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("family");
        QTest::addColumn<double>("size");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<bool>("italic");
        QTest::newRow("plain") << "Arial,10" << "Arial" << 10.0 << false << false;
        QTest::newRow("styled") << "Times New Roman, 12.5, bold, Italic" << "Times New Roman" << 12.5 << true << true;
        QTest::newRow("no size") << "Arial" << "" << 0.0 << false << false;
        QTest::newRow("bad size") << "Arial,big" << "" << 0.0 << false << false;
        QTest::newRow("zero size") << "Arial,0" << "" << 0.0 << false << false;
        QTest::newRow("unknown style") << "Arial,10,wide" << "" << 0.0 << false << false;
        QTest::newRow("no family") << ",10" << "" << 0.0 << false << false;
    }
    void fontOption()
    {
        QFETCH(QString, text);
        QFETCH(QString, family);
        QFETCH(double, size);
        QFETCH(bool, bold);
        QFETCH(bool, italic);
        if (family.isEmpty()) {
            QVERIFY_THROWS_EXCEPTION(platform::AppError, (void)mailmerge::parseFontOption(text));
            return;
        }
        const QFont font = mailmerge::parseFontOption(text);
        QCOMPARE(font.family(), family);
        QCOMPARE(font.pointSizeF(), size);
        QCOMPARE(font.bold(), bold);
        QCOMPARE(font.italic(), italic);
    }

    // Each letter fills in its contact's values; an empty value prints nothing, and a name that is no field
    // prints as written and is reported.
    void mergeFields()
    {
        richtext::readDocument(
            R"({\rtf1 Hello {\field{\*\fldinst MERGEFIELD Firstname}{\fldrslt x}} from {\b{\field{\*\fldinst MERGEFIELD Town}}}{\field{\*\fldinst MERGEFIELD Nickname}}.\par})",
            m_body, QFont());
        const Rendering r = letters({QStringLiteral("Firstname"), QStringLiteral("Surname"), QStringLiteral("Town")},
                                    {{QStringLiteral("Ann"), QStringLiteral("Adams"), QStringLiteral("Leeds & Co")},
                                     {QStringLiteral("Bob"), QStringLiteral("Cox"), QString()}});
        QCOMPARE(r.pageCount(), 2);
        QStringList shown;
        for (const Page& page : r.pages) {
            const auto laidOut = layoutRichText(r.richTexts()[size_t(bodies(page).at(0).content)], 100);
            shown << laidOut->toPlainText();
        }
        QCOMPARE(shown, (QStringList{QStringLiteral("Hello Ann from Leeds & Co\u00ABNickname\u00BB."),
                                     QStringLiteral("Hello Bob from \u00ABNickname\u00BB.")}));
        QCOMPARE(r.unknownMergeFields, QStringList{QStringLiteral("Nickname")});
        // The preview's status bar says so.
        auto source = reporttest::contacts({QStringLiteral("Firstname")}, {{QStringLiteral("Ann")}});
        TfmPreview preview(m_report->QuickRep1, source);
        preview.renderReport();
        QCOMPARE(preview.pnlProgress->text(), QStringLiteral("Unknown merge fields: Nickname"));
        // The field's own formatting applies, the editor's shade does not.
        const QString html = r.richTexts()[size_t(bodies(r.pages[0]).at(0).content)];
        QVERIFY(html.contains(QStringLiteral("font-weight:700;\">Leeds &amp; Co")));
        QVERIFY(!html.contains(richtext::mergeFieldShade().name()));
    }

    // A letter is laid out once, and each contact's values are put in place of its fields: the document shown
    // is the one its filled-in HTML gives, whatever the value and whatever was shown before.
    void fieldsFilledInPlace_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("inPlace");
        QTest::newRow("word") << u"Ann"_s << true;
        QTest::newRow("empty") << QString() << true;
        QTest::newRow("markup") << u"Leeds & <Co> \"1\""_s << true;
        QTest::newRow("spaces") << u"  two  spaces "_s << true;
        QTest::newRow("line break") << u"Flat 2\nHigh Street"_s << true;
        QTest::newRow("tab") << u"a\tb"_s << true;
        QTest::newRow("no-break space") << u"a\u00A0b"_s << true;
        QTest::newRow("accents and right-to-left") << u"Zo\u00EB \u05E9\u05DC\u05D5\u05DD"_s << true;
        QTest::newRow("long") << u"word "_s.repeated(80) << true;
        QTest::newRow("carriage return") << u"a\rb"_s << false;
        QTest::newRow("paragraph separator") << u"a\u2029b"_s << false;
    }

    void fieldsFilledInPlace()
    {
        QFETCH(QString, value);
        QFETCH(bool, inPlace);
        // Fields in a heading, in bold, twice in one paragraph, in a table cell, and one that is no field.
        richtext::readDocument(
            R"({\rtf1\pard\fs36 To {\field{\*\fldinst MERGEFIELD Firstname}}\par)"
            R"(\pard\fs20 {\b{\field{\*\fldinst MERGEFIELD Town}}}, {\field{\*\fldinst MERGEFIELD Surname}} and )"
            R"({\field{\*\fldinst MERGEFIELD Nickname}}\par)"
            R"(\trowd\cellx2000\cellx4000\pard\intbl {\i{\field{\*\fldinst MERGEFIELD Surname}}}\cell b\cell\row)"
            R"(\pard Yours\par})",
            m_body, QFont());
        const richtext::MergeTemplate merge(m_body, [](const QTextDocument& d) { return richTextContent(d); });
        MergedLayout layout(merge, 100, {});
        const auto texts = [&merge](const QString& given) {
            return merge.texts(
                [&](const QString& name) -> std::optional<QString> {
                    return name == u"Nickname" ? std::nullopt : std::optional(given);
                },
                nullptr);
        };
        QCOMPARE(layout.canShow(texts(value)), inPlace);
        if (!inPlace)
            return;
        // Shown after a longer and a shorter filling, so that the fields' places have moved.
        (void)layout.show(texts(u"a much longer value than most"_s));
        (void)layout.show(texts(u"x"_s));
        QTextDocument& shown = layout.show(texts(value));
        const auto expected = layoutRichText(merge.fill(texts(value)), 100);

        QCOMPARE(shown.toPlainText(), expected->toPlainText());
        QCOMPARE(fragments(shown), fragments(*expected));
        QVERIFY(formats(shown) == formats(*expected));
        QCOMPARE(shown.size(), expected->size());
        QCOMPARE(fittingHeight(shown, 12), fittingHeight(*expected, 12));
    }

    // Painted from the rendering as made, each letter shows its own contact, as it does from the saved report
    // (which holds only the letters' content), in any order of pages.
    void filledLettersPaintAsTheirContent()
    {
        richtext::readDocument(
            R"({\rtf1 Dear {\b{\field{\*\fldinst MERGEFIELD Firstname}}},\par we are writing to you in )"
            R"({\field{\*\fldinst MERGEFIELD Town}}.\par})",
            m_body, QFont());
        const Rendering r = letters({QStringLiteral("Firstname"), QStringLiteral("Town")},
                                    {{QStringLiteral("Ann"), QStringLiteral("Leeds")},
                                     {QStringLiteral("Bartholomew"), QString()},
                                     {QStringLiteral("Ann"), QStringLiteral("Leeds")}});
        QCOMPARE(r.pageCount(), 3);
        QCOMPARE(r.richTexts().size(), size_t(2));
        const Rendering loaded = deserializeReport(serializeReport(r), QStringLiteral("letters"));
        const auto paint = [](const Rendering& rendering, int page) {
            QImage image(QSize(210, 297) * 3, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::white);
            QPainter painter(&image);
            paintPage(painter, rendering, page, {3.0, {}, false});
            return image;
        };
        for (const int page : {1, 0, 2, 1})
            QCOMPARE(paint(r, page), paint(loaded, page));
        QVERIFY(paint(r, 0) != paint(r, 1));
    }

    // A picture in the body prints on every letter and is kept once: in the rendering, its file and the PDF.
    void picturesAreKeptOnce()
    {
        QImage logo(QSize(40, 10), QImage::Format_RGB32);
        logo.fill(Qt::darkBlue);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        logo.save(&buffer, "PNG");
        richtext::readDocument("{\\rtf1{\\pict\\pngblip\\picwgoal1500\\pichgoal375 " + png.toHex() +
                                   "}\\par Dear {\\field{\\*\\fldinst MERGEFIELD Firstname}}\\par}",
                               m_body, QFont());
        auto source = reporttest::numbered(3);
        const Rendering r = render(m_report->QuickRep1, source);
        QCOMPARE(r.pageCount(), 3);
        QCOMPARE(r.images().size(), size_t(1));
        QCOMPARE(r.images().begin()->second.size(), QSize(40, 10));
        QVERIFY(r.richTexts()[0].contains(r.images().begin()->first));

        const Rendering loaded = deserializeReport(serializeReport(r), QStringLiteral("letters"));
        QCOMPARE(loaded.images().size(), size_t(1));
        QCOMPARE(loaded.images().begin()->first, r.images().begin()->first);

        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("letters.pdf"));
        writePdf(r, pdf);
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count("/Subtype /Image"), 1);
    }

    // Pictures are put back after the HTML is read, each where the HTML reader itself would have put it, as it
    // would have formatted it: the letter lays out exactly as read in one go.
    void picturesLaidOutAsRead_data()
    {
        QTest::addColumn<QString>("html");
        QTest::newRow("sized, among text") << u"<p>a<img src=\"logo\" width=\"40\" height=\"10\" />b c</p>"_s;
        QTest::newRow("middle") << u"<p>a<img src=\"logo\" style=\"vertical-align: middle;\" />b</p>"_s;
        QTest::newRow("top, in a large font")
            << u"<p><span style=\"font-size:20pt;\">x<img src=\"logo\" style=\"vertical-align: top;\" /></span></p>"_s;
        QTest::newRow("in a link") << u"<p><a href=\"https://example.org\">go<img src='logo' alt=\"A &quot;b&quot;\"></a></p>"_s;
        QTest::newRow("floating") << u"<p><img src=\"logo\" style=\"float: right;\" />text</p>"_s;
        QTest::newRow("in a table and twice")
            << u"<table><tr><td><img src=\"logo\" /><img src=\"logo\" width=\"80\" /></td><td>x</td></tr></table><p>&lt;img src=\"no\"&gt;</p>"_s;
        QTest::newRow("none") << u"<p>&lt;img src=\"logo\" /&gt;</p>"_s;
    }
    void picturesLaidOutAsRead()
    {
        QFETCH(QString, html);
        QImage logo(QSize(40, 10), QImage::Format_RGB32);
        logo.fill(Qt::darkBlue);
        const std::map<QString, QImage> images{{u"logo"_s, logo}};
        const auto laidOut = layoutRichText(html, 100, images);
        QTextDocument read;
        read.setPageSize(QSizeF(0, 0));
        read.documentLayout()->setPaintDevice(referenceDevice());
        read.setDocumentMargin(0);
        read.addResource(QTextDocument::ImageResource, QUrl(u"logo"_s), logo);
        read.setHtml(html);
        read.setTextWidth(mmToReferenceUnits(100));

        QCOMPARE(laidOut->toPlainText(), read.toPlainText());
        auto pictures = [](const QTextDocument& doc) {
            QStringList found;
            for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
                for (auto it = block.begin(); !it.atEnd(); ++it) {
                    const QTextFragment fragment = it.fragment();
                    if (!fragment.charFormat().isImageFormat())
                        continue;
                    QTextImageFormat format = fragment.charFormat().toImageFormat();
                    const auto* frame = qobject_cast<QTextFrame*>(doc.objectForFormat(format));
                    format.clearProperty(QTextFormat::ObjectIndex);
                    QStringList properties;
                    const auto all = format.properties();
                    for (auto p = all.begin(); p != all.end(); ++p)
                        properties << QString::number(p.key()) + u'=' + p.value().toString();
                    found << QString::number(fragment.position()) + u' ' + properties.join(u',') + u" float "_s +
                                 QString::number(frame ? int(frame->frameFormat().position()) : -1);
                }
            return found;
        };
        QCOMPARE(pictures(*laidOut), pictures(read));
        QCOMPARE(laidOut->documentLayout()->documentSize(), read.documentLayout()->documentSize());
    }

    // The editor's printout: a long document on as many pages as it needs, each going on where the last ended.
    void documentPagesFollowOn()
    {
        QTextDocument doc;
        longLetter(doc, 150);
        const Rendering r = documentPages(doc, QStringLiteral("letter"));
        QVERIFY(r.pageCount() >= 3);
        double offset = 0;
        for (const Page& page : r.pages) {
            const std::vector<RichTextItem> parts = bodies(page);
            QCOMPARE(parts.size(), size_t(1));
            QCOMPARE(parts[0].offset, offset);
            QVERIFY((parts[0].visibleHeight > 200 && parts[0].visibleHeight <= 257.0 + 1e-9) || &page == &r.pages.back());
            offset += parts[0].visibleHeight;
        }
        const Rendering loaded = deserializeReport(serializeReport(r), QStringLiteral("letter"));
        QCOMPARE(bodies(loaded.pages[1]).at(0).offset, bodies(r.pages[1]).at(0).offset);
    }

    // A letter's header and footer print on every page, read from the drawn page: the header where the file puts
    // it, the footer's "Page N of M" counted on the printout, each clear of the text; DATE shows the day of printing.
    void documentPagesPrintHeaderAndFooter()
    {
        QByteArray rtf = "{\\rtf1\\paperw11906\\paperh16838\\margt1440\\margb1440\\sectd\\headery567\\footery850"
                         "{\\header\\pard\\qc Club news\\par}{\\footer\\pard Page {\\field{\\*\\fldinst PAGE}{\\fldrslt 9}} "
                         "of {\\field{\\*\\fldinst NUMPAGES}{\\fldrslt 9}}\\par}"
                         "Written {\\field{\\*\\fldinst DATE \\\\@ \"yyyy\"}{\\fldrslt 1999}}\\par ";
        for (int i = 0; i < 60; ++i)
            rtf += "Line " + QByteArray::number(i) + " of the letter.\\par ";
        QTextDocument doc;
        richtext::readDocument(rtf + "}", doc, QFont());
        const Rendering r = documentPages(doc, QStringLiteral("letter"));
        QCOMPARE(r.pageCount(), 2);
        const auto text = [&r](const RichTextItem& item) {
            QTextDocument shown;
            shown.setHtml(r.richTexts().at(std::size_t(item.content)));
            return shown.toPlainText();
        };
        for (int i = 0; i < 2; ++i) {
            const std::vector<RichTextItem> parts = bodies(r.pages[std::size_t(i)]);
            QCOMPARE(parts.size(), size_t(3));
            const RichTextItem& body = parts[0];
            const RichTextItem& header = parts[1];
            const RichTextItem& footer = parts[2];
            QCOMPARE(text(header), u"Club news"_s);
            QCOMPARE(text(footer), QStringLiteral("Page %1 of 2").arg(i + 1));
            QVERIFY(near(header.rect.top(), 10.0, 0.01));
            QVERIFY(near(footer.rect.bottom(), 297.0 - 15.0, 0.01));
            QVERIFY(header.rect.bottom() <= body.rect.top());
            QVERIFY(footer.rect.top() >= body.rect.bottom());
        }
        const QString body = text(bodies(r.pages[0]).at(0));
        QVERIFY2(body.startsWith(QStringLiteral("Written %1").arg(QDate::currentDate().year())), qPrintable(body.left(20)));
    }

    // Each page of the printout ends between two lines, wherever paragraphs, table rows of uneven cells and
    // words longer than a line fall; together the pages show the whole document.
    void documentPagesEndBetweenLines_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QByteArray lines = "{\\rtf1 ";
        for (int i = 0; i < 300; ++i)
            lines += "Line " + QByteArray::number(i) + " of the letter.\\par ";
        QTest::newRow("paragraphs") << lines + "}";
        QByteArray table = "{\\rtf1 Before\\par ";
        for (int i = 0; i < 40; ++i)
            table += "\\trowd\\cellx3000\\cellx6000\\pard\\intbl " + QByteArray("Tall cell line\\par ").repeated(1 + i % 7) +
                     "end\\cell {\\fs96 Row " + QByteArray::number(i) + "}\\cell\\row ";
        QTest::newRow("table rows of uneven cells") << table + "\\pard After\\par}";
        QTest::newRow("long word") << "{\\rtf1 Before\\par " + QByteArray(30000, 'w') + "\\par After\\par}";
    }

    void documentPagesEndBetweenLines()
    {
        QFETCH(QByteArray, rtf);
        QTextDocument doc;
        richtext::readDocument(rtf, doc, QFont());
        const Rendering r = documentPages(doc, QStringLiteral("letter"));
        QVERIFY(r.pageCount() >= 3);
        const double width = bodies(r.pages[0]).at(0).rect.width();
        const auto laidOut = layoutRichText(r.richTexts().at(0), width);
        std::vector<double> ends;
        for (const Page& page : r.pages) {
            const RichTextItem part = bodies(page).at(0);
            ends.push_back(mmToReferenceUnits(part.offset + part.visibleHeight));
        }
        QVERIFY(ends.back() >= laidOut->documentLayout()->documentSize().height() - 1);
        for (QTextBlock block = laidOut->begin(); block.isValid(); block = block.next()) {
            const QPointF at = laidOut->documentLayout()->blockBoundingRect(block).topLeft();
            for (int i = 0; i < block.layout()->lineCount(); ++i) {
                const QRectF line = block.layout()->lineAt(i).rect().translated(at);
                QVERIFY2(block.layout()->lineAt(i).naturalTextWidth() <= mmToReferenceUnits(width) + 1,
                         qPrintable(block.text().left(20)));
                for (const double end : ends)
                    QVERIFY2(line.bottom() <= end + 1e-3 || line.top() >= end - 1e-3,
                             qPrintable(u"line %1 of \"%2\" cut"_s.arg(i).arg(block.text().left(20))));
            }
        }
    }

    // A word longer than many lines is broken where a line is full, keeping its letters, and a field inside it
    // is filled in as anywhere else.
    void longWordKeepsItsLettersAndFields()
    {
        const QByteArray word(5000, 'w');
        richtext::readDocument("{\\rtf1 " + word.left(999) + "{\\field{\\*\\fldinst MERGEFIELD Town}}" + word.mid(999) +
                                   "\\par}",
                               m_body, QFont());
        const richtext::MergeTemplate merge(m_body, [](const QTextDocument& d) { return richTextContent(d); });
        MergedLayout layout(merge, 100, {});
        QVERIFY(layout.canShow({u"Leeds"_s}));
        QString shown = layout.show({u"Leeds"_s}).toPlainText();
        shown.remove(QChar(0x200B));
        QCOMPARE(shown, QString::fromLatin1(word.left(999)) + u"Leeds"_s + QString::fromLatin1(word.mid(999)));
    }
};

QTEST_MAIN(TestLetters)
#include "tst_letters.moc"

#include "reports/RichTextLayout.h"

#include "reports/Pages.h"
#include "reports/TextMetrics.h"
#include "richtext/PrintedParts.h"
#include "richtext/RichText.h"

#include <QAbstractTextDocumentLayout>
#include <QDateTime>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextBoundaryFinder>
#include <QPixmap>
#include <QRegularExpression>
#include <QUrl>

#include <optional>

namespace reports {

namespace {

// Lengths in a document are pixels of the screen it was written on (96 per inch). Qt's layout scales most of
// them to the paint device (vertical spacing, list indents, tab stops, tables) but not a paragraph's left and
// right margins or its first-line indent; on the reference device those are scaled here, so that an indent
// of one inch stays one inch on paper.
constexpr double kScreenDpi = 96.0;

void scaleHorizontalIndents(QTextDocument& document, double factor)
{
    QTextCursor cursor(&document);
    // One edit step: the layout then follows the changes once, not once for each paragraph.
    cursor.beginEditBlock();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextBlockFormat format = block.blockFormat();
        if (format.leftMargin() == 0 && format.rightMargin() == 0 && format.textIndent() == 0)
            continue;
        format.setLeftMargin(format.leftMargin() * factor);
        format.setRightMargin(format.rightMargin() * factor);
        format.setTextIndent(format.textIndent() * factor);
        cursor.setPosition(block.position());
        cursor.setBlockFormat(format);
    }
    cursor.endEditBlock();
}

const QLatin1String kTabsMark("<!--tab stops ");

// "<!--tab stops d80.00;3:96.00r,192.00l;7:48.00c-->": the default distance, then for each block that sets its
// own, the block number and each stop's position and kind.
QString tabStopsComment(const QTextDocument& document)
{
    QStringList blocks{QLatin1Char('d') + QString::number(document.defaultTextOption().tabStopDistance(), 'f', 2)};
    int number = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next(), ++number) {
        const QList<QTextOption::Tab> tabs = block.blockFormat().tabPositions();
        if (tabs.isEmpty())
            continue;
        QStringList stops;
        for (const QTextOption::Tab& tab : tabs) {
            const char kind = tab.type == QTextOption::RightTab    ? 'r'
                              : tab.type == QTextOption::CenterTab ? 'c'
                              : tab.type == QTextOption::DelimiterTab ? 'd'
                                                                    : 'l';
            stops << QString::number(tab.position, 'f', 2) + QLatin1Char(kind);
        }
        blocks << QString::number(number) + QLatin1Char(':') + stops.join(QLatin1Char(','));
    }
    return kTabsMark + blocks.join(QLatin1Char(';')) + QStringLiteral("-->");
}

void applyTabStops(QTextDocument& document, const QString& content)
{
    const qsizetype at = content.lastIndexOf(kTabsMark);
    if (at < 0)
        return;
    const qsizetype end = content.indexOf(QStringLiteral("-->"), at);
    const QString list = content.mid(at + kTabsMark.size(), end < 0 ? -1 : end - at - kTabsMark.size());
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    for (const QString& entry : list.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        bool ok = false;
        if (entry.startsWith(QLatin1Char('d'))) {
            const double distance = entry.mid(1).toDouble(&ok);
            if (ok && distance > 0) {
                QTextOption option = document.defaultTextOption();
                option.setTabStopDistance(distance);
                document.setDefaultTextOption(option);
            }
            continue;
        }
        const int number = entry.section(QLatin1Char(':'), 0, 0).toInt(&ok);
        const QTextBlock block = ok ? document.findBlockByNumber(number) : QTextBlock();
        if (!block.isValid())
            continue;
        QList<QTextOption::Tab> tabs;
        for (const QString& stop : entry.section(QLatin1Char(':'), 1).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QChar kind = stop.back();
            const double position = stop.chopped(1).toDouble(&ok);
            if (!ok)
                continue;
            const QTextOption::TabType type = kind == QLatin1Char('r')   ? QTextOption::RightTab
                                              : kind == QLatin1Char('c') ? QTextOption::CenterTab
                                              : kind == QLatin1Char('d') ? QTextOption::DelimiterTab
                                                                         : QTextOption::LeftTab;
            tabs << QTextOption::Tab(position, type, type == QTextOption::DelimiterTab ? QChar('.') : QChar());
        }
        QTextBlockFormat format = block.blockFormat();
        format.setTabPositions(tabs);
        cursor.setPosition(block.position());
        cursor.setBlockFormat(format);
    }
    cursor.endEditBlock();
}

} // namespace

QString richTextContent(const QTextDocument& document)
{
    return document.toHtml() + tabStopsComment(document);
}

std::map<QString, QImage> richTextImages(const QTextDocument& document)
{
    std::map<QString, QImage> images;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            const QString name = format.toImageFormat().name();
            if (images.count(name))
                continue;
            const QVariant resource = document.resource(QTextDocument::ImageResource, QUrl(name));
            QImage image = resource.value<QImage>();
            if (image.isNull() && resource.canConvert<QPixmap>())
                image = resource.value<QPixmap>().toImage();
            if (!image.isNull())
                images.emplace(name, image);
        }
    }
    return images;
}

namespace {

// Only links a reader can follow safely become links of a PDF; the rest (javascript:, file:, relative names)
// print as the text they are, looking as they did.
void keepOnlySafeLinks(QTextDocument& document)
{
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (!format.isAnchor() && !format.hasProperty(QTextFormat::AnchorHref))
                continue;
            const QString scheme = QUrl(format.anchorHref().trimmed()).scheme().toLower();
            if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
                scheme == QLatin1String("mailto"))
                continue;
            QTextCharFormat plain = format;
            plain.setAnchor(false);
            plain.clearProperty(QTextFormat::AnchorHref);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(plain);
        }
    }
    cursor.endEditBlock();
}

// The longest stretch of text that a line is looked for in. Qt looks for the end of a line up to the next place
// where a line may break, from every line of a paragraph: across a word of a million letters (a pasted blob,
// say), laying it out would take as long as the square of its length. Such a word is broken anywhere anyway,
// as a line cannot hold it; an invisible break opportunity every so many letters keeps the search short, and
// moves a line's end only where a word is longer than this, far longer than any line.
constexpr qsizetype kLongestUnbrokenRun = 1000;

// The places in a paragraph's text where a word longer than kLongestUnbrokenRun gets its break opportunities.
std::vector<qsizetype> longWordBreaks(const QString& text)
{
    std::vector<qsizetype> breaks;
    if (text.size() <= kLongestUnbrokenRun)
        return breaks;
    // A merge field's mark: its start, digits, its end.
    auto insideMark = [&text](qsizetype at) {
        if (!text.at(at).isDigit() && text.at(at).unicode() != richtext::MergeTemplate::kMarkEnd)
            return false;
        qsizetype first = at;
        while (first > 0 && at - first < 12 && text.at(first - 1).isDigit())
            --first;
        return first > 0 && text.at(first - 1).unicode() == richtext::MergeTemplate::kMarkStart;
    };
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, text);
    qsizetype previous = 0;
    for (qsizetype next = finder.toNextBoundary(); next >= 0; next = finder.toNextBoundary()) {
        for (qsizetype at = previous + kLongestUnbrokenRun; at < next; at += kLongestUnbrokenRun) {
            // Never inside a character, a cluster or a merge field's mark.
            while (at < next && (text.at(at).isLowSurrogate() || text.at(at).isMark() || insideMark(at)))
                ++at;
            if (at < next)
                breaks.push_back(at);
        }
        previous = next;
    }
    return breaks;
}

void breakLongWords(QTextDocument& document)
{
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const std::vector<qsizetype> breaks = longWordBreaks(block.text());
        // From the end, so that the places before stay where they are.
        for (auto it = breaks.rbegin(); it != breaks.rend(); ++it) {
            cursor.setPosition(block.position() + int(*it));
            cursor.insertText(QString(QChar(0x200B))); // zero width space
        }
    }
    cursor.endEditBlock();
}

// A picture taken out of a document's HTML, to be put back once the HTML is read.
struct TakenImage
{
    QString name;
    QString alt;
    QString title;
    double width = -1;
    double height = -1;
    std::optional<QTextCharFormat::VerticalAlignment> vertical;
    QTextFrameFormat::Position position = QTextFrameFormat::InFlow;
};

QString attributeOf(QStringView tag, QLatin1String name)
{
    static const QRegularExpression attribute(
        QStringLiteral(R"re(([A-Za-z-]+)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>]+)))re"));
    for (auto it = attribute.globalMatch(tag); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        if (match.capturedView(1).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        const int which = match.hasCaptured(2) ? 2 : match.hasCaptured(3) ? 3 : 4;
        // The few entities an attribute written by a document holds.
        QString value = match.captured(which);
        value.replace(QLatin1String("&quot;"), QLatin1String("\""));
        value.replace(QLatin1String("&lt;"), QLatin1String("<"));
        value.replace(QLatin1String("&gt;"), QLatin1String(">"));
        value.replace(QLatin1String("&amp;"), QLatin1String("&"));
        return value;
    }
    return {};
}

// Reading HTML, Qt lays out a paragraph's text again for every picture in it: a paragraph of thousands of
// pictures would take as long as the square of their number. The pictures are taken out of the HTML, each
// leaving one character that no document of ours holds, and put back in one step once it is read.
QString takeImages(const QString& html, QChar mark, std::vector<TakenImage>& taken)
{
    static const QRegularExpression imageTag(QStringLiteral(R"(<img\b[^>]*>)"),
                                             QRegularExpression::CaseInsensitiveOption);
    QString out;
    qsizetype last = 0;
    for (auto it = imageTag.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QStringView tag = match.capturedView(0);
        TakenImage image;
        image.name = attributeOf(tag, QLatin1String("src"));
        image.alt = attributeOf(tag, QLatin1String("alt"));
        image.title = attributeOf(tag, QLatin1String("title"));
        bool ok = false;
        if (const double w = attributeOf(tag, QLatin1String("width")).toDouble(&ok); ok)
            image.width = w;
        if (const double h = attributeOf(tag, QLatin1String("height")).toDouble(&ok); ok)
            image.height = h;
        const QString style = attributeOf(tag, QLatin1String("style")).toLower().remove(QLatin1Char(' '));
        const QString align = attributeOf(tag, QLatin1String("align")).toLower();
        if (style.contains(QLatin1String("vertical-align:middle")) || align == QLatin1String("middle"))
            image.vertical = QTextCharFormat::AlignMiddle;
        else if (style.contains(QLatin1String("vertical-align:top")) || align == QLatin1String("top"))
            image.vertical = QTextCharFormat::AlignTop;
        else if (style.contains(QLatin1String("vertical-align:bottom")) || align == QLatin1String("bottom"))
            image.vertical = QTextCharFormat::AlignBottom;
        if (style.contains(QLatin1String("float:left")) || align == QLatin1String("left"))
            image.position = QTextFrameFormat::FloatLeft;
        else if (style.contains(QLatin1String("float:right")) || align == QLatin1String("right"))
            image.position = QTextFrameFormat::FloatRight;
        out += QStringView(html).mid(last, match.capturedStart(0) - last);
        out += mark;
        last = match.capturedEnd(0);
        taken.push_back(std::move(image));
    }
    out += QStringView(html).mid(last);
    return out;
}

// Reads the HTML into the document, pictures included, in time that grows in step with it.
void readHtml(QTextDocument& document, const QString& html)
{
    // A character of the private use area that the HTML does not hold anywhere.
    QChar mark;
    for (char16_t c = 0xE000; c < 0xF900 && mark.isNull(); ++c)
        if (!html.contains(QChar(c)) && !html.contains(QStringLiteral("&#%1;").arg(int(c))) &&
            !html.contains(QStringLiteral("&#x%1;").arg(int(c), 0, 16), Qt::CaseInsensitive))
            mark = QChar(c);
    std::vector<TakenImage> taken;
    const QString stripped = mark.isNull() ? QString() : takeImages(html, mark, taken);
    if (taken.empty()) {
        document.setHtml(html);
        return;
    }
    document.setHtml(stripped);
    std::vector<int> places;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        for (qsizetype at = text.indexOf(mark); at >= 0; at = text.indexOf(mark, at + 1))
            places.push_back(block.position() + int(at));
    }
    // A picture where the HTML reader drops it (in the head, say): read as it is, slowly but the same.
    if (places.size() != taken.size()) {
        document.setHtml(html);
        return;
    }
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    // From the end, so that the places before stay where they are.
    for (size_t i = places.size(); i-- > 0;) {
        const TakenImage& image = taken[i];
        cursor.setPosition(places[i]);
        cursor.setPosition(places[i] + 1, QTextCursor::KeepAnchor);
        // The picture takes the character format of where it stands (a link, say), as read from its HTML.
        QTextImageFormat format;
        format.merge(cursor.charFormat());
        format.setName(image.name);
        if (!image.alt.isEmpty())
            format.setProperty(QTextFormat::ImageAltText, image.alt);
        if (!image.title.isEmpty())
            format.setProperty(QTextFormat::ImageTitle, image.title);
        if (image.width >= 0)
            format.setWidth(image.width);
        if (image.height >= 0)
            format.setHeight(image.height);
        if (image.vertical)
            format.setVerticalAlignment(*image.vertical);
        cursor.removeSelectedText();
        cursor.insertImage(format, image.position);
    }
    cursor.endEditBlock();
}

} // namespace

std::unique_ptr<QTextDocument> layoutRichText(const QString& html, double widthMm,
                                              const std::map<QString, QImage>& images)
{
    installFontSubstitutions();
    auto document = std::make_unique<QTextDocument>();
    // No page size: nothing is laid out until the width is set, once all the changes below are made.
    document->setPageSize(QSizeF(0, 0));
    document->documentLayout()->setPaintDevice(referenceDevice());
    document->setDocumentMargin(0);
    // The very images of the rendering, so that a PDF holds each of them once however often it is drawn.
    for (const auto& [name, image] : images)
        document->addResource(QTextDocument::ImageResource, QUrl(name), image);
    readHtml(*document, html);
    keepOnlySafeLinks(*document);
    breakLongWords(*document);
    applyTabStops(*document, html);
    scaleHorizontalIndents(*document, kReferenceDpi / kScreenDpi);
    document->setTextWidth(mmToReferenceUnits(widthMm));
    return document;
}

namespace {

// A field's text as the document holds it once read from its HTML: a line break ends a line, not a paragraph.
QString documentText(const QString& text)
{
    QString shown = text;
    shown.replace(QLatin1Char('\n'), QChar(QChar::LineSeparator));
    return shown;
}

// Characters that the HTML reader and a text cursor take differently (a carriage return: dropped, or a new
// paragraph), or that stand for structure in a document: such values are laid out from their HTML.
bool showsAsItself(QChar c)
{
    if (c == QLatin1Char('\n') || c == QLatin1Char('\t'))
        return true;
    if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0))
        return false;
    switch (c.unicode()) {
    case QChar::ParagraphSeparator:
    case QChar::LineSeparator:
    case QChar::ObjectReplacementCharacter:
    case 0xFDD0: // the start and end of a frame
    case 0xFDD1:
    case richtext::MergeTemplate::kMarkStart:
    case richtext::MergeTemplate::kMarkEnd:
        return false;
    default:
        return true;
    }
}

} // namespace

MergedLayout::MergedLayout(const richtext::MergeTemplate& merge, double widthMm,
                           const std::map<QString, QImage>& images)
    : m_widthMm(widthMm), m_document(layoutRichText(merge.content(), widthMm, images))
{
    m_document->setUndoRedoEnabled(false);
    const QChar start(richtext::MergeTemplate::kMarkStart);
    const QChar end(richtext::MergeTemplate::kMarkEnd);
    std::vector<bool> seen(size_t(merge.fieldCount()), false);
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QString text = fragment.text();
            for (qsizetype open = text.indexOf(start); open >= 0; open = text.indexOf(start, open + 1)) {
                const qsizetype close = text.indexOf(end, open);
                bool ok = false;
                const int number = close < 0 ? -1 : QStringView(text).mid(open + 1, close - open - 1).toInt(&ok);
                // A broken mark or one met twice: text of the document's own, not the template's fields.
                if (!ok || number < 0 || number >= merge.fieldCount() || seen[size_t(number)])
                    return;
                seen[size_t(number)] = true;
                m_fields.push_back(Field{number, block.blockNumber(), fragment.position() + int(open),
                                         int(close - open + 1), fragment.charFormat(), text.mid(open, close - open + 1)});
            }
        }
    }
    m_valid = qsizetype(m_fields.size()) == merge.fieldCount();
}

MergedLayout::~MergedLayout() = default;

bool MergedLayout::canShow(const QStringList& texts) const
{
    if (!m_valid || texts.size() != qsizetype(m_fields.size()))
        return false;
    for (const QString& text : texts)
        for (const QChar c : text)
            if (!showsAsItself(c))
                return false;
    return true;
}

QTextDocument& MergedLayout::show(const QStringList& texts)
{
    std::vector<int> positions(m_fields.size());
    int moved = 0;
    for (size_t i = 0; i < m_fields.size(); ++i) {
        positions[i] = m_fields[i].position + moved;
        moved += int(m_fields[i].shown.size()) - m_fields[i].length;
    }
    QTextCursor cursor(m_document.get());
    // The fields of one paragraph are changed in one step, so that it is laid out once, and only it.
    int paragraph = -1;
    // From the last field back, so that the positions before it stay as they are.
    for (size_t i = m_fields.size(); i-- > 0;) {
        Field& field = m_fields[i];
        const QString text = documentText(texts.value(field.number));
        if (text == field.shown)
            continue;
        if (field.block != paragraph) {
            if (paragraph >= 0)
                cursor.endEditBlock();
            cursor.beginEditBlock();
            paragraph = field.block;
        }
        cursor.setPosition(positions[i]);
        cursor.setPosition(positions[i] + int(field.shown.size()), QTextCursor::KeepAnchor);
        if (text.isEmpty())
            cursor.removeSelectedText();
        else
            cursor.insertText(text, field.format);
        field.shown = text;
    }
    if (paragraph >= 0)
        cursor.endEditBlock();
    return *m_document;
}

namespace {

// Where to cut the part of the document from `top` to `limit` (reference units), looking from `from` on. The
// blocks that end above `top` are passed once and for all, so that the parts of a document, found one after
// the other, take as long together as the document's layout.
double cutBetween(QTextDocument& document, QTextBlock& from, double top, double limit)
{
    QAbstractTextDocumentLayout* layout = document.documentLayout();
    const QTextFrame* root = document.rootFrame();
    while (from.isValid() && layout->blockBoundingRect(from).bottom() <= top)
        from = from.next();
    double cut = limit;
    for (QTextBlock block = from; block.isValid(); block = block.next()) {
        const QRectF blockRect = layout->blockBoundingRect(block);
        if (blockRect.top() >= cut) {
            // What follows a paragraph of the page's own flow lies below it; a table cell's neighbours may not.
            if (document.frameAt(block.position()) == root)
                break;
            continue;
        }
        if (blockRect.bottom() <= top)
            continue;
        const QTextLayout* lines = block.layout();
        if (!lines)
            continue;
        // A paragraph's lines follow each other down: look only at those from the part's top to the cut.
        const double y = blockRect.top();
        int first = 0;
        for (int count = lines->lineCount(); count > 0;) {
            const int half = count / 2;
            if (y + lines->lineAt(first + half).rect().top() < top - 1e-6) {
                first += half + 1;
                count -= half + 1;
            } else {
                count = half;
            }
        }
        for (int i = first; i < lines->lineCount(); ++i) {
            const QRectF line = lines->lineAt(i).rect().translated(blockRect.topLeft());
            if (line.top() >= cut)
                break;
            if (line.bottom() > limit + 1e-6)
                cut = line.top();
        }
    }
    return cut;
}

double fittingHeightFrom(QTextDocument& document, QTextBlock& from, double offsetMm, double heightMm)
{
    const double top = mmToReferenceUnits(offsetMm);
    const double limit = top + mmToReferenceUnits(heightMm);
    double cut = cutBetween(document, from, top, limit);
    if (offsetMm > 0 && cut <= top + 1e-6)
        cut = limit;
    return referenceUnitsToMm(std::max(0.0, cut - top));
}

} // namespace

double fittingHeight(QTextDocument& document, double heightMm)
{
    return fittingHeight(document, 0, heightMm);
}

double fittingHeight(QTextDocument& document, double offsetMm, double heightMm)
{
    QTextBlock from = document.begin();
    return fittingHeightFrom(document, from, offsetMm, heightMm);
}

namespace {

// The letter's header at the top of every page and its footer at the foot, their page numbers and count those of
// the printout.
void addHeaderAndFooter(Rendering& out, const QTextDocument& source, double width, double left, const QDateTime& now)
{
    const richtext::PrintedParts parts = richtext::printedParts(source);
    const int pages = int(out.pages.size());
    for (QTextDocument* part : {parts.header.get(), parts.footer.get()}) {
        if (!part)
            continue;
        const std::map<QString, QImage> images = richTextImages(*part);
        for (const auto& [name, image] : images)
            out.addImage(name, image);
        for (int i = 0; i < pages; ++i) {
            richtext::showPrintedFields(*part, i + 1, pages, now);
            const QString html = richTextContent(*part);
            const auto laidOut = layoutRichText(html, width, images);
            const double height = referenceUnitsToMm(laidOut->documentLayout()->documentSize().height());
            Page& page = out.pages[std::size_t(i)];
            const double top = part == parts.header.get() ? parts.headerTopMm
                                                          : page.size.height() - parts.footerBottomMm - height;
            page.items.emplace_back(RichTextItem{QRectF(left, top, width, height), height, out.addRichText(html), 0});
        }
    }
}

} // namespace

Rendering documentPages(const QTextDocument& source, const QString& title, const std::function<void(int)>& progress)
{
    Rendering out;
    out.title = title;
    // A4 with 20 mm margins, unless the letter sets its own page.
    QSizeF paper(210.0, 297.0);
    QMarginsF margins(20.0, 20.0, 20.0, 20.0);
    if (const std::optional<QPageLayout> own = richtext::pageLayout(source)) {
        paper = own->fullRect(QPageLayout::Millimeter).size();
        margins = own->margins(QPageLayout::Millimeter);
        // A page too small for its margins keeps at least a quarter of it for the text.
        margins.setLeft(std::min(margins.left(), paper.width() * 0.375));
        margins.setRight(std::min(margins.right(), paper.width() * 0.375));
        margins.setTop(std::min(margins.top(), paper.height() * 0.375));
        margins.setBottom(std::min(margins.bottom(), paper.height() * 0.375));
    }
    const double width = paper.width() - margins.left() - margins.right();
    const double height = paper.height() - margins.top() - margins.bottom();
    // Fields such as DATE show what they show on the day of printing.
    const QDateTime now = QDateTime::currentDateTime();
    std::unique_ptr<QTextDocument> evaluated;
    if (richtext::hasKeptFields(source)) {
        evaluated.reset(source.clone());
        richtext::showPrintedFields(*evaluated, 1, 1, now);
    }
    const QString html = richTextContent(evaluated ? *evaluated : source);
    const std::map<QString, QImage> images = richTextImages(source);
    for (const auto& [name, image] : images)
        out.addImage(name, image);
    const auto document = layoutRichText(html, width, images);
    const int content = out.addRichText(html);
    const double total = referenceUnitsToMm(document->documentLayout()->documentSize().height());
    double offset = 0;
    QTextBlock from = document->begin();
    do {
        double shown = fittingHeightFrom(*document, from, offset, height);
        if (shown <= 0)
            shown = height; // a line taller than a page: what fits of it
        Page page;
        page.size = paper;
        page.items.emplace_back(RichTextItem{QRectF(margins.left(), margins.top(), width, height), shown, content, offset});
        out.pages.push_back(std::move(page));
        offset += shown;
        if (progress && total > 0)
            progress(int(std::min(100.0, 100.0 * offset / total)));
    } while (offset < total - 1e-3);
    addHeaderAndFooter(out, source, width, margins.left(), now);
    out.finished = true;
    return out;
}

} // namespace reports

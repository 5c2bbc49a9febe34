// Lays the user manual out from its Markdown source into a PDF with Qt's own text engine, so that building it
// needs nothing beyond the packages the program itself is built with.
//
//   manual_builder SOURCE.md OUTPUT.pdf [PICTURE_FOLDER]
//
// Pictures are looked for beside the source, then in the picture folder; one found in neither is left out.
// A paragraph that reads [[CONTENTS]] becomes the table of contents, with the page of every chapter and section.
// Every chapter starts on a new page; each page but the first carries the manual's title and its number.
// The same text is also written as one HTML file beside the PDF (OUTPUT.html, pictures inside it): a screen reader
// reads its headings, lists and tables, which Qt's PDF writer cannot tag.

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

const char* const ContentsMark = "[[CONTENTS]]";
const QString Title = QStringLiteral("Tovrel User Manual");
constexpr int Resolution = 300; // dots per inch of the layout
constexpr qreal MarginMm = 20;
constexpr qreal HeaderMm = 8; // room for the running head and the page number, inside the margins

struct Heading
{
    QTextBlock block;
    int level;
};

[[nodiscard]] qreal mmToDots(qreal mm)
{
    return mm / 25.4 * Resolution;
}

void fail(const QString& message)
{
    std::fprintf(stderr, "manual_builder: %s\n", qPrintable(message));
    std::exit(1);
}

QList<Heading> headingsOf(const QTextDocument& document, int deepest)
{
    QList<Heading> headings;
    for (QTextBlock b = document.begin(); b.isValid(); b = b.next()) {
        const int level = b.blockFormat().headingLevel();
        if (level > 0 && level <= deepest)
            headings << Heading{b, level};
    }
    return headings;
}

// Chapters open on a new page, and headings stay with the text that follows them.
void styleHeadings(QTextDocument& document)
{
    bool first = true;
    for (const Heading& h : headingsOf(document, 6)) {
        QTextCursor cursor(h.block);
        QTextBlockFormat format = h.block.blockFormat();
        format.setTopMargin(h.level == 1 ? 0 : mmToDots(4));
        format.setBottomMargin(mmToDots(h.level == 1 ? 4 : 1.5));
        if (h.level == 1 && !first)
            format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        cursor.setBlockFormat(format);
        first = false;
    }
}

// Replaces the mark by a two-column table of headings and pages; the pages are filled in once laid out.
QTextTable* insertContents(QTextDocument& document, const QList<Heading>& headings)
{
    QTextBlock mark;
    for (QTextBlock b = document.begin(); b.isValid(); b = b.next())
        if (b.text().trimmed() == QLatin1String(ContentsMark))
            mark = b;
    if (!mark.isValid())
        return nullptr;
    QTextCursor cursor(mark);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    QTextCharFormat heading;
    heading.setFontWeight(QFont::Bold);
    heading.setFontPointSize(13);
    QTextBlockFormat headingBlock;
    headingBlock.setTopMargin(mmToDots(4));
    headingBlock.setBottomMargin(mmToDots(2));
    cursor.setBlockFormat(headingBlock);
    cursor.insertText(QStringLiteral("Contents"), heading);

    QTextTableFormat format;
    format.setBorder(0);
    format.setCellPadding(0);
    format.setCellSpacing(0);
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    format.setColumnWidthConstraints(
        {QTextLength(QTextLength::PercentageLength, 90), QTextLength(QTextLength::PercentageLength, 10)});
    QTextTable* table = cursor.insertTable(int(headings.size()), 2, format);
    for (int row = 0; row < headings.size(); ++row) {
        const Heading& h = headings[row];
        QTextCharFormat text;
        text.setFontWeight(h.level == 1 ? QFont::Bold : QFont::Normal);
        QTextCursor title = table->cellAt(row, 0).firstCursorPosition();
        QTextBlockFormat indent;
        indent.setIndent(h.level - 1);
        indent.setLineHeight(125, QTextBlockFormat::ProportionalHeight);
        if (h.level == 1) {
            // A little room above each chapter.
            for (int column = 0; column < 2; ++column) {
                QTextTableCell cell = table->cellAt(row, column);
                QTextTableCellFormat spaced = cell.format().toTableCellFormat();
                spaced.setTopPadding(mmToDots(2));
                cell.setFormat(spaced);
            }
        }
        title.setBlockFormat(indent);
        title.insertText(h.block.text(), text);
        QTextCursor page = table->cellAt(row, 1).firstCursorPosition();
        QTextBlockFormat right;
        right.setAlignment(Qt::AlignRight);
        right.setLineHeight(indent.lineHeight(), QTextBlockFormat::ProportionalHeight);
        page.setBlockFormat(right);
        page.insertText(QStringLiteral("000"), text);
    }
    return table;
}

// Edits are laid out piecemeal and the rest is left for an event loop that never runs here: lay it all out anew.
void relayout(QTextDocument& document)
{
    document.setPageSize(document.pageSize());
    (void)document.pageCount();
}

// Thin rules around every cell, with a little room inside; the first row is the table's heading.
void styleTables(QTextDocument& document)
{
    for (QTextFrame* frame : document.rootFrame()->childFrames()) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (!table)
            continue;
        QTextTableFormat format = table->format();
        format.setBorder(mmToDots(0.2));
        format.setBorderBrush(Qt::gray);
        format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        format.setBorderCollapse(true);
        format.setCellSpacing(0);
        format.setCellPadding(mmToDots(0.6));
        format.setHeaderRowCount(1); // repeated at the top of a page when a table runs on
        format.setTopMargin(mmToDots(1.5));
        format.setBottomMargin(mmToDots(2.5));
        table->setFormat(format);
    }
}

// A picture's size on the screen it was taken from, in pixels of 96 to the inch: the pictures of the windows are
// drawn at a finer resolution than the screen's, and their files say which.
[[nodiscard]] QSizeF screenSize(const QImage& image)
{
    const qreal dpi = image.dotsPerMeterX() > 0 ? image.dotsPerMeterX() * 0.0254 : 96;
    const qreal scale = dpi > 100 ? 96 / dpi : 1; // a file that says less than a screen's resolution says nothing
    return QSizeF(image.width() * scale, image.height() * scale);
}

struct Picture
{
    int position;
    QTextImageFormat format;
};

// Every picture the text names, in the order it stands.
QList<Picture> picturesOf(const QTextDocument& document)
{
    QList<Picture> pictures;
    for (QTextBlock b = document.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                pictures << Picture{it.fragment().position(), it.fragment().charFormat().toImageFormat()};
    return pictures;
}

// Loads every picture the text names, a little smaller than on screen and never wider than the page; a picture that
// cannot be found is taken out.
void placePictures(QTextDocument& document, const QStringList& folders, qreal maxWidth)
{
    const QList<Picture> pictures = picturesOf(document);
    // From the end, so that taking one out moves none of those still to do.
    for (auto p = pictures.crbegin(); p != pictures.crend(); ++p) {
        QTextCursor cursor(&document);
        cursor.setPosition(p->position);
        cursor.setPosition(p->position + 1, QTextCursor::KeepAnchor);
        QImage image;
        for (const QString& folder : folders)
            if (image.load(QDir(folder).filePath(p->format.name())))
                break;
        if (image.isNull()) {
            std::fprintf(stderr, "manual_builder: no picture %s, left out\n", qPrintable(p->format.name()));
            cursor.removeSelectedText();
            continue;
        }
        document.addResource(QTextDocument::ImageResource, QUrl(p->format.name()), image);
        // Picture sizes count screen pixels, 96 to the inch, whatever the page's resolution. At 85 % of the size on
        // screen a window's 9-point text prints at about 7.5 points, still easily read.
        const qreal toDots = qreal(Resolution) / 96;
        const QSizeF size = screenSize(image);
        const qreal scale = std::min(0.85, maxWidth / (size.width() * toDots));
        QTextImageFormat format = p->format;
        format.setWidth(size.width() * scale);
        format.setHeight(size.height() * scale);
        cursor.setCharFormat(format);
    }
}

// The page of a block's first line (a block may begin at the foot of one page with its first line on the next).
int pageOf(const QTextDocument& document, const QTextBlock& block)
{
    qreal top = document.documentLayout()->blockBoundingRect(block).top();
    if (block.layout() && block.layout()->lineCount() > 0)
        top += block.layout()->lineAt(0).y();
    // Half a dot of slack: a page break puts a block exactly on the page's first line.
    return int((top + 0.5) / document.pageSize().height()) + 1;
}

// A heading left alone at the foot of a page moves to the next one, with the text it introduces.
void keepHeadingsWithText(QTextDocument& document)
{
    for (const Heading& h : headingsOf(document, 6)) {
        const QTextBlock next = h.block.next();
        if (!next.isValid() || pageOf(document, h.block) == pageOf(document, next))
            continue;
        QTextCursor cursor(h.block);
        QTextBlockFormat format = h.block.blockFormat();
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        cursor.setBlockFormat(format);
        relayout(document);
    }
}

void fillPages(QTextDocument& document, QTextTable* table, const QList<Heading>& headings)
{
    for (int row = 0; row < headings.size(); ++row) {
        QTextCursor cell = table->cellAt(row, 1).firstCursorPosition();
        cell.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        const QTextCharFormat format = cell.charFormat();
        cell.insertText(QString::number(pageOf(document, headings[row].block)), format);
    }
}

void paint(QTextDocument& document, QPdfWriter& writer)
{
    QPainter painter(&writer);
    if (!painter.isActive())
        fail(QStringLiteral("cannot write %1").arg(writer.title()));
    const QSizeF page = document.pageSize();
    const int pages = document.pageCount();
    const qreal headerHeight = mmToDots(HeaderMm);
    QFont small = document.defaultFont();
    small.setPointSizeF(8);
    for (int index = 0; index < pages; ++index) {
        if (index > 0)
            writer.newPage();
        if (index > 0) {
            painter.save();
            painter.setFont(small);
            painter.setPen(Qt::darkGray);
            const QRectF head(0, 0, page.width(), headerHeight * 0.6);
            painter.drawText(head, Qt::AlignLeft | Qt::AlignTop, Title);
            painter.drawText(head, Qt::AlignRight | Qt::AlignTop, QString::number(index + 1));
            painter.drawLine(QPointF(0, headerHeight * 0.7), QPointF(page.width(), headerHeight * 0.7));
            painter.restore();
        }
        painter.save();
        painter.translate(0, headerHeight - index * page.height());
        const QRectF visible(0, index * page.height(), page.width(), page.height());
        painter.setClipRect(visible);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = visible;
        context.palette.setColor(QPalette::Text, Qt::black);
        document.documentLayout()->draw(&painter, context);
        painter.restore();
    }
}

// The manual as a web page: headings, lists and tables as such, each picture inside the file.
void writeHtml(const QString& markdown, const QStringList& folders, const QString& path)
{
    QTextDocument document;
    // A web page is its own contents list: the reader's list of headings.
    document.setMarkdown(QString(markdown).remove(QLatin1String(ContentsMark)), QTextDocument::MarkdownDialectGitHub);
    document.setMetaInformation(QTextDocument::DocumentTitle, Title);
    const QList<Picture> pictures = picturesOf(document);
    for (auto p = pictures.crbegin(); p != pictures.crend(); ++p) {
        QTextCursor cursor(&document);
        cursor.setPosition(p->position);
        cursor.setPosition(p->position + 1, QTextCursor::KeepAnchor);
        QByteArray png;
        for (const QString& folder : folders) {
            QFile file(QDir(folder).filePath(p->format.name()));
            if (file.open(QIODevice::ReadOnly)) {
                png = file.readAll();
                break;
            }
        }
        if (png.isEmpty()) {
            cursor.removeSelectedText();
            continue;
        }
        QTextImageFormat format = p->format;
        format.setName(QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64()));
        const QSizeF size = screenSize(QImage::fromData(png));
        if (!size.isEmpty()) {
            format.setWidth(size.width());
            format.setHeight(size.height());
        }
        cursor.setCharFormat(format);
    }
    QString html = document.toHtml();
    html.replace(QStringLiteral("<html>"), QStringLiteral("<html lang=\"en\">"));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(html.toUtf8()) < 0 || !out.flush())
        fail(QStringLiteral("cannot write %1").arg(path));
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3 || arguments.size() > 4)
        fail(QStringLiteral("usage: manual_builder SOURCE.md OUTPUT.pdf [PICTURE_FOLDER]"));
    QFile source(arguments[1]);
    if (!source.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read %1").arg(arguments[1]));
    const QString markdown = QString::fromUtf8(source.readAll());

    QPdfWriter writer(arguments[2]);
    writer.setTitle(Title);
    writer.setCreator(QStringLiteral("Tovrel"));
    writer.setResolution(Resolution);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(MarginMm, MarginMm - HeaderMm, MarginMm, MarginMm),
                                     QPageLayout::Millimeter));

    QTextDocument document;
    document.documentLayout()->setPaintDevice(&writer);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSizeF(10.5);
    document.setDefaultFont(font);
    document.setDocumentMargin(0);
    document.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
    styleHeadings(document);
    styleTables(document);

    const QRect body = writer.pageLayout().paintRectPixels(Resolution);
    document.setPageSize(QSizeF(body.width(), body.height() - mmToDots(HeaderMm)));
    QStringList pictureFolders{QFileInfo(arguments[1]).absolutePath()};
    if (arguments.size() > 3)
        pictureFolders << arguments[3];
    placePictures(document, pictureFolders, body.width());
    const QFileInfo pdf(arguments[2]);
    writeHtml(markdown, pictureFolders, pdf.path() + QLatin1Char('/') + pdf.completeBaseName() + QStringLiteral(".html"));

    // The first heading is the manual's own title.
    QList<Heading> headings = headingsOf(document, 2);
    if (!headings.isEmpty())
        headings.removeFirst();
    QTextTable* contents = insertContents(document, headings);
    relayout(document);
    keepHeadingsWithText(document);
    if (contents) {
        fillPages(document, contents, headings);
        relayout(document);
    }

    paint(document, writer);
    return 0;
}

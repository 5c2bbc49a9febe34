#include "richtext/RichText.h"

#include "platform/AppError.h"
#include "platform/OutputFile.h"
#include "platform/Windows1252.h"
#include "richtext/CodePage.h"
#include "richtext/RtfReader.h"
#include "richtext/TextSanitizer.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QTextBlock>
#include <QTextFragment>
#include <QFont>
#include <QStringDecoder>
#include <QTextCursor>
#include <QTextDocument>

namespace richtext {

namespace {

QByteArrayView withoutUtf8Bom(QByteArrayView bytes)
{
    return bytes.startsWith("\xEF\xBB\xBF") ? bytes.sliced(3) : bytes;
}

// A byte order mark declares UTF-8 (damaged sequences then read as U+FFFD); without one, text that is
// not valid UTF-8 is taken for Windows-1252.
QString decodePlainText(QByteArrayView bytes)
{
    const QByteArrayView body = withoutUtf8Bom(bytes);
    QStringDecoder utf8(QStringConverter::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(body);
    if (!utf8.hasError() || body.size() != bytes.size())
        return text;
    return platform::decodeWindows1252(bytes);
}

void readPlainText(QByteArrayView bytes, QTextDocument& doc, const QFont& baseFont)
{
    QString text = decodePlainText(bytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text = sanitizedText(std::move(text), true);

    QTextCharFormat format;
    format.setFont(baseFont);
    const bool undo = doc.isUndoRedoEnabled();
    doc.setUndoRedoEnabled(false);
    doc.clear();
    doc.setDefaultFont(baseFont);
    QTextCursor cursor(&doc);
    cursor.beginEditBlock();
    cursor.setBlockCharFormat(format);
    cursor.insertText(text, format); // each line break starts a new paragraph
    cursor.endEditBlock();
    forgetFileSettings(doc);
    doc.setUndoRedoEnabled(undo);
    doc.setModified(false);
}

const char* const kUnkeptProperty = "tovrelUnkeptContent";

constexpr char16_t kMarkStart = MergeTemplate::kMarkStart;
constexpr char16_t kMarkEnd = MergeTemplate::kMarkEnd;

QString htmlEscaped(const QString& text)
{
    QString escaped = text.toHtmlEscaped();
    escaped.replace(QLatin1Char('\n'), QLatin1String("<br />"));
    return escaped;
}

} // namespace

void setUnkeptContent(QTextDocument& doc, const QStringList& what)
{
    doc.setProperty(kUnkeptProperty, what);
}

const char* const kPageSetupProperty = "tovrelPageSetup";

PageSetup pageSetup(const QTextDocument& doc)
{
    return doc.property(kPageSetupProperty).value<PageSetup>();
}

void setPageSetup(QTextDocument& doc, const PageSetup& setup)
{
    doc.setProperty(kPageSetupProperty, QVariant::fromValue(setup));
}

std::optional<QPageLayout> pageLayout(const QTextDocument& doc)
{
    const PageSetup s = pageSetup(doc);
    if (!s.paperWidth && !s.paperHeight && !s.marginLeft && !s.marginRight && !s.marginTop && !s.marginBottom &&
        !s.landscape)
        return std::nullopt;
    const auto mm = [](int twips, int otherwise) { return (twips > 0 ? twips : otherwise) * 25.4 / 1440.0; };
    QSizeF paper(mm(s.paperWidth, 12240), mm(s.paperHeight, 15840));
    // A landscape page states its width as the longer side; the page size itself is always portrait.
    const bool landscape = s.landscape || paper.width() > paper.height();
    if (paper.width() > paper.height())
        paper.transpose();
    const QMarginsF margins(mm(s.marginLeft, 1800), mm(s.marginTop, 1440), mm(s.marginRight, 1800),
                            mm(s.marginBottom, 1440));
    return QPageLayout(QPageSize(paper, QPageSize::Millimeter),
                       landscape ? QPageLayout::Landscape : QPageLayout::Portrait, margins, QPageLayout::Millimeter);
}

namespace {

// What the document holds of each kind of kept content: kept objects and pictures by the character, fields by
// their number, sections by their first paragraph.
QHash<QString, int> keptContentHeld(const QTextDocument& doc)
{
    QHash<QString, int> held;
    QHash<QString, QSet<int>> fields;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().hasProperty(SectionStartProperty))
            ++held[QStringLiteral("settings of later sections")];
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.hasProperty(KeptKindProperty))
                continue;
            const QString kind = format.stringProperty(KeptKindProperty);
            if (format.hasProperty(KeptFieldProperty))
                fields[kind].insert(format.intProperty(KeptFieldProperty));
            else
                held[kind] += it.fragment().length();
        }
    }
    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
        held[it.key()] += int(it.value().size());
    return held;
}

} // namespace

QStringList unkeptContent(const QTextDocument& doc)
{
    QStringList unkept = doc.property(kUnkeptProperty).toStringList();
    const QStringList kinds = doc.property(kKeptKindsProperty).toStringList();
    if (kinds.isEmpty())
        return unkept;
    const QVariantList read = doc.property(kKeptCountsProperty).toList();
    const QHash<QString, int> held = keptContentHeld(doc);
    for (qsizetype i = 0; i < kinds.size(); ++i) {
        if (held.value(kinds[i]) < read.value(i).toInt() && !unkept.contains(kinds[i]))
            unkept << kinds[i];
    }
    return unkept;
}

void settleKeptContent(QTextDocument& doc)
{
    setUnkeptContent(doc, {});
    const QHash<QString, int> held = keptContentHeld(doc);
    QStringList kinds;
    QVariantList counts;
    for (const QString& kind : doc.property(kKeptKindsProperty).toStringList()) {
        kinds << kind;
        counts << held.value(kind);
    }
    doc.setProperty(kKeptKindsProperty, kinds);
    doc.setProperty(kKeptCountsProperty, counts);
}

void forgetFileSettings(QTextDocument& doc)
{
    setUnkeptContent(doc, {});
    setPageSetup(doc, {});
    for (const char* name : {kNoFontTableProperty, kRtfHeadProperty, kRtfSectionHeadProperty, kRtfDocumentWordsProperty,
                             kRtfFontTableProperty, kRtfColorTableProperty, kRtfFontsProperty, kRtfDefaultFontProperty,
                             kRtfColorsProperty, kKeptKindsProperty, kKeptCountsProperty})
        doc.setProperty(name, QVariant());
}

QColor mergeFieldShade()
{
    return QColor(0xE4, 0xE4, 0xE4);
}

void insertMergeField(QTextCursor& cursor, const QString& name)
{
    QTextCharFormat format = cursor.charFormat();
    const QTextCharFormat plain = format;
    format.setProperty(MergeFieldProperty, name);
    format.setBackground(mergeFieldShade());
    format.setAnchor(false);
    format.clearProperty(QTextFormat::AnchorHref);
    cursor.insertText(QStringLiteral("\u00AB%1\u00BB").arg(name), format);
    // What is typed next is text again.
    QTextCharFormat after = plain;
    after.clearProperty(MergeFieldProperty);
    after.clearBackground();
    cursor.setCharFormat(after);
}

MergeTemplate::MergeTemplate(const QTextDocument& doc,
                             const std::function<QString(const QTextDocument&)>& content)
{
    bool any = false;
    for (QTextBlock block = doc.begin(); block.isValid() && !any; block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().hasProperty(MergeFieldProperty)) {
                any = true;
                break;
            }
        }
    }
    if (!any) {
        m_content = content(doc);
        return;
    }
    // A copy in which each field is a mark, and shows without the editor's shade.
    std::unique_ptr<QTextDocument> copy(doc.clone());
    QTextCursor cursor(copy.get());
    cursor.beginEditBlock();
    for (QTextBlock block = copy->begin(); block.isValid(); block = block.next()) {
        QList<QTextFragment> fields;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().hasProperty(MergeFieldProperty))
                fields << it.fragment();
        }
        // From the end, so that the positions before stay valid.
        for (qsizetype i = fields.size(); i-- > 0;) {
            const QTextFragment& fragment = fields[i];
            QTextCharFormat format = fragment.charFormat();
            format.clearProperty(MergeFieldProperty);
            if (format.background().color() == mergeFieldShade())
                format.clearBackground();
            // The fragment may hold several fields, or text typed next to one.
            const QString text = fragment.text();
            QString marked;
            qsizetype pos = 0;
            while (pos < text.size()) {
                const qsizetype open = text.indexOf(QChar(0x00AB), pos);
                const qsizetype close = open < 0 ? -1 : text.indexOf(QChar(0x00BB), open + 1);
                if (close < 0) {
                    marked += text.mid(pos);
                    break;
                }
                marked += text.mid(pos, open - pos);
                marked += QChar(kMarkStart) + QString::number(m_names.size()) + QChar(kMarkEnd);
                m_names << text.mid(open + 1, close - open - 1);
                pos = close + 1;
            }
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.insertText(marked, format);
        }
    }
    cursor.endEditBlock();
    m_content = content(*copy);
}

QStringList MergeTemplate::texts(const FieldValue& value, QStringList* unknown) const
{
    QStringList result;
    result.reserve(m_names.size());
    for (const QString& name : m_names) {
        if (std::optional<QString> given = value(name)) {
            result << std::move(*given);
        } else {
            result << QStringLiteral("\u00AB%1\u00BB").arg(name);
            if (unknown && !unknown->contains(name))
                unknown->append(name);
        }
    }
    return result;
}

QString MergeTemplate::fill(const QStringList& texts) const
{
    if (m_names.isEmpty())
        return m_content;
    QString out;
    out.reserve(m_content.size());
    qsizetype pos = 0;
    while (true) {
        const qsizetype open = m_content.indexOf(QChar(kMarkStart), pos);
        const qsizetype close = open < 0 ? -1 : m_content.indexOf(QChar(kMarkEnd), open);
        if (close < 0) {
            out += QStringView(m_content).mid(pos);
            break;
        }
        out += QStringView(m_content).mid(pos, open - pos);
        bool ok = false;
        const int number = QStringView(m_content).mid(open + 1, close - open - 1).toInt(&ok);
        if (ok && number >= 0 && number < texts.size())
            out += htmlEscaped(texts[number]);
        pos = close + 1;
    }
    return out;
}

bool isRtf(const QByteArray& bytes)
{
    const QByteArrayView data = withoutUtf8Bom(bytes);
    qsizetype pos = 0;
    while (pos < data.size() && (data[pos] == ' ' || data[pos] == '\t' || data[pos] == '\r' || data[pos] == '\n'))
        ++pos;
    if (!data.sliced(pos).startsWith("{\\rtf"))
        return false;
    // "{\rtfx" is some other control word, not the RTF header.
    pos += 5;
    return pos == data.size() || !((data[pos] >= 'a' && data[pos] <= 'z') || (data[pos] >= 'A' && data[pos] <= 'Z'));
}

void readDocument(const QByteArray& bytes, QTextDocument& doc, const QFont& baseFont)
{
    if (isRtf(bytes))
        readRtf(bytes, doc, baseFont);
    else
        readPlainText(bytes, doc, baseFont);
}

void loadFile(const QString& path, QTextDocument& doc, const QFont& baseFont)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw platform::AppError(QStringLiteral("Cannot open file %1").arg(path));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw platform::AppError(QStringLiteral("Failed to Load Stream"));
    readDocument(bytes, doc, baseFont);
}

void saveFile(const QString& path, const QTextDocument& doc)
{
    // A letter saved under the address book's name would cost every contact.
    platform::refuseOwnFile(path);
    const QByteArray data = writeRtf(doc);
    // The one writer of documents: a pipe or a device stays what it is, a file is replaced only once complete.
    platform::OutputFile file(path);
    try {
        file.open();
    } catch (const platform::AppError&) {
        throw platform::AppError(QStringLiteral("Cannot create file %1").arg(path));
    }
    try {
        if (file.device().write(data) != data.size())
            throw platform::AppError(QString());
        file.commit();
    } catch (const platform::AppError&) {
        throw platform::AppError(QStringLiteral("Failed to Save Stream"));
    }
}

} // namespace richtext

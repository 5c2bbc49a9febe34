#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QStringList>
#include <QMetaType>
#include <QPageLayout>
#include <QTextFormat>

#include <functional>
#include <memory>
#include <optional>

class QFont;
class QTextCursor;
class QTextDocument;

// Reading and writing the editor's documents: RTF in, RTF out, plain text in.
namespace richtext {

// Properties the editor's documents carry beyond Qt's own.
enum FormatProperty : int {
    // QString, on text that shows a merge field as «Name»: the field's name.
    MergeFieldProperty = QTextFormat::UserProperty + 0x17,
    // QByteArray, on a picture: what is written back; the PNG or JPEG data, or for a picture kept as it was
    // read, its whole RTF group.
    PictureDataProperty,
    // QString, on a picture: "png", "jpeg", or "rtf" for one kept as it was read.
    PictureKindProperty,
    // QString, on underlined text: the RTF underline word where it is not a plain one ("uldb", "ulw").
    UnderlineWordProperty,
    // QByteArray, on text or a paragraph: RTF words the editor does not show, written back as they were read.
    KeptWordsProperty,
    // bool, on text: right-to-left (the paragraph's direction is the block's own).
    RightToLeftRunProperty,
    // QString, on a paragraph: the leaders of its tab stops in their order ("d", "h", "u", "t", "m", "e" or " ").
    TabLeadersProperty,
    // QString, on a paragraph or a table cell: its borders, "side:style,width,space,#rrggbb" joined with ';'
    // (sides t, l, b, r; lengths in twips).
    BordersProperty,
    // QString, on an object character: hidden text, kept in place and not shown.
    HiddenTextProperty,
    // int, on a list: the number (\ls) and level the file gave it, so that a list stays the list it was.
    ListNumberProperty,
    ListLevelProperty,
    // double, on a paragraph of a list: the hanging first line the file gave it. The list's marker hangs
    // there on screen, so the line itself starts with the others.
    ListHangingIndentProperty,
    // int, on a list: the number of its first item where the file starts it at another than 1. Qt's lists
    // count from 1, so the editor shows 1; the file gets its own number back.
    ListStartProperty,
    // QString, on a merge field read from a file: the text the file shows as its result, written back as it was.
    MergeFieldResultProperty,
    // QByteArray: an RTF group the editor does not show (a footnote, a header, a comment, a shape), written back
    // where it stood. On a kept object, or on the shown result of a field (the whole field's group).
    KeptRtfProperty,
    // QString, with KeptRtfProperty: what the group is, in the words the save question uses ("footnotes").
    KeptKindProperty,
    // int, with KeptRtfProperty on a field's result: the field the text belongs to (its group is written once).
    KeptFieldProperty,
    // QByteArray, on the first paragraph of a section after the first: the section's own words ("\sectd...").
    SectionStartProperty,
    // QVariantList of QByteArray, on a table: each row's own words (gap, left edge, height), by row.
    TableRowWordsProperty,
    // QByteArray, on a list read from a file: its definition (the \list group), written back as it was read.
    ListDefinitionProperty,
    // int, with ListDefinitionProperty: the definition's \listid.
    ListIdProperty,
};

// The object type of hidden text: it has no handler, so it takes no room.
constexpr int HiddenTextObject = QTextFormat::UserObject + 0x17;
// The object type of a kept RTF group (KeptRtfProperty): it takes no room either.
constexpr int KeptRtfObject = QTextFormat::UserObject + 0x18;

// A letter's page as the file sets it. Lengths in twips; 0 where the file says nothing.
struct PageSetup
{
    int paperWidth = 0;
    int paperHeight = 0;
    int marginLeft = 0;
    int marginRight = 0;
    int marginTop = 0;
    int marginBottom = 0;
    bool landscape = false;
    QByteArray sectionWords; // what else the file says of its section (columns, page numbers), as it said it
    bool operator==(const PageSetup&) const = default;
    [[nodiscard]] bool isEmpty() const { return *this == PageSetup{}; }
};

[[nodiscard]] PageSetup pageSetup(const QTextDocument& doc);
void setPageSetup(QTextDocument& doc, const PageSetup& setup);
// The page the document sets, in millimetres with its margins, or nullopt when it sets none (the caller's
// own page then holds). A side the file leaves out keeps RTF's default: Letter paper, 1.25 in and 1 in margins.
[[nodiscard]] std::optional<QPageLayout> pageLayout(const QTextDocument& doc);

// The kinds of content that the file last read held and that a save would not write ("footnotes",
// "shapes"...): what the reader could not keep, and what it kept that an edit has since removed (the
// paragraph that held a footnote's mark, say). Empty when a save writes back all the file held.
[[nodiscard]] QStringList unkeptContent(const QTextDocument& doc);

// Takes what the document holds now as what its file holds, once it has been saved over that file.
void settleKeptContent(QTextDocument& doc);

// Forgets what the file last read held beyond the text (its page, tables, styles and kept groups), as
// a new document has none of it.
void forgetFileSettings(QTextDocument& doc);

// The shade behind a merge field in the editor.
[[nodiscard]] QColor mergeFieldShade();
// Inserts a merge field, shown as «name», at the cursor in the cursor's character format.
void insertMergeField(QTextCursor& cursor, const QString& name);

// True when the content is RTF: "{\rtf" after optional white space (and an optional UTF-8 byte order mark).
// The content decides, never the file name.
[[nodiscard]] bool isRtf(const QByteArray& bytes);

// Replaces the document's content. RTF is read as RTF; anything else is plain text, one paragraph per line
// (CR LF, LF or CR), every character in the base font, decoded as UTF-8 when it is valid UTF-8 and as
// Windows-1252 otherwise. Zero bytes are plain text: an empty document. The base font also becomes the
// document's default font. Damaged RTF is read as far as it sensibly goes (a NUL byte ends it, as in a
// file whose tail was never written); RTF that ends right after its header has no content to read and
// throws platform::AppError("Failed to Load Stream") with the document left as it was.
void readDocument(const QByteArray& bytes, QTextDocument& doc, const QFont& baseFont);

// The whole document as RTF 1.x: fonts, sizes, bold, italic, underline, strike-out, colours, paragraph
// alignment, indents and spacing, tables, pictures, links and merge fields. The output is 7-bit ASCII; other characters are written as \uN.
[[nodiscard]] QByteArray writeRtf(const QTextDocument& doc);

// Reads a file into the document. Throws "Cannot open file <path>" when the file cannot be opened, and
// "Failed to Load Stream" when it cannot be read.
void loadFile(const QString& path, QTextDocument& doc, const QFont& baseFont);

// Writes the document as RTF through platform::OutputFile: a file is replaced only once the new one is complete,
// a pipe or a device is written to as it is. The program's own files and any address book are refused with
// OutputFile's message; otherwise throws "Cannot create file <path>" when the target cannot be opened and
// "Failed to Save Stream" when writing fails; the former file is then left as it was.
void saveFile(const QString& path, const QTextDocument& doc);

// A document's merge fields made ready for filling in many times: its content as the caller's function
// gives it (HTML, say), with every merge field replaced by a mark that fill() turns into a value.
class MergeTemplate
{
public:
    MergeTemplate(const QTextDocument& doc, const std::function<QString(const QTextDocument&)>& content);

    using FieldValue = std::function<std::optional<QString>(const QString& name)>;

    // Around a field's number in the content: characters of the private use area.
    static constexpr char16_t kMarkStart = 0xE000;
    static constexpr char16_t kMarkEnd = 0xE001;

    [[nodiscard]] bool hasFields() const { return !m_names.isEmpty(); }
    [[nodiscard]] qsizetype fieldCount() const { return m_names.size(); }
    // The content with each field's mark in place, e.g. to lay it out once for many fillings.
    [[nodiscard]] const QString& content() const { return m_content; }
    // What each field shows, by its number: its value, or for a field whose value is nullopt (an unknown
    // name) «Name» as written, with the name added to unknown.
    [[nodiscard]] QStringList texts(const FieldValue& value, QStringList* unknown) const;
    // The content with each field showing its text (from texts()), HTML-escaped.
    [[nodiscard]] QString fill(const QStringList& texts) const;
    [[nodiscard]] QString fill(const FieldValue& value, QStringList* unknown) const { return fill(texts(value, unknown)); }

private:
    QString m_content;
    QStringList m_names; // by mark number
};

} // namespace richtext

Q_DECLARE_METATYPE(richtext::PageSetup)

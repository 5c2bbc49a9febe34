#pragma once

#include <QByteArrayView>
#include <QStringView>

namespace richtext {

// The control words the reader acts on; every other word is ignored.
enum class RtfCommand {
    Unknown,
    // destinations
    FontTable,
    ColorTable,
    SkipDestination,
    // document
    Ansi,
    Mac,
    Pc,
    Pca,
    AnsiCodePage,
    DefaultFont,
    // font table
    Font,
    FontCharset,
    FontCodePage,
    FontNil,
    FontRoman,
    FontSwiss,
    FontModern,
    FontScript,
    FontDecor,
    FontPitch,
    // colour table
    Red,
    Green,
    Blue,
    // characters
    Plain,
    FontSize,
    Bold,
    Italic,
    Underline,
    UnderlineNone,
    Strike,
    Hidden,
    ForeColor,
    BackColor,
    UnicodeSkip,
    Unicode,
    Super,
    Sub,
    NoSuperSub,
    Caps,
    SmallCaps,
    RtlChar,
    LtrChar,
    KeptCharWord, // shown as plain text, written back as read: character spacing, outline, raised text
    AssocWord,    // \ab, \ai, \af, \afs: bold, italic, font and size of the text the mode word before names
    AssocMode,    // \loch, \hich, \dbch: which text the associated words after it are for
    SpecialCharacter, // \tab, \line, \emdash and the like: see rtfSpecialCharacter
    // paragraphs
    ParagraphDefaults,
    Paragraph,
    PageBreak,       // \page
    SectionBreak,    // \sect
    PageBreakBefore, // \pagebb
    AlignLeft,
    AlignCentre,
    AlignRight,
    AlignJustify,
    LeftIndent,
    RightIndent,
    FirstIndent,
    SpaceBefore,
    SpaceAfter,
    TabKindRight,   // \tqr, \tqc, \tqdec: the kind of the tab stop that the next \tx sets
    TabKindCentre,
    TabKindDecimal,
    TabPosition,    // \tx
    DefaultTab,     // \deftab: the distance of the tab stops a paragraph does not set
    TabLeader,      // \tldot and the like, for the tab stop that the next \tx sets
    LineSpacing,
    LineMultiple,
    RtlParagraph,
    LtrParagraph,
    ParagraphShade, // \cbpat
    BorderSide,     // \brdrt, \brdrl, \brdrb, \brdrr, \box: the border that the style words after it describe
    BorderStyle,    // \brdrs, \brdrdb...
    BorderWidth,
    BorderColor,
    BorderSpace,
    KeptParagraphWord, // written back as read: keep with next, widow control, style, frame position
    KeptMark,          // \chftn and the like: a mark the editor does not show, kept in place
    DocumentWord,      // written back as read: widow control, footnote numbering, hyphenation
    // page and section
    PaperWidth,
    PaperHeight,
    MarginLeft,
    MarginRight,
    MarginTop,
    MarginBottom,
    Landscape,
    SectionDefaults, // \sectd
    SectionWord,     // kept as read: columns, page numbering, line numbering
    // lists
    ListTable,       // \listtable, \listoverridetable
    ListDefinition,  // \list
    ListLevel,
    ListLevelStart,  // \levelstartat
    ListLevelKind,   // \levelnfc: 0 decimal, 1 and 2 upper and lower roman, 3 and 4 letters, 23 bullet
    ListId,
    ListOverride,
    ListNumber,      // \ls: the paragraph belongs to a list
    ListLevelNumber, // \ilvl
    ListText,        // \listtext: the number as written, for readers without lists
    // tables
    InTable,
    Cell,
    Row,
    NestCell,
    NestRow,
    RowDefaults,     // \trowd
    CellEdge,        // \cellx
    CellMergeFirst,  // \clmgf
    CellMerged,      // \clmrg
    CellVMergeFirst, // \clvmgf
    CellVMerged,     // \clvmrg
    CellBorderSide,  // \clbrdrt...
    CellShade,       // \clcbpat
    CellPadding,     // \clpadl, \clpadt, \clpadr, \clpadb
    CellPaddingUnit, // \clpadfl ...: 3 for twips, 0 to leave the padding to the row
    CellVAlign,      // \clvertalt, \clvertalc, \clvertalb
    RowAlignLeft,
    RowAlignCentre,
    RowAlignRight,
    RowLeft,         // \trleft
    RowWord,         // written back as read: the gap between cells, the row's height and padding
    // pictures
    Picture,
    ShapePicture, // \shppict: the picture word processors read, where \nonshppict holds a copy for older ones
    PictureWidth,
    PictureHeight,
    PictureGoalWidth,
    PictureGoalHeight,
    PictureScaleX,
    PictureScaleY,
    PicturePng,
    PictureJpeg,
    PictureOther, // a picture kind that is kept as it was read: metafiles, bitmaps
    // fields
    Field,
    FieldInstruction,
    FieldResult,
    Binary,
};

[[nodiscard]] RtfCommand rtfCommand(QByteArrayView word);

// What a skipped destination holds that the document then lacks ("footnotes"), or null for one whose loss
// takes nothing from the document (document properties, list definitions, copies for older readers).
[[nodiscard]] const char* unkeptContentOf(QByteArrayView word);

// Where a destination the reader does not show is kept: in the document's head (styles, properties), with
// the section (headers and footers met before the text), or in the text where it stands; or not at all (copies
// for older readers).
enum class KeptPlace : quint8 { Nowhere, Head, Section, Text };
[[nodiscard]] KeptPlace keptPlaceOf(QByteArrayView word);

// What a word the reader meets in the text and drops takes from the document ("nested tables"), or null.
[[nodiscard]] const char* droppedWordContent(QByteArrayView word);

// The underline words, \ul first: CharProps::underlineKind is a place in this list.
[[nodiscard]] int rtfUnderlineKind(QByteArrayView word);
[[nodiscard]] QByteArrayView rtfUnderlineWord(int kind);

// The character a SpecialCharacter word stands for.
[[nodiscard]] QStringView rtfSpecialCharacter(QByteArrayView word);

} // namespace richtext

#pragma once

#include <QByteArrayView>
#include <QStringList>

class QFont;
class QTextDocument;

namespace richtext {

// bool, on a document read from RTF without a font table: its text keeps the reader's default font, and is
// written back without naming one.
inline constexpr char kNoFontTableProperty[] = "tovrelNoFontTable";

// What a document read from RTF holds beyond its text, written back as it was read (QByteArray each): the
// destinations of its head (styles, properties), the first section's headers and footers, the document's
// own words (widow control, footnote numbering), and its font and colour tables as groups.
inline constexpr char kRtfHeadProperty[] = "tovrelRtfHead";
inline constexpr char kRtfSectionHeadProperty[] = "tovrelRtfSectionHead";
inline constexpr char kRtfDocumentWordsProperty[] = "tovrelRtfDocumentWords";
inline constexpr char kRtfFontTableProperty[] = "tovrelRtfFontTable";
inline constexpr char kRtfColorTableProperty[] = "tovrelRtfColorTable";
// The font table's entries, each {number, family, style hint, fixed pitch}; the default font's number.
inline constexpr char kRtfFontsProperty[] = "tovrelRtfFonts";
inline constexpr char kRtfDefaultFontProperty[] = "tovrelRtfDefaultFont";
// The colour table's entries in order (an invalid colour is "auto").
inline constexpr char kRtfColorsProperty[] = "tovrelRtfColors";
// The kinds of kept content read (QStringList) and how many of each (QVariantList of int).
inline constexpr char kKeptKindsProperty[] = "tovrelKeptKinds";
inline constexpr char kKeptCountsProperty[] = "tovrelKeptCounts";

// Reads RTF (the caller has checked isRtf) into the document, replacing its content. Throws
// "Failed to Load Stream", before touching the document, when nothing follows the header.
void readRtf(QByteArrayView data, QTextDocument& doc, const QFont& baseFont);

// Remembers with the document what the last read could not keep (see unkeptContent()).
void setUnkeptContent(QTextDocument& doc, const QStringList& what);

} // namespace richtext

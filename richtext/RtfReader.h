#pragma once

#include <QByteArrayView>
#include <QStringList>

class QFont;
class QTextDocument;

namespace richtext {

// bool, on a document read from RTF without a font table: its text keeps the reader's default font, and is
// written back without naming one.
inline constexpr char kNoFontTableProperty[] = "tovrelNoFontTable";

// Reads RTF (the caller has checked isRtf) into the document, replacing its content. Throws
// "Failed to Load Stream", before touching the document, when nothing follows the header.
void readRtf(QByteArrayView data, QTextDocument& doc, const QFont& baseFont);

// Remembers with the document what the last read could not keep (see unkeptContent()).
void setUnkeptContent(QTextDocument& doc, const QStringList& what);

} // namespace richtext

#pragma once

#include <QByteArray>
#include <QString>

class QFont;
class QTextDocument;

// Reading and writing the editor's documents: RTF in, RTF out, plain text in.
namespace richtext {

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
// alignment, indents and spacing. The output is 7-bit ASCII; other characters are written as \uN.
[[nodiscard]] QByteArray writeRtf(const QTextDocument& doc);

// Reads a file into the document. Throws "Cannot open file <path>" when the file cannot be opened, and
// "Failed to Load Stream" when it cannot be read.
void loadFile(const QString& path, QTextDocument& doc, const QFont& baseFont);

// Writes the document as RTF through a temporary file that replaces the target only once it is complete.
// Throws "Cannot create file <path>" when the file cannot be created and "Failed to Save Stream" when
// writing fails; the former file is then left as it was.
void saveFile(const QString& path, const QTextDocument& doc);

} // namespace richtext

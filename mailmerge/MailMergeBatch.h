#pragma once

#include <QFont>
#include <QString>
#include <optional>

class QTextDocument;

namespace reports {
class RecordSource;
}

// The merged letters without windows, for the command line.
namespace mailmerge {

// Reads a letter file the way the editor's Open reads it: RTF, or else plain text in the editor's base font.
// Throws platform::AppError as Open would report it.
void loadLetter(const QString& path, QTextDocument& document);

// Merges the letter file for every row of the source and writes the letters to one PDF file, replaced only once
// it is complete. baseFont: the font of the address block and the salutation, Arial 10 point where none is
// given. Returns the number of pages written. Throws platform::AppError.
int writeLetters(const QString& letterPath, const std::optional<QFont>& baseFont, reports::RecordSource& source,
                 const QString& pdfPath);

} // namespace mailmerge

#pragma once

#include "reports/ReportDefinition.h"

#include <QString>
#include <QStringList>

class QTextDocument;

// The merged letters without windows, for the command line.
namespace mailmerge {

// Reads a letter file the way the editor's Open reads it: RTF, or else plain text in the editor's base font.
// Throws platform::AppError as Open would report it.
void loadLetter(const QString& path, QTextDocument& document);

// The "letters" report of the command line. Takes from the options "--letter FILE" (required), the letter body,
// and "--font FAMILY,SIZE[,bold][,italic]", the font of the address block and the salutation (Arial 10 point
// where none is given); leaves the other options. The letter is read at once and kept with the definition.
// Throws platform::AppError for a missing or malformed option or a letter that cannot be read.
[[nodiscard]] reports::ReportDefinition letterBatchReport(QStringList& options);

} // namespace mailmerge

#pragma once

#include <QString>

namespace richtext {

// Makes decoded text safe to insert into a document: NULs and other control characters go (tabs stay),
// unpaired surrogates and the document's own reserved characters become U+FFFD. With keepLineBreaks,
// LF and U+2029 stay as paragraph breaks; otherwise U+2029 becomes a line break inside the paragraph.
[[nodiscard]] QString sanitizedText(QString text, bool keepLineBreaks);

} // namespace richtext

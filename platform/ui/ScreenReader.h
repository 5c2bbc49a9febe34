#pragma once

#include <QAccessible>
#include <QString>

namespace platform {

// Mends what Qt 6.4 tells a screen reader, for the whole program; called once the application object exists:
// - a list or table reports its current item as focused only while it has the keyboard focus, so moving the
//   current row from elsewhere (a letter, a search, another window) does not pull the reader away from the
//   control the keys go to;
// - a box that is not shown sends no text or value events (the hidden record card still follows every row);
// - a window made from a plain widget is a frame (a dialog where it is one), not an anonymous filler;
// - a line edit answers "the word or sentence at" its very end, and its whole text as its line, where Qt's own
//   answer spins for ever or drops the last letter.
void installScreenReaderFixes();

// Whether the event is one the fixes above keep from a screen reader.
[[nodiscard]] bool keptFromReader(QAccessibleEvent* event);

// The text of one unit (character, word, sentence, or the whole text for line and paragraph) at offset of a
// single-line text, with its start and end; empty, at the end, for an offset at or past the end.
QString textUnitAt(const QString& text, int offset, QAccessible::TextBoundaryType boundary, int* start, int* end);

} // namespace platform

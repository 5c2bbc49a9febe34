#pragma once

#include <QString>

namespace data {

// Stored text holds no NUL and no other C0 control character but TAB, CR and LF: such characters end strings in
// other programs, break the export formats and cannot be seen or typed.
[[nodiscard]] bool hasControlCharacters(const QString& text);
// The text without them; the same text when it holds none.
[[nodiscard]] QString withoutControlCharacters(const QString& text);

} // namespace data

#pragma once

#include "exchange/ContactReader.h"

namespace exchange {

// Removes NUL and the other control characters that stored text never holds from every value of a contact read,
// and notes the contact in the reader's log when it changed. True when something was removed.
bool removeControlCharacters(ReadContact& read, ImportLog& log);

} // namespace exchange

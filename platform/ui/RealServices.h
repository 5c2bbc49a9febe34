#pragma once

namespace platform {

// Puts the program's own prompts, file, font and print dialogs, sound and shell in place of whatever was there.
void installRealServices();

} // namespace platform

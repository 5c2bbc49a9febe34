#pragma once

namespace platform {

// Documents and layouts name Windows fonts ("Times New Roman", "Arial", "MS Sans Serif"). Fonts keep those
// names; this makes them draw with the metric-compatible Liberation fonts where the originals are missing.
// Called once, after the application object exists and before any window is made.
void installFontSubstitutions();

} // namespace platform

#pragma once

#include <QString>

namespace testsupport {

// The Python that holds the system's packages (vobject, icalendar, the CardDAV servers): the system's own python3
// first, which a python3 of the user's ahead on PATH lacks, then whichever python3 PATH finds. Empty when none.
[[nodiscard]] QString python();

} // namespace testsupport

#pragma once

#include <QString>

namespace app {

// A first start where the program folder holds no address book at all (or does not exist yet): asks whether to make
// a new, empty one there and, on Yes, makes the folder, an empty Tovrel.mdb and an empty ListFile.txt. An existing
// file, readable or not, is never touched. Returns whether an address book was made; throws platform::AppError when
// it could not be.
bool offerNewAddressBook(const QString& programFolder);

// Makes the folder, an empty Tovrel.mdb and an empty ListFile.txt where they are missing; what exists is kept.
// Throws platform::AppError when it cannot.
void makeNewAddressBook(const QString& programFolder);

} // namespace app

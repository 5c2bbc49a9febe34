#pragma once

#include <QString>

struct sqlite3;

namespace data {

// What is wrong with the open database file, in the engine's words ("database disk image is malformed", the first
// line of its integrity report); empty when the file is intact. Reads every page once and changes nothing.
[[nodiscard]] QString databaseFault(sqlite3* db);

// The same, and besides the contact table and every stored field the program reads ("it has no table HomeAd").
[[nodiscard]] QString contactDatabaseFault(sqlite3* db);

class Connection;

// Opens the connection where it is not open and throws AppError ("The address book <path> is damaged: <fault>;
// <consequence>") when its file fails databaseFault(): what every command checks before it reads or writes.
void requireSoundDatabase(Connection& connection, const QString& consequence);

} // namespace data

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>
#include <QString>

namespace platform {

// Windows-1252, the code page of the files the program was first written for: Latin-1 with printable characters in
// 0x80..0x9F. Its five unassigned bytes (0x81, 0x8D, 0x8F, 0x90, 0x9D) keep their C1 control value, as Windows reads
// them, so every byte has a character and back.
[[nodiscard]] QString decodeWindows1252(QByteArrayView bytes);

// False when some character has no Windows-1252 byte; bytes then holds what came before it.
[[nodiscard]] bool encodeWindows1252(QStringView text, QByteArray& bytes);

} // namespace platform

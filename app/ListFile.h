#pragma once

#include <QString>
#include <QStringList>

// TEMPORARY stand-in until the county list file functions land on main; same interface.
[[nodiscard]] QStringList readListFile(const QString& path);
void writeListFile(const QString& path, const QStringList& entries);

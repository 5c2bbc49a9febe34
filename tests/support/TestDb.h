#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <initializer_list>
#include <memory>
#include <utility>

namespace data {
class ContactStore;
}

namespace testsupport {

using Contact = QMap<QString, QString>; // field name -> stored text

// A contact from pairs of field name and UTF-8 text: contact({{"Surname", "Cole"}, {"Town", "Bath"}}).
[[nodiscard]] Contact contact(std::initializer_list<std::pair<const char*, const char*>> values);

// Makes a contact database at path (the program's own schema) holding the given contacts.
void makeDatabase(const QString& path, const QList<Contact>& contacts);

// Writes the county list file of a program folder (a missing one is reported at start-up).
void makeCountyList(const QString& folder, const QStringList& counties = {});

// The contact store over the program folder's database, as the program makes it, with its query open unless open
// is false: what a window is handed, without the rest of the program.
[[nodiscard]] std::unique_ptr<data::ContactStore> contactStore(bool open = true);

// Runs one statement on a database file outside the program's connection; returns the first column of each row.
QStringList query(const QString& path, const QString& sql);

// A few contacts with mixed-case and non-ASCII names, for tests that need a small realistic table.
QList<Contact> sampleContacts();

} // namespace testsupport

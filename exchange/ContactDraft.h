#pragma once

#include "exchange/ContactFields.h"

#include <QDate>
#include <QStringList>

namespace exchange {

class ImportLog;

// A birthday as written in a file.
struct BirthdayText
{
    enum class Kind { Empty, Date, NoYear, Invalid };
    Kind kind = Kind::Empty;
    QDate date;                   // Date
    int day = 0;                  // NoYear
    int month = 0;                // NoYear
    bool guessedDayFirst = false; // "03/04/1970": both orders were possible, day/month was taken
};

// Reads ISO dates (1970-01-31, 19700131, with or without a time), dates without a year (--0131, --01-31)
// and the slashed or dotted dates of address-book exports (31/01/1970, 1/31/70, 31.01.1970).
// A two-digit year is the latest year not after `currentYear` that ends in those digits.
[[nodiscard]] BirthdayText parseBirthday(const QString& text, int currentYear);

// One contact being put together by a reader: the values, plus lines for Notes that come from
// values without a field of their own (a birthday that is not a date). finish() adds those lines.
class ContactDraft
{
public:
    ContactDraft(ImportLog& log, qint64 record, qint64 line, int currentYear);

    Contact contact;

    [[nodiscard]] qint64 record() const { return m_record; }
    [[nodiscard]] qint64 line() const { return m_line; }

    // A value with no field of its own, kept as a line of Notes ("Fax: 01234 5678"); counted as moved.
    void addNoteLine(const QString& text);
    void addNoteLine(const QString& label, const QString& value);
    // Where the next note line goes, and a line put there later (to keep the file's order).
    [[nodiscard]] qsizetype noteMark() const { return m_noteLines.size(); }
    void insertNoteLine(qsizetype at, const QString& text);
    // A binary value (photo, logo, sound, key) that is not stored: counted, and listed by `what`.
    void notStored(const QString& what);
    // Categories: Flag and Flag2 take the first two that fit them; the groups address books put on every
    // contact are dropped; the rest become one "Categories: ..." note line at `at` (-1: at the end).
    void setCategories(const QStringList& categories, qsizetype at = -1);
    // A contact without a name takes its surname from the workplace, else the e-mail address, else
    // `firstPhone` (or the first phone field filled).
    void nameFromOtherFields(const QString& firstPhone = {});
    // Sets Birthday from text; anything that is not a whole date goes to Notes, with a notice.
    void setBirthday(const QString& text);
    void setBirthdayDate(const QDate& date);
    // Address1 and Address2 from street lines by position; a third and later line join Address2 after ", ".
    void setStreet(const QStringList& lines);
    // A date for a Notes line: 2001-06-09; without a year 09/06 (as a birthday without one); else as written.
    [[nodiscard]] QString noteDate(const QString& text) const;
    void warn(const QString& text);
    void inform(const QString& text);

    // The contact with the note lines appended and every line break made "\n".
    [[nodiscard]] Contact finish();

    [[nodiscard]] int movedToNotes() const { return m_moved; }
    [[nodiscard]] int notStoredCount() const { return m_notStored; }
    [[nodiscard]] const QString& nameTakenFrom() const { return m_nameFrom; }

private:
    ImportLog& m_log;
    qint64 m_record;
    qint64 m_line;
    int m_currentYear;
    QStringList m_noteLines;
    int m_moved = 0;
    int m_notStored = 0;
    QString m_nameFrom;
};

// Whether a category is one of the groups that address books put on every contact ("My Contacts").
[[nodiscard]] bool isCatchAllGroup(const QString& category);

// YYYY-MM-DD for a valid date of the years 1 to 9999.
[[nodiscard]] QString isoDate(const QDate& date);

// "\r\n" and "\r" become "\n".
[[nodiscard]] QString normalizeLineBreaks(QString text);

} // namespace exchange

#pragma once

#include <QString>
#include <QStringList>

// Whole numbers in a Windows INI file, read and written straight to the file on every call: nothing is cached, so a
// value written through one IniFile is what the next read through another sees.
//
// Section and key names match without regard to case and to blanks around them; the first section of a name and
// the first key of a name in it count. A value is a whole number when it is, after blanks, an optional + or - and
// decimal digits only, within the range of int; anything else ("12px", "0x10", "", quotes) gives the default, as
// does a missing file, section or key.
//
// Writing changes only the one "key=value" line (no spaces; the key keeps its spelling in the file). A missing key
// goes after the last entry of its section, a missing section at the end of the file. Every other line, comment and
// line end stays as it was; new lines take the file's line end (CR LF for a new file). The file keeps its encoding
// (UTF-8 if it is valid UTF-8, otherwise Windows-1252) and is created by the first write.
class IniFile
{
public:
    explicit IniFile(QString path);

    [[nodiscard]] const QString& fileName() const { return m_path; }

    [[nodiscard]] int readInteger(const QString& section, const QString& key, int defaultValue) const;
    // The value as written, without the blanks around it; the default where the key is missing.
    [[nodiscard]] QString readString(const QString& section, const QString& key, const QString& defaultValue = {}) const;
    // The names of the sections, in the file's order, each once.
    [[nodiscard]] QStringList sectionNames() const;

    // Throws platform::AppError "Unable to write to %s" (full path) when the file cannot be read back or replaced;
    // the file is then left as it was.
    void writeInteger(const QString& section, const QString& key, int value);
    // As writeInteger(); a value holding a line break is refused (it would become a line of its own).
    void writeString(const QString& section, const QString& key, const QString& value);

private:
    QString m_path;
};

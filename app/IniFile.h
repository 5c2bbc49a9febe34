#pragma once

#include <QString>

// TEMPORARY stand-in until the settings file class lands on main; same interface.
class IniFile
{
public:
    explicit IniFile(QString path);
    [[nodiscard]] const QString& fileName() const { return m_path; }
    [[nodiscard]] int readInteger(const QString& section, const QString& key, int defaultValue) const;
    void writeInteger(const QString& section, const QString& key, int value);

private:
    QString m_path;
};

#include "reports/stocks/IniSettings.h"

#include "platform/IniFile.h"

QString IniSettings::value(const QString& section, const QString& key) const
{
    return IniFile(m_path).readString(section, key);
}

void IniSettings::setValue(const QString& section, const QString& key, const QString& value)
{
    IniFile(m_path).writeString(section, key, value);
}

QStringList IniSettings::sections() const
{
    return IniFile(m_path).sectionNames();
}

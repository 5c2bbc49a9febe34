#pragma once

#include "reports/stocks/SettingsStore.h"

#include <QString>

// The label and envelope settings kept in the program's settings file (TovrelIni.ini), read and written straight
// to the file like every setting there.
class IniSettings : public reports::SettingsStore
{
public:
    explicit IniSettings(QString path) : m_path(std::move(path)) {}

    [[nodiscard]] QString value(const QString& section, const QString& key) const override;
    void setValue(const QString& section, const QString& key, const QString& value) override;
    [[nodiscard]] QStringList sections() const override;

private:
    QString m_path;
};

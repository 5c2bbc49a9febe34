#pragma once

#include <QString>

#include <functional>
#include <map>

namespace platform {

// Commands that one window offers the others by name (the main window's menu and buttons reach the record card,
// the reports and the rest through them). The start-up fills the table; a window is handed it and knows no other
// window. Running one that is not there does nothing.
class Commands
{
public:
    void set(const QString& name, std::function<void()> command) { m_commands[name] = std::move(command); }
    bool run(const QString& name)
    {
        const auto it = m_commands.find(name);
        if (it == m_commands.end())
            return false;
        it->second();
        return true;
    }
    [[nodiscard]] bool has(const QString& name) const { return m_commands.count(name) != 0; }

private:
    std::map<QString, std::function<void()>> m_commands;
};

} // namespace platform

#pragma once

#include <QString>

#include <array>
#include <functional>
#include <map>

namespace platform {

// What one window offers the others (the main window's menu and buttons reach the record card, the reports and the
// rest through these). A command that does not exist cannot be named.
enum class Command {
    Backup,
    Restore,
    Import,
    Export,
    SharedBook,
    Synchronise,
    SearchDialog,
    PhoneList,
    Labels21,
    Labels16,
    Labels14,
    StockLabels,
    Envelopes,
    Birthdays,
    Filofax,
    Diary,
    FormView,
    RecordCard,
    CountyEditor,
    MailMerge,
    Notepad,
    HelpNote,
    Manual,
    About,
};

inline constexpr std::array allCommands = {Command::Backup, Command::Restore, Command::Import, Command::Export, Command::SharedBook, Command::Synchronise, Command::SearchDialog, Command::PhoneList, Command::Labels21, Command::Labels16, Command::Labels14, Command::StockLabels, Command::Envelopes, Command::Birthdays, Command::Filofax, Command::Diary, Command::FormView, Command::RecordCard, Command::CountyEditor, Command::MailMerge, Command::Notepad, Command::HelpNote, Command::Manual, Command::About};

// The command's name, for messages and test records.
[[nodiscard]] inline QString commandName(Command command)
{
    switch (command) {
    case Command::Backup:
        return QStringLiteral("backup");
    case Command::Restore:
        return QStringLiteral("restore");
    case Command::Import:
        return QStringLiteral("import");
    case Command::Export:
        return QStringLiteral("export");
    case Command::SharedBook:
        return QStringLiteral("sharedBook");
    case Command::Synchronise:
        return QStringLiteral("synchronise");
    case Command::SearchDialog:
        return QStringLiteral("searchDialog");
    case Command::PhoneList:
        return QStringLiteral("phoneList");
    case Command::Labels21:
        return QStringLiteral("labels21");
    case Command::Labels16:
        return QStringLiteral("labels16");
    case Command::Labels14:
        return QStringLiteral("labels14");
    case Command::StockLabels:
        return QStringLiteral("stockLabels");
    case Command::Envelopes:
        return QStringLiteral("envelopes");
    case Command::Birthdays:
        return QStringLiteral("birthdays");
    case Command::Filofax:
        return QStringLiteral("filofax");
    case Command::Diary:
        return QStringLiteral("diary");
    case Command::FormView:
        return QStringLiteral("formView");
    case Command::RecordCard:
        return QStringLiteral("recordCard");
    case Command::CountyEditor:
        return QStringLiteral("countyEditor");
    case Command::MailMerge:
        return QStringLiteral("mailMerge");
    case Command::Notepad:
        return QStringLiteral("notepad");
    case Command::HelpNote:
        return QStringLiteral("helpNote");
    case Command::Manual:
        return QStringLiteral("manual");
    case Command::About:
        return QStringLiteral("about");
    }
    return {};
}

// The start-up fills the table; a window is handed it and knows no other window. A command the start-up has not
// set (a window left out of a test) does nothing.
class Commands
{
public:
    void set(Command command, std::function<void()> action) { m_commands[command] = std::move(action); }
    bool run(Command command)
    {
        const auto it = m_commands.find(command);
        if (it == m_commands.end())
            return false;
        it->second();
        return true;
    }
    [[nodiscard]] bool has(Command command) const { return m_commands.count(command) != 0; }

private:
    std::map<Command, std::function<void()>> m_commands;
};

} // namespace platform

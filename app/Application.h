#pragma once

#include "data/ContactStore.h"
#include "platform/Commands.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

class QWidget;
class TfmHomeAddMain;
class TfmMailMergeSetup;
class TfmMailMergeHelp;
class TfmMailQR;
class TfmMailMergeEdit;
class TfmCountyListEdit;
class TfmHelpMemo;
class TfmHomeForm;
class TfmSQLSearchDialog;
class TfmQRA5Diary;
class TfmQRTel;
class TfmQRLabel16;
class TfmQRFilo2;
class TfmLabels;
class TfmRecCard;
class TfmStockLabels;
class TfmEnvelopes;
class TfmCredits;

namespace app {

// The application object: the contact store and the one instance of every window, created once
// at start-up in a fixed order and kept until the end. Each window is handed what it uses when it is made;
// none of them knows this object.
class Application : public QObject
{
    Q_OBJECT
public:
    Application();
    ~Application() override;

    data::ContactStore store;

    // Creates every window in order; an error while one is made is reported and start-up goes on.
    void startUp();
    // Start-up without windows, for batch use: the query opened as the search dialog would open it.
    void openQuery();

    // The windows, in their order of creation; null until created (or when their creation failed).
    TfmHomeAddMain* fmHomeAddMain = nullptr;
    TfmMailMergeSetup* fmMailMergeSetup = nullptr;
    TfmMailMergeHelp* fmMailMergeHelp = nullptr;
    TfmMailQR* fmMailQR = nullptr;
    TfmMailMergeEdit* fmMailMergeEdit = nullptr;
    TfmCountyListEdit* fmCountyListEdit = nullptr;
    TfmHelpMemo* fmHelpMemo = nullptr;
    TfmHomeForm* fmHomeForm = nullptr;
    TfmSQLSearchDialog* fmSQLSearchDialog = nullptr;
    TfmQRA5Diary* fmQRA5Diary = nullptr;
    TfmQRTel* fmQRTel = nullptr;
    TfmQRLabel16* fmQRLabel16 = nullptr;
    TfmQRFilo2* fmQRFilo2 = nullptr;
    TfmLabels* fmLabels = nullptr;
    TfmRecCard* fmRecCard = nullptr;
    TfmCredits* fmCredits = nullptr;
    // Made when first used, not at start-up.
    TfmStockLabels* fmStockLabels = nullptr;
    TfmEnvelopes* fmEnvelopes = nullptr;

    // The commands that one window offers the others; the main window is handed this table.
    platform::Commands commands;
    void setCommand(platform::Command name, std::function<void()> command) { commands.set(name, std::move(command)); }
    bool runCommand(platform::Command name) { return commands.run(name); }
    [[nodiscard]] bool hasCommand(platform::Command name) const { return commands.has(name); }

private:
    // Every window is deleted here, in reverse order, at the end: a window owned by an earlier one (the record card
    // and the form view by the main window) is gone before its owner.
    std::vector<std::unique_ptr<QObject>> m_owned;
    friend struct StartUpList;
};

} // namespace app

#include "app/Application.h"
#include "app/HomeGrid.h"
#include "mailmerge/MailMergeEdit.h"

#include "platform/ErrorBox.h"
#include "records/CountLook.h"
#include "records/HomeFormView.h"
#include "records/RecordCard.h"

namespace app {

namespace {
template <class W>
W* own(std::vector<std::unique_ptr<QObject>>& owned, W* window)
{
    owned.emplace_back(window);
    return window;
}
} // namespace

void Application::startUp()
{
    struct Step
    {
        const char* window;
        std::function<void()> make;
    };
    const Step steps[] = {
        {"TfmHomeAddMain", [this] {
             // Visible from creation: showing it restores its layout and loads the county pick list.
             fmHomeAddMain = own(m_owned, new TfmHomeAddMain());
             fmHomeAddMain->show();
         }},
        // The text editor sets the program's help file and starts a new document.
        {"TfmMailMergeEdit", [this] { fmMailMergeEdit = own(m_owned, new TfmMailMergeEdit()); }},
        {"TfmCountyListEdit", [this] {
             fmCountyListEdit = own(m_owned, new TfmCountyListEdit());
             setCommand(QStringLiteral("countyEditor"), [w = fmCountyListEdit] { w->editPickList(); });
         }},
        {"TfmHomeForm", [this] {
             fmHomeForm = own(m_owned, new TfmHomeForm());
             setCommand(QStringLiteral("formView"), [w = fmHomeForm] {
                 w->show();
                 w->raise();
                 w->activateWindow();
             });
         }},
        // The search dialog, ninth, fills its field list and opens the contact query.
        {"TfmSQLSearchDialog", [this] { openQuery(); }},
        {"TfmRecCard", [this] {
             fmRecCard = own(m_owned, new TfmRecCard());
             setCommand(QStringLiteral("recordCard"), [w = fmRecCard] {
                 w->show();
                 w->raise();
                 w->activateWindow();
             });
         }},
    };
    for (const Step& step : steps)
        platform::guard(step.make);
}

} // namespace app

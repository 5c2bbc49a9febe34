#include "app/Application.h"
#include "app/HomeGrid.h"
#include "mailmerge/MailMergeEdit.h"

#include "platform/ErrorBox.h"
#include "search/JSQLSEARCH.h"

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
        {"TfmSQLSearchDialog", [this] {
             // Its creation fills the field list and opens the contact query for the first time.
             fmSQLSearchDialog = own(m_owned, new TfmSQLSearchDialog(store.HomeQuery));
             TfmSQLSearchDialog* dialog = fmSQLSearchDialog;
             setCommand(QStringLiteral("searchDialog"), [dialog] { dialog->exec(); });
             dialog->FormCreate();
         }},
    };
    for (const Step& step : steps)
        platform::guard(step.make);
}

} // namespace app

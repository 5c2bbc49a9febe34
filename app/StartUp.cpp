#include "app/Application.h"
#include "app/FirstStart.h"
#include "backup/BackupRestore.h"
#include "exchange/ui/ExportCommand.h"
#include "exchange/ui/ImportDialog.h"
#include "help/Credits.h"
#include "help/HelpMemoBox.h"
#include "help/SplashBox.h"
#include "mailmerge/MailMergeEdit.h"
#include "mailmerge/MailMergeInfo.h"
#include "reports/layouts/MergedLetters.h"
#include "mailmerge/MailMergeSetup.h"
#include "mainwindow/MainWindow.h"
#include "platform/ui/Accessibility.h"
#include "platform/ui/ScreenReader.h"
#include "platform/ui/ErrorBox.h"
#include "platform/ui/FocusFrameStyle.h"
#include "platform/ProgramFolder.h"
#include "records/CountyListEditor.h"
#include "records/HomeFormView.h"
#include "records/RecordCard.h"
#include "reports/layouts/Birthdays.h"
#include "reports/DatasetSource.h"
#include "reports/ui/Preview.h"
#include "platform/Services.h"
#include "reports/ui/Envelopes.h"
#include "reports/stocks/IniSettings.h"
#include "reports/layouts/DiaryPages.h"
#include "reports/layouts/FilofaxPages.h"
#include "reports/layouts/AddressLabels16.h"
#include "reports/layouts/AddressLabels21.h"
#include "reports/layouts/PhoneList.h"
#include "reports/ui/StockLabels.h"
#include "search/ui/SearchDialog.h"
#include "sync/ui/SyncCommands.h"

namespace app {

namespace {
template <class W> W* own(std::vector<std::unique_ptr<QObject>>& owned, W* window)
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
    platform::keepWindowsOnScreen(); // a small or scaled screen shows every window whole
    platform::useFocusFrameStyle();
    platform::installScreenReaderFixes(); // focus and text events only where a reader can follow them
    platform::ctrlTabLeavesTextBoxes();
    bool queryMayOpen = true; // false while Tovrel.mdb is an Access-format file the user did not convert
    // Before any window reads a file: a first start in an empty place offers to make the address book there.
    platform::guard([] { (void)offerNewAddressBook(platform::programFolder()); });
    const Step steps[] = {
        {"TfmHomeAddMain",
         [this] {
             // Visible from creation: showing it restores its layout and loads the county pick list.
             fmHomeAddMain = own(m_owned, new TfmHomeAddMain(store, commands));
             fmHomeAddMain->show();
         }},
        {"TfmMailMergeSetup", [this] {
             TfmMailMergeSetup::Parts parts;
             parts.contacts = &store.HomeQuery;
             parts.editor = [this] { return fmMailMergeEdit; };
             parts.letters = [this] { return fmMailQR; };
             parts.help = [this] { return fmMailMergeHelp; };
             parts.selectNames = [this] { runCommand(platform::Command::SearchDialog); };
             fmMailMergeSetup = own(m_owned, new TfmMailMergeSetup(std::move(parts)));
             setCommand(platform::Command::MailMerge, [w = fmMailMergeSetup] { w->showSetup(); });
         }},
        {"TfmMailMergeHelp", [this] { fmMailMergeHelp = own(m_owned, new TfmMailMergeHelp()); }},
        // The letter body is the editor's document as it stands when a page is made; the editor comes later.
        {"TfmMailQR", [this] {
             fmMailQR = own(m_owned, new TfmMailQR([this]() -> const QTextDocument* {
                 return fmMailMergeEdit ? fmMailMergeEdit->document() : nullptr;
             }));
         }},
        // The main window's own File and Help commands, which need no window of their own.
        {"Backup, restore, manual and about",
         [this] {
             backup::registerBackupCommands(commands, store, [this](const QString& message, bool restored) {
                 if (fmHomeAddMain)
                     fmHomeAddMain->backupDone(message, restored);
             });
             setCommand(platform::Command::Manual, [this] { help::Help2Click(fmHomeAddMain); });
             // An about box still counting down when the program ends goes with it.
             setCommand(platform::Command::About, [this] { help::miAboutClick(fmCredits, this); });
         }},
        {"Import and export", [this] {
             setCommand(platform::Command::Import, [this] { exchange::ImportClick(fmHomeAddMain, store); });
             setCommand(platform::Command::Export, [this] { exchange::ExportClick(fmHomeAddMain, store.HomeQuery); });
             setCommand(platform::Command::SharedBook, [this] { sharing::SharedBookClick(fmHomeAddMain); });
             setCommand(platform::Command::Synchronise, [this] { sharing::SynchroniseClick(fmHomeAddMain, store); });
         }},
        // The text editor finds its help file and starts a new document.
        {"TfmMailMergeEdit", [this] {
             fmMailMergeEdit = own(m_owned, new TfmMailMergeEdit());
             setCommand(platform::Command::Notepad, [w = fmMailMergeEdit] { w->showEditor(); });
             // An unsaved letter is asked about before the program ends, and Cancel keeps it running.
             if (fmHomeAddMain)
                 fmHomeAddMain->addCloseCheck([w = fmMailMergeEdit] { return w->maySetDocumentAside(); });
         }},
        {"TfmCountyListEdit",
         [this] {
             // The pick list in use is the main window's County column's.
             TfmCountyListEdit::PickList counties;
             counties.read = [this] { return fmHomeAddMain ? fmHomeAddMain->countyPickList() : QStringList(); };
             counties.replace = [this](const QStringList& entries) {
                 if (fmHomeAddMain)
                     fmHomeAddMain->setCountyPickList(entries);
             };
             fmCountyListEdit = own(m_owned, new TfmCountyListEdit(std::move(counties)));
             setCommand(platform::Command::CountyEditor, [w = fmCountyListEdit] { w->editPickList(); });
         }},
        {"TfmHelpMemo",
         [this] {
             fmHelpMemo = own(m_owned, new TfmHelpMemo());
             setCommand(platform::Command::HelpNote, [w = fmHelpMemo] { help::Help1Click(w); });
         }},
        {"TfmHomeForm",
         [this] {
             // Owned by the main window, as its tool windows: they stay above it while shown.
             fmHomeForm = own(m_owned, new TfmHomeForm(store.HomeQuery, fmHomeAddMain));
             setCommand(platform::Command::FormView, [w = fmHomeForm] {
                 w->show();
                 w->raise();
                 w->activateWindow();
             });
         }},
        {"Access-format database", [this, &queryMayOpen] {
             queryMayOpen = false;
             queryMayOpen = exchange::offerAccessConversion(fmHomeAddMain, store.connection.databasePath());
         }},
        {"TfmSQLSearchDialog", [this, &queryMayOpen] {
             // Its creation fills the field list and opens the contact query for the first time.
             fmSQLSearchDialog = own(m_owned, new TfmSQLSearchDialog(store.HomeQuery));
             TfmSQLSearchDialog* dialog = fmSQLSearchDialog;
             setCommand(platform::Command::SearchDialog, [dialog] { dialog->exec(); });
             if (queryMayOpen)
                 dialog->FormCreate();
         }},
        {"TfmQRA5Diary",
         [this] {
             fmQRA5Diary = own(m_owned, new TfmQRA5Diary());
             setCommand(platform::Command::Diary, [this] {
                 reports::DatasetSource source(store.HomeQuery);
                 reports::previewReport(fmQRA5Diary->QRA5Diary, source);
             });
         }},
        {"TfmQRTel",
         [this] {
             fmQRTel = own(m_owned, new TfmQRTel());
             setCommand(platform::Command::PhoneList, [this] {
                 reports::DatasetSource source(store.HomeQuery);
                 reports::previewReport(fmQRTel->QuickRep1, source);
             });
         }},
        {"Birthdays report",
         [this] {
             // Made once, so the print settings chosen in its preview stay for the run.
             auto definition = std::make_shared<reports::ReportDefinition>(reports::birthdaysReport());
             setCommand(platform::Command::Birthdays, [this, definition] {
                 reports::DatasetSource source(store.HomeQuery);
                 reports::BirthdaySource birthdays(source, platform::clock().now().date().year());
                 reports::previewReport(*definition, birthdays);
             });
         }},
        {"TfmQRLabel16",
         [this] {
             fmQRLabel16 = own(m_owned, new TfmQRLabel16());
             setCommand(platform::Command::Labels16, [this] {
                 reports::DatasetSource source(store.HomeQuery);
                 reports::previewReport(fmQRLabel16->QRLabel16Rep, source);
             });
         }},
        {"TfmQRFilo2",
         [this] {
             fmQRFilo2 = own(m_owned, new TfmQRFilo2());
             setCommand(platform::Command::Filofax, [this] {
                 reports::DatasetSource source(store.HomeQuery);
                 reports::previewReport(fmQRFilo2->QRFilo2, source);
             });
         }},
        // The 21-per-sheet labels, and the 14-per-sheet labels for the third "&Address Labels" entry.
        {"TfmLabels",
         [this] {
             fmLabels = own(m_owned, new TfmLabels());
             setCommand(platform::Command::Labels21, [this] {
                 reports::DatasetSource source(store.HomeQuery);
                 reports::previewReport(fmLabels->QRLabel, source);
             });
             setCommand(platform::Command::Labels14, [this] {
                 reports::DatasetSource source(store.HomeQuery);
                 reports::previewReport(fmLabels->QRLabel14, source);
             });
         }},
        // Labels on any stock and envelopes: their dialogs are made when first used. Every label and envelope
        // printout applies the offset measured for its printer.
        {"Label stocks and envelopes",
         [this] {
             auto settings = std::make_shared<IniSettings>(platform::programFile(QStringLiteral("TovrelIni.ini")));
             if (fmLabels) {
                 reports::applyPrinterShifts(fmLabels->QRLabel, settings);
                 reports::applyPrinterShifts(fmLabels->QRLabel14, settings);
             }
             if (fmQRLabel16)
                 reports::applyPrinterShifts(fmQRLabel16->QRLabel16Rep, settings);
             setCommand(platform::Command::StockLabels, [this, settings] {
                 if (!fmStockLabels)
                     fmStockLabels = own(m_owned, new TfmStockLabels(settings));
                 reports::DatasetSource source(store.HomeQuery);
                 fmStockLabels->run(source);
             });
             setCommand(platform::Command::Envelopes, [this, settings] {
                 if (!fmEnvelopes)
                     fmEnvelopes = own(m_owned, new TfmEnvelopes(settings));
                 reports::DatasetSource source(store.HomeQuery);
                 fmEnvelopes->run(source);
             });
             // Read now, so that a damaged catalogue is reported at start-up rather than at the first label.
             (void)reports::StockCatalogue::builtIn();
         }},
        {"TfmRecCard",
         [this] {
             fmRecCard = own(m_owned, new TfmRecCard(store.HomeQuery, fmHomeAddMain));
             setCommand(platform::Command::RecordCard, [w = fmRecCard] {
                 w->show();
                 w->raise();
                 w->activateWindow();
             });
         }},
        {"TfmCredits", [this] { fmCredits = own(m_owned, new TfmCredits()); }},
    };
    for (const Step& step : steps)
        platform::guard(step.make);
}

} // namespace app

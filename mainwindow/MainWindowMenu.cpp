// The main window's menu: every entry reaches its window through the named commands the window is handed.
#include "mainwindow/MainWindow.h"

#include "platform/ui/Accessibility.h"
#include "platform/ui/ErrorBox.h"
#include "platform/IniFile.h"
#include "platform/ProgramFolder.h"
#include "platform/Services.h"

#include <QActionGroup>

#include <QMenu>
#include <QMenuBar>

namespace {

QAction* addItem(QMenu* menu, const char* name, const QString& caption, const QKeySequence& shortcut = {},
                 const QString& hint = {})
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    action->setStatusTip(hint);
    return action;
}

} // namespace

void TfmHomeAddMain::createTextSizeMenu()
{
    mnTextSize = mnFile->addMenu(QStringLiteral("Text Si&ze"));
    mnTextSize->setObjectName(QStringLiteral("mnTextSize"));
    auto* group = new QActionGroup(mnTextSize);
    const QString settings = platform::programFile(QStringLiteral("TovrelIni.ini"));
    platform::TextSize current = platform::TextSize::Normal;
    platform::guard([&] { current = platform::readTextSize(settings); });
    const std::pair<platform::TextSize, const char*> sizes[] = {{platform::TextSize::Normal, "&Normal"},
                                                                {platform::TextSize::Large, "&Large"},
                                                                {platform::TextSize::Larger, "La&rger"}};
    for (const auto& [size, caption] : sizes) {
        QAction* action = mnTextSize->addAction(QString::fromLatin1(caption));
        action->setCheckable(true);
        action->setChecked(size == current);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, size = size, settings] {
            platform::guard([&] {
                platform::writeTextSize(settings, size);
                platform::prompts().message(this, QStringLiteral("Information"),
                                            QStringLiteral("The new text size applies when Tovrel is next started."),
                                            platform::Icon::Information, platform::Buttons::Ok);
            });
        });
    }
}

void TfmHomeAddMain::createMenu()
{
    QMenuBar* bar = menuBar();
    auto command = [this](QAction* action, platform::Command name) {
        connect(action, &QAction::triggered, this, [this, name] { runCommand(name); });
    };

    mnFile = bar->addMenu(QStringLiteral("&File"));
    mnFile->setObjectName(QStringLiteral("mnFile"));
    miBackUp = addItem(mnFile, "miBackUp", QStringLiteral("&Backup"), QKeySequence(Qt::CTRL | Qt::Key_B));
    miRestore = addItem(mnFile, "miRestore", QStringLiteral("&Restore"), QKeySequence(Qt::CTRL | Qt::Key_R));
    QAction* miImport = addItem(mnFile, "miImport", QStringLiteral("&Import..."), {},
                                QStringLiteral("Adds contacts from a vCard, CSV or Access-format file"));
    QAction* miExport = addItem(mnFile, "miExport", QStringLiteral("Expor&t..."), {},
                                QStringLiteral("Writes the contacts shown to a vCard or CSV file"));
    QAction* miSharedBook = addItem(mnFile, "miSharedBook", QStringLiteral("S&hared Address Book…"), {},
                                    QStringLiteral("Sets up the address book shared with a CardDAV server"));
    QAction* miSynchronise = addItem(mnFile, "miSynchronise", QStringLiteral("S&ynchronise"), {},
                                     QStringLiteral("Exchanges changes with the shared address book"));
    miUndoDelete = addItem(mnFile, "miUndoDelete", QStringLiteral("&Undo Delete"), QKeySequence(Qt::CTRL | Qt::Key_Z),
                           QStringLiteral("Brings back the contact just deleted"));
    miUndoDelete->setEnabled(false);
    miRecentlyDeleted = addItem(mnFile, "miRecentlyDeleted", QStringLiteral("Recently &Deleted…"), {},
                                QStringLiteral("Contacts deleted in the last 30 days, to restore"));
    connect(miUndoDelete, &QAction::triggered, this, &TfmHomeAddMain::undoDelete);
    connect(miRecentlyDeleted, &QAction::triggered, this, &TfmHomeAddMain::showRecentlyDeleted);
    mnFile->addSeparator();
    createTextSizeMenu();
    miPrinterSetup =
        addItem(mnFile, "miPrinterSetup", QStringLiteral("&Printer Setup"), QKeySequence(Qt::CTRL | Qt::Key_Q));
    miExit = addItem(mnFile, "miExit", QStringLiteral("E&xit"), QKeySequence(Qt::CTRL | Qt::Key_E));
    command(miBackUp, platform::Command::Backup);
    command(miRestore, platform::Command::Restore);
    command(miImport, platform::Command::Import);
    command(miExport, platform::Command::Export);
    command(miSharedBook, platform::Command::SharedBook);
    command(miSynchronise, platform::Command::Synchronise);
    connect(miPrinterSetup, &QAction::triggered, this, &TfmHomeAddMain::miPrinterSetupClick);
    connect(miExit, &QAction::triggered, this, &QWidget::close);

    mnSearch = bar->addMenu(QStringLiteral("&Search"));
    mnSearch->setObjectName(QStringLiteral("mnSearch"));
    mnSearch->menuAction()->setStatusTip(QStringLiteral("Search & Filter"));
    miOpenSearch = addItem(mnSearch, "miOpenSearch", QStringLiteral("O&pen Search"), QKeySequence(Qt::Key_F3));
    miClearFilter = addItem(mnSearch, "miClearFilter", QStringLiteral("&Clear Filter"), QKeySequence(Qt::Key_F4));
    miFindDuplicates = addItem(mnSearch, "miFindDuplicates", QStringLiteral("Find &Duplicates…"), {},
                               QStringLiteral("Contacts that are probably one person, to merge"));
    connect(miFindDuplicates, &QAction::triggered, this, &TfmHomeAddMain::showDuplicates);
    connect(miOpenSearch, &QAction::triggered, this, &TfmHomeAddMain::HomeSearchClick);
    connect(miClearFilter, &QAction::triggered, this, &TfmHomeAddMain::sqRetryBtnClick);

    mnReports = bar->addMenu(QStringLiteral("&Reports"));
    mnReports->setObjectName(QStringLiteral("mnReports"));
    mnReports->menuAction()->setStatusTip(QStringLiteral("Selection of useful Reports"));
    miPhoneList = addItem(mnReports, "miPhoneList", QStringLiteral("Phone &List"));
    mnAddressLabels = mnReports->addMenu(QStringLiteral("&Address Labels"));
    mnAddressLabels->setObjectName(QStringLiteral("mnAddressLabels"));
    miLabels21 =
        addItem(mnAddressLabels, "miLabels21", QStringLiteral("21 per A4 sheet"), {}, QStringLiteral("Avery L7160"));
    miLabels16 =
        addItem(mnAddressLabels, "miLabels16", QStringLiteral("16 per A4 sheet"), {}, QStringLiteral("Avery L7162"));
    miLabels14 = addItem(mnAddressLabels, "miLabels14", QStringLiteral("14 per A4 sheet"));
    QAction* miStockLabels = addItem(mnReports, "miStockLabels", QStringLiteral("Labels on &Other Stock…"), {},
                                     QStringLiteral("Address labels on any sheet of labels, or your own sizes"));
    QAction* miEnvelopes = addItem(mnReports, "miEnvelopes", QStringLiteral("&Envelopes…"), {},
                                   QStringLiteral("One envelope for each contact shown"));
    QAction* miBirthdays = addItem(mnReports, "miBirthdays", QStringLiteral("&Birthdays"), {},
                                   QStringLiteral("The birthdays of the contacts shown, by month and day"));
    miBirthdaysAtStart = addItem(mnReports, "miBirthdaysAtStart", QStringLiteral("Birthdays at Start-&up"), {},
                                 QStringLiteral("Names the coming week's birthdays in the status bar at start-up"));
    miBirthdaysAtStart->setCheckable(true);
    connect(miBirthdaysAtStart, &QAction::toggled, this, [this](bool on) {
        platform::guard([on] {
            IniFile(platform::programFile(QStringLiteral("TovrelIni.ini")))
                .writeInteger(QStringLiteral("Birthdays"), QStringLiteral("AtStartUp"), on ? 1 : 0);
        });
    });
    miFiloFax = addItem(mnReports, "miFiloFax", QStringLiteral("&FiloFax Pages"));
    miA5Diary = addItem(mnReports, "miA5Diary", QStringLiteral("A&5 Diary Pages"));
    mnReports->addSeparator();
    miRecordForm = addItem(mnReports, "miRecordForm", QStringLiteral("&Record Form "), {},
                           QStringLiteral("Alternative form for data entry"));
    command(miPhoneList, platform::Command::PhoneList);
    command(miLabels21, platform::Command::Labels21);
    command(miLabels16, platform::Command::Labels16);
    command(miLabels14, platform::Command::Labels14);
    command(miStockLabels, platform::Command::StockLabels);
    command(miEnvelopes, platform::Command::Envelopes);
    command(miBirthdays, platform::Command::Birthdays);
    command(miFiloFax, platform::Command::Filofax);
    command(miA5Diary, platform::Command::Diary);
    command(miRecordForm, platform::Command::FormView);

    // Two commands stand on the menu bar itself.
    miMailMerge = bar->addAction(QStringLiteral("&Mail Merge"));
    miMailMerge->setObjectName(QStringLiteral("miMailMerge"));
    miMailMerge->setStatusTip(QStringLiteral("Prints a letter to each contact shown"));
    connect(miMailMerge, &QAction::triggered, this, &TfmHomeAddMain::miMailMergeClick);
    miNotepad = bar->addAction(QStringLiteral("&Notepad"));
    miNotepad->setObjectName(QStringLiteral("miNotepad"));
    miNotepad->setStatusTip(QStringLiteral("Opens Text Editor"));
    command(miNotepad, platform::Command::Notepad);

    mnHelp = bar->addMenu(QStringLiteral("&Help"));
    mnHelp->setObjectName(QStringLiteral("mnHelp"));
    miHelpManual = addItem(mnHelp, "miHelpManual", QStringLiteral("&Help"), QKeySequence(Qt::Key_F1));
    miHelpNote = addItem(mnHelp, "miHelpNote", QStringLiteral("Hel&p Note"));
    miAbout = addItem(mnHelp, "miAbout", QStringLiteral("&About"));
    command(miHelpManual, platform::Command::Manual);
    command(miHelpNote, platform::Command::HelpNote);
    command(miAbout, platform::Command::About);
}

#include "mainwindow/MainWindow.h"

#include "data/ContactStore.h"
#include "data/widgets/DBNavigator.h"
#include "data/widgets/DatasetModel.h"
#include "mainwindow/MainWindowHints.h"
#include "mainwindow/ContactGrid.h"
#include "search/ui/DuplicatesBox.h"
#include "mainwindow/RecentlyDeletedBox.h"
#include "data/Birthday.h"
#include "data/FindText.h"
#include "data/RecentlyDeleted.h"
#include "platform/ui/Accessibility.h"
#include "platform/Commands.h"
#include "platform/Console.h"
#include "platform/ui/ErrorBox.h"
#include "platform/IniFile.h"
#include "platform/ProgramFolder.h"
#include "platform/RescueFile.h"
#include "platform/Services.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QShortcut>
#include <QTimer>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, const QString& hint,
                        QStyle::StandardPixmap icon = QStyle::SP_CustomBase)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    mainwindow::HintRouter::setHint(button, hint);
    if (icon != QStyle::SP_CustomBase)
        button->setIcon(parent->style()->standardIcon(icon));
    return button;
}

} // namespace

const QList<TfmHomeAddMain::GridColumn>& TfmHomeAddMain::gridColumns()
{
    static const QList<GridColumn> columns = {
        {"Surname", "Surname", 76, "WSurname"},
        {"Firstname", "Firstname", 103, "WFirstname"},
        {"Address1", "Address1", 103, "WAdd1"},
        {"Address2", "Address2", 108, "WAdd2"},
        {"A3_Village", "Add3 / Village", 108, "WA3"},
        {"Town", "Town", 80, "WTown"},
        {"County", "County", 86, "WCounty"},
        {"PostCode", "PostCode", 0, "WPCode"},
        {"Tel", "Tel", 0, "WCountry"}, // as wide as a phone number with its country code
        {"Cell", "Cell", 0, "WTel"},
    };
    return columns;
}

TfmHomeAddMain::TfmHomeAddMain(data::ContactStore& store, platform::Commands& commands, QWidget* parent)
    : QMainWindow(parent), m_store(store), m_commands(commands)
{
    setObjectName(QStringLiteral("fmHomeAddMain"));
    setWindowTitle(QStringLiteral("Tovrel"));

    // Hints of every window of the program end up in this window's status bar.
    m_hints = new mainwindow::HintRouter(this);

    auto* central = new QWidget(this);
    QPalette rose = central->palette();
    rose.setColor(QPalette::Window, QColor(255, 198, 198));
    central->setPalette(rose);
    central->setAutoFillBackground(true);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto* upper = new QHBoxLayout;
    upper->setSpacing(0);
    outer->addLayout(upper, 1);

    auto* findBar = new QHBoxLayout;
    findBar->setContentsMargins(4, 3, 4, 3);
    auto* findLabel = new QLabel(QStringLiteral("Find:"), central);
    edFind = new QLineEdit(central);
    edFind->setObjectName(QStringLiteral("edFind"));
    edFind->setAccessibleName(QStringLiteral("Find contacts"));
    edFind->setPlaceholderText(QStringLiteral("Words in any field (Ctrl+F); Esc shows all again"));
    edFind->setClearButtonEnabled(true);
    edFind->installEventFilter(this);
    findLabel->setBuddy(edFind);
    mainwindow::HintRouter::setHint(edFind, QStringLiteral("Shows the contacts holding every word typed"));
    findBar->addWidget(findLabel);
    findBar->addWidget(edFind, 1);
    // Each keystroke narrows at once; only where that took long does a short pause let a fast typist finish a word.
    m_findTimer = new QTimer(this);
    m_findTimer->setSingleShot(true);
    m_findTimer->setInterval(120);
    connect(m_findTimer, &QTimer::timeout, this, &TfmHomeAddMain::applyFind);
    connect(edFind, &QLineEdit::textEdited, this, [this] {
        m_undoBeforeFindTyping = false;
        if (m_findSlow)
            m_findTimer->start();
        else
            applyFind();
    });
    // The rows are indexed for finding in slices between other events, so neither opening nor typing waits long.
    m_findIndexTimer = new QTimer(this);
    m_findIndexTimer->setInterval(0);
    connect(m_findIndexTimer, &QTimer::timeout, this, [this] {
        if (m_narrower.prepare(homeQuery(), 5000))
            m_findIndexTimer->stop();
    });
    connect(edFind, &QLineEdit::returnPressed, this, &TfmHomeAddMain::applyFind);
    auto* findShortcut = new QShortcut(QKeySequence::Find, this);
    connect(findShortcut, &QShortcut::activated, this, [this] {
        edFind->setFocus(Qt::ShortcutFocusReason);
        edFind->selectAll();
    });
    // A letter or a search opened elsewhere becomes what the find box narrows; words already typed narrow it too.
    connect(&store.HomeQuery, &data::Dataset::opened, this, [this] {
        if (!m_birthdaysTold) {
            m_birthdaysTold = true;
            if (miBirthdaysAtStart->isChecked())
                showComingBirthdays();
        }
        if (!data::find::words(edFind->text()).isEmpty())
            QMetaObject::invokeMethod(this, &TfmHomeAddMain::applyFind, Qt::QueuedConnection);
    });

    dbGrid1 = new mainwindow::ContactGrid(&store.dsHome, central);
    dbGrid1->setObjectName(QStringLiteral("dbGrid1"));
    QList<data::ColumnDef> columns;
    for (const GridColumn& c : gridColumns())
        columns << data::ColumnDef{QString::fromLatin1(c.field), QString::fromLatin1(c.title) == QLatin1String(c.field)
                                                                     ? QString()
                                                                     : QString::fromLatin1(c.title)};
    dbGrid1->datasetModel()->setColumns(columns);
    const QFontMetrics metrics(dbGrid1->font());
    for (int i = 0; i < gridColumns().size(); ++i) {
        const GridColumn& c = gridColumns()[i];
        int width = c.width;
        if (QLatin1String(c.field) == QLatin1String("Tel")) {
            width = metrics.horizontalAdvance(QStringLiteral("+44 (0)1234 567890")) + 8;
        } else if (width == 0) {
            // Columns without a designed width take their field's display width in characters.
            const int field = store.HomeQuery.requireField(QString::fromLatin1(c.field));
            width = std::max(store.HomeQuery.fields()[field].displayWidth * metrics.horizontalAdvance(QLatin1Char('0')),
                             metrics.horizontalAdvance(QString::fromLatin1(c.title))) +
                    4;
        }
        dbGrid1->setColumnWidth(i, width);
    }
    dbGrid1->cellDelegate()->setPickList(CountyColumn, {});
    connect(dbGrid1, &mainwindow::ContactGrid::titleClicked, this, &TfmHomeAddMain::dbGrid1TitleClick);
    connect(dbGrid1, &mainwindow::ContactGrid::gridDoubleClicked, this, &TfmHomeAddMain::dbGrid1DblClick);
    // The find box sits over the grid only: beside the letters it costs the window no height.
    auto* gridColumn = new QVBoxLayout;
    gridColumn->setSpacing(0);
    gridColumn->addLayout(findBar);
    gridColumn->addWidget(dbGrid1, 1);
    upper->addLayout(gridColumn, 1);

    auto* side = new QWidget(central);
    side->setObjectName(QStringLiteral("Panel1"));
    side->setFixedWidth(104);
    createSidePanel(side);
    upper->addWidget(side);

    auto* bottom = new QWidget(central);
    bottom->setObjectName(QStringLiteral("Panel2"));
    bottom->setFixedHeight(36);
    createBottomBar(bottom);
    outer->addWidget(bottom);
    setCentralWidget(central);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(true);
    for (QLabel*& panel : m_panels) {
        panel = new QLabel(StatusBar1);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setTextFormat(Qt::PlainText);
    }
    m_panels[0]->setFixedWidth(550);
    StatusBar1->addWidget(m_panels[0]);
    StatusBar1->addWidget(m_panels[1], 1);
    setStatusBar(StatusBar1);
    connect(m_hints, &mainwindow::HintRouter::hintChanged, m_panels[0], &QLabel::setText);
    connect(m_hints, &mainwindow::HintRouter::announced, this,
            [this](const QString& text) { platform::announce(m_panels[0], text); });

    createMenu();
    // Whatever window deleted it, the contact just deleted is what Undo brings back.
    connect(&store.HomeQuery, &data::Dataset::rowRemoved, this, [this] {
        m_undoEntry = data::deleted::newestId(m_store.connection.handle());
        m_undoMerge.reset();
        m_undoBeforeFindTyping = true;
        miUndoDelete->setText(QStringLiteral("&Undo Delete"));
        miUndoDelete->setEnabled(m_undoEntry != 0);
    });
    // Delete is greyed out while there is nothing to delete, instead of asking and then failing.
    data::Dataset& q = store.HomeQuery;
    for (auto signal : {&data::Dataset::opened, &data::Dataset::closed})
        connect(&q, signal, this, &TfmHomeAddMain::updateDeleteButton);
    connect(&q, &data::Dataset::rowInserted, this, &TfmHomeAddMain::updateDeleteButton);
    connect(&q, &data::Dataset::rowRemoved, this, &TfmHomeAddMain::updateDeleteButton);
    connect(&q, &data::Dataset::narrowed, this, &TfmHomeAddMain::updateDeleteButton); // the find box's words
    connect(&q, &data::Dataset::stateChanged, this, &TfmHomeAddMain::updateDeleteButton);
    updateDeleteButton();
    // The window's shortcuts work wherever its focus is: a line edit would keep some (Ctrl+E, Ctrl+Z) to itself.
    qApp->installEventFilter(this);
    resize(1080, 600);
}

TfmHomeAddMain::~TfmHomeAddMain() = default;

void TfmHomeAddMain::createSidePanel(QWidget* panel)
{
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(4, 4, 4, 4);
    BitBtn3 = makeButton(panel, "BitBtn3", QStringLiteral("R&ecord"), QStringLiteral("Insert new record into table"),
                         QStyle::SP_FileIcon);
    BitBtn3->setDefault(true);
    BitBtn2 = makeButton(panel, "BitBtn2", QStringLiteral("&Cancel"), QStringLiteral("Cancel updates"),
                         QStyle::SP_DialogCancelButton);
    btnDelete =
        makeButton(panel, "btnDelete", QStringLiteral("&Delete"), QStringLiteral("Delete 1 row"), QStyle::SP_TrashIcon);
    connect(BitBtn3, &QPushButton::clicked, this, &TfmHomeAddMain::BitBtn3Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TfmHomeAddMain::BitBtn2Click);
    connect(btnDelete, &QPushButton::clicked, this, &TfmHomeAddMain::btnDeleteClick);
    layout->addWidget(BitBtn3);
    layout->addWidget(BitBtn2);
    layout->addWidget(btnDelete);

    RadioGroup1 = new QGroupBox(QStringLiteral("   Surname"), panel);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    mainwindow::HintRouter::setHint(RadioGroup1, QStringLiteral("Select by 1st letter of surname"));
    auto* grid = new QGridLayout(RadioGroup1);
    grid->setContentsMargins(6, 4, 2, 4);
    grid->setVerticalSpacing(0);
    m_letters = new QButtonGroup(this);
    m_letters->setExclusive(true);
    // Two columns filled top to bottom: "A" to "N", then "O" to "Z" and "All".
    constexpr int perColumn = (AllChoice + 2) / 2;
    for (int i = 0; i <= AllChoice; ++i) {
        const QString caption = i == AllChoice ? QStringLiteral("All") : QString(QChar(u'A' + i));
        auto* radio = new QRadioButton(caption, RadioGroup1);
        radio->setObjectName(QStringLiteral("RadioGroup1_") + caption);
        m_letters->addButton(radio, i);
        grid->addWidget(radio, i % perColumn, i / perColumn);
    }
    connect(m_letters, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            RadioGroup1Click();
    });
    layout->addWidget(RadioGroup1);
    layout->addStretch(1);
}

void TfmHomeAddMain::createBottomBar(QWidget* bar)
{
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(4, 3, 4, 3);
    using Nav = data::DBNavigator;
    DBNavigator1 = new Nav(&m_store.dsHome,
                           {Nav::First, Nav::Prior, Nav::Next, Nav::Last, Nav::Post}, bar);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setFixedWidth(5 * 30);
    layout->addWidget(DBNavigator1);
    layout->addStretch(1);

    btnRecCard =
        makeButton(bar, "btnRecCard", QStringLiteral("Rec&ord Card"), QStringLiteral("Index Card for data entry"));
    btEditCounty =
        makeButton(bar, "btEditCounty", QStringLiteral("Ed&itCounty"), QStringLiteral("Edit List of Counties"));
    HomeSearch = makeButton(bar, "HomeSearch", QStringLiteral("Se&arch"), QStringLiteral("Search & Filter"),
                            QStyle::SP_FileDialogContentsView);
    sqRetryBtn = makeButton(bar, "sqRetryBtn", QStringLiteral("Rese&t"), QStringLiteral("Shows all names again"),
                            QStyle::SP_BrowserReload);
    BitBtn1 = makeButton(bar, "BitBtn1", QStringLiteral("C&lose"), QStringLiteral("Closes Application"),
                         QStyle::SP_DialogCloseButton);
    connect(btnRecCard, &QPushButton::clicked, this, &TfmHomeAddMain::btnRecCardClick);
    connect(btEditCounty, &QPushButton::clicked, this, &TfmHomeAddMain::btEditCountyClick);
    connect(HomeSearch, &QPushButton::clicked, this, &TfmHomeAddMain::HomeSearchClick);
    connect(sqRetryBtn, &QPushButton::clicked, this, &TfmHomeAddMain::sqRetryBtnClick);
    connect(BitBtn1, &QPushButton::clicked, this, &QWidget::close);
    for (QPushButton* b : {btnRecCard, btEditCounty, HomeSearch, sqRetryBtn, BitBtn1})
        layout->addWidget(b);
}

data::Dataset& TfmHomeAddMain::homeQuery() const
{
    return m_store.HomeQuery;
}

QStringList TfmHomeAddMain::countyPickList() const
{
    return dbGrid1->cellDelegate()->pickList(CountyColumn);
}

void TfmHomeAddMain::setCountyPickList(const QStringList& entries)
{
    dbGrid1->cellDelegate()->setPickList(CountyColumn, entries);
}

int TfmHomeAddMain::radioItemIndex() const
{
    return m_letters->checkedId();
}

void TfmHomeAddMain::setRadioItemIndex(int index)
{
    if (QAbstractButton* button = m_letters->button(index))
        button->setChecked(true); // a change of choice runs the filter
}

QString TfmHomeAddMain::statusPanelText(int panel) const
{
    return panel >= 0 && panel < 2 ? m_panels[panel]->text() : QString();
}

void TfmHomeAddMain::showStatusMessage(const QString& text)
{
    m_hints->showMessage(text);
    platform::announce(m_panels[0], text);
}

void TfmHomeAddMain::backupDone(const QString& message, bool restored)
{
    if (restored)
        forgetUndo();
    showStatusMessage(message);
}

void TfmHomeAddMain::forgetUndo()
{
    m_undoEntry = 0;
    m_undoMerge.reset();
    miUndoDelete->setText(QStringLiteral("&Undo Delete"));
    miUndoDelete->setEnabled(false);
}

void TfmHomeAddMain::clearFoundMessage()
{
    if (!m_foundMessage.isEmpty() && m_panels[0]->text() == m_foundMessage)
        showStatusMessage(QString());
    m_foundMessage.clear();
}

void TfmHomeAddMain::runCommand(platform::Command name)
{
    // A menu shortcut leaves the cell editor open: what it holds belongs to the row the command settles.
    dbGrid1->commitOpenEditor();
    // Their boxes leave the hint of whatever was under the mouse behind; what they did is said instead.
    if (name == platform::Command::Backup || name == platform::Command::Restore)
        showStatusMessage(QString());
    platform::guard([&] { m_commands.run(name); });
}

QString TfmHomeAddMain::letterFilterStatement(int choice)
{
    if (choice == AllChoice)
        return QStringLiteral("SELECT * FROM HomeAd");
    // A reader files "Ångström" and "Émile" under A and E: besides the plain letter, any initial that is that
    // letter with case and accents aside.
    const QChar letter(u'A' + choice);
    return QStringLiteral("SELECT * FROM HomeAd WHERE Surname LIKE '%1%' OR initial_letter(Surname) = '%1'")
        .arg(letter);
}

// The alphabet filter: a new selection of the surnames beginning with the chosen letter, or of every contact.
void TfmHomeAddMain::RadioGroup1Click()
{
    const int choice = radioItemIndex();
    if (choice < 0)
        return;
    clearFoundMessage();
    dbGrid1->commitOpenEditor();
    const bool filtered = platform::guard([&] {
        data::Dataset& q = homeQuery();
        q.settle(); // a change that cannot be saved keeps the selection as it is
        q.close();
        q.setSql({letterFilterStatement(choice)});
        q.open();
    });
    if (filtered || homeQuery().state() == data::Dataset::State::Inactive) {
        m_filterChoice = choice;
        tellReaderTheCount();
        return;
    }
    // Not run: the letters show the choice still in force.
    const QSignalBlocker blocker(m_letters);
    if (QAbstractButton* previous = m_letters->button(m_filterChoice)) {
        previous->setChecked(true);
    } else if (QAbstractButton* chosen = m_letters->button(choice)) {
        m_letters->setExclusive(false);
        chosen->setChecked(false);
        m_letters->setExclusive(true);
    }
}

// Every contact again, unordered, with "All" chosen.
void TfmHomeAddMain::sqRetryBtnClick()
{
    m_findTimer->stop();
    edFind->clear();
    clearFoundMessage();
    dbGrid1->commitOpenEditor();
    const bool reopened = platform::guard([&] {
        data::Dataset& q = homeQuery();
        q.settle();
        q.close();
        q.setSql({QStringLiteral("SELECT * FROM HomeAd")});
        q.open();
    });
    if (reopened)
        setRadioItemIndex(AllChoice);
    tellReaderTheCount();
}

void TfmHomeAddMain::dbGrid1TitleClick(int column)
{
    data::DatasetModel* model = dbGrid1->datasetModel();
    model->setBoldColumn(column);
    platform::guard([&] {
        data::Dataset& q = homeQuery();
        const QString sort = q.sort();
        const QString field = model->columns().value(column).field;
        if (sort.startsWith(field) && !sort.contains(QLatin1String(" DESC")))
            q.setSort(field + QStringLiteral(" DESC"));
        else
            q.setSort(field + QStringLiteral(" ASC"));
    });
}

void TfmHomeAddMain::dbGrid1DblClick()
{
    runCommand(platform::Command::RecordCard);
}

void TfmHomeAddMain::BitBtn3Click()
{
    // What is typed next goes into the new row, not into the button that was clicked.
    if (platform::guard([this] { homeQuery().insert(); }))
        dbGrid1->editFirstCell();
}

void TfmHomeAddMain::BitBtn2Click()
{
    platform::guard([this] { homeQuery().cancelUpdates(); });
}

void TfmHomeAddMain::btnDeleteClick()
{
    if (!canDelete())
        return;
    platform::guard([this] {
        if (platform::prompts().message(this, QStringLiteral("Confirm"), data::deleteQuestion(&homeQuery()),
                                        platform::Icon::Question,
                                        platform::Buttons::OkCancel) == platform::Answer::Ok)
            homeQuery().remove();
    });
}

void TfmHomeAddMain::applyFind()
{
    m_findTimer->stop();
    if (!homeQuery().isOpen())
        return;
    dbGrid1->commitOpenEditor();
    platform::guard([this] {
        QElapsedTimer took;
        took.start();
        m_narrower.apply(homeQuery(), edFind->text()); // a change that cannot be saved keeps the list as it is
        m_findSlow = took.elapsed() > 40;
    });
    tellReaderTheCount();
}

// The number of contacts now shown, for a screen reader only: the status bar keeps its hint.
void TfmHomeAddMain::tellReaderTheCount()
{
    const data::Dataset& q = homeQuery();
    const int shown = q.isOpen() ? q.recordCount() : 0;
    platform::tellReader(shown == 1 ? QStringLiteral("1 contact shown") : QStringLiteral("%1 contacts shown").arg(shown));
}

bool TfmHomeAddMain::isWindowShortcut(const QKeyEvent& key) const
{
    const QKeySequence sequence(key.keyCombination());
    for (const QAction* action : findChildren<QAction*>())
        if (action->isEnabled() && action->shortcuts().contains(sequence))
            return true;
    for (const QShortcut* shortcut : findChildren<QShortcut*>())
        if (shortcut->isEnabled() && shortcut->key() == sequence)
            return true;
    return false;
}

bool TfmHomeAddMain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride && watched->isWidgetType() && watched != edFind &&
        static_cast<QWidget*>(watched)->window() == this) {
        // Undo in a control that holds typing of its own undoes that typing; every other shortcut of the window
        // is the window's.
        const auto* key = static_cast<QKeyEvent*>(event);
        const auto* line = qobject_cast<const QLineEdit*>(watched);
        const bool ownUndo = key->matches(QKeySequence::Undo) && line && line->isUndoAvailable();
        if (!ownUndo && isWindowShortcut(*key)) {
            event->ignore();
            return true;
        }
    }
    if (watched == edFind && event->type() == QEvent::ShortcutOverride) {
        // The same in the find box, whose typing before the last delete or merge is older than that change.
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool ownUndo = key->matches(QKeySequence::Undo) && edFind->isUndoAvailable() &&
                             !(m_undoBeforeFindTyping && miUndoDelete->isEnabled());
        if (!ownUndo && key->key() != Qt::Key_Escape && isWindowShortcut(*key)) {
            event->ignore();
            return true;
        }
    }
    if (watched == edFind && event->type() == QEvent::FocusIn && homeQuery().isOpen())
        m_findIndexTimer->start();
    if (watched == edFind && !edFind->text().isEmpty() &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        // Escape belongs to the find box while it holds words, before any shortcut of the window.
        event->accept();
        if (event->type() == QEvent::KeyPress) {
            edFind->clear();
            applyFind();
        }
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfmHomeAddMain::undoDelete()
{
    dbGrid1->commitOpenEditor();
    if (m_undoMerge) {
        platform::guard([this] {
            homeQuery().settle();
            search::duplicates::undoMerge(m_store.connection.handle(), *m_undoMerge);
            const qint64 key = m_undoMerge->keptId;
            m_undoMerge.reset();
            miUndoDelete->setText(QStringLiteral("&Undo Delete"));
            miUndoDelete->setEnabled(false);
            reloadAt(key);
        });
        return;
    }
    if (m_undoEntry == 0)
        return;
    platform::guard([this] {
        homeQuery().settle();
        const qint64 key = data::deleted::restore(m_store.connection.handle(), m_undoEntry);
        m_undoEntry = 0;
        miUndoDelete->setEnabled(false);
        reloadAt(key);
    });
}

void TfmHomeAddMain::showRecentlyDeleted()
{
    dbGrid1->commitOpenEditor();
    if (!platform::guard([this] { homeQuery().settle(); }))
        return;
    mainwindow::RecentlyDeletedBox box(m_store.connection.handle(), [this](qint64 key) {
        m_undoEntry = 0;
        m_undoMerge.reset();
        miUndoDelete->setEnabled(false);
        reloadAt(key);
    }, this);
    box.exec();
}

void TfmHomeAddMain::showDuplicates()
{
    dbGrid1->commitOpenEditor();
    if (!platform::guard([this] { homeQuery().settle(); }))
        return;
    mainwindow::DuplicatesBox box(m_store.connection.handle(), [this](const search::duplicates::MergeUndo& undo) {
        m_undoEntry = 0;
        m_undoMerge = std::make_unique<search::duplicates::MergeUndo>(undo);
        m_undoBeforeFindTyping = true;
        miUndoDelete->setText(QStringLiteral("&Undo Merge"));
        miUndoDelete->setEnabled(true);
        reloadAt(undo.keptId);
    }, this);
    // A merge taken back in the window is not taken back again here: Undo Merge turns to the one still in force.
    connect(&box, &mainwindow::DuplicatesBox::mergeUndone, this, [this, &box](qint64 keptId) {
        const search::duplicates::MergeUndo* last = box.lastMerge();
        m_undoMerge = last ? std::make_unique<search::duplicates::MergeUndo>(*last) : nullptr;
        miUndoDelete->setText(last ? QStringLiteral("&Undo Merge") : QStringLiteral("&Undo Delete"));
        miUndoDelete->setEnabled(last != nullptr);
        reloadAt(keptId);
    });
    box.exec();
}

void TfmHomeAddMain::showComingBirthdays()
{
    const data::Dataset& q = homeQuery();
    const int birthday = q.requireField(QStringLiteral("Birthday"));
    const int notes = q.requireField(QStringLiteral("Notes"));
    const QDate today = platform::clock().now().date();
    QStringList names;
    for (int r = 0; r < q.recordCount(); ++r) {
        const auto b = data::birthdayOf(q.text(r, birthday), q.text(r, notes));
        if (b && data::fallsWithin(*b, today, 7))
            names << QStringList{q.text(r, QStringLiteral("Firstname")), q.text(r, QStringLiteral("Surname"))}
                         .join(QLatin1Char(' '))
                         .trimmed();
    }
    if (!names.isEmpty())
        m_panels[0]->setText(QStringLiteral("Birthdays this week: ") + names.join(QStringLiteral(", ")));
}

void TfmHomeAddMain::reloadAt(qint64 key)
{
    data::Dataset& q = homeQuery();
    const QString sort = q.sort();
    q.close();
    q.open();
    if (!sort.isEmpty())
        q.setSort(sort);
    for (int r = 0; r < q.recordCount(); ++r)
        if (q.rowKey(r) == key) {
            q.moveTo(r);
            break;
        }
}

bool TfmHomeAddMain::canDelete() const
{
    const data::Dataset& q = homeQuery();
    return q.isOpen() && (q.recordCount() > 0 || q.state() == data::Dataset::State::Insert);
}

void TfmHomeAddMain::updateDeleteButton()
{
    btnDelete->setEnabled(canDelete());
}

void TfmHomeAddMain::btEditCountyClick()
{
    runCommand(platform::Command::CountyEditor);
}

void TfmHomeAddMain::btnRecCardClick()
{
    runCommand(platform::Command::RecordCard);
}

void TfmHomeAddMain::HomeSearchClick()
{
    const QStringList before = homeQuery().sql();
    runCommand(platform::Command::SearchDialog);
    // A new selection says how many it found, in the status bar and to a screen reader.
    const data::Dataset& q = homeQuery();
    if (q.isOpen() && q.sql() != before) {
        const int found = q.recordCount();
        m_foundMessage = found == 1 ? QStringLiteral("1 contact found") : QStringLiteral("%1 contacts found").arg(found);
        showStatusMessage(m_foundMessage);
        // The search chose from every contact: no letter applies any more, and clicking one applies it again.
        if (QAbstractButton* chosen = m_letters->checkedButton()) {
            const QSignalBlocker blocker(m_letters);
            m_letters->setExclusive(false);
            chosen->setChecked(false);
            m_letters->setExclusive(true);
        }
        m_filterChoice = -1;
    }
}

void TfmHomeAddMain::miPrinterSetupClick()
{
    platform::guard([this] {
        if (!m_printer)
            m_printer = std::make_unique<QPrinter>();
        platform::printDialogs().printerSetup(this, *m_printer);
    });
}

void TfmHomeAddMain::miMailMergeClick()
{
    // The mail merge set-up is shown without any report of a failure.
    try {
        m_commands.run(platform::Command::MailMerge);
    } catch (...) {
    }
}

void TfmHomeAddMain::FormActivate()
{
    const QDate today = platform::clock().now().date();
    m_panels[1]->setText(QStringLiteral("Today : ") + QLocale::system().toString(today, QLocale::ShortFormat));
}

void TfmHomeAddMain::setVisible(bool visible)
{
    const bool first = visible && !m_shown;
    m_shown = m_shown || visible;
    // The saved place is applied before the window is made: once made, a place given before the window manager
    // has framed it lands shifted by the frame.
    if (first)
        FormShow();
    QMainWindow::setVisible(visible);
    if (first)
        loadCountyPickList();
}

void TfmHomeAddMain::closeWithoutQuestions()
{
    const platform::ErrorsToConsole toConsole;
    close();
}

// With nobody to ask, the values typed that the book refused go to a file of their own beside it, named on standard
// error, rather than only the field's name.
void TfmHomeAddMain::rescuePendingChange()
{
    const data::Dataset& query = homeQuery();
    const auto changes = query.pendingChanges();
    if (changes.isEmpty())
        return;
    const int row = query.currentRow();
    const QString contact = QStringList{query.text(row, QStringLiteral("Firstname")),
                                        query.text(row, QStringLiteral("Surname"))}
                                .join(QLatin1Char(' '))
                                .trimmed();
    QString text = QStringLiteral("A change to %1 that could not be saved in %2 when Tovrel closed:\n\n")
                       .arg(contact.isEmpty() ? QStringLiteral("a new contact") : contact,
                            QDir::toNativeSeparators(platform::programFile(data::databaseFileName())));
    for (const auto& [field, value] : changes)
        text += QStringLiteral("%1: %2\n").arg(field, value);
    try {
        const QString file =
            platform::writeRescueFile(QStringLiteral("Unsaved change"), QStringLiteral("txt"), text.toUtf8());
        platform::printError(QStringLiteral("The values typed are kept in %1").arg(QDir::toNativeSeparators(file)));
    } catch (const platform::AppError& e) {
        platform::printError(QStringLiteral("The values typed are lost: %1").arg(e.message()));
    }
}

void TfmHomeAddMain::closeEvent(QCloseEvent* event)
{
    for (const auto& check : m_closeChecks) {
        if (!check()) {
            event->ignore();
            return;
        }
    }
    // A pending change is saved as a move would save it; one that cannot be is given up only when the user says so
    // (or, with nobody to ask, once it is on standard error).
    dbGrid1->commitOpenEditor();
    const bool settled = platform::guard([this] { homeQuery().settle(); });
    if (!settled && platform::errorsGoToConsole()) {
        rescuePendingChange();
    } else if (!settled &&
               platform::prompts().message(this, QStringLiteral("Confirm"),
                                           QStringLiteral("Your last change could not be saved. Close anyway and "
                                                          "lose it?"),
                                           platform::Icon::Question,
                                           platform::Buttons::YesNoDefaultNo) != platform::Answer::Yes) {
        event->ignore();
        return;
    }
    // Settings that cannot be written are reported; the window closes all the same.
    FormClose();
    event->accept();
    // Closing the main window ends the program, whatever else is open.
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void TfmHomeAddMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TfmHomeAddMain::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        // Enter that no control took: a focused push button takes it, otherwise the default button "&Record".
        auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
        (focused && isAncestorOf(focused) ? focused : BitBtn3)->click();
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

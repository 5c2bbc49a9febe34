#include "exchange/ui/ImportDialog.h"

#include "data/ContactStore.h"
#include "exchange/AccessFile.h"
#include "exchange/ContactImport.h"
#include "exchange/CsvReader.h"
#include "platform/AppError.h"
#include "platform/OutputFile.h"
#include "platform/ProgramFolder.h"
#include "platform/ui/ErrorBox.h"
#include "platform/Services.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProgressDialog>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace exchange {

namespace {
// Shortened values stand out in a red that still reads on white (6:1; pure red is 4:1).
const QColor ShortenedRed(0xB0, 0x00, 0x00);

DialogRunner& runner()
{
    static DialogRunner r;
    return r;
}

QString counted(qint64 n, const char* one, const char* many)
{
    return n == 1 ? QStringLiteral("1 %1").arg(QLatin1String(one))
                  : QStringLiteral("%1 %2").arg(n).arg(QLatin1String(many));
}

QString fieldList(const QList<exchange::OverLongValue>& values)
{
    QStringList parts;
    for (const exchange::OverLongValue& v : values)
        parts << QStringLiteral("%1 has %2 characters (at most %3)")
                     .arg(exchange::fieldName(v.field))
                     .arg(v.length)
                     .arg(v.maxLength);
    return parts.join(QStringLiteral(", "));
}

// A progress box for reading and adding, shown only when the work takes a while; its Cancel stops the work.
class ProgressBox
{
public:
    ProgressBox(QWidget* parent, const QString& text) : m_dialog(text, QStringLiteral("Cancel"), 0, 1000, parent)
    {
        m_dialog.setWindowTitle(QStringLiteral("Tovrel"));
        // Application-modal: while it processes events no other window may change the contacts, since every
        // write on the connection would join the import's transaction.
        m_dialog.setWindowModality(Qt::ApplicationModal);
        m_dialog.setMinimumDuration(500);
        m_dialog.setAutoReset(false);
        m_dialog.setValue(0);
    }

    [[nodiscard]] exchange::Progress callback()
    {
        return [this](qint64 done, qint64 total) {
            if (total > 0)
                m_dialog.setValue(int(std::min<qint64>(1000, done * 1000 / total)));
            else
                m_dialog.setValue((m_dialog.value() + 1) % 1000);
            return !m_dialog.wasCanceled();
        };
    }

private:
    QProgressDialog m_dialog;
};

void inform(QWidget* parent, const QString& text)
{
    platform::prompts().message(parent, QStringLiteral("Information"), text, platform::Icon::Information,
                                platform::Buttons::Ok);
}

} // namespace

void setDialogRunner(DialogRunner r)
{
    runner() = std::move(r);
}

int runDialog(QDialog& dialog)
{
    return runner() ? runner()(dialog) : dialog.exec();
}

void ImportClick(QWidget* parent, data::ContactStore& store)
{
    platform::guard([&] {
        // A change that cannot be saved stops the import before anything is asked.
        store.HomeQuery.settle();
        platform::FileDialogRequest request;
        request.title = QStringLiteral("Import contacts");
        request.folder = QDir::homePath();
        request.filter = QStringLiteral("Contacts (*.vcf *.vcard *.csv *.mdb *.accdb);;vCard (*.vcf *.vcard);;"
                                        "CSV (*.csv *.txt);;Access-format databases (*.mdb *.accdb);;"
                                        "Tovrel address books (*.mdb *.sqlite *.db);;All files (*)");
        const QString path = platform::fileDialogs().openFile(parent, request);
        if (!path.isEmpty())
            importFile(parent, store, path);
    });
}

void importFile(QWidget* parent, data::ContactStore& store, const QString& path)
{
    platform::guard([&] {
        data::Dataset& query = store.HomeQuery;
        if (query.isExclusive())
            throw platform::AppError(QStringLiteral("A report is reading the contacts; close its preview first"));
        if (exchange::isAccessFile(store.connection.databasePath()))
            throw platform::AppError(data::accessFormatMessage(store.connection.databasePath()));
        const QString fileName = QFileInfo(path).fileName();

        QString table;
        if (exchange::isAccessFile(path)) {
            const QStringList tables = exchange::accessTables(path);
            if (tables.isEmpty())
                throw platform::AppError(QStringLiteral("%1 holds no tables").arg(fileName));
            TfmImportTable chooser(path, tables, parent);
            if (runDialog(chooser) != QDialog::Accepted)
                return;
            table = chooser.chosenTable();
        }

        auto importer = std::make_unique<exchange::Importer>(path, table);
        if (platform::sameFile(path, store.connection.databasePath()))
            throw platform::AppError(QStringLiteral("%1 is the address book itself; nothing was imported").arg(fileName));
        // Read with the columns as chosen; a header row without a name column opens the choice of columns.
        auto readWith = [&](const exchange::ColumnChoices& choices) -> std::optional<exchange::ImportPlan> {
            exchange::ReadOptions options;
            options.columns = choices;
            auto next = std::make_unique<exchange::Importer>(path, table, options);
            ProgressBox progress(parent, QStringLiteral("Reading %1...").arg(fileName));
            std::optional<exchange::ImportPlan> plan;
            try {
                plan = next->plan(progress.callback());
            } catch (const exchange::NoNameColumn& e) {
                plan.emplace();
                plan->columns = e.columns();
                plan->noNameColumn = true;
            } catch (const platform::AppError& e) {
                throw platform::AppError(QStringLiteral("%1: %2").arg(fileName, e.message()));
            }
            if (plan)
                importer = std::move(next);
            return plan;
        };
        std::optional<exchange::ImportPlan> plan = readWith({});
        if (!plan)
            return;
        // The choice made for a file with the same header row before.
        const QString settings = platform::programFile(QStringLiteral("TovrelIni.ini"));
        const exchange::ColumnChoices remembered = exchange::rememberedChoices(settings, plan->columns);
        if (!remembered.isEmpty()) {
            plan = readWith(remembered);
            if (!plan)
                return;
        }
        if (plan->contactCount == 0 && !plan->noNameColumn) {
            inform(parent, QStringLiteral("%1 holds no contacts; nothing was imported.").arg(fileName));
            return;
        }
        TfmImportPreview preview(*plan, path, parent, readWith, remembered);
        if (runDialog(preview) != QDialog::Accepted)
            return;
        const exchange::ColumnChoices chosen = preview.columnChoices();
        if (!preview.plan().columns.isEmpty() && (!chosen.isEmpty() || !remembered.isEmpty())) {
            try {
                exchange::rememberChoices(settings, preview.plan().columns, chosen);
            } catch (const platform::AppError&) {
                // Only the next file's default is lost; the import itself goes on.
            }
        }

        // Settled again: the row may have been edited while the preview was open.
        query.settle();
        store.connection.open();
        exchange::ImportResult result;
        {
            ProgressBox progress(parent, QStringLiteral("Importing %1...").arg(fileName));
            result = importIntoDatabase(store.connection.handle(), *importer, preview.choice(), progress.callback());
        }
        if (result.cancelled) {
            inform(parent, QStringLiteral("The import was cancelled; no contact was added."));
            return;
        }
        // Read again with the same SQL text, so that the new contacts show within the current selection.
        query.close();
        query.open();
        QString text = QStringLiteral("%1 added from %2.").arg(counted(result.added, "contact", "contacts"), fileName);
        if (result.shortened > 0)
            text += QStringLiteral(" %1 shortened to fit, each kept whole in Notes.")
                        .arg(counted(result.shortened, "contact has values", "contacts have values"));
        if (result.skipped > 0)
            text += QStringLiteral(" %1 left out for over-long values.")
                        .arg(counted(result.skipped, "contact", "contacts"));
        inform(parent, text);
    });
}

void importAfterStartUp(QWidget* parent, data::ContactStore& store, const QString& path)
{
    QTimer::singleShot(0, &store,
                       [owner = QPointer<QWidget>(parent), &store, path] { importFile(owner, store, path); });
}

bool offerAccessConversion(QWidget* parent, const QString& path, const QString& table)
{
    if (!exchange::isAccessFile(path))
        return true;
    const QString name = QFileInfo(path).fileName();
    const QString stays =
        QStringLiteral("The contact list stays empty until %1 is a database of this program.").arg(name);
    std::optional<exchange::ImportPlan> plan;
    try {
        if (!exchange::canReadAccessFiles())
            throw platform::AppError(QStringLiteral("this build of the program cannot read Access-format files"));
        exchange::Importer importer(path, table);
        ProgressBox progress(parent, QStringLiteral("Reading %1...").arg(name));
        plan = importer.plan(progress.callback());
    } catch (const platform::AppError& e) {
        platform::showDefaultError(QStringLiteral("%1 is an Access-format database and cannot be converted: %2\n\n%3")
                                       .arg(QDir::toNativeSeparators(path), e.message(), stays));
        return false;
    }
    QString text = QStringLiteral("%1 is an Access-format database.\n\nConvert its %2 (table \"%3\") into a new %1 "
                                  "of this program? The original file is kept unchanged as %4.")
                       .arg(name, counted(plan ? plan->contactCount : 0, "contact", "contacts"), table,
                            QFileInfo(accessBackupPath(path)).fileName());
    if (plan && plan->overLongCount > 0)
        text += QStringLiteral("\n\n%1 values longer than their fields allow; those values will be shortened to "
                               "fit, each kept whole in Notes.")
                    .arg(counted(plan->overLongCount, "contact has", "contacts have"));
    if (!plan || platform::prompts().message(parent, QStringLiteral("Confirm"), text, platform::Icon::Question,
                                             platform::Buttons::OkCancel) != platform::Answer::Ok) {
        inform(parent,
               QStringLiteral("%1 was not converted. %2 Start the program again to convert it.").arg(name, stays));
        return false;
    }
    try {
        ProgressBox progress(parent, QStringLiteral("Converting %1...").arg(name));
        if (convertAccessDatabase(path, table, progress.callback()).cancelled) {
            inform(parent, QStringLiteral("%1 was not converted. %2").arg(name, stays));
            return false;
        }
    } catch (const platform::AppError& e) {
        platform::showDefaultError(QStringLiteral("%1 was not converted: %2\n\n%3").arg(name, e.message(), stays));
        return false;
    }
    return true;
}

} // namespace exchange

TfmImportTable::TfmImportTable(const QString& path, const QStringList& tables, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmImportTable"));
    setWindowTitle(QStringLiteral("Import contacts"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("Which table of %1 holds the contacts?").arg(QFileInfo(path).fileName()), this));
    lbTables = new QListWidget(this);
    lbTables->setObjectName(QStringLiteral("lbTables"));
    lbTables->setAccessibleName(QStringLiteral("Tables"));
    lbTables->addItems(tables);
    int chosen = 0;
    for (int i = 0; i < tables.size(); ++i)
        if (tables[i].compare(QLatin1String("HomeAd"), Qt::CaseInsensitive) == 0)
            chosen = i;
    lbTables->setCurrentRow(chosen);
    layout->addWidget(lbTables);
    bbButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(bbButtons);
    connect(bbButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(bbButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(lbTables, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
}

QString TfmImportTable::chosenTable() const
{
    const QListWidgetItem* item = lbTables->currentItem();
    return item ? item->text() : QString();
}

namespace {

// A column's combo: what its name says first, then each field, Notes and Skip.
QList<exchange::ColumnChoice> offeredChoices()
{
    using exchange::ColumnChoice;
    QList<ColumnChoice> out;
    for (const exchange::FieldInfo& f : exchange::Fields) {
        if (f.field != exchange::Field::Notes)
            out.append(ColumnChoice{ColumnChoice::Use::Field, f.field});
    }
    out.append(ColumnChoice{ColumnChoice::Use::Notes, exchange::Field::Notes});
    out.append(ColumnChoice{ColumnChoice::Use::Skip, exchange::Field::Surname});
    return out;
}

} // namespace

TfmImportPreview::TfmImportPreview(const exchange::ImportPlan& plan, const QString& path, QWidget* parent,
                                   Replan replan, const exchange::ColumnChoices& choices)
    : QDialog(parent), m_plan(plan), m_fileName(QFileInfo(path).fileName()), m_replan(std::move(replan))
{
    using namespace exchange;
    setObjectName(QStringLiteral("fmImportPreview"));
    setWindowTitle(QStringLiteral("Import contacts"));
    resize(600, 720);
    auto* layout = new QVBoxLayout(this);

    lbNoName = new QLabel(this);
    lbNoName->setObjectName(QStringLiteral("lbNoName"));
    lbNoName->setWordWrap(true);
    layout->addWidget(lbNoName);
    lbSource = new QLabel(this);
    lbSource->setObjectName(QStringLiteral("lbSource"));
    lbSource->setWordWrap(true);
    layout->addWidget(lbSource);
    lbCount = new QLabel(this);
    lbCount->setObjectName(QStringLiteral("lbCount"));
    QFont bold = lbCount->font();
    bold.setBold(true);
    lbCount->setFont(bold);
    lbNoName->setFont(bold);
    layout->addWidget(lbCount);

    gbColumns = new QGroupBox(QStringLiteral("What each column becomes"), this);
    gbColumns->setObjectName(QStringLiteral("gbColumns"));
    auto* columnsLayout = new QVBoxLayout(gbColumns);
    tbColumns = new QTableWidget(0, 2, gbColumns);
    tbColumns->setObjectName(QStringLiteral("tbColumns"));
    tbColumns->setAccessibleName(gbColumns->title());
    tbColumns->setHorizontalHeaderLabels({QStringLiteral("Column"), QStringLiteral("Becomes")});
    tbColumns->verticalHeader()->hide();
    tbColumns->horizontalHeader()->setStretchLastSection(true);
    tbColumns->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tbColumns->setTabKeyNavigation(false);
    columnsLayout->addWidget(tbColumns);
    layout->addWidget(gbColumns, 2);

    auto* firstCaption = new QLabel(QStringLiteral("The first contact, as it will be stored:"), this);
    layout->addWidget(firstCaption);
    tbFirst = new QTableWidget(FieldCount, 2, this);
    tbFirst->setObjectName(QStringLiteral("tbFirst"));
    firstCaption->setBuddy(tbFirst);
    tbFirst->setAccessibleName(QStringLiteral("The first contact")); // a table takes no name from its label
    tbFirst->setHorizontalHeaderLabels({QStringLiteral("Field"), QStringLiteral("Value")});
    tbFirst->verticalHeader()->hide();
    tbFirst->horizontalHeader()->setStretchLastSection(true);
    tbFirst->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tbFirst->setTabKeyNavigation(false); // arrows move between cells, Tab goes on to the buttons
    for (int i = 0; i < FieldCount; ++i) {
        tbFirst->setItem(i, 0, new QTableWidgetItem(QLatin1String(Fields[size_t(i)].name)));
        tbFirst->setItem(i, 1, new QTableWidgetItem);
    }
    tbFirst->resizeColumnToContents(0);
    layout->addWidget(tbFirst, 2);

    gbOverLong = new QGroupBox(this);
    gbOverLong->setObjectName(QStringLiteral("gbOverLong"));
    auto* overLayout = new QVBoxLayout(gbOverLong);
    lbOverLong = new QListWidget(gbOverLong);
    lbOverLong->setObjectName(QStringLiteral("lbOverLong"));
    lbOverLong->setAccessibleName(QStringLiteral("Contacts with values too long"));
    overLayout->addWidget(lbOverLong);
    rbKeep = new QRadioButton(QStringLiteral("&Add them with the values shortened, each whole value kept in Notes"),
                              gbOverLong);
    rbKeep->setObjectName(QStringLiteral("rbKeep"));
    rbSkip = new QRadioButton(QStringLiteral("&Leave these contacts out"), gbOverLong);
    rbSkip->setObjectName(QStringLiteral("rbSkip"));
    rbKeep->setChecked(true);
    overLayout->addWidget(rbKeep);
    overLayout->addWidget(rbSkip);
    layout->addWidget(gbOverLong, 1);

    gbNameless = new QGroupBox(this);
    gbNameless->setObjectName(QStringLiteral("gbNameless"));
    auto* namelessLayout = new QVBoxLayout(gbNameless);
    lbNameless = new QListWidget(gbNameless);
    lbNameless->setObjectName(QStringLiteral("lbNameless"));
    lbNameless->setAccessibleName(QStringLiteral("Contacts without a name"));
    namelessLayout->addWidget(lbNameless);
    layout->addWidget(gbNameless, 1);

    gbNotes = new QGroupBox(QStringLiteral("Notes on the file"), this);
    gbNotes->setObjectName(QStringLiteral("gbNotes"));
    auto* notesLayout = new QVBoxLayout(gbNotes);
    lbNotes = new QListWidget(gbNotes);
    lbNotes->setObjectName(QStringLiteral("lbNotes"));
    lbNotes->setAccessibleName(gbNotes->title());
    notesLayout->addWidget(lbNotes);
    layout->addWidget(gbNotes, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    btnOK = buttons->button(QDialogButtonBox::Ok);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setText(QStringLiteral("&Import"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(rbSkip, &QRadioButton::toggled, this, &TfmImportPreview::updateCount);
    buildColumns(choices);
    showPlan();
}

void TfmImportPreview::buildColumns(const exchange::ColumnChoices& choices)
{
    using namespace exchange;
    const QStringList& columns = m_plan.columns;
    // What each column's name says, whatever was chosen for it.
    const RowMapper byName(columns);
    const QList<ColumnChoice> offered = offeredChoices();
    if (m_plan.columnsAreProperties) {
        gbColumns->setTitle(QStringLiteral("What each kind of property without a field becomes"));
        tbColumns->setHorizontalHeaderLabels({QStringLiteral("Property"), QStringLiteral("Becomes")});
        tbColumns->setAccessibleName(gbColumns->title());
    }
    tbColumns->setRowCount(int(columns.size()));
    for (int row = 0; row < columns.size(); ++row) {
        tbColumns->setItem(row, 0, new QTableWidgetItem(columns[row]));
        auto* combo = new QComboBox(tbColumns);
        combo->setAccessibleName(QStringLiteral("%1 becomes").arg(columns[row]));
        combo->addItem(m_plan.columnsAreProperties ? QStringLiteral("Skip (no field of its own)")
                                                   : QStringLiteral("%1 (by its name)").arg(byName.becomes(row)));
        for (const ColumnChoice& c : offered)
            combo->addItem(columnChoiceName(c));
        if (const ColumnChoice* chosen = choiceFor(choices, columns[row]))
            combo->setCurrentIndex(int(offered.indexOf(*chosen)) + 1);
        tbColumns->setCellWidget(row, 1, combo);
        connect(combo, &QComboBox::currentIndexChanged, this, &TfmImportPreview::columnChanged);
    }
    tbColumns->resizeColumnToContents(0);
    gbColumns->setVisible(!columns.isEmpty());
}

QComboBox* TfmImportPreview::columnCombo(int row) const
{
    return qobject_cast<QComboBox*>(tbColumns->cellWidget(row, 1));
}

exchange::ColumnChoices TfmImportPreview::columnChoices() const
{
    exchange::ColumnChoices out;
    const QList<exchange::ColumnChoice> offered = offeredChoices();
    for (int row = 0; row < tbColumns->rowCount(); ++row) {
        const int index = columnCombo(row)->currentIndex();
        if (index > 0)
            out.append({tbColumns->item(row, 0)->text(), offered.at(index - 1)});
    }
    return out;
}

void TfmImportPreview::columnChanged()
{
    if (!m_replan)
        return;
    platform::guard([&] {
        if (std::optional<exchange::ImportPlan> plan = m_replan(columnChoices())) {
            m_plan = std::move(*plan);
            showPlan();
        }
    });
}

void TfmImportPreview::showPlan()
{
    using namespace exchange;
    const ImportPlan& plan = m_plan;
    lbNoName->setText(QStringLiteral("No column of %1 is taken for a name (Surname, Firstname or Workplace), so every "
                                     "contact would come in without one. Choose below what each column holds.")
                          .arg(m_fileName));
    lbNoName->setVisible(plan.noNameColumn);
    lbSource->setText(plan.noNameColumn ? QStringLiteral("%1: nothing read yet.").arg(m_fileName)
                                        : QStringLiteral("%1 (%2): %3 read.")
                                              .arg(m_fileName, plan.source,
                                                   exchange::counted(plan.contactCount, "contact", "contacts")));

    for (int i = 0; i < FieldCount; ++i) {
        const FieldInfo& f = Fields[size_t(i)];
        QTableWidgetItem* item = tbFirst->item(i, 1);
        item->setText(plan.first ? (*plan.first)[f.field] : QString());
        const bool shortened = plan.firstShortened.contains(f.field);
        item->setForeground(shortened ? QBrush(exchange::ShortenedRed) : QBrush());
        item->setToolTip(shortened ? QStringLiteral("Shortened to the %1 characters this field allows; the whole value "
                                                    "is kept in Notes")
                                         .arg(f.maxLength)
                                   : QString());
    }

    gbOverLong->setTitle(QStringLiteral("%1 values longer than their fields allow")
                             .arg(exchange::counted(plan.overLongCount, "contact has", "contacts have")));
    lbOverLong->clear();
    for (const OverLongContact& c : plan.overLong)
        lbOverLong->addItem(
            QStringLiteral("Record %1, line %2: %3: %4")
                .arg(c.record)
                .arg(c.line)
                .arg(c.name.isEmpty() ? QStringLiteral("(no name)") : c.name, exchange::fieldList(c.values)));
    if (plan.overLongCount > plan.overLong.size())
        lbOverLong->addItem(QStringLiteral("... and %1 more").arg(plan.overLongCount - plan.overLong.size()));
    gbOverLong->setVisible(plan.overLongCount > 0);

    gbNameless->setTitle(
        QStringLiteral("%1 no name: the surname is taken from the workplace, e-mail address or phone number")
            .arg(exchange::counted(plan.namelessCount, "contact has", "contacts have")));
    lbNameless->clear();
    for (const NamelessContact& c : plan.nameless)
        lbNameless->addItem(QStringLiteral("Record %1, line %2: Surname \"%3\" from %4")
                                .arg(c.record)
                                .arg(c.line)
                                .arg(c.surname, c.takenFrom));
    if (plan.namelessCount > plan.nameless.size())
        lbNameless->addItem(QStringLiteral("... and %1 more").arg(plan.namelessCount - plan.nameless.size()));
    gbNameless->setVisible(plan.namelessCount > 0);

    lbNotes->clear();
    if (plan.movedToNotes > 0)
        lbNotes->addItem(QStringLiteral("Kept in Notes: %1 with no field of their own")
                             .arg(exchange::counted(plan.movedToNotes, "value", "values")));
    if (plan.notStored > 0)
        lbNotes->addItem(QStringLiteral("Not stored: %1 (photos, logos, sounds, keys)")
                             .arg(exchange::counted(plan.notStored, "binary value", "binary values")));
    for (auto it = plan.skipped.cbegin(); it != plan.skipped.cend(); ++it)
        if (!it.key().endsWith(QLatin1String("(binary, not stored)"))) // counted above
            lbNotes->addItem(
                QStringLiteral("Not imported: %1, %2").arg(it.key(), exchange::counted(it.value(), "value", "values")));
    for (const Notice& n : plan.notices)
        lbNotes->addItem(n.toString());
    if (plan.noticeCount > plan.notices.size())
        lbNotes->addItem(QStringLiteral("... and %1 more notes").arg(plan.noticeCount - plan.notices.size()));
    gbNotes->setVisible(lbNotes->count() > 0);
    updateCount();
}

exchange::OverLongChoice TfmImportPreview::choice() const
{
    return rbSkip->isChecked() ? exchange::OverLongChoice::SkipContact : exchange::OverLongChoice::Keep;
}

void TfmImportPreview::updateCount()
{
    const qint64 toAdd = m_plan.noNameColumn ? 0 : m_plan.toAdd(choice());
    lbCount->setText(toAdd == 1 ? QStringLiteral("1 contact will be added.")
                                : QStringLiteral("%1 contacts will be added.").arg(toAdd));
    btnOK->setEnabled(toAdd > 0);
}

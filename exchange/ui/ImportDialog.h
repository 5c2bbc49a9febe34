#pragma once

#include "exchange/ImportPlan.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QDialogButtonBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace data {
class ContactStore;
}

namespace exchange {

// Runs a dialog modally and returns its result. Tests install their own runner to answer without blocking.
using DialogRunner = std::function<int(QDialog&)>;
void setDialogRunner(DialogRunner runner); // empty: the dialog's own exec()
int runDialog(QDialog& dialog);

// File > Import: asks for a vCard, CSV or Access-format file and imports it as importFile does.
void ImportClick(QWidget* parent, data::ContactStore& store);

// Imports a file into the contact table: for an Access-format file the user first picks a table; a preview tells
// what will be added and asks whether to keep or leave out the contacts with over-long values; OK adds every contact in one transaction (all or
// nothing), and the contact list is then read again with its SQL text unchanged. Errors reach the error box.
void importFile(QWidget* parent, data::ContactStore& store, const QString& path);

// A file named on the command line: its import opens as soon as the event loop runs (never once the store is gone).
void importAfterStartUp(QWidget* parent, data::ContactStore& store, const QString& path);

// Start-up, before the contact query is first opened: when the database file is an Access-format database,
// says so and offers to convert it (see convertAccessDatabase). Returns whether the query may be opened: the
// file is ours, or it was converted. When it is not, the user has been told why the list stays empty.
bool offerAccessConversion(QWidget* parent, const QString& path, const QString& table = QStringLiteral("HomeAd"));

} // namespace exchange

// Picks the table of an Access-format file to import; HomeAd when the file has one.
class TfmImportTable : public QDialog
{
    Q_OBJECT
public:
    TfmImportTable(const QString& path, const QStringList& tables, QWidget* parent = nullptr);

    [[nodiscard]] QString chosenTable() const;

    QListWidget* lbTables = nullptr;
    QDialogButtonBox* bbButtons = nullptr;
};

// What an import will do, before anything is written: the number of contacts to add, the first of them as it
// will be stored, the values too long for their fields with the choice to add those contacts (the values
// shortened, each kept whole in Notes) or to leave them out, the contacts without a name and what names them,
// and what the file holds that goes to Notes or is not stored. For a CSV file, each column and what it becomes (a
// field, Notes or Skip), which the user may change: the file is then read again with the new choice (`replan`).
// When no column gives a name, that is said at the top and the import waits for a name column.
class TfmImportPreview : public QDialog
{
    Q_OBJECT
public:
    // Reads the file again with the user's choices; nullopt when cancelled. May throw platform::AppError.
    using Replan = std::function<std::optional<exchange::ImportPlan>(const exchange::ColumnChoices&)>;

    TfmImportPreview(const exchange::ImportPlan& plan, const QString& path, QWidget* parent = nullptr,
                     Replan replan = {}, const exchange::ColumnChoices& choices = {});

    [[nodiscard]] exchange::OverLongChoice choice() const;
    // The columns given a choice other than what their names say.
    [[nodiscard]] exchange::ColumnChoices columnChoices() const;
    [[nodiscard]] const exchange::ImportPlan& plan() const { return m_plan; }

    QLabel* lbSource = nullptr;
    QLabel* lbCount = nullptr;
    QTableWidget* tbFirst = nullptr;
    QGroupBox* gbOverLong = nullptr;
    QListWidget* lbOverLong = nullptr;
    QRadioButton* rbKeep = nullptr;
    QRadioButton* rbSkip = nullptr;
    QGroupBox* gbNameless = nullptr;
    QListWidget* lbNameless = nullptr;
    QGroupBox* gbNotes = nullptr;
    QListWidget* lbNotes = nullptr;
    QLabel* lbNoName = nullptr;
    QGroupBox* gbColumns = nullptr;
    QTableWidget* tbColumns = nullptr; // column name, and a combo of what it becomes
    QPushButton* btnOK = nullptr;

    [[nodiscard]] QComboBox* columnCombo(int row) const;

private:
    void showPlan();
    void buildColumns(const exchange::ColumnChoices& choices);
    void columnChanged();
    void updateCount();

    exchange::ImportPlan m_plan;
    QString m_fileName;
    Replan m_replan;
};

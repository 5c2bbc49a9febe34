// The window finding and merging duplicate contacts.
#include "search/ui/DuplicatesBox.h"

#include "data/ContactStore.h"
#include "platform/ui/Accessibility.h"
#include "platform/ui/ErrorBox.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace mainwindow {

namespace dup = search::duplicates;

namespace {

// A group is named in the list by its first few contacts, and compared side by side for at most this many: a
// long chain of look-alikes (a switchboard number shared by a whole office) stays readable and quick to show.
constexpr qsizetype kNamed = 4;
constexpr qsizetype kSideBySide = 40;

// The wait cursor while a large book is searched; put back before any error box is shown.
struct WaitCursor
{
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

QStringList choosableFields()
{
    QStringList out;
    for (const data::FieldDef& f : data::contactFields())
        if (f.isStored() && f.name != QLatin1String("Notes"))
            out << f.name;
    return out;
}

} // namespace

DuplicatesBox::DuplicatesBox(sqlite3* db, std::function<void(const dup::MergeUndo&)> merged, QWidget* parent)
    : QDialog(parent), m_db(db), m_merged(std::move(merged))
{
    setObjectName(QStringLiteral("DuplicatesBox"));
    setWindowTitle(QStringLiteral("Find Duplicates"));
    auto* layout = new QVBoxLayout(this);
    auto* splitter = new QSplitter(this);
    auto* left = new QWidget(splitter);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    auto* groupsLabel = new QLabel(QStringLiteral("&Probably the same person:"), left);
    groups = new QListWidget(left);
    groups->setObjectName(QStringLiteral("groups"));
    groups->setAccessibleName(QStringLiteral("Groups of probable duplicates"));
    groupsLabel->setBuddy(groups);
    leftLayout->addWidget(groupsLabel);
    leftLayout->addWidget(groups);
    auto* right = new QWidget(splitter);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    auto* fieldsLabel = new QLabel(QStringLiteral("&Values (choose the one to keep where they differ; the others go "
                                                  "into Notes):"),
                                   right);
    fieldsLabel->setWordWrap(true);
    fields = new QTableWidget(right);
    fields->setObjectName(QStringLiteral("fields"));
    fields->setAccessibleName(QStringLiteral("The contacts side by side"));
    fields->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fields->setTabKeyNavigation(false); // arrows move between cells, Tab goes on to the choices and buttons
    fields->horizontalHeader()->setStretchLastSection(true);
    fieldsLabel->setBuddy(fields);
    rightLayout->addWidget(fieldsLabel);
    rightLayout->addWidget(fields);
    splitter->setStretchFactor(1, 2);
    layout->addWidget(splitter, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    btnMerge = buttons->addButton(QStringLiteral("&Merge"), QDialogButtonBox::ActionRole);
    btnMerge->setObjectName(QStringLiteral("btnMerge"));
    btnNotSame = buttons->addButton(QStringLiteral("&Not the Same Person"), QDialogButtonBox::ActionRole);
    btnNotSame->setObjectName(QStringLiteral("btnNotSame"));
    connect(btnMerge, &QPushButton::clicked, this, &DuplicatesBox::mergeShown);
    connect(btnNotSame, &QPushButton::clicked, this, &DuplicatesBox::notTheSamePerson);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(groups, &QListWidget::currentRowChanged, this, &DuplicatesBox::showGroup);
    // A reader entering the list hears the group chosen, not only how many there are.
    connect(groups, &QListWidget::currentRowChanged, this, [this](int row) {
        groups->setAccessibleDescription(row < 0 ? QString()
                                                 : QStringLiteral("Group %1 of %2: %3")
                                                       .arg(row + 1)
                                                       .arg(groups->count())
                                                       .arg(groups->item(row)->text()));
    });
    layout->addWidget(buttons);
    resize(900, 520);
    reload();
}

void DuplicatesBox::reload()
{
    platform::guard([this] {
        const WaitCursor busy;
        m_groups = dup::findGroups(m_db);
        const QSignalBlocker quiet(groups);
        groups->clear();
        for (const dup::Group& g : m_groups) {
            QStringList names;
            for (const auto& [surname, firstname] : dup::namesOf(m_db, g.ids.mid(0, kNamed))) {
                QStringList parts{surname, firstname};
                parts.removeAll(QString());
                names << parts.join(QStringLiteral(", "));
            }
            QString label = names.join(QStringLiteral(" / "));
            if (g.ids.size() > kNamed)
                label += QStringLiteral(" and %1 more").arg(g.ids.size() - kNamed);
            QStringList reasons = g.reasons;
            reasons.removeDuplicates();
            groups->addItem(label + QStringLiteral(" — ") + reasons.join(QStringLiteral(", ")));
        }
    });
    groups->setCurrentRow(m_groups.isEmpty() ? -1 : 0);
    showGroup(groups->currentRow());
}

void DuplicatesBox::showGroup(int index)
{
    fields->clear();
    m_shown.clear();
    const bool any = index >= 0 && index < m_groups.size();
    btnMerge->setEnabled(any);
    btnNotSame->setEnabled(any);
    if (!any) {
        fields->setRowCount(0);
        fields->setColumnCount(0);
        return;
    }
    m_shown = m_groups[index].ids.mid(0, kSideBySide);
    QList<QMap<QString, QString>> values;
    platform::guard([&] {
        for (const qint64 id : m_shown)
            values << dup::contactValues(m_db, id);
    });
    if (values.size() != m_shown.size())
        return;
    QStringList rows = choosableFields();
    rows << QStringLiteral("Notes");
    fields->setRowCount(int(rows.size()));
    fields->setColumnCount(int(m_shown.size()) + 1);
    QStringList headers;
    for (int c = 0; c < m_shown.size(); ++c)
        headers << (c == 0 ? QStringLiteral("Kept") : QStringLiteral("Merged away"));
    headers << QStringLiteral("Keep");
    fields->setHorizontalHeaderLabels(headers);
    fields->setVerticalHeaderLabels(rows);
    for (int r = 0; r < rows.size(); ++r) {
        QStringList distinct;
        for (int c = 0; c < values.size(); ++c) {
            const QString v = values[c].value(rows[r]);
            fields->setItem(r, c, new QTableWidgetItem(v));
            if (!v.isEmpty() && !distinct.contains(v))
                distinct << v;
        }
        if (rows[r] == QLatin1String("Notes")) {
            fields->setItem(r, int(values.size()), new QTableWidgetItem(QStringLiteral("(all kept)")));
        } else if (distinct.size() > 1) {
            // The kept contact's value by default, the first other one where it has none.
            auto* box = new QComboBox(fields);
            box->setObjectName(QStringLiteral("keep_") + rows[r]);
            const QString keep = QStringLiteral("Value of %1 to keep").arg(rows[r]);
            box->setAccessibleName(keep);
            box->setAccessibleDescription(keep);
            box->addItems(distinct);
            fields->setCellWidget(r, int(values.size()), box);
            platform::labelForReader(box, keep);
        } else {
            fields->setItem(r, int(values.size()), new QTableWidgetItem(distinct.value(0)));
        }
    }
    fields->resizeColumnsToContents();
}

QComboBox* DuplicatesBox::choice(const QString& field) const
{
    return findChild<QComboBox*>(QStringLiteral("keep_") + field);
}

void DuplicatesBox::mergeShown()
{
    if (m_shown.size() < 2)
        return;
    QMap<QString, QString> chosen;
    const QStringList rows = choosableFields();
    for (int r = 0; r < rows.size(); ++r) {
        if (auto* box = qobject_cast<QComboBox*>(fields->cellWidget(r, int(m_shown.size()))))
            chosen.insert(rows[r], box->currentText());
        else if (QTableWidgetItem* item = fields->item(r, int(m_shown.size())))
            chosen.insert(rows[r], item->text());
    }
    const bool merged = platform::guard([&] {
        const dup::MergeUndo undo = dup::merge(m_db, m_shown.first(), m_shown.mid(1), chosen);
        if (m_merged)
            m_merged(undo);
    });
    if (merged)
        reload();
}

void DuplicatesBox::notTheSamePerson()
{
    if (m_shown.size() < 2)
        return;
    const bool done = platform::guard([this] {
        for (int a = 0; a < m_shown.size(); ++a)
            for (int b = a + 1; b < m_shown.size(); ++b)
                dup::rememberNotSame(m_db, m_shown[a], m_shown[b]);
    });
    if (done)
        reload();
}

} // namespace mainwindow

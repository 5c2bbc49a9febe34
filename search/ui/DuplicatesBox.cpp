// The window finding and merging duplicate contacts.
#include "search/ui/DuplicatesBox.h"

#include "data/ContactStore.h"
#include "platform/ui/Accessibility.h"
#include "platform/Services.h"
#include "platform/ui/ErrorBox.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
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
    // The group chosen, one contact a line with how it matches the first: readable in full whatever the width.
    auto* membersLabel = new QLabel(QStringLiteral("C&ontacts in the group (where there are more than two, only the "
                                                   "ticked ones are merged into the first):"),
                                    left);
    membersLabel->setWordWrap(true);
    members = new QListWidget(left);
    members->setObjectName(QStringLiteral("members"));
    members->setAccessibleName(QStringLiteral("Contacts in the group"));
    members->setWordWrap(true);
    membersLabel->setBuddy(members);
    leftLayout->addWidget(membersLabel);
    leftLayout->addWidget(members);
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
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 3);
    layout->addWidget(splitter, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    btnMerge = buttons->addButton(QStringLiteral("&Merge"), QDialogButtonBox::ActionRole);
    btnMerge->setObjectName(QStringLiteral("btnMerge"));
    btnNotSame = buttons->addButton(QStringLiteral("&Not the Same Person"), QDialogButtonBox::ActionRole);
    btnNotSame->setObjectName(QStringLiteral("btnNotSame"));
    btnUndo = buttons->addButton(QStringLiteral("&Undo Merge"), QDialogButtonBox::ActionRole);
    btnUndo->setObjectName(QStringLiteral("btnUndo"));
    btnUndo->setToolTip(QStringLiteral("Takes back the last merge made here (Ctrl+Z)"));
    btnUndo->setEnabled(false);
    connect(btnUndo, &QPushButton::clicked, this, &DuplicatesBox::undoLastMerge);
    connect(new QShortcut(QKeySequence::Undo, this), &QShortcut::activated, this, &DuplicatesBox::undoLastMerge);
    connect(members, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        const int row = members->row(item);
        if (row > 0 && row < m_included.size() && m_included[row] != (item->checkState() == Qt::Checked)) {
            m_included[row] = item->checkState() == Qt::Checked;
            showGroup(groups->currentRow());
        }
    });
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

void DuplicatesBox::reload(qint64 from)
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
            auto* item = new QListWidgetItem(label + QStringLiteral(" — ") + reasons.join(QStringLiteral(", ")), groups);
            item->setToolTip(item->text());
        }
    });
    // The first group from that key on, else the last one.
    int row = 0;
    while (row < m_groups.size() && m_groups[row].ids.first() < from)
        ++row;
    groups->setCurrentRow(m_groups.isEmpty() ? -1 : std::min(row, int(m_groups.size()) - 1));
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
        members->clear();
        m_listed.clear();
        return;
    }
    const dup::Group& group = m_groups[index];
    m_shown = group.ids.mid(0, kSideBySide);
    if (m_shown != m_listed)
        listMembers(group);
    btnMerge->setEnabled(m_included.count(true) > 1);
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
        headers << (c == 0             ? QStringLiteral("Kept")
                    : m_included[c] ? QStringLiteral("Merged away")
                                    : QStringLiteral("Not merged"));
    headers << QStringLiteral("Keep");
    fields->setHorizontalHeaderLabels(headers);
    fields->setVerticalHeaderLabels(rows);
    for (int r = 0; r < rows.size(); ++r) {
        QStringList distinct;
        for (int c = 0; c < values.size(); ++c) {
            const QString v = values[c].value(rows[r]);
            fields->setItem(r, c, new QTableWidgetItem(v));
            if (!v.isEmpty() && !distinct.contains(v) && m_included[c])
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

void DuplicatesBox::listMembers(const dup::Group& group)
{
    // Of more than two, the ones ticked are merged: at first those that match the first contact by name as well as
    // by a number or address. A tick changed by hand stays while the same contacts are shown.
    const QSignalBlocker quiet(members);
    members->clear();
    m_listed = m_shown;
    m_included.clear();
    const bool ticks = m_shown.size() > 2;
    QList<QPair<QString, QString>> names;
    platform::guard([&] { names = dup::namesOf(m_db, m_shown); });
    for (int c = 0; c < m_shown.size(); ++c) {
        m_included << (c == 0 || !ticks || group.sure.value(c));
        QStringList parts{names.value(c).first, names.value(c).second};
        parts.removeAll(QString());
        const QString why = c == 0 ? QStringLiteral("kept") : group.reasons.value(c);
        auto* item = new QListWidgetItem(parts.join(QStringLiteral(", ")) + QStringLiteral(" — ") + why, members);
        if (ticks && c > 0) {
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(m_included[c] ? Qt::Checked : Qt::Unchecked);
        }
    }
}

QComboBox* DuplicatesBox::choice(const QString& field) const
{
    // By its cell: the boxes of a group shown before may not be deleted yet.
    const auto row = choosableFields().indexOf(field);
    return row < 0 ? nullptr : qobject_cast<QComboBox*>(fields->cellWidget(int(row), int(m_shown.size())));
}

void DuplicatesBox::mergeShown()
{
    QList<qint64> others;
    QStringList names;
    for (int c = 1; c < m_shown.size(); ++c)
        if (m_included.value(c)) {
            others << m_shown[c];
            names << members->item(c)->text().section(QStringLiteral(" — "), 0, 0);
        }
    if (others.isEmpty())
        return;
    if (m_shown.size() > 2) {
        // Several at once is where strangers get merged: say who, before anything is done.
        const qsizetype listed = std::min<qsizetype>(names.size(), 12);
        QString text = QStringLiteral("Merge %1 into %2?\n\n%3")
                           .arg(others.size() == 1 ? QStringLiteral("this contact")
                                                   : QStringLiteral("these %1 contacts").arg(others.size()),
                                members->item(0)->text().section(QStringLiteral(" — "), 0, 0),
                                names.mid(0, listed).join(QLatin1Char('\n')));
        if (names.size() > listed)
            text += QStringLiteral("\nand %1 more").arg(names.size() - listed);
        text += QStringLiteral("\n\nTheir values that differ go into its Notes. Undo Merge (Ctrl+Z) takes it back.");
        if (platform::prompts().message(this, QStringLiteral("Merge Contacts"), text, platform::Icon::Question,
                                        platform::Buttons::YesNo) != platform::Answer::Yes)
            return;
    }
    QMap<QString, QString> chosen;
    const QStringList rows = choosableFields();
    for (int r = 0; r < rows.size(); ++r) {
        if (auto* box = qobject_cast<QComboBox*>(fields->cellWidget(r, int(m_shown.size()))))
            chosen.insert(rows[r], box->currentText());
        else if (QTableWidgetItem* item = fields->item(r, int(m_shown.size())))
            chosen.insert(rows[r], item->text());
    }
    const qint64 kept = m_shown.first();
    const bool merged = platform::guard([&] {
        m_undo << dup::merge(m_db, kept, others, chosen);
        btnUndo->setEnabled(true);
        if (m_merged)
            m_merged(m_undo.last());
    });
    if (!merged)
        return;
    // On to the next group, with the focus on the list rather than on Merge, which a second press would repeat.
    reload(kept + 1);
    groups->setFocus();
}

void DuplicatesBox::undoLastMerge()
{
    if (m_undo.isEmpty())
        return;
    const dup::MergeUndo last = m_undo.constLast();
    if (!platform::guard([&] { dup::undoMerge(m_db, last); }))
        return;
    m_undo.removeLast();
    btnUndo->setEnabled(!m_undo.isEmpty());
    emit mergeUndone(last.keptId);
    reload(last.keptId);
    groups->setFocus();
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

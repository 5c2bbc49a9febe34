// The window listing recently deleted contacts.
#include "mainwindow/RecentlyDeletedBox.h"

#include "data/RecentlyDeleted.h"
#include "platform/ui/ErrorBox.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace mainwindow {

RecentlyDeletedBox::RecentlyDeletedBox(sqlite3* db, std::function<void(qint64)> restored, QWidget* parent)
    : QDialog(parent), m_db(db), m_restored(std::move(restored))
{
    setObjectName(QStringLiteral("RecentlyDeletedBox"));
    setWindowTitle(QStringLiteral("Recently Deleted"));
    auto* layout = new QVBoxLayout(this);
    auto* caption = new QLabel(
        QStringLiteral("Contacts deleted in the last %1 days, newest first:").arg(data::deleted::KeepDays), this);
    layout->addWidget(caption);
    list = new QTableWidget(0, 5, this);
    list->setObjectName(QStringLiteral("list"));
    list->setAccessibleName(QStringLiteral("Recently deleted contacts"));
    caption->setBuddy(list);
    list->setHorizontalHeaderLabels(
        {QStringLiteral("Deleted"), QStringLiteral("Surname"), QStringLiteral("Firstname"), QStringLiteral("Town"),
         QStringLiteral("Tel")});
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setTabKeyNavigation(false); // arrows move between rows, Tab goes on to the buttons
    list->horizontalHeader()->setStretchLastSection(true);
    list->verticalHeader()->hide();
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    btnRestore = buttons->addButton(QStringLiteral("&Restore"), QDialogButtonBox::ActionRole);
    btnRestore->setObjectName(QStringLiteral("btnRestore"));
    connect(btnRestore, &QPushButton::clicked, this, &RecentlyDeletedBox::restoreSelected);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list, &QTableWidget::cellDoubleClicked, this, &RecentlyDeletedBox::restoreSelected);
    layout->addWidget(buttons);
    resize(620, 360);
    reload();
}

void RecentlyDeletedBox::reload()
{
    const QList<data::deleted::Entry> entries = data::deleted::list(m_db);
    list->setRowCount(int(entries.size()));
    for (int r = 0; r < entries.size(); ++r) {
        const auto& e = entries[r];
        const QStringList cells{QLocale().toString(e.deletedAt.toLocalTime(), QLocale::ShortFormat),
                                e.values.value(QStringLiteral("Surname")), e.values.value(QStringLiteral("Firstname")),
                                e.values.value(QStringLiteral("Town")), e.values.value(QStringLiteral("Tel"))};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setData(Qt::UserRole, e.id);
            list->setItem(r, c, item);
        }
    }
    if (!entries.isEmpty())
        list->selectRow(0);
    btnRestore->setEnabled(!entries.isEmpty());
}

void RecentlyDeletedBox::restoreSelected()
{
    QList<qint64> ids;
    for (const QModelIndex& index : list->selectionModel()->selectedRows())
        ids << index.data(Qt::UserRole).toLongLong();
    platform::guard([&] {
        for (const qint64 id : ids) {
            const qint64 key = data::deleted::restore(m_db, id);
            if (m_restored)
                m_restored(key);
        }
    });
    reload();
}

} // namespace mainwindow

#include "records/CountyListEditor.h"

#include "platform/ui/Accessibility.h"
#include "platform/ui/ErrorBox.h"
#include "platform/ListFile.h"
#include "platform/ProgramFolder.h"

#include <QCollator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>

TfmCountyListEdit::TfmCountyListEdit(PickList pickList, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                          Qt::WindowCloseButtonHint),
      m_pickList(std::move(pickList))
{
    setObjectName(QStringLiteral("fmCountyListEdit"));
    setWindowTitle(QStringLiteral("Edit County Pick List"));
    setModal(true);
    resize(295, 328);
    move(341, 172);

    // Fixed places: the controls stay where they are when the window is resized.
    lbCountyList = new QListWidget(this);
    lbCountyList->setObjectName(QStringLiteral("lbCountyList"));
    lbCountyList->setSelectionMode(QAbstractItemView::SingleSelection);
    lbCountyList->setGeometry(8, 8, 161, 233);
    lbCountyList->setAccessibleName(QStringLiteral("Counties"));

    lbHelp = new QLabel(QStringLiteral("Select here if amending or deleting a county name."), this);
    lbHelp->setWordWrap(true);
    lbHelp->setGeometry(180, 8, 105, 56);

    btDeleteItem =
        new QPushButton(style()->standardIcon(QStyle::SP_DialogDiscardButton), QStringLiteral("&Delete Item"), this);
    btDeleteItem->setObjectName(QStringLiteral("btDeleteItem"));
    btDeleteItem->setGeometry(180, 72, 105, 27);

    btOKEdit = new QPushButton(QStringLiteral("&OK"), this);
    btOKEdit->setObjectName(QStringLiteral("btOKEdit"));
    btOKEdit->setGeometry(180, 214, 105, 27);
    btOKEdit->setDefault(true);

    lbNew = new QLabel(QStringLiteral("Enter &new County here"), this);
    lbNew->setGeometry(8, 248, 161, 17);

    edCountyList = new QLineEdit(this);
    edCountyList->setObjectName(QStringLiteral("edCountyList"));
    edCountyList->setGeometry(8, 268, 161, 23);
    edCountyList->setToolTip(QStringLiteral("Enter new county name"));
    edCountyList->setStatusTip(QStringLiteral("Enter new county name"));
    lbNew->setBuddy(edCountyList);

    btAddEdit = new QPushButton(style()->standardIcon(QStyle::SP_ArrowUp), QStringLiteral("&Add to List"), this);
    btAddEdit->setObjectName(QStringLiteral("btAddEdit"));
    btAddEdit->setGeometry(180, 266, 105, 27);
    btAddEdit->setStatusTip(QStringLiteral("Adds new name to list above")); // the status bar only, no tooltip

    BitBtn1 = new QPushButton(QStringLiteral("&Close"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(180, 297, 105, 27);

    setTabOrder(lbCountyList, btDeleteItem);
    setTabOrder(btDeleteItem, btOKEdit);
    setTabOrder(btOKEdit, edCountyList);
    setTabOrder(edCountyList, btAddEdit);
    setTabOrder(btAddEdit, BitBtn1);

    connect(btAddEdit, &QPushButton::clicked, this, &TfmCountyListEdit::btAddEditClick);
    connect(btDeleteItem, &QPushButton::clicked, this, &TfmCountyListEdit::btDeleteItemClick);
    connect(btOKEdit, &QPushButton::clicked, this, &TfmCountyListEdit::btOKEditClick);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
}

void TfmCountyListEdit::addSorted(const QString& entry)
{
    // Alphabetical without regard to case; an entry equal to others goes after them.
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    int at = lbCountyList->count();
    for (int i = 0; i < lbCountyList->count(); ++i) {
        if (collator.compare(lbCountyList->item(i)->text(), entry) > 0) {
            at = i;
            break;
        }
    }
    lbCountyList->insertItem(at, entry);
}

void TfmCountyListEdit::fill(const QStringList& list)
{
    lbCountyList->clear();
    for (const QString& entry : list)
        addSorted(entry);
}

QStringList TfmCountyListEdit::entries() const
{
    QStringList out;
    out.reserve(lbCountyList->count());
    for (int i = 0; i < lbCountyList->count(); ++i)
        out << lbCountyList->item(i)->text();
    return out;
}

void TfmCountyListEdit::btAddEditClick()
{
    // Exactly what was typed: an empty box adds an empty entry, a name already there is added again.
    addSorted(edCountyList->text());
}

void TfmCountyListEdit::btDeleteItemClick()
{
    for (int i = lbCountyList->count() - 1; i >= 0; --i)
        if (lbCountyList->item(i)->isSelected())
            delete lbCountyList->takeItem(i);
}

void TfmCountyListEdit::btOKEditClick()
{
    const QStringList list = entries();
    if (m_pickList.replace)
        m_pickList.replace(list);
    // A list that cannot be written is still in use for the rest of the run; the editor closes all the same.
    platform::guard([&] { writeListFile(platform::programFile(QStringLiteral("ListFile.txt")), list); });
    accept();
}

void TfmCountyListEdit::editPickList()
{
    fill(m_pickList.read ? m_pickList.read() : QStringList());
    exec();
}

void TfmCountyListEdit::keyPressEvent(QKeyEvent* event)
{
    // Enter after typing a county adds it, as "Add to List" does (not "OK", which would drop what was typed); the
    // box is emptied for the next name. Escape is "Close", as in any dialog.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && focusWidget() == edCountyList) {
        if (!edCountyList->text().trimmed().isEmpty())
            btAddEditClick();
        edCountyList->clear();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfmCountyListEdit::showEvent(QShowEvent* event)
{
    platform::keepOnScreen(*this);
    QDialog::showEvent(event);
}

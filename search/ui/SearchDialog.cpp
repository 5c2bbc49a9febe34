#include "search/ui/SearchDialog.h"

#include "data/ContactStore.h"
#include "data/Dataset.h"
#include "platform/ui/ErrorBox.h"
#include "platform/Services.h"
#include "search/ui/SearchHelp.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <limits>

namespace {

// The hint shows as the tooltip and in the main window's status bar.
void setHint(QWidget* widget, const QString& hint)
{
    widget->setStatusTip(hint);
    widget->setToolTip(hint);
}

} // namespace

TfmSQLSearchDialog::TfmSQLSearchDialog(data::Dataset& query, QWidget* parent) : QDialog(parent), m_query(query)
{
    setObjectName(QStringLiteral("fmSQLSearchDialog"));
    setWindowTitle(QStringLiteral("Tovrel SQL Search"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(333, 315);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Sunken);
    auto* left = new QVBoxLayout(frame);
    auto* listLabel = new QLabel(QStringLiteral("Select field to search in :"), frame);
    sqListBox = new QListWidget(frame);
    sqListBox->setObjectName(QStringLiteral("sqListBox"));
    // One field at a time: a click chooses it, whatever was chosen before.
    sqListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    listLabel->setBuddy(sqListBox);
    sqListBox->setAccessibleName(QStringLiteral("Field to search in")); // a list takes no name from its label
    auto* wordLabel = new QLabel(QStringLiteral("Enter Word or part-word :"), frame);
    sqEditBox = new QLineEdit(frame);
    sqEditBox->setObjectName(QStringLiteral("sqEditBox"));
    sqEditBox->setMaxLength(std::numeric_limits<int>::max());
    wordLabel->setBuddy(sqEditBox);
    left->addWidget(listLabel);
    left->addWidget(sqListBox, 1);
    left->addWidget(wordLabel);
    left->addWidget(sqEditBox);
    layout->addWidget(frame, 1);

    auto* right = new QVBoxLayout;
    cboxNot = new QCheckBox(QStringLiteral("NOT Search"), this);
    cboxNot->setObjectName(QStringLiteral("cboxNot"));
    setHint(cboxNot, QStringLiteral("Check to EXCLUDE a word from filtered table"));
    auto button = [this](const char* name, const QString& caption, const QString& hint) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        if (!hint.isEmpty())
            setHint(b, hint);
        return b;
    };
    sqRetryBtn = button("sqRetryBtn", QStringLiteral("&Reset"), QStringLiteral("Shows all names"));
    sqOKBtn = button("sqOKBtn", QStringLiteral("O&K"), QStringLiteral("Starts search"));
    sqOKBtn->setDefault(true);
    sqCancelBtn = button("sqCancelBtn", QStringLiteral("&Cancel"), QStringLiteral("Cancels entry & closes this box"));
    sqHelpBtn = button("sqHelpBtn", QStringLiteral("&Help"), {});
    right->addWidget(cboxNot);
    for (QPushButton* b : {sqRetryBtn, sqOKBtn, sqCancelBtn, sqHelpBtn})
        right->addWidget(b);
    right->addStretch(1);
    layout->addLayout(right);

    // Tab follows the layout: down the left, then down the right.
    setTabOrder(sqListBox, sqEditBox);
    setTabOrder(sqEditBox, cboxNot);
    setTabOrder(cboxNot, sqRetryBtn);
    setTabOrder(sqRetryBtn, sqOKBtn);
    setTabOrder(sqOKBtn, sqCancelBtn);
    setTabOrder(sqCancelBtn, sqHelpBtn);

    connect(sqListBox, &QListWidget::itemSelectionChanged, this, &TfmSQLSearchDialog::sqListBoxClick);
    connect(sqOKBtn, &QPushButton::clicked, this, &TfmSQLSearchDialog::sqOKBtnClick);
    connect(sqRetryBtn, &QPushButton::clicked, this, &TfmSQLSearchDialog::sqRetryBtnClick);
    connect(sqCancelBtn, &QPushButton::clicked, this, &TfmSQLSearchDialog::sqCancelBtnClick);
    connect(sqHelpBtn, &QPushButton::clicked, this, &TfmSQLSearchDialog::sqHelpBtnClick);

    // The query's own field order; the calculated initial is no column of the table and cannot be searched.
    for (const data::FieldDef& field : m_query.fields())
        if (field.isStored())
            sqListBox->addItem(field.name);
}

TfmSQLSearchDialog::~TfmSQLSearchDialog() = default;

TfmSearchHelp* TfmSQLSearchDialog::helpWindow() const
{
    return m_help;
}

void TfmSQLSearchDialog::FormCreate()
{
    m_query.open();
}

void TfmSQLSearchDialog::showEvent(QShowEvent* event)
{
    if (!m_placed) {
        // Centred on the screen the first time; afterwards it comes back where it was.
        m_placed = true;
        if (const QScreen* s = screen())
            move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    }
    QDialog::showEvent(event);
}

// The marked entry is the field; the list shows no other choice than the one searched.
void TfmSQLSearchDialog::sqListBoxClick()
{
    const QList<QListWidgetItem*> marked = sqListBox->selectedItems();
    m_chosenField = marked.isEmpty() ? QString() : marked.first()->text();
}

void TfmSQLSearchDialog::reopen(const QStringList& sql)
{
    platform::guard([&] {
        m_query.settle(); // a change that cannot be saved keeps the selection as it is
        m_query.close();
        m_query.setSql(sql);
        m_query.open();
    });
}

void TfmSQLSearchDialog::sqOKBtnClick()
{
    // Searching a field the user did not choose would show a selection that answers another question.
    if (m_chosenField.isEmpty()) {
        platform::prompts().message(this, QStringLiteral("Information"), QStringLiteral("Please select a field first"),
                                    platform::Icon::Information, platform::Buttons::Ok);
        sqListBox->setFocus();
        return;
    }
    reopen(search::searchStatement(m_chosenField, sqEditBox->text(), cboxNot->isChecked()));
    accept();
}

void TfmSQLSearchDialog::sqRetryBtnClick()
{
    reopen(search::resetStatement());
    accept();
}

void TfmSQLSearchDialog::sqCancelBtnClick()
{
    reject();
}

void TfmSQLSearchDialog::sqHelpBtnClick()
{
    // A window of the dialog's own, so the modal dialog does not block it; it stays open after the dialog closes.
    if (!m_help)
        m_help = new TfmSearchHelp(this);
    if (!m_help->isVisible()) {
        // Beside the dialog, kept on the screen.
        QPoint at = frameGeometry().topRight() + QPoint(8, 0);
        if (const QScreen* s = screen()) {
            const QRect area = s->availableGeometry();
            at.setX(std::max(area.left(), std::min(at.x(), area.right() - m_help->width())));
            at.setY(std::max(area.top(), std::min(at.y(), area.bottom() - m_help->height())));
        }
        m_help->move(at);
    }
    m_help->show();
    m_help->raise();
}

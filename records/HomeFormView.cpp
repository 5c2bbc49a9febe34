#include "records/HomeFormView.h"

#include "data/widgets/DBEdit.h"
#include "data/widgets/DBMemo.h"
#include "platform/ui/Accessibility.h"
#include "platform/ui/ErrorBox.h"
#include "platform/ui/ScreenPlace.h"
#include "records/WindowPlace.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <algorithm>

namespace {

const QColor PaleGreen(192, 220, 192);

constexpr int NameBandHeight = 46;
constexpr int ButtonBandHeight = 39;
constexpr int BoxHeight = 21;
constexpr int RowPitch = 26;
constexpr int PageLabelWidth = 62;

QFont formFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setPointSize(8);
    return font;
}

// Boxes are as wide as their field needs, within the page.
int boxWidth(const data::FieldDef* field)
{
    if (!field || field->size <= 0)
        return 90;
    return std::clamp(field->size * 7 + 10, 60, 235);
}

} // namespace

TfmHomeForm::TfmHomeForm(data::Dataset& query, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      dsFormView(&query)
{
    setObjectName(QStringLiteral("fmHomeForm"));
    setWindowTitle(QStringLiteral("Tovrel: Form View"));
    setFont(formFont());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, PaleGreen);
    setPalette(pal);
    setAutoFillBackground(true);
    setFixedFrame(true);

    // Name band: each label above its box.
    struct NameBox
    {
        const char* field;
        int x;
        int width;
    };
    QList<data::DBEdit*> nameBoxes;
    for (const NameBox& n : {NameBox{"Firstname", 8, 100}, NameBox{"Midname", 114, 95}, NameBox{"Surname", 215, 106}}) {
        const QString field = QString::fromLatin1(n.field);
        auto* label = new QLabel(field, this);
        label->setGeometry(n.x, 4, n.width, 14);
        auto* edit = new data::DBEdit(this);
        edit->setObjectName(QStringLiteral("edit") + field);
        edit->setGeometry(n.x, 19, n.width, BoxHeight);
        edit->setDataSource(&dsFormView);
        edit->setDataField(field);
        label->setBuddy(edit); // names the box for a screen reader
        m_boxes.insert(field, edit);
        nameBoxes << edit;
    }
    m_boxes.value(QStringLiteral("Surname"))->setToolTip(QStringLiteral("You must complete this field"));

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setAccessibleName(QStringLiteral("Pages"));
    PageControl1->setGeometry(4, NameBandHeight, ClientWidth - 8, ClientHeight - NameBandHeight - ButtonBandHeight);
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    PageControl1->addTab(TabSheet1, QStringLiteral("Name Address Phones"));
    PageControl1->addTab(TabSheet2, QStringLiteral("More Info"));

    struct Row
    {
        const char* label;
        const char* field;
    };
    int y = 8;
    for (const Row& row : {Row{"Address1", "Address1"}, Row{"Address2", "Address2"}, Row{"Village", "A3_Village"},
                           Row{"Town", "Town"}, Row{"County", "County"}, Row{"PostCode", "PostCode"},
                           Row{"Country", "Country"}, Row{"Tel", "Tel"}, Row{"Cell", "Cell"}, Row{"Email", "Email"}}) {
        addBox(TabSheet1, QString::fromLatin1(row.label), QString::fromLatin1(row.field), 6, y, PageLabelWidth);
        y += RowPitch;
    }

    auto* notesLabel = new QLabel(QStringLiteral("Notes"), TabSheet2);
    notesLabel->setGeometry(6, 8, PageLabelWidth, BoxHeight);
    notesBox = new data::DBMemo(TabSheet2);
    notesBox->setObjectName(QStringLiteral("memoNotes"));
    notesBox->setGeometry(6 + PageLabelWidth, 8, 228, 104);
    notesBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    notesBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    notesBox->setDataSource(&dsFormView);
    notesBox->setDataField(QStringLiteral("Notes"));
    notesBox->setTabChangesFocus(true);
    notesLabel->setBuddy(notesBox);
    m_focusOrder << notesBox;
    y = 8 + 104 + 8;
    for (const Row& row : {Row{"Birthday", "Birthday"}, Row{" Workplace", "Workplace"}, Row{" Work Tel", "Work Tel"}}) {
        addBox(TabSheet2, QString::fromLatin1(row.label), QString::fromLatin1(row.field), 6, y, PageLabelWidth);
        y += RowPitch;
    }
    // "Flag 2" shares the line of "Flags 1".
    addBox(TabSheet2, QStringLiteral("Flags 1"), QStringLiteral("Flag"), 6, y, PageLabelWidth)
        ->setToolTip(QStringLiteral("Use to select records for lists etc."));
    addBox(TabSheet2, QStringLiteral("Flag 2"), QStringLiteral("Flag2"), 150, y, 44);

    const int bandTop = ClientHeight - ButtonBandHeight;
    using Nav = data::DBNavigator;
    DBNavigator1 = new Nav(&dsFormView,
                           {Nav::First, Nav::Prior, Nav::Next, Nav::Last, Nav::Insert, Nav::Delete, Nav::Edit,
                            Nav::Post, Nav::Cancel},
                           this);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setGeometry(6, bandTop + 7, 225, 25);
    DBNavigator1->setTabStops(true);
    BitBtn1 = new QPushButton(QStringLiteral("&Close"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(ClientWidth - 6 - 80, bandTop + 6, 80, 27);
    connect(BitBtn1, &QPushButton::clicked, this, &QWidget::close);
    platform::closeOnEscape(this);

    for (data::DBNavigator::Button b : DBNavigator1->visibleButtons())
        m_focusOrder << DBNavigator1->button(b);
    m_focusOrder << BitBtn1;
    // Tab follows the window from the top: the name band, the pages, then the buttons.
    for (qsizetype i = 0; i < nameBoxes.size(); ++i)
        m_focusOrder.insert(i, nameBoxes[i]);
    for (qsizetype i = 1; i < m_focusOrder.size(); ++i)
        setTabOrder(m_focusOrder[i - 1], m_focusOrder[i]);
    m_focusOrder.first()->setFocus(); // the first box in the focus order starts with the focus

    // Every hint also reaches the main window's status bar; only the boxes given one, and the navigator, show it as
    // a tooltip. The village label's hint is seen only in the status bar.
    for (QWidget* w :
         {static_cast<QWidget*>(box(QStringLiteral("Surname"))), static_cast<QWidget*>(box(QStringLiteral("Flag")))})
        w->setStatusTip(w->toolTip());
    villageLabel->setStatusTip(QStringLiteral("Suburb, ward, extra address line"));
}

TfmHomeForm::~TfmHomeForm() = default;

data::DBEdit* TfmHomeForm::addBox(QWidget* page, const QString& label, const QString& field, int x, int y,
                                  int labelWidth)
{
    auto* caption = new QLabel(label, page);
    caption->setGeometry(x, y, labelWidth, BoxHeight);
    if (field == QLatin1String("A3_Village"))
        villageLabel = caption;
    auto* edit = new data::DBEdit(page);
    edit->setObjectName(QStringLiteral("edit") + QString(field).remove(QLatin1Char(' ')));
    edit->setDataSource(&dsFormView);
    edit->setDataField(field);
    caption->setBuddy(edit);
    const data::FieldDef* def = nullptr;
    if (const data::Dataset* d = dsFormView.dataset(); d && d->fieldIndex(field) >= 0)
        def = &d->fields()[d->fieldIndex(field)];
    edit->setGeometry(x + labelWidth, y, boxWidth(def), BoxHeight);
    m_boxes.insert(field, edit);
    m_focusOrder << edit;
    return edit;
}

void TfmHomeForm::setFixedFrame(bool fixed)
{
    if (fixed) {
        setFixedSize(ClientWidth, ClientHeight);
    } else {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
}

void TfmHomeForm::setVisible(bool visible)
{
    // Coming back from minimised is not being shown; the place is applied before the window manager frames it.
    if (visible && !isVisible())
        FormShow();
    QWidget::setVisible(visible);
}

void TfmHomeForm::FormShow()
{
    platform::guard([this] {
        m_settings.emplace(records::settingsFileName());
        const QString section = QStringLiteral("FormView");
        const int status = m_settings->readInteger(section, QStringLiteral("Status"), 0);
        if (status == 0)
            return;
        // The frame's corner and the client size, as written on closing. Before the first showing the current place
        // is wherever the system will put the window: it is kept unless the file says otherwise.
        const platform::ScreenPlace current = platform::screenPlaceOf(*this);
        const QPoint at = m_place.value_or(current.frame);
        const int top = m_settings->readInteger(section, QStringLiteral("Top"), at.y());
        const int left = m_settings->readInteger(section, QStringLiteral("Left"), at.x());
        const int width = m_settings->readInteger(section, QStringLiteral("Width"), current.client.width());
        const int height = m_settings->readInteger(section, QStringLiteral("Height"), current.client.height());
        if (m_place || QPoint(left, top) != at)
            platform::placeWindow(*this, {QPoint(left, top), QSize(width, height)}); // the fixed frame keeps its size
        // Only a hand-edited file holds 3 here: this window itself writes 1 or 2.
        if (status == 3) {
            setFixedFrame(false);
            setWindowState(windowState() | Qt::WindowMaximized);
        }
    });
}

void TfmHomeForm::closeEvent(QCloseEvent* event)
{
    if (!records::programIsEnding(*this)) {
        // What was typed is saved as a move would save it; a change that cannot be saved keeps the form open.
        data::Dataset* d = dsFormView.dataset();
        if (d && !platform::guard([d] { d->settle(); })) {
            event->ignore();
            return;
        }
        FormClose();
    }
    event->accept();
}

void TfmHomeForm::FormClose()
{
    platform::guard([this] {
        if (!m_settings)
            m_settings.emplace(records::settingsFileName());
        const QString section = QStringLiteral("FormView");
        if (records::isNormalState(*this)) {
            const platform::ScreenPlace place = platform::screenPlaceOf(*this);
            m_place = place.frame;
            m_settings->writeInteger(section, QStringLiteral("Top"), place.frame.y());
            m_settings->writeInteger(section, QStringLiteral("Left"), place.frame.x());
            m_settings->writeInteger(section, QStringLiteral("Width"), place.client.width());
            m_settings->writeInteger(section, QStringLiteral("Height"), place.client.height());
        }
        m_settings->writeInteger(section, QStringLiteral("Status"), records::closingStatus(*this));
    });
    m_settings.reset();
    // The next showing starts from the designed, fixed frame again.
    if (windowState() & Qt::WindowMaximized)
        setWindowState(windowState() & ~Qt::WindowMaximized);
    setFixedFrame(true);
}

void TfmHomeForm::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange)
        return;
    if (isActiveWindow()) {
        // Coming back from a message box raised here (an error, a question) is not coming back to the window.
        if (!std::exchange(m_backFromBox, false))
            FormActivate();
    } else {
        QWidget* modal = QApplication::activeModalWidget();
        m_backFromBox = modal && modal != this && modal->parentWidget() == this;
    }
}

void TfmHomeForm::FormActivate()
{
    PageControl1->setCurrentIndex(0);
}

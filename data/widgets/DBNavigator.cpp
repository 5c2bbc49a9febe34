#include "data/widgets/DBNavigator.h"

#include "platform/ui/ErrorBox.h"
#include "platform/Services.h"

#include <QHBoxLayout>
#include <QMetaEnum>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace data {

namespace {

// Small drawn glyphs, so the buttons look the same on every desktop theme.
QIcon glyph(DBNavigator::Button button)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    auto triangle = [&p](QPointF a, QPointF b, QPointF c) { p.drawPolygon(QPolygonF({a, b, c})); };
    switch (button) {
    case DBNavigator::First:
        p.drawRect(QRectF(3, 3, 2, 10));
        triangle({12, 3}, {12, 13}, {6, 8});
        break;
    case DBNavigator::Prior:
        triangle({11, 3}, {11, 13}, {5, 8});
        break;
    case DBNavigator::Next:
        triangle({5, 3}, {5, 13}, {11, 8});
        break;
    case DBNavigator::Last:
        triangle({4, 3}, {4, 13}, {10, 8});
        p.drawRect(QRectF(11, 3, 2, 10));
        break;
    case DBNavigator::Insert:
        p.drawRect(QRectF(7, 3, 2, 10));
        p.drawRect(QRectF(3, 7, 10, 2));
        break;
    case DBNavigator::Delete:
        p.drawRect(QRectF(3, 7, 10, 2));
        break;
    case DBNavigator::Edit:
        triangle({3, 11}, {13, 11}, {8, 5});
        break;
    case DBNavigator::Post:
        p.setPen(QPen(Qt::black, 2));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(3, 8), QPointF(6.5, 12), QPointF(13, 4)}));
        break;
    case DBNavigator::Cancel:
        p.setPen(QPen(Qt::black, 2));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    case DBNavigator::Refresh: {
        p.setPen(QPen(Qt::black, 1.6));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(3, 3, 10, 10), 90 * 16, 270 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        triangle({8, 1}, {8, 6}, {11.5, 3.5});
        break;
    }
    }
    return QIcon(pixmap);
}

QString shortPart(const QString& hint)
{
    return hint.section(QLatin1Char('|'), 0, 0);
}

} // namespace

QList<DBNavigator::Button> DBNavigator::allButtons()
{
    return {First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh};
}

QString DBNavigator::defaultHint(Button button)
{
    switch (button) {
    case First:
        return QStringLiteral("First record");
    case Prior:
        return QStringLiteral("Prior record");
    case Next:
        return QStringLiteral("Next record");
    case Last:
        return QStringLiteral("Last record");
    case Insert:
        return QStringLiteral("Insert record");
    case Delete:
        return QStringLiteral("Delete record");
    case Edit:
        return QStringLiteral("Edit record");
    case Post:
        return QStringLiteral("Post edit");
    case Cancel:
        return QStringLiteral("Cancel edit");
    case Refresh:
        return QStringLiteral("Refresh data");
    }
    return {};
}

DBNavigator::DBNavigator(DataSource* source, const QList<Button>& buttons, QWidget* parent)
    : QWidget(parent), m_source(source)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (Button b : allButtons()) {
        auto* button = new QToolButton(this);
        button->setObjectName(QString::fromLatin1(QMetaEnum::fromType<Button>().valueToKey(b)));
        button->setIcon(glyph(b));
        // Reached by Tab, but a click leaves the focus where it is, as on the classic navigator.
        button->setFocusPolicy(Qt::TabFocus);
        button->setMinimumSize(25, 25);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        connect(button, &QToolButton::clicked, this, [this, b] { click(b); });
        layout->addWidget(button);
        m_buttons[b] = button;
        setHint(b, defaultHint(b));
    }
    setVisibleButtons(buttons);
    connect(source, &DataSource::datasetChanged, this, [this](Dataset* d) { attach(d); });
    attach(source->dataset());
}

void DBNavigator::setVisibleButtons(const QList<Button>& buttons)
{
    m_visible = buttons;
    for (Button b : allButtons())
        m_buttons[b]->setVisible(buttons.contains(b));
}

QToolButton* DBNavigator::button(Button button) const
{
    return m_visible.contains(button) ? m_buttons[button] : nullptr;
}

void DBNavigator::setHint(Button button, const QString& hint)
{
    m_hints[button] = hint;
    m_buttons[button]->setStatusTip(hint);
    // An icon alone says nothing to a screen reader: the button is named by its hint, shown or not.
    m_buttons[button]->setAccessibleName(shortPart(hint));
    m_buttons[button]->setToolTip(m_showHints ? shortPart(hint) : QString());
}

void DBNavigator::setTabStops(bool on)
{
    for (Button b : allButtons())
        m_buttons[b]->setFocusPolicy(on ? Qt::TabFocus : Qt::NoFocus);
}

QString DBNavigator::hint(Button button) const
{
    return m_hints[button];
}

void DBNavigator::setShowHints(bool show)
{
    m_showHints = show;
    for (Button b : allButtons())
        setHint(b, m_hints[b]);
}

void DBNavigator::attach(Dataset* d)
{
    for (const auto& c : m_connections)
        disconnect(c);
    m_connections.clear();
    if (d) {
        auto update = [this] { updateButtons(); };
        m_connections << connect(d, &Dataset::opened, this, update) << connect(d, &Dataset::closed, this, update)
                      << connect(d, &Dataset::stateChanged, this, update)
                      << connect(d, &Dataset::currentChanged, this, update)
                      << connect(d, &Dataset::rowInserted, this, update)
                      << connect(d, &Dataset::rowRemoved, this, update)
                      << connect(d, &Dataset::reordered, this, update);
    }
    updateButtons();
}

bool DBNavigator::isUsable(Button button) const
{
    const Dataset* d = dataset();
    if (!d || !d->isOpen())
        return false;
    const bool editing = d->state() == Dataset::State::Edit || d->state() == Dataset::State::Insert;
    switch (button) {
    case First:
    case Prior:
        return !d->bof();
    case Next:
    case Last:
        return !d->eof();
    case Insert:
    case Refresh:
        return true;
    case Delete:
        return !d->isEmpty();
    case Edit:
        return !editing;
    case Post:
    case Cancel:
        return editing;
    }
    return false;
}

void DBNavigator::updateButtons()
{
    for (Button b : allButtons())
        m_buttons[b]->setEnabled(isUsable(b));
}

void DBNavigator::click(Button button)
{
    platform::guard([&] { run(button); });
    updateButtons();
    emit clicked(button);
}

void DBNavigator::run(Button button)
{
    Dataset* d = dataset();
    if (!d)
        return;
    switch (button) {
    case First:
        d->first();
        break;
    case Prior:
        d->prior();
        break;
    case Next:
        d->next();
        break;
    case Last:
        d->last();
        break;
    case Insert:
        d->insert();
        break;
    case Delete:
        if (!m_confirmDelete ||
            platform::prompts().message(window(), QStringLiteral("Confirm"), deleteQuestion(d),
                                        platform::Icon::Question, platform::Buttons::OkCancel) == platform::Answer::Ok)
            d->remove();
        break;
    case Edit:
        d->edit();
        break;
    case Post:
        d->post();
        break;
    case Cancel:
        d->cancel();
        break;
    case Refresh: {
        // Fetches the rows again and comes back to the same contact, in the same order.
        if (d->isModified())
            d->post();
        else
            d->cancel();
        const qint64 key = d->rowKey(d->currentRow());
        const QString sort = d->sort();
        d->close();
        d->open();
        if (!sort.isEmpty())
            d->setSort(sort);
        for (int r = 0; r < d->recordCount(); ++r)
            if (d->rowKey(r) == key) {
                d->moveTo(r);
                break;
            }
        break;
    }
    }
}

QString deleteQuestion(const Dataset* dataset)
{
    QStringList name;
    if (dataset && dataset->isOpen() && dataset->currentRow() >= 0) {
        for (const char* field : {"Firstname", "Surname"}) {
            const int index = dataset->fieldIndex(QString::fromLatin1(field));
            if (index >= 0)
                name << dataset->text(dataset->currentRow(), index).simplified();
        }
    }
    const QString who = name.join(QLatin1Char(' ')).trimmed();
    return who.isEmpty() ? QStringLiteral("Delete this contact, which has no name?")
                         : QStringLiteral("Delete %1?").arg(who);
}

} // namespace data

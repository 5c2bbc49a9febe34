#include "records/FormNavigator.h"

#include "platform/ErrorBox.h"
#include "platform/Services.h"

#include <QHBoxLayout>
#include <QMetaEnum>
#include <QPainter>
#include <QToolButton>

namespace {

// Drawn glyphs, so the buttons look the same under every desktop theme.
QIcon glyph(FormNavigator::Button button)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    const auto triangle = [&p](QPointF a, QPointF b, QPointF c) { p.drawPolygon(QPolygonF({a, b, c})); };
    switch (button) {
    case FormNavigator::First:
        p.drawRect(QRectF(3, 3, 2, 10));
        triangle({12, 3}, {12, 13}, {6, 8});
        break;
    case FormNavigator::Prior:
        triangle({11, 3}, {11, 13}, {5, 8});
        break;
    case FormNavigator::Next:
        triangle({5, 3}, {5, 13}, {11, 8});
        break;
    case FormNavigator::Last:
        triangle({4, 3}, {4, 13}, {10, 8});
        p.drawRect(QRectF(11, 3, 2, 10));
        break;
    case FormNavigator::Insert:
        p.drawRect(QRectF(7, 3, 2, 10));
        p.drawRect(QRectF(3, 7, 10, 2));
        break;
    case FormNavigator::Delete:
        p.drawRect(QRectF(3, 7, 10, 2));
        break;
    case FormNavigator::Edit:
        triangle({3, 11}, {13, 11}, {8, 5});
        break;
    case FormNavigator::Post:
        p.setPen(QPen(Qt::black, 2));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(3, 8), QPointF(6.5, 12), QPointF(13, 4)}));
        break;
    case FormNavigator::Cancel:
        p.setPen(QPen(Qt::black, 2));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    }
    return QIcon(pixmap);
}

} // namespace

QString FormNavigator::hint(Button button)
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
    }
    return {};
}

FormNavigator::FormNavigator(data::DataSource* source, QWidget* parent) : QWidget(parent), m_source(source)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < ButtonCount; ++i) {
        const auto b = Button(i);
        auto* button = new QToolButton(this);
        button->setObjectName(QString::fromLatin1(QMetaEnum::fromType<Button>().valueToKey(b)));
        button->setIcon(glyph(b));
        button->setToolTip(hint(b));
        button->setStatusTip(hint(b));
        // A tab stop, but a click leaves the focus in the box being typed in.
        button->setFocusPolicy(Qt::TabFocus);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        connect(button, &QToolButton::clicked, this, [this, b] { click(b); });
        layout->addWidget(button);
        m_buttons[b] = button;
    }
    const auto attach = [this](data::Dataset* d) {
        for (const auto& c : std::as_const(m_connections))
            disconnect(c);
        m_connections.clear();
        if (d) {
            const auto update = [this] { updateButtons(); };
            m_connections << connect(d, &data::Dataset::opened, this, update)
                          << connect(d, &data::Dataset::closed, this, update)
                          << connect(d, &data::Dataset::stateChanged, this, update)
                          << connect(d, &data::Dataset::currentChanged, this, update)
                          << connect(d, &data::Dataset::rowInserted, this, update)
                          << connect(d, &data::Dataset::rowRemoved, this, update)
                          << connect(d, &data::Dataset::reordered, this, update);
        }
        updateButtons();
    };
    connect(source, &data::DataSource::datasetChanged, this, attach);
    attach(source->dataset());
}

bool FormNavigator::isUsable(Button button) const
{
    const data::Dataset* d = dataset();
    if (!d || !d->isOpen())
        return false;
    const bool editing = d->state() == data::Dataset::State::Edit || d->state() == data::Dataset::State::Insert;
    switch (button) {
    case First:
    case Prior:
        return !d->bof();
    case Next:
    case Last:
        return !d->eof();
    case Insert:
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

void FormNavigator::updateButtons()
{
    for (int i = 0; i < ButtonCount; ++i)
        m_buttons[i]->setEnabled(isUsable(Button(i)));
}

void FormNavigator::click(Button button)
{
    platform::guard([&] {
        if (m_beforeAction)
            m_beforeAction(button);
        run(button);
    });
    // A move that finds no further row changes only where the dataset stands, which no signal reports.
    updateButtons();
}

void FormNavigator::run(Button button)
{
    data::Dataset* d = dataset();
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
        if (platform::prompts().message(this, QStringLiteral("Confirm"), QStringLiteral("Delete record?"),
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
    }
}

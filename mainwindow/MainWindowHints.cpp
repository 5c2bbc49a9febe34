#include "mainwindow/MainWindowHints.h"

#include "data/widgets/DBEdit.h"

#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace mainwindow {

namespace {
const char* const WatchedProperty = "tovrelHintWatched";
}

HintRouter::HintRouter(QObject* parent) : QObject(parent)
{
    qApp->installEventFilter(this);
}

HintRouter::~HintRouter()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

QString HintRouter::longHint(const QString& hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.mid(bar + 1);
}

QString HintRouter::shortHint(const QString& hint)
{
    return hint.section(QLatin1Char('|'), 0, 0);
}

QString HintRouter::hintFor(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        QString hint = w->statusTip();
        if (hint.isEmpty())
            hint = w->toolTip();
        if (!hint.isEmpty())
            return hint;
        if (w->isWindow())
            break;
    }
    return {};
}

void HintRouter::setHint(QWidget* widget, const QString& hint, bool tooltip)
{
    widget->setStatusTip(hint);
    widget->setToolTip(tooltip ? shortHint(hint) : QString());
}

void HintRouter::setHintText(const QString& text)
{
    if (text == m_hint)
        return;
    m_hint = text;
    emit hintChanged(text);
}

void HintRouter::watchMenu(QWidget* menu)
{
    if (menu->property(WatchedProperty).toBool())
        return;
    menu->setProperty(WatchedProperty, true);
    if (auto* m = qobject_cast<QMenu*>(menu))
        connect(m, &QMenu::hovered, this, &HintRouter::actionHovered);
    else if (auto* bar = qobject_cast<QMenuBar*>(menu))
        connect(bar, &QMenuBar::hovered, this, &HintRouter::actionHovered);
}

void HintRouter::actionHovered(QAction* action)
{
    setHintText(action ? longHint(action->statusTip()) : QString());
}

QString HintRouter::refusedTyping(const QObject* watched, const QKeyEvent& key)
{
    const auto* line = qobject_cast<const QLineEdit*>(watched);
    if (!line || line->isReadOnly() || line->maxLength() >= 32767 || line->hasSelectedText() ||
        line->text().size() < line->maxLength())
        return {};
    if (key.text().isEmpty() || !key.text().front().isPrint() ||
        (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return {};
    QString field;
    if (const auto* edit = qobject_cast<const data::DBEdit*>(line))
        field = edit->dataField();
    if (field.isEmpty())
        field = line->property(FieldNameProperty).toString();
    if (field.isEmpty())
        field = line->accessibleName();
    if (field.isEmpty())
        field = QStringLiteral("This field");
    return QStringLiteral("%1 holds at most %2 characters: \"%3\" was not added")
        .arg(field)
        .arg(line->maxLength())
        .arg(key.text());
}

bool HintRouter::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        // A character refused by a full field is named at once: a silently shortened name is a surprise found later.
        if (const QString refused = refusedTyping(watched, *static_cast<QKeyEvent*>(event)); !refused.isEmpty()) {
            setHintText(refused);
            emit announced(refused);
        }
        break;
    case QEvent::Enter:
        if (watched->isWidgetType())
            setHintText(longHint(hintFor(static_cast<QWidget*>(watched))));
        break;
    case QEvent::Leave:
        if (watched->isWidgetType()) {
            const auto* w = static_cast<QWidget*>(watched);
            setHintText(w->isWindow() ? QString() : longHint(hintFor(w->parentWidget())));
        }
        break;
    case QEvent::Show:
        if (qobject_cast<QMenu*>(watched) || qobject_cast<QMenuBar*>(watched))
            watchMenu(static_cast<QWidget*>(watched));
        break;
    case QEvent::Hide:
        if (qobject_cast<QMenu*>(watched))
            setHintText(QString());
        break;
    case QEvent::StatusTip:
        // Hints go to the main window's status panel only, never into a status bar of Qt's own choosing.
        return true;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace mainwindow

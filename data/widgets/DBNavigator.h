#pragma once

#include "data/DataSource.h"

#include <QList>
#include <QWidget>

class QToolButton;

namespace data {

// A row of buttons that moves through and edits the dataset of a data source. Each button is usable only when its
// action makes sense for the dataset's state, and follows it as the dataset changes from any window.
class DBNavigator : public QWidget
{
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };
    Q_ENUM(Button)

    [[nodiscard]] static QList<Button> allButtons();
    // The hint each button carries unless set otherwise.
    [[nodiscard]] static QString defaultHint(Button button);

    explicit DBNavigator(DataSource* source, const QList<Button>& buttons = allButtons(), QWidget* parent = nullptr);

    // The buttons shown, left to right.
    void setVisibleButtons(const QList<Button>& buttons);
    [[nodiscard]] const QList<Button>& visibleButtons() const { return m_visible; }
    // The button, or null when it is not shown.
    [[nodiscard]] QToolButton* button(Button button) const;

    // A hint "short|long": the short part is the tooltip (when tooltips are shown), the whole is the status hint.
    void setHint(Button button, const QString& hint);
    [[nodiscard]] QString hint(Button button) const;
    void setShowHints(bool show);

    // Whether Tab reaches the buttons (off by default: a click leaves the focus where it was).
    void setTabStops(bool on);

    // Delete asks "Delete John Smith?" first (on by default).
    void setConfirmDelete(bool confirm) { m_confirmDelete = confirm; }

    // Whether the button's action is possible in the dataset's present state (also for buttons not shown).
    [[nodiscard]] bool isUsable(Button button) const;

    // Runs the button's action as a click does; errors are shown in the default error box.
    void click(Button button);

signals:
    // After a button's action ran (also when it failed).
    void clicked(data::DBNavigator::Button button);

private:
    void attach(Dataset* dataset);
    void updateButtons();
    void run(Button button);
    [[nodiscard]] Dataset* dataset() const { return m_source ? m_source->dataset() : nullptr; }

    DataSource* m_source;
    QList<Button> m_visible;
    QToolButton* m_buttons[Refresh + 1] = {};
    QString m_hints[Refresh + 1];
    bool m_showHints = true;
    bool m_confirmDelete = true;
    QList<QMetaObject::Connection> m_connections;
};

// The question asked before the current row of a contact list is deleted: "Delete John Smith?", naming the contact
// by first name and surname, so that the contact about to go is plain without looking back at the list.
[[nodiscard]] QString deleteQuestion(const Dataset* dataset);

} // namespace data

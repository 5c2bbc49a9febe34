#pragma once

#include "data/DataSource.h"

#include <QWidget>
#include <functional>

class QToolButton;

// The form view's record navigator: nine buttons over a data source, each usable only when its action makes sense
// for the dataset's present state, and following that state as any window changes the dataset.
class FormNavigator : public QWidget
{
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel };
    Q_ENUM(Button)
    static constexpr int ButtonCount = Cancel + 1;

    explicit FormNavigator(data::DataSource* source, QWidget* parent = nullptr);

    [[nodiscard]] QToolButton* button(Button button) const { return m_buttons[button]; }
    [[nodiscard]] static QString hint(Button button);
    [[nodiscard]] bool isUsable(Button button) const;

    // Runs before every action; an error it throws stops the action (and is shown).
    void setBeforeAction(std::function<void(Button)> check) { m_beforeAction = std::move(check); }

    // Runs the button's action as a click does; errors are shown in the default error box.
    void click(Button button);

private:
    void updateButtons();
    void run(Button button);
    [[nodiscard]] data::Dataset* dataset() const { return m_source ? m_source->dataset() : nullptr; }

    data::DataSource* m_source;
    QToolButton* m_buttons[ButtonCount] = {};
    std::function<void(Button)> m_beforeAction;
    QList<QMetaObject::Connection> m_connections;
};

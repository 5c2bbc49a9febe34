#pragma once

#include <QObject>
#include <QPointer>

class QAction;
class QKeyEvent;
class QWidget;

namespace mainwindow {

// The application's hint text: the hint of the control under the mouse in any window of the program, or of its
// nearest enclosing control that has one, and the hint of a highlighted menu item.
//
// A control's hint is its status tip (or, when it has none, its tooltip); an action's hint is its status tip.
// A hint "short|long" shows its short part as the tooltip and its long part here.
class HintRouter : public QObject
{
    Q_OBJECT
public:
    explicit HintRouter(QObject* parent = nullptr);
    ~HintRouter() override;

    [[nodiscard]] const QString& hint() const { return m_hint; }
    // A message of the program (a command done) in place of the hint, until the mouse brings the next hint.
    void showMessage(const QString& text) { setHintText(text); }

    // The part of a hint shown in the status bar: the text after "|", or the whole hint without one.
    [[nodiscard]] static QString longHint(const QString& hint);
    // The part shown as the tooltip: the text before "|".
    [[nodiscard]] static QString shortHint(const QString& hint);
    // The hint of a control, or of its nearest enclosing control in the same window that has one.
    [[nodiscard]] static QString hintFor(const QWidget* widget);

    // Sets the hint (status tip) of a control, and its tooltip to the short part when tooltip is true.
    static void setHint(QWidget* widget, const QString& hint, bool tooltip = true);

    // The property naming the field of a line edit that is not bound to one by itself (a grid cell's editor).
    static constexpr const char* FieldNameProperty = "tovrelFieldName";
    // What to say when a key typed into a full line edit is refused (the field and its length), or nothing.
    [[nodiscard]] static QString refusedTyping(const QObject* watched, const QKeyEvent& key);

signals:
    void hintChanged(const QString& text);
    // A hint that should also reach a screen reader at once (a refused character).
    void announced(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setHintText(const QString& text);
    void watchMenu(QWidget* menu);
    void actionHovered(QAction* action);

    QString m_hint;
};

} // namespace mainwindow

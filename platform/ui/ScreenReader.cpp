#include "platform/ui/ScreenReader.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QTextBoundaryFinder>
#include <QWidget>

#include <algorithm>

namespace platform {

namespace {

QWidget* widgetOf(QAccessibleEvent* event)
{
    QObject* object = event->object();
    if (!object)
        if (QAccessibleInterface* iface = event->accessibleInterface())
            object = iface->object();
    return object && object->isWidgetType() ? static_cast<QWidget*>(object) : nullptr;
}

bool isTextEvent(QAccessible::Event type)
{
    switch (type) {
    case QAccessible::TextInserted:
    case QAccessible::TextRemoved:
    case QAccessible::TextUpdated:
    case QAccessible::TextCaretMoved:
    case QAccessible::TextSelectionChanged:
    case QAccessible::TextAttributeChanged:
    case QAccessible::TextColumnChanged:
    case QAccessible::ValueChanged:
        return true;
    default:
        return false;
    }
}

QAccessible::UpdateHandler g_next = nullptr;

void filterUpdate(QAccessibleEvent* event)
{
    if (keptFromReader(event))
        return;
    if (g_next) {
        g_next(event);
        return;
    }
    // No handler before this one: the platform's bridge takes the event, reached with this filter out of the way.
    QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(filterUpdate);
}

// A window built from a plain widget: Qt gives it the role of a client area, which a reader shows as a filler.
class WindowAccessible : public QAccessibleWidget
{
public:
    explicit WindowAccessible(QWidget* w)
        : QAccessibleWidget(w, w->windowType() == Qt::Dialog ? QAccessible::Dialog : QAccessible::Window)
    {
    }
};

bool isPlainWindow(QObject* object)
{
    if (!object->isWidgetType())
        return false;
    auto* w = static_cast<QWidget*>(object);
    if (!w->isWindow() || (w->windowType() != Qt::Window && w->windowType() != Qt::Dialog))
        return false;
    // The nearest of Qt's own classes decides: only a bare QWidget, the program's own windows.
    const QMetaObject* mo = object->metaObject();
    while (mo && mo->className()[0] != 'Q')
        mo = mo->superClass();
    return mo == &QWidget::staticMetaObject;
}

// A line edit's accessible text with the word, sentence and line at an offset worked out here: everything else is
// Qt's own line edit interface, held inside.
class LineEditAccessible : public QAccessibleInterface,
                           public QAccessibleTextInterface,
                           public QAccessibleEditableTextInterface
{
public:
    LineEditAccessible(QLineEdit* edit, QAccessibleInterface* inner) : m_edit(edit), m_inner(inner) {}
    ~LineEditAccessible() override
    {
        if (m_inner)
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(m_inner));
    }

    bool isValid() const override { return m_edit && m_inner && m_inner->isValid(); }
    QObject* object() const override { return m_edit; }
    QWindow* window() const override { return m_inner->window(); }
    QList<std::pair<QAccessibleInterface*, QAccessible::Relation>>
    relations(QAccessible::Relation match) const override
    {
        return m_inner->relations(match);
    }
    QAccessibleInterface* focusChild() const override { return m_inner->focusChild(); }
    QAccessibleInterface* childAt(int x, int y) const override { return m_inner->childAt(x, y); }
    QAccessibleInterface* parent() const override { return m_inner->parent(); }
    QAccessibleInterface* child(int index) const override { return m_inner->child(index); }
    int childCount() const override { return m_inner->childCount(); }
    int indexOfChild(const QAccessibleInterface* child) const override { return m_inner->indexOfChild(child); }
    QString text(QAccessible::Text t) const override { return m_inner->text(t); }
    void setText(QAccessible::Text t, const QString& text) override { m_inner->setText(t, text); }
    QRect rect() const override { return m_inner->rect(); }
    QAccessible::Role role() const override { return m_inner->role(); }
    QAccessible::State state() const override { return m_inner->state(); }
    QColor foregroundColor() const override { return m_inner->foregroundColor(); }
    QColor backgroundColor() const override { return m_inner->backgroundColor(); }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        if (type == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface*>(this);
        return m_inner->interface_cast(type);
    }

    // Text, from Qt's own interface but for the units at, before and after an offset.
    void selection(int i, int* start, int* end) const override { text()->selection(i, start, end); }
    int selectionCount() const override { return text()->selectionCount(); }
    void addSelection(int start, int end) override { text()->addSelection(start, end); }
    void removeSelection(int i) override { text()->removeSelection(i); }
    void setSelection(int i, int start, int end) override { text()->setSelection(i, start, end); }
    int cursorPosition() const override { return text()->cursorPosition(); }
    void setCursorPosition(int position) override { text()->setCursorPosition(position); }
    QString text(int start, int end) const override { return text()->text(start, end); }
    int characterCount() const override { return text()->characterCount(); }
    QRect characterRect(int offset) const override { return text()->characterRect(offset); }
    int offsetAtPoint(const QPoint& point) const override { return text()->offsetAtPoint(point); }
    void scrollToSubstring(int start, int end) override { text()->scrollToSubstring(start, end); }
    QString attributes(int offset, int* start, int* end) const override
    {
        // A line edit's text is one run. Qt answers an empty run at every offset, and a reader that reads run by
        // run then leaves out the last character ("Ivy Hous").
        QString attrs = text()->attributes(offset, start, end);
        if (*start >= *end) {
            *start = 0;
            *end = characterCount();
        }
        return attrs;
    }

    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundary, int* start, int* end) const override
    {
        if (!shownText(start, end))
            return {};
        return textUnitAt(m_edit->text(), offset == -2 ? cursorPosition() : offset, boundary, start, end);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                             int* end) const override
    {
        if (!shownText(start, end))
            return {};
        const QString all = m_edit->text();
        int s = 0;
        int e = 0;
        textUnitAt(all, offset == -2 ? cursorPosition() : offset, boundary, &s, &e);
        if (s <= 0 || boundary == QAccessible::LineBoundary || boundary == QAccessible::ParagraphBoundary ||
            boundary == QAccessible::NoBoundary) {
            *start = *end = 0;
            return {};
        }
        return textUnitAt(all, s - 1, boundary, start, end);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                            int* end) const override
    {
        if (!shownText(start, end))
            return {};
        const QString all = m_edit->text();
        int s = 0;
        int e = 0;
        textUnitAt(all, offset == -2 ? cursorPosition() : offset, boundary, &s, &e);
        return textUnitAt(all, std::max(e, s + 1), boundary, start, end);
    }

    void deleteText(int start, int end) override { editable()->deleteText(start, end); }
    void insertText(int offset, const QString& text) override { editable()->insertText(offset, text); }
    void replaceText(int start, int end, const QString& text) override { editable()->replaceText(start, end, text); }

private:
    QAccessibleTextInterface* text() const { return m_inner->textInterface(); }
    QAccessibleEditableTextInterface* editable() const { return m_inner->editableTextInterface(); }
    // A password is not read out by any unit.
    bool shownText(int* start, int* end) const
    {
        if (m_edit && m_edit->echoMode() == QLineEdit::Normal)
            return true;
        *start = *end = -1;
        return false;
    }

    QPointer<QLineEdit> m_edit;
    QAccessibleInterface* m_inner;
};

bool g_makingInner = false;

QAccessibleInterface* factory(const QString& className, QObject* object)
{
    if (g_makingInner || !object)
        return nullptr;
    if (className == QLatin1String(object->metaObject()->className()) && isPlainWindow(object))
        return new WindowAccessible(static_cast<QWidget*>(object));
    if (className == QLatin1String("QLineEdit")) {
        auto* edit = qobject_cast<QLineEdit*>(object);
        if (!edit)
            return nullptr;
        g_makingInner = true;
        QAccessibleInterface* inner = QAccessible::queryAccessibleInterface(edit);
        g_makingInner = false;
        if (!inner || !inner->textInterface())
            return nullptr;
        return new LineEditAccessible(edit, inner);
    }
    return nullptr;
}

} // namespace

bool keptFromReader(QAccessibleEvent* event)
{
    QWidget* w = widgetOf(event);
    if (!w)
        return false;
    if (event->type() == QAccessible::Focus) {
        // Item views report their current item as focused whenever it changes, focus or not.
        auto* view = qobject_cast<QAbstractItemView*>(w);
        return view && !view->hasFocus() && view->window()->windowType() != Qt::Popup;
    }
    return isTextEvent(event->type()) && !w->isVisible();
}

QString textUnitAt(const QString& text, int offset, QAccessible::TextBoundaryType boundary, int* start, int* end)
{
    const int length = int(text.size());
    offset = std::clamp(offset, 0, length);
    switch (boundary) {
    case QAccessible::LineBoundary:
    case QAccessible::ParagraphBoundary:
    case QAccessible::NoBoundary:
        *start = 0;
        *end = length;
        return text;
    case QAccessible::CharBoundary:
    case QAccessible::WordBoundary:
    case QAccessible::SentenceBoundary:
        break;
    }
    if (offset >= length) {
        *start = *end = length;
        return {};
    }
    const auto type = boundary == QAccessible::CharBoundary   ? QTextBoundaryFinder::Grapheme
                      : boundary == QAccessible::WordBoundary ? QTextBoundaryFinder::Word
                                                              : QTextBoundaryFinder::Sentence;
    QTextBoundaryFinder finder(type, text);
    finder.setPosition(offset);
    int from = finder.isAtBoundary() ? offset : int(finder.toPreviousBoundary());
    if (from < 0)
        from = 0;
    finder.setPosition(from);
    int to = int(finder.toNextBoundary());
    if (to <= from)
        to = length;
    *start = from;
    *end = to;
    return text.mid(from, to - from);
}

void installScreenReaderFixes()
{
    static bool madeWindows = false;
    if (!madeWindows) {
        madeWindows = true;
        QAccessible::installFactory(factory);
    }
    // Ahead of whatever handled the events so far (a test's recorder), once.
    if (const QAccessible::UpdateHandler before = QAccessible::installUpdateHandler(filterUpdate);
        before != filterUpdate)
        g_next = before;
}

} // namespace platform

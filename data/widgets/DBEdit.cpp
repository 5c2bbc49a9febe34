#include "data/widgets/DBEdit.h"

#include "data/DateText.h"
#include "data/StoredText.h"
#include "platform/AppError.h"
#include "platform/ui/ErrorBox.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QScopedValueRollback>
#include <QTabWidget>
#include <algorithm>
#include <vector>

namespace data {

FieldLink::FieldLink(std::function<void()> changed, QObject* parent) : QObject(parent), m_changed(std::move(changed)) {}

void FieldLink::setDataSource(DataSource* source)
{
    if (m_source == source)
        return;
    disconnect(m_sourceConnection);
    m_source = source;
    if (source)
        m_sourceConnection = connect(source, &DataSource::datasetChanged, this, [this] { attach(); });
    attach();
}

void FieldLink::setDataField(const QString& field)
{
    m_field = field;
    m_changed();
}

void FieldLink::attach()
{
    for (const auto& c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    if (Dataset* d = dataset()) {
        const auto changed = [this] { m_changed(); };
        m_connections << connect(d, &Dataset::opened, this, changed) << connect(d, &Dataset::closed, this, changed)
                      << connect(d, &Dataset::reordered, this, changed)
                      << connect(d, &Dataset::currentChanged, this, changed)
                      << connect(d, &Dataset::rowChanged, this, changed)
                      << connect(d, &Dataset::rowInserted, this, changed)
                      << connect(d, &Dataset::rowRemoved, this, changed)
                      << connect(d, &Dataset::stateChanged, this, changed)
                      << connect(d, &QObject::destroyed, this, changed);
    }
    m_changed();
}

int FieldLink::fieldIndex() const
{
    const Dataset* d = dataset();
    return d && !m_field.isEmpty() ? d->fieldIndex(m_field) : -1;
}

const FieldDef* FieldLink::field() const
{
    const int index = fieldIndex();
    return index < 0 ? nullptr : &dataset()->fields()[index];
}

bool FieldLink::isActive() const
{
    const Dataset* d = dataset();
    return d && d->isOpen() && fieldIndex() >= 0;
}

QString FieldLink::currentText() const
{
    if (!isActive())
        return {};
    const Dataset* d = dataset();
    return d->text(d->currentRow(), fieldIndex());
}

namespace {
std::vector<DBEdit*>& allBoxes()
{
    static std::vector<DBEdit*> boxes;
    return boxes;
}

[[nodiscard]] QString notADate(const QString& text)
{
    return QStringLiteral("'%1' is not a valid date").arg(text);
}
} // namespace

DBEdit::DBEdit(QWidget* parent) : QLineEdit(parent), m_link([this] { refresh(); })
{
    allBoxes().push_back(this);
    Dataset::setUpdateRecordHandler(&DBEdit::updateRecord);
    connect(this, &QLineEdit::textEdited, this, &DBEdit::typed);
    refresh();
}

DBEdit::~DBEdit()
{
    auto& boxes = allBoxes();
    boxes.erase(std::remove(boxes.begin(), boxes.end(), this), boxes.end());
}

QString DBEdit::displayText(const FieldDef& field, const QString& stored)
{
    if (field.kind != FieldKind::Date || stored.isEmpty())
        return stored;
    const QDate date = fromStorage(stored);
    // Text that another program stored and that is no date is shown as it is rather than hidden.
    return date.isValid() ? formatDate(date) : stored;
}

bool DBEdit::isDateField() const
{
    const FieldDef* f = m_link.field();
    return f && f->kind == FieldKind::Date;
}

void DBEdit::refresh()
{
    if (m_writing)
        return;
    const FieldDef* f = m_link.field();
    const bool active = m_link.isActive();
    setReadOnly(!active || !f || !f->isStored());
    const Dataset* d = m_link.dataset();
    const bool editing = active && (d->state() == Dataset::State::Edit || d->state() == Dataset::State::Insert);
    if (m_pending && editing && d->currentRow() == m_pendingRow)
        return; // the typed date stays until it is written, refused or the row is settled
    m_pending = false;
    const QString stored = m_link.currentText();
    // Typing past the field's length is impossible; a longer value stored by another program is still shown whole.
    int limit = 32767;
    if (f && f->kind == FieldKind::Text && f->size > 0)
        limit = std::max<int>(f->size, int(stored.size()));
    if (maxLength() != limit)
        setMaxLength(limit);
    const QString shown = f ? displayText(*f, stored) : QString();
    if (text() != shown)
        setText(shown);
}

void DBEdit::typed(const QString& typedText)
{
    Dataset* d = m_link.dataset();
    const int field = m_link.fieldIndex();
    if (!m_link.isActive()) {
        refresh();
        return;
    }
    const bool ok = platform::guard([&] {
        QScopedValueRollback writing(m_writing, true);
        if (isDateField()) {
            if (const auto date = parseDate(typedText)) {
                d->setFieldValue(field, QVariant(*date));
                m_pending = false;
            } else {
                // Not a date (yet): the row goes into editing and keeps its former date meanwhile.
                d->edit();
                m_pending = true;
                m_pendingRow = d->currentRow();
            }
        } else {
            d->setFieldValue(field, typedText);
        }
    });
    if (!ok) {
        m_pending = false;
        refresh();
    } else if (!m_pending && hasControlCharacters(typedText)) {
        // Pasted control characters were not stored: the box shows what was.
        const int position = cursorPosition();
        refresh();
        setCursorPosition(std::min(position, int(text().size())));
    }
}

void DBEdit::commit()
{
    if (!m_pending)
        return;
    Dataset* d = m_link.dataset();
    if (!m_link.isActive()) {
        m_pending = false;
        refresh();
        return;
    }
    const auto date = parseDate(text());
    if (!date)
        throw platform::AppError(notADate(text()));
    {
        QScopedValueRollback writing(m_writing, true);
        d->setFieldValue(m_link.fieldIndex(), QVariant(*date));
    }
    m_pending = false;
    refresh();
}

void DBEdit::updateRecord(Dataset* dataset)
{
    const std::vector<DBEdit*> boxes = allBoxes(); // a box may be refreshed (not removed) on the way
    for (DBEdit* box : boxes) {
        if (!box->m_pending || box->m_link.dataset() != dataset)
            continue;
        if (!box->window()->isVisible()) {
            // A box in a closed window must not block a save made elsewhere: its unwritten text is dropped.
            box->m_pending = false;
            box->refresh();
            continue;
        }
        try {
            box->commit();
        } catch (...) {
            box->showForCorrection();
            throw;
        }
    }
}

void DBEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // Switching to another window or opening a menu is not leaving the box.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    if (!m_pending) {
        refresh(); // a date typed in any accepted form is shown in the short date format
        return;
    }
    if (!platform::guard([this] { commit(); }))
        showForCorrection();
}

void DBEdit::showForCorrection()
{
    // A box on a page of tabs that is not in front is brought to the front first.
    for (QWidget* w = this; w && !w->isWindow(); w = w->parentWidget()) {
        QWidget* stack = w->parentWidget();
        if (auto* tabs = qobject_cast<QTabWidget*>(stack ? stack->parentWidget() : nullptr);
            tabs && tabs->indexOf(w) >= 0)
            tabs->setCurrentWidget(w);
    }
    setFocus(Qt::OtherFocusReason);
    selectAll();
}

void DBEdit::keyPressEvent(QKeyEvent* event)
{
    // Esc gives up a date being typed and shows the row's value again.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && m_pending) {
        m_pending = false;
        refresh();
        selectAll();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

} // namespace data

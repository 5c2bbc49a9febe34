#include "data/widgets/DBMemo.h"

#include "data/StoredText.h"
#include "platform/ui/ErrorBox.h"

#include <QScopedValueRollback>
#include <QTextCursor>
#include <algorithm>

namespace data {

namespace {
// The box works with LF line ends; CR LF from other programs is shown the same way.
QString shownText(QString stored)
{
    stored.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return stored;
}
} // namespace

DBMemo::DBMemo(QWidget* parent) : QPlainTextEdit(parent), m_link([this] { refresh(); })
{
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, &DBMemo::typed);
    refresh();
}

void DBMemo::refresh()
{
    if (m_writing)
        return;
    const FieldDef* f = m_link.field();
    setReadOnly(!m_link.isActive() || !f || !f->isStored());
    const QString shown = shownText(m_link.currentText());
    if (toPlainText() != shown) {
        QScopedValueRollback refreshing(m_refreshing, true);
        setPlainText(shown);
    }
}

void DBMemo::typed()
{
    if (m_refreshing)
        return;
    Dataset* d = m_link.dataset();
    if (!m_link.isActive()) {
        refresh();
        return;
    }
    const bool ok = platform::guard([&] {
        QScopedValueRollback writing(m_writing, true);
        // Only a real change puts the row into editing.
        if (shownText(m_link.currentText()) != toPlainText())
            d->setFieldValue(m_link.fieldIndex(), toPlainText());
    });
    if (!ok) {
        refresh();
    } else if (hasControlCharacters(toPlainText())) {
        // Pasted control characters were not stored: the box shows what was.
        const int position = textCursor().position();
        refresh();
        QTextCursor cursor = textCursor();
        cursor.setPosition(std::min(position, int(toPlainText().size())));
        setTextCursor(cursor);
    }
}

} // namespace data

#include "reports/DatasetSource.h"

#include "data/Dataset.h"
#include "data/DateText.h"

namespace reports {

int DatasetSource::rowCount() const { return m_dataset.isOpen() ? m_dataset.recordCount() : 0; }

int DatasetSource::fieldIndex(const QString& name) const { return m_dataset.fieldIndex(name); }

QString DatasetSource::text(int row, int field) const
{
    if (field >= 0 && field < m_dataset.fieldCount() && m_dataset.fields()[field].kind == data::FieldKind::Date)
        return data::formatDate(data::fromStorage(m_dataset.text(row, field)));
    return m_dataset.text(row, field);
}

void DatasetSource::prepare()
{
    // A change that cannot be saved stops the report before its window opens.
    if (m_dataset.isOpen())
        m_dataset.settle();
}

void DatasetSource::renderStarted()
{
    if (!m_dataset.isOpen())
        return; // a closed query renders as an empty selection
    // Settles a pending edit first, so the report prints what is stored.
    m_dataset.beginExclusiveRead(
        QStringLiteral("A report is being prepared from the contact list. Wait until it has finished."));
    m_locked = true;
}

void DatasetSource::renderEnded(int lastRow)
{
    if (!m_locked)
        return;
    m_locked = false;
    m_dataset.endExclusiveRead();
    // The current contact stays where the user left it: a report that moved it would leave a later Delete
    // on someone else.
    (void)lastRow;
}

} // namespace reports

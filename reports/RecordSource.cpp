#include "reports/RecordSource.h"

namespace reports {

QString RecordSource::text(int row, const QString& fieldName) const
{
    const int field = fieldIndex(fieldName);
    return field < 0 ? QString() : text(row, field);
}

MemoryRecordSource::MemoryRecordSource(QStringList fieldNames, std::vector<QStringList> rows)
    : m_fields(std::move(fieldNames)), m_rows(std::move(rows))
{
}

QStringList MemoryRecordSource::contactFields()
{
    return {QStringLiteral("Surname"),   QStringLiteral("Midname"),  QStringLiteral("Firstname"),
            QStringLiteral("Address1"),  QStringLiteral("Address2"), QStringLiteral("A3_Village"),
            QStringLiteral("Town"),      QStringLiteral("County"),   QStringLiteral("PostCode"),
            QStringLiteral("Country"),   QStringLiteral("Tel"),      QStringLiteral("Cell"),
            QStringLiteral("Email"),     QStringLiteral("Birthday"), QStringLiteral("Notes"),
            QStringLiteral("Workplace"), QStringLiteral("Work Tel"), QStringLiteral("Flag"),
            QStringLiteral("Cap"),       QStringLiteral("Flag2")};
}

int MemoryRecordSource::fieldIndex(const QString& name) const
{
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString MemoryRecordSource::text(int row, int field) const
{
    if (row < 0 || row >= rowCount() || field < 0)
        return {};
    const QStringList& values = m_rows[static_cast<size_t>(row)];
    return field < values.size() ? values[field] : QString();
}

void MemoryRecordSource::renderStarted()
{
    m_rendering = true;
}

void MemoryRecordSource::renderEnded(int lastRow)
{
    m_rendering = false;
    if (lastRow >= 0)
        m_currentRow = lastRow;
}

} // namespace reports

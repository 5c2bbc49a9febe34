#include "data/Dataset.h"

#include "data/Connection.h"
#include "data/DateText.h"
#include "data/SnapshotOrder.h"
#include "data/StoredText.h"
#include "platform/AppError.h"

#include <algorithm>
#include <sqlite3.h>

namespace data {

namespace {

QString quoteIdentifier(const QString& name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// Owns a prepared statement.
struct Statement
{
    sqlite3_stmt* stmt = nullptr;
    ~Statement() { sqlite3_finalize(stmt); }
};

bool onlyBlanksAndSemicolons(const char* tail)
{
    for (; tail && *tail; ++tail)
        if (*tail != ';' && !QChar::isSpace(uchar(*tail)))
            return false;
    return true;
}

} // namespace

Dataset::Dataset(QString name, QList<FieldDef> fields, QObject* parent)
    : QObject(parent), m_name(std::move(name)), m_fields(std::move(fields))
{
    int stored = 0;
    for (const FieldDef& f : m_fields)
        m_storedIndex.push_back(f.isStored() ? stored++ : -1);
}

Dataset::~Dataset() = default;

void Dataset::setUpdateTable(const QString& table, const QString& keyColumn)
{
    m_table = table;
    m_keyColumn = keyColumn;
}

int Dataset::fieldIndex(const QString& name) const
{
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int Dataset::requireField(const QString& name) const
{
    const int index = fieldIndex(name);
    if (index < 0)
        fail(QStringLiteral("Field '%1' not found").arg(name));
    return index;
}

void Dataset::fail(const QString& what) const { throw platform::AppError(m_name + QStringLiteral(": ") + what); }

void Dataset::requireOpen() const
{
    if (m_state == State::Inactive)
        fail(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void Dataset::requireFree() const
{
    if (!m_exclusiveReason.isEmpty())
        throw platform::AppError(m_exclusiveReason);
}

void Dataset::setSql(const QStringList& lines)
{
    requireFree();
    m_sql = lines;
}

void Dataset::open()
{
    requireFree();
    if (isOpen())
        return;
    if (!m_connection)
        fail(QStringLiteral("No connection"));
    m_connection->open();
    loadRows();
    m_modified = false;
    m_edit.clear();
    m_state = State::Browse;
    m_current = m_rows.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_rows.empty();
    emit opened();
    emit stateChanged(m_state);
    emit currentChanged(m_current);
}

void Dataset::loadRows()
{
    m_rows.clear();
    m_all.clear();
    m_narrowed = false;
    ++m_generation;
    m_store.clear();
    sqlite3* db = m_connection->handle();
    const QString sqlText = m_sql.join(QLatin1Char('\n'));
    const QByteArray text = sqlText.toUtf8();
    Statement st;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &st.stmt, &tail) != SQLITE_OK)
        fail(m_connection->lastError());
    if (!st.stmt)
        fail(QStringLiteral("The SQL text holds no statement"));
    // One query only: whatever else the text holds is never run.
    if (!onlyBlanksAndSemicolons(tail))
        fail(QStringLiteral("The SQL text holds more than one statement"));
    if (!sqlite3_stmt_readonly(st.stmt))
        fail(QStringLiteral("The SQL text does not select rows"));

    // A plain order by one field is done here, in the order people read, after reading in storage order.
    if (const auto plain = order::plainOrder(sqlText)) {
        Statement unordered;
        const char* rest = nullptr;
        if (sqlite3_prepare_v2(db, plain->unorderedSql.constData(), int(plain->unorderedSql.size()), &unordered.stmt,
                               &rest) == SQLITE_OK &&
            unordered.stmt && onlyBlanksAndSemicolons(rest)) {
            const int column = resultColumn(unordered.stmt, plain->column);
            const int field = column >= 0 ? storedFieldOfColumn(unordered.stmt, column) : -1;
            if (field >= 0) {
                readRows(unordered.stmt);
                order::sortRows(m_rows, field, plain->descending, m_readingOrder);
                return;
            }
        }
    }
    readRows(st.stmt);
    // No order asked for: not the engine's storage order but the one people read.
    if (!m_readingOrder.empty() && !order::hasOrderBy(sqlText))
        order::sortRows(m_rows, m_readingOrder.front(), false, m_readingOrder);
}

void Dataset::setReadingOrder(const QStringList& fields)
{
    m_readingOrder.clear();
    for (const QString& name : fields) {
        const int stored = m_storedIndex[size_t(requireField(name))];
        if (stored >= 0)
            m_readingOrder.push_back(stored);
    }
}

int Dataset::resultColumn(sqlite3_stmt* stmt, const QString& name) const
{
    const int columns = sqlite3_column_count(stmt);
    for (int c = 0; c < columns; ++c)
        if (name.compare(QString::fromUtf8(sqlite3_column_name(stmt, c)), Qt::CaseInsensitive) == 0)
            return c;
    return -1;
}

int Dataset::storedFieldOfColumn(sqlite3_stmt* stmt, int column) const
{
    int stored = 0;
    for (const FieldDef& f : m_fields) {
        if (!f.isStored())
            continue;
        if (resultColumn(stmt, f.name) == column)
            return stored;
        ++stored;
    }
    return -1;
}

void Dataset::readRows(sqlite3_stmt* stmt)
{
    std::vector<int> source;
    for (const FieldDef& f : m_fields) {
        if (!f.isStored())
            continue;
        const int c = resultColumn(stmt, f.name);
        if (c < 0)
            fail(QStringLiteral("Field '%1' not found").arg(f.name));
        source.push_back(c);
    }
    const int keyColumn = m_keyColumn.isEmpty() ? -1 : resultColumn(stmt, m_keyColumn);

    const int count = int(source.size());
    std::vector<const char*> values(source.size());
    std::vector<uint32_t> lengths(source.size());
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (int i = 0; i < count; ++i) {
            values[size_t(i)] = reinterpret_cast<const char*>(sqlite3_column_text(stmt, source[size_t(i)]));
            lengths[size_t(i)] = values[size_t(i)] ? uint32_t(sqlite3_column_bytes(stmt, source[size_t(i)])) : 0;
        }
        const qint64 key = keyColumn >= 0 ? sqlite3_column_int64(stmt, keyColumn) : 0;
        m_rows.push_back(m_store.addRow(key, values.data(), lengths.data(), count));
    }
    if (rc != SQLITE_DONE) {
        const QString message = m_connection->lastError();
        m_rows.clear();
        m_store.clear();
        fail(message);
    }
}

void Dataset::close()
{
    requireFree();
    if (!isOpen())
        return;
    m_rows.clear();
    m_all.clear();
    m_narrowed = false;
    ++m_generation;
    m_store.clear();
    m_edit.clear();
    m_modified = false;
    m_current = -1;
    m_bof = m_eof = true;
    m_sort.clear();
    m_state = State::Inactive;
    emit closed();
    emit stateChanged(m_state);
}

QString Dataset::storedText(int row, int field) const
{
    const RowStore::Row r = m_rows[size_t(row)];
    return r ? RowStore::text(r, m_storedIndex[size_t(field)]) : QString();
}

QString Dataset::text(int row, int field) const
{
    if (row < 0 || row >= recordCount() || field < 0 || field >= fieldCount())
        return {};
    if (!m_fields[field].isStored())
        return m_calc ? m_calc(*this, row, field) : QString();
    if (row == m_current && (m_state == State::Edit || m_state == State::Insert))
        return m_edit[size_t(field)];
    return storedText(row, field);
}

void Dataset::texts(int row, const int* fields, int count, QString* out) const
{
    const bool stored = row >= 0 && row < recordCount() && m_rows[size_t(row)] &&
                        !(row == m_current && (m_state == State::Edit || m_state == State::Insert));
    constexpr int MaxStored = 64;
    std::string_view values[MaxStored];
    const int n = stored ? RowStore::fields(m_rows[size_t(row)], values, MaxStored) : 0;
    for (int i = 0; i < count; ++i) {
        const int f = fields[i];
        const int at = f >= 0 && f < fieldCount() ? m_storedIndex[size_t(f)] : -1;
        out[i] = at >= 0 && at < n ? QString::fromUtf8(values[at].data(), qsizetype(values[at].size())) : text(row, f);
    }
}

QVariant Dataset::value(int row, int field) const
{
    const QString t = text(row, field);
    if (field >= 0 && field < fieldCount() && m_fields[field].kind == FieldKind::Date)
        return t.isEmpty() ? QVariant() : QVariant(fromStorage(t));
    return t;
}

QString Dataset::currentText(const QString& field) const
{
    return m_current < 0 ? QString() : text(m_current, requireField(field));
}

qint64 Dataset::rowKey(int row) const
{
    if (row < 0 || row >= recordCount() || !m_rows[size_t(row)])
        return 0;
    return RowStore::key(m_rows[size_t(row)]);
}

void Dataset::setState(State state)
{
    if (m_state != state) {
        m_state = state;
        emit stateChanged(state);
    }
}

void Dataset::setCurrent(int row, bool bof, bool eof)
{
    // A move that finds no further row changes only bof or eof; views such as navigators still need to hear of it.
    const bool changed = m_current != row || m_bof != bof || m_eof != eof;
    m_bof = bof;
    m_eof = eof;
    if (changed) {
        m_current = row;
        emit currentChanged(row);
    }
}

void Dataset::settle()
{
    if (m_state == State::Edit || m_state == State::Insert) {
        // Typed text not yet written may still make the row modified, or refuse leaving it.
        if (s_updateRecord)
            s_updateRecord(this);
        if (m_modified)
            post();
        else
            dropEdit(false);
    }
}

void Dataset::first()
{
    requireOpen();
    requireFree();
    settle();
    setCurrent(m_rows.empty() ? -1 : 0, true, m_rows.empty());
}

void Dataset::last()
{
    requireOpen();
    requireFree();
    settle();
    setCurrent(recordCount() - 1, m_rows.empty(), true);
}

void Dataset::next()
{
    requireOpen();
    requireFree();
    settle();
    if (m_current >= recordCount() - 1)
        setCurrent(m_current, m_rows.empty(), true);
    else
        setCurrent(m_current + 1, false, false);
}

void Dataset::prior()
{
    requireOpen();
    requireFree();
    settle();
    if (m_current <= 0)
        setCurrent(m_current, true, m_rows.empty());
    else
        setCurrent(m_current - 1, false, false);
}

void Dataset::moveTo(int row)
{
    requireOpen();
    requireFree();
    if (row == m_current)
        return;
    if (row < 0 || row >= recordCount())
        return;
    const int before = recordCount();
    const int settled = m_current;
    settle();
    // Settling may have dropped an untouched new row; the rows after it moved up by one.
    if (recordCount() < before && row > settled)
        --row;
    row = std::min(row, recordCount() - 1);
    setCurrent(row, false, false);
}

void Dataset::startEdit(State state, int row)
{
    m_edit.assign(size_t(fieldCount()), QString());
    if (state == State::Edit)
        for (int f = 0; f < fieldCount(); ++f)
            if (m_fields[f].isStored())
                m_edit[size_t(f)] = storedText(row, f);
    m_modified = false;
    setState(state);
}

void Dataset::edit()
{
    requireOpen();
    requireFree();
    if (m_state == State::Edit || m_state == State::Insert)
        return;
    if (m_rows.empty())
        return insert();
    startEdit(State::Edit, m_current);
}

void Dataset::insert()
{
    requireOpen();
    requireFree();
    settle();
    const int at = m_current < 0 ? 0 : m_current;
    ++m_generation;
    m_rows.insert(m_rows.begin() + at, nullptr);
    m_current = at;
    emit rowInserted(at);
    startEdit(State::Insert, at);
    setCurrent(at, false, false);
    emit currentChanged(at);
}

void Dataset::append()
{
    requireOpen();
    requireFree();
    settle();
    ++m_generation;
    m_rows.push_back(nullptr);
    const int at = recordCount() - 1;
    m_current = at;
    emit rowInserted(at);
    startEdit(State::Insert, at);
    setCurrent(at, false, true);
    emit currentChanged(at);
}

void Dataset::checkValue(int field, const QString& text) const
{
    const FieldDef& f = m_fields[field];
    if (f.kind == FieldKind::Date) {
        if (!text.isEmpty() && !fromStorage(text).isValid())
            throw platform::AppError(QStringLiteral("'%1' is not a valid date").arg(text));
        return;
    }
    if (f.size > 0 && text.size() > f.size)
        throw platform::AppError(QStringLiteral("The value for %1 is too long: %2 characters, at most %3 allowed")
                                     .arg(f.name)
                                     .arg(text.size())
                                     .arg(f.size));
}

void Dataset::setFieldValue(int field, const QVariant& value)
{
    requireOpen();
    requireFree();
    if (field < 0 || field >= fieldCount())
        fail(QStringLiteral("Field index out of range"));
    if (!m_fields[field].isStored())
        fail(QStringLiteral("Field '%1' cannot be modified").arg(m_fields[field].name));
    QString text;
    if (m_fields[field].kind == FieldKind::Date) {
        if (value.typeId() == QMetaType::QDate || value.typeId() == QMetaType::QDateTime) {
            text = toStorage(value.toDate());
        } else {
            const auto date = parseDate(value.toString());
            if (!date)
                throw platform::AppError(QStringLiteral("'%1' is not a valid date").arg(value.toString()));
            text = toStorage(*date);
        }
    } else {
        // Typed or pasted control characters are dropped, as an import drops them.
        text = withoutControlCharacters(value.toString());
    }
    checkValue(field, text);
    if (m_state == State::Browse) {
        if (m_current >= 0 && storedText(m_current, field) == text)
            return; // nothing changes, so the row is not put into editing
        edit();
    }
    if (m_edit[size_t(field)] == text && m_state == State::Edit)
        return;
    m_edit[size_t(field)] = text;
    m_modified = true;
    emit rowChanged(m_current);
}

void Dataset::post()
{
    requireOpen();
    requireFree();
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    if (s_updateRecord)
        s_updateRecord(this);
    if (m_beforePost)
        m_beforePost();
    // A value stored longer than its field by another program (a sync, SQL) does not block an edit of the others.
    for (int f = 0; f < fieldCount(); ++f)
        if (m_fields[f].isStored() && (m_state == State::Insert || m_edit[size_t(f)] != storedText(m_current, f)))
            checkValue(f, m_edit[size_t(f)]);
    writeRow();
    m_modified = false;
    m_edit.clear();
    setState(State::Browse);
    emit rowChanged(m_current);
}

QString Dataset::asReadCondition(int field) const
{
    // NULL and empty text read the same, and the column's own collation must not hide a change of case.
    return QStringLiteral("coalesce(CAST(%1 AS TEXT),'')=? COLLATE BINARY").arg(quoteIdentifier(m_fields[field].name));
}

int Dataset::bindAsRead(sqlite3_stmt* stmt, int param, int row, int field) const
{
    // The bytes as the engine gave them, so that text the snapshot cannot show exactly still compares equal.
    const std::string_view read = RowStore::bytes(m_rows[size_t(row)], m_storedIndex[size_t(field)]);
    sqlite3_bind_text(stmt, param, read.data(), int(read.size()), SQLITE_STATIC);
    return param + 1;
}

QString Dataset::conflictMessage(int row, const char* action) const
{
    const QString who = m_describe ? m_describe(*this, row) : QString();
    const QString what = who.isEmpty() ? QStringLiteral("The row") : QStringLiteral("The row of %1").arg(who);
    return QStringLiteral("%1 cannot be found for %2: it was changed or deleted by another program")
        .arg(what, QLatin1String(action));
}

void Dataset::failChanged(qint64 key, const std::vector<int>& written)
{
    const RowStore::Row stored = readStoredRow(key);
    if (!stored)
        fail(conflictMessage(m_current, "updating"));
    // Say what the other program changed, so that the user knows which typing to look at again.
    QStringList changed;
    for (int f : written)
        if (RowStore::bytes(stored, m_storedIndex[size_t(f)]) !=
            RowStore::bytes(m_rows[size_t(m_current)], m_storedIndex[size_t(f)]))
            changed << m_fields[f].name;
    const QString who = m_describe ? m_describe(*this, m_current) : QString();
    fail(QStringLiteral("Another program changed %1 of %2 while it was being edited here, so this change was not "
                        "saved. Cancel shows the stored version")
             .arg(changed.isEmpty() ? QStringLiteral("the row") : changed.join(QStringLiteral(", ")),
                  who.isEmpty() ? QStringLiteral("this row") : who));
}

QList<std::pair<QString, QString>> Dataset::pendingChanges() const
{
    QList<std::pair<QString, QString>> changes;
    if ((m_state != State::Edit && m_state != State::Insert) || m_edit.empty())
        return changes;
    const bool inserting = m_state == State::Insert;
    for (int f = 0; f < fieldCount(); ++f) {
        const QString& typed = m_edit[size_t(f)];
        if (m_fields[f].isStored() && (inserting ? !typed.isEmpty() : typed != storedText(m_current, f)))
            changes.append({m_fields[f].name, typed});
    }
    return changes;
}

void Dataset::writeRow()
{
    if (m_table.isEmpty() || m_keyColumn.isEmpty())
        fail(QStringLiteral("The result cannot be changed"));
    sqlite3* db = m_connection ? m_connection->handle() : nullptr;
    if (!db)
        fail(QStringLiteral("Not connected"));

    const bool inserting = m_state == State::Insert;
    // An update writes only what this program changed, and only while those fields still hold what it read, so
    // that another program's change to any of them is refused rather than overwritten.
    std::vector<int> written;
    for (int f = 0; f < fieldCount(); ++f)
        if (m_fields[f].isStored() && (inserting || m_edit[size_t(f)] != storedText(m_current, f)))
            written.push_back(f);

    const qint64 oldKey = rowKey(m_current);
    if (inserting || !written.empty()) {
        QStringList columns;
        for (int f : written)
            columns << quoteIdentifier(m_fields[f].name);
        QString sql;
        if (inserting) {
            QStringList marks;
            for (int i = 0; i < columns.size(); ++i)
                marks << QStringLiteral("?");
            sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(quoteIdentifier(m_table), columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
        } else {
            QStringList conditions{quoteIdentifier(m_keyColumn) + QStringLiteral("=?")};
            for (int f : written)
                conditions << asReadCondition(f);
            sql = QStringLiteral("UPDATE %1 SET %2=? WHERE %3")
                      .arg(quoteIdentifier(m_table), columns.join(QStringLiteral("=?,")),
                           conditions.join(QStringLiteral(" AND ")));
        }
        Statement st;
        const QByteArray utf8 = sql.toUtf8();
        if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &st.stmt, nullptr) != SQLITE_OK)
            fail(m_connection->lastError());
        int param = 1;
        std::vector<QByteArray> values; // kept alive until the step
        values.reserve(written.size());
        for (int f : written) {
            const QString& v = m_edit[size_t(f)];
            if (v.isEmpty()) {
                sqlite3_bind_null(st.stmt, param++);
            } else {
                values.push_back(v.toUtf8());
                sqlite3_bind_text(st.stmt, param++, values.back().constData(), int(values.back().size()),
                                  SQLITE_STATIC);
            }
        }
        if (!inserting) {
            sqlite3_bind_int64(st.stmt, param++, oldKey);
            for (int f : written)
                param = bindAsRead(st.stmt, param, m_current, f);
        }
        if (sqlite3_step(st.stmt) != SQLITE_DONE)
            fail(m_connection->lastError());
        if (!inserting && sqlite3_changes(db) == 0)
            failChanged(oldKey, written);
    }
    // The row as the table now holds it, with what other programs changed in the fields this one left alone.
    const qint64 key = inserting ? sqlite3_last_insert_rowid(db) : oldKey;
    const RowStore::Row fresh = readStoredRow(key);
    if (!fresh)
        fail(conflictMessage(m_current, "updating"));
    rowsChanged(m_rows[size_t(m_current)], fresh);
    m_rows[size_t(m_current)] = fresh;
}

RowStore::Row Dataset::readStoredRow(qint64 key)
{
    sqlite3* db = m_connection ? m_connection->handle() : nullptr;
    if (!db || m_table.isEmpty() || m_keyColumn.isEmpty())
        fail(QStringLiteral("The result cannot be changed"));
    QStringList columns{quoteIdentifier(m_keyColumn)};
    for (const FieldDef& f : m_fields)
        if (f.isStored())
            columns << quoteIdentifier(f.name);
    const QByteArray sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3=?")
                               .arg(columns.join(QLatin1Char(',')), quoteIdentifier(m_table),
                                    quoteIdentifier(m_keyColumn))
                               .toUtf8();
    Statement st;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &st.stmt, nullptr) != SQLITE_OK)
        fail(m_connection->lastError());
    sqlite3_bind_int64(st.stmt, 1, key);
    const int rc = sqlite3_step(st.stmt);
    if (rc == SQLITE_DONE)
        return nullptr;
    if (rc != SQLITE_ROW)
        fail(m_connection->lastError());
    const int count = int(columns.size()) - 1;
    std::vector<const char*> values(static_cast<size_t>(count));
    std::vector<uint32_t> lengths(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        values[size_t(i)] = reinterpret_cast<const char*>(sqlite3_column_text(st.stmt, i + 1));
        lengths[size_t(i)] = values[size_t(i)] ? uint32_t(sqlite3_column_bytes(st.stmt, i + 1)) : 0;
    }
    return m_store.addRow(key, values.data(), lengths.data(), count);
}

void Dataset::rereadCurrent()
{
    const int at = m_current;
    if (at < 0 || at >= recordCount() || !m_rows[size_t(at)])
        return;
    const RowStore::Row fresh = readStoredRow(rowKey(at));
    rowsChanged(m_rows[size_t(at)], fresh);
    if (fresh) {
        m_rows[size_t(at)] = fresh;
        emit rowChanged(at);
        return;
    }
    // Deleted by another program: it goes from the snapshot too.
    m_rows.erase(m_rows.begin() + at);
    emit rowRemoved(at);
    m_current = -2; // force the notification
    const int row = std::min(at, recordCount() - 1);
    setCurrent(row, m_rows.empty(), m_rows.empty());
}

void Dataset::cancel()
{
    requireOpen();
    requireFree();
    dropEdit(true);
}

void Dataset::dropEdit(bool reread)
{
    if (m_state == State::Insert) {
        const int at = m_current;
        ++m_generation;
        m_rows.erase(m_rows.begin() + at);
        m_edit.clear();
        m_modified = false;
        setState(State::Browse);
        emit rowRemoved(at);
        const int row = std::min(at, recordCount() - 1);
        m_current = -2; // force the notification
        setCurrent(row, m_rows.empty(), m_rows.empty());
    } else if (m_state == State::Edit) {
        m_edit.clear();
        m_modified = false;
        setState(State::Browse);
        emit rowChanged(m_current);
        // Shows what is stored now: after a refused save the snapshot's values are out of date.
        if (reread)
            rereadCurrent();
    }
}

void Dataset::cancelUpdates()
{
    // Saves go straight to the table, so the only change not yet written is the current row's; a row not being
    // edited is read again, so that after a refused delete the user sees what the other program left.
    requireOpen();
    requireFree();
    if (m_state == State::Browse)
        rereadCurrent();
    else
        dropEdit(true);
}

void Dataset::remove()
{
    requireOpen();
    requireFree();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (m_rows.empty())
        fail(QStringLiteral("Cannot perform this operation on an empty dataset"));
    if (m_table.isEmpty() || m_keyColumn.isEmpty())
        fail(QStringLiteral("The result cannot be changed"));
    sqlite3* db = m_connection ? m_connection->handle() : nullptr;
    if (!db)
        fail(QStringLiteral("Not connected"));
    // Deleted only while it still holds what this program shows: a row another program changed is refused.
    QStringList conditions{quoteIdentifier(m_keyColumn) + QStringLiteral("=?")};
    for (int f = 0; f < fieldCount(); ++f)
        if (m_fields[f].isStored())
            conditions << asReadCondition(f);
    Statement st;
    const QByteArray sql = QStringLiteral("DELETE FROM %1 WHERE %2")
                               .arg(quoteIdentifier(m_table), conditions.join(QStringLiteral(" AND ")))
                               .toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &st.stmt, nullptr) != SQLITE_OK)
        fail(m_connection->lastError());
    int param = 1;
    sqlite3_bind_int64(st.stmt, param++, rowKey(m_current));
    for (int f = 0; f < fieldCount(); ++f)
        if (m_fields[f].isStored())
            param = bindAsRead(st.stmt, param, m_current, f);
    if (sqlite3_step(st.stmt) != SQLITE_DONE)
        fail(m_connection->lastError());
    if (sqlite3_changes(db) == 0)
        fail(conflictMessage(m_current, "deleting"));
    const int at = m_current;
    m_edit.clear();
    m_modified = false;
    setState(State::Browse);
    rowsChanged(m_rows[size_t(at)], nullptr);
    m_rows.erase(m_rows.begin() + at);
    emit rowRemoved(at);
    m_current = -2;
    const int row = std::min(at, recordCount() - 1);
    setCurrent(row, m_rows.empty(), m_rows.empty());
}

void Dataset::setSort(const QString& sortText)
{
    requireOpen();
    requireFree();
    settle();
    m_sort = sortText.trimmed();
    if (m_sort.isEmpty() || m_rows.empty()) {
        emit reordered();
        return;
    }
    const QStringList parts = m_sort.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    bool descending = parts.size() > 1 && parts.last().compare(QLatin1String("DESC"), Qt::CaseInsensitive) == 0;
    QString fieldName = m_sort;
    if (parts.size() > 1 && (descending || parts.last().compare(QLatin1String("ASC"), Qt::CaseInsensitive) == 0))
        fieldName = m_sort.left(m_sort.lastIndexOf(QLatin1Char(' '))).trimmed();
    fieldName.remove(QLatin1Char('[')).remove(QLatin1Char(']'));
    const int field = requireField(fieldName);

    const RowStore::Row currentRow = m_current >= 0 ? m_rows[size_t(m_current)] : nullptr;
    auto sortShown = [&] {
        if (const int stored = m_storedIndex[size_t(field)]; stored >= 0) {
            order::sortRows(m_rows, stored, descending, m_readingOrder);
        } else {
            std::vector<QByteArray> texts;
            texts.reserve(m_rows.size());
            for (int r = 0; r < recordCount(); ++r)
                texts.push_back(text(r, field).toUtf8());
            std::vector<std::string_view> views;
            views.reserve(texts.size());
            for (const QByteArray& t : texts)
                views.emplace_back(t.constData(), size_t(t.size()));
            order::sortRows(m_rows, views, descending, m_readingOrder);
        }
    };
    ++m_generation;
    if (m_narrowed) {
        // The whole result too, so that it comes back in this order.
        std::swap(m_rows, m_all);
        sortShown();
        std::swap(m_rows, m_all);
    }
    sortShown();
    if (currentRow) {
        const auto it = std::find(m_rows.begin(), m_rows.end(), currentRow);
        m_current = int(it - m_rows.begin());
    }
    emit reordered();
    emit currentChanged(m_current);
}

void Dataset::beginExclusiveRead(const QString& reason)
{
    requireOpen();
    requireFree();
    settle();
    m_exclusiveReason = reason;
}

void Dataset::endExclusiveRead() { m_exclusiveReason.clear(); }

size_t Dataset::memoryUsed() const
{
    return m_store.bytesReserved() + (m_rows.capacity() + m_all.capacity()) * sizeof(RowStore::Row);
}

void Dataset::rowsChanged(RowStore::Row old, RowStore::Row fresh)
{
    ++m_generation;
    if (!m_narrowed)
        return;
    const auto it = old ? std::find(m_all.begin(), m_all.end(), old) : m_all.end();
    if (it == m_all.end()) {
        if (fresh)
            m_all.push_back(fresh); // a new row saved while narrowed: the whole result shows it last
    } else if (fresh) {
        *it = fresh;
    } else {
        m_all.erase(it);
    }
}

void Dataset::showRows(std::vector<RowStore::Row> rows)
{
    requireOpen();
    requireFree();
    settle();
    if (m_state != State::Browse)
        return; // a row that cannot be saved keeps the list as it is
    const RowStore::Row current = m_current >= 0 ? m_rows[size_t(m_current)] : nullptr;
    if (!m_narrowed) {
        m_all = std::move(m_rows);
        m_narrowed = true;
    }
    m_rows = std::move(rows);
    const auto it = current ? std::find(m_rows.begin(), m_rows.end(), current) : m_rows.end();
    const int row = it != m_rows.end() ? int(it - m_rows.begin()) : (m_rows.empty() ? -1 : 0);
    emit narrowed();
    m_current = -2; // force the notification
    setCurrent(row, row <= 0, m_rows.empty());
}

void Dataset::showAllRows()
{
    requireOpen();
    requireFree();
    if (!m_narrowed)
        return;
    settle();
    if (m_state != State::Browse)
        return;
    const RowStore::Row current = m_current >= 0 ? m_rows[size_t(m_current)] : nullptr;
    m_rows = std::move(m_all);
    m_all.clear();
    m_narrowed = false;
    const auto it = current ? std::find(m_rows.begin(), m_rows.end(), current) : m_rows.end();
    const int row = it != m_rows.end() ? int(it - m_rows.begin()) : (m_rows.empty() ? -1 : 0);
    emit narrowed();
    m_current = -2;
    setCurrent(row, row <= 0, m_rows.empty());
}

} // namespace data

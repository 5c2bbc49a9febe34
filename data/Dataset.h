#pragma once

#include "data/FieldDef.h"
#include "data/RowStore.h"

#include <QObject>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <vector>

struct sqlite3_stmt;

namespace data {

class Connection;

// A static, client-side snapshot of one SELECT with a current row, editing, and writes
// straight back to one table through a hidden key. Every view of the program shows this one object.
class Dataset : public QObject
{
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };
    Q_ENUM(State)

    Dataset(QString name, QList<FieldDef> fields, QObject* parent = nullptr);
    ~Dataset() override;

    [[nodiscard]] const QString& name() const { return m_name; }

    // Where rows are written back: a table and its hidden integer key column.
    void setConnection(Connection* connection) { m_connection = connection; }
    [[nodiscard]] Connection* connection() const { return m_connection; }
    void setUpdateTable(const QString& table, const QString& keyColumn);

    // Fields: known while closed.
    [[nodiscard]] const QList<FieldDef>& fields() const { return m_fields; }
    [[nodiscard]] int fieldCount() const { return int(m_fields.size()); }
    [[nodiscard]] int fieldIndex(const QString& name) const; // -1 when unknown; case-insensitive
    [[nodiscard]] int requireField(const QString& name) const;
    // Calculated fields get their text from this function (row index, field index).
    void setCalculation(std::function<QString(const Dataset&, int row, int field)> calc) { m_calc = std::move(calc); }
    // Runs just before every save, also when the save then fails.
    void setBeforePost(std::function<void()> hook) { m_beforePost = std::move(hook); }
    // Controls holding typed text that is not a field value yet write it here before any save, wherever the
    // save comes from (a grid move as much as a Save button); the handler throws to refuse the save.
    static void setUpdateRecordHandler(void (*handler)(Dataset*)) { s_updateRecord = handler; }
    // How a row is named in the message that refuses a save or delete another program got in the way of.
    void setRowDescription(std::function<QString(const Dataset&, int row)> describe)
    {
        m_describe = std::move(describe);
    }

    // The order people read the rows in: stored fields compared in turn (surname, then first name...). A statement
    // without an ORDER BY of its own gives its rows in this order; a sort by one field settles ties by it.
    void setReadingOrder(const QStringList& fields);

    // SQL text, one string per line; sent unchanged to the engine.
    [[nodiscard]] const QStringList& sql() const { return m_sql; }
    void setSql(const QStringList& lines);

    void open();
    void close();
    [[nodiscard]] bool isOpen() const { return m_state != State::Inactive; }
    [[nodiscard]] State state() const { return m_state; }

    [[nodiscard]] int recordCount() const { return int(m_rows.size()); }
    [[nodiscard]] bool isEmpty() const { return m_rows.empty(); }
    [[nodiscard]] int currentRow() const { return m_current; } // -1 when empty or closed
    [[nodiscard]] bool bof() const { return m_bof; }
    [[nodiscard]] bool eof() const { return m_eof; }
    [[nodiscard]] bool isModified() const { return m_modified; }

    // Moving settles the current row first: a modified row is saved, an unmodified one cancelled.
    void first();
    void prior();
    void next();
    void last();
    void moveTo(int row);
    // What a move does to the current row before it leaves it: a modified row is saved (and stays in editing when
    // that fails), an unmodified one cancelled. Commands that read or replace the result call it first.
    void settle();

    // Values of any row; the current row shows its pending edit.
    [[nodiscard]] QString text(int row, int field) const;
    [[nodiscard]] QString text(int row, const QString& field) const { return text(row, requireField(field)); }
    // The values of several fields of a row (out[i] for fields[i]), the row's stored values found in one walk.
    void texts(int row, const int* fields, int count, QString* out) const;
    [[nodiscard]] QVariant value(int row, int field) const; // dates as QDate
    [[nodiscard]] QString currentText(const QString& field) const;
    // The key of a row in the table (0 for a row not saved yet).
    [[nodiscard]] qint64 rowKey(int row) const;

    // Editing of the current row.
    void edit();                                   // on an empty result: insert
    void insert();                                 // a new row before the current one
    void append();                                 // a new row after the last
    void setFieldValue(int field, const QVariant& value);
    void setFieldValue(const QString& field, const QVariant& value) { setFieldValue(requireField(field), value); }
    // A save writes only the changed fields, and only while each still holds what was read; a delete only while
    // the row holds what was read. Otherwise both are refused and the row stays as it is.
    void post();
    // The stored fields the pending change sets, by name, with the text typed (for a new row, every one not empty);
    // empty when nothing is pending. What a close that cannot save keeps for the user.
    [[nodiscard]] QList<std::pair<QString, QString>> pendingChanges() const;
    // Drops the pending change; an edited row is read again from the table.
    void cancel();
    // The same; a row not being edited is read again too.
    void cancelUpdates();
    void remove();

    // Client-side sort of the open result: "Town ASC", "Surname DESC", or empty. Gone at the next close. Texts
    // sort in the order people read (data/TextOrder.h), rows with equal texts by their key.
    void setSort(const QString& sort);
    [[nodiscard]] const QString& sort() const { return m_sort; }

    // While a report walks the rows, every other command that moves or changes them is refused.
    void beginExclusiveRead(const QString& reason);
    void endExclusiveRead();
    [[nodiscard]] bool isExclusive() const { return !m_exclusiveReason.isEmpty(); }

    // Find as you type narrows the open result in memory: the rows shown are a part of the whole result, in its
    // order. Saves, inserts and deletes meanwhile apply to the whole result as well; the next open shows it all.
    [[nodiscard]] const std::vector<RowStore::Row>& allRows() const { return m_narrowed ? m_all : m_rows; }
    void showRows(std::vector<RowStore::Row> rows); // a part of allRows(), in its order; the current row stays if shown
    void showAllRows();
    [[nodiscard]] bool isNarrowed() const { return m_narrowed; }
    // Changes whenever allRows() does (another open, a save, a delete, a sort), so that what was worked out from
    // the rows can tell it is out of date.
    [[nodiscard]] quint64 rowsGeneration() const { return m_generation; }
    // Where a stored field sits in the row blobs (RowStore::bytes); -1 for a calculated one.
    [[nodiscard]] int storedPosition(int field) const { return m_storedIndex[size_t(field)]; }

    // Bytes held by the snapshot's rows.
    [[nodiscard]] size_t memoryUsed() const;

signals:
    void opened();
    void closed();
    void reordered();                 // sort changed: same rows, new order
    void narrowed();                  // other rows shown (showRows, showAllRows)
    void currentChanged(int row);
    void rowChanged(int row);         // values of a row changed (edit, post, cancel)
    void rowInserted(int row);
    void rowRemoved(int row);
    void stateChanged(data::Dataset::State state);

private:
    [[noreturn]] void failChanged(qint64 key, const std::vector<int>& written);
    [[noreturn]] void fail(const QString& what) const;
    void requireOpen() const;
    void requireFree() const;
    void setCurrent(int row, bool bof, bool eof);
    void dropEdit(bool reread);
    void rereadCurrent();
    // The stored fields of the table's row with this key as a new snapshot row; nullptr when it is gone.
    RowStore::Row readStoredRow(qint64 key);
    [[nodiscard]] QString asReadCondition(int field) const;
    int bindAsRead(sqlite3_stmt* stmt, int param, int row, int field) const;
    [[nodiscard]] QString conflictMessage(int row, const char* action) const;
    void setState(State state);
    void startEdit(State state, int row);
    void loadRows();
    // Appends every row of the statement.
    void readRows(sqlite3_stmt* stmt);
    [[nodiscard]] int resultColumn(sqlite3_stmt* stmt, const QString& name) const;
    [[nodiscard]] int storedFieldOfColumn(sqlite3_stmt* stmt, int column) const;
    void writeRow();
    QString storedText(int row, int field) const;
    void checkValue(int field, const QString& text) const;

    QString m_name;
    QList<FieldDef> m_fields;
    std::vector<int> m_storedIndex; // field index -> position in the row blob, -1 for calculated
    std::vector<int> m_readingOrder; // positions in the row blob
    Connection* m_connection = nullptr;
    QString m_table;
    QString m_keyColumn;
    std::function<QString(const Dataset&, int, int)> m_calc;
    std::function<void()> m_beforePost;
    std::function<QString(const Dataset&, int)> m_describe;
    static inline void (*s_updateRecord)(Dataset*) = nullptr;
    QStringList m_sql;
    QString m_sort;
    QString m_exclusiveReason;

    RowStore m_store;
    std::vector<RowStore::Row> m_rows; // nullptr: a new row not saved yet
    std::vector<RowStore::Row> m_all;  // while narrowed: every row of the result
    bool m_narrowed = false;
    quint64 m_generation = 0;
    void rowsChanged(RowStore::Row old, RowStore::Row fresh); // fresh nullptr: old is gone
    int m_current = -1;
    bool m_bof = true;
    bool m_eof = true;
    State m_state = State::Inactive;
    bool m_modified = false;
    std::vector<QString> m_edit; // the pending values of the current row, by field index
};

} // namespace data

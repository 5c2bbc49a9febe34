#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace reports {

// The rows a report is rendered from. The data layer adapts the shared contact query to this; the renderer
// reads rows by index, from the first to the last, and never changes them.
class RecordSource
{
public:
    virtual ~RecordSource() = default;

    [[nodiscard]] virtual int rowCount() const = 0;
    // Index of a field by its name, compared without regard to case; -1 where there is no such field.
    [[nodiscard]] virtual int fieldIndex(const QString& name) const = 0;
    // The text of a field of a row; the empty text where the field is empty.
    [[nodiscard]] virtual QString text(int row, int field) const = 0;

    // Called before a report command shows anything: the owner settles what is pending, or throws to stop it.
    virtual void prepare() {}
    // Called before the first row is read: the owner keeps everything else from moving or changing the rows
    // until renderEnded().
    virtual void renderStarted() {}
    // Called once the renderer is done with the rows, also after a cancel or an error. lastRow is the last row
    // the renderer reached, -1 where no row was read (empty selection); the contact query ignores it and keeps
    // its current row.
    virtual void renderEnded(int lastRow) { (void)lastRow; }

    // Conveniences over the above (a subclass brings them into scope with `using RecordSource::text;`).
    [[nodiscard]] bool hasField(const QString& name) const { return fieldIndex(name) >= 0; }
    [[nodiscard]] QString text(int row, const QString& fieldName) const;
};

// Rows held in memory: for tests, benchmarks and small fixed lists.
class MemoryRecordSource : public RecordSource
{
public:
    explicit MemoryRecordSource(QStringList fieldNames, std::vector<QStringList> rows = {});

    // A row may be shorter than the field list: the missing fields are empty.
    void addRow(QStringList values) { m_rows.push_back(std::move(values)); }
    // The twenty fields of a contact, in the contact table's order.
    [[nodiscard]] static QStringList contactFields();

    [[nodiscard]] int rowCount() const override { return static_cast<int>(m_rows.size()); }
    [[nodiscard]] int fieldIndex(const QString& name) const override;
    [[nodiscard]] QString text(int row, int field) const override;
    using RecordSource::text;

    void renderStarted() override;
    void renderEnded(int lastRow) override;

    // What the renderer told the source, for tests.
    [[nodiscard]] bool rendering() const { return m_rendering; }
    [[nodiscard]] int currentRow() const { return m_currentRow; }
    void setCurrentRow(int row) { m_currentRow = row; }

private:
    QStringList m_fields;
    std::vector<QStringList> m_rows;
    bool m_rendering = false;
    int m_currentRow = -1;
};

} // namespace reports

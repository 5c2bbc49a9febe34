#pragma once

#include "data/DataSource.h"

#include <QLineEdit>
#include <QMetaObject>
#include <functional>

namespace data {

// Ties one control to one field of the current row of a data source's dataset. The owner is told (through the
// callback) whenever what it shows may have changed: another row, the row's values, its state, the dataset
// opened, closed or replaced.
class FieldLink : public QObject
{
    Q_OBJECT
public:
    explicit FieldLink(std::function<void()> changed, QObject* parent = nullptr);

    void setDataSource(DataSource* source);
    [[nodiscard]] DataSource* dataSource() const { return m_source; }
    void setDataField(const QString& field);
    [[nodiscard]] const QString& dataField() const { return m_field; }

    [[nodiscard]] Dataset* dataset() const { return m_source ? m_source->dataset() : nullptr; }
    // -1 without a dataset or when the dataset has no such field.
    [[nodiscard]] int fieldIndex() const;
    [[nodiscard]] const FieldDef* field() const;
    // True when the dataset is open, so the control may show a row and take typing.
    [[nodiscard]] bool isActive() const;
    // The stored text of the field on the current row; empty without one.
    [[nodiscard]] QString currentText() const;

private:
    void attach();

    std::function<void()> m_changed;
    QPointer<DataSource> m_source;
    QString m_field;
    QMetaObject::Connection m_sourceConnection;
    QList<QMetaObject::Connection> m_connections;
};

// A line edit bound to one field of the current row. It shows the field, accepts at most the field's maximum
// length, and typing puts the row into editing. A date field shows and takes the short date; text that is not a
// date stays in the box (the row keeps its former date) until the box is left or the row is saved, and is then
// refused with an error while the box keeps the text for correction.
class DBEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit DBEdit(QWidget* parent = nullptr);
    ~DBEdit() override;

    void setDataSource(DataSource* source) { m_link.setDataSource(source); }
    [[nodiscard]] DataSource* dataSource() const { return m_link.dataSource(); }
    void setDataField(const QString& field) { m_link.setDataField(field); }
    [[nodiscard]] const QString& dataField() const { return m_link.dataField(); }

    // True while the box holds typed text that is not yet in the row (a date being typed).
    [[nodiscard]] bool hasPendingText() const { return m_pending; }

    // Writes typed text that is not yet in the row; throws platform::AppError when it is not a valid value.
    void commit();

    // Before the current row of dataset is saved or left: every bound box with text not yet in the row writes it.
    // Throws on the first box whose text is refused, after giving that box the focus with its text kept.
    static void updateRecord(Dataset* dataset);

    // The text a field shows in a box: dates in the short date format.
    [[nodiscard]] static QString displayText(const FieldDef& field, const QString& stored);

protected:
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void refresh();
    void showForCorrection();
    void typed(const QString& text);
    [[nodiscard]] bool isDateField() const;

    FieldLink m_link;
    bool m_writing = false; // our own write is on its way through the dataset: do not show it back
    bool m_pending = false;
    int m_pendingRow = -1;
};

} // namespace data

#pragma once

#include "data/widgets/DBEdit.h"

#include <QPlainTextEdit>

namespace data {

// A multi-line box bound to one memo field of the current row; typing puts the row into editing.
// Tab moves on to the next control rather than typing a tab.
class DBMemo : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit DBMemo(QWidget* parent = nullptr);

    void setDataSource(DataSource* source) { m_link.setDataSource(source); }
    [[nodiscard]] DataSource* dataSource() const { return m_link.dataSource(); }
    void setDataField(const QString& field) { m_link.setDataField(field); }
    [[nodiscard]] const QString& dataField() const { return m_link.dataField(); }

private:
    void refresh();
    void typed();

    FieldLink m_link;
    bool m_writing = false;    // our own write is on its way through the dataset
    bool m_refreshing = false; // the text is being set from the row, not typed
};

} // namespace data

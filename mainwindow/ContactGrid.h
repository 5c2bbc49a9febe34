#pragma once

#include "data/DataSource.h"

#include <QHeaderView>
#include <QMap>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>

namespace data {
class DatasetModel;
}

namespace mainwindow {

// In-place editors of the contact grid: a line edit limited to the field's length, or, for a column with a pick
// list, an editable drop-down that still takes any text. The first change typed puts the row into editing.
class GridCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    GridCellDelegate(data::DatasetModel* model, data::DataSource* source, QObject* parent = nullptr);

    void setPickList(int column, const QStringList& entries) { m_pickLists[column] = entries; }
    [[nodiscard]] QStringList pickList(int column) const { return m_pickLists.value(column); }
    // The editor open at the moment, if any.
    [[nodiscard]] QWidget* openEditor() const { return m_editor; }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

    bool eventFilter(QObject* editor, QEvent* event) override;

signals:
    void cellTyped() const;
    // Ctrl+Tab (forward) or Ctrl+Shift+Tab in an editor: what it holds is kept and the focus leaves the grid.
    void leaveRequested(bool forward) const;

private:
    data::DatasetModel* m_model;
    data::DataSource* m_source;
    QMap<int, QStringList> m_pickLists;
    mutable QPointer<QWidget> m_editor;
};

// The title row: a pointing hand over the titles, the resize arrow over the column borders.
class GridTitleHeader : public QHeaderView
{
    Q_OBJECT
public:
    explicit GridTitleHeader(QWidget* parent = nullptr);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
};

// The indicator column: a fixed narrow width, so a moving current row never makes the header measure its rows.
class GridIndicatorHeader : public QHeaderView
{
    Q_OBJECT
public:
    explicit GridIndicatorHeader(QWidget* parent = nullptr);
    [[nodiscard]] QSize sizeHint() const override;
};

// A grid over a dataset: one row per row of the result, the current row of the grid is the current row of the
// dataset in both directions, and the keys of the classic data grid: Insert adds a row, moving down past the last
// row appends one, Esc abandons the row's edit, Delete (or Ctrl+Delete) deletes after a question, and a new row left
// without any change is dropped when the focus leaves the grid for another control of its window. Arrows, Tab and
// Shift+Tab move between cells (Tab on from a row's last cell to the next row); Ctrl+Tab and Ctrl+Shift+Tab leave
// the grid for the window's other controls.
class ContactGrid : public QTableView
{
    Q_OBJECT
public:
    explicit ContactGrid(data::DataSource* source, QWidget* parent = nullptr);
    ~ContactGrid() override;

    [[nodiscard]] data::DatasetModel* datasetModel() const { return m_model; }
    [[nodiscard]] GridCellDelegate* cellDelegate() const { return m_delegate; }
    // Whether an in-place editor is open.
    [[nodiscard]] bool isEditing() const { return state() == EditingState; }
    // Writes what an open in-place editor holds into the row, as leaving the cell would.
    void commitOpenEditor();
    // Puts the focus on the current row's first cell with its editor open, as for a row just added.
    void editFirstCell();

signals:
    void titleClicked(int column);
    void gridDoubleClicked();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    [[nodiscard]] data::Dataset* dataset() const { return m_source->dataset(); }
    [[nodiscard]] bool contains(const QWidget* widget) const;
    void followDataset();
    void followLater();
    void gridRowChanged(const QModelIndex& current);
    void startRowEdit();
    void focusMoved(QWidget* old, QWidget* now);
    // Tab and Shift+Tab: the next or previous cell of the row, then on to the next or previous row; past the last
    // row's last cell a new row is added. openEditor: the editor opens on a cell reached in the same row.
    void moveAlongRow(bool forward, bool openEditor);
    void leaveGrid(bool forward);

    data::DataSource* m_source;
    data::DatasetModel* m_model;
    GridCellDelegate* m_delegate = nullptr;
    // A click on the cell that is already current opens its editor once no double click can follow; a key typed
    // before then opens it at once and goes into it.
    QTimer m_clickEdit;
    QPersistentModelIndex m_clickEditIndex;
    bool m_pressedOnSelected = false;
    int m_structural = 0; // inside a change of the model's rows: the grid's current row is not the user's choice
    bool m_following = false;
    bool m_followPending = false;
};

} // namespace mainwindow

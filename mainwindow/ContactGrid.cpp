#include "mainwindow/ContactGrid.h"

#include "data/widgets/DBNavigator.h"
#include "data/widgets/DatasetModel.h"
#include "mainwindow/MainWindowHints.h"
#include "platform/ui/ErrorBox.h"
#include "platform/Services.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>

namespace mainwindow {

GridCellDelegate::GridCellDelegate(data::DatasetModel* model, data::DataSource* source, QObject* parent)
    : QStyledItemDelegate(parent), m_model(model), m_source(source)
{
}

QWidget* GridCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const
{
    QWidget* editor = nullptr;
    QLineEdit* line = nullptr;
    const auto list = m_pickLists.constFind(index.column());
    if (list != m_pickLists.constEnd()) {
        auto* combo = new QComboBox(parent);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setCompleter(nullptr); // free text stays as typed, never completed to an entry
        combo->addItems(*list);
        // The list drops down as wide as its longest entry, however narrow the column.
        QAbstractItemView* view = combo->view();
        int width = view->sizeHintForColumn(0) + 2 * view->frameWidth();
        if (combo->count() > combo->maxVisibleItems())
            width += view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view);
        view->setMinimumWidth(width);
        connect(combo, &QComboBox::activated, this, &GridCellDelegate::cellTyped);
        line = combo->lineEdit();
        editor = combo;
    } else {
        line = new QLineEdit(parent);
        line->setFrame(false);
        editor = line;
    }
    const int field = m_model->fieldOfColumn(index.column());
    const auto* dataset = m_source->dataset();
    if (field >= 0 && dataset && dataset->fields()[field].size > 0)
        line->setMaxLength(dataset->fields()[field].size);
    connect(line, &QLineEdit::textEdited, this, &GridCellDelegate::cellTyped);
    const QString title = m_model->headerData(index.column(), Qt::Horizontal, Qt::DisplayRole).toString();
    line->setProperty(HintRouter::FieldNameProperty, title);
    line->setAccessibleName(title);
    m_editor = editor;
    return editor;
}

void GridCellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    const QString text = index.data(Qt::EditRole).toString();
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        if (combo->currentText() != text)
            combo->setEditText(text);
    } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        if (line->text() != text)
            line->setText(text);
    }
}

void GridCellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    QString text;
    if (auto* combo = qobject_cast<QComboBox*>(editor))
        text = combo->currentText();
    else if (auto* line = qobject_cast<QLineEdit*>(editor))
        text = line->text();
    // An editor left as it was changes nothing, so a new row stays untouched.
    if (text != index.data(Qt::EditRole).toString())
        model->setData(index, text, Qt::EditRole);
}

bool GridCellDelegate::eventFilter(QObject* editor, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && editor->isWidgetType()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
            (key->modifiers() & Qt::ControlModifier)) {
            auto* widget = static_cast<QWidget*>(editor);
            emit commitData(widget);
            emit closeEditor(widget, NoHint);
            emit leaveRequested(key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(editor, event);
}

void GridCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt(option);
    // The current cell in a dark blue that white text reads well on (over 7:1); while the focus is elsewhere, a
    // pale one with black text and an outline, so that where the grid's focus is stays plain to see.
    const bool focused = option.widget && option.widget->hasFocus();
    if (opt.state & QStyle::State_Selected) {
        const QColor fill = focused ? QColor(0x1A, 0x4F, 0x7A) : QColor(0xD6, 0xE4, 0xF0);
        const QColor text = focused ? QColor(Qt::white) : QColor(Qt::black);
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            opt.palette.setColor(group, QPalette::Highlight, fill);
            opt.palette.setColor(group, QPalette::HighlightedText, text);
        }
    }
    QStyledItemDelegate::paint(painter, opt, index);
    if ((opt.state & QStyle::State_Selected) && !focused) {
        painter->save();
        painter->setPen(QColor(0x1A, 0x4F, 0x7A));
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
        painter->restore();
    }
}

GridTitleHeader::GridTitleHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(true);
    setHighlightSections(false);
    setCursor(Qt::PointingHandCursor);
}

void GridTitleHeader::mouseMoveEvent(QMouseEvent* event)
{
    // The base class puts up the resize arrow over a border only while no cursor of our own is set.
    const bool hovering = event->buttons() == Qt::NoButton;
    if (hovering)
        unsetCursor();
    QHeaderView::mouseMoveEvent(event);
    if (hovering && cursor().shape() != Qt::SplitHCursor)
        setCursor(Qt::PointingHandCursor);
}

GridIndicatorHeader::GridIndicatorHeader(QWidget* parent) : QHeaderView(Qt::Vertical, parent)
{
    setSectionResizeMode(QHeaderView::Fixed);
    setSectionsClickable(false);
    setDefaultAlignment(Qt::AlignCenter);
}

QSize GridIndicatorHeader::sizeHint() const
{
    return QSize(fontMetrics().horizontalAdvance(QStringLiteral("\u25B6")) + 8, defaultSectionSize());
}

ContactGrid::ContactGrid(data::DataSource* source, QWidget* parent) : QTableView(parent), m_source(source)
{
    m_model = new data::DatasetModel(source, this);
    // Connected before the view's own handlers: while rows come and go, the grid's current row moves by itself.
    auto begin = [this] { ++m_structural; };
    auto end = [this] { --m_structural; };
    connect(m_model, &QAbstractItemModel::rowsAboutToBeInserted, this, begin);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, end);
    connect(m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this, begin);
    // A row given up (Cancel on a new row) takes what was typed in it along: the view would otherwise write the
    // open editor into the row that takes its place.
    connect(m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this](const QModelIndex&, int first, int last) {
        QWidget* editor = m_delegate ? m_delegate->openEditor() : nullptr;
        const int row = currentIndex().row();
        if (editor && state() == EditingState && row >= first && row <= last)
            QTableView::closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
    });
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, end);
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, begin);
    connect(m_model, &QAbstractItemModel::modelReset, this, end);
    connect(m_model, &QAbstractItemModel::layoutAboutToBeChanged, this, begin);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, end);

    setHorizontalHeader(new GridTitleHeader(this));
    setVerticalHeader(new GridIndicatorHeader(this));
    setModel(m_model);
    m_delegate = new GridCellDelegate(m_model, source, this);
    setItemDelegate(m_delegate);
    // No SelectedClicked: the view would swallow every key typed while it waits to see whether a double click
    // follows. The click on the current cell is handled here instead (m_clickEdit).
    setEditTriggers(AnyKeyPressed | EditKeyPressed);
    m_clickEdit.setSingleShot(true);
    connect(&m_clickEdit, &QTimer::timeout, this, [this] {
        if (m_clickEditIndex.isValid() && m_clickEditIndex == currentIndex() && state() != EditingState)
            edit(currentIndex());
    });
    setSelectionMode(SingleSelection);
    setSelectionBehavior(SelectItems);
    // Tab moves from cell to cell as in any grid that is typed into (event()); Ctrl+Tab leaves the grid, so it is
    // no trap for a keyboard user.
    setTabKeyNavigation(false);
    setAccessibleName(QStringLiteral("Contacts"));
    setAccessibleDescription(QStringLiteral("Tab and Shift+Tab move from cell to cell and on to the next row; "
                                            "Ctrl+Tab and Ctrl+Shift+Tab leave the list"));
    setWordWrap(false);
    viewport()->setCursor(Qt::ArrowCursor);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);

    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { gridRowChanged(current); });
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &ContactGrid::titleClicked);
    connect(horizontalHeader(), &QHeaderView::sectionDoubleClicked, this, &ContactGrid::gridDoubleClicked);
    connect(m_delegate, &GridCellDelegate::cellTyped, this, &ContactGrid::startRowEdit);
    connect(m_delegate, &GridCellDelegate::leaveRequested, this, &ContactGrid::leaveGrid, Qt::QueuedConnection);
    connect(qApp, &QApplication::focusChanged, this, &ContactGrid::focusMoved);
    auto attach = [this](data::Dataset* d) {
        if (d)
            connect(d, &data::Dataset::currentChanged, this, &ContactGrid::followLater, Qt::UniqueConnection);
    };
    connect(source, &data::DataSource::datasetChanged, this, attach);
    attach(source->dataset());
}

ContactGrid::~ContactGrid()
{
    // The grid may hold the focus while it is destroyed: the focus change that follows must not reach it.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
}

bool ContactGrid::contains(const QWidget* widget) const
{
    return widget == this || isAncestorOf(widget);
}

void ContactGrid::commitOpenEditor()
{
    QWidget* editor = m_delegate->openEditor();
    if (editor && state() == EditingState) {
        commitData(editor);
        QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void ContactGrid::editFirstCell()
{
    const data::Dataset* d = dataset();
    if (!d || d->currentRow() < 0 || d->currentRow() >= m_model->rowCount())
        return;
    const QModelIndex first = m_model->index(d->currentRow(), horizontalHeader()->logicalIndex(0));
    setFocus(Qt::OtherFocusReason);
    m_following = true;
    setCurrentIndex(first);
    m_following = false;
    edit(first);
}

void ContactGrid::followDataset()
{
    const data::Dataset* d = dataset();
    if (!d || m_structural)
        return;
    const int row = d->currentRow();
    const QModelIndex current = currentIndex();
    if (row < 0 || row >= m_model->rowCount() || (current.isValid() && current.row() == row))
        return;
    // An editor still open on another row is closed without writing into the new current row.
    if (QWidget* editor = m_delegate->openEditor(); editor && state() == EditingState)
        QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    m_following = true;
    setCurrentIndex(m_model->index(row, current.isValid() ? current.column() : 0));
    m_following = false;
}

// The grid catches up with the dataset's current row once the moving is over: a report walking every row of the
// result moves it many thousand times in one go, and the grid need not scroll along each step.
void ContactGrid::followLater()
{
    if (m_followPending)
        return;
    m_followPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_followPending = false;
            followDataset();
        },
        Qt::QueuedConnection);
}

void ContactGrid::gridRowChanged(const QModelIndex& current)
{
    data::Dataset* d = dataset();
    if (m_structural || m_following || !current.isValid() || !d || !d->isOpen())
        return;
    if (current.row() != d->currentRow())
        platform::guard([&] { d->moveTo(current.row()); });
    // After a refused move (a save that failed, a report that holds the rows) the grid goes back to the dataset.
    followDataset();
}

void ContactGrid::startRowEdit()
{
    data::Dataset* d = dataset();
    if (d && d->state() == data::Dataset::State::Browse)
        platform::guard([&] { d->edit(); });
}

void ContactGrid::focusMoved(QWidget* old, QWidget* now)
{
    if (!old || !now || !contains(old) || contains(now) || now->window() != window())
        return;
    data::Dataset* d = dataset();
    if (d && d->state() == data::Dataset::State::Insert && !d->isModified())
        platform::guard([&] { d->cancel(); });
}

bool ContactGrid::event(QEvent* event)
{
    // Tab is taken before the widget would move the focus with it; with Ctrl it leaves (keyPressEvent).
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && currentIndex().isValid()) {
            m_clickEdit.stop();
            moveAlongRow(key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier), false);
            return true;
        }
    }
    return QTableView::event(event);
}

void ContactGrid::moveAlongRow(bool forward, bool openEditor)
{
    const QModelIndex current = currentIndex();
    data::Dataset* d = dataset();
    if (!current.isValid() || !d || !d->isOpen())
        return;
    const QHeaderView* header = horizontalHeader();
    const int step = forward ? 1 : -1;
    auto shown = [&](int from) {
        int visual = from;
        while (visual >= 0 && visual < header->count() && header->isSectionHidden(header->logicalIndex(visual)))
            visual += step;
        return visual >= 0 && visual < header->count() ? header->logicalIndex(visual) : -1;
    };
    const int row = current.row();
    int column = shown(header->visualIndex(current.column()) + step);
    int toRow = row;
    if (column < 0) {
        column = shown(forward ? 0 : header->count() - 1);
        toRow = row + step;
        if (column < 0 || toRow < 0)
            return;
        if (toRow >= m_model->rowCount()) {
            // Past the last row's last cell: a new row, as moving down from the last row adds one; an untouched
            // new row stays the one to type into.
            if (d->state() == data::Dataset::State::Insert && !d->isModified())
                return;
            if (platform::guard([&] { d->append(); }))
                QMetaObject::invokeMethod(this, &ContactGrid::editFirstCell, Qt::QueuedConnection);
            return;
        }
    }
    const QModelIndex target = m_model->index(toRow, column);
    setCurrentIndex(target); // another row is saved first, as any move saves it; refused, the grid stays
    if (openEditor && toRow == row && currentIndex() == target)
        edit(target);
}

void ContactGrid::leaveGrid(bool forward)
{
    commitOpenEditor();
    QTableView::focusNextPrevChild(forward); // Tab navigation inside the grid is off, so this leaves it
}

void ContactGrid::keyPressEvent(QKeyEvent* event)
{
    // A key ends the wait for a double click: a character opens the editor now and is its first character.
    m_clickEdit.stop();
    data::Dataset* d = dataset();
    const auto mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && (mods & Qt::ControlModifier)) {
        leaveGrid(key == Qt::Key_Tab && !(mods & Qt::ShiftModifier));
        event->accept();
        return;
    }
    if (!d || !d->isOpen()) {
        QTableView::keyPressEvent(event);
        return;
    }
    if (key == Qt::Key_Insert && mods == Qt::NoModifier) {
        commitOpenEditor();
        platform::guard([&] { d->insert(); });
    } else if (key == Qt::Key_Delete && (mods == Qt::ControlModifier || mods == Qt::NoModifier) &&
               state() != EditingState) {
        commitOpenEditor();
        if (d->recordCount() == 0 && d->state() != data::Dataset::State::Insert) {
            event->accept(); // nothing to delete: no question that can only fail
            return;
        }
        platform::guard([&] {
            if (platform::prompts().message(window(), QStringLiteral("Confirm"), data::deleteQuestion(d),
                                            platform::Icon::Question,
                                            platform::Buttons::OkCancel) == platform::Answer::Ok)
                d->remove();
        });
    } else if (key == Qt::Key_Escape && mods == Qt::NoModifier) {
        platform::guard([&] { d->cancel(); });
    } else if (key == Qt::Key_Down && mods == Qt::NoModifier && d->currentRow() >= d->recordCount() - 1) {
        // Down from the last row adds a row, unless that row is itself a new one still untouched.
        commitOpenEditor();
        if (!(d->state() == data::Dataset::State::Insert && !d->isModified()))
            platform::guard([&] { d->append(); });
    } else if ((key == Qt::Key_Return || key == Qt::Key_Enter) && state() != EditingState) {
        event->ignore(); // the window's default button takes it
        return;
    } else {
        QTableView::keyPressEvent(event);
        return;
    }
    event->accept();
}

void ContactGrid::mousePressEvent(QMouseEvent* event)
{
    m_clickEdit.stop();
    const QModelIndex index = indexAt(event->position().toPoint());
    m_pressedOnSelected = index.isValid() && selectionModel()->isSelected(index);
    m_clickEditIndex = index;
    QTableView::mousePressEvent(event);
}

void ContactGrid::mouseReleaseEvent(QMouseEvent* event)
{
    QTableView::mouseReleaseEvent(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && m_pressedOnSelected && index.isValid() && index == m_clickEditIndex &&
        state() != EditingState)
        m_clickEdit.start(QApplication::doubleClickInterval());
    m_pressedOnSelected = false;
}

void ContactGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    m_clickEdit.stop();
    event->accept();
    emit gridDoubleClicked();
}

void ContactGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    // Tab in a cell's editor keeps what was typed and goes on to the next cell, whose editor opens while the row
    // is the same: a contact is typed field after field.
    if (hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem) {
        QTableView::closeEditor(editor, QAbstractItemDelegate::SubmitModelCache);
        moveAlongRow(hint == QAbstractItemDelegate::EditNextItem, true);
        return;
    }
    QTableView::closeEditor(editor, hint);
    // Esc in a cell abandons the whole row's edit, as Esc in the grid does.
    if (hint == QAbstractItemDelegate::RevertModelCache) {
        data::Dataset* d = dataset();
        if (d && d->isOpen())
            platform::guard([&] { d->cancel(); });
    }
}

} // namespace mainwindow

#include "widgets/DBGrid.h"

#include "db/DataSet.h"
#include "db/DataSource.h"
#include "db/Errors.h"
#include "db/Field.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

namespace platform::widgets {

using db::DataSet;

// ----------------------------------------------------------- DBGridDelegate

DBGridDelegate::DBGridDelegate(DBGrid* grid)
    : QStyledItemDelegate(grid)
    , m_grid(grid) {}

void DBGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    if (m_grid->m_ownerDraw && index.isValid()) {
        const DataSetModel* model = m_grid->m_model;
        DrawCellArgs args;
        args.painter = painter;
        args.rect = option.rect;
        args.row = index.row();
        args.columnIndex = index.column();
        args.column = &model->column(index.column());
        args.field = model->fieldAt(index.column());
        if (args.field && model->dataSet())
            args.value = model->dataSet()->valueAt(index.row(), args.field);
        args.selected = option.state & QStyle::State_Selected;
        args.current = m_grid->currentIndex() == index;
        args.option = &option;
        args.index = index;
        if (m_grid->drawColumnCell(args))
            return;
    }
    QStyledItemDelegate::paint(painter, option, index);
}

// ------------------------------------------------------------------- DBGrid

DBGrid::DBGrid(QWidget* parent)
    : QTableView(parent)
    , m_model(new DataSetModel(this))
    , m_delegate(new DBGridDelegate(this)) {
    setModel(m_model);
    setItemDelegate(m_delegate);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setWordWrap(false);
    setCornerButtonEnabled(false);

    QHeaderView* rows = verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(4);
    rows->setDefaultSectionSize(fontMetrics().height() + 6);
    rows->setSectionsClickable(true);
    rows->setFixedWidth(fontMetrics().horizontalAdvance(DataSetModel::browseMarker()) + 12);

    QHeaderView* titles = horizontalHeader();
    titles->setSectionsMovable(true);
    titles->setHighlightSections(false);
    titles->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    titles->viewport()->installEventFilter(this);

    connect(m_model, &DataSetModel::currentRowChanged, this, &DBGrid::followDataSet);
    connect(m_model, &DataSetModel::operationFailed, this, &DBGrid::operationFailed);
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, &DBGrid::onAboutToReset);
    connect(m_model, &QAbstractItemModel::modelReset, this, &DBGrid::onReset);
}

DBGrid::~DBGrid() = default;

void DBGrid::setDataSource(db::DataSource* source) {
    m_model->setDataSource(source);
}

void DBGrid::setColumns(const QVector<GridColumn>& columns) {
    m_applyDefinitions = true;
    m_model->setColumns(columns);
}

int DBGrid::columnOfField(const QString& fieldName) const {
    const auto& cols = m_model->columns();
    for (int i = 0; i < cols.size(); ++i)
        if (cols[i].fieldName.compare(fieldName, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

// ------------------------------------------------------------------ layout

QVector<int> DBGrid::columnOrder() const {
    QVector<int> order;
    const QHeaderView* h = horizontalHeader();
    for (int v = 0; v < h->count(); ++v)
        order << h->logicalIndex(v);
    return order;
}

void DBGrid::setColumnOrder(const QVector<int>& order) {
    QHeaderView* h = horizontalHeader();
    int position = 0;
    for (int column : order) {
        if (column < 0 || column >= h->count() || h->visualIndex(column) < position)
            continue; // out of range, or listed twice
        h->moveSection(h->visualIndex(column), position);
        ++position;
    }
}

int DBGrid::columnPosition(int column) const {
    return horizontalHeader()->visualIndex(column);
}

void DBGrid::moveColumn(int column, int position) {
    QHeaderView* h = horizontalHeader();
    if (column < 0 || column >= h->count() || position < 0 || position >= h->count())
        return;
    h->moveSection(h->visualIndex(column), position);
}

QVector<int> DBGrid::columnWidths() const {
    QVector<int> widths;
    for (int i = 0; i < horizontalHeader()->count(); ++i)
        widths << horizontalHeader()->sectionSize(i);
    return widths;
}

void DBGrid::setColumnWidths(const QVector<int>& widths) {
    const int count = std::min(int(widths.size()), horizontalHeader()->count());
    for (int i = 0; i < count; ++i)
        if (widths[i] > 0)
            setColumnWidth(i, widths[i]);
}

int DBGrid::defaultColumnWidth(int column) const {
    const GridColumn& c = m_model->column(column);
    if (c.width > 0)
        return c.width;
    const QFontMetrics cellMetrics(c.font ? *c.font : font());
    const QFontMetrics titleMetrics(horizontalHeader()->font());
    const int title = titleMetrics.horizontalAdvance(m_model->titleAt(column)) + 12;
    const db::Field* f = m_model->fieldAt(column);
    const int chars = f ? f->displayWidth() : 8;
    const int cells = std::min(chars * cellMetrics.averageCharWidth() + 8, 400);
    return std::max(title, cells);
}

void DBGrid::applyColumnDefinitions() {
    for (int i = 0; i < columnCount(); ++i) {
        setColumnHidden(i, !m_model->column(i).visible);
        setColumnWidth(i, defaultColumnWidth(i));
    }
}

void DBGrid::onAboutToReset() {
    m_savedFields.clear();
    for (const GridColumn& c : m_model->columns())
        m_savedFields << c.fieldName.toUpper();
    m_savedHeader = horizontalHeader()->saveState();
}

void DBGrid::onReset() {
    QStringList fields;
    for (const GridColumn& c : m_model->columns())
        fields << c.fieldName.toUpper();
    // A reopened dataset with the same columns keeps the user's order and widths.
    const bool same = !m_applyDefinitions && !fields.isEmpty() && fields == m_savedFields;
    bool restored = same && horizontalHeader()->restoreState(m_savedHeader);
    if (restored) {
        // The dataset may have come back with fields it did not have before.
        for (int i = 0; i < columnCount(); ++i)
            if (horizontalHeader()->sectionSize(i) <= 0 && !isColumnHidden(i))
                setColumnWidth(i, defaultColumnWidth(i));
    } else if (!fields.isEmpty()) {
        applyColumnDefinitions();
        // Widths from fields are known once the dataset is open.
        m_applyDefinitions = !m_model->isActive();
    }
    followDataSet();
}

// ----------------------------------------------------------------- options

void DBGrid::setShowIndicator(bool show) {
    m_indicator = show;
    verticalHeader()->setVisible(show);
}

void DBGrid::setRowSelect(bool rowSelect) {
    m_rowSelect = rowSelect;
    setSelectionBehavior(rowSelect ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
    followDataSet();
}

void DBGrid::setReadOnly(bool readOnly) {
    m_model->setReadOnly(readOnly);
    setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers
                             : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                   QAbstractItemView::AnyKeyPressed);
}

void DBGrid::setDrawCellHandler(DrawCellHandler handler) {
    m_drawCell = std::move(handler);
    m_ownerDraw = bool(m_drawCell);
    viewport()->update();
}

bool DBGrid::drawColumnCell(const DrawCellArgs& args) {
    return m_drawCell && m_drawCell(args);
}

void DBGrid::defaultDrawCell(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    m_delegate->QStyledItemDelegate::paint(painter, option, index);
}

// ------------------------------------------------------- cursor, selection

void DBGrid::followDataSet() {
    if (m_following || !selectionModel())
        return;
    const DataSet* ds = m_model->isActive() ? m_model->dataSet() : nullptr;
    const int row = ds ? ds->currentRow() : -1;
    if (row < 0 || row >= m_model->rowCount() || columnCount() == 0)
        return;
    const QModelIndex current = currentIndex();
    int column = current.isValid() ? current.column() : -1;
    if (column < 0 || isColumnHidden(column)) {
        column = 0;
        for (int v = 0; v < horizontalHeader()->count(); ++v) {
            const int logical = horizontalHeader()->logicalIndex(v);
            if (!isColumnHidden(logical)) {
                column = logical;
                break;
            }
        }
    }
    const QModelIndex target = m_model->index(row, column);
    m_following = true;
    QItemSelectionModel::SelectionFlags command = QItemSelectionModel::ClearAndSelect;
    if (m_rowSelect)
        command |= QItemSelectionModel::Rows;
    selectionModel()->setCurrentIndex(target, command);
    m_following = false;
    scrollTo(target);
}

void DBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (m_following || m_model->isUpdating() || !current.isValid() || !m_model->isActive())
        return;
    DataSet* ds = m_model->dataSet();
    if (current.row() == ds->currentRow())
        return;
    m_following = true;
    bool moved = false;
    try {
        ds->setCurrentRow(current.row());
        moved = true;
    } catch (const db::Abort&) {
    } catch (const db::Error& e) {
        m_following = false;
        Q_EMIT operationFailed(e.message());
    }
    m_following = false;
    if (!moved || ds->currentRow() != current.row()) {
        // Refused: the selection goes back to the dataset's row, now and
        // once more after the mouse or key handling that is under way.
        followDataSet();
        QTimer::singleShot(0, this, &DBGrid::followDataSet);
    }
}

bool DBGrid::wouldOpenEditor(EditTrigger trigger, const QEvent* event) const {
    if (trigger == QAbstractItemView::AllEditTriggers)
        return true;
    if (!(editTriggers() & trigger))
        return false;
    if (trigger == QAbstractItemView::AnyKeyPressed) {
        if (!event || event->type() != QEvent::KeyPress)
            return false;
        const QString text = static_cast<const QKeyEvent*>(event)->text();
        return !text.isEmpty() && text.at(0).isPrint();
    }
    return true;
}

bool DBGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (state() != QAbstractItemView::EditingState && index.isValid() &&
        (m_model->flags(index) & Qt::ItemIsEditable) && wouldOpenEditor(trigger, event)) {
        // The dataset decides first: a refusal keeps the editor closed.
        DataSet* ds = m_model->dataSet();
        bool ok = false;
        m_following = true;
        try {
            if (ds->currentRow() != index.row())
                ds->setCurrentRow(index.row());
            if (ds->currentRow() == index.row()) {
                ds->edit();
                ok = ds->isEditing();
            }
        } catch (const db::Abort&) {
        } catch (const db::Error& e) {
            m_following = false;
            Q_EMIT operationFailed(e.message());
        }
        m_following = false;
        if (!ok) {
            followDataSet();
            return false;
        }
    }
    return QTableView::edit(index, trigger, event);
}

// ------------------------------------------------------------ title clicks

bool DBGrid::eventFilter(QObject* watched, QEvent* event) {
    QHeaderView* h = horizontalHeader();
    if (watched == h->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            auto* e = static_cast<QMouseEvent*>(event);
            const int column = h->logicalIndexAt(e->position().toPoint());
            if (column >= 0) {
                m_pressedTitle = column;
                m_pressedButton = e->button();
                m_pressedModifiers = e->modifiers();
            }
            break;
        }
        case QEvent::MouseMove:
            if (m_pressedTitle >= 0) {
                const auto* e = static_cast<QMouseEvent*>(event);
                const QPoint p = e->position().toPoint();
                if (!h->viewport()->rect().contains(p) || h->logicalIndexAt(p) != m_pressedTitle)
                    m_pressedTitle = -1;
            }
            break;
        case QEvent::MouseButtonRelease: {
            const auto* e = static_cast<QMouseEvent*>(event);
            const QPoint p = e->position().toPoint();
            const int pressed = m_pressedTitle;
            if (pressed >= 0 && h->viewport()->rect().contains(p) && h->logicalIndexAt(p) == pressed &&
                e->button() == m_pressedButton) {
                m_pressedTitle = -1;
                Q_EMIT titleClicked(pressed, m_pressedButton, m_pressedModifiers);
            } else if (e->buttons() == Qt::NoButton) {
                m_pressedTitle = -1;
            }
            break;
        }
        default:
            break;
        }
    }
    return QTableView::eventFilter(watched, event);
}

} // namespace platform::widgets

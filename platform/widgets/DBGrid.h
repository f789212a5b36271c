#pragma once

// The data grid: a table view over a DataSetModel. The current row follows
// the dataset's cursor and the cursor follows the user's selection; an
// indicator column (the vertical header) marks the current row and its
// editing state; clicks on column titles are reported with the button and
// the keyboard modifiers; cells of any column can be drawn by the program.

#include "PlatformExport.h"
#include "widgets/DataSetModel.h"

#include <QStyledItemDelegate>
#include <QTableView>

#include <functional>

namespace platform::widgets {

class DBGrid;

// What a cell-drawing hook gets.
struct DrawCellArgs {
    QPainter* painter = nullptr;
    QRect rect;
    int row = -1;
    int columnIndex = -1;
    const GridColumn* column = nullptr;
    db::Field* field = nullptr; // null for unbound columns
    QVariant value;             // the field's value in that row
    bool selected = false;
    bool current = false; // the grid's current cell
    const QStyleOptionViewItem* option = nullptr;
    QModelIndex index;
};

// Draws the grid's cells through DBGrid::drawColumnCell when the grid is owner-drawn.
class PLATFORM_EXPORT DBGridDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit DBGridDelegate(DBGrid* grid);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    DBGrid* m_grid;
};

class PLATFORM_EXPORT DBGrid : public QTableView {
    Q_OBJECT

public:
    // Returns true when it drew the cell; false leaves the cell to the default drawing.
    using DrawCellHandler = std::function<bool(const DrawCellArgs&)>;

    explicit DBGrid(QWidget* parent = nullptr);
    ~DBGrid() override;

    using QTableView::edit;

    DataSetModel* dataModel() const { return m_model; }
    db::DataSource* dataSource() const { return m_model->dataSource(); }
    void setDataSource(db::DataSource* source);

    // --- columns (indices count the column definitions, the indicator not included)
    // An empty list shows one column per visible field.
    void setColumns(const QVector<GridColumn>& columns);
    const QVector<GridColumn>& columns() const { return m_model->columns(); }
    int columnCount() const { return int(m_model->columns().size()); }
    const GridColumn& column(int index) const { return m_model->column(index); }
    db::Field* fieldAt(int column) const { return m_model->fieldAt(column); }
    // The column of a field (the first one), -1 when none shows it.
    int columnOfField(const QString& fieldName) const;

    // --- layout: display order and widths
    // Column indices in display order.
    QVector<int> columnOrder() const;
    // Puts the listed columns first, in the given order; the rest follow in their present order.
    void setColumnOrder(const QVector<int>& order);
    int columnPosition(int column) const;
    void moveColumn(int column, int position);
    QVector<int> columnWidths() const;
    // One width per column; 0 or a missing entry leaves that column's width.
    void setColumnWidths(const QVector<int>& widths);

    // --- options
    bool showIndicator() const { return m_indicator; }
    void setShowIndicator(bool show);
    bool rowSelect() const { return m_rowSelect; }
    void setRowSelect(bool rowSelect);
    bool isReadOnly() const { return m_model->isReadOnly(); }
    void setReadOnly(bool readOnly);

    // --- drawing
    void setDrawCellHandler(DrawCellHandler handler);
    // Subclasses that override drawColumnCell switch it on.
    void setOwnerDraw(bool ownerDraw) { m_ownerDraw = ownerDraw; }
    bool ownerDraw() const { return m_ownerDraw; }
    // The standard drawing of a cell, for hooks that draw on top of it.
    void defaultDrawCell(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const;

    // The width a column gets from its definition or its field.
    int defaultColumnWidth(int column) const;

Q_SIGNALS:
    // A mouse button went down and came up on the title of the same column.
    void titleClicked(int column, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    // An error of the dataset while the grid worked on it (the silent abort is not reported).
    void operationFailed(const QString& message);

protected:
    virtual bool drawColumnCell(const DrawCellArgs& args);
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class DBGridDelegate;
    void followDataSet();
    void applyColumnDefinitions();
    void onAboutToReset();
    void onReset();
    bool wouldOpenEditor(EditTrigger trigger, const QEvent* event) const;

    DataSetModel* m_model;
    DBGridDelegate* m_delegate;
    DrawCellHandler m_drawCell;
    bool m_ownerDraw = false;
    bool m_indicator = true;
    bool m_rowSelect = false;
    bool m_following = false;
    bool m_applyDefinitions = true;
    QStringList m_savedFields;
    QByteArray m_savedHeader;
    // The title press: column, button and modifiers (-1: none).
    int m_pressedTitle = -1;
    Qt::MouseButton m_pressedButton = Qt::NoButton;
    Qt::KeyboardModifiers m_pressedModifiers;
};

} // namespace platform::widgets

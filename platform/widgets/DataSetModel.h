#pragma once

// A table model over the dataset of a data source. Rows are those the
// dataset has read so far; the view asks for more (canFetchMore/fetchMore)
// as it scrolls, so a large result is never read whole to be shown. Editing
// goes through the dataset: edit on the row, set the value, post on submit.

#include "PlatformExport.h"
#include "db/DataSource.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QPointer>
#include <QVector>

#include <functional>
#include <optional>

namespace platform::db {
class DataSet;
class DataSource;
class Field;
} // namespace platform::db

namespace platform::widgets {

// One column of a grid.
struct GridColumn {
    QString fieldName; // empty: an unbound column, drawn by the program
    QString title;     // empty: the field's display label
    int width = 0;     // pixels; 0: from the field's display width
    bool visible = true;
    std::optional<QFont> font;    // the cells' font
    Qt::Alignment alignment = {}; // empty: numbers right, the rest left
};

class PLATFORM_EXPORT DataSetModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit DataSetModel(QObject* parent = nullptr);
    ~DataSetModel() override;

    db::DataSource* dataSource() const { return m_source; }
    void setDataSource(db::DataSource* source);
    db::DataSet* dataSet() const;
    // The source is enabled and its dataset open.
    bool isActive() const;

    // The columns; an empty list gives one column per visible field (rebuilt
    // whenever the dataset opens).
    void setColumns(const QVector<GridColumn>& columns);
    bool hasCustomColumns() const { return !m_custom.isEmpty(); }
    const QVector<GridColumn>& columns() const { return m_columns; }
    const GridColumn& column(int index) const { return m_columns[index]; }
    // The field of a column (null for unbound columns and while closed).
    db::Field* fieldAt(int column) const { return m_fields.value(column); }
    QString titleAt(int column) const;

    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);
    // How many rows one fetchMore reads.
    int fetchBatch() const { return m_batch; }
    void setFetchBatch(int rows) { m_batch = std::max(1, rows); }
    // The dataset's current row, as the indicator shows it.
    int currentRow() const { return m_current; }
    // While the model follows a change of the dataset (rows coming or going, a reset).
    bool isUpdating() const { return m_updating > 0; }

    // Markers of the indicator column.
    static QString browseMarker();
    static QString editMarker();
    static QString insertMarker();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    // Posts a pending change of the dataset; revert() cancels it.
    bool submit() override;
    void revert() override;

Q_SIGNALS:
    // The dataset's cursor moved (also after a reset).
    void currentRowChanged(int row);
    // An error of the dataset while the model worked for the view (the silent abort is not reported).
    void operationFailed(const QString& message);

private:
    void connectSource();
    void rebuild();
    void onDataSetChanged();
    void onRowsFetched(int first, int count);
    void onRowInserted(int row);
    void onRowRemoved(int row);
    void onScrolled(int row);
    void onDataChanged(db::Field* field);
    void onStateChanged();
    void fullReset();
    void setIndicatorRow(int row);
    bool guard(const std::function<void()>& operation);

    QPointer<db::DataSource> m_source;
    QList<QMetaObject::Connection> m_connections;
    QVector<GridColumn> m_custom;
    QVector<GridColumn> m_columns;
    QVector<db::Field*> m_fields;
    QVector<int> m_alignments;
    int m_rowCount = 0;
    int m_current = -1;
    int m_batch = 256;
    int m_updating = 0;
    bool m_readOnly = false;
};

} // namespace platform::widgets

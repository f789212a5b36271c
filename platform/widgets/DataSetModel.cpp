#include "widgets/DataSetModel.h"

#include "db/DataSet.h"
#include "db/DataSource.h"
#include "db/Errors.h"
#include "db/Field.h"

namespace platform::widgets {

using db::DataSet;
using db::Field;
using db::FieldType;

namespace {

Qt::Alignment defaultAlignment(const Field* f) {
    if (!f)
        return Qt::AlignLeft | Qt::AlignVCenter;
    switch (f->dataType()) {
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::LargeInt:
    case FieldType::Float:
    case FieldType::Numeric:
        return Qt::AlignRight | Qt::AlignVCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

} // namespace

DataSetModel::DataSetModel(QObject* parent)
    : QAbstractTableModel(parent) {}

DataSetModel::~DataSetModel() = default;

QString DataSetModel::browseMarker() {
    return QStringLiteral("\u25B6");
}
QString DataSetModel::editMarker() {
    return QStringLiteral("\u270E");
}
QString DataSetModel::insertMarker() {
    return QStringLiteral("*");
}

db::DataSet* DataSetModel::dataSet() const {
    return m_source ? m_source->dataSet() : nullptr;
}

bool DataSetModel::isActive() const {
    return m_source && m_source->state() != db::DataSetState::Inactive;
}

void DataSetModel::setDataSource(db::DataSource* source) {
    if (m_source == source)
        return;
    for (const auto& c : m_connections)
        disconnect(c);
    m_connections.clear();
    m_source = source;
    connectSource();
    fullReset();
}

void DataSetModel::connectSource() {
    if (!m_source)
        return;
    db::DataSource* s = m_source;
    using S = db::DataSource;
    m_connections << connect(s, &S::dataSetChanged, this, &DataSetModel::onDataSetChanged)
                  << connect(s, &S::dataChanged, this, &DataSetModel::onDataChanged)
                  << connect(s, &S::stateChanged, this, &DataSetModel::onStateChanged)
                  << connect(s, &S::rowsFetched, this, &DataSetModel::onRowsFetched)
                  << connect(s, &S::rowInserted, this, &DataSetModel::onRowInserted)
                  << connect(s, &S::rowRemoved, this, &DataSetModel::onRowRemoved)
                  << connect(s, &S::scrolled, this, &DataSetModel::onScrolled)
                  << connect(s, &QObject::destroyed, this, [this] {
                         m_source = nullptr;
                         m_connections.clear();
                         fullReset();
                     });
}

void DataSetModel::setColumns(const QVector<GridColumn>& columns) {
    m_custom = columns;
    fullReset();
}

void DataSetModel::setReadOnly(bool readOnly) {
    m_readOnly = readOnly;
}

QString DataSetModel::titleAt(int column) const {
    if (column < 0 || column >= m_columns.size())
        return QString();
    const GridColumn& c = m_columns[column];
    if (!c.title.isEmpty() || c.fieldName.isEmpty())
        return c.title;
    const Field* f = m_fields.value(column);
    return f ? f->displayLabel() : c.fieldName;
}

void DataSetModel::rebuild() {
    DataSet* ds = isActive() ? dataSet() : nullptr;
    if (!m_custom.isEmpty()) {
        m_columns = m_custom;
    } else if (ds) {
        m_columns.clear();
        for (int i = 0; i < ds->fieldCount(); ++i) {
            const Field* f = ds->field(i);
            if (f->isVisible()) {
                GridColumn c;
                c.fieldName = f->fieldName();
                m_columns << c;
            }
        }
    }
    // Without custom columns the last field list is kept while closed, so
    // that a grid keeps its columns over a reopening.
    m_fields.fill(nullptr, m_columns.size());
    m_alignments.resize(m_columns.size());
    for (int i = 0; i < m_columns.size(); ++i) {
        Field* f =
            (ds && !m_columns[i].fieldName.isEmpty()) ? ds->findField(m_columns[i].fieldName) : nullptr;
        m_fields[i] = f;
        const Qt::Alignment a = m_columns[i].alignment ? m_columns[i].alignment : defaultAlignment(f);
        m_alignments[i] = int(a);
    }
    m_rowCount = ds ? ds->rowCount() : 0;
    m_current = ds ? ds->currentRow() : -1;
}

void DataSetModel::fullReset() {
    ++m_updating;
    beginResetModel();
    rebuild();
    endResetModel();
    --m_updating;
    Q_EMIT currentRowChanged(m_current);
}

void DataSetModel::onDataSetChanged() {
    fullReset();
}

void DataSetModel::onRowsFetched(int, int) {
    DataSet* ds = dataSet();
    if (!ds || !isActive())
        return;
    const int count = ds->rowCount();
    if (count <= m_rowCount)
        return;
    ++m_updating;
    beginInsertRows({}, m_rowCount, count - 1);
    m_rowCount = count;
    endInsertRows();
    --m_updating;
}

void DataSetModel::onRowInserted(int row) {
    DataSet* ds = dataSet();
    if (!ds || ds->rowCount() != m_rowCount + 1 || row < 0 || row > m_rowCount) {
        fullReset();
        return;
    }
    ++m_updating;
    beginInsertRows({}, row, row);
    m_rowCount = ds->rowCount();
    if (m_current >= row)
        ++m_current;
    endInsertRows();
    --m_updating;
}

void DataSetModel::onRowRemoved(int row) {
    DataSet* ds = dataSet();
    if (!ds || ds->rowCount() != m_rowCount - 1 || row < 0 || row >= m_rowCount) {
        fullReset();
        return;
    }
    ++m_updating;
    beginRemoveRows({}, row, row);
    m_rowCount = ds->rowCount();
    if (m_current > row)
        --m_current;
    else if (m_current == row)
        m_current = -1;
    endRemoveRows();
    --m_updating;
    // The cursor's new place is told by the dataset (scrolled or record changed).
    setIndicatorRow(ds->currentRow());
}

void DataSetModel::setIndicatorRow(int row) {
    if (row >= m_rowCount)
        row = -1;
    const int old = m_current;
    m_current = row;
    if (old >= 0 && old < m_rowCount && old != row)
        Q_EMIT headerDataChanged(Qt::Vertical, old, old);
    if (row >= 0)
        Q_EMIT headerDataChanged(Qt::Vertical, row, row);
    if (old != row)
        Q_EMIT currentRowChanged(row);
}

void DataSetModel::onScrolled(int row) {
    setIndicatorRow(row);
}

void DataSetModel::onDataChanged(Field* field) {
    DataSet* ds = dataSet();
    if (!ds || !isActive())
        return;
    const int row = ds->currentRow();
    if (row != m_current)
        setIndicatorRow(row);
    if (row < 0 || row >= m_rowCount || m_columns.isEmpty())
        return;
    if (field) {
        for (int c = 0; c < m_fields.size(); ++c)
            if (m_fields[c] == field)
                Q_EMIT dataChanged(index(row, c), index(row, c), {Qt::DisplayRole, Qt::EditRole});
        // Calculated fields may follow any change: redraw the unbound and calculated ones too.
        for (int c = 0; c < m_fields.size(); ++c)
            if (!m_fields[c] || m_fields[c]->kind() != db::FieldKind::Data)
                Q_EMIT dataChanged(index(row, c), index(row, c), {Qt::DisplayRole, Qt::EditRole});
        return;
    }
    Q_EMIT dataChanged(index(row, 0), index(row, int(m_columns.size()) - 1), {Qt::DisplayRole, Qt::EditRole});
}

void DataSetModel::onStateChanged() {
    DataSet* ds = dataSet();
    const int row = ds && isActive() ? ds->currentRow() : -1;
    if (row != m_current)
        setIndicatorRow(row);
    else if (row >= 0 && row < m_rowCount)
        Q_EMIT headerDataChanged(Qt::Vertical, row, row);
}

int DataSetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rowCount;
}

int DataSetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant DataSetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return QVariant();
    const int col = index.column();
    switch (role) {
    case Qt::DisplayRole: {
        const Field* f = m_fields[col];
        if (!f)
            return QVariant();
        return dataSet()->displayTextAt(index.row(), f);
    }
    case Qt::EditRole: {
        const Field* f = m_fields[col];
        if (!f)
            return QVariant();
        return Field::asString(dataSet()->valueAt(index.row(), f), f->dataType(), f->scale());
    }
    case Qt::TextAlignmentRole:
        return m_alignments[col];
    case Qt::FontRole:
        if (m_columns[col].font)
            return *m_columns[col].font;
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        if (role == Qt::DisplayRole)
            return titleAt(section);
        return QVariant();
    }
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole || section != m_current)
        return QVariant();
    const DataSet* ds = dataSet();
    if (ds && ds->state() == db::DataSetState::Insert)
        return insertMarker();
    if (ds && ds->state() == db::DataSetState::Edit)
        return editMarker();
    return browseMarker();
}

Qt::ItemFlags DataSetModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    const Field* field = m_fields.value(index.column());
    if (!m_readOnly && field && field->kind() == db::FieldKind::Data && !field->isReadOnly() && m_source &&
        m_source->canModify())
        f |= Qt::ItemIsEditable;
    return f;
}

bool DataSetModel::guard(const std::function<void()>& operation) {
    try {
        operation();
        return true;
    } catch (const db::Abort&) {
    } catch (const db::Error& e) {
        Q_EMIT operationFailed(e.message());
    }
    return false;
}

bool DataSetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    DataSet* ds = dataSet();
    Field* f = m_fields[index.column()];
    const int row = index.row();
    return guard([&] {
        if (ds->currentRow() != row)
            ds->setCurrentRow(row);
        if (ds->currentRow() != row)
            db::abort();
        ds->edit();
        if (value.userType() == QMetaType::QString)
            f->setAsString(value.toString());
        else
            f->setValue(value);
    });
}

bool DataSetModel::canFetchMore(const QModelIndex& parent) const {
    if (parent.isValid() || !isActive())
        return false;
    return !dataSet()->allRowsFetched();
}

void DataSetModel::fetchMore(const QModelIndex& parent) {
    if (parent.isValid() || !isActive())
        return;
    DataSet* ds = dataSet();
    // Each request reads at least half as many rows again as are read
    // already: the first screen costs one batch, and scrolling to the end of
    // a long result takes a few dozen steps instead of one per batch.
    const int count = std::max(m_batch, ds->rowCount() / 2);
    guard([&] { ds->fetchMore(count); });
}

bool DataSetModel::submit() {
    DataSet* ds = dataSet();
    if (!ds || !isActive() || !ds->isEditing())
        return true;
    return guard([&] { ds->post(); });
}

void DataSetModel::revert() {
    DataSet* ds = dataSet();
    if (!ds || !isActive() || !ds->isEditing())
        return;
    guard([&] { ds->cancel(); });
}

} // namespace platform::widgets

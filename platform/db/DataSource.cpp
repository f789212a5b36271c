#include "db/DataSource.h"

namespace platform::db {

DataSource::DataSource(QObject* parent)
    : QObject(parent) {}

DataSource::DataSource(DataSet* dataSet, QObject* parent)
    : QObject(parent) {
    setDataSet(dataSet);
}

DataSource::~DataSource() {
    if (m_dataSet)
        m_dataSet->detachSource(this);
}

void DataSource::setDataSet(DataSet* dataSet) {
    if (m_dataSet == dataSet)
        return;
    if (m_dataSet)
        m_dataSet->detachSource(this);
    m_dataSet = dataSet;
    if (m_dataSet)
        m_dataSet->attachSource(this);
    Q_EMIT dataSetChanged();
    Q_EMIT stateChanged();
    Q_EMIT dataChanged(nullptr);
}

void DataSource::setEnabled(bool enabled) {
    if (m_enabled == enabled)
        return;
    m_enabled = enabled;
    Q_EMIT dataSetChanged();
    Q_EMIT stateChanged();
    Q_EMIT dataChanged(nullptr);
}

DataSetState DataSource::state() const {
    if (!m_dataSet || !m_enabled)
        return DataSetState::Inactive;
    return m_dataSet->state();
}

bool DataSource::canModify() const {
    return m_dataSet && m_enabled && m_dataSet->canModify();
}

void DataSource::dataEvent(DataEvent event, Field* field, int info, int count) {
    if (!m_enabled)
        return;
    switch (event) {
    case DataEvent::DataSetChanged:
        Q_EMIT dataSetChanged();
        Q_EMIT dataChanged(nullptr);
        break;
    case DataEvent::RecordChanged:
        Q_EMIT dataChanged(field);
        break;
    case DataEvent::Scrolled:
        Q_EMIT scrolled(m_dataSet ? m_dataSet->currentRow() : -1);
        Q_EMIT dataChanged(nullptr);
        break;
    case DataEvent::StateChanged:
        Q_EMIT stateChanged();
        break;
    case DataEvent::UpdateData:
        Q_EMIT updateData();
        break;
    case DataEvent::RowsFetched:
        Q_EMIT rowsFetched(info, count);
        break;
    case DataEvent::RowInserted:
        Q_EMIT rowInserted(info);
        break;
    case DataEvent::RowRemoved:
        Q_EMIT rowRemoved(info);
        break;
    }
}

} // namespace platform::db

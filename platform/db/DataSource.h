#pragma once

// The link between a dataset and the controls that show it: a control
// listens to a data source, and the data source passes on what its dataset
// tells it, unless it is disabled.

#include "PlatformExport.h"
#include "db/DataSet.h"

#include <QObject>
#include <QPointer>

namespace platform::db {

class PLATFORM_EXPORT DataSource : public QObject {
    Q_OBJECT

public:
    explicit DataSource(QObject* parent = nullptr);
    explicit DataSource(DataSet* dataSet, QObject* parent = nullptr);
    ~DataSource() override;

    DataSet* dataSet() const { return m_dataSet; }
    void setDataSet(DataSet* dataSet);
    // A disabled source tells its controls that there is nothing to show.
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    // The dataset's state; inactive without a dataset or while disabled.
    DataSetState state() const;
    // The dataset can be changed through this source's controls.
    bool canModify() const;

    // Called by the dataset.
    void dataEvent(DataEvent event, Field* field, int info, int count);

Q_SIGNALS:
    // The current record changed: another row, new values, or (with a field)
    // the value of one field.
    void dataChanged(platform::db::Field* field);
    // The dataset opened, closed or was read anew: everything is to be read again.
    void dataSetChanged();
    void stateChanged();
    // A post is about to run: controls write their pending edits to the fields.
    void updateData();
    void rowsFetched(int first, int count);
    void rowInserted(int row);
    void rowRemoved(int row);
    void scrolled(int row);

private:
    QPointer<DataSet> m_dataSet;
    bool m_enabled = true;
};

} // namespace platform::db

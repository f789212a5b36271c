#pragma once

// The dataset: rows of a result read on demand, a cursor over them, the
// states inactive, browse, edit and insert, fields, and the before and after
// steps of every operation with their events. Queries, tables and the keyed
// datasets build on it.

#include "PlatformExport.h"
#include "db/Errors.h"
#include "db/Field.h"
#include "db/RowCodec.h"

#include <QObject>
#include <QVariant>
#include <QVector>

#include <functional>
#include <memory>
#include <vector>

namespace platform::db {

class DataSource;

enum class DataSetState { Inactive, Browse, Edit, Insert, CalcFields };

enum class LocateOption { CaseInsensitive = 0x1, PartialKey = 0x2 };
Q_DECLARE_FLAGS(LocateOptions, LocateOption)

// Identifies a row for as long as the dataset stays open; 0 is no bookmark.
using Bookmark = quint64;

// What a dataset tells its data sources.
enum class DataEvent {
    DataSetChanged, // opened, closed, reloaded, controls enabled again: read everything anew
    RecordChanged,  // values of the current record changed (field given when one field)
    Scrolled,       // the cursor moved to another row
    StateChanged,
    UpdateData,  // a post begins: controls write their pending edits
    RowsFetched, // more rows were read (first, count)
    RowInserted, // a row appeared (index)
    RowRemoved   // a row went (index)
};

class PLATFORM_EXPORT DataSet : public QObject {
    Q_OBJECT

public:
    using Event = std::function<void(DataSet&)>;

    explicit DataSet(QObject* parent = nullptr);
    ~DataSet() override;

    // --- fields
    // Declares a field before the dataset opens: a data field gives display
    // settings to the column of that name; calculated and lookup fields are
    // added after the columns. Declared fields live as long as the dataset.
    Field* addField(const FieldDef& def);
    int fieldCount() const { return int(m_fields.size()); }
    Field* field(int index) const { return m_fields[size_t(index)].get(); }
    // Case-insensitive. fieldByName throws DataSetError naming the field when
    // there is none; findField returns nullptr.
    Field* fieldByName(const QString& name) const;
    Field* findField(const QString& name) const;
    QStringList fieldNames() const;

    // --- opening and state
    void open();
    void close();
    bool isActive() const { return m_state != DataSetState::Inactive; }
    void setActive(bool active) { active ? open() : close(); }
    DataSetState state() const { return m_state; }
    bool isEditing() const { return m_state == DataSetState::Edit || m_state == DataSetState::Insert; }
    // Whether the dataset accepts inserts, edits and deletes at all.
    virtual bool canModify() const { return false; }

    // --- moving
    void first();
    void next();
    void prior();
    void last();
    int moveBy(int distance);
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    // Reads every row; the number of rows.
    int recordCount();
    bool isEmpty() const { return m_rows.empty(); }
    // Index of the current row among the rows read so far (-1 when none).
    int currentRow() const { return m_current; }
    // Moves to a row by index among the rows read so far (reads up to it).
    void setCurrentRow(int row);

    // --- changing
    void insert();
    void append();
    void edit();
    void post();
    void cancel();
    void deleteRecord();
    // Posts a pending change (or cancels an untouched one) before a move.
    void checkBrowseMode();
    bool isModified() const { return m_modified; }

    // --- finding
    // `fields` is a list of names separated by ";". One value per field.
    bool locate(const QString& fields, const QVariantList& values, LocateOptions options = {});
    bool locate(const QString& field, const QVariant& value, LocateOptions options = {}) {
        return locate(field, QVariantList{value}, options);
    }
    // The value of `resultField` in the first row whose `keyFields` equal
    // `values`, without moving the cursor; null when there is no such row.
    QVariant lookup(const QString& keyFields, const QVariantList& values, const QString& resultField);

    // --- bookmarks
    Bookmark bookmark() const;
    void gotoBookmark(Bookmark bookmark);
    void freeBookmark(Bookmark) {}
    bool bookmarkValid(Bookmark bookmark) const;

    // --- controls
    // While disabled (the calls nest) the data sources hear nothing; when
    // enabled again they are told once that everything changed.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_disableCount > 0; }

    // --- rows for views (grids read rows without moving the cursor)
    int rowCount() const { return int(m_rows.size()); }
    bool allRowsFetched() const { return m_fetchedAll; }
    // Reads up to `count` more rows; returns how many arrived.
    int fetchMore(int count);
    QVariant valueAt(int row, const Field* field);
    QString displayTextAt(int row, const Field* field);

    // --- events (one handler each; a before-handler may call abort())
    Event beforeOpen, afterOpen, beforeClose, afterClose;
    Event beforeInsert, afterInsert, beforeEdit, afterEdit;
    Event beforePost, afterPost, beforeCancel, afterCancel;
    Event beforeDelete, afterDelete, beforeScroll, afterScroll;
    Event onNewRecord, onCalcFields;
    // Calculated fields are worked out again after every change of a value.
    bool autoCalcFields = true;

    // --- used by fields and data sources
    QVariant fieldValue(const Field& field) const;
    void setFieldValue(Field& field, const QVariant& value);
    void attachSource(DataSource* source);
    void detachSource(DataSource* source);

protected:
    // The steps around each operation. The default steps fire the events;
    // a subclass may refuse an operation by calling abort() before that.
    virtual void doBeforeOpen();
    virtual void doAfterOpen();
    virtual void doBeforeClose();
    virtual void doAfterClose();
    virtual void doBeforeInsert();
    virtual void doAfterInsert();
    virtual void doBeforeEdit();
    virtual void doAfterEdit();
    virtual void doBeforePost();
    virtual void doAfterPost();
    virtual void doBeforeCancel();
    virtual void doAfterCancel();
    virtual void doBeforeDelete();
    virtual void doAfterDelete();
    virtual void doBeforeScroll();
    virtual void doAfterScroll();
    virtual void doOnNewRecord();

    // The data underneath, for subclasses.
    // Opens the result; returns its columns.
    virtual QVector<Column> openCursor() = 0;
    // Reads the next row; false at the end of the result.
    virtual bool fetchRow(QByteArray* row) = 0;
    virtual void closeCursor() = 0;
    // Writes a posted row; `old` is null for an insert. Throws on failure.
    virtual void writeRow(const QByteArray* old, const QVector<QVariant>& values,
                          const QVector<bool>& modified);
    virtual void removeRow(const QByteArray& old);

    const RowCodec& codec() const { return m_codec; }
    void notify(DataEvent event, Field* field = nullptr, int info = 0, int count = 0);
    void checkActive() const;

private:
    struct Row {
        QByteArray data;
        Bookmark id = 0;
        std::unique_ptr<QVector<QVariant>> calc; // calculated and lookup values
    };

    void bindFields(const QVector<Column>& columns);
    bool hasCalcFields() const;
    bool fetchOne();
    void fetchAll();
    bool ensureRow(int index);
    void moveTo(int index);
    const QVector<QVariant>& calcValues(int row);
    void computeCalc(int row, QVector<QVariant>* into);
    void recalcBuffer();
    void beginInsert(int at);
    QVariant rawValue(int row, const Field& field);
    void checkRequired();
    int indexOfBookmark(Bookmark bookmark) const;
    int findRow(const QList<Field*>& fields, const QVariantList& values, LocateOptions options);
    QList<Field*> fieldList(const QString& names) const;

    std::vector<std::unique_ptr<Field>> m_fields;
    std::vector<Row> m_rows;
    RowCodec m_codec;
    DataSetState m_state = DataSetState::Inactive;
    int m_current = -1;
    bool m_bof = true;
    bool m_eof = true;
    bool m_fetchedAll = true;
    bool m_modified = false;
    Bookmark m_nextId = 1;
    int m_disableCount = 0;
    bool m_changedWhileDisabled = false;
    DataSetState m_stateWhenDisabled = DataSetState::Inactive;
    // Edit and insert buffer: one value per column, and calculated values.
    QVector<QVariant> m_buffer;
    QVector<bool> m_bufferModified;
    QVector<QVariant> m_bufferCalc;
    // While calculated fields are worked out: the row and its values.
    int m_calcRow = -1;
    QVector<QVariant>* m_calcTarget = nullptr;
    DataSetState m_stateBeforeCalc = DataSetState::Inactive;
    QList<DataSource*> m_sources;
};

} // namespace platform::db

Q_DECLARE_OPERATORS_FOR_FLAGS(platform::db::LocateOptions)

#pragma once

// The link between one data-aware control and one field of a data source.
// The control shows what the link tells it to show (dataChange), writes its
// value when asked (updateData), and reports typing through edit() and
// modified(). The link watches the control's focus and keys: the dataset is
// put into edit state when the user starts changing the value, and the value
// is written back when the control loses the focus and before every post.

#include "PlatformExport.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QKeyEvent;
class QWidget;

namespace platform::db {
class DataSource;
class DataSet;
class Field;
} // namespace platform::db

namespace platform::widgets {

class PLATFORM_EXPORT FieldDataLink : public QObject {
    Q_OBJECT

public:
    // `control` is watched for focus and key events; the link is its child.
    explicit FieldDataLink(QWidget* control);
    ~FieldDataLink() override;

    QWidget* control() const { return m_control; }
    // Another widget whose keys and focus belong to the control (an inner editor).
    void watch(QWidget* widget);

    db::DataSource* dataSource() const { return m_source; }
    void setDataSource(db::DataSource* source);
    QString fieldName() const { return m_fieldName; }
    void setFieldName(const QString& name);
    // The control's own read-only option (the dataset's rules apply as well).
    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);

    db::DataSet* dataSet() const;
    // The bound field; null when there is no source, the source is disabled,
    // the dataset is closed or has no such field.
    db::Field* field() const { return active() ? m_field : nullptr; }
    // There is a record to show (an enabled source over an open dataset with the field).
    bool active() const;
    // The value may be changed through the control.
    bool canModify() const;
    // The dataset is in edit or insert state.
    bool isEditing() const;
    // The control has the focus: it shows the editing text rather than the display text.
    bool hasFocus() const { return m_focused; }

    // Puts the dataset into edit state unless it is already there. A refusal
    // (the silent abort or any error of the dataset) returns false and is not
    // shown; editFailed tells the message of an error. Data changes during the
    // call are held back so that the control keeps what the user entered.
    bool edit();
    // The user changed the value in the control.
    void modified();
    bool isModified() const { return m_modified; }
    // Shows the field's value again and forgets the control's change.
    void reset();
    // Writes a pending change to the field (updateData); throws what the field throws.
    void updateRecord();
    // The same, for moments when nothing may be thrown (focus leaving, a
    // choice in a list): on failure the change stays pending and writeFailed
    // tells why (nothing for the silent abort).
    bool tryUpdateRecord();

    // Called by the control for a key it is about to handle. Returns true
    // when the key is to be swallowed: a change the dataset refused. Escape
    // with a pending change brings the field's value back.
    bool handleKey(QKeyEvent* event, bool multiLine);
    // Whether Enter changes the control's text (memos); used for the watched keys.
    void setMultiLine(bool multiLine) { m_multiLine = multiLine; }

Q_SIGNALS:
    // The control shows field() (nothing when it is null).
    void dataChange();
    // The control writes its value to field().
    void updateData();
    // Whether the control may be changed, or whether there is anything to
    // show, may have changed: the control applies canModify() and active().
    void editingChanged();
    void editFailed(const QString& message);
    void writeFailed(const QString& message);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void bindField();
    void onDataSetChanged();
    void onDataChanged(db::Field* field);
    void onStateChanged();
    void onUpdateData();
    void connectSource();

    QWidget* m_control;
    QPointer<db::DataSource> m_source;
    QString m_fieldName;
    db::Field* m_field = nullptr;
    bool m_readOnly = false;
    bool m_modified = false;
    bool m_focused = false;
    bool m_inEdit = false;
    bool m_writing = false;
    bool m_multiLine = false;
    QList<QMetaObject::Connection> m_connections;
};

// Whether a key press would change the text of an edit.
PLATFORM_EXPORT bool isEditingKey(const QKeyEvent* event, bool multiLine);

} // namespace platform::widgets

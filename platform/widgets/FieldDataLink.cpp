#include "widgets/FieldDataLink.h"

#include "db/DataSet.h"
#include "db/DataSource.h"
#include "db/Errors.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QWidget>

namespace platform::widgets {

using db::DataSetState;

bool isEditingKey(const QKeyEvent* event, bool multiLine) {
    const int key = event->key();
    if (key == Qt::Key_Backspace || key == Qt::Key_Delete)
        return true;
    if (multiLine && (key == Qt::Key_Return || key == Qt::Key_Enter))
        return true;
    if (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut) ||
        event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo) ||
        event->matches(QKeySequence::DeleteEndOfWord) || event->matches(QKeySequence::DeleteStartOfWord) ||
        event->matches(QKeySequence::DeleteEndOfLine) || event->matches(QKeySequence::DeleteCompleteLine))
        return true;
    if (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
        return false;
    const QString text = event->text();
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (!c.isPrint() && c != u'\t')
            return false;
    // Tab moves the focus in a single-line control.
    return multiLine || !text.contains(u'\t');
}

FieldDataLink::FieldDataLink(QWidget* control)
    : QObject(control)
    , m_control(control) {
    control->installEventFilter(this);
}

FieldDataLink::~FieldDataLink() = default;

void FieldDataLink::watch(QWidget* widget) {
    if (widget && widget != m_control)
        widget->installEventFilter(this);
}

db::DataSet* FieldDataLink::dataSet() const {
    return m_source ? m_source->dataSet() : nullptr;
}

void FieldDataLink::setDataSource(db::DataSource* source) {
    if (m_source == source)
        return;
    for (const auto& c : m_connections)
        disconnect(c);
    m_connections.clear();
    m_source = source;
    m_modified = false;
    connectSource();
    onDataSetChanged();
}

void FieldDataLink::connectSource() {
    if (!m_source)
        return;
    db::DataSource* s = m_source;
    m_connections << connect(s, &db::DataSource::dataSetChanged, this, &FieldDataLink::onDataSetChanged)
                  << connect(s, &db::DataSource::dataChanged, this, &FieldDataLink::onDataChanged)
                  << connect(s, &db::DataSource::stateChanged, this, &FieldDataLink::onStateChanged)
                  << connect(s, &db::DataSource::updateData, this, &FieldDataLink::onUpdateData)
                  << connect(s, &QObject::destroyed, this, [this] {
                         m_source = nullptr;
                         m_connections.clear();
                         onDataSetChanged();
                     });
}

void FieldDataLink::setFieldName(const QString& name) {
    if (m_fieldName == name)
        return;
    m_fieldName = name;
    m_modified = false;
    onDataSetChanged();
}

void FieldDataLink::setReadOnly(bool readOnly) {
    if (m_readOnly == readOnly)
        return;
    m_readOnly = readOnly;
    Q_EMIT editingChanged();
}

void FieldDataLink::bindField() {
    db::DataSet* ds = dataSet();
    m_field = (ds && ds->isActive() && !m_fieldName.isEmpty()) ? ds->findField(m_fieldName) : nullptr;
}

bool FieldDataLink::active() const {
    if (!m_source || !m_field || m_source->state() == DataSetState::Inactive)
        return false;
    return m_field->dataSet() == m_source->dataSet();
}

bool FieldDataLink::canModify() const {
    return active() && !m_readOnly && m_source->canModify() && m_field->kind() == db::FieldKind::Data &&
           !m_field->isReadOnly();
}

bool FieldDataLink::isEditing() const {
    return active() && dataSet()->isEditing();
}

bool FieldDataLink::edit() {
    if (!canModify())
        return false;
    if (isEditing())
        return true;
    m_inEdit = true;
    try {
        dataSet()->edit();
    } catch (const db::Abort&) {
        m_inEdit = false;
        return false;
    } catch (const db::Error& e) {
        m_inEdit = false;
        Q_EMIT editFailed(e.message());
        return false;
    }
    m_inEdit = false;
    return isEditing();
}

void FieldDataLink::modified() {
    m_modified = true;
}

void FieldDataLink::reset() {
    m_modified = false;
    Q_EMIT dataChange();
}

void FieldDataLink::updateRecord() {
    if (!m_modified || m_writing)
        return;
    if (!isEditing() || !canModify()) {
        // Nowhere to write: the record is what counts.
        reset();
        return;
    }
    m_writing = true;
    try {
        Q_EMIT updateData();
    } catch (...) {
        m_writing = false;
        throw;
    }
    m_writing = false;
    m_modified = false;
}

bool FieldDataLink::tryUpdateRecord() {
    try {
        updateRecord();
        return true;
    } catch (const db::Abort&) {
        reset();
    } catch (const db::Error& e) {
        Q_EMIT writeFailed(e.message());
    }
    return false;
}

bool FieldDataLink::handleKey(QKeyEvent* event, bool multiLine) {
    if (event->key() == Qt::Key_Escape && m_modified) {
        reset();
        return true;
    }
    if (!canModify() || !isEditingKey(event, multiLine))
        return false;
    if (isEditing())
        return false;
    if (!edit()) {
        // Refused: the control keeps the field's value and the key is dropped.
        reset();
        return true;
    }
    // An empty dataset appends a record: show it before the key lands.
    Q_EMIT dataChange();
    return false;
}

bool FieldDataLink::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
        if (handleKey(static_cast<QKeyEvent*>(event), m_multiLine))
            return true;
        break;
    case QEvent::FocusIn:
        m_focused = true;
        if (!m_modified)
            Q_EMIT dataChange();
        break;
    case QEvent::FocusOut: {
        // A popup of the control itself (a list, a calendar) keeps the control current.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        QWidget* now = QApplication::focusWidget();
        if (reason == Qt::PopupFocusReason || (now && (now == m_control || m_control->isAncestorOf(now))))
            break;
        m_focused = false;
        if (tryUpdateRecord() && !m_modified)
            Q_EMIT dataChange();
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void FieldDataLink::onDataSetChanged() {
    bindField();
    m_modified = false;
    Q_EMIT editingChanged();
    Q_EMIT dataChange();
}

void FieldDataLink::onDataChanged(db::Field* field) {
    if (m_inEdit)
        return;
    if (field && field != m_field)
        return;
    if (!active()) {
        m_modified = false;
        Q_EMIT dataChange();
        return;
    }
    // The field's own change while the control writes it shows the converted value.
    if (!m_writing)
        m_modified = false;
    Q_EMIT dataChange();
}

void FieldDataLink::onStateChanged() {
    if (!isEditing())
        m_modified = false;
    Q_EMIT editingChanged();
}

void FieldDataLink::onUpdateData() {
    updateRecord();
}

} // namespace platform::widgets

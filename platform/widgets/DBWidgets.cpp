#include "widgets/DBWidgets.h"

#include "db/DataSet.h"
#include "db/DataSource.h"
#include "db/Errors.h"
#include "db/Field.h"

#include <QEvent>
#include <QTextCursor>

namespace platform::widgets {

using db::Field;
using db::FieldType;

namespace {

bool isStringField(const Field* f) {
    return f && (f->dataType() == FieldType::String || f->dataType() == FieldType::FixedChar);
}

// Removes the characters over `max` just before the cursor (what was typed or pasted last).
template <typename Edit>
void clipToLength(Edit* edit, int length, int max) {
    if (max <= 0 || length <= max)
        return;
    QTextCursor c = edit->textCursor();
    const int excess = length - max;
    int end = c.position();
    if (end < excess)
        end = length;
    c.setPosition(end - excess);
    c.setPosition(end, QTextCursor::KeepAnchor);
    c.removeSelectedText();
    edit->setTextCursor(c);
}

QStringList splitValues(const QString& values) {
    return values.split(u';');
}

} // namespace

// ---------------------------------------------------------------- DataAware

DataAware::DataAware(QWidget* control)
    : m_link(new FieldDataLink(control)) {}

DataAware::~DataAware() {
    // The control is half gone: nothing may reach it any more (a focus change
    // while it is destroyed would otherwise write through the link).
    delete m_link;
}

bool DataAware::userChanged() {
    if (m_loading)
        return false;
    if (!m_link->isEditing() && !m_link->edit()) {
        m_link->reset();
        return false;
    }
    if (!m_link->canModify()) {
        m_link->reset();
        return false;
    }
    m_link->modified();
    return true;
}

// ------------------------------------------------------------------- DBEdit

DBEdit::DBEdit(QWidget* parent)
    : QLineEdit(parent)
    , DataAware(this) {
    connect(m_link, &FieldDataLink::dataChange, this, &DBEdit::showValue);
    connect(m_link, &FieldDataLink::updateData, this, &DBEdit::writeValue);
    connect(m_link, &FieldDataLink::editingChanged, this, &DBEdit::applyState);
    connect(this, &QLineEdit::textEdited, this, [this] { userChanged(); });
    applyState();
}

void DBEdit::showValue() {
    const Field* f = m_link->field();
    QString text;
    if (f)
        text = (m_link->hasFocus() && m_link->canModify()) ? f->asString() : f->displayText();
    if (QLineEdit::text() != text)
        setText(text);
}

void DBEdit::writeValue() {
    if (Field* f = m_link->field())
        f->setAsString(text());
}

void DBEdit::applyState() {
    QLineEdit::setReadOnly(!m_link->canModify());
    const Field* f = m_link->field();
    // Setting the length puts the text anew (selection and cursor lost): only on a change.
    const int length = isStringField(f) && f->size() > 0 ? f->size() : 32767;
    if (maxLength() != length)
        setMaxLength(length);
}

// ------------------------------------------------------------ DBLabeledEdit

DBLabeledEdit::DBLabeledEdit(QWidget* parent)
    : DBEdit(parent)
    , m_label(new QLabel(parent)) {
    m_label->setBuddy(this);
    m_label->setVisible(false);
    placeLabel();
}

DBLabeledEdit::~DBLabeledEdit() {
    delete m_label.data();
}

QString DBLabeledEdit::labelCaption() const {
    return m_label ? m_label->text() : QString();
}

void DBLabeledEdit::setLabelCaption(const QString& caption) {
    if (!m_label || m_label->text() == caption)
        return;
    m_label->setText(caption);
    placeLabel();
}

void DBLabeledEdit::setLabelPosition(LabelPosition position) {
    if (m_position == position)
        return;
    m_position = position;
    placeLabel();
}

void DBLabeledEdit::setLabelSpacing(int spacing) {
    spacing = std::max(0, spacing);
    if (m_spacing == spacing)
        return;
    m_spacing = spacing;
    placeLabel();
}

void DBLabeledEdit::placeLabel() {
    if (!m_label)
        return;
    if (m_label->parentWidget() != parentWidget()) {
        m_label->setParent(parentWidget());
        m_label->setBuddy(this);
    }
    m_label->adjustSize();
    const QRect r = geometry();
    const QSize s = m_label->size();
    if (m_position == LabelPosition::Left)
        m_label->move(r.left() - m_spacing - s.width(), r.top() + (r.height() - s.height()) / 2);
    else
        m_label->move(r.left(), r.top() - m_spacing - s.height());
    m_label->setVisible(parentWidget() && isVisibleTo(parentWidget()));
}

bool DBLabeledEdit::event(QEvent* event) {
    const bool result = DBEdit::event(event);
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::ParentChange:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::FontChange:
    case QEvent::StyleChange:
        placeLabel();
        break;
    default:
        break;
    }
    return result;
}

// ------------------------------------------------------------------- DBMemo

DBMemo::DBMemo(QWidget* parent)
    : QPlainTextEdit(parent)
    , DataAware(this) {
    m_link->setMultiLine(true);
    connect(m_link, &FieldDataLink::dataChange, this, &DBMemo::showValue);
    connect(m_link, &FieldDataLink::updateData, this, [this] {
        if (Field* f = m_link->field())
            f->setAsString(toPlainText());
    });
    connect(m_link, &FieldDataLink::editingChanged, this, &DBMemo::applyState);
    connect(this, &QPlainTextEdit::textChanged, this, &DBMemo::onTextChanged);
    applyState();
}

int DBMemo::effectiveMaxLength() const {
    if (m_maxLength > 0)
        return m_maxLength;
    const Field* f = m_link->field();
    return isStringField(f) ? f->size() : 0;
}

void DBMemo::showValue() {
    const Field* f = m_link->field();
    const QString text = f ? f->asString() : QString();
    if (toPlainText() != text) {
        m_loading = true;
        setPlainText(text);
        m_loading = false;
    }
}

void DBMemo::applyState() {
    QPlainTextEdit::setReadOnly(!m_link->canModify());
}

void DBMemo::onTextChanged() {
    if (m_loading)
        return;
    m_loading = true;
    clipToLength(this, toPlainText().length(), effectiveMaxLength());
    m_loading = false;
    userChanged();
}

// --------------------------------------------------------------- DBRichEdit

DBRichEdit::DBRichEdit(QWidget* parent)
    : QTextEdit(parent)
    , DataAware(this) {
    m_link->setMultiLine(true);
    setAcceptRichText(false);
    connect(m_link, &FieldDataLink::dataChange, this, &DBRichEdit::showValue);
    connect(m_link, &FieldDataLink::updateData, this, [this] {
        if (Field* f = m_link->field())
            f->setAsString(currentValue());
    });
    connect(m_link, &FieldDataLink::editingChanged, this, &DBRichEdit::applyState);
    connect(this, &QTextEdit::textChanged, this, &DBRichEdit::onTextChanged);
    applyState();
}

void DBRichEdit::setPlainTextMode(bool plain) {
    if (m_plain == plain)
        return;
    m_plain = plain;
    setAcceptRichText(!plain);
    showValue();
}

int DBRichEdit::effectiveMaxLength() const {
    if (m_maxLength > 0)
        return m_maxLength;
    const Field* f = m_link->field();
    return m_plain && isStringField(f) ? f->size() : 0;
}

QString DBRichEdit::currentValue() const {
    return m_plain ? toPlainText() : toHtml();
}

void DBRichEdit::showValue() {
    const Field* f = m_link->field();
    const QString text = f ? f->asString() : QString();
    if (m_plain && toPlainText() == text)
        return;
    m_loading = true;
    if (m_plain)
        setPlainText(text);
    else
        setHtml(text);
    m_loading = false;
}

void DBRichEdit::applyState() {
    QTextEdit::setReadOnly(!m_link->canModify());
}

void DBRichEdit::onTextChanged() {
    if (m_loading)
        return;
    m_loading = true;
    clipToLength(this, toPlainText().length(), effectiveMaxLength());
    m_loading = false;
    userChanged();
}

// --------------------------------------------------------------- DBComboBox

DBComboBox::DBComboBox(QWidget* parent)
    : QComboBox(parent)
    , DataAware(this) {
    connect(m_link, &FieldDataLink::dataChange, this, &DBComboBox::showValue);
    connect(m_link, &FieldDataLink::updateData, this, [this] {
        if (Field* f = m_link->field())
            f->setAsString(currentText());
    });
    connect(m_link, &FieldDataLink::editingChanged, this, &DBComboBox::applyState);
    connect(this, &QComboBox::activated, this, &DBComboBox::onActivated);
    connect(this, &QComboBox::editTextChanged, this, &DBComboBox::onEditTextChanged);
    applyState();
}

void DBComboBox::watchLineEdit() {
    if (lineEdit() && m_watched != lineEdit()) {
        m_watched = lineEdit();
        m_link->watch(m_watched);
    }
}

void DBComboBox::showValue() {
    watchLineEdit();
    const Field* f = m_link->field();
    const QString text = f ? f->asString() : QString();
    m_loading = true;
    if (isEditable()) {
        const int index = findText(text);
        if (currentIndex() != index)
            setCurrentIndex(index);
        if (currentText() != text)
            setEditText(text);
    } else {
        setCurrentIndex(findText(text));
    }
    m_loading = false;
}

void DBComboBox::applyState() {
    watchLineEdit();
    if (lineEdit())
        lineEdit()->setReadOnly(!m_link->canModify());
    const bool active = m_link->active();
    if (!active && isEnabled()) {
        setEnabled(false);
        m_disabledByLink = true;
    } else if (active && m_disabledByLink) {
        setEnabled(true);
        m_disabledByLink = false;
    }
}

void DBComboBox::onActivated() {
    if (userChanged())
        m_link->tryUpdateRecord();
}

void DBComboBox::onEditTextChanged() {
    if (m_loading || !isEditable() || !lineEdit() || !lineEdit()->hasFocus())
        return;
    userChanged();
}

// ---------------------------------------------------------- DBValueComboBox

DBValueComboBox::DBValueComboBox(QWidget* parent)
    : QComboBox(parent)
    , DataAware(this) {
    connect(m_link, &FieldDataLink::dataChange, this, &DBValueComboBox::showValue);
    connect(m_link, &FieldDataLink::updateData, this, [this] {
        Field* f = m_link->field();
        if (!f)
            return;
        const QStringList values = storedValues();
        const int index = currentIndex();
        if (index >= 0 && index < values.size())
            f->setAsString(values[index]);
        else
            f->clear();
    });
    connect(m_link, &FieldDataLink::editingChanged, this, &DBValueComboBox::applyState);
    connect(this, &QComboBox::activated, this, &DBValueComboBox::onActivated);
    applyState();
}

QStringList DBValueComboBox::items() const {
    QStringList list;
    for (int i = 0; i < count(); ++i)
        list << itemText(i);
    return list;
}

void DBValueComboBox::setItems(const QStringList& items) {
    m_loading = true;
    clear();
    addItems(items);
    m_loading = false;
    showValue();
}

void DBValueComboBox::setValues(const QStringList& values) {
    m_values = values;
    showValue();
}

QStringList DBValueComboBox::storedValues() const {
    return m_values.isEmpty() ? items() : m_values;
}

void DBValueComboBox::showValue() {
    const Field* f = m_link->field();
    int index = -1;
    if (f && !f->isNull()) {
        index = storedValues().indexOf(f->asString());
        if (index >= count())
            index = -1;
    }
    m_loading = true;
    setCurrentIndex(index);
    m_loading = false;
}

void DBValueComboBox::applyState() {
    const bool active = m_link->active();
    if (!active && isEnabled()) {
        setEnabled(false);
        m_disabledByLink = true;
    } else if (active && m_disabledByLink) {
        setEnabled(true);
        m_disabledByLink = false;
    }
}

void DBValueComboBox::onActivated(int) {
    if (userChanged())
        m_link->tryUpdateRecord();
}

// --------------------------------------------------------------- DBCheckBox

DBCheckBox::DBCheckBox(QWidget* parent)
    : QCheckBox(parent)
    , DataAware(this) {
    connect(m_link, &FieldDataLink::dataChange, this, &DBCheckBox::showValue);
    connect(m_link, &FieldDataLink::updateData, this, [this] {
        Field* f = m_link->field();
        if (!f)
            return;
        if (f->dataType() == FieldType::Boolean)
            f->setValue(isChecked());
        else
            f->setAsString(splitValues(isChecked() ? m_checked : m_unchecked).value(0));
    });
    connect(m_link, &FieldDataLink::editingChanged, this, &DBCheckBox::applyState);
    connect(this, &QCheckBox::clicked, this, &DBCheckBox::onClicked);
    applyState();
}

void DBCheckBox::setValueChecked(const QString& value) {
    m_checked = value;
    showValue();
}

void DBCheckBox::setValueUnchecked(const QString& value) {
    m_unchecked = value;
    showValue();
}

void DBCheckBox::showValue() {
    const Field* f = m_link->field();
    bool checked = false;
    if (f && !f->isNull()) {
        if (f->dataType() == FieldType::Boolean) {
            checked = f->asBoolean();
        } else {
            const QString text = f->asString();
            for (const QString& v : splitValues(m_checked))
                if (text.compare(v, Qt::CaseInsensitive) == 0)
                    checked = true;
        }
    }
    m_loading = true;
    setChecked(checked);
    m_loading = false;
}

void DBCheckBox::applyState() {
    const bool active = m_link->active();
    if (!active && isEnabled()) {
        setEnabled(false);
        m_disabledByLink = true;
    } else if (active && m_disabledByLink) {
        setEnabled(true);
        m_disabledByLink = false;
    }
}

void DBCheckBox::onClicked() {
    if (userChanged())
        m_link->tryUpdateRecord();
}

// --------------------------------------------------------------- DBDateEdit

DBDateEdit::DBDateEdit(QWidget* parent)
    : QDateEdit(parent)
    , DataAware(this) {
    setCalendarPopup(true);
    setSpecialValueText(QStringLiteral(" "));
    connect(m_link, &FieldDataLink::dataChange, this, &DBDateEdit::showValue);
    connect(m_link, &FieldDataLink::updateData, this, [this] {
        Field* f = m_link->field();
        if (!f)
            return;
        if (isNull())
            f->clear();
        else if (f->dataType() == FieldType::DateTime)
            f->setValue(QDateTime(date(), f->isNull() ? QTime(0, 0) : f->asDateTime().time()));
        else
            f->setValue(date());
    });
    connect(m_link, &FieldDataLink::editingChanged, this, &DBDateEdit::applyState);
    connect(this, &QDateEdit::dateChanged, this, &DBDateEdit::onDateChanged);
    applyState();
    showValue();
}

void DBDateEdit::clearValue() {
    if (isNull())
        return;
    setDate(minimumDate());
}

void DBDateEdit::showValue() {
    const Field* f = m_link->field();
    const QDate value = (f && !f->isNull()) ? f->asDate() : QDate();
    m_loading = true;
    setDate(value.isValid() ? value : minimumDate());
    m_loading = false;
}

void DBDateEdit::applyState() {
    QDateEdit::setReadOnly(!m_link->canModify());
}

void DBDateEdit::onDateChanged() {
    if (userChanged())
        m_link->tryUpdateRecord();
}

// ------------------------------------------------------------------- DBText

DBText::DBText(QWidget* parent)
    : QLabel(parent)
    , DataAware(this) {
    setTextFormat(Qt::PlainText);
    connect(m_link, &FieldDataLink::dataChange, this, &DBText::showValue);
}

void DBText::showValue() {
    const Field* f = m_link->field();
    setText(f ? f->displayText() : QString());
}

} // namespace platform::widgets

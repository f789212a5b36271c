#pragma once

// Data-aware controls: each shows one field of the current record of a data
// source, writes the user's change back when it loses the focus (lists,
// check boxes and date pickers at once) and before every post, and shows
// nothing while the source is disabled or its dataset closed.

#include "PlatformExport.h"
#include "widgets/FieldDataLink.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>

namespace platform::widgets {

// The binding part shared by the controls.
class PLATFORM_EXPORT DataAware {
public:
    virtual ~DataAware();
    FieldDataLink* dataLink() const { return m_link; }
    db::DataSource* dataSource() const { return m_link->dataSource(); }
    void setDataSource(db::DataSource* source) { m_link->setDataSource(source); }
    QString dataField() const { return m_link->fieldName(); }
    void setDataField(const QString& name) { m_link->setFieldName(name); }
    // The control's own read-only option; the dataset and the field may forbid changes as well.
    bool isReadOnly() const { return m_link->isReadOnly(); }
    void setReadOnly(bool readOnly) { m_link->setReadOnly(readOnly); }
    db::Field* field() const { return m_link->field(); }

protected:
    explicit DataAware(QWidget* control);
    // The user changed the value: the dataset goes into edit state, or the
    // value comes back when it refuses. Returns whether the change stands.
    bool userChanged();

    FieldDataLink* m_link;
    // Set while the control is filled from the field, so that its change signals are not the user's.
    bool m_loading = false;
};

class PLATFORM_EXPORT DBEdit : public QLineEdit, public DataAware {
    Q_OBJECT

public:
    explicit DBEdit(QWidget* parent = nullptr);
    using DataAware::isReadOnly;
    using DataAware::setReadOnly;

private:
    void showValue();
    void writeValue();
    void applyState();
};

enum class LabelPosition { Left, Above };

// An edit with an attached caption label. The label is a sibling of the edit
// (it takes the edit's parent), its buddy is the edit, and it follows the
// edit when the edit is moved, resized, shown or hidden.
class PLATFORM_EXPORT DBLabeledEdit : public DBEdit {
    Q_OBJECT

public:
    explicit DBLabeledEdit(QWidget* parent = nullptr);
    ~DBLabeledEdit() override;

    QLabel* label() const { return m_label; }
    QString labelCaption() const;
    void setLabelCaption(const QString& caption);
    LabelPosition labelPosition() const { return m_position; }
    void setLabelPosition(LabelPosition position);
    // Pixels between the label and the edit; a negative value counts as 0.
    int labelSpacing() const { return m_spacing; }
    void setLabelSpacing(int spacing);

protected:
    bool event(QEvent* event) override;

private:
    void placeLabel();

    QPointer<QLabel> m_label;
    LabelPosition m_position = LabelPosition::Left;
    int m_spacing = 3;
};

// A multi-line plain-text editor.
class PLATFORM_EXPORT DBMemo : public QPlainTextEdit, public DataAware {
    Q_OBJECT

public:
    explicit DBMemo(QWidget* parent = nullptr);
    using DataAware::isReadOnly;
    using DataAware::setReadOnly;
    // Most characters the user may enter; 0 takes the size of a string field (no limit for others).
    int maxLength() const { return m_maxLength; }
    void setMaxLength(int length) { m_maxLength = std::max(0, length); }
    int effectiveMaxLength() const;

private:
    void showValue();
    void applyState();
    void onTextChanged();

    int m_maxLength = 0;
};

// A rich-text editor. In plain-text mode (the default) the field holds the
// plain text; otherwise it holds the document as HTML.
class PLATFORM_EXPORT DBRichEdit : public QTextEdit, public DataAware {
    Q_OBJECT

public:
    explicit DBRichEdit(QWidget* parent = nullptr);
    using DataAware::isReadOnly;
    using DataAware::setReadOnly;
    int maxLength() const { return m_maxLength; }
    void setMaxLength(int length) { m_maxLength = std::max(0, length); }
    int effectiveMaxLength() const;
    bool plainTextMode() const { return m_plain; }
    void setPlainTextMode(bool plain);

private:
    QString currentValue() const;
    void showValue();
    void applyState();
    void onTextChanged();

    int m_maxLength = 0;
    bool m_plain = true;
};

// A combo box storing the text: editable (any text) or a fixed list.
class PLATFORM_EXPORT DBComboBox : public QComboBox, public DataAware {
    Q_OBJECT

public:
    explicit DBComboBox(QWidget* parent = nullptr);

private:
    void showValue();
    void applyState();
    void onActivated();
    void onEditTextChanged();
    void watchLineEdit();

    QPointer<QLineEdit> m_watched;
    bool m_disabledByLink = false;
};

// A list that shows items and stores the value at the same place: the
// field's text is looked up among the values; a value not listed shows no
// item (current index -1, empty text).
class PLATFORM_EXPORT DBValueComboBox : public QComboBox, public DataAware {
    Q_OBJECT

public:
    explicit DBValueComboBox(QWidget* parent = nullptr);
    QStringList items() const;
    void setItems(const QStringList& items);
    // Without values the items themselves are stored.
    QStringList values() const { return m_values; }
    void setValues(const QStringList& values);

private:
    QStringList storedValues() const;
    void showValue();
    void applyState();
    void onActivated(int index);

    QStringList m_values;
    bool m_disabledByLink = false;
};

// A check box over a flag field: the field holds valueChecked() or
// valueUnchecked() (a boolean field holds true or false). Each may list
// several accepted texts separated by ";", the first one is written. Any
// other value, null included, shows unchecked.
class PLATFORM_EXPORT DBCheckBox : public QCheckBox, public DataAware {
    Q_OBJECT

public:
    explicit DBCheckBox(QWidget* parent = nullptr);
    QString valueChecked() const { return m_checked; }
    void setValueChecked(const QString& value);
    QString valueUnchecked() const { return m_unchecked; }
    void setValueUnchecked(const QString& value);

private:
    void showValue();
    void applyState();
    void onClicked();

    QString m_checked = QStringLiteral("True");
    QString m_unchecked = QStringLiteral("False");
    bool m_disabledByLink = false;
};

// A date picker; a null value shows an empty box. The lowest date of the
// range stands for null, so choosing it clears the field.
class PLATFORM_EXPORT DBDateEdit : public QDateEdit, public DataAware {
    Q_OBJECT

public:
    explicit DBDateEdit(QWidget* parent = nullptr);
    using DataAware::isReadOnly;
    using DataAware::setReadOnly;
    bool isNull() const { return date() == minimumDate(); }
    // Empties the box and clears the field (the dataset goes into edit state first).
    void clearValue();

private:
    void showValue();
    void applyState();
    void onDateChanged();
};

// A read-only label showing the field's display text.
class PLATFORM_EXPORT DBText : public QLabel, public DataAware {
    Q_OBJECT

public:
    explicit DBText(QWidget* parent = nullptr);

private:
    void showValue();
};

} // namespace platform::widgets

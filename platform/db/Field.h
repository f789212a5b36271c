#pragma once

// Fields of a dataset: data fields bound to a column of the result, and
// calculated and lookup fields whose values the dataset works out itself.

#include "PlatformExport.h"

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

namespace platform::db {

class DataSet;

enum class FieldType {
    Unknown,
    String,    // VARCHAR
    FixedChar, // CHAR(n): trailing blanks trimmed when read
    SmallInt,
    Integer,
    LargeInt,
    Float,   // FLOAT, DOUBLE PRECISION
    Numeric, // NUMERIC, DECIMAL: exact, held as a Decimal
    Boolean,
    Date,
    Time,
    DateTime,
    Memo, // text blob
    Blob  // binary blob
};

// The conventional name of a field type ("ftString", "ftInteger", ...), as
// schema reports show it.
PLATFORM_EXPORT QString fieldTypeName(FieldType type);

enum class FieldKind { Data, Calculated, Lookup };

// Converts a value to the representation a field of `type` holds (int,
// qlonglong, double, Decimal, bool, QDate, QTime, QDateTime, QString,
// QByteArray); a null value stays null. Throws DataSetError when the value
// cannot be read as that type.
PLATFORM_EXPORT QVariant convertValue(const QVariant& value, FieldType type, int scale);

// An exact decimal number: `units` counted in 10^-scale.
struct PLATFORM_EXPORT Decimal {
    qint64 units = 0;
    int scale = 0;

    QString toString() const;
    double toDouble() const;
    // The same value at another scale, rounded half away from zero.
    Decimal rescaled(int newScale) const;
    // Parses "-12.30" or "-12,30"; false on anything else or on overflow.
    static bool parse(QStringView text, Decimal* out);
    friend bool operator==(const Decimal& a, const Decimal& b) {
        const int s = std::max(a.scale, b.scale);
        return a.rescaled(s).units == b.rescaled(s).units;
    }
};

// How a field is declared in advance (persistent fields): everything but the
// name is optional and is applied when the dataset opens.
struct FieldDef {
    QString name;
    FieldKind kind = FieldKind::Data;
    FieldType type = FieldType::Unknown; // required for calculated and lookup fields
    int size = 0;
    QString displayLabel;
    bool visible = true;
    bool required = false;
    bool readOnly = false;
    QString editMask;
    QString displayFormat;
    int displayWidth = 0;
    // Lookup fields: the value of `lookupResultField` in the row of
    // `lookupDataSet` whose `lookupKeyFields` equal this row's `keyFields`.
    DataSet* lookupDataSet = nullptr;
    QString lookupKeyFields;
    QString lookupResultField;
    QString keyFields;
};

class PLATFORM_EXPORT Field {
public:
    Field(DataSet* dataSet, const FieldDef& def, int index);
    Field(const Field&) = delete;
    Field& operator=(const Field&) = delete;

    DataSet* dataSet() const { return m_dataSet; }
    const QString& fieldName() const { return m_def.name; }
    FieldKind kind() const { return m_def.kind; }
    FieldType dataType() const { return m_type; }
    bool isCalculated() const { return m_def.kind == FieldKind::Calculated; }
    bool isLookup() const { return m_def.kind == FieldKind::Lookup; }
    // Position among the dataset's fields.
    int index() const { return m_index; }

    // The result column behind a data field (-1 for calculated and lookup fields).
    int column() const { return m_column; }
    // Table and column the value comes from (empty for expressions).
    const QString& origin() const { return m_originTable; }
    const QString& originField() const { return m_originField; }
    int scale() const { return m_scale; }

    // Display settings.
    QString displayLabel() const { return m_def.displayLabel.isEmpty() ? m_def.name : m_def.displayLabel; }
    void setDisplayLabel(const QString& label) { m_def.displayLabel = label; }
    bool isVisible() const { return m_def.visible; }
    void setVisible(bool visible) { m_def.visible = visible; }
    int size() const { return m_def.size; }
    void setSize(int size) { m_def.size = size; }
    bool isRequired() const { return m_def.required; }
    void setRequired(bool required) { m_def.required = required; }
    bool isReadOnly() const { return m_def.readOnly; }
    void setReadOnly(bool readOnly) { m_def.readOnly = readOnly; }
    const QString& editMask() const { return m_def.editMask; }
    void setEditMask(const QString& mask) { m_def.editMask = mask; }
    const QString& displayFormat() const { return m_def.displayFormat; }
    void setDisplayFormat(const QString& format) { m_def.displayFormat = format; }
    int displayWidth() const;
    void setDisplayWidth(int width) { m_def.displayWidth = width; }
    const FieldDef& definition() const { return m_def; }

    // The value of the current record (null when the dataset is empty).
    QVariant value() const;
    void setValue(const QVariant& value);
    bool isNull() const { return value().isNull(); }
    void clear() { setValue(QVariant()); }

    QString asString() const;
    void setAsString(const QString& text);
    qint64 asInteger() const;
    void setAsInteger(qint64 value) { setValue(QVariant(value)); }
    double asFloat() const;
    void setAsFloat(double value) { setValue(QVariant(value)); }
    QDateTime asDateTime() const;
    QDate asDate() const;
    void setAsDateTime(const QDateTime& value) { setValue(QVariant(value)); }
    bool asBoolean() const;

    // The text shown for the value: the display format applied (dates in
    // the short date format of the locale when none is set).
    QString displayText() const;
    static QString displayText(const Field& field, const QVariant& value);

    // Fired after the value of the field changed in edit or insert state.
    std::function<void(Field&)> onChange;

    // Converts a value to this field's type; throws DataSetError when it cannot.
    QVariant convert(const QVariant& value) const;
    static QString asString(const QVariant& value, FieldType type, int scale);

private:
    friend class DataSet;
    DataSet* m_dataSet;
    FieldDef m_def;
    FieldType m_type;
    int m_index;
    bool m_declared = false;
    int m_column = -1;
    int m_scale = 0;
    QString m_originTable;
    QString m_originField;
};

} // namespace platform::db

Q_DECLARE_METATYPE(platform::db::Decimal)

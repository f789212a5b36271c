#include "db/Field.h"

#include "db/DataSet.h"
#include "db/Errors.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace platform::db {

namespace {

qint64 pow10(int n) {
    qint64 r = 1;
    while (n-- > 0)
        r *= 10;
    return r;
}

QString typeError(const QVariant& value, const QString& what) {
    return QStringLiteral("'%1' не является %2").arg(value.toString(), what);
}

bool parseDouble(QString text, double* out) {
    text = text.trimmed();
    text.replace(u',', u'.');
    bool ok = false;
    *out = text.toDouble(&ok);
    return ok;
}

QDate parseDate(const QString& text) {
    const QString t = text.trimmed();
    static const char* formats[] = {"yyyy-MM-dd", "dd.MM.yyyy", "d.M.yyyy", "dd.MM.yy",
                                    "d.M.yy",     "dd/MM/yyyy", "dd/MM/yy"};
    for (const char* f : formats) {
        QDate d = QDate::fromString(t, QLatin1String(f));
        if (d.isValid()) {
            // Two-digit years: this century up to 49, the last one from 50.
            if (QString::fromLatin1(f).endsWith(QLatin1String("yy")) &&
                !QString::fromLatin1(f).endsWith(QLatin1String("yyyy")))
                d = QDate(d.year() % 100 < 50 ? 2000 + d.year() % 100 : 1900 + d.year() % 100, d.month(),
                          d.day());
            return d;
        }
    }
    const QDateTime dt = QDateTime::fromString(t, Qt::ISODate);
    return dt.isValid() ? dt.date() : QDate();
}

QTime parseTime(const QString& text) {
    const QString t = text.trimmed();
    for (const char* f : {"hh:mm:ss.zzz", "hh:mm:ss", "hh:mm", "h:mm:ss", "h:mm"}) {
        const QTime time = QTime::fromString(t, QLatin1String(f));
        if (time.isValid())
            return time;
    }
    return QTime();
}

// Display formats as the data module writes them: dd, mm (month), yyyy, yy,
// hh, nn (minutes), ss for dates and
// times; "0.00", "#,##0.00" for numbers.
QString qtDateFormat(QString format) {
    format.replace(QLatin1String("mm"), QLatin1String("MM"));
    format.replace(QLatin1String("nn"), QLatin1String("mm"));
    format.replace(QLatin1String("hh"), QLatin1String("HH"));
    return format;
}

QString formatNumber(double value, const QString& format) {
    const int point = format.indexOf(u'.');
    const int decimals = point < 0 ? 0 : int(format.size()) - point - 1;
    QLocale locale;
    if (!format.contains(u','))
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', decimals);
}

} // namespace

QString fieldTypeName(FieldType type) {
    switch (type) {
    case FieldType::String:
        return QStringLiteral("ftString");
    case FieldType::FixedChar:
        return QStringLiteral("ftFixedChar");
    case FieldType::SmallInt:
        return QStringLiteral("ftSmallint");
    case FieldType::Integer:
        return QStringLiteral("ftInteger");
    case FieldType::LargeInt:
        return QStringLiteral("ftLargeint");
    case FieldType::Float:
        return QStringLiteral("ftFloat");
    case FieldType::Numeric:
        return QStringLiteral("ftBCD");
    case FieldType::Boolean:
        return QStringLiteral("ftBoolean");
    case FieldType::Date:
        return QStringLiteral("ftDate");
    case FieldType::Time:
        return QStringLiteral("ftTime");
    case FieldType::DateTime:
        return QStringLiteral("ftDateTime");
    case FieldType::Memo:
        return QStringLiteral("ftMemo");
    case FieldType::Blob:
        return QStringLiteral("ftBlob");
    case FieldType::Unknown:
        break;
    }
    return QStringLiteral("ftUnknown");
}

// ------------------------------------------------------------------ Decimal

QString Decimal::toString() const {
    const bool negative = units < 0;
    // Work with the magnitude as unsigned, so that the smallest value has one.
    quint64 magnitude = negative ? quint64(0) - quint64(units) : quint64(units);
    QString digits = QString::number(magnitude);
    if (scale > 0) {
        if (digits.size() <= scale)
            digits = QString(scale - digits.size() + 1, u'0') + digits;
        digits.insert(digits.size() - scale, u'.');
    }
    return negative ? QStringLiteral("-") + digits : digits;
}

double Decimal::toDouble() const {
    return double(units) / double(pow10(scale));
}

Decimal Decimal::rescaled(int newScale) const {
    if (newScale == scale)
        return *this;
    if (newScale > scale)
        return Decimal{units * pow10(newScale - scale), newScale};
    const qint64 div = pow10(scale - newScale);
    qint64 q = units / div;
    const qint64 r = units % div;
    if (2 * std::llabs(r) >= div)
        q += units < 0 ? -1 : 1;
    return Decimal{q, newScale};
}

bool Decimal::parse(QStringView text, Decimal* out) {
    const QString t = text.trimmed().toString();
    if (t.isEmpty())
        return false;
    int i = 0;
    bool negative = false;
    if (t[0] == u'-' || t[0] == u'+') {
        negative = t[0] == u'-';
        ++i;
    }
    quint64 units = 0;
    int scale = 0;
    bool point = false;
    bool digits = false;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c == u'.' || c == u',') {
            if (point)
                return false;
            point = true;
            continue;
        }
        if (!c.isDigit())
            return false;
        digits = true;
        if (units > (quint64(std::numeric_limits<qint64>::max()) - 9) / 10)
            return false;
        units = units * 10 + quint64(c.digitValue());
        if (point)
            ++scale;
    }
    if (!digits)
        return false;
    out->units = negative ? -qint64(units) : qint64(units);
    out->scale = scale;
    return true;
}

// -------------------------------------------------------------- conversion

QVariant convertValue(const QVariant& value, FieldType type, int scale) {
    if (value.isNull() || !value.isValid())
        return QVariant();
    const int id = value.userType();
    const bool isDecimal = id == qMetaTypeId<Decimal>();
    const bool isText = id == QMetaType::QString || id == QMetaType::QByteArray;
    switch (type) {
    case FieldType::String:
    case FieldType::FixedChar:
    case FieldType::Memo:
        if (isDecimal)
            return value.value<Decimal>().toString();
        if (id == QMetaType::QDate)
            return value.toDate().toString(Qt::ISODate);
        return value.toString();
    case FieldType::Blob:
        return value.toByteArray();
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::LargeInt: {
        qint64 n = 0;
        if (isDecimal) {
            n = value.value<Decimal>().rescaled(0).units;
        } else if (isText) {
            bool ok = false;
            n = value.toString().trimmed().toLongLong(&ok);
            if (!ok)
                throw DataSetError(typeError(value, QStringLiteral("целым числом")));
        } else if (id == QMetaType::Double || id == QMetaType::Float) {
            n = qint64(std::llround(value.toDouble()));
        } else {
            bool ok = false;
            n = value.toLongLong(&ok);
            if (!ok)
                throw DataSetError(typeError(value, QStringLiteral("целым числом")));
        }
        if (type == FieldType::LargeInt)
            return QVariant(qlonglong(n));
        if (n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max())
            throw DataSetError(QStringLiteral("Значение %1 слишком велико для целого поля").arg(n));
        return QVariant(int(n));
    }
    case FieldType::Float: {
        if (isDecimal)
            return value.value<Decimal>().toDouble();
        if (isText) {
            double d;
            if (!parseDouble(value.toString(), &d))
                throw DataSetError(typeError(value, QStringLiteral("числом")));
            return d;
        }
        bool ok = false;
        const double d = value.toDouble(&ok);
        if (!ok)
            throw DataSetError(typeError(value, QStringLiteral("числом")));
        return d;
    }
    case FieldType::Numeric: {
        Decimal d;
        if (isDecimal) {
            d = value.value<Decimal>();
        } else if (isText) {
            if (!Decimal::parse(value.toString(), &d))
                throw DataSetError(typeError(value, QStringLiteral("числом")));
        } else if (id == QMetaType::Double || id == QMetaType::Float) {
            const double x = value.toDouble() * double(pow10(scale));
            if (!std::isfinite(x) || std::fabs(x) >= 9.2e18)
                throw DataSetError(
                    QStringLiteral("Значение %1 слишком велико для числового поля").arg(value.toDouble()));
            d = Decimal{qint64(std::llround(x)), scale};
        } else {
            d = Decimal{value.toLongLong(), 0};
        }
        // More digits after the point must not overflow the 64-bit units.
        if (scale > d.scale &&
            std::llabs(d.units) > std::numeric_limits<qint64>::max() / pow10(scale - d.scale))
            throw DataSetError(
                QStringLiteral("Значение %1 слишком велико для числового поля").arg(d.toString()));
        return QVariant::fromValue(d.rescaled(scale));
    }
    case FieldType::Boolean: {
        if (isText) {
            const QString t = value.toString().trimmed().toUpper();
            return t == u"T" || t == u"TRUE" || t == u"Y" || t == u"1";
        }
        return value.toBool();
    }
    case FieldType::Date: {
        if (id == QMetaType::QDate)
            return value;
        if (id == QMetaType::QDateTime)
            return value.toDateTime().date();
        const QDate d = parseDate(value.toString());
        if (!d.isValid())
            throw DataSetError(typeError(value, QStringLiteral("датой")));
        return d;
    }
    case FieldType::Time: {
        if (id == QMetaType::QTime)
            return value;
        if (id == QMetaType::QDateTime)
            return value.toDateTime().time();
        const QTime t = parseTime(value.toString());
        if (!t.isValid())
            throw DataSetError(typeError(value, QStringLiteral("временем")));
        return t;
    }
    case FieldType::DateTime: {
        if (id == QMetaType::QDateTime)
            return value;
        if (id == QMetaType::QDate)
            return QDateTime(value.toDate(), QTime(0, 0));
        const QString t = value.toString().trimmed();
        const int space = t.indexOf(u' ');
        const QDate d = parseDate(space < 0 ? t : t.left(space));
        const QTime time = space < 0 ? QTime(0, 0) : parseTime(t.mid(space + 1));
        if (!d.isValid() || !time.isValid()) {
            const QDateTime iso = QDateTime::fromString(t, Qt::ISODate);
            if (iso.isValid())
                return iso;
            throw DataSetError(typeError(value, QStringLiteral("датой и временем")));
        }
        return QDateTime(d, time);
    }
    case FieldType::Unknown:
        break;
    }
    return value;
}

// -------------------------------------------------------------------- Field

Field::Field(DataSet* dataSet, const FieldDef& def, int index)
    : m_dataSet(dataSet)
    , m_def(def)
    , m_type(def.type)
    , m_index(index) {}

int Field::displayWidth() const {
    if (m_def.displayWidth > 0)
        return m_def.displayWidth;
    switch (m_type) {
    case FieldType::String:
    case FieldType::FixedChar:
        return std::max(1, m_def.size);
    case FieldType::Date:
        return 10;
    case FieldType::DateTime:
        return 18;
    case FieldType::SmallInt:
        return 6;
    case FieldType::Boolean:
        return 5;
    default:
        return 10;
    }
}

QVariant Field::convert(const QVariant& value) const {
    return convertValue(value, m_type, m_scale);
}

QVariant Field::value() const {
    return m_dataSet->fieldValue(*this);
}

void Field::setValue(const QVariant& value) {
    m_dataSet->setFieldValue(*this, convert(value));
}

QString Field::asString(const QVariant& value, FieldType type, int scale) {
    if (value.isNull())
        return QString();
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    switch (type) {
    case FieldType::Numeric: {
        QString text = value.value<Decimal>().toString();
        return text.replace(u'.', locale.decimalPoint());
    }
    case FieldType::Float:
        return locale.toString(value.toDouble(), 'g', 15);
    case FieldType::Date:
        return locale.toString(value.toDate(), QLocale::ShortFormat);
    case FieldType::Time:
        return value.toTime().toString(QStringLiteral("HH:mm:ss"));
    case FieldType::DateTime: {
        const QDateTime dt = value.toDateTime();
        const QString date = locale.toString(dt.date(), QLocale::ShortFormat);
        return dt.time() == QTime(0, 0) ? date : date + u' ' + dt.time().toString(QStringLiteral("HH:mm:ss"));
    }
    case FieldType::Boolean:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    default:
        Q_UNUSED(scale);
        return value.toString();
    }
}

QString Field::asString() const {
    return asString(value(), m_type, m_scale);
}

void Field::setAsString(const QString& text) {
    // An empty text clears every field but a string field.
    if (text.isEmpty() && m_type != FieldType::String && m_type != FieldType::FixedChar &&
        m_type != FieldType::Memo)
        setValue(QVariant());
    else
        setValue(QVariant(text));
}

qint64 Field::asInteger() const {
    const QVariant v = value();
    if (v.isNull())
        return 0;
    return convertValue(v, FieldType::LargeInt, 0).toLongLong();
}

double Field::asFloat() const {
    const QVariant v = value();
    if (v.isNull())
        return 0.0;
    return convertValue(v, FieldType::Float, 0).toDouble();
}

QDateTime Field::asDateTime() const {
    const QVariant v = value();
    if (v.isNull())
        return QDateTime();
    return convertValue(v, FieldType::DateTime, 0).toDateTime();
}

QDate Field::asDate() const {
    return asDateTime().date();
}

bool Field::asBoolean() const {
    const QVariant v = value();
    return !v.isNull() && convertValue(v, FieldType::Boolean, 0).toBool();
}

QString Field::displayText(const Field& field, const QVariant& value) {
    if (value.isNull())
        return QString();
    const QString& format = field.displayFormat();
    if (!format.isEmpty()) {
        switch (field.dataType()) {
        case FieldType::Date:
            return value.toDate().toString(qtDateFormat(format));
        case FieldType::DateTime:
            return value.toDateTime().toString(qtDateFormat(format));
        case FieldType::Time:
            return value.toTime().toString(qtDateFormat(format));
        case FieldType::Float:
        case FieldType::Numeric:
        case FieldType::SmallInt:
        case FieldType::Integer:
        case FieldType::LargeInt:
            return formatNumber(convertValue(value, FieldType::Float, 0).toDouble(), format);
        default:
            break;
        }
    }
    return asString(value, field.dataType(), field.scale());
}

QString Field::displayText() const {
    return displayText(*this, value());
}

} // namespace platform::db

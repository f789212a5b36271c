#include "db/RowCodec.h"

#include <firebird/Interface.h>

#include <QStringDecoder>

#include <cstring>

namespace platform::db {

namespace {

// The client library counts dates from 17 November 1858.
constexpr qint64 kIscDateBase = 2400001;

struct TextSlot {
    quint32 offset;
    quint32 length;
};

int textBytesOfMessage(const Column& c, const unsigned char* data, const unsigned char** start) {
    if (c.sqlType == SQL_VARYING) {
        *start = data + 2;
        return *reinterpret_cast<const unsigned short*>(data);
    }
    // CHAR arrives blank-padded; the blanks are not part of the value.
    int n = int(c.length);
    while (n > 0 && data[n - 1] == ' ')
        --n;
    *start = data;
    return n;
}

QStringDecoder& utf8() {
    static thread_local QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    return decoder;
}

bool isText(FieldType t) {
    return t == FieldType::String || t == FieldType::FixedChar || t == FieldType::Memo;
}
bool isVariable(FieldType t) {
    return isText(t) || t == FieldType::Blob;
}

} // namespace

QDate dateFromIsc(int iscDate) {
    return QDate::fromJulianDay(iscDate + kIscDateBase);
}
int iscFromDate(const QDate& date) {
    return int(date.toJulianDay() - kIscDateBase);
}
QTime timeFromIsc(unsigned iscTime) {
    return QTime::fromMSecsSinceStartOfDay(int(iscTime / 10));
}
unsigned iscFromTime(const QTime& time) {
    return unsigned(time.msecsSinceStartOfDay()) * 10u;
}

RowCodec::RowCodec(QVector<Column> columns)
    : m_columns(std::move(columns)) {
    m_slotsSize = int(m_columns.size()) * 8;
    // Kept even, so that UTF-16 text after the header is aligned.
    m_headerSize = (m_slotsSize + (int(m_columns.size()) + 7) / 8 + 1) & ~1;
}

QByteArray RowCodec::packMessage(const unsigned char* message, const QVector<QByteArray>& blobs) const {
    // First pass: how much room the variable part may need (UTF-16 never takes
    // more units than the UTF-8 text has bytes).
    int room = 0;
    int blobIndex = 0;
    for (const Column& c : m_columns) {
        if (!isVariable(c.type))
            continue;
        if (c.type == FieldType::Memo || c.type == FieldType::Blob) {
            room += int(blobs[blobIndex++].size()) * (c.type == FieldType::Memo ? 2 : 1) + 1;
            continue;
        }
        if (*reinterpret_cast<const short*>(message + c.nullOffset) != 0)
            continue;
        const unsigned char* start;
        room += textBytesOfMessage(c, message + c.offset, &start) * 2;
    }

    // Packed into a scratch buffer first: the text's final length is known
    // only after decoding, and a kept row should not carry unused room.
    static thread_local QByteArray scratch;
    if (scratch.size() < m_headerSize + room)
        scratch.resize(std::max<qsizetype>(m_headerSize + room, 2 * scratch.size()));
    char* out = scratch.data();
    std::memset(out, 0, size_t(m_headerSize));
    unsigned char* nulls = reinterpret_cast<unsigned char*>(out + m_slotsSize);
    int used = m_headerSize;
    blobIndex = 0;

    for (int i = 0; i < m_columns.size(); ++i) {
        const Column& c = m_columns[i];
        const bool isBlob = c.type == FieldType::Memo || c.type == FieldType::Blob;
        const QByteArray* blob = isBlob ? &blobs[blobIndex++] : nullptr;
        char* slot = out + i * 8;
        if (*reinterpret_cast<const short*>(message + c.nullOffset) != 0) {
            nulls[i / 8] |= quint8(1u << (i % 8));
            continue;
        }
        const unsigned char* data = message + c.offset;
        switch (c.type) {
        case FieldType::String:
        case FieldType::FixedChar:
        case FieldType::Memo: {
            const unsigned char* start = nullptr;
            int bytes = 0;
            if (blob) {
                start = reinterpret_cast<const unsigned char*>(blob->constData());
                bytes = int(blob->size());
            } else {
                bytes = textBytesOfMessage(c, data, &start);
            }
            QChar* begin = reinterpret_cast<QChar*>(out + used);
            QChar* end = utf8().appendToBuffer(begin, QByteArrayView(start, bytes));
            const TextSlot ts{quint32(used), quint32(end - begin)};
            std::memcpy(slot, &ts, sizeof ts);
            used += int(end - begin) * 2;
            break;
        }
        case FieldType::Blob: {
            std::memcpy(out + used, blob->constData(), size_t(blob->size()));
            const TextSlot ts{quint32(used), quint32(blob->size())};
            std::memcpy(slot, &ts, sizeof ts);
            used = (used + int(blob->size()) + 1) & ~1;
            break;
        }
        case FieldType::SmallInt:
        case FieldType::Integer:
        case FieldType::LargeInt:
        case FieldType::Numeric: {
            qint64 v = 0;
            if (c.sqlType == SQL_SHORT)
                v = *reinterpret_cast<const qint16*>(data);
            else if (c.sqlType == SQL_LONG)
                v = *reinterpret_cast<const qint32*>(data);
            else
                v = *reinterpret_cast<const qint64*>(data);
            std::memcpy(slot, &v, 8);
            break;
        }
        case FieldType::Float: {
            double v = c.sqlType == SQL_FLOAT ? double(*reinterpret_cast<const float*>(data))
                                              : *reinterpret_cast<const double*>(data);
            std::memcpy(slot, &v, 8);
            break;
        }
        case FieldType::Boolean: {
            const qint64 v = *data ? 1 : 0;
            std::memcpy(slot, &v, 8);
            break;
        }
        case FieldType::Date: {
            const qint64 v = *reinterpret_cast<const qint32*>(data);
            std::memcpy(slot, &v, 8);
            break;
        }
        case FieldType::Time: {
            const qint64 v = *reinterpret_cast<const quint32*>(data);
            std::memcpy(slot, &v, 8);
            break;
        }
        case FieldType::DateTime: {
            const qint32 d = reinterpret_cast<const qint32*>(data)[0];
            const quint32 t = reinterpret_cast<const quint32*>(data)[1];
            const qint64 v = (qint64(d) << 32) | t;
            std::memcpy(slot, &v, 8);
            break;
        }
        case FieldType::Unknown:
            nulls[i / 8] |= quint8(1u << (i % 8));
            break;
        }
    }
    return QByteArray(out, used);
}

QByteArray RowCodec::fromValues(const QVector<QVariant>& values) const {
    int room = 0;
    for (int i = 0; i < m_columns.size(); ++i) {
        const FieldType t = m_columns[i].type;
        if (i < values.size() && !values[i].isNull()) {
            if (isText(t))
                room += int(values[i].toString().size()) * 2;
            else if (t == FieldType::Blob)
                room += int(values[i].toByteArray().size()) + 1;
        }
    }
    QByteArray row(m_headerSize + room, '\0');
    char* out = row.data();
    unsigned char* nulls = reinterpret_cast<unsigned char*>(out + m_slotsSize);
    int used = m_headerSize;
    for (int i = 0; i < m_columns.size(); ++i) {
        const Column& c = m_columns[i];
        char* slot = out + i * 8;
        const QVariant v = i < values.size() ? values[i] : QVariant();
        if (v.isNull() || c.type == FieldType::Unknown) {
            nulls[i / 8] |= quint8(1u << (i % 8));
            continue;
        }
        qint64 packed = 0;
        switch (c.type) {
        case FieldType::String:
        case FieldType::FixedChar:
        case FieldType::Memo: {
            const QString s = v.toString();
            std::memcpy(out + used, s.constData(), size_t(s.size()) * 2);
            const TextSlot ts{quint32(used), quint32(s.size())};
            std::memcpy(slot, &ts, sizeof ts);
            used += int(s.size()) * 2;
            continue;
        }
        case FieldType::Blob: {
            const QByteArray b = v.toByteArray();
            std::memcpy(out + used, b.constData(), size_t(b.size()));
            const TextSlot ts{quint32(used), quint32(b.size())};
            std::memcpy(slot, &ts, sizeof ts);
            used = (used + int(b.size()) + 1) & ~1;
            continue;
        }
        case FieldType::SmallInt:
        case FieldType::Integer:
        case FieldType::LargeInt:
            packed = v.toLongLong();
            break;
        case FieldType::Numeric:
            packed = v.value<Decimal>().rescaled(c.scale).units;
            break;
        case FieldType::Float: {
            const double d = v.toDouble();
            std::memcpy(&packed, &d, 8);
            break;
        }
        case FieldType::Boolean:
            packed = v.toBool() ? 1 : 0;
            break;
        case FieldType::Date:
            packed = iscFromDate(v.toDate());
            break;
        case FieldType::Time:
            packed = iscFromTime(v.toTime());
            break;
        case FieldType::DateTime: {
            const QDateTime dt = v.toDateTime();
            packed = (qint64(iscFromDate(dt.date())) << 32) | iscFromTime(dt.time());
            break;
        }
        case FieldType::Unknown:
            break;
        }
        std::memcpy(slot, &packed, 8);
    }
    row.resize(used);
    return row;
}

bool RowCodec::isNull(const QByteArray& row, int column) const {
    const auto* nulls = reinterpret_cast<const unsigned char*>(row.constData() + m_slotsSize);
    return (nulls[column / 8] >> (column % 8)) & 1u;
}

QVariant RowCodec::value(const QByteArray& row, int column) const {
    if (isNull(row, column))
        return QVariant();
    const Column& c = m_columns[column];
    const char* slot = row.constData() + column * 8;
    qint64 v;
    std::memcpy(&v, slot, 8);
    switch (c.type) {
    case FieldType::String:
    case FieldType::FixedChar:
    case FieldType::Memo: {
        TextSlot ts;
        std::memcpy(&ts, slot, sizeof ts);
        return QString(reinterpret_cast<const QChar*>(row.constData() + ts.offset), qsizetype(ts.length));
    }
    case FieldType::Blob: {
        TextSlot ts;
        std::memcpy(&ts, slot, sizeof ts);
        return QByteArray(row.constData() + ts.offset, qsizetype(ts.length));
    }
    case FieldType::SmallInt:
    case FieldType::Integer:
        return QVariant(int(v));
    case FieldType::LargeInt:
        return QVariant(qlonglong(v));
    case FieldType::Numeric:
        return QVariant::fromValue(Decimal{v, c.scale});
    case FieldType::Float: {
        double d;
        std::memcpy(&d, &v, 8);
        return QVariant(d);
    }
    case FieldType::Boolean:
        return QVariant(v != 0);
    case FieldType::Date:
        return QVariant(dateFromIsc(int(v)));
    case FieldType::Time:
        return QVariant(timeFromIsc(unsigned(v)));
    case FieldType::DateTime:
        return QVariant(QDateTime(dateFromIsc(int(v >> 32)), timeFromIsc(unsigned(v & 0xffffffff))));
    case FieldType::Unknown:
        break;
    }
    return QVariant();
}

QString RowCodec::text(const QByteArray& row, int column) const {
    const Column& c = m_columns[column];
    if (isText(c.type)) {
        if (isNull(row, column))
            return QString();
        TextSlot ts;
        std::memcpy(&ts, row.constData() + column * 8, sizeof ts);
        return QString(reinterpret_cast<const QChar*>(row.constData() + ts.offset), qsizetype(ts.length));
    }
    return Field::asString(value(row, column), c.type, c.scale);
}

} // namespace platform::db

#pragma once

// The columns of a result and the compact form in which a dataset keeps its
// rows: per row one byte array with a fixed 8-byte slot per column, a null
// bitmap, and the text of string columns as UTF-16 after them. A value is
// decoded only when it is read, so a large result costs little memory and
// a row that is never shown is never converted.

#include "PlatformExport.h"
#include "db/Field.h"

#include <QByteArray>
#include <QVariant>
#include <QVector>

namespace platform::db {

struct Column {
    QString name;     // name in the result (the alias)
    QString relation; // table the value comes from, empty for expressions
    QString field;    // column of that table
    FieldType type = FieldType::Unknown;
    unsigned sqlType = 0; // the client library's type code, without the null bit
    int scale = 0;        // digits after the point of NUMERIC columns
    unsigned length = 0;  // bytes in the client library's message
    int charLength = 0;   // characters of string columns
    int subType = 0;
    bool nullable = true;
    unsigned offset = 0;     // in the message
    unsigned nullOffset = 0; // in the message
};

class PLATFORM_EXPORT RowCodec {
public:
    RowCodec() = default;
    explicit RowCodec(QVector<Column> columns);

    const QVector<Column>& columns() const { return m_columns; }
    int count() const { return int(m_columns.size()); }

    // Packs a message fetched from the client library. Blob values are read
    // by `readBlob` (given the message bytes of the blob id).
    template <class BlobReader>
    QByteArray fromMessage(const unsigned char* message, BlobReader&& readBlob) const;

    // Packs values (one per column, converted to the column's type).
    QByteArray fromValues(const QVector<QVariant>& values) const;

    bool isNull(const QByteArray& row, int column) const;
    QVariant value(const QByteArray& row, int column) const;
    // The value as text without building a QVariant.
    QString text(const QByteArray& row, int column) const;

private:
    QVector<Column> m_columns;
    int m_slotsSize = 0;
    int m_headerSize = 0;

    QByteArray packMessage(const unsigned char* message, const QVector<QByteArray>& blobs) const;
};

// Conversions between the client library's date and time values and Qt's.
PLATFORM_EXPORT QDate dateFromIsc(int iscDate);
PLATFORM_EXPORT int iscFromDate(const QDate& date);
PLATFORM_EXPORT QTime timeFromIsc(unsigned iscTime);
PLATFORM_EXPORT unsigned iscFromTime(const QTime& time);

template <class BlobReader>
QByteArray RowCodec::fromMessage(const unsigned char* message, BlobReader&& readBlob) const {
    QVector<QByteArray> blobs;
    for (const Column& c : m_columns) {
        if (c.type == FieldType::Memo || c.type == FieldType::Blob) {
            const bool isNull = *reinterpret_cast<const short*>(message + c.nullOffset) != 0;
            blobs << (isNull ? QByteArray() : readBlob(message + c.offset));
        }
    }
    return packMessage(message, blobs);
}

} // namespace platform::db

#include "db/FbStatement.h"

#include "db/FbStatus.h"

#include <firebird/Interface.h>

using namespace Firebird;
using platform::db::fb::Status;

namespace platform::db {

namespace {

FieldType fieldTypeOf(unsigned sqlType, int scale, int subType, unsigned charSet) {
    switch (sqlType) {
    case SQL_VARYING:
        return FieldType::String;
    case SQL_TEXT:
        return FieldType::FixedChar;
    case SQL_SHORT:
        return scale < 0 ? FieldType::Numeric : FieldType::SmallInt;
    case SQL_LONG:
        return scale < 0 ? FieldType::Numeric : FieldType::Integer;
    case SQL_INT64:
        return scale < 0 ? FieldType::Numeric : FieldType::LargeInt;
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return FieldType::Float;
    case SQL_BOOLEAN:
        return FieldType::Boolean;
    case SQL_TYPE_DATE:
        return FieldType::Date;
    case SQL_TYPE_TIME:
        return FieldType::Time;
    case SQL_TIMESTAMP:
        return FieldType::DateTime;
    case SQL_BLOB:
        return subType == 1 ? FieldType::Memo : FieldType::Blob;
    default:
        return FieldType::Unknown;
    }
    Q_UNUSED(charSet);
}

int bytesPerChar(unsigned charSet) {
    switch (charSet) {
    case 4: // UTF8
        return 4;
    case 3: // UNICODE_FSS
        return 3;
    default:
        return 1;
    }
}

} // namespace

QVector<Column> describeColumns(IMessageMetadata* meta) {
    Status st;
    QVector<Column> columns;
    const unsigned count = meta->getCount(&st);
    st.ok();
    QStringList seen;
    for (unsigned i = 0; i < count; ++i) {
        Column c;
        c.sqlType = meta->getType(&st, i) & ~1u;
        c.nullable = meta->isNullable(&st, i);
        c.subType = meta->getSubType(&st, i);
        c.length = meta->getLength(&st, i);
        const int fbScale = meta->getScale(&st, i);
        const unsigned charSet = meta->getCharSet(&st, i);
        c.scale = fbScale < 0 ? -fbScale : 0;
        c.type = fieldTypeOf(c.sqlType, fbScale, c.subType, charSet);
        if (c.type == FieldType::String || c.type == FieldType::FixedChar)
            c.charLength = int(c.length) / bytesPerChar(charSet);
        c.offset = meta->getOffset(&st, i);
        c.nullOffset = meta->getNullOffset(&st, i);
        const char* alias = meta->getAlias(&st, i);
        const char* relation = meta->getRelation(&st, i);
        const char* field = meta->getField(&st, i);
        st.ok();
        c.relation = QString::fromUtf8(relation).trimmed();
        c.field = QString::fromUtf8(field).trimmed();
        QString name = QString::fromUtf8(alias).trimmed();
        if (name.isEmpty())
            name = c.field;
        // A second column of the same name (a join) is told apart as NAME_1, NAME_2, ...
        QString unique = name;
        for (int n = 1; seen.contains(unique, Qt::CaseInsensitive); ++n)
            unique = name + QStringLiteral("_") + QString::number(n);
        seen << unique;
        c.name = unique;
        columns << c;
    }
    return columns;
}

FbStatement::FbStatement(IAttachment* attachment, ITransaction* transaction, const QString& sql)
    : m_att(attachment) {
    Status st;
    const QByteArray text = sql.toUtf8();
    m_stmt = m_att->prepare(&st, transaction, unsigned(text.size()), text.constData(), 3,
                            IStatement::PREPARE_PREFETCH_METADATA);
    st.ok();
    const unsigned type = m_stmt->getType(&st);
    st.ok();
    switch (type) {
    case isc_info_sql_stmt_select:
        m_kind = StatementKind::Select;
        break;
    case isc_info_sql_stmt_select_for_upd:
        m_kind = StatementKind::SelectForUpdate;
        break;
    case isc_info_sql_stmt_exec_procedure:
        m_kind = StatementKind::ExecProcedure;
        break;
    default:
        m_kind = StatementKind::Other;
    }
    fb::Ref<IMessageMetadata> in(m_stmt->getInputMetadata(&st));
    st.ok();
    m_input = describeColumns(in.get());
    m_inputCount = int(m_input.size());
    m_outMeta = m_stmt->getOutputMetadata(&st);
    st.ok();
    m_output = describeColumns(m_outMeta);
    m_codec = RowCodec(m_output);
    m_outBuffer = QByteArray(int(m_outMeta->getMessageLength(&st)), '\0');
    st.ok();
}

FbStatement::~FbStatement() {
    if (m_cursor)
        m_cursor->release();
    if (m_outMeta)
        m_outMeta->release();
    if (m_stmt)
        m_stmt->release();
}

QByteArray FbStatement::bindInput(ITransaction* transaction, const QVector<QVariant>& params,
                                  IMessageMetadata** metadata) {
    *metadata = nullptr;
    if (m_inputCount == 0)
        return QByteArray();
    Status st;
    fb::Ref<IMessageMetadata> in(m_stmt->getInputMetadata(&st));
    st.ok();
    fb::Ref<IMetadataBuilder> builder(in->getBuilder(&st));
    st.ok();

    // Values converted to the parameters' types first; strings are sized to
    // the text, so that the server itself reports a value that is too long.
    QVector<QVariant> values(m_inputCount);
    QVector<QByteArray> texts(m_inputCount);
    for (int i = 0; i < m_inputCount; ++i) {
        const Column& c = m_input[i];
        const QVariant v = i < params.size() ? params[i] : QVariant();
        if (v.isNull())
            continue;
        // A text blob stays a blob, so that its text may be of any length.
        FieldType target = c.type;
        if (target == FieldType::Unknown)
            target = FieldType::String;
        values[i] = convertValue(v, target, c.scale);
        if (target == FieldType::String || target == FieldType::FixedChar) {
            texts[i] = values[i].toString().toUtf8();
            if (texts[i].size() > 32765)
                throw DataSetError(QStringLiteral("Текст параметра длиннее 32765 байт"));
            builder->setType(&st, unsigned(i), SQL_VARYING + 1);
            if (c.type == FieldType::Unknown)
                builder->setCharSet(&st, unsigned(i), 4);
            builder->setLength(
                &st, unsigned(i),
                std::max<unsigned>(c.type == FieldType::String || c.type == FieldType::FixedChar ? c.length
                                                                                                 : 0u,
                                   unsigned(std::max<qsizetype>(texts[i].size(), 1))));
            st.ok();
        }
    }
    fb::Ref<IMessageMetadata> meta(builder->getMetadata(&st));
    st.ok();
    QByteArray buffer(int(meta->getMessageLength(&st)), '\0');
    unsigned char* msg = reinterpret_cast<unsigned char*>(buffer.data());
    for (int i = 0; i < m_inputCount; ++i) {
        const unsigned idx = unsigned(i);
        short* nullFlag = reinterpret_cast<short*>(msg + meta->getNullOffset(&st, idx));
        unsigned char* data = msg + meta->getOffset(&st, idx);
        const unsigned type = meta->getType(&st, idx) & ~1u;
        st.ok();
        const QVariant& v = values[i];
        if (v.isNull()) {
            *nullFlag = -1;
            continue;
        }
        *nullFlag = 0;
        const Column& c = m_input[i];
        switch (type) {
        case SQL_VARYING: {
            const QByteArray& t = texts[i];
            *reinterpret_cast<unsigned short*>(data) = static_cast<unsigned short>(t.size());
            memcpy(data + 2, t.constData(), size_t(t.size()));
            break;
        }
        case SQL_SHORT:
        case SQL_LONG:
        case SQL_INT64: {
            const qint64 n =
                c.type == FieldType::Numeric ? v.value<Decimal>().rescaled(c.scale).units : v.toLongLong();
            if (type == SQL_SHORT)
                *reinterpret_cast<qint16*>(data) = qint16(n);
            else if (type == SQL_LONG)
                *reinterpret_cast<qint32*>(data) = qint32(n);
            else
                *reinterpret_cast<qint64*>(data) = n;
            if ((type == SQL_SHORT && (n < -32768 || n > 32767)) ||
                (type == SQL_LONG && (n < INT32_MIN || n > INT32_MAX)))
                throw DataSetError(QStringLiteral("Значение %1 не помещается в параметр").arg(n));
            break;
        }
        case SQL_FLOAT:
            *reinterpret_cast<float*>(data) = float(v.toDouble());
            break;
        case SQL_DOUBLE:
        case SQL_D_FLOAT:
            *reinterpret_cast<double*>(data) = v.toDouble();
            break;
        case SQL_BOOLEAN:
            *data = v.toBool() ? 1 : 0;
            break;
        case SQL_TYPE_DATE:
            *reinterpret_cast<qint32*>(data) = iscFromDate(v.toDate());
            break;
        case SQL_TYPE_TIME:
            *reinterpret_cast<quint32*>(data) = iscFromTime(v.toTime());
            break;
        case SQL_TIMESTAMP: {
            const QDateTime dt = v.toDateTime();
            reinterpret_cast<qint32*>(data)[0] = iscFromDate(dt.date());
            reinterpret_cast<quint32*>(data)[1] = iscFromTime(dt.time());
            break;
        }
        case SQL_BLOB: {
            const QByteArray bytes = v.toByteArray();
            ISC_QUAD id;
            fb::Ref<IBlob> blob(m_att->createBlob(&st, transaction, &id, 0, nullptr));
            st.ok();
            for (qsizetype pos = 0; pos < bytes.size(); pos += 32768) {
                const qsizetype n = std::min<qsizetype>(32768, bytes.size() - pos);
                blob->putSegment(&st, unsigned(n), bytes.constData() + pos);
                st.ok();
            }
            blob->close(&st);
            st.ok();
            (void)blob.release(); // close released the interface
            memcpy(data, &id, sizeof id);
            break;
        }
        default:
            throw DataSetError(QStringLiteral("Неподдерживаемый тип параметра %1").arg(i + 1));
        }
    }
    *metadata = meta.release();
    return buffer;
}

int FbStatement::execute(ITransaction* transaction, const QVector<QVariant>& params,
                         QVector<QVariant>* outputs) {
    IMessageMetadata* inMeta = nullptr;
    QByteArray input = bindInput(transaction, params, &inMeta);
    fb::Ref<IMessageMetadata> inGuard(inMeta);
    Status st;
    const bool hasOutput = !m_output.isEmpty();
    m_stmt->execute(&st, transaction, inMeta, inMeta ? input.data() : nullptr,
                    hasOutput ? m_outMeta : nullptr, hasOutput ? m_outBuffer.data() : nullptr);
    st.ok();
    if (outputs) {
        outputs->clear();
        if (hasOutput) {
            m_cursorTransaction = transaction;
            const QByteArray row =
                m_codec.fromMessage(reinterpret_cast<const unsigned char*>(m_outBuffer.constData()),
                                    [this](const unsigned char* id) { return readBlob(id); });
            for (int i = 0; i < m_output.size(); ++i)
                *outputs << m_codec.value(row, i);
            m_cursorTransaction = nullptr;
        }
    }
    const ISC_UINT64 affected = m_stmt->getAffectedRecords(&st);
    if (st.failed())
        return -1;
    return int(affected);
}

void FbStatement::openCursor(ITransaction* transaction, const QVector<QVariant>& params) {
    closeCursor();
    IMessageMetadata* inMeta = nullptr;
    QByteArray input = bindInput(transaction, params, &inMeta);
    fb::Ref<IMessageMetadata> inGuard(inMeta);
    Status st;
    m_cursor = m_stmt->openCursor(&st, transaction, inMeta, inMeta ? input.data() : nullptr, m_outMeta, 0);
    st.ok();
    m_cursorTransaction = transaction;
}

bool FbStatement::fetch(QByteArray* row) {
    if (!m_cursor)
        return false;
    Status st;
    const int rc = m_cursor->fetchNext(&st, m_outBuffer.data());
    st.ok();
    if (rc != IStatus::RESULT_OK)
        return false;
    *row = m_codec.fromMessage(reinterpret_cast<const unsigned char*>(m_outBuffer.constData()),
                               [this](const unsigned char* id) { return readBlob(id); });
    return true;
}

void FbStatement::closeCursor() {
    if (!m_cursor)
        return;
    Status st;
    m_cursor->close(&st);
    if (st.failed())
        m_cursor->release();
    m_cursor = nullptr;
    m_cursorTransaction = nullptr;
}

QByteArray FbStatement::readBlob(const unsigned char* idBytes) {
    Status st;
    ISC_QUAD id;
    memcpy(&id, idBytes, sizeof id);
    fb::Ref<IBlob> blob(m_att->openBlob(&st, m_cursorTransaction, &id, 0, nullptr));
    st.ok();
    QByteArray data;
    char chunk[32768];
    for (;;) {
        unsigned got = 0;
        const int rc = blob->getSegment(&st, sizeof chunk, chunk, &got);
        if (rc != IStatus::RESULT_OK && rc != IStatus::RESULT_SEGMENT)
            break;
        data.append(chunk, qsizetype(got));
    }
    st.ok();
    blob->close(&st);
    st.ok();
    (void)blob.release();
    return data;
}

} // namespace platform::db

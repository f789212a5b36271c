#include "db/FbClient.h"

#include "db/FbStatus.h"

#include <firebird/Interface.h>

#include <QFile>

using namespace Firebird;
using platform::db::fb::Status;

namespace platform::db {

namespace fb {

IMaster* master() {
    static IMaster* m = fb_get_master_interface();
    return m;
}

void check(IStatus* status) {
    if (!(status->getState() & IStatus::STATE_ERRORS))
        return;
    char buffer[2048];
    master()->getUtilInterface()->formatStatus(buffer, sizeof buffer, status);
    const ISC_STATUS* errors = status->getErrors();
    const long gds = (errors[0] == isc_arg_gds) ? long(errors[1]) : 0;
    const int sqlCode = int(isc_sqlcode(errors));
    throw DatabaseError(QString::fromUtf8(buffer).trimmed(), sqlCode, gds);
}

} // namespace fb

namespace {

IProvider* dispatcher() {
    static IProvider* p = fb::master()->getDispatcher();
    return p;
}

// Owns an XPB builder for the length of one call.
class Xpb {
public:
    explicit Xpb(unsigned kind) {
        Status st;
        m_xpb = fb::master()->getUtilInterface()->getXpbBuilder(&st, kind, nullptr, 0);
        st.ok();
    }
    ~Xpb() { m_xpb->dispose(); }
    Xpb(const Xpb&) = delete;
    Xpb& operator=(const Xpb&) = delete;

    void tag(unsigned char tag) {
        Status st;
        m_xpb->insertTag(&st, tag);
        st.ok();
    }
    void integer(unsigned char tag, int value) {
        Status st;
        m_xpb->insertInt(&st, tag, value);
        st.ok();
    }
    void text(unsigned char tag, const QString& value) {
        Status st;
        m_xpb->insertString(&st, tag, value.toUtf8().constData());
        st.ok();
    }
    unsigned length() {
        Status st;
        unsigned n = m_xpb->getBufferLength(&st);
        st.ok();
        return n;
    }
    const unsigned char* buffer() {
        Status st;
        const unsigned char* b = m_xpb->getBuffer(&st);
        st.ok();
        return b;
    }

private:
    IXpbBuilder* m_xpb = nullptr;
};

void fillConnectDpb(Xpb& dpb, const ConnectParams& p) {
    dpb.tag(isc_dpb_utf8_filename);
    if (!p.user.isEmpty())
        dpb.text(isc_dpb_user_name, p.user);
    if (!p.password.isEmpty())
        dpb.text(isc_dpb_password, p.password);
    if (!p.role.isEmpty())
        dpb.text(isc_dpb_sql_role_name, p.role);
    dpb.text(isc_dpb_lc_ctype, p.charset.isEmpty() ? QStringLiteral("UTF8") : p.charset);
}

QByteArray databaseName(const QString& database) {
    return database.toUtf8();
}

} // namespace

// ---------------------------------------------------------------- transaction

FbTransaction::FbTransaction(IAttachment* attachment, TransactionKind kind, int lockTimeoutSeconds) {
    Xpb tpb(IXpbBuilder::TPB);
    tpb.tag(isc_tpb_read_committed);
    tpb.tag(isc_tpb_rec_version);
    if (kind == TransactionKind::ReadOnly) {
        tpb.tag(isc_tpb_read);
        tpb.tag(isc_tpb_nowait);
    } else {
        tpb.tag(isc_tpb_write);
        if (lockTimeoutSeconds > 0) {
            tpb.tag(isc_tpb_wait);
            tpb.integer(isc_tpb_lock_timeout, lockTimeoutSeconds);
        } else {
            tpb.tag(isc_tpb_nowait);
        }
    }
    Status st;
    m_tra = attachment->startTransaction(&st, tpb.length(), tpb.buffer());
    st.ok();
}

FbTransaction::~FbTransaction() {
    if (m_tra) {
        Status st;
        m_tra->rollback(&st);
        if (st.failed())
            m_tra->release();
        m_tra = nullptr;
    }
}

void FbTransaction::commit() {
    if (!m_tra)
        return;
    Status st;
    m_tra->commit(&st);
    st.ok();
    m_tra = nullptr; // commit releases the interface
}

void FbTransaction::rollback() {
    if (!m_tra)
        return;
    Status st;
    m_tra->rollback(&st);
    st.ok();
    m_tra = nullptr;
}

// ----------------------------------------------------------------- attachment

FbAttachment::FbAttachment(IAttachment* att, QString database, bool owned)
    : m_att(att)
    , m_owned(owned)
    , m_database(std::move(database)) {}

std::unique_ptr<FbAttachment> FbAttachment::adopt(IAttachment* handle, const QString& database) {
    if (!handle)
        throw DatabaseError(QStringLiteral("База данных не подключена"));
    handle->addRef();
    return std::unique_ptr<FbAttachment>(new FbAttachment(handle, database, false));
}

FbAttachment::~FbAttachment() {
    if (m_att && !m_owned) {
        m_att->release();
        m_att = nullptr;
    }
    if (m_att) {
        Status st;
        m_att->detach(&st);
        if (st.failed())
            m_att->release();
        m_att = nullptr;
    }
}

std::unique_ptr<FbAttachment> FbAttachment::create(const CreateParams& params) {
    Xpb dpb(IXpbBuilder::DPB);
    fillConnectDpb(dpb, params);
    dpb.integer(isc_dpb_sql_dialect, params.dialect);
    dpb.integer(isc_dpb_page_size, params.pageSize);
    dpb.text(isc_dpb_set_db_charset, params.defaultCharset);
    dpb.integer(isc_dpb_force_write, params.forcedWrites ? 1 : 0);
    Status st;
    const QByteArray name = databaseName(params.database);
    IAttachment* att = dispatcher()->createDatabase(&st, name.constData(), dpb.length(), dpb.buffer());
    st.ok();
    return std::unique_ptr<FbAttachment>(new FbAttachment(att, params.database));
}

std::unique_ptr<FbAttachment> FbAttachment::attach(const ConnectParams& params) {
    Xpb dpb(IXpbBuilder::DPB);
    fillConnectDpb(dpb, params);
    Status st;
    const QByteArray name = databaseName(params.database);
    IAttachment* att = dispatcher()->attachDatabase(&st, name.constData(), dpb.length(), dpb.buffer());
    st.ok();
    return std::unique_ptr<FbAttachment>(new FbAttachment(att, params.database));
}

void FbAttachment::detach() {
    if (!m_att)
        return;
    if (!m_owned) {
        m_att->release();
        m_att = nullptr;
        return;
    }
    Status st;
    m_att->detach(&st);
    st.ok();
    m_att = nullptr;
}

void FbAttachment::dropDatabase() {
    if (!m_att)
        return;
    Status st;
    m_att->dropDatabase(&st);
    st.ok();
    m_att = nullptr;
}

std::unique_ptr<FbTransaction> FbAttachment::startTransaction(TransactionKind kind) const {
    if (!m_att)
        throw DatabaseError(QStringLiteral("База данных не подключена"));
    return std::make_unique<FbTransaction>(m_att, kind, m_lockTimeout);
}

void FbAttachment::execute(const QString& sql) {
    auto tra = startTransaction(TransactionKind::ReadWrite);
    Status st;
    const QByteArray text = sql.toUtf8();
    m_att->execute(&st, tra->handle(), text.size(), text.constData(), 3, nullptr, nullptr, nullptr, nullptr);
    st.ok();
    tra->commit();
}

namespace {

QString readTextBlob(IAttachment* att, ITransaction* tra, ISC_QUAD* id) {
    Status st;
    fb::Ref<IBlob> blob(att->openBlob(&st, tra, id, 0, nullptr));
    st.ok();
    QByteArray data;
    char chunk[16384];
    for (;;) {
        unsigned got = 0;
        const int rc = blob->getSegment(&st, sizeof chunk, chunk, &got);
        if (rc != IStatus::RESULT_OK && rc != IStatus::RESULT_SEGMENT)
            break;
        data.append(chunk, int(got));
    }
    st.ok();
    blob->close(&st);
    st.ok();
    blob.release(); // close released the interface
    return QString::fromUtf8(data);
}

} // namespace

QVector<QStringList> FbAttachment::selectText(const QString& sql) {
    auto tra = startTransaction(TransactionKind::ReadOnly);
    Status st;
    const QByteArray text = sql.toUtf8();
    fb::Ref<IStatement> stmt(m_att->prepare(&st, tra->handle(), text.size(), text.constData(), 3,
                                            IStatement::PREPARE_PREFETCH_METADATA));
    st.ok();
    fb::Ref<IMessageMetadata> in(stmt->getOutputMetadata(&st));
    st.ok();
    const unsigned count = in->getCount(&st);
    fb::Ref<IMetadataBuilder> builder(in->getBuilder(&st));
    st.ok();
    // Every column but blobs arrives as UTF-8 text, converted by the engine.
    for (unsigned i = 0; i < count; ++i) {
        const unsigned type = in->getType(&st, i) & ~1u;
        if (type == SQL_BLOB)
            continue;
        const unsigned length = in->getLength(&st, i);
        const bool isText = type == SQL_TEXT || type == SQL_VARYING;
        builder->setType(&st, i, SQL_VARYING + 1);
        builder->setCharSet(&st, i, 4 /* UTF8 */);
        // Lengths of UTF8 text are in bytes, four a character: room for 64
        // characters (a BIGINT, a NUMERIC(18,4), a timestamp) and more.
        builder->setLength(&st, i, std::max(isText ? length : 0u, 64u * 4u));
        st.ok();
    }
    fb::Ref<IMessageMetadata> out(builder->getMetadata(&st));
    st.ok();

    fb::Ref<IResultSet> rs(stmt->openCursor(&st, tra->handle(), nullptr, nullptr, out.get(), 0));
    st.ok();
    QByteArray buffer(int(out->getMessageLength(&st)), '\0');
    QVector<QStringList> rows;
    while (rs->fetchNext(&st, buffer.data()) == IStatus::RESULT_OK) {
        QStringList row;
        const char* base = buffer.constData();
        for (unsigned i = 0; i < count; ++i) {
            if (*reinterpret_cast<const short*>(base + out->getNullOffset(&st, i)) != 0) {
                row << QString();
                continue;
            }
            const char* data = base + out->getOffset(&st, i);
            if ((out->getType(&st, i) & ~1u) == SQL_BLOB) {
                ISC_QUAD id = *reinterpret_cast<const ISC_QUAD*>(data);
                row << readTextBlob(m_att, tra->handle(), &id);
            } else {
                const unsigned short len = *reinterpret_cast<const unsigned short*>(data);
                row << QString::fromUtf8(data + 2, len);
            }
        }
        rows << row;
    }
    st.ok();
    rs->close(&st);
    st.ok();
    rs.release(); // close released the cursor
    tra->commit();
    return rows;
}

} // namespace platform::db

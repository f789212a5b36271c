#include "db/Database.h"

#include "db/DataSet.h"
#include "db/FbStatement.h"

#include <firebird/Interface.h>

namespace platform::db {

Database::Database(QObject* parent)
    : QObject(parent) {}

Database::~Database() {
    const auto dataSets = m_dataSets;
    for (DataSet* ds : dataSets) {
        try {
            ds->close();
        } catch (...) {
        }
    }
    m_attachment.reset();
}

QString Database::param(const QString& name) const {
    for (const QString& p : m_params) {
        const int eq = p.indexOf(u'=');
        if (eq > 0 && p.left(eq).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return p.mid(eq + 1);
    }
    return QString();
}

void Database::open() {
    if (isConnected())
        return;
    ConnectParams cp;
    cp.database = param(QStringLiteral("SERVER NAME")).trimmed();
    cp.user = param(QStringLiteral("USER NAME"));
    cp.password = param(QStringLiteral("PASSWORD"));
    cp.role = param(QStringLiteral("ROLE NAME"));
    // The connection always speaks UTF8; the language driver of the old
    // parameter lists names the database's own code page and is not needed.
    if (cp.database.isEmpty())
        throw DatabaseError(QStringLiteral("Не указан путь к базе данных"));
    auto attachment = FbAttachment::attach(cp);
    attachment->setLockTimeout(m_lockTimeout);
    m_attachment = std::move(attachment);
    m_keys.clear();
    Q_EMIT connectedChanged(true);
}

void Database::close() {
    if (!m_attachment)
        return;
    const auto dataSets = m_dataSets;
    for (DataSet* ds : dataSets)
        ds->close();
    std::shared_ptr<FbAttachment> attachment = std::move(m_attachment);
    m_keys.clear();
    // Detach only when no other component shares the connection.
    if (attachment.use_count() == 1)
        attachment->detach();
    Q_EMIT connectedChanged(false);
}

void Database::shareConnection(const Database& other) {
    other.checkConnected();
    close();
    m_attachment = other.m_attachment;
    Q_EMIT connectedChanged(true);
}

void Database::adoptHandle(Firebird::IAttachment* handle) {
    close();
    auto attachment = FbAttachment::adopt(handle);
    attachment->setLockTimeout(m_lockTimeout);
    m_attachment = std::move(attachment);
    Q_EMIT connectedChanged(true);
}

Firebird::IAttachment* Database::handle() const {
    return m_attachment ? m_attachment->handle() : nullptr;
}

void Database::setLockTimeout(int seconds) {
    m_lockTimeout = seconds;
    if (m_attachment)
        m_attachment->setLockTimeout(seconds);
}

void Database::checkConnected() const {
    if (!isConnected())
        throw DatabaseError(QStringLiteral("База данных не подключена"));
}

int Database::execute(const QString& sql, const QVector<QVariant>& params) {
    checkConnected();
    auto tra = std::make_unique<FbTransaction>(handle(), TransactionKind::ReadWrite, m_lockTimeout);
    FbStatement stmt(handle(), tra->handle(), sql);
    const int rows = stmt.execute(tra->handle(), params);
    tra->commit();
    return rows;
}

QStringList Database::tableNames() {
    checkConnected();
    QStringList names;
    for (const QStringList& row : m_attachment->selectText(
             QStringLiteral("select trim(rdb$relation_name) from rdb$relations "
                            "where coalesce(rdb$system_flag, 0) = 0 and rdb$view_blr is null "
                            "order by rdb$relation_name")))
        names << row.value(0);
    return names;
}

QStringList Database::primaryKey(const QString& table) {
    checkConnected();
    const auto found = m_keys.constFind(table);
    if (found != m_keys.constEnd())
        return *found;
    auto tra = std::make_unique<FbTransaction>(handle(), TransactionKind::ReadOnly, 0);
    FbStatement stmt(handle(), tra->handle(),
                     QStringLiteral("select s.rdb$field_name from rdb$relation_constraints c "
                                    "join rdb$index_segments s on s.rdb$index_name = c.rdb$index_name "
                                    "where c.rdb$relation_name = ? and c.rdb$constraint_type = 'PRIMARY KEY' "
                                    "order by s.rdb$field_position"));
    stmt.openCursor(tra->handle(), {table});
    QStringList key;
    QByteArray row;
    while (stmt.fetch(&row))
        key << stmt.codec().text(row, 0);
    stmt.closeCursor();
    tra->commit();
    m_keys.insert(table, key);
    return key;
}

void Database::registerDataSet(DataSet* dataSet) {
    if (!m_dataSets.contains(dataSet))
        m_dataSets << dataSet;
}

void Database::unregisterDataSet(DataSet* dataSet) {
    m_dataSets.removeAll(dataSet);
}

} // namespace platform::db

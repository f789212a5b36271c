#include "db/Query.h"

#include "db/Database.h"
#include "db/FbStatement.h"
#include "db/SqlLexer.h"

#include <QRegularExpression>

namespace platform::db {

QString quoteIdentifier(const QString& name) {
    QString inner = name;
    inner.replace(u'"', QStringLiteral("\"\""));
    return u'"' + inner + u'"';
}

ParsedSql ParsedSql::parse(const QString& text) {
    ParsedSql parsed;
    parsed.sql.reserve(text.size());
    for (const sql::Token& t : sql::tokenize(text)) {
        if (t.kind == sql::TokenKind::Parameter) {
            const QString name = sql::parameterName(text, t);
            parsed.positions << name;
            if (!parsed.names.contains(name))
                parsed.names << name;
            parsed.sql += u'?';
        } else {
            parsed.sql += sql::tokenText(text, t);
        }
    }
    return parsed;
}

// ------------------------------------------------------------------- Query

Query::Query(QObject* parent)
    : DataSet(parent) {}

Query::Query(Database* database, QObject* parent)
    : DataSet(parent) {
    setDatabase(database);
}

Query::~Query() {
    // A query going away closes without its events: their handlers may
    // belong to objects that are already gone.
    beforeClose = nullptr;
    afterClose = nullptr;
    try {
        close();
    } catch (...) {
    }
    if (m_database)
        m_database->unregisterDataSet(this);
}

void Query::setDatabase(Database* database) {
    if (m_database == database)
        return;
    close();
    if (m_database)
        m_database->unregisterDataSet(this);
    m_database = database;
    if (m_database)
        m_database->registerDataSet(this);
}

void Query::setSql(const QString& sql) {
    close();
    m_sql = sql;
    m_parsed = ParsedSql::parse(sql);
    std::vector<std::unique_ptr<Param>> params;
    for (const QString& name : m_parsed.names) {
        std::unique_ptr<Param> p;
        for (auto& old : m_params)
            if (old && old->name() == name)
                p = std::move(old);
        if (!p)
            p = std::make_unique<Param>(name);
        params.push_back(std::move(p));
    }
    m_params.swap(params);
}

Param* Query::findParam(const QString& name) {
    const QString wanted = name.startsWith(u'"') ? name.mid(1, name.size() - 2) : name.toUpper();
    for (auto& p : m_params)
        if (p->name() == wanted)
            return p.get();
    return nullptr;
}

Param& Query::paramByName(const QString& name) {
    Param* p = findParam(name);
    if (!p)
        throw DataSetError(QStringLiteral("Параметр '%1' не найден").arg(name));
    return *p;
}

QVector<QVariant> Query::paramValues() const {
    // The positions hold the names as parsed (a quoted name without its
    // quotes), so they are matched as they are, not read as SQL again.
    QVector<QVariant> values;
    for (const QString& name : m_parsed.positions) {
        for (const auto& p : m_params) {
            if (p->name() == name) {
                values << p->value();
                break;
            }
        }
    }
    return values;
}

bool Query::canModify() const {
    return m_requestLive && (!isActive() || !m_table.isEmpty());
}

QVector<Column> Query::openCursor() {
    if (!m_database)
        throw DataSetError(QStringLiteral("Набору данных не назначена база данных"));
    m_database->checkConnected();
    m_transaction = std::make_unique<FbTransaction>(m_database->handle(), TransactionKind::ReadOnly, 0);
    m_statement = std::make_unique<FbStatement>(m_database->handle(), m_transaction->handle(), m_parsed.sql);
    if (m_statement->kind() != StatementKind::Select && m_statement->kind() != StatementKind::SelectForUpdate)
        throw DataSetError(QStringLiteral("Оператор не возвращает набор данных"));
    m_statement->openCursor(m_transaction->handle(), paramValues());
    const QVector<Column> columns = m_statement->outputColumns();
    m_table.clear();
    m_keyColumns.clear();
    m_tableColumns.clear();
    if (m_requestLive)
        findUpdateTable(columns);
    return columns;
}

bool Query::fetchRow(QByteArray* row) {
    if (!m_statement)
        return false;
    if (m_statement->fetch(row))
        return true;
    // The whole result is read: the browsing transaction is done.
    finishCursor();
    return false;
}

void Query::finishCursor() {
    std::unique_ptr<FbStatement> statement = std::move(m_statement);
    std::unique_ptr<FbTransaction> transaction = std::move(m_transaction);
    if (statement)
        statement->closeCursor();
    statement.reset();
    if (transaction)
        transaction->commit();
}

void Query::closeCursor() {
    finishCursor();
}

void Query::findUpdateTable(const QVector<Column>& columns) {
    for (const Column& c : columns) {
        if (!c.relation.isEmpty() && !c.field.isEmpty()) {
            m_table = c.relation;
            break;
        }
    }
    if (m_table.isEmpty())
        return;
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].relation == m_table && !columns[i].field.isEmpty())
            m_tableColumns << i;
    const QStringList key = m_database->primaryKey(m_table);
    QStringList found;
    for (const QString& k : key)
        for (int i : m_tableColumns)
            if (columns[i].field == k) {
                found << columns[i].name;
                break;
            }
    if (!key.isEmpty() && found.size() == key.size())
        m_keyColumns = found;
}

QString Query::whereKey(const QByteArray& old, QVector<QVariant>* params) const {
    QStringList conditions;
    const QVector<Column>& columns = codec().columns();
    if (!m_keyColumns.isEmpty()) {
        for (const QString& name : m_keyColumns) {
            for (int i : m_tableColumns) {
                if (columns[i].name != name)
                    continue;
                if (codec().isNull(old, i)) {
                    conditions << quoteIdentifier(columns[i].field) + QStringLiteral(" IS NULL");
                } else {
                    conditions << quoteIdentifier(columns[i].field) + QStringLiteral(" = ?");
                    *params << codec().value(old, i);
                }
            }
        }
        return conditions.join(QStringLiteral(" AND "));
    }
    // No primary key: the row is the one whose columns all hold the values read.
    for (int i : m_tableColumns) {
        const FieldType t = columns[i].type;
        if (t == FieldType::Memo || t == FieldType::Blob || t == FieldType::Unknown)
            continue;
        conditions << quoteIdentifier(columns[i].field) + QStringLiteral(" IS NOT DISTINCT FROM ?");
        *params << codec().value(old, i);
    }
    return conditions.join(QStringLiteral(" AND ")) + QStringLiteral(" ROWS 1");
}

void Query::writeRow(const QByteArray* old, const QVector<QVariant>& values, const QVector<bool>& modified) {
    if (!canModify() || m_table.isEmpty())
        throw DataSetError(QStringLiteral("Невозможно изменить набор данных только для чтения"));
    m_database->checkConnected();
    const QVector<Column>& columns = codec().columns();
    QStringList names;
    QVector<QVariant> params;
    for (int i : m_tableColumns) {
        if (!modified.value(i))
            continue;
        names << quoteIdentifier(columns[i].field);
        params << values.value(i);
    }
    if (!old) {
        QString sql = QStringLiteral("INSERT INTO ") + quoteIdentifier(m_table);
        if (names.isEmpty()) {
            sql += QStringLiteral(" DEFAULT VALUES");
        } else {
            QStringList marks;
            for (int i = 0; i < names.size(); ++i)
                marks << QStringLiteral("?");
            sql += QStringLiteral(" (") + names.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (") +
                   marks.join(QStringLiteral(", ")) + u')';
        }
        m_database->execute(sql, params);
        return;
    }
    if (names.isEmpty())
        return; // nothing changed
    QStringList sets;
    for (const QString& n : names)
        sets << n + QStringLiteral(" = ?");
    const QString where = whereKey(*old, &params);
    const QString sql = QStringLiteral("UPDATE ") + quoteIdentifier(m_table) + QStringLiteral(" SET ") +
                        sets.join(QStringLiteral(", ")) + QStringLiteral(" WHERE ") + where;
    if (m_database->execute(sql, params) == 0)
        throw DatabaseError(QStringLiteral("Запись не найдена: её изменил или удалил другой пользователь"));
}

void Query::removeRow(const QByteArray& old) {
    if (!canModify() || m_table.isEmpty())
        throw DataSetError(QStringLiteral("Невозможно изменить набор данных только для чтения"));
    m_database->checkConnected();
    QVector<QVariant> params;
    const QString sql = QStringLiteral("DELETE FROM ") + quoteIdentifier(m_table) +
                        QStringLiteral(" WHERE ") + whereKey(old, &params);
    if (m_database->execute(sql, params) == 0)
        throw DatabaseError(QStringLiteral("Запись не найдена: её изменил или удалил другой пользователь"));
}

int Query::execSql() {
    if (!m_database)
        throw DataSetError(QStringLiteral("Набору данных не назначена база данных"));
    m_rowsAffected = m_database->execute(m_parsed.sql, paramValues());
    return m_rowsAffected;
}

// ------------------------------------------------------------------- Table

Table::Table(QObject* parent)
    : Query(parent) {
    setRequestLive(true);
}

Table::Table(Database* database, const QString& tableName, QObject* parent)
    : Query(database, parent) {
    setRequestLive(true);
    if (!tableName.isEmpty())
        setTableName(tableName);
}

void Table::setTableName(const QString& name) {
    m_tableName = name;
    // An unquoted name means what it means in SQL: upper case.
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z][A-Za-z0-9_$]*$"));
    const QString sqlName =
        plain.match(name).hasMatch() ? quoteIdentifier(name.toUpper()) : quoteIdentifier(name);
    setSql(QStringLiteral("SELECT * FROM ") + sqlName);
}

} // namespace platform::db

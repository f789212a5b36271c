#pragma once

// A dataset over an SQL statement: named parameters resolved by the layer
// itself, read-only or live. A live query over one table writes inserts,
// updates and deletes to that table by its key.

#include "PlatformExport.h"
#include "db/DataSet.h"
#include "db/Database.h"

#include <QPointer>
#include <QStringList>

#include <memory>

namespace platform::db {

class Database;
class FbStatement;
class FbTransaction;

// One named parameter of a statement.
class PLATFORM_EXPORT Param {
public:
    explicit Param(QString name)
        : m_name(std::move(name)) {}
    const QString& name() const { return m_name; }
    QVariant value() const { return m_value; }
    void setValue(const QVariant& value) { m_value = value; }
    bool isNull() const { return m_value.isNull(); }
    void clear() { m_value = QVariant(); }
    void setAsInteger(qint64 value) { m_value = QVariant(qlonglong(value)); }
    void setAsString(const QString& value) { m_value = value; }
    void setAsDate(const QDate& value) { m_value = value; }
    void setAsFloat(double value) { m_value = value; }
    qint64 asInteger() const { return m_value.toLongLong(); }
    QString asString() const { return m_value.toString(); }

private:
    QString m_name;
    QVariant m_value;
};

// The statement with its named parameters replaced by "?", and the name of
// each "?" in order. Literals, quoted names and comments are left alone;
// names are compared without regard to case (":ID" and ":id" are one).
struct PLATFORM_EXPORT ParsedSql {
    QString sql;
    QStringList positions;
    QStringList names; // each distinct name once, in order of appearance
    static ParsedSql parse(const QString& text);
};

class PLATFORM_EXPORT Query : public DataSet {
    Q_OBJECT

public:
    explicit Query(QObject* parent = nullptr);
    explicit Query(Database* database, QObject* parent = nullptr);
    ~Query() override;

    Database* database() const { return m_database; }
    void setDatabase(Database* database);

    QString sql() const { return m_sql; }
    // Replaces the statement; an open query is closed first. The parameters
    // are taken from the new text; values of names that stay are kept.
    void setSql(const QString& sql);

    // Live queries accept inserts, edits and deletes.
    bool requestLive() const { return m_requestLive; }
    void setRequestLive(bool live) { m_requestLive = live; }
    bool canModify() const override;
    // The table a live query writes and its key columns (after opening).
    QString updateTable() const { return m_table; }
    QStringList keyFields() const { return m_keyColumns; }

    int paramCount() const { return int(m_params.size()); }
    Param& param(int index) { return *m_params[size_t(index)]; }
    // Throws DataSetError naming the parameter when the statement has none of that name.
    Param& paramByName(const QString& name);
    Param* findParam(const QString& name);

    // Runs a statement that returns no rows (in its own transaction,
    // committed at once); returns the number of rows it changed.
    int execSql();
    int rowsAffected() const { return m_rowsAffected; }

protected:
    QVector<Column> openCursor() override;
    bool fetchRow(QByteArray* row) override;
    void closeCursor() override;
    void writeRow(const QByteArray* old, const QVector<QVariant>& values,
                  const QVector<bool>& modified) override;
    void removeRow(const QByteArray& old) override;

private:
    QVector<QVariant> paramValues() const;
    void findUpdateTable(const QVector<Column>& columns);
    QString whereKey(const QByteArray& old, QVector<QVariant>* params) const;
    void finishCursor();

    QPointer<Database> m_database;
    QString m_sql;
    ParsedSql m_parsed;
    std::vector<std::unique_ptr<Param>> m_params;
    bool m_requestLive = false;
    int m_rowsAffected = -1;
    std::unique_ptr<FbTransaction> m_transaction;
    std::unique_ptr<FbStatement> m_statement;
    QString m_table;
    QStringList m_keyColumns;    // result columns holding the table's key
    QVector<int> m_tableColumns; // result columns that belong to the table
};

// A live dataset over a whole table.
class PLATFORM_EXPORT Table : public Query {
    Q_OBJECT

public:
    explicit Table(QObject* parent = nullptr);
    explicit Table(Database* database, const QString& tableName = {}, QObject* parent = nullptr);
    QString tableName() const { return m_tableName; }
    void setTableName(const QString& name);

private:
    QString m_tableName;
};

// Quotes an identifier for SQL text ("NAME", inner quotes doubled).
PLATFORM_EXPORT QString quoteIdentifier(const QString& name);

} // namespace platform::db

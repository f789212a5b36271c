#pragma once

// An executable stored procedure: its parameters (name, direction, type and
// order) come from the database's metadata; executing it fills the output
// parameters. Selectable procedures are read through a Query instead.

#include "PlatformExport.h"
#include "db/Field.h"

#include <QObject>
#include <QPointer>
#include <QVariant>

#include <vector>

namespace platform::db {

class Database;

enum class ParamDirection { Input, Output };

struct ProcParam {
    QString name;
    ParamDirection direction = ParamDirection::Input;
    FieldType type = FieldType::Unknown;
    int scale = 0;
    int position = 0; // order among the parameters of its direction, from 0
    QVariant value;
};

class PLATFORM_EXPORT StoredProc : public QObject {
    Q_OBJECT

public:
    explicit StoredProc(Database* database = nullptr, const QString& name = {}, QObject* parent = nullptr);

    Database* database() const { return m_database; }
    void setDatabase(Database* database);
    QString procedureName() const { return m_name; }
    void setProcedureName(const QString& name);

    // Reads the parameters from the database; executing prepares by itself.
    void prepare();
    bool isPrepared() const { return m_prepared; }
    void unprepare();

    // Input parameters first, then output parameters, each in their order.
    int paramCount() const { return int(m_params.size()); }
    ProcParam& param(int index) { return m_params[size_t(index)]; }
    ProcParam& paramByName(const QString& name);
    ProcParam* findParam(const QString& name);

    // Runs the procedure in its own transaction, committed at once, and
    // fills the output parameters.
    void execProc();

private:
    QPointer<Database> m_database;
    QString m_name;
    bool m_prepared = false;
    std::vector<ProcParam> m_params;
};

} // namespace platform::db

#include "db/StoredProc.h"

#include "db/Database.h"
#include "db/FbStatement.h"
#include "db/Query.h"

namespace platform::db {

StoredProc::StoredProc(Database* database, const QString& name, QObject* parent)
    : QObject(parent)
    , m_database(database)
    , m_name(name) {}

void StoredProc::setDatabase(Database* database) {
    m_database = database;
    unprepare();
}

void StoredProc::setProcedureName(const QString& name) {
    m_name = name;
    unprepare();
}

void StoredProc::unprepare() {
    m_prepared = false;
    m_params.clear();
}

void StoredProc::prepare() {
    if (m_prepared)
        return;
    if (!m_database)
        throw DataSetError(QStringLiteral("Процедуре не назначена база данных"));
    m_database->checkConnected();
    const QString procName = m_name.startsWith(u'"') ? m_name.mid(1, m_name.size() - 2) : m_name.toUpper();

    std::vector<ProcParam> params;
    auto tra = std::make_unique<FbTransaction>(m_database->handle(), TransactionKind::ReadOnly, 0);
    {
        FbStatement names(
            m_database->handle(), tra->handle(),
            QStringLiteral("select trim(rdb$parameter_name), rdb$parameter_type, rdb$parameter_number "
                           "from rdb$procedure_parameters where rdb$procedure_name = ? "
                           "and rdb$package_name is null "
                           "order by rdb$parameter_type, rdb$parameter_number"));
        names.openCursor(tra->handle(), {procName});
        QByteArray row;
        while (names.fetch(&row)) {
            ProcParam p;
            p.name = names.codec().text(row, 0);
            p.direction =
                names.codec().value(row, 1).toInt() == 0 ? ParamDirection::Input : ParamDirection::Output;
            p.position = names.codec().value(row, 2).toInt();
            params.push_back(p);
        }
        names.closeCursor();
    }
    {
        FbStatement exists(m_database->handle(), tra->handle(),
                           QStringLiteral("select count(*) from rdb$procedures where rdb$procedure_name = ? "
                                          "and rdb$package_name is null"));
        exists.openCursor(tra->handle(), {procName});
        QByteArray row;
        if (!exists.fetch(&row) || exists.codec().value(row, 0).toInt() == 0)
            throw DataSetError(QStringLiteral("Процедура '%1' не найдена").arg(m_name));
        exists.closeCursor();
    }
    // Types as the server describes them for a call.
    int inputs = 0;
    for (const ProcParam& p : params)
        inputs += p.direction == ParamDirection::Input ? 1 : 0;
    QStringList marks;
    for (int i = 0; i < inputs; ++i)
        marks << QStringLiteral("?");
    const QString call =
        QStringLiteral("EXECUTE PROCEDURE ") + quoteIdentifier(procName) +
        (inputs ? QStringLiteral(" (") + marks.join(QStringLiteral(", ")) + u')' : QString());
    FbStatement stmt(m_database->handle(), tra->handle(), call);
    int in = 0, out = 0;
    for (ProcParam& p : params) {
        const Column& c = p.direction == ParamDirection::Input ? stmt.inputColumns().at(in++)
                                                               : stmt.outputColumns().at(out++);
        p.type = c.type;
        p.scale = c.scale;
    }
    tra->commit();
    m_params = std::move(params);
    m_prepared = true;
}

ProcParam* StoredProc::findParam(const QString& name) {
    for (ProcParam& p : m_params)
        if (p.name.compare(name, Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}

ProcParam& StoredProc::paramByName(const QString& name) {
    prepare();
    ProcParam* p = findParam(name);
    if (!p)
        throw DataSetError(QStringLiteral("Параметр '%1' не найден").arg(name));
    return *p;
}

void StoredProc::execProc() {
    prepare();
    QVector<QVariant> inputs;
    QStringList marks;
    for (const ProcParam& p : m_params) {
        if (p.direction != ParamDirection::Input)
            continue;
        inputs << p.value;
        marks << QStringLiteral("?");
    }
    const QString procName = m_name.startsWith(u'"') ? m_name.mid(1, m_name.size() - 2) : m_name.toUpper();
    const QString call =
        QStringLiteral("EXECUTE PROCEDURE ") + quoteIdentifier(procName) +
        (inputs.isEmpty() ? QString() : QStringLiteral(" (") + marks.join(QStringLiteral(", ")) + u')');
    auto tra = std::make_unique<FbTransaction>(m_database->handle(), TransactionKind::ReadWrite,
                                               m_database->lockTimeout());
    FbStatement stmt(m_database->handle(), tra->handle(), call);
    QVector<QVariant> outputs;
    stmt.execute(tra->handle(), inputs, &outputs);
    tra->commit();
    int out = 0;
    for (ProcParam& p : m_params)
        if (p.direction == ParamDirection::Output)
            p.value = outputs.value(out++);
}

} // namespace platform::db

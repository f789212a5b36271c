#include "data/DataMod.h"

#include "data/ArchiveDBStructure.h"
#include "db/Query.h"
#include "db/RTables.h"

namespace {

QStringList connectionParams(const QString& path, const QString& user, const QString& password) {
    return {QStringLiteral("SERVER NAME=") + path, QStringLiteral("USER NAME=") + user,
            QStringLiteral("PASSWORD=") + password, QStringLiteral("LANGDRIVER=ANCYRR")};
}

} // namespace

TDM::TDM(QObject* parent)
    : QObject(parent)
    , m_base(std::make_unique<platform::db::Database>())
    , m_sprBase(std::make_unique<platform::db::Database>()) {
    m_base->setObjectName(QStringLiteral("Base"));
    m_sprBase->setObjectName(QStringLiteral("SprBase"));
}

TDM::~TDM() = default;

int TDM::OpenDatabases(const QString& archivePath, const QString& referencePath, const QString& userName,
                       const QString& password) {
    m_base->close();
    m_base->setParams(connectionParams(archivePath, userName, password));
    try {
        m_base->open();
    } catch (const platform::db::Error& e) {
        ShowErrorWindow(QStringLiteral("Archive"),
                        QStringLiteral("Ошибка подключения к базе данных приложения!"),
                        e.message() + QStringLiteral("\r\nArchiveDBName=") + archivePath);
        return ArchiveFailed;
    }
    archive::CheckDatabaseStructure(*m_base, archive::archiveDatabaseDescription());

    m_sprBase->close();
    m_sprBase->setParams(connectionParams(referencePath, userName, password));
    try {
        m_sprBase->open();
    } catch (const platform::db::Error& e) {
        ShowErrorWindow(QStringLiteral("Archive"),
                        QStringLiteral("Ошибка подключения к базе данных справочников!"),
                        e.message() + QStringLiteral("\r\nSpravDBName=") + referencePath);
        return ReferenceFailed;
    }
    archive::CheckDatabaseStructure(*m_sprBase, archive::referenceDatabaseDescription());
    return OpenOk;
}

QString TDM::ReadTablePrivileges(const QString& userName, const QString& tableName) {
    platform::db::Query q(m_base.get());
    q.setSql(QStringLiteral("select * from RDB$User_Privileges t where t.RDB$USER = :USER_NAME "
                            "and RDB$Relation_Name = :TABLE_NAME"));
    q.paramByName(QStringLiteral("USER_NAME")).setValue(userName);
    q.paramByName(QStringLiteral("TABLE_NAME")).setValue(tableName);
    q.open();
    QString privileges;
    for (q.first(); !q.eof(); q.next())
        privileges += q.fieldByName(QStringLiteral("RDB$PRIVILEGE"))->asString();
    q.close();
    return privileges;
}

#pragma once

// The data module: the two database connections and the shared datasets and
// database operations of the program.

#include "db/Database.h"

#include <QObject>
#include <QString>

#include <memory>

class TDM : public QObject {
    Q_OBJECT

public:
    // Results of OpenDatabases.
    static constexpr int OpenOk = 0;
    static constexpr int ArchiveFailed = 254;
    static constexpr int ReferenceFailed = 253;

    explicit TDM(QObject* parent = nullptr);
    ~TDM() override;

    // The archive database (alias Archive) and the reference database (alias Sprav).
    platform::db::Database* Base() const { return m_base.get(); }
    platform::db::Database* SprBase() const { return m_sprBase.get(); }

    // Connects both databases under the given account and checks the
    // structure of each; reports a failed connection in the error window.
    int OpenDatabases(const QString& archivePath, const QString& referencePath, const QString& userName,
                      const QString& password);

    // The privilege codes (S, I, U, D, R) of a user on a table, concatenated
    // in the order the server returns them.
    QString ReadTablePrivileges(const QString& userName, const QString& tableName);

private:
    std::unique_ptr<platform::db::Database> m_base;
    std::unique_ptr<platform::db::Database> m_sprBase;
};

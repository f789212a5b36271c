#pragma once

// A database connection as the program sees it: a parameter list in the
// form "NAME=value" ("SERVER NAME=", "USER NAME=", "PASSWORD=",
// "LANGDRIVER="), connect and disconnect, the names of the user tables,
// direct execution of statements, and the datasets that use it.

#include "PlatformExport.h"
#include "db/FbClient.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QVariant>

#include <memory>

namespace platform::db {

class DataSet;

class PLATFORM_EXPORT Database : public QObject {
    Q_OBJECT

public:
    explicit Database(QObject* parent = nullptr);
    ~Database() override;

    QStringList params() const { return m_params; }
    void setParams(const QStringList& params) { m_params = params; }
    // The value of "NAME=value" in the parameter list (names without regard to case).
    QString param(const QString& name) const;
    // Connections never ask for a login: the parameters say everything.
    bool loginPrompt() const { return false; }

    // Connects with the parameters; throws DatabaseError with the server's message.
    void open();
    // Closes every dataset on the connection, then disconnects.
    void close();
    bool isConnected() const { return m_attachment && m_attachment->isAttached(); }
    void setConnected(bool connected) { connected ? open() : close(); }

    // The connection of another component in this process: this object
    // works on it without connecting or detaching itself.
    void shareConnection(const Database& other);
    // The same for a bare client-library handle of a host program.
    void adoptHandle(Firebird::IAttachment* handle);
    // The client-library handle (null when not connected).
    Firebird::IAttachment* handle() const;
    FbAttachment* attachment() const { return m_attachment.get(); }

    // Seconds a statement or a post waits for a row locked by another user.
    int lockTimeout() const { return m_lockTimeout; }
    void setLockTimeout(int seconds);

    // Names of the user tables (system tables and views left out), sorted.
    QStringList tableNames();
    // Runs one statement with positional parameters ("?") in its own
    // transaction, committed at once. Returns the number of rows changed.
    int execute(const QString& sql, const QVector<QVariant>& params = {});

    // The primary-key columns of a table (empty when it has none); cached.
    QStringList primaryKey(const QString& table);

    // Called by datasets.
    void registerDataSet(DataSet* dataSet);
    void unregisterDataSet(DataSet* dataSet);
    void checkConnected() const;

Q_SIGNALS:
    void connectedChanged(bool connected);

private:
    QStringList m_params;
    std::shared_ptr<FbAttachment> m_attachment;
    int m_lockTimeout = 10;
    QList<DataSet*> m_dataSets;
    QHash<QString, QStringList> m_keys;
};

} // namespace platform::db

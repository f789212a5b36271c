#pragma once

// A fresh embedded Firebird database in a temporary folder, owned by the
// program's account ARCHOP and created through
// the client library (default character set WIN1251, connection character set
// UTF8, dialect 3) and dropped when the object goes.

#include "db/FbClient.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class TempDatabase {
public:
    // Creates the database; `fileName` is its name inside the temporary folder.
    explicit TempDatabase(const QString& fileName = QStringLiteral("test.fdb"));
    // The same on a Firebird server ("host"), under the program's account.
    TempDatabase(const QString& fileName, const QString& server);

    // The server the tests may use (the environment variable
    // ARCHIVE_TEST_SERVER), or empty when none runs.
    static QString testServer();
    ~TempDatabase();
    TempDatabase(const TempDatabase&) = delete;
    TempDatabase& operator=(const TempDatabase&) = delete;

    // False when the database could not be created; errorString() says why.
    bool isValid() const { return m_attachment != nullptr; }
    const QString& errorString() const { return m_error; }

    // The database as a connection names it: the file, or "host:file".
    QString path() const { return m_server.isEmpty() ? m_path : m_server + u':' + m_path; }
    QString folder() const { return m_dir.path(); }
    platform::db::ConnectParams connectParams() const;
    platform::db::FbAttachment& attachment() { return *m_attachment; }

    // Each throws platform::db::DatabaseError on failure.
    void exec(const QString& sql);
    void runScript(const QString& script);
    // A script file; a relative path is taken from the project's db/ folder.
    void runScriptFile(const QString& path);
    QVector<QStringList> select(const QString& sql);
    // The first column of the first row, or a null string when there is no row.
    QString scalar(const QString& sql);

    // Closes the fixture's own attachment (for tests that need the file alone).
    void detach();

private:
    void create(const QString& fileName);

    QTemporaryDir m_dir;
    QString m_server;
    QString m_path;
    QString m_error;
    std::unique_ptr<platform::db::FbAttachment> m_attachment;
};

#pragma once

// Setting an archive up: the two databases made from the schema scripts,
// the configuration file beside the program and the document store root
// kept in the archive parameters.

#include "db/FbClient.h"

#include <QString>

#include <memory>
#include <stdexcept>

namespace admin {

// A failure of the administration command; message() is for the user.
class AdminError : public std::runtime_error {
public:
    explicit AdminError(const QString& message)
        : std::runtime_error(message.toStdString())
        , m_message(message) {}
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// The program's own server account.
extern const char* const kProgramUser;
extern const char* const kProgramPassword;

// True for "host:path" (a database on a server); false for a local file,
// a Windows drive letter ("C:\...") included.
bool isServerPath(const QString& database);

// The database as the configuration names it: a local file as an absolute
// path with native separators, a server path unchanged.
QString configDatabaseName(const QString& database);

// Connection parameters for `database`: the program's account unless told
// otherwise; the password is needed only on a server.
platform::db::ConnectParams connectParams(const QString& database, const QString& user = {},
                                          const QString& password = {});

// The folder with archive.sql and sprav.sql: "db" beside the program when
// it is there, else the source tree's one.
QString schemaScriptsDir(const QString& programDir);

// Whether a database exists: a local file is looked at, a server database
// is attached to.
bool databaseExists(const platform::db::ConnectParams& params);

// Drops an existing database (a local file that is not a database is removed).
void removeDatabase(const platform::db::ConnectParams& params);

// Creates a database (WIN1251, page 8192, dialect 3, owned by the
// connecting account) and runs the script file on it. An existing database
// is an error unless `force`, which drops it first.
std::unique_ptr<platform::db::FbAttachment> createDatabase(const platform::db::ConnectParams& params,
                                                           const QString& scriptFile, bool force,
                                                           bool forcedWrites = true);

// Switches the database's forced (synchronous) writes on. Creating the
// schema and loading rows runs with them off, which is many times faster;
// the finished database then writes every page through to the disk.
void setForcedWrites(const platform::db::ConnectParams& params, bool on);

// Writes the section "Main" with "databasename_archive" and
// "databasename_sprav" (UTF-8). The other sections of an existing file are
// kept as they are.
void writeConfigFile(const QString& fileName, const QString& archiveDatabase, const QString& spravDatabase);

// Sets DBPARAMS 1 and 2 so that StoreShare + separator + StoreFolder is
// `dir`, and 16 (where the choice of a letter file starts) to its letters
// folder; creates the folders.
void setStoreRoot(platform::db::FbAttachment& archive, const QString& dir);

// The subfolder names the archive parameters give.
struct StoreFolders {
    QString share;        // 1
    QString folder;       // 2
    QString notes;        // 3
    QString smets;        // 4
    QString drafts;       // 5
    QString positions;    // 6
    QString outLetters;   // 13
    QString inLetters;    // 14
    QString protocols;    // 15
    QString letterDrafts; // 16
    QString root() const; // share + separator + folder
};
StoreFolders readStoreFolders(platform::db::FbAttachment& archive);

// Runs one statement with positional parameters in its own committed transaction.
void execute(platform::db::FbAttachment& attachment, const QString& sql, const QVector<QVariant>& params);

} // namespace admin

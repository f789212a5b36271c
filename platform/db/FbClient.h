#pragma once

// Thin wrappers over the Firebird client library's object interface: an
// attachment (embedded file or server database), transactions with the
// parameters the layer needs, and errors carrying the server's message.

#include "PlatformExport.h"
#include "db/Errors.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

namespace Firebird {
class IMaster;
class IAttachment;
class ITransaction;
class IStatus;
} // namespace Firebird

namespace platform::db {

namespace fb {
PLATFORM_EXPORT Firebird::IMaster* master();
// Throws DatabaseError when `status` holds an error.
PLATFORM_EXPORT void check(Firebird::IStatus* status);

// Owns one reference to a client-library interface.
struct Releaser {
    template <class T>
    void operator()(T* p) const {
        if (p)
            p->release();
    }
};
template <class T>
using Ref = std::unique_ptr<T, Releaser>;
} // namespace fb

// What an attachment is made with. `database` is a local file path (the
// embedded engine, in this process) or "host:/path" for a Firebird server.
struct ConnectParams {
    QString database;
    QString user = QStringLiteral("SYSDBA");
    QString password;
    QString role;
    QString charset = QStringLiteral("UTF8"); // connection character set
};

struct CreateParams : ConnectParams {
    QString defaultCharset = QStringLiteral("WIN1251");
    int pageSize = 8192;
    int dialect = 3;
    bool forcedWrites = true; // test databases switch this off for speed
};

enum class TransactionKind {
    // Browsing: read committed, read-only; holds back no garbage collection.
    ReadOnly,
    // A post or a statement: read committed, read-write, waits for a lock at
    // most `lockTimeoutSeconds`.
    ReadWrite
};

class PLATFORM_EXPORT FbTransaction {
public:
    FbTransaction(Firebird::IAttachment* attachment, TransactionKind kind, int lockTimeoutSeconds);
    ~FbTransaction(); // rolls back when neither committed nor rolled back
    FbTransaction(const FbTransaction&) = delete;
    FbTransaction& operator=(const FbTransaction&) = delete;

    Firebird::ITransaction* handle() const { return m_tra; }
    bool isActive() const { return m_tra != nullptr; }
    void commit();
    void rollback();

private:
    Firebird::ITransaction* m_tra = nullptr;
};

class PLATFORM_EXPORT FbAttachment {
public:
    static std::unique_ptr<FbAttachment> create(const CreateParams& params);
    static std::unique_ptr<FbAttachment> attach(const ConnectParams& params);
    // Shares an attachment that another component opened: takes a reference
    // to it and gives the reference back instead of detaching.
    static std::unique_ptr<FbAttachment> adopt(Firebird::IAttachment* handle, const QString& database = {});
    ~FbAttachment(); // detaches (an adopted attachment is only released)
    FbAttachment(const FbAttachment&) = delete;
    FbAttachment& operator=(const FbAttachment&) = delete;

    Firebird::IAttachment* handle() const { return m_att; }
    bool isAttached() const { return m_att != nullptr; }
    const QString& database() const { return m_database; }

    void detach();
    void dropDatabase();

    // Seconds a statement waits for a row locked by another transaction.
    int lockTimeout() const { return m_lockTimeout; }
    void setLockTimeout(int seconds) { m_lockTimeout = seconds; }

    std::unique_ptr<FbTransaction> startTransaction(TransactionKind kind) const;

    // Runs one statement without parameters in its own read-write
    // transaction, committed at once.
    void execute(const QString& sql);
    // Runs a select in a read-only transaction and returns every row with
    // every column as text (NULL as a null QString). Meant for tools and
    // tests; datasets read rows on demand instead.
    QVector<QStringList> selectText(const QString& sql);

private:
    explicit FbAttachment(Firebird::IAttachment* att, QString database, bool owned = true);
    Firebird::IAttachment* m_att = nullptr;
    bool m_owned = true;
    QString m_database;
    int m_lockTimeout = 10;
};

} // namespace platform::db

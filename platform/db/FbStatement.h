#pragma once

// A prepared statement of the client library with typed parameter binding,
// and the cursor of a select that packs each fetched row for a dataset.

#include "PlatformExport.h"
#include "db/FbClient.h"
#include "db/RowCodec.h"

#include <QVariant>
#include <QVector>

#include <memory>

namespace Firebird {
class IStatement;
class IResultSet;
class IMessageMetadata;
} // namespace Firebird

namespace platform::db {

enum class StatementKind { Select, SelectForUpdate, ExecProcedure, Other };

class PLATFORM_EXPORT FbStatement {
public:
    // Prepares `sql` (positional "?" parameters) in `transaction`.
    FbStatement(Firebird::IAttachment* attachment, Firebird::ITransaction* transaction, const QString& sql);
    ~FbStatement();
    FbStatement(const FbStatement&) = delete;
    FbStatement& operator=(const FbStatement&) = delete;

    StatementKind kind() const { return m_kind; }
    int inputCount() const { return m_inputCount; }
    const QVector<Column>& outputColumns() const { return m_output; }
    // Types of the input parameters, as the server described them.
    const QVector<Column>& inputColumns() const { return m_input; }

    // Runs a statement that returns no cursor; `outputs` receives the values
    // of EXECUTE PROCEDURE or RETURNING. Returns the number of rows changed
    // by an INSERT, UPDATE or DELETE (-1 when not known).
    int execute(Firebird::ITransaction* transaction, const QVector<QVariant>& params,
                QVector<QVariant>* outputs = nullptr);

    // Opens the cursor of a select.
    void openCursor(Firebird::ITransaction* transaction, const QVector<QVariant>& params);
    // Fetches the next row into `row` (packed with codec()); false at the end.
    bool fetch(QByteArray* row);
    void closeCursor();
    bool isCursorOpen() const { return m_cursor != nullptr; }
    const RowCodec& codec() const { return m_codec; }

    // The raw interfaces, for code that talks to the client library itself.
    Firebird::IStatement* handle() const { return m_stmt; }

private:
    QByteArray bindInput(Firebird::ITransaction* transaction, const QVector<QVariant>& params,
                         Firebird::IMessageMetadata** metadata);
    QByteArray readBlob(const unsigned char* id);

    Firebird::IAttachment* m_att;
    Firebird::ITransaction* m_cursorTransaction = nullptr;
    Firebird::IStatement* m_stmt = nullptr;
    Firebird::IMessageMetadata* m_outMeta = nullptr;
    Firebird::IResultSet* m_cursor = nullptr;
    QByteArray m_outBuffer;
    StatementKind m_kind = StatementKind::Other;
    int m_inputCount = 0;
    QVector<Column> m_input;
    QVector<Column> m_output;
    RowCodec m_codec;
};

// Describes the columns of a message (output or input metadata).
PLATFORM_EXPORT QVector<Column> describeColumns(Firebird::IMessageMetadata* metadata);

} // namespace platform::db

#pragma once

// Splits a database script into statements the way isql reads it: statements
// end with the current terminator (";" until a SET TERM changes it), and the
// terminator inside literals and comments does not count.

#include "PlatformExport.h"

#include <QString>
#include <QStringList>

namespace platform::db {

class FbAttachment;

// The statements of a script, without terminators and surrounding blanks.
// SET TERM is carried out by the splitter itself; isql's own commands (SET
// SQL DIALECT, SET NAMES, SET AUTODDL, COMMIT, ROLLBACK and so on) are left
// out, because every statement is committed on its own when the script runs.
PLATFORM_EXPORT QStringList splitSqlScript(const QString& script);

// Runs every statement of the script, each in its own committed transaction.
// Stops at the first failing statement: the DatabaseError names it.
PLATFORM_EXPORT void runSqlScript(FbAttachment& attachment, const QString& script);

// Reads a UTF-8 script file; throws DatabaseError when it cannot be read.
PLATFORM_EXPORT QString readSqlScriptFile(const QString& path);

} // namespace platform::db

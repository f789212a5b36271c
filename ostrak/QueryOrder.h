#pragma once

// Re-ordering the query text behind a grid when the user clicks a column
// header: the caller passes the text through PrepareQueryForOrdering, then
// through OrderQueryByField with the column's field name, writes it back and
// reopens the query.
//
// Only a single SELECT (or WITH ... SELECT) statement is rewritten; any other
// text, a text the lexer cannot make sense of (unbalanced parentheses, an
// unterminated literal or comment) and an unusable field name leave the text
// as it was. Everything inside parentheses (sub-selects, derived tables, CTE
// bodies), literals, comments and parameters is never touched.

#include "OstrakExport.h"

#include <QString>

namespace ostrak {

// Puts a statement into the form OrderQueryByField works on: drops a trailing
// terminator (";") and the blanks and comments after the last clause.
// Applying it twice gives the same text as applying it once.
OSTRAK_EXPORT void PrepareQueryForOrdering(QString& sql);

// Makes the statement return its rows ordered by `field`: a plain or quoted
// identifier, optionally qualified ("T.NAME", "\"Name\"", "T.\"Name\"").
// An existing top-level ORDER BY is replaced; a new one goes after the last
// UNION member and before ROWS / OFFSET / FETCH / FOR UPDATE / WITH LOCK /
// OPTIMIZE FOR. When the statement is already ordered by exactly that field
// ascending it becomes descending, and a descending one ascending again.
// Plain names compare without regard to case, quoted ones exactly.
OSTRAK_EXPORT void OrderQueryByField(QString& sql, const QString& field);

} // namespace ostrak

#pragma once

// Small services shared by the program and both libraries: a word of a
// delimited text, the modal error message and the Yes/No confirmation.
// Re-ordering a query text lives in QueryOrder.h.

#include "OstrakExport.h"

#include <QChar>
#include <QString>

namespace ostrak {

// Word `number` (counted from 1) of `text` split at `delimiter`. Empty words
// between two delimiters count ("a;;b" has the empty word 2), blanks around a
// word are kept. Empty when the text has fewer words or `number` < 1.
OSTRAK_EXPORT QString WordOf(const QString& text, int number, QChar delimiter);

// Shows the error window with `headline` as its text and `detail` (may be
// empty) folded under it; returns when the user has closed it.
OSTRAK_EXPORT void ErrorMessage(const QString& headline, const QString& detail);

// Flags of Confirm.
enum ConfirmFlag : int {
    ConfirmDefaultNo = 0x0,
    ConfirmDefaultYes = 0x1, // Yes is the default button
};

// Asks `question` with Yes and No buttons under `caption`. Returns 1 when the
// user answered Yes, 0 otherwise.
OSTRAK_EXPORT int Confirm(const QString& caption, const QString& question, int flags);

} // namespace ostrak

#pragma once

// Names of folders and files in the document store: the same string rules
// the program uses when it walks the tree looking for a document's file.

#include <QDate>
#include <QString>

namespace admin {

// n <= 9: "00" + n; 10..99: "0" + n; otherwise n.
QString pad3(int n);
// n > 9: n; otherwise "0" + n.
QString pad2(int n);
// PKEY + "-" + PKIND + "_" when both are set; only one of them + "_"; empty for neither.
QString projectFolderPrefix(const QString& pkind, const QString& pkey);
// "Документы_" + the date's year.
QString documentsFolderName(const QDate& date);
// Every "/", "\" and "." replaced by "_".
QString safeFileName(const QString& text);
// Every "/" and "\" replaced by "_".
QString slashesToUnderscores(const QString& text);
// Double quotes to apostrophes; "/", ":" and "\" to blanks.
QString cleanFileName(const QString& text);

// A folder name made of a key part and free text, cut to `maxLength`
// characters; blanks and dots at the end are dropped, because Windows
// refuses folder names that end with them.
QString limitedFolderName(const QString& name, int maxLength);

// The project folder: prefix + cleaned name, at most 50 characters.
QString projectFolderName(const QString& pkind, const QString& pkey, const QString& pname);
// The build folder: Pad3(BKEY) + "_" + cleaned name.
QString buildFolderName(int bkey, const QString& bname);

} // namespace admin

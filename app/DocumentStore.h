#pragma once

// Names and searches of the document store: the folder tree on the file
// server that holds the documents' files. Folder names carry free text after
// their key part, so folders are found by searching one folder at a time for
// names that begin with a key.
//
// Paths use the native separator. Every search lists only the one folder it
// looks in, and takes the first match by name (case-insensitive, ties broken
// by the exact text), so the result does not depend on the file system's
// own order.

#include <QDate>
#include <QString>

#include <functional>

namespace docstore {

// ----------------------------------------------------------- name building

// n <= 9: "00" + n; 10 to 99: "0" + n; otherwise n in decimal.
QString Pad3(int n);
// n > 9: n; otherwise "0" + n.
QString Pad2(int n);
// The key part of a project folder's name: PKEY + "-" + PKIND + "_" when both
// are given, PKIND + "_" or PKEY + "_" when only one is, empty when neither.
QString ProjectFolderPrefix(const QString& pkind, const QString& pkey);
// "Документы_" + the date's year.
QString DocumentsFolderName(const QDate& date);
// Every "/", "\" and "." replaced by "_".
QString SafeFileName(const QString& text);
// Every "/" and "\" replaced by "_".
QString SlashesToUnderscores(const QString& text);
// Every double quote replaced by an apostrophe.
QString QuotesToApostrophes(const QString& text);
// Double quotes become apostrophes; "/", ":" and "\" become blanks.
QString CleanFileName(const QString& text);

// The native separator as a string.
QString Separator();
// The folder with a separator at its end.
QString WithSeparator(const QString& folder);

// ---------------------------------------------------------------- searches

// The text as a search pattern that matches only itself: the wildcard
// characters "*", "?" and "[" of names taken from data are escaped.
QString WildcardLiteral(const QString& text);

// Whether a folder may be searched at all: a folder made of nothing but
// separators (a root built from empty settings) would search the current
// folder or the file-system root, so it is refused.
bool IsSearchableFolder(const QString& folder);

// Which entries a search returns.
enum class EntryKinds {
    Normal, // folders and files (not hidden or system entries)
    Any     // every entry, hidden and system ones included
};

// The first entry (folder or file) of `folder` whose name begins with
// `prefix`; the prefix is taken literally. False when there is none or the
// folder may not be searched.
bool FindEntryByPrefix(const QString& folder, const QString& prefix, QString* name);

// Like FindEntryByPrefix for a key: when the key ends with a letter or digit,
// the entry's name must not continue with a letter or digit, so that build 100
// does not find the folder of build 1000 and stage Р not the one of stage РП.
// An empty key finds nothing.
bool FindEntryByKey(const QString& folder, const QString& key, QString* name);

// The first entry of `folder` matching the wildcard `pattern` ("*", "?";
// escape text from data with WildcardLiteral).
bool FindFirstMatch(const QString& folder, const QString& pattern, QString* name,
                    EntryKinds kinds = EntryKinds::Any);
// The same, taking only the matches `accept` agrees to.
bool FindFirstMatch(const QString& folder, const QString& pattern, QString* name, EntryKinds kinds,
                    const std::function<bool(const QString&)>& accept);

// Whether `name` holds `key` somewhere after `lead` (e.g. "_") and not
// continued by a letter or digit: "АС_012" and "АС_012 Имя" hold "012" after
// "_", "АС_0123" does not.
bool HoldsKeyAfter(const QString& name, const QString& lead, const QString& key);

// The message the store's lookups show (caption: the program's name).
void ShowMessage(const QString& text);

// Existence checks as the lookups use them.
bool FileExists(const QString& path);   // a file, not a folder
bool FolderExists(const QString& path); // a folder

} // namespace docstore

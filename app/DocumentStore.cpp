#include "app/DocumentStore.h"

#include "desktop/Interaction.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include <algorithm>

namespace docstore {

QString Pad3(int n) {
    if (n <= 9)
        return QStringLiteral("00") + QString::number(n);
    if (n <= 99)
        return u'0' + QString::number(n);
    return QString::number(n);
}

QString Pad2(int n) {
    return n > 9 ? QString::number(n) : u'0' + QString::number(n);
}

QString ProjectFolderPrefix(const QString& pkind, const QString& pkey) {
    if (!pkey.isEmpty() && !pkind.isEmpty())
        return pkey + u'-' + pkind + u'_';
    if (!pkind.isEmpty())
        return pkind + u'_';
    if (!pkey.isEmpty())
        return pkey + u'_';
    return QString();
}

QString DocumentsFolderName(const QDate& date) {
    return QStringLiteral("Документы_") + QString::number(date.year());
}

QString SafeFileName(const QString& text) {
    QString result = text;
    for (QChar& c : result)
        if (c == u'/' || c == u'\\' || c == u'.')
            c = u'_';
    return result;
}

QString SlashesToUnderscores(const QString& text) {
    QString result = text;
    for (QChar& c : result)
        if (c == u'/' || c == u'\\')
            c = u'_';
    return result;
}

QString QuotesToApostrophes(const QString& text) {
    QString result = text;
    result.replace(u'"', u'\'');
    return result;
}

QString CleanFileName(const QString& text) {
    QString result = QuotesToApostrophes(text);
    for (QChar& c : result)
        if (c == u'/' || c == u':' || c == u'\\')
            c = u' ';
    return result;
}

QString Separator() {
    return QString(QDir::separator());
}

QString WithSeparator(const QString& folder) {
    if (folder.endsWith(QDir::separator()))
        return folder;
    return folder + QDir::separator();
}

QString WildcardLiteral(const QString& text) {
    QString result;
    result.reserve(text.size());
    for (QChar c : text) {
        if (c == u'*' || c == u'?' || c == u'[') {
            result += u'[';
            result += c;
            result += u']';
        } else {
            result += c;
        }
    }
    return result;
}

bool IsSearchableFolder(const QString& folder) {
    return std::any_of(folder.begin(), folder.end(),
                       [](QChar c) { return c != u'/' && c != u'\\' && c != QDir::separator(); });
}

namespace {

// Entries of one folder matching a pattern, in name order.
QStringList matchingEntries(const QString& folder, const QString& pattern, EntryKinds kinds) {
    if (!IsSearchableFolder(folder))
        return {};
    QDir dir(folder);
    QDir::Filters filters = QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot;
    if (kinds == EntryKinds::Any)
        filters |= QDir::Hidden | QDir::System;
    // Unsorted: the listing stays one pass over the folder; sorting the few
    // matches by name keeps the result independent of the file system.
    QStringList names = dir.entryList(QStringList{pattern}, filters, QDir::Unsorted);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}

bool first(const QStringList& names, QString* name) {
    if (names.isEmpty())
        return false;
    if (name)
        *name = names.first();
    return true;
}

} // namespace

bool FindEntryByPrefix(const QString& folder, const QString& prefix, QString* name) {
    return first(matchingEntries(WithSeparator(folder), WildcardLiteral(prefix) + u'*', EntryKinds::Normal),
                 name);
}

bool FindEntryByKey(const QString& folder, const QString& key, QString* name) {
    if (key.isEmpty())
        return false; // an empty key names no entry
    const QStringList names =
        matchingEntries(WithSeparator(folder), WildcardLiteral(key) + u'*', EntryKinds::Normal);
    const bool bounded = key.back().isLetterOrNumber();
    for (const QString& entry : names) {
        if (bounded && entry.size() > key.size() && entry.at(key.size()).isLetterOrNumber())
            continue;
        if (name)
            *name = entry;
        return true;
    }
    return false;
}

bool FindFirstMatch(const QString& folder, const QString& pattern, QString* name, EntryKinds kinds) {
    return first(matchingEntries(WithSeparator(folder), pattern, kinds), name);
}

bool FindFirstMatch(const QString& folder, const QString& pattern, QString* name, EntryKinds kinds,
                    const std::function<bool(const QString&)>& accept) {
    for (const QString& entry : matchingEntries(WithSeparator(folder), pattern, kinds)) {
        if (accept && !accept(entry))
            continue;
        if (name)
            *name = entry;
        return true;
    }
    return false;
}

bool HoldsKeyAfter(const QString& name, const QString& lead, const QString& key) {
    const QString needle = lead + key;
    const bool bounded = !key.isEmpty() && key.back().isLetterOrNumber();
    for (qsizetype at = name.indexOf(needle, 0, Qt::CaseInsensitive); at >= 0;
         at = name.indexOf(needle, at + 1, Qt::CaseInsensitive)) {
        const qsizetype end = at + needle.size();
        if (!bounded || end >= name.size() || !name.at(end).isLetterOrNumber())
            return true;
    }
    return false;
}

void ShowMessage(const QString& text) {
    platform::interaction().message(nullptr, QGuiApplication::applicationDisplayName(), text,
                                    platform::MessageIcon::Warning);
}

bool FileExists(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isFile();
}

bool FolderExists(const QString& path) {
    return IsSearchableFolder(path) && QFileInfo(path).isDir();
}

} // namespace docstore

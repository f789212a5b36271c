#include "StoreNames.h"

#include "app/DocumentStore.h"

namespace admin {

// The naming rules themselves are the program's own (app/DocumentStore), so
// the demo store is laid out exactly as the program looks for it.
QString pad3(int n) {
    return docstore::Pad3(n);
}
QString pad2(int n) {
    return docstore::Pad2(n);
}
QString projectFolderPrefix(const QString& pkind, const QString& pkey) {
    return docstore::ProjectFolderPrefix(pkind, pkey);
}
QString documentsFolderName(const QDate& date) {
    return docstore::DocumentsFolderName(date);
}
QString safeFileName(const QString& text) {
    return docstore::SafeFileName(text);
}
QString slashesToUnderscores(const QString& text) {
    return docstore::SlashesToUnderscores(text);
}
QString cleanFileName(const QString& text) {
    return docstore::CleanFileName(text);
}

QString limitedFolderName(const QString& name, int maxLength) {
    QString s = name.left(maxLength);
    while (!s.isEmpty() && (s.endsWith(u' ') || s.endsWith(u'.')))
        s.chop(1);
    return s;
}

QString projectFolderName(const QString& pkind, const QString& pkey, const QString& pname) {
    return limitedFolderName(projectFolderPrefix(pkind, pkey) + cleanFileName(pname), 50);
}

QString buildFolderName(int bkey, const QString& bname) {
    return limitedFolderName(pad3(bkey) + u'_' + cleanFileName(bname), 120);
}

} // namespace admin

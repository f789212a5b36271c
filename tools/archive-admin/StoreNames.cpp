#include "StoreNames.h"

namespace admin {

QString pad3(int n) {
    if (n >= 0 && n <= 9)
        return QStringLiteral("00") + QString::number(n);
    if (n >= 10 && n <= 99)
        return QStringLiteral("0") + QString::number(n);
    return QString::number(n);
}

QString pad2(int n) {
    if (n > 9)
        return QString::number(n);
    return QStringLiteral("0") + QString::number(n);
}

QString projectFolderPrefix(const QString& pkind, const QString& pkey) {
    if (!pkey.isEmpty() && !pkind.isEmpty())
        return pkey + u'-' + pkind + u'_';
    if (!pkind.isEmpty())
        return pkind + u'_';
    if (!pkey.isEmpty())
        return pkey + u'_';
    return {};
}

QString documentsFolderName(const QDate& date) {
    return QStringLiteral("Документы_") + QString::number(date.year());
}

QString safeFileName(const QString& text) {
    QString s = text;
    s.replace(u'/', u'_').replace(u'\\', u'_').replace(u'.', u'_');
    return s;
}

QString slashesToUnderscores(const QString& text) {
    QString s = text;
    s.replace(u'/', u'_').replace(u'\\', u'_');
    return s;
}

QString cleanFileName(const QString& text) {
    QString s = text;
    s.replace(u'"', u'\'').replace(u'/', u' ').replace(u':', u' ').replace(u'\\', u' ');
    return s;
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

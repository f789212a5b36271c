#include "app/StartupCheck.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace archive {

namespace {

// A path on a server ("host:/path", "host:C:\path") is checked by the server
// at login, not here; a local path must name an existing file.
bool isServerPath(const QString& path) {
    const int colon = path.indexOf(u':');
    return colon > 1; // "C:\..." has its colon at 1
}

} // namespace

StartupCheck checkStartup(const QString& programPath) {
    StartupCheck result;
    const QFileInfo program(programPath);
    result.configFile = program.absoluteDir().filePath(program.completeBaseName() + QStringLiteral(".ini"));
    if (!QFileInfo::exists(result.configFile)) {
        result.missing << QStringLiteral("Нет файла конфигурации %1.").arg(result.configFile);
        return result;
    }
    QSettings ini(result.configFile, QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("Main"));
    const struct {
        const char* key;
        QString what;
    } databases[] = {{"databasename_archive", QStringLiteral("архива")},
                     {"databasename_sprav", QStringLiteral("справочников")}};
    for (const auto& db : databases) {
        const QString path = ini.value(QLatin1String(db.key)).toString();
        if (path.isEmpty())
            result.missing << QStringLiteral("В файле конфигурации не указана база данных %1 (%2).")
                                  .arg(db.what, QLatin1String(db.key));
        else if (!isServerPath(path) && !QFileInfo::exists(path))
            result.missing << QStringLiteral("Нет базы данных %1: %2.").arg(db.what, path);
    }
    return result;
}

} // namespace archive

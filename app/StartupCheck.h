#pragma once

#include <QString>
#include <QStringList>

namespace archive {

// What the program needs before it can open an archive: its configuration
// file beside the program and the two database files it names.
struct StartupCheck {
    QString configFile;
    QStringList missing; // one line per missing piece, for the user

    bool ok() const { return missing.isEmpty(); }
};

// Looks beside `programPath` for "<base name>.ini" and the databases named in
// its section "Main" ("databasename_archive", "databasename_sprav").
StartupCheck checkStartup(const QString& programPath);

} // namespace archive

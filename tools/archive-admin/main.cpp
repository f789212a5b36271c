// archive-admin: creates the archive's two databases from the schema
// scripts, writes the program's configuration file and, on request, fills
// a demo archive with its document store.

#include "AdminCommand.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("archive-admin"));

    QTextStream out(stdout);
    QTextStream err(stderr);
    admin::AdminCommand command(QCoreApplication::applicationDirPath());
    command.setOutput([&](const QString& line) { out << line << Qt::endl; });
    command.setErrors([&](const QString& line) { err << line << Qt::endl; });
    return command.run(QCoreApplication::arguments());
}

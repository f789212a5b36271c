#include "app/ArchiveApplication.h"
#include "app/ArchiveCore.h"
#include "ui/main/MainForm.h"

#include <QApplication>
#include <QLocale>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Archive"));
    QApplication::setApplicationName(QStringLiteral("Archive"));
    QApplication::setApplicationDisplayName(QStringLiteral("Архив"));
    // Dates and numbers follow the Russian conventions the archive's clerks
    // work with, whatever the machine's own locale.
    if (QLocale::system().language() == QLocale::C)
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));

    TArchiveCore::Instance();
    TArchiveApplication::Instance();

    TMainForm window;
    const int exitCode = window.Startup();
    if (exitCode >= 0)
        return exitCode;
    window.showMaximized();
    return app.exec();
}

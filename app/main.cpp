#include "app/StartupCheck.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Archive"));
    QApplication::setApplicationName(QStringLiteral("Archive"));

    const archive::StartupCheck check = archive::checkStartup(QApplication::applicationFilePath());

    // The archive's windows come with the start-up sequence; until then the
    // program says what it has found and what is still missing.
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Архив"));
    auto* label = new QLabel(&window);
    label->setMargin(24);
    label->setWordWrap(true);
    if (check.ok())
        label->setText(QStringLiteral("Файл конфигурации: %1\nБазы данных найдены.").arg(check.configFile));
    else
        label->setText(QStringLiteral("Архив ещё не готов к работе:\n\n") + check.missing.join(u'\n'));
    window.setCentralWidget(label);
    window.resize(640, 240);
    window.show();
    return app.exec();
}

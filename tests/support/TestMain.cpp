#include "TestMain.h"

#include "HarnessFailure.h"
#include "ModalWatchdog.h"
#include "ScriptedInteraction.h"

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

namespace testsupport {

struct TestEnvironment::Private {
    // Declared first so it outlives everything that might still write settings.
    QTemporaryDir settingsDir{QDir::tempPath() + QStringLiteral("/archive-test-settings-XXXXXX")};
    std::unique_ptr<QApplication> app;
    ScriptedInteraction* interaction = nullptr; // owned by the platform while installed
    std::unique_ptr<platform::IInteraction> previousInteraction;
    std::unique_ptr<ModalWatchdog> watchdog;
};

TestEnvironment::TestEnvironment(int& argc, char** argv)
    : d(std::make_unique<Private>()) {
    d->app = std::make_unique<QApplication>(argc, argv);
    d->app->setAttribute(Qt::AA_Use96Dpi, true);

    QStandardPaths::setTestModeEnabled(true);
    if (!d->settingsDir.isValid())
        qFatal("Cannot create a temporary folder for the settings: %s",
               qPrintable(d->settingsDir.errorString()));
    const QString root = d->settingsDir.path();
    const QString userPath = root + QStringLiteral("/user");
    const QString systemPath = root + QStringLiteral("/system");
    QDir().mkpath(userPath);
    QDir().mkpath(systemPath);
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        QSettings::setPath(format, QSettings::UserScope, userPath);
        QSettings::setPath(format, QSettings::SystemScope, systemPath);
    }

    auto interaction = std::make_unique<ScriptedInteraction>();
    d->interaction = interaction.get();
    d->previousInteraction = platform::setInteraction(std::move(interaction));

    d->watchdog = std::make_unique<ModalWatchdog>();
}

TestEnvironment::~TestEnvironment() {
    d->watchdog.reset();
    platform::setInteraction(std::move(d->previousInteraction));
    d->interaction = nullptr;
}

QString TestEnvironment::settingsPath() const {
    return d->settingsDir.path();
}

int TestEnvironment::run(QObject* test, int argc, char** argv) {
    int result = QTest::qExec(test, argc, argv);
    if (ScriptedInteraction::current() == d->interaction)
        d->interaction->verifyAllUsed();
    if (result == 0 && failuresOutsideTests() > 0) {
        std::fprintf(stderr, "The test harness reported %d failure(s) outside the test functions\n",
                     failuresOutsideTests());
        result = 1;
    }
    return result;
}

} // namespace testsupport

#pragma once

// ARCHIVE_TEST_MAIN(TestClass) replaces QTEST_MAIN in every test program.
// Besides the QApplication it gives each run:
//  - QStandardPaths in test mode and every QSettings format and scope
//    (native and ini, user and system) in a fresh temporary folder, so no
//    test reads or writes real settings;
//  - a ScriptedInteraction installed as the interaction service, so any
//    question a test did not script fails that test instead of waiting;
//  - a ModalWatchdog that fails the test and closes any modal window opened
//    behind the service's back.
// Failures the harness finds outside a test function make the exit code
// non-zero as well.

#include <QTest>

#include <memory>

class QObject;

namespace testsupport {

class TestEnvironment {
public:
    TestEnvironment(int& argc, char** argv);
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    // The folder that holds this run's settings.
    QString settingsPath() const;

    int run(QObject* test, int argc, char** argv);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace testsupport

#define ARCHIVE_TEST_MAIN(TestObject)                                                                        \
    int main(int argc, char* argv[]) {                                                                       \
        QT_PREPEND_NAMESPACE(QTest::Internal::callInitMain)<TestObject>();                                   \
        testsupport::TestEnvironment archiveTestEnvironment(argc, argv);                                     \
        TestObject tc;                                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return archiveTestEnvironment.run(&tc, argc, argv);                                                  \
    }

#pragma once

// Failures the test harness itself detects (an unscripted question, a window
// opened behind the interaction service's back, answers left unused). Inside
// a test function they fail that test; anywhere else (before the first test,
// after the last, in a destructor that outlives the run) they are printed and
// turn the exit code of ARCHIVE_TEST_MAIN into a failure.

#include <QString>

namespace testsupport {

void failCurrentTest(const QString& message, const char* file, int line);

// How many failures were reported while no test function was running.
int failuresOutsideTests();

} // namespace testsupport

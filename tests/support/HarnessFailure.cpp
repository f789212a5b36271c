#include "HarnessFailure.h"

#include <QTest>
#include <QtGlobal>

#include <cstdio>

namespace testsupport {

namespace {
int outsideCount = 0;
}

void failCurrentTest(const QString& message, const char* file, int line) {
    const QByteArray text = message.toUtf8();
    if (QTest::currentTestFunction()) {
        QTest::qFail(text.constData(), file, line);
        return;
    }
    ++outsideCount;
    std::fprintf(stderr, "FAIL!  (outside any test function) %s\n   Loc: [%s(%d)]\n", text.constData(), file,
                 line);
    std::fflush(stderr);
}

int failuresOutsideTests() {
    return outsideCount;
}

} // namespace testsupport

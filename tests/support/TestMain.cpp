// Runs the registered test classes of one test executable.
//   test_x [--label L] [--class C] [QtTest options...]
// Without --label every class except the "stress" ones runs.
#include "TestEnvironment.h"
#include "TestRegistry.h"

#include <QCoreApplication>
#include <QTest>

#include <cstdio>
#include <cstring>

#if defined(QB_TEST_GUI)
#include <QApplication>
using TestApp = QApplication;
#else
using TestApp = QCoreApplication;
#endif

namespace qbtest {
std::vector<RegisteredTest>& registry()
{
    static std::vector<RegisteredTest> tests;
    return tests;
}
} // namespace qbtest

int main(int argc, char** argv)
{
    QByteArray label;
    QByteArray only;
    std::vector<char*> qtArgs{argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--label") == 0 && i + 1 < argc) {
            label = argv[++i];
        } else if (std::strcmp(argv[i], "--class") == 0 && i + 1 < argc) {
            only = argv[++i];
        } else {
            qtArgs.push_back(argv[i]);
        }
    }
    qbtest::isolateUserFolders();
    int qtArgc = static_cast<int>(qtArgs.size());
    qtArgs.push_back(nullptr);
    TestApp app(qtArgc, qtArgs.data());

    int failures = 0;
    int ran = 0;
    for (const auto& test : qbtest::registry()) {
        if (!only.isEmpty() && only != test.name)
            continue;
        if (label.isEmpty() ? std::strcmp(test.label, "stress") == 0 : label != test.label)
            continue;
        auto object = test.make();
        failures += QTest::qExec(object.get(), qtArgc, qtArgs.data());
        ++ran;
    }
    if (ran == 0) {
        std::fprintf(stderr, "no test class matched\n");
        return 2;
    }
    return failures == 0 ? 0 : 1;
}

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    // Test discovery runs the binary without the test environment; never need a display.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    // Windows come and go between tests; only the test that quits on purpose turns this on.
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}

#include "support/umockdev_preload.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    posflash::testing::EnsureUmockdevPreloaded(argv);
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Window downloads are recorded: never in the user's history.
    QTemporaryDir dataHome;
    setenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()).constData(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv); // the window test needs one
    return RUN_ALL_TESTS();
}

#include "support/umockdev_preload.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sched.h>
#include <sys/mount.h>

int main(int argc, char** argv) {
    // Bind mounts over the test bed's nodes stay in a mount namespace of this process's own.
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        setenv("POSFLASH_TEST_NO_MOUNTS", "1", 1);
    posflash::testing::EnsureUmockdevPreloaded(argv);
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QTemporaryDir home; // the tool's settings, COM map and history stay in here
    setenv("XDG_DATA_HOME", QFile::encodeName(home.path()).constData(), 1);
    setenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()).constData(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

#pragma once

#include "support/test_files.h"

#include <QTemporaryDir>

namespace posflash::testing {

// Settings and data folders of a test's own, in the environment before a window reads them.
struct PrivateHome {
    PrivateHome() {
        qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
    }
    ~PrivateHome() {
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_DATA_HOME");
    }
    PrivateHome(const PrivateHome&) = delete;
    PrivateHome& operator=(const PrivateHome&) = delete;

    // A file of posflash's settings folder, such as comports.ini.
    QString configFile(const QString& name) const {
        return configHome.filePath("posflash/" + name);
    }

    QTemporaryDir configHome;
    QTemporaryDir dataHome;
};

} // namespace posflash::testing

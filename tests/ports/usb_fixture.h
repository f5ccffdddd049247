#pragma once

#include "base/ini_store.h"
#include "ports/com_port_map.h"
#include "support/fake_usb_inventory.h"
#include "support/port_layer.h"
#include "support/recording_panel.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace posflash::testing {

// A file as a later look can tell it apart: a rewrite through a replacing save changes the
// inode even when the clock did not move.
struct FileSnapshot {
    QByteArray content;
    QDateTime modified;
    ino_t inode = 0;

    static FileSnapshot of(const QString& path) {
        FileSnapshot s;
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            s.content = file.readAll();
        s.modified = QFileInfo(path).lastModified();
        struct stat st {};
        if (::stat(QFile::encodeName(path).constData(), &st) == 0)
            s.inode = st.st_ino;
        return s;
    }
    bool operator==(const FileSnapshot&) const = default;
};

inline UsbDeviceEntry usbDevice(const QString& instanceId, const QString& serialNode = {},
                                const QString& rawNode = {}) {
    return UsbDeviceEntry{instanceId, serialNode, rawNode};
}

// The ports layer over a fake USB inventory, with its settings file and COM-number map on disk.
class UsbPortsTest : public ::testing::Test {
protected:
    UsbPortsTest()
        : settings(dir.filePath("sys_config.ini")), comPorts(dir.filePath("comports.ini")),
          ports(panel, settings, comPorts, inventory) {
        ports.portModel().setBaudIndex(7);
    }

    QString settingsPath() const { return settings.fileName(); }
    QString comPortsPath() const { return comPorts.fileName(); }

    QTemporaryDir dir;
    RecordingPanel panel;
    IniStore settings;
    ComPortMap comPorts;
    FakeUsbInventory inventory;
    PortLayer ports;
};

} // namespace posflash::testing

#pragma once

#include "ports/com_port_map.h"
#include "ports/printer_usb.h"
#include "support/fake_usb_inventory.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace posflash::testing {

// A file as a later look tells it apart: a replacing save changes the inode, if not the clock.
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

// USB discovery over a fake inventory, with its COM-number map on disk.
class UsbPortsTest : public ::testing::Test {
protected:
    UsbPortsTest() : comPorts(dir.filePath("comports.ini")) {}

    QString comPortsPath() const { return comPorts.fileName(); }

    QTemporaryDir dir;
    ComPortMap comPorts;
    FakeUsbInventory inventory;
    PrinterUsb usb{inventory, comPorts};
};

} // namespace posflash::testing

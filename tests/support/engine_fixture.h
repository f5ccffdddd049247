#pragma once

#include "base/ini_store.h"
#include "engine/engine.h"
#include "ports/com_port_map.h"
#include "protocol/checksums.h"
#include "support/fake_usb_inventory.h"
#include "support/recording_panel.h"

#include <QFile>
#include <QTemporaryDir>

namespace posflash::testing {

// An engine over a recording panel, a private settings file, an in-memory COM map and a fake
// USB inventory.
struct EngineParts {
    EngineParts() : settings(dir.filePath("sys_config.ini")), engine(panel, settings, map, usb) {}

    // A program image of n bytes whose last four hold the sum of the others, written into the
    // private folder; the bytes are kept in written.
    QString writeProgramImage(std::size_t n, const QString& name = "fw.bin") {
        Bytes image(n);
        for (std::size_t i = 0; i + 4 < n; ++i)
            image[i] = static_cast<std::uint8_t>((i * 37 + i / 251) & 0xFF);
        putU32(image, n - 4, GetSum(ByteView(image).first(n - 4)));
        written = image;
        const QString path = dir.filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(reinterpret_cast<const char*>(image.data()), static_cast<qint64>(n));
        return path;
    }

    QTemporaryDir dir;
    RecordingPanel panel;
    IniStore settings;
    ComPortMap map;
    FakeUsbInventory usb;
    Engine engine;
    Bytes written;
};

} // namespace posflash::testing

#pragma once

#include "engine/engine.h"
#include "ports/com_port_map.h"
#include "support/fake_usb_inventory.h"
#include "support/program_image.h"
#include "support/recording_observer.h"

#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace posflash::testing {

// An engine over an in-memory COM map and a fake USB inventory, in the English face.
struct EngineParts {
    EngineParts() : engine(map, usb) { engine.faces().setUseEnglish(true); }

    // A program image of n bytes in the private folder; its bytes are kept in written.
    QString writeProgramImage(std::size_t n, const QString& name = "fw.bin") {
        written = WriteProgramImage(dir.filePath(name), n);
        return dir.filePath(name);
    }

    // Runs the job to its end (stopped after withinMs) and returns how it ended.
    DownloadResult download(const DownloadJob& job, int withinMs = 30000) {
        return ended([&] { engine.download(job, observer); }, withinMs);
    }
    // The boot-loader command, the same way.
    DownloadResult inboot(const InbootJob& job, int withinMs = 30000) {
        return ended([&] { engine.sendBootCommand(job, observer); }, withinMs);
    }
    DownloadResult ended(const std::function<void()>& start, int withinMs) {
        observer.clear();
        start();
        if (!QTest::qWaitFor([this] { return observer.done(); }, withinMs))
            engine.stop();
        return observer.result.value_or(DownloadResult{});
    }

    QTemporaryDir dir;
    ComPortMap map;
    FakeUsbInventory usb;
    Engine engine;
    RecordingObserver observer;
    Bytes written;
};

} // namespace posflash::testing

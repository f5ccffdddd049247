// The boot-loader command as a job: its events and the result each ending gives.

#include "download/inboot_run.h"
#include "link/boot_command.h"
#include "link/tcp_monitor.h"
#include "ports/com_port_map.h"
#include "ports/printer_usb.h"
#include "ports/usb_output.h"
#include "support/fake_usb_inventory.h"
#include "support/recording_observer.h"
#include "support/test_files.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace posflash {
namespace {

class InbootRunTest : public ::testing::Test {
protected:
    InbootRunTest() : usb(inventory, comPorts), usbOutput(usb), command(monitor, usb, usbOutput) {}

    // A printer's raw USB device at node.
    void printerAt(const QString& node) {
        inventory.list = {UsbDeviceEntry{"USB\\VID_0483&PID_5743\\PRN", {}, node}};
    }

    // Runs the job to its end; what the observer heard, and how it ended.
    QString run(const InbootJob& job, bool stopAtOnce = false) {
        observer.clear();
        frameSent.clear();
        InbootRun inboot(job, command, watcher);
        inboot.start(QDateTime::currentDateTime());
        if (stopAtOnce)
            inboot.stop();
        EXPECT_TRUE(QTest::qWaitFor([this] { return observer.done(); }, 10000));
        return observer.outcome();
    }

    QTemporaryDir dir;
    ComPortMap comPorts;
    testing::FakeUsbInventory inventory;
    PrinterUsb usb;
    UsbOutput usbOutput;
    TcpMonitor monitor;
    BootCommand command;
    testing::RecordingObserver observer;
    QStringList frameSent; // "ok" or "failed", for each FrameSent
    EventFunction watcher{[this](const DownloadEvent& e) {
        if (e.kind == DownloadEvent::Kind::FrameSent)
            frameSent << (e.sendError ? "failed" : "ok");
        observer.onEvent(e);
    }};
};

TEST_F(InbootRunTest, EachEndingGivesItsOutcomeAndCause) {
    const QString raw = testing::WriteFile(dir.filePath("lp0"), {});
    InbootJob usbJob;
    InbootJob networkJob;
    networkJob.route = Route::Network;
    networkJob.printer.ip = QStringLiteral("127.0.0.1");
    // node: the printer's raw device; empty: no printer
    // clang-format off
    const struct { const char* name; QString node; InbootJob job; bool stopAtOnce; const char* outcome; QStringList frameSent; } cases[] = {
        {"written to the printer's USB device", raw, usbJob, false, "completed/none", {"ok"}},
        {"a USB device that refuses the write", dir.filePath("gone"), usbJob, false, "failed/disconnected", {"failed"}},
        {"stopped while connecting to the firmware", {}, networkJob, true, "cancelled/cancelled", {}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        printerAt(c.node);
        EXPECT_EQ(run(c.job, c.stopAtOnce), c.outcome);
        EXPECT_EQ(frameSent, c.frameSent);
        EXPECT_EQ(observer.events.first(), "started");
        EXPECT_EQ(observer.events.last(), "finished");
    }
    EXPECT_EQ(testing::ReadFile(raw).toHex(), "1f1b1c06ff626f6f74080a");
}

TEST_F(InbootRunTest, NoPrinterOnUsbFailsAsAbsentAndABusyEngineRefusesAtOnce) {
    inventory.list.clear();
    InbootRun lost({}, command, observer);
    lost.start(QDateTime::currentDateTime());
    lost.stop(); // the reason it was not sent stands
    EXPECT_EQ(observer.outcome(), "failed/printer-absent");

    observer.clear();
    InbootRun refused({}, command, observer);
    refused.refuse(QDateTime::currentDateTime());
    EXPECT_EQ(observer.outcome(), "refused/busy");
    EXPECT_EQ(observer.events, QStringList({"transferEnded refused/busy", "finished"}));
}

} // namespace
} // namespace posflash

// Whole downloads through the engine to a simulated printer on a pseudo-terminal.

#include "support/engine_fixture.h"
#include "support/printer_sim_process.h"
#include "support/qt_printers.h"

#include <QJsonArray>

#include <gtest/gtest.h>

namespace posflash {
namespace {

using testing::PrinterSimProcess;

class SerialDownloadTest : public ::testing::Test, protected testing::EngineParts {
protected:
    SerialDownloadTest() : sim(dir) {}

    void startPrinter(const QStringList& faults = {}) {
        ASSERT_TRUE(sim.start(faults));
        ASSERT_TRUE(map.setMapping(3, sim.link()));
        usb.list = {{"USB\\VID_0483&PID_5740\\SIM0001", sim.link(), sim.link()}};
    }

    PrinterSimProcess sim;
};

TEST_F(SerialDownloadTest, ProgramAndFontArriveByteIdenticalInOneSession) {
    // byDevicePath: else by COM number
    // clang-format off
    const struct { const char* name; ImageKind kind; std::size_t bytes; bool byDevicePath; int kindByte; } cases[] = {
        {"a program to COM3", ImageKind::Program, 1000, false, 0x80},
        {"a font to the device node", ImageKind::Font, 3000, true, 0x81},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startPrinter();
        DownloadJob job;
        job.kind = c.kind;
        job.imagePath = writeProgramImage(c.bytes);
        if (c.byDevicePath)
            job.printer.node = sim.link();
        else
            job.printer.comNumber = 3;
        // A second job or a boot-loader command while this one runs would take over the line.
        testing::RecordingObserver second;
        testing::RecordingObserver command;
        observer.onDataFrame = [&](int index) {
            if (index != 0)
                return;
            engine.download(job, second);
            engine.sendBootCommand({}, command);
        };
        const DownloadResult result = download(job);
        observer.onDataFrame = nullptr;
        EXPECT_EQ(OutcomeName(result.outcome), "completed")
            << CauseName(result.cause).toStdString();
        EXPECT_EQ(result.printer.comNumber, 3);
        EXPECT_EQ(second.outcome(), "refused/busy");
        EXPECT_EQ(command.outcome(), "refused/busy");
        const QJsonObject report = sim.stop();
        EXPECT_EQ(sim.received(), written);
        EXPECT_TRUE(report["errors"].toArray().isEmpty())
            << QJsonDocument(report).toJson().toStdString();
        EXPECT_EQ(report["sessions"].toArray().size(), 1);
        EXPECT_EQ(report["sessions"][0].toObject()["kind_byte"].toInt(), c.kindByte);
    }
}

} // namespace
} // namespace posflash

// A run of several printers at the fleet's own API: what its sink hears.
#include "fleet/multi_download.h"
#include "support/fake_usb_inventory.h"
#include "support/printer_sims.h"
#include "support/program_image.h"

#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace posflash {
namespace {

using Kind = DownloadEvent::Kind;

// Per data frame a frame event and, when it changes, the step cross the fleet: at most two.
TEST(MultiDownloadTest, AtMostTwoEventsPerDataFrameCrossTheFleet) {
    struct Sink : MultiEventSink {
        void onEvent(const DownloadEvent& e) override {
            // From the start frame's acceptance to the closing frames: the data frames' events.
            inFrames[e.target] =
                e.kind == Kind::FramesKnown || (inFrames[e.target] && e.kind != Kind::Closing);
            events[e.target] += inFrames[e.target] && e.kind != Kind::FramesKnown;
            frames[e.target] = std::max(frames[e.target], e.frames);
            if (e.kind == Kind::UnitFinished)
                completed += e.result->outcome == Outcome::Completed;
        }
        void finished(int) override {}
        void targetAdded(const MultiTarget&) override {}
        bool inFrames[2] = {};
        int events[2] = {}, frames[2] = {}, completed = 0;
    } sink;
    QTemporaryDir dir;
    testing::WriteProgramImage(dir.filePath("fw.bin"), 40 * 1024);
    testing::PrinterSims sims;
    std::vector<MultiTarget> targets(2);
    for (MultiTarget& t : targets)
        t.label = t.device = sims.serial().link();
    ComPortMap comPorts;
    testing::FakeUsbInventory usb;
    const MultiSettings settings{dir.filePath("fw.bin"), {}, false, true, 5000, 0, {}, {}, false};
    MultiDownload run(targets, settings, comPorts, usb, sink);
    QEventLoop loop;
    run.start([&](int) { loop.quit(); });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit); // a deadline, should the end not come
    loop.exec();
    ASSERT_EQ(sink.completed, 2);
    for (int i = 0; i < 2; ++i) {
        ASSERT_GT(sink.frames[i], 10);
        EXPECT_LE(sink.events[i], 2 * sink.frames[i]) << i;
        EXPECT_GE(sink.events[i], sink.frames[i]) << i; // each frame is told
    }
}

} // namespace
} // namespace posflash

// A run of several printers at the fleet's own API: what its sink hears.
#include "fleet/multi_download.h"
#include "support/fake_usb_inventory.h"
#include "support/printer_sims.h"
#include "support/program_image.h"

#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>

namespace posflash {
namespace {

using Kind = DownloadEvent::Kind;

struct CountingSink : MultiEventSink {
    void onEvent(const DownloadEvent& e) override {
        // The data frames' span: from the start frame's acceptance to the closing frames.
        if (e.kind == Kind::FramesKnown)
            inFrames[e.target] = true;
        else if (e.kind == Kind::Closing)
            inFrames[e.target] = false;
        else if (inFrames[e.target])
            ++duringFrames[e.target];
        if (e.kind == Kind::FramesKnown)
            frames[e.target] = e.frames;
        if (e.kind == Kind::UnitFinished)
            outcomes[e.target] = OutcomeName(e.result->outcome);
    }
    void finished(int code) override { exitCode = code; }
    void targetAdded(const MultiTarget&) override {}

    std::map<int, bool> inFrames;
    std::map<int, int> duringFrames, frames;
    std::map<int, QString> outcomes;
    int exitCode = -1;
};

// The engines tell every frame; what crosses the fleet per data frame is one frame event and,
// only when it changes, the step: at most two, however many printers run.
TEST(MultiDownloadTest, AtMostTwoEventsPerDataFrameCrossTheFleet) {
    QTemporaryDir dir;
    const QString image = dir.filePath("fw.bin");
    testing::WriteProgramImage(image, 40 * 1024);
    testing::PrinterSims sims;
    std::vector<MultiTarget> targets;
    for (int i = 0; i < 2; ++i)
        targets.push_back({QStringLiteral("P%1").arg(i), sims.serial().link(), 0, {}, {}, {}});
    ComPortMap comPorts;
    testing::FakeUsbInventory usb;
    CountingSink sink;
    MultiDownload run(targets, {image, {}, false, true, 5000, 0, {}, {}, false}, comPorts, usb,
                      sink);
    QEventLoop loop;
    run.start([&](int) { loop.quit(); });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit); // a deadline, should the end not come
    loop.exec();
    EXPECT_EQ(sink.exitCode, 0);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(sink.outcomes[i], "completed");
        ASSERT_GT(sink.frames[i], 10);
        EXPECT_LE(sink.duringFrames[i], 2 * sink.frames[i]);
        EXPECT_GE(sink.duringFrames[i], sink.frames[i]); // each frame is told
    }
}

} // namespace
} // namespace posflash

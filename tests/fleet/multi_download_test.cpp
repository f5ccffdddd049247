// A run of several printers at the fleet's own API: what its sink hears.
#include "download/loaded_image.h"
#include "fleet/multi_download.h"
#include "recipe/minisign_tool.h"
#include "recipe/recipe.h"
#include "recipe/trusted_keys.h"
#include "support/fake_usb_inventory.h"
#include "support/printer_sims.h"
#include "support/program_image.h"
#include "unit/recipe_gate.h"

#include <QEventLoop>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>

namespace posflash {
namespace {

using Kind = DownloadEvent::Kind;

// Per data frame a frame event and, when it changes, the step cross the fleet: at most two. The
// image is loaded once for the run: its file replaced meanwhile reaches no printer.
TEST(MultiDownloadTest, AtMostTwoEventsPerDataFrameCrossTheFleetAndTheLoadedImageIsSent) {
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
        bool inFrames[4] = {};
        int events[4] = {}, frames[4] = {}, completed = 0;
    } sink;
    QTemporaryDir dir;
    const Bytes image = testing::WriteProgramImage(dir.filePath("fw.bin"), 40 * 1024);
    const Result<SharedImage> loaded = LoadImage(dir.filePath("fw.bin"), ImageKind::Program);
    ASSERT_TRUE(loaded.ok());
    testing::WriteProgramImage(dir.filePath("fw.bin"), 20 * 1024);
    testing::PrinterSims sims;
    std::vector<MultiTarget> targets(4);
    for (MultiTarget& t : targets)
        t.label = t.printer.node = sims.serial().link();
    ComPortMap comPorts;
    testing::FakeUsbInventory usb;
    const MultiSettings settings{*loaded, true, 5000, 0, {}, {}, false};
    MultiDownload run(targets, settings, comPorts, usb, sink);
    QEventLoop loop;
    run.start([&](int) { loop.quit(); });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit); // a deadline, should the end not come
    loop.exec();
    ASSERT_EQ(sink.completed, 4);
    for (int i = 0; i < 4; ++i) {
        sims[static_cast<std::size_t>(i)].stop();
        EXPECT_EQ(sims[static_cast<std::size_t>(i)].received(), image) << i;
        ASSERT_GT(sink.frames[i], 10);
        EXPECT_LE(sink.events[i], 2 * sink.frames[i]) << i;
        EXPECT_GE(sink.events[i], sink.frames[i]) << i; // each frame is told
    }
}

// Watching under a recipe: a printer plugged in on a port the recipe does not name is refused
// with its cause before its first frame; the one it names is updated, and the watch goes on.
TEST(MultiDownloadTest, AWatchedRunRefusesAPrinterOutsideTheRecipeAndUpdatesTheOneInside) {
    struct Sink : MultiEventSink {
        void onEvent(const DownloadEvent& e) override {
            sent[e.target] += e.kind == Kind::FrameSent;
            if (e.kind == Kind::UnitFinished)
                results[e.target] = *e.result;
        }
        void finished(int) override {}
        void targetAdded(const MultiTarget&) override {}
        std::map<int, int> sent;
        std::map<int, DownloadResult> results;
    } sink;
    testing::MinisignTool tool;
    tool.makeKey("line");
    const Bytes image = testing::WriteProgramImage(tool.path("fw.bin"), 8 * 1024);
    testing::PrinterSims sims;
    MultiTarget inside, outside;
    inside.label = inside.printer.node = sims.serial().link();
    outside.label = outside.printer.node = sims.serial().link();
    Recipe recipe;
    recipe.name = "X1 2.4";
    recipe.imageSha256 = ImageSha256(image);
    recipe.imageSize = static_cast<std::int64_t>(image.size());
    recipe.targets = {inside.printer.node};
    tool.write("r.json", WriteRecipe(recipe));
    tool.sign("r.json", "line", false);
    auto opened =
        RecipeGate::open(tool.path("r.json"), LoadTrustedKeys({tool.systemKeys({"line"}), {}}).keys,
                         QDateTime::currentDateTimeUtc());
    ASSERT_TRUE(std::holds_alternative<RecipeGate>(opened));
    MultiSettings settings{
        *LoadImage(tool.path("fw.bin"), ImageKind::Program), true, 5000, 0, {}, {}, false};
    settings.recipe = std::make_shared<const RecipeGate>(std::get<RecipeGate>(opened));
    ComPortMap comPorts;
    testing::FakeUsbInventory usb;
    MultiDownload run({}, settings, comPorts, usb, sink);
    run.setWatching(&MultiDownload::exitCodeOf);
    QEventLoop loop;
    int code = -1;
    run.start([&](int exitCode) {
        code = exitCode;
        loop.quit();
    });
    run.addTarget(outside);
    run.addTarget(inside);
    ASSERT_TRUE(QTest::qWaitFor([&sink] { return sink.results.size() == 2; }, 30000));
    run.stop();
    QTimer::singleShot(30000, &loop, &QEventLoop::quit); // a deadline, should the end not come
    loop.exec();
    EXPECT_EQ(sink.results[0].outcome, Outcome::Refused);
    EXPECT_EQ(sink.results[0].cause, Cause::RecipeTarget);
    EXPECT_EQ(sink.sent[0], 0);
    EXPECT_EQ(sink.results[1].outcome, Outcome::Completed);
    EXPECT_GT(sink.sent[1], 0);
    EXPECT_EQ(code, 2); // a printer refused
}

} // namespace
} // namespace posflash

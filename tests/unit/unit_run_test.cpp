// A unit of the fleet at its own API, against a simulated printer: its attempts and their rows.
#include "history/history_store.h"
#include "support/engine_fixture.h"
#include "support/printer_sims.h"
#include "unit/download_history.h"
#include "unit/unit_run.h"

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

namespace posflash {
namespace {

using namespace testing;

// Every attempt is a row of the unit's UUID; a cancel as the next is announced ends it once.
TEST(UnitRunTest, ACancelAsTheNextAttemptIsAnnouncedEndsTheUnitOnce) {
    EngineParts parts;
    const QString font = parts.writeProgramImage(8 * 1024, "font.bin");
    PrinterSims sims;
    PrinterSimProcess& refusing = sims.serial({"--refuse", "1:5:3"});
    Engine& engine = parts.engine;
    const QString historyPath = parts.dir.filePath("unit.db");
    DownloadHistory history("cli", historyPath);
    QEventLoop loop;
    struct Observer : DownloadObserver {
        UnitRun* unit = nullptr;
        QEventLoop* loop = nullptr;
        int starts = 0;
        std::vector<DownloadEvent> ends;
        std::vector<DownloadResult> lasts;
        void onEvent(const DownloadEvent& e) override {
            if (e.kind == DownloadEvent::Kind::Started)
                ++starts;
            if (e.kind == DownloadEvent::Kind::RetryUnit && e.nextAttempt == 3)
                unit->cancel();
            if (e.kind != DownloadEvent::Kind::UnitFinished)
                return;
            ends.push_back(e);
            lasts.push_back(*e.result);
            QMetaObject::invokeMethod(loop, &QEventLoop::quit, Qt::QueuedConnection);
        }
    } observer;
    UnitRun unit(engine, &history, observer);
    observer.unit = &unit;
    observer.loop = &loop;
    DownloadJob job;
    job.printer.node = refusing.link();
    job.imagePath = font;
    job.kind = ImageKind::Font;
    unit.start(job, {"Ann", "line-3", "L-9", {}}, 3);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit); // a deadline, should the end not come
    loop.exec();
    ASSERT_EQ(observer.ends.size(), 1u);
    EXPECT_EQ(observer.ends[0].unitAttempt, 2);
    EXPECT_EQ(observer.lasts[0].cause, Cause::PrinterRefused);
    EXPECT_EQ(observer.starts, 2);
    EXPECT_FALSE(unit.isRunning());
    history.finish();
    const auto rows = HistoryStore(historyPath).recent(0);
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 2u);
    for (int i = 0; i < 2; ++i) { // newest first
        EXPECT_EQ((*rows)[i].unit, observer.ends[0].unit);
        EXPECT_EQ((*rows)[i].attempt, 2 - i);
        EXPECT_EQ((*rows)[i].operatorName + " " + (*rows)[i].label, "Ann L-9");
    }
}

} // namespace
} // namespace posflash

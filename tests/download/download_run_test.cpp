// The download as a state machine, against a printer that answers each frame as its script says.

#include "base/faces.h"
#include "download/download_run.h"
#include "download/loaded_image.h"
#include "link/boot_command.h"
#include "link/network_boot.h"
#include "link/shared_boot_ports.h"
#include "link/tcp_monitor.h"
#include "ports/com_port_map.h"
#include "ports/printer_usb.h"
#include "ports/serial_aim.h"
#include "ports/serial_control.h"
#include "ports/usb_output.h"
#include "protocol/frames.h"
#include "support/fake_usb_inventory.h"
#include "support/program_image.h"
#include "support/qt_printers.h"
#include "support/recording_observer.h"
#include "support/test_files.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>

namespace posflash {
namespace {

// The printer on the COM route. "T1: r5 a400; V: - - -" answers the first copies of frames P, T<n>,
// Q, V: "a" accepted ("a<ms>" that late), "-" silence, "r5" / "r6" refused, "w" accepted for the
// previous frame number, "s" split over two arrivals; any other copy is accepted.
class ScriptedPrinter : public FrameTransport {
public:
    ScriptedPrinter() { clock_.start(); }

    Status send(ByteView frame) override {
        const std::uint8_t command = frame[frame::kCommandAt];
        const int number = command == 0x54 ? getU16(frame, frame::kFrameNoAt) : 0;
        const QString label = command == 0x54 ? QStringLiteral("T%1").arg(number)
                                              : QString(QChar(static_cast<char>(command)));
        const qsizetype copy = sent.count(label);
        sent << label;
        sentAtMs.push_back(clock_.elapsed());
        const QStringList& replies = script_[label];
        const QString reply = copy < replies.size() ? replies[copy] : QStringLiteral("a");
        if (reply != "-") {
            const std::uint8_t status = reply == "r5" ? 5 : reply == "r6" ? 6 : 4;
            Bytes bytes{0x1F, 0x1B, 0x1C, 0x06, status, frame[frame::kKindAt], command, 0,
                        0,    0,    0,    0,    0};
            putU16(bytes, frame::kFrameNoAt, static_cast<std::uint16_t>(number - (reply == "w")));
            const bool split = reply == "s";
            const int afterMs = reply.startsWith('a') ? reply.mid(1).toInt() : 0;
            QTimer::singleShot(afterMs, this, [this, bytes, split, run = runs] {
                if (run != runs) // an answer to an earlier download's frame
                    return;
                if (!split) {
                    emit replied(bytes);
                    return;
                }
                emit replied(ByteView(bytes).first(6));
                emit replied(ByteView(bytes).subspan(6));
            });
        }
        if (onSend)
            onSend(label);
        return {};
    }
    void close() override { ++closes; }

    // A new download: nothing is answered for the last one's frames any more.
    void reset(const QString& script) {
        ++runs;
        script_.clear();
        for (const QString& frame : script.split(';', Qt::SkipEmptyParts))
            script_[frame.section(':', 0, 0).trimmed()] =
                frame.section(':', 1).split(' ', Qt::SkipEmptyParts);
        sent.clear();
        sentAtMs.clear();
        closes = 0;
    }

    // The time between the first two copies of the first frame sent more than once.
    std::optional<qint64> gapOfFirstRepeat() const {
        for (qsizetype i = 0; i + 1 < sent.size(); ++i)
            if (sent[i] == sent[i + 1])
                return sentAtMs[static_cast<std::size_t>(i + 1)] -
                       sentAtMs[static_cast<std::size_t>(i)];
        return std::nullopt;
    }

    QStringList sent;
    std::vector<qint64> sentAtMs;
    std::function<void(const QString&)> onSend;
    int closes = 0;

private:
    std::map<QString, QStringList> script_;
    int runs = 0;
    QElapsedTimer clock_;
};

class DownloadRunTest : public ::testing::Test {
protected:
    DownloadRunTest()
        : usb(inventory, comPorts), usbOutput(usb), network(faces),
          bootCommand(monitor, usb, usbOutput) {
        faces.setUseEnglish(true);
        inventory.list = {{"USB\\VID_0483&PID_5740\\T1", "", ""}}; // unreachable: no printer
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    // A program of n bytes: 512 bytes a data frame.
    QString program(std::size_t n) {
        testing::WriteProgramImage(path("fw.bin"), n);
        return path("fw.bin");
    }

    static DownloadJob comJob(const QString& imagePath) {
        DownloadJob job;
        job.printer.comNumber = 3;
        job.imagePath = imagePath;
        return job;
    }
    static DownloadJob networkJob(const QString& imagePath) {
        DownloadJob job = comJob(imagePath);
        job.route = Route::Network;
        job.printer.ip = QStringLiteral("127.0.0.1");
        job.printer.mac = QStringLiteral("00-11-22-33-44-55");
        return job;
    }

    DownloadRun::Parts parts() {
        return {printer, network, monitor, bootCommand, aimer, usb, faces};
    }
    DownloadRun& start(const DownloadJob& job) {
        run = std::make_unique<DownloadRun>(job, QString(), parts(), observer);
        run->start(QDateTime::currentDateTime(), 1);
        return *run;
    }
    // The whole run, the pause before the port closes included.
    bool finishes(int withinMs = 10000) {
        return QTest::qWaitFor([this] { return observer.done(); }, withinMs);
    }

    QTemporaryDir dir;
    Faces faces;
    ComPortMap comPorts;
    testing::FakeUsbInventory inventory;
    PrinterUsb usb;
    UsbOutput usbOutput;
    ScriptedPrinter printer;
    NetworkBoot network;
    TcpMonitor monitor;
    BootCommand bootCommand;
    SerialControl serialControl{comPorts};
    SerialAimer aimer{comPorts, inventory, serialControl};
    testing::RecordingObserver observer;
    std::unique_ptr<DownloadRun> run;
};

TEST_F(DownloadRunTest, EachFrameGetsThreeAttemptsAndTheLastOneSaysWhy) {
    const int data = FrameTiming{}.dataWaitMs;
    // sent: what the printer received, in order; retries: the cause of each retry, "printer-" left
    // out, a refusal with its status; refusal: the result's (the last try's) refusal status;
    // waitMs: between the first two copies of the repeated frame: its wait, or 0
    // clang-format off
    const struct { const char* name; const char* script; const char* sent; const char* outcome; const char* retries; int refusal; int waitMs; } cases[] = {
        {"every frame accepted", "", "P T1 T2 Q V", "completed/none", "", 0, -1},
        {"a silent data frame", "T2: - - -", "P T1 T2 T2 T2", "failed/printer-silent", "silent silent", 0, data},
        {"a refusal ends the wait at once", "T1: r5 r5 r5", "P T1 T1 T1", "failed/printer-refused", "refused5 refused5", 5, 0},
        {"two refusals are ridden out", "T1: r5 r6", "P T1 T1 T1 T2 Q V", "completed/none", "refused5 refused6", 0, 0},
        {"a refusal of the last try reaches the result", "T1: - - r6", "P T1 T1 T1", "failed/printer-refused", "silent silent", 6, data},
        {"acceptances of another frame only", "T2: w w w", "P T1 T2 T2 T2", "failed/wrong-frame-number", "wrong-frame-number wrong-frame-number", 0, data},
        {"an acceptance of another frame, then the right one", "T2: w", "P T1 T2 T2 Q V", "completed/none", "wrong-frame-number", 0, data},
        {"a late acceptance counts for the next attempt", "T1: a400 a400", "P T1 T1 T2 Q V", "completed/none", "silent", 0, data},
        // The answer to frame 1's repeat comes at 900 ms, inside frame 2's second wait.
        {"the answer to a repeat is not taken for the next frame", "T1: a400 a550; T2: - - -", "P T1 T1 T2 T2 T2", "failed/wrong-frame-number", "silent silent wrong-frame-number", 0, data},
        {"a reply split over two arrivals accepts nothing", "T1: s s s", "P T1 T1 T1", "failed/printer-silent", "silent silent", 0, data},
        {"the final frame has its attempts too", "V: - - -", "P T1 T2 Q V V V", "failed/printer-silent", "silent silent", 0, FrameTiming{}.finalWaitMs},
    };
    // clang-format on
    const QString image = program(1000);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        printer.reset(c.script);
        observer = {};
        start(comJob(image));
        ASSERT_TRUE(finishes());
        EXPECT_EQ(printer.sent.join(' '), c.sent);
        EXPECT_EQ(observer.outcome(), c.outcome);
        QStringList retries;
        std::map<std::pair<int, int>, int> copies; // each retry names its frame and next attempt
        for (const DownloadEvent& r : observer.retries) {
            retries << CauseName(r.cause).remove("printer-") +
                           (r.status ? QString::number(r.status) : QString());
            EXPECT_EQ(r.attempt, (++copies[{r.step, r.frame}] + 1));
        }
        EXPECT_EQ(retries.join(' '), c.retries);
        EXPECT_EQ(observer.result->refusalStatus, c.refusal);
        if (observer.result->outcome == Outcome::Failed) {
            EXPECT_EQ(observer.result->attempts, FrameTiming{}.attempts);
        }
        if (c.waitMs >= 0) {
            const qint64 gap = printer.gapOfFirstRepeat().value_or(-1);
            EXPECT_GE(gap, c.waitMs);
            EXPECT_LT(gap, c.waitMs + 150);
        }
        run.reset();
    }
    // The job may give other attempts and waits; its states come in order, each once.
    printer.reset("T2: - - -");
    observer = {};
    DownloadJob job = comJob(image);
    job.timing.attempts = 2;
    job.timing.dataWaitMs = 100;
    QStringList states;
    run = std::make_unique<DownloadRun>(job, QString(), parts(), observer);
    QObject::connect(run.get(), &DownloadRun::stateChanged,
                     [&](DownloadRun::State s) { states << QString::number(int(s)); });
    run->start(QDateTime::currentDateTime(), 1);
    ASSERT_TRUE(finishes());
    EXPECT_EQ(printer.sent.join(' '), "P T1 T2 T2");
    EXPECT_GE(printer.gapOfFirstRepeat().value_or(-1), 100);
    EXPECT_LT(printer.gapOfFirstRepeat().value_or(-1), FrameTiming{}.dataWaitMs);
    EXPECT_EQ(states.join(' '), "1 2 4 5"); // linking, sending, ended, done
    EXPECT_EQ(run->state(), DownloadRun::State::Done);
    run.reset();
}

TEST_F(DownloadRunTest, CancelLetsTheFrameInFlightFinishAndNeverInterruptsTheClosingFrames) {
    // at: acted on 50 ms after this frame's first copy went out; stop: else cancel
    // clang-format off
    const struct { const char* name; const char* at; bool stop; const char* script; const char* sent; const char* outcome; const char* lastEvents; } cases[] = {
        {"cancel while data frame 1 awaits its answer", "T1", false, "T1: a150", "P T1", "cancelled/cancelled", "dataFrame 0/3|transferEnded cancelled/cancelled|finished"},
        {"cancel while data frame 1 is unanswered", "T1", false, "T1: - - -", "P T1 T1 T1", "failed/printer-silent", ""},
        {"cancel while the end frame awaits its answer", "Q", false, "Q: a150", "P T1 T2 T3 Q V", "completed/none", ""},
        {"stop while data frame 1 awaits its answer", "T1", true, "T1: a150", "P T1", "failed/stopped", "dataFrame 0/3|transferEnded failed/stopped|finished"},
        {"stop while the end frame awaits its answer", "Q", true, "Q: a150", "P T1 T2 T3 Q", "failed/stopped", "closing|transferEnded failed/stopped|finished"},
    };
    // clang-format on
    const QString image = program(1500);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        printer.reset(c.script);
        observer = {};
        bool finishedInTheCall = false;
        printer.onSend = [&](const QString& label) {
            if (label != c.at || printer.sent.count(label) != 1)
                return;
            QTimer::singleShot(50, [&] {
                // The state a multi-printer stop asks: a stop now would cut the closing frames.
                EXPECT_EQ(run->state(), QString(c.at) == "Q" ? DownloadRun::State::Closing
                                                             : DownloadRun::State::Sending);
                if (c.stop)
                    run->stop();
                else
                    run->cancel();
                finishedInTheCall = observer.done();
            });
        };
        start(comJob(image));
        ASSERT_TRUE(finishes());
        printer.onSend = nullptr;
        EXPECT_EQ(printer.sent.join(' '), c.sent);
        EXPECT_EQ(observer.outcome(), c.outcome);
        const QStringList last = QString(c.lastEvents).split('|', Qt::SkipEmptyParts);
        EXPECT_EQ(observer.events.mid(observer.events.size() - last.size()), last);
        EXPECT_EQ(finishedInTheCall, c.stop); // a stop skips the pause before the port closes
        EXPECT_EQ(printer.closes, 1);
        run.reset();
    }
}

// The serial line a run sent on is let go once however it ends: completed, failed by a line lost
// (heard from the transport), resent on the network, or dropped with its engine (nobody told).
TEST_F(DownloadRunTest, TheSerialLineItSentOnIsLetGoHoweverTheRunEnds) {
    enum class Act { None, LineFails, RouteToNetwork, Drop };
    // clang-format off
    const struct { const char* name; Act act; const char* outcome; } cases[] = {
        {"completed", Act::None, "completed/none"},
        {"the line fails during data frame 1", Act::LineFails, "failed/disconnected"},
        {"resends moved to the network", Act::RouteToNetwork, "failed/disconnected"},
        {"dropped while data frame 1 awaits its answer", Act::Drop, ""},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        printer.reset(c.act == Act::None ? "" : "T1: - - -");
        observer = {};
        observer.onDataFrame = [&](int) {
            QTimer::singleShot(0, [&] {
                if (c.act == Act::LineFails)
                    emit printer.lineError(Error{0, "gone", "gone", ErrorDomain::Serial});
                else if (c.act == Act::RouteToNetwork)
                    run->setRoute(Route::Network);
                else if (c.act == Act::Drop)
                    run.reset();
            });
        };
        start(comJob(program(1000)));
        ASSERT_TRUE(c.act == Act::Drop ? QTest::qWaitFor([this] { return !run; }, 5000)
                                       : finishes());
        EXPECT_EQ(observer.outcome(), c.outcome);
        EXPECT_EQ(printer.closes, 1);
        run.reset();
    }
}

TEST_F(DownloadRunTest, TheLinkWaitEndsAtOnceOnCancelOrStopAndAtTheJobsTimeLimit) {
    // The process's boot ports on free port numbers: the link waits without binding 67 or 69.
    SharedBootPorts ports;
    ports.bind(0, 0, {});
    ASSERT_FALSE(ports.refusal());
    network.shareBootPorts(&ports);
    const QString image = program(1000);
    // act: 50 ms into the link wait
    // clang-format off
    const struct { const char* name; std::function<void(DownloadRun&)> act; std::optional<int> linkTimeoutMs; const char* outcome; } cases[] = {
        {"cancel", &DownloadRun::cancel, {}, "cancelled/cancelled"},
        {"stop", &DownloadRun::stop, {}, "cancelled/cancelled"},
        {"time limit", nullptr, 100, "failed/link-timeout"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        observer = {};
        DownloadJob job = networkJob(image);
        job.linkTimeoutMs = c.linkTimeoutMs;
        start(job);
        EXPECT_EQ(observer.events, QStringList({"started", "linking"}));
        QElapsedTimer clock;
        clock.start();
        if (c.act) {
            QTest::qWait(50);
            c.act(*run);
            EXPECT_EQ(observer.events.at(2), QStringLiteral("transferEnded ") + c.outcome);
        }
        ASSERT_TRUE(finishes());
        EXPECT_LT(clock.elapsed(), 50 + 100 + DownloadRun::kCloseDelayMs + 150);
        EXPECT_EQ(observer.outcome(), c.outcome);
        EXPECT_EQ(observer.result->stage, Stage::Link);
        run.reset();
    }
    EXPECT_TRUE(printer.sent.isEmpty());
    network.shareBootPorts(nullptr);
}

// Only a network font kept out of the boot loader goes through the running firmware.
TEST(RouteFor, OnlyANetworkFontOutsideTheBootLoaderGoesThroughTheFirmware) {
    // clang-format off
    const struct { bool network; ImageKind kind; bool throughBootLoader; Route route; } cases[] = {
        {false, ImageKind::Font, false, Route::Com},
        {true, ImageKind::Font, false, Route::FontThroughFirmware},
        {true, ImageKind::Font, true, Route::Network},
        {true, ImageKind::Program, false, Route::Network},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(RouteFor(c.network, c.kind, c.throughBootLoader), c.route)
            << c.network << c.throughBootLoader;
}

TEST_F(DownloadRunTest, AJobUnfitToSendIsRefusedBeforeAnyFrameAndACarriedImageIsTheOneJudged) {
    testing::WriteProgramImage(path("good.bin"), 1000);
    QFile(path("empty.bin")).open(QIODevice::WriteOnly);
    QByteArray corrupt = testing::ReadFile(path("good.bin"));
    corrupt[10] = '\x55';
    testing::WriteFile(path("corrupt.bin"), corrupt);
    const char* mac = "00-11-22-33-44-55";
    // ip: the network route; none: the COM route
    // clang-format off
    const struct { const char* name; QString file; bool printerPresent; const char* ip; const char* mac; const char* outcome; Stage stage; } cases[] = {
        {"no image path", "", true, nullptr, nullptr, "refused/file-not-open", Stage::Start},
        {"no printer on the COM link", "good.bin", false, nullptr, nullptr, "failed/printer-absent", Stage::Link},
        {"a file that is not there", "missing.bin", true, nullptr, nullptr, "refused/file-not-open", Stage::Image},
        {"an empty file", "empty.bin", true, nullptr, nullptr, "refused/empty-image", Stage::Image},
        {"a program whose trailer does not match", "corrupt.bin", true, nullptr, nullptr, "refused/bad-trailer", Stage::Image},
        {"no IP address", "good.bin", true, "", mac, "failed/address-missing", Stage::Link},
        {"a MAC address that is none", "good.bin", true, "127.0.0.1", "00-11-22-33-44-GG", "failed/bad-address", Stage::Link},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        observer = {};
        inventory.reachable = c.printerPresent;
        DownloadJob job = comJob(c.file.isEmpty() ? QString() : path(c.file));
        if (c.ip) {
            job.route = Route::Network;
            job.printer.ip = c.ip;
            job.printer.mac = c.mac;
        }
        start(job);
        ASSERT_TRUE(finishes());
        EXPECT_EQ(observer.outcome(), c.outcome);
        EXPECT_EQ(observer.result->stage, c.stage);
        EXPECT_EQ(observer.events.contains("started"), c.stage != Stage::Start);
        if (c.printerPresent) { // the front ends show these texts as they are
            EXPECT_FALSE(observer.result->error.text.isEmpty());
        }
        run.reset();
    }
    EXPECT_TRUE(printer.sent.isEmpty());
    EXPECT_EQ(network.linkLocalPort(), 0);
    // A job carrying its loaded image judges and sends those bytes, never the file's now: an
    // empty one is refused though the file holds a program since, and a program is sent whole
    // though its file is gone.
    const Result<SharedImage> empty = LoadImage(path("empty.bin"), ImageKind::Program);
    const Result<SharedImage> good = LoadImage(path("good.bin"), ImageKind::Program);
    ASSERT_TRUE(empty.ok() && good.ok());
    testing::WriteFile(path("empty.bin"), testing::ReadFile(path("good.bin")));
    ASSERT_TRUE(QFile::remove(path("good.bin")));
    for (const SharedImage& image : {*empty, *good}) {
        observer = {};
        printer.reset({});
        DownloadJob job = comJob({});
        job.carry(image);
        start(job);
        ASSERT_TRUE(finishes());
        EXPECT_EQ(observer.outcome(), image == *empty ? "refused/empty-image" : "completed/none");
        EXPECT_EQ(printer.sent.join(' '), image == *empty ? "" : "P T1 T2 Q V");
        EXPECT_EQ(observer.result->bytes, static_cast<qint64>(image->bytes.size()));
        EXPECT_EQ(observer.result->sha256, image->sha256);
        run.reset();
    }
}

// An observer that stops the run from any event ends it there, once, with nothing sent after.
TEST_F(DownloadRunTest, AnObserverThatStopsTheRunFromAnEventEndsItThere) {
    struct Stopper : testing::RecordingObserver {
        void onEvent(const DownloadEvent& e) override {
            using Kind = DownloadEvent::Kind;
            RecordingObserver::onEvent(e);
            const QString name = e.kind == Kind::Started    ? QStringLiteral("started")
                                 : e.kind == Kind::Linked   ? QStringLiteral("linked")
                                 : e.kind == Kind::Retrying ? QStringLiteral("retrying")
                                 : e.kind == Kind::Step     ? QStringLiteral("step %1").arg(e.step)
                                                            : QString();
            if (!name.isEmpty() && name == at)
                run->stop();
            finishes += e.kind == Kind::Finished;
        }
        QString at;
        DownloadRun* run = nullptr;
        int finishes = 0;
    };
    // clang-format off
    const struct { const char* at; const char* script; int sent; } cases[] = {{"started", "", 0}, {"linked", "", 0}, {"step 2", "", 0}, {"retrying", "P: -", 1}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.at);
        printer.reset(c.script);
        Stopper stopper;
        stopper.at = c.at;
        DownloadRun stopped(comJob(program(1000)), QString(), parts(), stopper);
        stopper.run = &stopped;
        stopped.start(QDateTime::currentDateTime(), 1);
        ASSERT_TRUE(QTest::qWaitFor([&] { return stopper.done(); }, 5000));
        QTest::qWait(400); // nothing more comes
        EXPECT_EQ(stopper.finishes, 1);
        EXPECT_EQ(printer.sent.size(), c.sent);
    }
}

} // namespace
} // namespace posflash

// Hundreds of downloads with random faults through one engine: each ends as its fault calls
// for, and nothing a download opens (port, sockets, timers, descriptors, memory) outlives it.

#include "support/engine_fixture.h"
#include "support/netns_pair.h"
#include "support/printer_sim_process.h"

#include <QAbstractEventDispatcher>
#include <QDir>
#include <QJsonArray>
#include <QTimer>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

namespace posflash {
namespace {

using testing::NetnsPair;
using testing::PrinterSimProcess;

// A fault, whether the tool rides it out, and the extra data-frame copies the printer gets.
struct Fault {
    const char* args;
    bool completes;
    int copies;
};
constexpr Fault kFaults[] = {
    {"", true, 0},
    {"--noise", true, 0},
    {"--refuse 1:5:2", true, 2},
    {"--refuse 2:6:3", false, 4},
    {"--drop 2:2", true, 2},
    {"--drop 1:3", false, 3},
    {"--wrong-no 2:1", true, 1},
    {"--wrong-no 1:3", false, 3},
    {"--late 1:150", true, 0},
    {"--late 2:500", true, 1},
    {"--late 1:870", true, 2},
    {"--late 2:1300", false, 4},
    {"--disconnect-after 1", false, 1},
};
// Three 3 s start-frame waits: once per transport, once the counts have settled.
constexpr Fault kSilent{"--silent", false, 0};
// By then every lazily made piece of Qt exists: descriptors and memory must stay put.
constexpr int kSettledAfter = 10;
// glibc's trim threshold makes resident memory wobble; a leak costs 20 KiB a download or more.
constexpr long kRssMarginKiB = 2048;
#ifdef __SANITIZE_ADDRESS__
constexpr bool kCompareMemory = false; // its quarantine grows; LeakSanitizer checks at exit
#else
constexpr bool kCompareMemory = true;
#endif

int OpenDescriptors() {
    return static_cast<int>(QDir("/proc/self/fd")
                                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                                .size());
}

long ResidentKiB() {
    QFile status("/proc/self/status");
    if (status.open(QIODevice::ReadOnly))
        for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// Every timer of this thread, whoever owns it (ids come from a free list: they stay small).
std::vector<int> RunningTimerIds() {
    std::vector<int> ids;
    for (int id = 1; id <= 8192; ++id)
        if (QAbstractEventDispatcher::instance()->remainingTime(id) >= 0)
            ids.push_back(id);
    return ids;
}

class SoakTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        net_ = new NetnsPair; // first, so its descriptor is in every count
        netReady_ = net_->setUp();
        parts_ = new testing::EngineParts;
    }
    static void TearDownTestSuite() {
        delete parts_;
        delete net_;
    }
    void soak(bool udp);

    static inline NetnsPair* net_ = nullptr;
    static inline bool netReady_ = false;
    static inline testing::EngineParts* parts_ = nullptr;
};

void SoakTest::soak(bool udp) {
    const char* seedText = std::getenv("POSFLASH_SOAK_SEED");
    const std::uint64_t seed = seedText ? std::strtoull(seedText, nullptr, 10) : 20240611;
    const char* countText = std::getenv("POSFLASH_SOAK_DOWNLOADS");
    const int downloads = std::max(kSettledAfter + 1, countText ? std::atoi(countText) : 80);
    std::mt19937_64 random(seed + (udp ? 1 : 0));
    const auto uniform = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    std::printf("soak seed %llu (replay with POSFLASH_SOAK_SEED)\n",
                static_cast<unsigned long long>(seed));
    testing::EngineParts& p = *parts_;
    {
        QTimer probe; // the scan must see a running timer, or its verdict means nothing
        probe.start(60000);
        const std::vector<int> running = RunningTimerIds();
        ASSERT_EQ(std::count(running.begin(), running.end(), probe.timerId()), 1);
    }
    const std::vector<int> idleTimers = RunningTimerIds();
    int fdsSettled = 0;
    long rssSettled = 0;
    int completed = 0;
    for (int i = 1; i <= downloads; ++i) {
        const Fault& fault = i == kSettledAfter + 1
                                 ? kSilent
                                 : kFaults[uniform(0, static_cast<int>(std::size(kFaults)) - 1)];
        DownloadJob job;
        job.kind = uniform(0, 3) == 0 ? ImageKind::Font : ImageKind::Program;
        const int slice = job.kind == ImageKind::Font ? 1024 : 512;
        // Two to four frames, the last one of at least the trailer and some data.
        const int frames = uniform(2, 4);
        const auto size = static_cast<std::size_t>(slice * (frames - 1) + uniform(8, slice));
        job.imagePath = p.writeProgramImage(size);
        const QStringList faultArgs = QString(fault.args).split(' ', Qt::SkipEmptyParts);
        SCOPED_TRACE("download " + std::to_string(i) + ": " + std::to_string(size) + " bytes, " +
                     fault.args);
        QFile::remove(p.dir.filePath("received.bin"));
        QFile::remove(p.dir.filePath("report.json"));
        bool printerStarted = false;
        std::unique_ptr<PrinterSimProcess> sim;
        if (udp) {
            job.route = Route::Network;
            job.printer.ip = NetnsPair::kPrinterIp;
            job.printer.mac = "00-11-22-33-44-55";
            // Started once the tool listens, as a printer switched on during the link wait.
            sim = std::make_unique<PrinterSimProcess>(p.dir, net_->printerLauncher());
            p.observer.onLinking = [&] {
                QTimer::singleShot(0, &p.engine, [&] {
                    printerStarted =
                        sim->startMode(QStringList{"net", "--ip", NetnsPair::kPrinterIp, "--mac",
                                                   job.printer.mac} +
                                       faultArgs);
                    if (!printerStarted)
                        p.engine.cancel();
                });
            };
        } else {
            job.printer.comNumber = 3;
            sim = std::make_unique<PrinterSimProcess>(p.dir);
            printerStarted = sim->start(faultArgs);
        }
        const DownloadResult result = p.download(job, 20000);
        const QJsonObject report = sim->stop();
        ASSERT_TRUE(printerStarted);
        EXPECT_EQ(result.outcome, fault.completes ? Outcome::Completed : Outcome::Failed);
        EXPECT_TRUE(report["errors"].toArray().isEmpty())
            << QJsonDocument(report["errors"].toArray()).toJson().toStdString();
        if (fault.completes) {
            EXPECT_EQ(sim->received(), p.written);
        }
        EXPECT_EQ(report["start_frames"].toInt(), &fault == &kSilent ? 3 : 1);
        int copies = 0;
        for (const QJsonValue n : report["last_session"].toObject()["frame_copies"].toObject())
            copies += n.toInt();
        EXPECT_EQ(copies, fault.copies + (fault.completes ? frames : 0));
        completed += result.outcome == Outcome::Completed ? 1 : 0;

        // Nothing of the download outlives it.
        EXPECT_EQ(RunningTimerIds(), idleTimers);
        if (udp) {
            EXPECT_EQ(p.engine.linkLocalPort(), 0);
            for (const quint16 port : {NetworkBoot::kBootpServerPort, NetworkBoot::kLinkPort}) {
                QUdpSocket probe;
                EXPECT_TRUE(probe.bind(QHostAddress::AnyIPv4, port)) << "port " << port;
            }
        }
        if (i == kSettledAfter) {
            fdsSettled = OpenDescriptors();
            rssSettled = ResidentKiB();
        } else if (i > kSettledAfter) {
            ASSERT_EQ(OpenDescriptors(), fdsSettled) << "descriptors after download " << i;
        }
    }
    p.observer.onLinking = nullptr;
    const long rssGrowth = ResidentKiB() - rssSettled;
    std::printf("%d downloads, %d completed; %d descriptors; resident memory %+ld KiB after "
                "download %d\n",
                downloads, completed, fdsSettled, rssGrowth, kSettledAfter);
    if (kCompareMemory) {
        EXPECT_LE(rssGrowth, kRssMarginKiB);
    }
}

TEST_F(SoakTest, PseudoTerminal) {
    ASSERT_TRUE(parts_->map.setMapping(3, parts_->dir.filePath("printer-tty")));
    parts_->usb.list = {{"USB\\VID_0483&PID_5740\\SIM0001", parts_->dir.filePath("printer-tty"),
                         parts_->dir.filePath("printer-tty")}};
    soak(false);
}

TEST_F(SoakTest, Udp) {
    if (!netReady_)
        GTEST_SKIP() << "no network namespaces here: " << net_->why().toStdString();
    soak(true);
}

} // namespace
} // namespace posflash

// Hundreds of downloads with random printer faults, all through one engine that lives for the
// whole run: every outcome must be the one its faults call for, and nothing a download opens
// (port, sockets, timers, descriptors, memory) may outlive it.

#include "protocol/checksums.h"
#include "soak/fault_plan.h"
#include "soak/process_resources.h"
#include "support/engine_fixture.h"
#include "support/netns_pair.h"
#include "support/printer_sim_process.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>

namespace posflash {
namespace {

using soak::DownloadPlan;
using soak::Expectation;
using soak::FaultKind;
using testing::NetnsPair;
using testing::PrinterSimProcess;

constexpr std::uint64_t kDefaultSeed = 20240611;
constexpr int kDefaultDownloads = 100; // per transport
// Descriptors and memory are compared from here on: by then every lazily made piece of Qt
// (the process manager's pipe, interface lists, the allocator's arenas) exists.
constexpr int kSettledAfter = 10;
// glibc keeps freed blocks in its arenas and gives pages back only past its trim threshold,
// so resident memory wobbles by a few hundred KiB with no leak at all. 2 MiB over 90
// downloads still catches anything that keeps a port, a socket or a frame buffer (about
// 20 KiB a download or more).
constexpr long kRssMarginKiB = 2048;
// AddressSanitizer holds freed memory in quarantine, so resident memory grows without a leak;
// there LeakSanitizer checks for leaks at exit instead.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kCompareMemory = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kCompareMemory = false;
#else
constexpr bool kCompareMemory = true;
#endif
#else
constexpr bool kCompareMemory = true;
#endif
// Beyond the waits the faults impose: starting the printer, the frames themselves.
constexpr qint64 kSlackMs = 1500;
constexpr int kWatchdogMs = 20000;
constexpr int kFailedDownloadsBeforeGivingUp = 10;

std::uint64_t envNumber(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0')
        return fallback;
    return std::strtoull(text, nullptr, 10);
}

enum class Transport { PseudoTerminal, Udp };

struct Tally {
    std::array<int, soak::kFaultKindCount> downloads{};
    std::array<int, soak::kFaultKindCount> completed{};
    int noisy = 0;
    int fonts = 0;
};

class SoakTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        seed_ = envNumber("POSFLASH_SOAK_SEED", kDefaultSeed);
        downloads_ = std::max<int>(
            kSettledAfter + 1,
            static_cast<int>(envNumber("POSFLASH_SOAK_DOWNLOADS", kDefaultDownloads)));
        std::printf("soak seed %llu (replay with POSFLASH_SOAK_SEED=%llu), %d downloads per "
                    "transport\n",
                    static_cast<unsigned long long>(seed_), static_cast<unsigned long long>(seed_),
                    downloads_);
        // The namespaces first, so their descriptor is in every count.
        net_ = new NetnsPair;
        netReady_ = net_->setUp();
        parts_ = new testing::EngineParts;
    }
    static void TearDownTestSuite() {
        std::printf("the engine completed %d downloads in all\n", completedInAll_);
        delete parts_;
        parts_ = nullptr;
        delete net_;
        net_ = nullptr;
    }

    struct Run {
        bool printerStarted = false;
        Outcome outcome = Outcome::Failed;
        qint64 ms = 0;
        QJsonObject report;
        Bytes received;
    };

    void soak(Transport transport);

    static constexpr const char* kMac = "00-11-22-33-44-55";
    static std::uint64_t seed_;
    static int downloads_;
    static NetnsPair* net_;
    static bool netReady_;
    static testing::EngineParts* parts_;
    static int completedInAll_;

private:
    Bytes writeImage(const DownloadPlan& plan, std::mt19937_64& random, DownloadJob& job);
    Run download(Transport transport, const DownloadPlan& plan, const DownloadJob& job);
    void check(Transport transport, const DownloadPlan& plan, const Run& run, const Bytes& image,
               const std::vector<int>& idleTimers);
};

std::uint64_t SoakTest::seed_ = 0;
int SoakTest::downloads_ = 0;
NetnsPair* SoakTest::net_ = nullptr;
bool SoakTest::netReady_ = false;
testing::EngineParts* SoakTest::parts_ = nullptr;
int SoakTest::completedInAll_ = 0;

// The recording observer that also starts the network printer once the tool listens.
class SoakObserver : public testing::RecordingObserver {
public:
    void linking() override {
        RecordingObserver::linking();
        if (onLinking)
            onLinking();
    }
    std::function<void()> onLinking;
};

// Random bytes, and for a program the trailer sum that makes the image acceptable.
Bytes SoakTest::writeImage(const DownloadPlan& plan, std::mt19937_64& random, DownloadJob& job) {
    Bytes image(plan.imageSize);
    for (std::uint8_t& b : image)
        b = static_cast<std::uint8_t>(random());
    if (!plan.font)
        putU32(image, image.size() - 4, GetSum(ByteView(image).first(image.size() - 4)));
    const QString path = parts_->dir.filePath(plan.font ? "font.bin" : "fw.bin");
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(reinterpret_cast<const char*>(image.data()), static_cast<qint64>(image.size()));
    job.imagePath = path;
    job.kind = plan.font ? ImageKind::Font : ImageKind::Program;
    return image;
}

SoakTest::Run SoakTest::download(Transport transport, const DownloadPlan& plan,
                                 const DownloadJob& job) {
    Engine& engine = parts_->engine;
    // A fresh image file and report for each printer, so nothing of the last one is judged.
    QFile::remove(parts_->dir.filePath("received.bin"));
    QFile::remove(parts_->dir.filePath("report.json"));
    Run run;
    SoakObserver observer;
    std::unique_ptr<PrinterSimProcess> sim;
    const QStringList udpArgs =
        QStringList{"net", "--ip", NetnsPair::kPrinterIp, "--mac", kMac} + plan.simArguments();
    if (transport == Transport::PseudoTerminal) {
        sim = std::make_unique<PrinterSimProcess>(parts_->dir);
        run.printerStarted = sim->start(plan.simArguments());
        if (!run.printerStarted)
            return run;
    } else {
        // The printer starts asking once the tool listens, as a printer switched on during
        // the link wait does; started earlier, its first request would find no listener and
        // the link would wait a second for the next one.
        sim = std::make_unique<PrinterSimProcess>(parts_->dir, net_->printerLauncher());
        observer.onLinking = [&] {
            QTimer::singleShot(0, &engine, [&] {
                run.printerStarted = sim->startMode(udpArgs);
                if (!run.printerStarted)
                    engine.cancel();
            });
        };
    }
    // A link that never comes up would wait for ever: press cancel well after any expected end.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &engine, [&engine] { engine.cancel(); });
    watchdog.start(soak::Expect(plan).minMs + kWatchdogMs);
    QElapsedTimer clock;
    clock.start();
    engine.download(job, observer);
    if (!QTest::qWaitFor([&] { return observer.done(); },
                         soak::Expect(plan).minMs + 2 * kWatchdogMs))
        engine.stop();
    run.ms = clock.elapsed();
    watchdog.stop();
    if (observer.result)
        run.outcome = observer.result->outcome;
    run.report = sim->stop();
    run.received = sim->received();
    return run;
}

std::map<std::uint16_t, int> copiesOf(const QJsonObject& report) {
    std::map<std::uint16_t, int> copies;
    const QJsonObject seen = report["last_session"].toObject()["frame_copies"].toObject();
    for (auto it = seen.begin(); it != seen.end(); ++it)
        copies[static_cast<std::uint16_t>(it.key().toUInt())] = it.value().toInt();
    return copies;
}

void SoakTest::check(Transport transport, const DownloadPlan& plan, const Run& run,
                     const Bytes& image, const std::vector<int>& idleTimers) {
    Engine& engine = parts_->engine;
    const Expectation expected = soak::Expect(plan);
    ASSERT_TRUE(run.printerStarted);

    EXPECT_EQ(run.outcome, expected.completed ? Outcome::Completed : Outcome::Failed);
    const QJsonArray errors = run.report["errors"].toArray();
    EXPECT_TRUE(errors.isEmpty()) << QJsonDocument(errors).toJson().toStdString();
    EXPECT_EQ(run.report["start_frames"].toInt(), expected.startFrames);
    EXPECT_EQ(copiesOf(run.report), expected.copies);
    EXPECT_EQ(run.report["end_frames"].toInt(), expected.endFrames);
    EXPECT_EQ(run.report["final_frames"].toInt(), expected.finalFrames);
    if (expected.completed) {
        EXPECT_EQ(run.received, image);
    }
    EXPECT_GE(run.ms, expected.minMs);
    EXPECT_LT(run.ms, expected.minMs + kSlackMs);

    // Nothing of the download outlives it.
    EXPECT_EQ(soak::RunningTimerIds(), idleTimers);
    if (transport == Transport::Udp) {
        EXPECT_EQ(engine.network().linkLocalPort(), 0);
        for (const quint16 port : {NetworkBoot::kBootpServerPort, NetworkBoot::kLinkPort}) {
            QUdpSocket probe;
            EXPECT_TRUE(probe.bind(QHostAddress::AnyIPv4, port))
                << "port " << port << ": " << probe.errorString().toStdString();
        }
    }
}

void SoakTest::soak(Transport transport) {
    const bool udp = transport == Transport::Udp;
    std::mt19937_64 random(seed_ + (udp ? 1 : 0));
    const std::vector<DownloadPlan> plans = soak::MakePlans(random, downloads_);

    // The method sees a running timer, or its verdict below would mean nothing.
    {
        QTimer probe;
        probe.start(60000);
        const std::vector<int> running = soak::RunningTimerIds();
        ASSERT_NE(std::find(running.begin(), running.end(), probe.timerId()), running.end());
    }
    const std::vector<int> idleTimers = soak::RunningTimerIds();

    Tally tally;
    int fdsSettled = 0;
    long rssSettled = 0;
    int failedDownloads = 0;
    qint64 imposedMs = 0;
    const auto* result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
    QElapsedTimer wall;
    wall.start();
    for (std::size_t i = 0; i < plans.size(); ++i) {
        const DownloadPlan& plan = plans[i];
        SCOPED_TRACE(QStringLiteral("download %1 of %2 (seed %3): %4")
                         .arg(i + 1)
                         .arg(plans.size())
                         .arg(seed_)
                         .arg(plan.describe())
                         .toStdString());
        const int partsBefore = result->total_part_count();
        DownloadJob job;
        if (udp) {
            job.route = Route::Network;
            job.target.ip = NetnsPair::kPrinterIp;
            job.target.mac = kMac;
        } else {
            job.target.comNumber = 3;
        }
        const Bytes image = writeImage(plan, random, job);
        const Run run = download(transport, plan, job);
        check(transport, plan, run, image, idleTimers);
        completedInAll_ += run.outcome == Outcome::Completed ? 1 : 0;
        imposedMs += soak::Expect(plan).minMs;

        const auto kind = static_cast<std::size_t>(plan.kind);
        ++tally.downloads[kind];
        tally.completed[kind] += run.outcome == Outcome::Completed ? 1 : 0;
        tally.noisy += plan.noise ? 1 : 0;
        tally.fonts += plan.font ? 1 : 0;

        if (i + 1 == kSettledAfter) {
            fdsSettled = soak::OpenDescriptors();
            rssSettled = soak::ResidentKiB();
        } else if (i + 1 > kSettledAfter) {
            EXPECT_EQ(soak::OpenDescriptors(), fdsSettled)
                << "descriptors after download " << i + 1;
        }
        if (result->total_part_count() > partsBefore &&
            ++failedDownloads >= kFailedDownloadsBeforeGivingUp)
            FAIL() << "giving up after " << failedDownloads << " downloads gone wrong";
    }
    const qint64 wallMs = wall.elapsed();
    const int fdsEnd = soak::OpenDescriptors();
    const long rssEnd = soak::ResidentKiB();

    std::printf("\n%s soak: %zu downloads in %.1f s, %.1f s of them the waits the faults and "
                "the closing delay impose\n",
                udp ? "UDP" : "pseudo-terminal", plans.size(), static_cast<double>(wallMs) / 1000.0,
                static_cast<double>(imposedMs) / 1000.0);
    std::printf("  %-11s %9s %9s %6s\n", "faults", "downloads", "completed", "failed");
    int completed = 0;
    for (int k = 0; k < soak::kFaultKindCount; ++k) {
        const auto n = static_cast<std::size_t>(k);
        std::printf("  %-11s %9d %9d %6d\n",
                    qPrintable(soak::FaultKindName(static_cast<FaultKind>(k))), tally.downloads[n],
                    tally.completed[n], tally.downloads[n] - tally.completed[n]);
        completed += tally.completed[n];
    }
    std::printf("  all: %d completed, %d failed; %d with noise, %d fonts\n", completed,
                static_cast<int>(plans.size()) - completed, tally.noisy, tally.fonts);
    std::printf("  open descriptors after download %d: %d, after the last: %d\n", kSettledAfter,
                fdsSettled, fdsEnd);
    std::printf("  resident memory after download %d: %ld KiB, after the last: %ld KiB (%+ld)\n",
                kSettledAfter, rssSettled, rssEnd, rssEnd - rssSettled);
    std::fflush(stdout);

    EXPECT_EQ(fdsEnd, fdsSettled);
    if (kCompareMemory) {
        EXPECT_LE(rssEnd - rssSettled, kRssMarginKiB);
    } else {
        std::printf("  (memory not compared under AddressSanitizer)\n");
    }
}

TEST_F(SoakTest, PseudoTerminal) {
    testing::EngineParts& p = *parts_;
    ASSERT_TRUE(p.map.setMapping(3, p.dir.filePath("printer-tty")));
    p.usb.list = {{"USB\\VID_0483&PID_5740\\SIM0001", p.dir.filePath("printer-tty"),
                   p.dir.filePath("printer-tty")}};
    soak(Transport::PseudoTerminal);
}

TEST_F(SoakTest, Udp) {
    if (!netReady_)
        GTEST_SKIP() << "no network namespaces here: " << net_->why().toStdString();
    soak(Transport::Udp);
}

} // namespace
} // namespace posflash

// How quickly the production window answers while its tiles update: N simulated printers on
// pseudo-terminals (32 unless told), each thinking 5 ms before every reply, load one program
// image at once through the window's serial slots. A probe posts an event to the window's
// event loop every 20 ms and measures how long it waits to be handled (what a click or a key
// press would wait), and how late a 20 ms timer fires. Prints the probes' median, p99 and
// maximum, the wall time, and the process's CPU share (user + system over wall).
// Usage: line_window_bench [printers] [image KiB]   (default 32, 1024)
#include "line/line_window.h"
#include "line/slot_tile.h"
#include "ports/usb_inventory.h"
#include "protocol/checksums.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

using namespace posflash;

namespace {

class Probe : public QObject {
public:
    explicit Probe(QElapsedTimer& clock) : clock_(clock) {}
    void post() {
        QCoreApplication::postEvent(this, new QEvent(QEvent::User));
        postedAt_ = clock_.nsecsElapsed();
    }
    std::vector<double> waitsMs;

protected:
    bool event(QEvent* e) override {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        waitsMs.push_back((clock_.nsecsElapsed() - postedAt_) / 1e6);
        return true;
    }

private:
    QElapsedTimer& clock_;
    qint64 postedAt_ = 0;
};

// Serial slots only: no USB device is ever asked about.
class NoUsb : public UsbInventory {
public:
    std::optional<std::vector<UsbDeviceEntry>> devices() const override {
        return std::vector<UsbDeviceEntry>{};
    }
};

struct Spread {
    double median, p99, max;
};

Spread spreadOf(std::vector<double> v) {
    if (v.empty())
        return {0, 0, 0};
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 99 / 100)], v.back()};
}

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const int printers = argc > 1 ? std::atoi(argv[1]) : 32;
    const int kib = argc > 2 ? std::atoi(argv[2]) : 1024;
    QTemporaryDir work;
    qputenv("XDG_CONFIG_HOME", work.filePath("config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", work.filePath("data").toLocal8Bit());

    // A program image whose last four bytes hold the sum of the others.
    const std::size_t n = static_cast<std::size_t>(kib) * 1024;
    Bytes image(n);
    for (std::size_t i = 0; i + 4 < n; ++i)
        image[i] = static_cast<std::uint8_t>(i * 37);
    putU32(image, n - 4, GetSum(ByteView(image).first(n - 4)));
    QFile file(work.filePath("fw.bin"));
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(reinterpret_cast<const char*>(image.data()), static_cast<qint64>(n));
    file.close();

    LineSettings settings;
    settings.imagePath = file.fileName();
    settings.operatorName = "bench";
    std::vector<std::unique_ptr<QProcess>> sims;
    for (int i = 0; i < printers; ++i) {
        const QString link = work.filePath(QStringLiteral("printer-%1").arg(i));
        sims.push_back(std::make_unique<QProcess>());
        QProcess& sim = *sims.back();
        sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sim.start(POSFLASH_SIM_PATH, {"serial", "--link", link, "--think", "5"});
        if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
            std::fprintf(stderr, "printer %d did not start\n", i);
            return 1;
        }
        settings.ports << link;
    }

    LineHost host;
    host.beep = [] {};
    host.historyPath = work.filePath("history.db");
    NoUsb usb;
    LineWindow window(settings, usb, host);
    window.resize(1600, 900);
    window.show();

    QElapsedTimer clock;
    clock.start();
    Probe probe(clock);
    std::vector<double> timerLateMs;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(20);
    qint64 lastTick = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (lastTick != 0)
            timerLateMs.push_back(std::max(0.0, (now - lastTick) / 1e6 - 20));
        lastTick = now;
        probe.post();
    });
    // Ends when every tile has its verdict; the probes run only while something updates.
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    QTimer::singleShot(0, [&] {
        wall.start();
        window.startShift();
        tick.start();
    });
    int passed = 0;
    for (int i = 1; i <= printers; ++i)
        QObject::connect(&window.slot(i), &LineSlot::idle, &app, [&] {
            if (window.anyRunning())
                return;
            tick.stop();
            app.quit();
        });
    app.exec();
    const double seconds = wall.elapsed() / 1000.0;
    const double cpu = cpuSeconds() - cpuBefore;
    for (int i = 1; i <= printers; ++i)
        passed += window.tile(i).state() == TileState::Pass;
    const Spread waits = spreadOf(probe.waitsMs);
    const Spread late = spreadOf(timerLateMs);
    std::printf("printers %d, image %d KiB, passed %d, wall %.2f s\n", printers, kib, passed,
                seconds);
    std::printf("posted event wait: median %.2f ms, p99 %.2f ms, max %.2f ms (%zu probes)\n",
                waits.median, waits.p99, waits.max, probe.waitsMs.size());
    std::printf("20 ms timer lateness: median %.2f ms, p99 %.2f ms, max %.2f ms\n", late.median,
                late.p99, late.max);
    std::printf("CPU of the window process: %.2f s, %.0f %% of one core\n", cpu,
                100.0 * cpu / seconds);
    for (auto& sim : sims)
        sim->terminate();
    for (auto& sim : sims)
        sim->waitForFinished(5000);
    return passed == printers ? 0 : 1;
}

// A station's load: every printer named on the command line (serial nodes and network
// printers) updated at once through MultiDownload on the one thread of this process, while a
// 10 ms timer on the same event loop measures how late the loop answers it. Prints the
// timer's lateness percentiles, the process's CPU share over the run and each printer's end.
// Usage: line_scale IMAGE HISTORY_DB [--port NODE]... [--net IP MAC]... [--font]
#include "fleet/multi_download.h"
#include "ports/com_port_map.h"
#include "ports/usb_inventory.h"
#include "unit/download_history.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <map>
#include <sys/resource.h>
#include <vector>

namespace {

using namespace posflash;

// The printers are named by their nodes: no USB device is looked up.
class NoUsb : public UsbInventory {
public:
    std::optional<std::vector<UsbDeviceEntry>> devices() const override {
        return std::vector<UsbDeviceEntry>{};
    }
};

class Ends : public MultiEventSink {
public:
    void onEvent(const DownloadEvent& e) override {
        if (e.kind == DownloadEvent::Kind::UnitFinished)
            ends[QStringLiteral("%1/%2").arg(OutcomeName(e.result->outcome),
                                             CauseName(e.result->cause))]++;
    }
    void finished(int) override {}
    void targetAdded(const MultiTarget&) override {}
    std::map<QString, int> ends;
};

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double at(std::vector<double>& sorted, double q) {
    return sorted.empty() ? 0 : sorted[static_cast<std::size_t>(q * (sorted.size() - 1))];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: line_scale IMAGE HISTORY_DB [--port NODE]... "
                             "[--net IP MAC]... [--font]\n");
        return 2;
    }
    MultiSettings settings;
    ImageKind kind = ImageKind::Program;
    settings.linkTimeoutMs = 60000;
    settings.operatorName = QStringLiteral("bench");
    settings.station = QStringLiteral("bench");
    std::vector<MultiTarget> targets;
    for (qsizetype i = 3; i < args.size(); ++i) {
        MultiTarget t;
        if (args[i] == "--port" && i + 1 < args.size()) {
            t.label = t.printer.node = args[++i];
        } else if (args[i] == "--net" && i + 2 < args.size()) {
            t.printer.ip = args[++i];
            t.printer.mac = args[++i];
            t.label = t.printer.ip;
        } else if (args[i] == "--font") {
            kind = ImageKind::Font;
            continue;
        } else {
            std::fprintf(stderr, "line_scale: unexpected %s\n", qPrintable(args[i]));
            return 2;
        }
        t.unitLabel = t.label;
        targets.push_back(t);
    }

    const Result<SharedImage> image = LoadImage(args[1], kind);
    if (!image) {
        std::fprintf(stderr, "line_scale: %s\n", qPrintable(image.error().text));
        return 2;
    }
    settings.image = *image;
    ComPortMap comPorts; // in memory
    const NoUsb usb;
    Ends sink;
    DownloadHistory history(QStringLiteral("cli"), args[2]);
    MultiDownload run(targets, settings, comPorts, usb, sink, &history);

    // The probe: re-armed at each timeout, its lateness is how long the loop kept it waiting.
    constexpr int kProbeMs = 10;
    QElapsedTimer wall;
    std::vector<double> lateMs;
    double worstMs = 0;
    double worstAtS = 0;
    QElapsedTimer armed;
    QTimer probe;
    probe.setSingleShot(true);
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        lateMs.push_back(static_cast<double>(armed.nsecsElapsed()) / 1e6 - kProbeMs);
        if (lateMs.back() > worstMs) {
            worstMs = lateMs.back();
            worstAtS = static_cast<double>(wall.nsecsElapsed()) / 1e9;
        }
        armed.start();
        probe.start(kProbeMs);
    });

    double cpuAtStart = 0;
    double startMs = 0; // MultiDownload::start(), every printer's first steps
    double cpu = 0;
    double seconds = 0;
    QTimer::singleShot(0, [&] {
        wall.start();
        cpuAtStart = cpuSeconds();
        armed.start();
        probe.start(kProbeMs);
        QElapsedTimer starting;
        starting.start();
        run.start([&](int) {
            probe.stop();
            seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
            cpu = cpuSeconds() - cpuAtStart;
            app.quit();
        });
        startMs = static_cast<double>(starting.nsecsElapsed()) / 1e6;
    });
    app.exec();

    std::sort(lateMs.begin(), lateMs.end());
    std::printf("%zu printers at once on one thread: %.2f s, CPU %.2f s (%.0f %% of one core)\n",
                targets.size(), seconds, cpu, seconds > 0 ? 100 * cpu / seconds : 0.0);
    std::printf("10 ms timer lateness over %zu firings: median %.2f ms, p90 %.2f ms, p99 %.2f ms, "
                "max %.2f ms (at %.2f s)\n",
                lateMs.size(), at(lateMs, 0.5), at(lateMs, 0.9), at(lateMs, 0.99), worstMs,
                worstAtS);
    std::printf("starting every printer took %.1f ms\n", startMs);
    for (const auto& [end, count] : sink.ends)
        std::printf("  %d %s\n", count, qPrintable(end));
    const bool allCompleted = sink.ends.size() == 1 && sink.ends.begin()->first == "completed/none";
    return allCompleted ? 0 : 1;
}

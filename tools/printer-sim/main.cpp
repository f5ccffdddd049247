// posflash-printer-sim: a receipt printer's boot loader on a pseudo-terminal or on Ethernet,
// and its application firmware on TCP, for the tests, the benchmarks and the demo. See
// UsageText() for the command line.

#include "base/secure_start.h"
#include "printer-sim/app_server.h"
#include "printer-sim/net_boot.h"
#include "printer-sim/options.h"
#include "printer-sim/paced_line.h"
#include "printer-sim/printer_restart.h"
#include "printer-sim/pty_transport.h"
#include "printer-sim/signal_watch.h"
#include "printer-sim/simulator.h"
#include "printer-sim/udp_frame_line.h"

#include <QCoreApplication>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>

using namespace posflash::sim;

namespace {

void say(const char* line) {
    std::puts(line);
    std::fflush(stdout);
}

// A port that cannot be had is a set-up error, like a bad command line.
int bindFailed(const posflash::Error& error) {
    std::fprintf(stderr,
                 "posflash-printer-sim: %s\n(ports below 1024 need root, cap_net_bind_service or "
                 "a network namespace of its own; another program may hold the port)\n",
                 qPrintable(error.text));
    return 2;
}

int serve(QCoreApplication& app, Simulator& simulator) {
    QObject::connect(&simulator, &Simulator::finished, &app, &QCoreApplication::exit);
    SignalWatch signalWatch({SIGINT, SIGTERM});
    QObject::connect(&signalWatch, &SignalWatch::caught, &simulator,
                     [&simulator] { simulator.finish(simulator.exitCodeForErrors()); });
    return app.exec();
}

int runSerial(QCoreApplication& app, const Options& options) {
    auto opened = PtyTransport::open();
    const posflash::Status linked =
        !opened || options.link.isEmpty() ? posflash::Status{} : (*opened)->linkAs(options.link);
    if (!opened || !linked) {
        std::fprintf(stderr, "posflash-printer-sim: %s\n",
                     qPrintable((!opened ? opened.error() : linked.error()).text));
        return 1;
    }
    const std::unique_ptr<PtyTransport> line = std::move(*opened);
    std::printf("PTY %s\n", qPrintable(line->slavePath()));
    std::fflush(stdout);
    if (!options.baud) {
        Simulator simulator(options, *line);
        return serve(app, simulator);
    }
    PacedLine paced(*line, *options.baud);
    if (!paced.isValid()) {
        std::fprintf(stderr, "posflash-printer-sim: no timer for --baud: %s\n",
                     std::strerror(errno));
        return 1;
    }
    Simulator simulator(options, paced);
    simulator.setReportAddition([&paced] {
        return ReportAddition{{{"wire", paced.report()}}, {}};
    });
    return serve(app, simulator);
}

int runNet(QCoreApplication& app, const Options& options) {
    UdpFrameLine line;
    NetBoot boot(options.net, line);
    if (const posflash::Status bound = boot.bind(); !bound)
        return bindFailed(bound.error());
    if (const posflash::Status bound = line.bind(); !bound)
        return bindFailed(bound.error());
    Simulator simulator(options, line);
    QObject::connect(&boot, &NetBoot::linked, &simulator, &Simulator::writeReport);
    // The firmware it restarts into, when it does.
    std::optional<AppServer> firmware;
    std::optional<PrinterRestart> restart;
    if (options.net.restartIntoAppMs) {
        firmware.emplace(options.net, false);
        restart.emplace(*options.net.restartIntoAppMs, boot, line, *firmware);
        QObject::connect(&simulator, &Simulator::downloadCompleted, &*restart,
                         &PrinterRestart::downloadCompleted);
        QObject::connect(&*firmware, &AppServer::connectionClosed, &simulator,
                         &Simulator::writeReport);
    }
    simulator.setReportAddition([&boot, &firmware, &restart] {
        ReportAddition all = boot.report();
        for (const ReportAddition& more : {firmware ? firmware->report() : ReportAddition{},
                                           restart ? restart->report() : ReportAddition{}}) {
            for (auto field = more.fields.begin(); field != more.fields.end(); ++field)
                all.fields.insert(field.key(), field.value());
            all.errors += more.errors;
        }
        return all;
    });
    say("READY");
    if (options.net.running)
        restart->startRunning();
    else
        boot.start();
    return serve(app, simulator);
}

int runApp(QCoreApplication& app, const Options& options) {
    AppServer server(options.net, options.faults.silent);
    if (const posflash::Status listening = server.listen(); !listening)
        return bindFailed(listening.error());
    Simulator simulator(options, server.fontLine());
    simulator.setReportAddition([&server] { return server.report(); });
    QObject::connect(&server, &AppServer::connectionClosed, &simulator, &Simulator::writeReport);
    say("READY");
    return serve(app, simulator);
}

} // namespace

int main(int argc, char** argv) {
    // Before anything of Qt reads the environment or the command line.
    if (const int refused = posflash::GuardSecureExecution("posflash-printer-sim", argc, argv))
        return refused;
    SignalWatch::blockInThisThread({SIGINT, SIGTERM});
    QCoreApplication app(argc, argv);

    const ParsedCommandLine parsed = ParseCommandLine(app.arguments().mid(1));
    if (parsed.help) {
        std::fputs(qPrintable(UsageText()), stdout);
        return 0;
    }
    if (parsed.version) {
        std::printf("posflash-printer-sim %s\n", POSFLASH_VERSION);
        return 0;
    }
    if (!parsed.options) {
        std::fprintf(stderr, "posflash-printer-sim: %s\n\n%s", qPrintable(parsed.error),
                     qPrintable(UsageText()));
        return 2;
    }
    const Options& options = *parsed.options;
    switch (options.mode) {
    case Mode::Serial:
        return runSerial(app, options);
    case Mode::Net:
        return runNet(app, options);
    case Mode::App:
        return runApp(app, options);
    }
    return 2;
}

// posflash-printer-sim: a receipt printer's boot loader on a pseudo-terminal, for the tests,
// the benchmarks and the demo. See UsageText() for the command line.

#include "printer-sim/options.h"
#include "printer-sim/pty_transport.h"
#include "printer-sim/signal_watch.h"
#include "printer-sim/simulator.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

using namespace posflash::sim;

int main(int argc, char** argv) {
    SignalWatch::blockInThisThread({SIGINT, SIGTERM});
    QCoreApplication app(argc, argv);

    const ParsedCommandLine parsed = ParseCommandLine(app.arguments().mid(1));
    if (parsed.help) {
        std::fputs(qPrintable(UsageText()), stdout);
        return 0;
    }
    if (!parsed.options) {
        std::fprintf(stderr, "posflash-printer-sim: %s\n\n%s", qPrintable(parsed.error),
                     qPrintable(UsageText()));
        return 2;
    }
    const Options& options = *parsed.options;

    QString error;
    const std::unique_ptr<PtyTransport> line = PtyTransport::open(error);
    if (line && !options.link.isEmpty())
        line->linkAs(options.link, error);
    if (!line || !error.isEmpty()) {
        std::fprintf(stderr, "posflash-printer-sim: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("PTY %s\n", qPrintable(line->slavePath()));
    std::fflush(stdout);

    Simulator simulator(options, *line);
    QObject::connect(&simulator, &Simulator::finished, &app, &QCoreApplication::exit);

    SignalWatch signalWatch({SIGINT, SIGTERM});
    QObject::connect(&signalWatch, &SignalWatch::caught, &simulator,
                     [&simulator] { simulator.finish(simulator.exitCodeForErrors()); });
    return app.exec();
}

// posflash: the main window.
#include "app/frm_boot.h"
#include "base/process_signals.h"
#include "base/secure_start.h"
#include "line/line_main.h"
#include "line/slot_codes.h"
#include "ports/hotplug_usb_inventory.h"
#include "ports/named_usb_device.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QPushButton>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

using namespace posflash;

namespace {

// The window's command line; --help is answered from it with or without a display.
struct WindowCommandLine {
    QCommandLineParser parser;
    QCommandLineOption demoDevice{
        QStringLiteral("demo-device"),
        QStringLiteral("Count the serial device PATH as a printer's USB virtual COM port (the "
                       "demo against the simulated printer)."),
        QStringLiteral("PATH")};
    QCommandLineOption screenshot{
        QStringLiteral("screenshot"),
        QStringLiteral("Save a picture of the started window to FILE (PNG) and quit."),
        QStringLiteral("FILE")};
    QCommandLineOption demo{
        QStringLiteral("demo"),
        QStringLiteral("Start against a simulated printer with a sample firmware image, in "
                       "settings of its own that go when the window closes.")};
    // For the package's test: the download runs as a press of the button would start it, the
    // window closes when it has ended, and the exit status says whether it completed.
    QCommandLineOption pressDownload{
        QStringLiteral("press-download"),
        QStringLiteral("For tests: press Download once, close when it has ended.")};

    WindowCommandLine() {
        parser.setApplicationDescription(
            QStringLiteral("Loads firmware into a receipt printer's boot loader."));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOption(demoDevice);
        parser.addOption(screenshot);
        parser.addOption(demo);
        pressDownload.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(pressDownload);
        line.addTo(parser);
    }

    // The production window's options (--line and what goes with it).
    LineCommandLine line;
};

bool asksForHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0 ||
            std::strcmp(argv[i], "--help-all") == 0 || std::strcmp(argv[i], "-?") == 0)
            return true;
    return false;
}

// posflash --demo: the installed demo script, given the installed programs and sample image,
// all found from where this program is; the other arguments go on to the window it starts.
// Returns only when it cannot run the script.
int runDemo(int argc, char** argv) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path bin = self.parent_path();
    const std::string script = (bin / POSFLASH_DEMO_SCRIPT).lexically_normal();
    const std::string sim = bin / "posflash-printer-sim";
    const std::string firmware = (bin / POSFLASH_DEMO_FIRMWARE).lexically_normal();
    std::vector<const char*> args{script.c_str(), "--sim",      sim.c_str(),      "--app",
                                  self.c_str(),   "--firmware", firmware.c_str(), "--"};
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--demo") != 0)
            args.push_back(argv[i]);
    args.push_back(nullptr);
    if (!error)
        ::execv(script.c_str(), const_cast<char* const*>(args.data()));
    std::fprintf(stderr,
                 "posflash: cannot start the demo %s: %s\n"
                 "From the source tree, start it with ./posflash.sh --demo.\n",
                 script.c_str(), error ? error.message().c_str() : std::strerror(errno));
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    // Before anything of Qt reads the environment or the command line.
    if (const int refused = GuardSecureExecution("posflash", argc, argv))
        return refused;
    // Answered before QApplication, which aborts without a display.
    if (argc == 2 && (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-v") == 0)) {
        std::printf("posflash %s\n", POSFLASH_VERSION);
        return 0;
    }
    if (asksForHelp(argc, argv)) {
        // A core application needs no display and gives the parser the program's name.
        const QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("posflash"));
        QCoreApplication::setApplicationVersion(QStringLiteral(POSFLASH_VERSION));
        WindowCommandLine commandLine;
        commandLine.parser.process(core); // prints the help and exits 0
    }
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--demo") == 0)
            return runDemo(argc, argv);
    // The page of slot codes needs no display: it may be made on any machine.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--print-slot-codes") == 0 || std::strcmp(argv[i], "--out") == 0) {
            const QCoreApplication core(argc, argv);
            QCoreApplication::setApplicationName(QStringLiteral("posflash"));
            WindowCommandLine commandLine;
            commandLine.parser.process(core);
            const auto start =
                commandLine.line.read(commandLine.parser, LoadLineSettings(LineSettingsPath()));
            if (!start) {
                std::fprintf(stderr, "posflash: %s\n", qPrintable(start.error().text));
                return 2;
            }
            return PrintSlotCodes(start->settings, start->out);
        }
    // The production window hears TERM, HUP and INT as its close button: made before any
    // thread starts, so that every thread holds them.
    std::optional<ProcessSignals> lineStops;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--line") == 0 && !lineStops) {
            // Its own X11 instance name (WM_CLASS "posflash-line", "posflash"), so that a
            // desktop shows the production line's entry and icon for it, not the main window's.
            if (!qEnvironmentVariableIsSet("RESOURCE_NAME"))
                qputenv("RESOURCE_NAME", "posflash-line");
            lineStops.emplace();
        }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("posflash"));
    QApplication::setApplicationVersion(QStringLiteral(POSFLASH_VERSION));
    // Wayland compositors find the menu entry, and with it the icon, by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.posflash.posflash"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/posflash.png")));

    WindowCommandLine commandLine;
    QCommandLineParser& parser = commandLine.parser;
    const QCommandLineOption& demoDevice = commandLine.demoDevice;
    const QCommandLineOption& screenshot = commandLine.screenshot;
    parser.process(app);

    if (commandLine.line.wanted(parser)) {
        const auto start = commandLine.line.read(parser, LoadLineSettings(LineSettingsPath()));
        if (!start) {
            std::fprintf(stderr, "posflash: %s\n", qPrintable(start.error().text));
            return 2;
        }
        if (start->printSlotCodes)
            return PrintSlotCodes(start->settings, start->out);
        QGuiApplication::setDesktopFileName(QStringLiteral("org.posflash.posflash-line"));
        HotplugUsbInventory lineInventory;
        if (!lineStops)
            lineStops.emplace(); // --line given in a form not seen above: late, but heard
        return RunProductionLine(*start, lineInventory, *lineStops);
    }

    // The clock asks every second whether the printer is there: answered from the list the
    // host's device events keep current.
    HotplugUsbInventory hostInventory;
    std::optional<NamedUsbDeviceInventory> demoInventory;
    if (parser.isSet(demoDevice))
        demoInventory.emplace(hostInventory, parser.value(demoDevice));
    const UsbInventory& inventory =
        demoInventory ? static_cast<const UsbInventory&>(*demoInventory) : hostInventory;

    frmBoot window(inventory);
    window.show();
    if (parser.isSet(screenshot)) {
        // One clock tick first, so the picture shows the window as it looks in use.
        window.showClock();
        if (!window.grab().save(parser.value(screenshot), "PNG")) {
            std::fprintf(stderr, "posflash: cannot write %s\n",
                         qPrintable(parser.value(screenshot)));
            return 1;
        }
        return 0;
    }
    bool completed = false;
    if (parser.isSet(commandLine.pressDownload)) {
        DownloadPresenter& presenter = window.presenter();
        presenter.onFinished = [&window, &completed,
                                recordInHistory = presenter.onFinished](const DownloadResult& r) {
            if (recordInHistory)
                recordInHistory(r);
            completed = r.outcome == Outcome::Completed;
            QMetaObject::invokeMethod(&window, &QWidget::close, Qt::QueuedConnection);
        };
        auto* download = window.findChild<QPushButton*>(QStringLiteral("btnDownloadFile"));
        QMetaObject::invokeMethod(download, &QPushButton::click, Qt::QueuedConnection);
    }
    const int code = QApplication::exec();
    return parser.isSet(commandLine.pressDownload) && !completed ? 1 : code;
}

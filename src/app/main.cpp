// posflash: the main window.
#include "app/frm_boot.h"
#include "line/line_main.h"
#include "ports/hotplug_usb_inventory.h"
#include "ports/named_usb_device.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include <cstdio>
#include <cstring>
#include <optional>

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

    WindowCommandLine() {
        parser.setApplicationDescription(
            QStringLiteral("Loads firmware into a receipt printer's boot loader."));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOption(demoDevice);
        parser.addOption(screenshot);
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

} // namespace

int main(int argc, char** argv) {
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
        QGuiApplication::setDesktopFileName(QStringLiteral("org.posflash.posflash-line"));
        HotplugUsbInventory lineInventory;
        return RunProductionLine(*start, lineInventory);
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
        window.TimeSysTimer_Timer();
        if (!window.grab().save(parser.value(screenshot), "PNG")) {
            std::fprintf(stderr, "posflash: cannot write %s\n",
                         qPrintable(parser.value(screenshot)));
            return 1;
        }
        return 0;
    }
    return QApplication::exec();
}

// posflash: the main window.
#include "app/frm_boot.h"
#include "ports/hotplug_usb_inventory.h"
#include "ports/named_usb_device.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include <cstdio>
#include <cstring>
#include <optional>

using namespace posflash;

int main(int argc, char** argv) {
    // Answered before QApplication, which aborts without a display.
    if (argc == 2 && (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-v") == 0)) {
        std::printf("posflash %s\n", POSFLASH_VERSION);
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("posflash"));
    QApplication::setApplicationVersion(QStringLiteral(POSFLASH_VERSION));
    // Wayland compositors find the menu entry, and with it the icon, by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.posflash.posflash"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/posflash.png")));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Loads firmware into a receipt printer's boot loader."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption demoDevice(
        QStringLiteral("demo-device"),
        QStringLiteral("Count the serial device PATH as a printer's USB virtual COM port (the "
                       "demo against the simulated printer)."),
        QStringLiteral("PATH"));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Save a picture of the started window to FILE (PNG) and quit."),
        QStringLiteral("FILE"));
    parser.addOption(demoDevice);
    parser.addOption(screenshot);
    parser.process(app);

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

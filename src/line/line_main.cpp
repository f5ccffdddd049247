#include "line/line_main.h"

#include "base/process_signals.h"
#include "line/line_window.h"
#include "line/start_panel.h"
#include "ports/hotplug_usb_inventory.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <functional>

#include <unistd.h>

namespace posflash {

int RunProductionLine(const LineStart& start, HotplugUsbInventory& inventory,
                      ProcessSignals& stops) {
    LineSettings settings = start.settings;
    bool stopped = false;
    if (!start.start) {
        // The panel closing is not the program's end: the window follows.
        QApplication::setQuitOnLastWindowClosed(false);
        StartPanel panel(settings);
        stops.watch([&] {
            stopped = true;
            panel.reject();
        });
        const bool accepted = panel.exec() == QDialog::Accepted;
        stops.watch({});
        if (!accepted || stopped)
            return 0;
        settings = panel.settings();
        settings.records = start.settings.records; // not one of the panel's choices
        QApplication::setQuitOnLastWindowClosed(true);
    }
    if (Status kept = SaveLineSettings(settings, LineSettingsPath()); !kept)
        QMessageBox::warning(
            nullptr, QStringLiteral("posflash"),
            QCoreApplication::translate("LineSettings", "The choices could not be kept: %1")
                .arg(kept.error().text));
    int code = 0;
    std::function<bool()> recordsThreads;
    {
        LineWindow window(settings, inventory);
        QObject::connect(&inventory.monitor(), &UsbHotplugMonitor::devicesChanged, &window,
                         &LineWindow::scanUsb);
        stops.watch([&window] { window.leaveNow(); });
        window.showMaximized();
        window.startShift();
        // A signal that came while the window was being made is heard as soon as it runs.
        if (stops.arrived())
            QMetaObject::invokeMethod(&window, &LineWindow::leaveNow, Qt::QueuedConnection);
        code = QApplication::exec();
        stops.watch({});
        recordsThreads = window.recordsThreads();
    } // the window's history rows are written once it is gone
    // A records pass still blocked in the network must not meet the statics' teardown; what it
    // did not mark sent goes with the next sync.
    if (recordsThreads && recordsThreads()) {
        std::fflush(nullptr);
        ::_exit(code);
    }
    return code;
}

} // namespace posflash

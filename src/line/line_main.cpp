#include "line/line_main.h"

#include "line/line_window.h"
#include "line/start_panel.h"
#include "ports/hotplug_usb_inventory.h"

#include <QApplication>
#include <QMessageBox>

namespace posflash {

int RunProductionLine(const LineStart& start, HotplugUsbInventory& inventory) {
    LineSettings settings = start.settings;
    if (!start.start) {
        // The panel closing is not the program's end: the window follows.
        QApplication::setQuitOnLastWindowClosed(false);
        StartPanel panel(settings);
        if (panel.exec() != QDialog::Accepted)
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
    LineWindow window(settings, inventory);
    QObject::connect(&inventory.monitor(), &UsbHotplugMonitor::devicesChanged, &window,
                     &LineWindow::scanUsb);
    window.showMaximized();
    window.startShift();
    return QApplication::exec();
}

} // namespace posflash

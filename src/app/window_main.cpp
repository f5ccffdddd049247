#include "app/window_main.h"

#include "app/frm_boot.h"
#include "app/locale_rules.h"
#include "base/qt_texts.h"
#include "ports/hotplug_usb_inventory.h"
#include "ports/named_usb_device.h"

#include <QApplication>
#include <QPushButton>

#include <cstdio>
#include <optional>

namespace posflash {

void WindowOptions::addTo(QCommandLineParser& parser) {
    parser.addOption(demoDevice);
    parser.addOption(screenshot);
    parser.addOption(demo);
    pressDownload.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(pressDownload);
}

int RunMainWindow(const QCommandLineParser& parser, const WindowOptions& options) {
    // The clock asks every second whether the printer is there: answered from the list the
    // host's device events keep current.
    HotplugUsbInventory hostInventory;
    std::optional<NamedUsbDeviceInventory> demoInventory;
    if (parser.isSet(options.demoDevice))
        demoInventory.emplace(hostInventory, parser.value(options.demoDevice));
    const UsbInventory& inventory =
        demoInventory ? static_cast<const UsbInventory&>(*demoInventory) : hostInventory;

    // The standard buttons follow the system's language, as the window's face does.
    QtTexts qtTexts;
    qtTexts.speak(GetSystemLanguage(QLocale::system()) != kNotChinese);
    frmBoot window(inventory);
    window.show();
    if (parser.isSet(options.screenshot)) {
        // One clock tick first, so the picture shows the window as it looks in use.
        window.showClock();
        if (!window.grab().save(parser.value(options.screenshot), "PNG")) {
            std::fprintf(stderr, "posflash: cannot write %s\n",
                         qPrintable(parser.value(options.screenshot)));
            return 1;
        }
        return 0;
    }
    const bool pressed = parser.isSet(options.pressDownload);
    bool completed = false;
    if (pressed) {
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
    return pressed && !completed ? 1 : code;
}

} // namespace posflash

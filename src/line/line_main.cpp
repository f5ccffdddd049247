#include "line/line_main.h"

#include "base/process_signals.h"
#include "base/qt_texts.h"
#include "line/line_window.h"
#include "line/slot_codes.h"
#include "line/start_panel.h"
#include "ports/hotplug_usb_inventory.h"

#include <QApplication>
#include <QMessageBox>
#include <QTranslator>

#include <cstdio>
#include <functional>
#include <optional>

#include <unistd.h>

namespace posflash {
namespace {

// The stored choices with the command line's on top; why not, on standard error.
std::optional<LineStart> startOf(const QCommandLineParser& parser, const LineCommandLine& options) {
    Result<LineStart> start = options.read(parser, LoadLineSettings(LineSettingsPath()));
    if (!start) {
        std::fprintf(stderr, "posflash: %s\n", qPrintable(start.error().text));
        return std::nullopt;
    }
    return std::move(*start);
}

int runShift(const LineStart& start, HotplugUsbInventory& inventory, ProcessSignals& stops) {
    LineSettings settings = start.settings;
    // The production window's own face: a sans serif whose Chinese companion is a sans too, so
    // that l and 1 never look alike in a port or a label.
    QFont face = QApplication::font();
    face.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Noto Sans CJK SC")});
    QApplication::setFont(face);
    QTranslator chinese;
    QtTexts qtTexts;
    const auto speak = [&chinese, &qtTexts](const LineSettings& s) {
        QCoreApplication::removeTranslator(&chinese);
        if (LineSpeaksChinese(s) && chinese.load(QStringLiteral(":/i18n/posflash_zh_CN.qm")))
            QCoreApplication::installTranslator(&chinese);
        qtTexts.speak(LineSpeaksChinese(s));
    };
    speak(settings);
    bool stopped = false;
    if (!start.start) {
        // The panel closing is not the program's end: the window follows.
        QApplication::setQuitOnLastWindowClosed(false);
        int result = StartPanel::kLanguageChosen;
        // Another language opens the panel again in it, with what was typed so far.
        while (result == StartPanel::kLanguageChosen && !stopped) {
            StartPanel panel(settings, nullptr, LineHost::system().loadRecipe);
            stops.watch([&] {
                stopped = true;
                panel.reject();
            });
            result = panel.exec();
            stops.watch({});
            settings = panel.settings();
            speak(settings);
        }
        if (result != QDialog::Accepted || stopped)
            return 0;
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

} // namespace

int RunProductionLine(const QCommandLineParser& parser, const LineCommandLine& options,
                      ProcessSignals& stops) {
    const std::optional<LineStart> start = startOf(parser, options);
    if (!start)
        return 2;
    if (start->printSlotCodes)
        return PrintSlotCodes(start->settings, start->out);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.posflash.posflash-line"));
    HotplugUsbInventory inventory;
    return runShift(*start, inventory, stops);
}

int PrintSlotCodesPage(const QCommandLineParser& parser, const LineCommandLine& options) {
    const std::optional<LineStart> start = startOf(parser, options);
    return start ? PrintSlotCodes(start->settings, start->out) : 2;
}

} // namespace posflash

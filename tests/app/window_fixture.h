#pragma once

#include "app/frm_boot.h"
#include "base/ini_store.h"
#include "support/fake_usb_inventory.h"
#include "support/private_home.h"
#include "support/program_image.h"
#include "support/qt_printers.h"
#include "support/widget_finder.h"

#include <memory>

namespace posflash::testing {

// The real main window over a private settings folder, with a desktop that records instead of
// opening dialogs, and a host with no serial ports and nothing missing unless a test says so.
class WindowTest : public ::testing::Test, protected PrivateHome {
protected:
    WindowTest() {
        host.systemLocale = QLocale(QLocale::Chinese, QLocale::China);
        host.applicationFolder = appFolder.path();
        host.chooseFile = [this](QWidget*, const QString& filter) {
            dialogFilters << filter;
            return chosenFile;
        };
        host.tipsBox = [this](QWidget*, const QString& prompt, int style) {
            tips << prompt;
            tipsStyles.push_back(style);
        };
        host.openUrl = [this](const QUrl& url) { openedUrls << url.toString(); };
        host.serialPorts = [this] { return hostSerialPorts; };
        host.firstStartChecks = [this] {
            ++firstStartChecks;
            return shortcomings;
        };
    }
    ~WindowTest() override { window.reset(); }

    frmBoot& start() {
        window = std::make_unique<frmBoot>(usb, host);
        return *window;
    }

    template <class T = QWidget>
    T& control(const char* name) const {
        return FindControl<T>(window.get(), QString::fromLatin1(name));
    }
    // Hidden by the window itself (isVisible() is false for every control of an unshown window).
    bool hidden(const char* name) const { return control(name).isHidden(); }

    QString settingsPath() const { return configFile("sys_config.ini"); }
    QString comPortsPath() const { return configFile("comports.ini"); }
    QString mirrorPath() const { return appFolder.filePath("config.ini"); }

    void writeSettings(const QByteArray& text) const { WriteFile(settingsPath(), text); }
    QString stored(const char* section, const char* key) const {
        return IniStore(settingsPath()).GetIniString(section, key);
    }

    // A program file of n bytes whose last four hold the sum of the others.
    QString writeProgramFile(std::size_t n, const QString& name = "fw.bin") const {
        WriteProgramImage(files.filePath(name), n);
        return files.filePath(name);
    }

    QTemporaryDir appFolder;
    QTemporaryDir files;
    FakeUsbInventory usb;
    WindowHost host;

    QString chosenFile;
    QStringList dialogFilters;
    QStringList tips;
    std::vector<int> tipsStyles;
    QStringList openedUrls;
    QStringList hostSerialPorts;
    std::vector<HostShortcoming> shortcomings;
    int firstStartChecks = 0;

    std::unique_ptr<frmBoot> window; // last: gone before what it uses
};

} // namespace posflash::testing

#pragma once

#include "app/download_presenter.h"
#include "app/host_readiness.h"
#include "app/panel.h"
#include "app/window_host.h"
#include "base/ini_store.h"
#include "engine/engine.h"
#include "ports/com_port_map.h"
#include "ports/port_model.h"
#include "ports/usb_hotplug.h"
#include "unit/download_history.h"

#include <QTimer>
#include <QWidget>

#include <memory>
#include <vector>

namespace Ui {
class frmBoot;
}

namespace posflash {

class UsbInventory;

// The main window: maps its controls to the engine and back. Each control's objectName is
// the name the code and the tests use for it (a group of alike controls as name_index, e.g.
// optPortSelect_1, ShowStatus_2).
class frmBoot : public QWidget, public Panel {
    Q_OBJECT
public:
    static constexpr int kClockIntervalMs = 1000;

    // Runs the load step, so the window is complete when this returns.
    explicit frmBoot(const UsbInventory& inventory, WindowHost host = WindowHost::system(),
                     QWidget* parent = nullptr);
    ~frmBoot() override;

    Engine& engine() { return engine_; }
    DownloadPresenter& presenter() { return presenter_; }
    DownloadHistory& history() { return history_; }
    const PortModel& portModel() const { return portModel_; }
    UsbHotplugMonitor& hotplug() { return hotplug_; }

    void GetLastIniFileParameter();
    bool IsEnglishMode() const;
    void showClock();
    // The link icon at once, when the host reports a device plugged or unplugged.
    void refreshLinkIcon();

    // Panel: what a download shows.
    void setStatusLabel(const QString& text) override;
    void setStatusPanel(const QString& text) override;
    void showTipsBox(const QString& prompt, int style) override;
    void setProgressMax(int max) override;
    void setProgressValue(int value) override;
    void setDownloadCount(int count) override;
    void setDownloadEnabled(bool enabled) override;
    void setCancelEnabled(bool enabled) override;
    void setAppToBootEnabled(bool enabled) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Start-up and settings (frm_boot_load.cpp).
    void startUp();
    void fillPortLists();
    void InitConfigFile();
    void mirrorSettings();
    void reportStartupProblems();
    // A settings write that failed, in the status panel after what it shows, once per reason.
    void reportSettingsWrite(const Status& written);
    void storeIpAddress();
    void storeMacAddress();

    // Faces (frm_boot_faces.cpp).
    static void nameComboBoxesByTheirNames();
    void ChangeLanguage();
    void switchFace();
    QString text(const char* english) const;

    // Small actions and file choosing (frm_boot_actions.cpp).
    void clearDownloadCount();
    void enableFontDownload();
    void openWebAddress();
    void chooseProgramFile();
    void chooseFontFile();
    void selectPrintersComPort();
    void storeComFinding(int index);

    // Port choice and downloads (frm_boot_download.cpp).
    void selectPortKind(int index);
    void selectComIndex(int index);
    void closeSerialPort();
    void downloadProgram();
    void downloadFont();
    void startDownload(ImageKind kind);
    void cancelDownload();
    void sendBootCommand();
    void bootCommandEvent(const DownloadEvent& event);
    void bootCommandFinished();
    // A change of the port kind or of the font route reaches a running download's next frame.
    void routeChanged();
    void imgBootStatusSelect(int item);
    // ShowStatus(0): one space, then the text.
    void SetStatusText(const QString& text);

    void connectControls();
    // A finished download in the history, written off this thread; a record the database
    // did not take is logged.
    void recordDownload(const DownloadResult& result);

    std::unique_ptr<Ui::frmBoot> ui_;
    WindowHost host_;
    IniStore settings_;
    ComPortMap comPorts_;
    const UsbInventory& inventory_;
    PortModel portModel_;
    UsbHotplugMonitor hotplug_;
    Engine engine_;
    DownloadPresenter presenter_;
    EventFunction bootCommandEvents_{[this](const DownloadEvent& e) { bootCommandEvent(e); }};
    DownloadHistory history_{QStringLiteral("window")};
    // The kind of the download that runs (its route follows the port choice).
    ImageKind runningKind_ = ImageKind::Program;
    // Closed during a download: the window goes once the download has ended.
    bool closing_ = false;
    QTimer TimeSysTimer_;

    // Found during start-up, shown once the face is known.
    std::vector<HostShortcoming> shortcomings_;
    QString settingsError_; // the last reason a settings write failed, already shown
    QString mirrorError_;
};

} // namespace posflash

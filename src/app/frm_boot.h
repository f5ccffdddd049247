#pragma once

#include "app/host_readiness.h"
#include "app/window_host.h"
#include "base/ini_store.h"
#include "base/panel.h"
#include "engine/engine.h"
#include "history/history_store.h"
#include "ports/com_port_map.h"

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

    void GetLastIniFileParameter();
    bool IsEnglishMode();
    void TimeSysTimer_Timer();
    // The link icon at once, when the host reports a device plugged or unplugged.
    void refreshLinkIcon();

    // Panel: what the engine shows and reads.
    void setStatusLabel(const QString& text) override;
    QString statusLabel() const override;
    void setStatusPanel(const QString& text) override;
    void showTipsBox(const QString& prompt, int style) override;
    void setProgressMax(int max) override;
    void setProgressValue(int value) override;
    void setDownloadCount(int count) override;
    void setDownloadEnabled(bool enabled) override;
    void setCancelEnabled(bool enabled) override;
    void setAppToBootEnabled(bool enabled) override;
    void setBootStatusImage(int item) override;
    void setComIndex(int index) override;
    void setPortKindIndex(int index) override;
    QString programFilePath() const override;
    QString fontFilePath() const override;
    QString ipAddressText() const override;
    QString macAddressText() const override;
    bool fontBootDown() const override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Start-up and settings (frm_boot_load.cpp).
    void Form_Load();
    void fillPortLists();
    void InitConfigFile();
    void mirrorSettings();
    void reportStartupProblems();
    void txtcIPAddr_Change();
    void txtcMACAddr_Change();

    // Faces (frm_boot_faces.cpp).
    void ChangeLanguage();
    void chkEnglish_Click();
    QString text(const char* english) const;

    // Small actions and file choosing (frm_boot_actions.cpp).
    void Command2_Click();
    void Check1_Click();
    void lblWebAddr_Click();
    void Command4_Click();
    void btnOpenFile_Click();
    void btnOpenFontFile_Click();
    void cmdGetComPort_Click();
    void optGetPortModeSel_Click(int index);

    void connectControls();
    // A finished download in the history; a write that fails is only logged.
    void recordDownload();

    std::unique_ptr<Ui::frmBoot> ui_;
    WindowHost host_;
    IniStore settings_;
    ComPortMap comPorts_;
    const UsbInventory& inventory_;
    Engine engine_;
    HistoryStore history_;
    QTimer TimeSysTimer_;

    // Found during start-up, shown once the face is known.
    std::vector<HostShortcoming> shortcomings_;
    QString settingsError_;
    QString mirrorError_;
};

} // namespace posflash

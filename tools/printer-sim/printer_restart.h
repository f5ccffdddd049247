#pragma once

#include "printer-sim/app_server.h"
#include "printer-sim/net_boot.h"
#include "printer-sim/udp_frame_line.h"

#include <QObject>
#include <QTimer>

namespace posflash::sim {

// A network printer that restarts as a real one does (net --restart-into-app): after a
// completed download its boot loader stops answering and its firmware answers on TCP port 4000
// a while later, or never; the boot-loader command sent to the firmware brings the boot loader
// back once that connection closes. Announced on stdout: "APP" and "BOOT LOADER".
class PrinterRestart : public QObject {
    Q_OBJECT
public:
    static constexpr int kNever = -1;

    // afterMs: from the final frame's reply to the firmware's answer; kNever: it never answers.
    PrinterRestart(int afterMs, NetBoot& boot, UdpFrameLine& frames, AppServer& app,
                   QObject* parent = nullptr);

    void downloadCompleted();
    // Switched on running the firmware: the boot loader stays silent until commanded.
    void startRunning();

    // restarts_into_app, restarts_into_boot_loader, and the errors of a port not had again.
    ReportAddition report() const;

private:
    void intoApp();
    bool listenAsApp();
    void intoBootLoader();
    void say(const char* line);

    int afterMs_;
    NetBoot& boot_;
    UdpFrameLine& frames_;
    AppServer& app_;
    QTimer appTimer_;
    bool inApp_ = false;
    int intoApp_ = 0;
    int intoBootLoader_ = 0;
    QStringList errors_;
};

} // namespace posflash::sim

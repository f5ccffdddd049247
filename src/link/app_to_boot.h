#pragma once

#include "base/bytes.h"

#include <QObject>
#include <QTcpSocket>
#include <QTimer>

#include <functional>

namespace posflash {

class BootLink;
class Panel;
class PortModel;
class UsbClass;
class UsbOutput;
class WaitHub;

// Switches a running printer into its boot loader (or, for a font download through the
// running firmware, into font mode), over TCP port 4000 or through its USB device; and the
// TCP monitor connection that carries such a font download.
class AppToBoot : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 kMonitorPort = 4000;
    static constexpr int kLinkWaitMs = 3000;
    static constexpr int kCloseAfterCommandMs = 1500;

    AppToBoot(Panel& panel, WaitHub& waits, PortModel& portModel, UsbClass& usb,
              UsbOutput& usbOutput, BootLink& link, QObject* parent = nullptr);

    // What this sends: the boot-loader command, or the font-mode command for a font download.
    static Bytes BootCommand();
    static Bytes FontModeCommand();

    // The button: refused while a download runs, whose frames would otherwise go to the raw
    // USB node for as long as the command is active.
    void cmdAppToBoot_Click();
    // The command itself; also how the link switches a printer for a font download.
    void sendBootCommand();
    void tcpClientMonitorClose();
    void TimerNetLinkStart(int intervalMs);
    void TimerNetLinkStop();
    void TimerNetTimerOut_Timer();

    bool monitorConnected() const;
    // Connected, and no error since it connected.
    bool monitorUsable() const { return monitorConnected() && !monitorFailed_; }
    bool tcpSend(ByteView frame);
    bool isRunning() const { return running_; }
    bool NetLinkTimedOut() const { return netLinkTimedOut_; }
    // Whether the last run handed its command to the printer (the command line's verdict).
    bool commandSent() const { return commandSent_; }

    // Whether a download runs: its button then stays disabled when this ends.
    std::function<bool()> downloadRunning;

private:
    void monitorArrival();

    Panel& panel_;
    WaitHub& waits_;
    PortModel& portModel_;
    UsbClass& usb_;
    UsbOutput& usbOutput_;
    BootLink& link_;
    QTcpSocket tcpClientMonitor_;
    QTimer timerNetTimerOut_;
    bool netLinkTimedOut_ = false;
    bool running_ = false;
    bool commandSent_ = false;
    bool monitorFailed_ = false;
};

} // namespace posflash

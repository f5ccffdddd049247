#include "link/app_to_boot.h"

#include "base/panel.h"
#include "base/userfunction.h"
#include "base/wait_hub.h"
#include "link/boot_link.h"
#include "link/link_texts.h"
#include "link/mnetopt.h"
#include "ports/mcommunicate.h"
#include "ports/usb_class.h"
#include "ports/usb_output.h"
#include "protocol/frames.h"

#include <algorithm>

namespace posflash {

AppToBoot::AppToBoot(Panel& panel, WaitHub& waits, PortModel& portModel, UsbClass& usb,
                     UsbOutput& usbOutput, BootLink& link, QObject* parent)
    : QObject(parent), panel_(panel), waits_(waits), portModel_(portModel), usb_(usb),
      usbOutput_(usbOutput), link_(link) {
    connect(&timerNetTimerOut_, &QTimer::timeout, this, &AppToBoot::TimerNetTimerOut_Timer);
    connect(&tcpClientMonitor_, &QTcpSocket::readyRead, this, &AppToBoot::monitorArrival);
    connect(&tcpClientMonitor_, &QTcpSocket::connected, this, [this] {
        monitorFailed_ = false;
        waits_.recheck();
    });
    // A wait on the connection must not outlive it.
    connect(&tcpClientMonitor_, &QTcpSocket::disconnected, this, [this] { waits_.recheck(); });
    connect(&tcpClientMonitor_, &QTcpSocket::errorOccurred, this, [this] {
        monitorFailed_ = true;
        waits_.recheck();
    });
}

Bytes AppToBoot::BootCommand() {
    return BuildBootLoaderCommand();
}

Bytes AppToBoot::FontModeCommand() {
    return BuildFontModeCommand();
}

bool AppToBoot::monitorConnected() const {
    return tcpClientMonitor_.state() == QAbstractSocket::ConnectedState;
}

bool AppToBoot::tcpSend(ByteView frame) {
    if (!monitorConnected())
        return false;
    const auto size = static_cast<qint64>(frame.size());
    const bool ok =
        tcpClientMonitor_.write(reinterpret_cast<const char*>(frame.data()), size) == size;
    tcpClientMonitor_.flush();
    return ok;
}

void AppToBoot::cmdAppToBoot_Click() {
    if (downloadRunning && downloadRunning())
        return;
    sendBootCommand();
}

void AppToBoot::sendBootCommand() {
    // A second press while the first runs (its waits let clicks through) does nothing.
    if (running_)
        return;
    running_ = true;
    commandSent_ = false;
    panel_.setStatusPanel(QStringLiteral(" ") + link_texts::enterDownloadStatus());
    panel_.setDownloadEnabled(false);
    panel_.setAppToBootEnabled(false);
    portModel_.setAppToBootActive(true);
    const Bytes command = link_.state().FontDownload ? FontModeCommand() : BootCommand();

    if (portModel_.portKind() != PortKindValue::Com) {
        tcpClientMonitorClose();
        tcpClientMonitor_.abort();
        tcpClientMonitor_.connectToHost(panel_.ipAddressText(), kMonitorPort);
        TimerNetLinkStart(kLinkWaitMs);
        waits_.waitFor([this] { return monitorConnected() || netLinkTimedOut_; }, std::nullopt);
        TimerNetLinkStop();
        if (monitorConnected())
            commandSent_ = tcpSend(command);
        if (!link_.state().FontDownload) {
            DelayMs(waits_, kCloseAfterCommandMs);
            tcpClientMonitorClose();
        }
    } else {
        if (usb_.FindUsbDevice())
            commandSent_ = portModel_.PortSendData(command);
        DelayMs(waits_, 50);
        usbOutput_.CloseUsbDevice();
        DelayMs(waits_, 500);
        // Ends when the device is back: hot-plug events and the time limit re-check it.
        TimerNetLinkStart(kLinkWaitMs);
        waits_.waitFor([this] { return netLinkTimedOut_ || usb_.FindUsbDevice(); }, std::nullopt);
        TimerNetLinkStop();
    }

    if (!(downloadRunning && downloadRunning())) {
        panel_.setAppToBootEnabled(true);
        panel_.setDownloadEnabled(true);
    }
    portModel_.setAppToBootActive(false);
    running_ = false;
}

void AppToBoot::tcpClientMonitorClose() {
    FlushArpForIp(panel_.ipAddressText());
    if (tcpClientMonitor_.state() != QAbstractSocket::UnconnectedState) {
        tcpClientMonitor_.abort();
        DelayMs(waits_, 100);
    }
}

void AppToBoot::TimerNetLinkStart(int intervalMs) {
    netLinkTimedOut_ = false;
    timerNetTimerOut_.setInterval(intervalMs);
    timerNetTimerOut_.start();
}

void AppToBoot::TimerNetLinkStop() {
    netLinkTimedOut_ = false;
    timerNetTimerOut_.stop();
}

void AppToBoot::TimerNetTimerOut_Timer() {
    netLinkTimedOut_ = true;
    waits_.recheck();
}

void AppToBoot::monitorArrival() {
    const QByteArray block = tcpClientMonitor_.readAll();
    const ByteView bytes(reinterpret_cast<const std::uint8_t*>(block.constData()),
                         static_cast<std::size_t>(block.size()));
    if (link_.state().FontDownload) {
        // Larger blocks reach the reply checker in buffer-sized pieces, in order.
        for (std::size_t offset = 0; offset < bytes.size(); offset += kReceiveBufferSize)
            link_.receiveBufferArrival(
                bytes.subspan(offset, std::min(kReceiveBufferSize, bytes.size() - offset)));
        return;
    }
    if (IsBootCommandEcho(bytes))
        tcpClientMonitorClose();
}

} // namespace posflash

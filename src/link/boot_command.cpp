#include "link/boot_command.h"

#include "link/tcp_monitor.h"
#include "ports/printer_usb.h"
#include "ports/usb_hotplug.h"
#include "ports/usb_output.h"
#include "protocol/frames.h"

namespace posflash {

BootCommand::BootCommand(TcpMonitor& monitor, PrinterUsb& usb, UsbOutput& usbOutput,
                         QObject* parent)
    : QObject(parent), monitor_(monitor), usb_(usb), usbOutput_(usbOutput) {
    timer_.setSingleShot(true);
    // The pauses are the printer's; a coarse timer may end them up to 5 % early.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &BootCommand::timeUp);
    connect(&monitor_, &TcpMonitor::connected, this, [this] {
        if (phase_ == Phase::Connecting)
            connected();
    });
    // The printer's echo of the boot-loader command closes the connection early.
    connect(&monitor_, &FrameTransport::replied, this, [this](ByteView bytes) {
        if (!job_.fontMode && IsBootCommandEcho(bytes))
            monitor_.closeConnection(job_.printer.ip);
    });
}

void BootCommand::watchDevices(UsbHotplugMonitor* hotplug) {
    if (hotplug != nullptr)
        connect(hotplug, &UsbHotplugMonitor::devicesChanged, this, &BootCommand::deviceEvent);
}

bool BootCommand::start(const BootCommandJob& job) {
    if (isRunning())
        return false;
    job_ = job;
    sent_ = false;
    failure_.reset();
    if (job_.network) {
        closeMonitorThen(Phase::ClosingBefore);
        return true;
    }
    if (usb_.findPrinterDevice()) {
        const Bytes command = job_.fontMode ? BuildFontModeCommand() : BuildBootLoaderCommand();
        sent_ = usbOutput_.send(command);
        if (!sent_)
            fail(inboot_error::kWriteFailed,
                 QStringLiteral("the printer's USB device refused the command"));
        emit usbWritten(sent_);
    } else {
        fail(inboot_error::kNoPrinter, QStringLiteral("no printer's USB device is present"));
    }
    enter(Phase::UsbAfterWrite, kAfterUsbWriteMs);
    return true;
}

void BootCommand::abort() {
    if (!isRunning())
        return;
    timer_.stop();
    if (job_.network && !job_.fontMode)
        monitor_.closeConnection(job_.printer.ip);
    usbOutput_.close();
    fail(inboot_error::kStopped, QStringLiteral("stopped before the command was over"));
    finish();
}

void BootCommand::enter(Phase phase, int ms) {
    phase_ = phase;
    timer_.start(ms);
}

void BootCommand::closeMonitorThen(Phase pausing) {
    if (monitor_.closeConnection(job_.printer.ip))
        enter(pausing, TcpMonitor::kAfterCloseMs);
    else {
        phase_ = pausing;
        timeUp();
    }
}

void BootCommand::connectNow() {
    monitor_.connectTo(job_.printer.ip);
    enter(Phase::Connecting, kConnectWaitMs);
}

void BootCommand::connected() {
    timer_.stop();
    const Bytes command = job_.fontMode ? BuildFontModeCommand() : BuildBootLoaderCommand();
    const Status written = monitor_.send(command);
    sent_ = written.ok();
    if (!written)
        fail(inboot_error::kWriteFailed, written.error().text, written.error().detail);
    if (job_.fontMode) {
        finish(); // the font's frames use the connection
        return;
    }
    enter(Phase::AfterCommand, kCloseAfterCommandMs);
}

void BootCommand::timeUp() {
    switch (phase_) {
    case Phase::ClosingBefore:
        connectNow();
        return;
    case Phase::Connecting: // no connection in time: nothing is sent, no message
        fail(inboot_error::kNoConnection,
             QStringLiteral("%1 did not take a connection in time").arg(job_.printer.ip));
        // The boot-loader command still pauses before it closes; the font-mode command
        // leaves the rest to the link.
        if (!job_.fontMode) {
            enter(Phase::AfterCommand, kCloseAfterCommandMs);
            return;
        }
        finish();
        return;
    case Phase::ClosingAfter:
        finish();
        return;
    case Phase::AfterCommand:
        // A write only hands the command to the kernel: a reset before the pause is over
        // means the printer never took it.
        if (const auto& reset = monitor_.reset()) {
            sent_ = false;
            failure_ = Error{inboot_error::kPrinterReset,
                             QStringLiteral("the printer reset the connection before it took the "
                                            "command"),
                             reset->detail, ErrorDomain::Inboot};
        }
        closeMonitorThen(Phase::ClosingAfter);
        return;
    case Phase::UsbAfterWrite:
        usbOutput_.close();
        enter(Phase::UsbAfterClose, kAfterUsbCloseMs);
        return;
    case Phase::UsbAfterClose:
        if (usb_.findPrinterDevice())
            finish();
        else
            enter(Phase::WaitingForDevice, kDeviceBackWaitMs);
        return;
    case Phase::WaitingForDevice:
        finish();
        return;
    case Phase::Idle:
        return;
    }
}

void BootCommand::deviceEvent() {
    if (phase_ == Phase::WaitingForDevice && usb_.findPrinterDevice()) {
        timer_.stop();
        finish();
    }
}

void BootCommand::fail(int code, const QString& text, const QString& detail) {
    if (!failure_) // the first reason stands
        failure_ = Error{code, text, detail, ErrorDomain::Inboot};
}

void BootCommand::finish() {
    phase_ = Phase::Idle;
    if (sent_) {
        emit finished(Status());
        return;
    }
    fail(inboot_error::kWriteFailed, QStringLiteral("the command was not handed over"));
    emit finished(*failure_);
}

} // namespace posflash

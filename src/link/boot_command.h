#pragma once

#include "base/error.h"
#include "base/printer.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

namespace posflash {

class TcpMonitor;
class PrinterUsb;
class UsbHotplugMonitor;
class UsbOutput;

// Where the command goes: the running firmware's TCP port of a printer on the network, else the
// printer's USB device.
struct BootCommandJob {
    Printer printer;
    // To its address, even when none was typed (then the connection fails as a user expects).
    bool network = false;
    // The font-mode command instead, leaving the connection open for the font's frames.
    bool fontMode = false;
};

// The Inboot domain's codes: why the command did not reach the printer.
namespace inboot_error {
inline constexpr int kNoConnection = 1; // the running firmware's TCP port did not answer in time
inline constexpr int kPrinterReset = 2; // the printer reset the connection before it took it
inline constexpr int kNoPrinter = 3;    // no printer's USB device is present
inline constexpr int kWriteFailed = 4;  // the device or the connection refused the write
inline constexpr int kStopped = 5;      // stopped before it was over
} // namespace inboot_error

// Switches a running printer into its boot loader (or, for a font sent through the running
// firmware, into font mode). A state machine: each pause and wait is a state left by a timer,
// the connection or a device event.
class BootCommand : public QObject {
    Q_OBJECT
public:
    static constexpr int kConnectWaitMs = 3000;
    static constexpr int kCloseAfterCommandMs = 1500;
    static constexpr int kAfterUsbWriteMs = 50;
    static constexpr int kAfterUsbCloseMs = 500;
    static constexpr int kDeviceBackWaitMs = 3000;

    BootCommand(TcpMonitor& monitor, PrinterUsb& usb, UsbOutput& usbOutput,
                QObject* parent = nullptr);

    // Device events end the wait for the printer to come back at once; without them the time
    // limit does.
    void watchDevices(UsbHotplugMonitor* hotplug);

    // False, and nothing happens, while a command runs.
    bool start(const BootCommandJob& job);
    bool isRunning() const { return phase_ != Phase::Idle; }
    // Ends at once, closing what is open (the program quits).
    void abort();

signals:
    // The command was written to the USB device, or the write failed.
    void usbWritten(bool ok);
    // The run is over: ok when the command was handed to the printer, else why not.
    void finished(const posflash::Status& sent);

private:
    enum class Phase {
        Idle,
        ClosingBefore, // the old connection closed, pausing before the new one
        Connecting,
        AfterCommand, // the connection stays this long after the boot-loader command
        ClosingAfter,
        UsbAfterWrite,
        UsbAfterClose,
        WaitingForDevice,
    };

    void enter(Phase phase, int ms);
    void timeUp();
    void connectNow();
    void connected();
    void closeMonitorThen(Phase pausing);
    void deviceEvent();
    void fail(int code, const QString& text, const QString& detail = {});
    void finish();

    TcpMonitor& monitor_;
    PrinterUsb& usb_;
    UsbOutput& usbOutput_;
    BootCommandJob job_;
    Phase phase_ = Phase::Idle;
    QTimer timer_;
    bool sent_ = false;
    std::optional<Error> failure_; // the first reason it was not sent
};

} // namespace posflash

#pragma once

#include "base/faces.h"
#include "download/download_event.h"
#include "download/download_job.h"
#include "download/download_result.h"
#include "download/download_run.h"
#include "download/inboot_run.h"
#include "link/boot_command.h"
#include "link/network_boot.h"
#include "link/serial_transport.h"
#include "link/tcp_monitor.h"
#include "ports/printer_usb.h"
#include "ports/serial_aim.h"
#include "ports/serial_control.h"
#include "ports/usb_output.h"

#include <QDateTime>
#include <QObject>

#include <functional>
#include <memory>

namespace posflash {

class ComPortMap;
class SharedBootPorts;
class UsbHotplugMonitor;
class UsbInventory;

// One printer's engine: a download job in, events to its observer, a result with its cause
// out; the boot-loader command the same way. It creates its parts once, in order, and wires
// them; the logic is in the parts. Any number of engines share one thread.
class Engine : public QObject {
    Q_OBJECT
public:
    Engine(ComPortMap& comPorts, const UsbInventory& inventory, QObject* parent = nullptr);
    ~Engine() override;

    Faces& faces() { return faces_; }
    const Faces& faces() const { return faces_; }
    // Device events end the boot-loader command's wait for the printer at once.
    void watchDevices(UsbHotplugMonitor* hotplug);
    // The process's ports 67 and 69, when several network printers run at once.
    void shareBootPorts(SharedBootPorts* ports);

    // Runs the job; the observer hears of it up to Finished, which comes before this
    // returns when the job is refused at once (busy, no file). bootFilePath: the name the
    // BOOTP answer carries, when not the image's.
    void download(const DownloadJob& job, DownloadObserver& observer,
                  const QString& bootFilePath = {});
    void cancel();
    void stop();
    bool isDownloading() const { return run_ != nullptr; }
    // Where the running download stands; Done when none runs.
    DownloadRun::State downloadState() const {
        return run_ ? run_->state() : DownloadRun::State::Done;
    }
    // A download or a boot-loader command runs: another job is refused (busy).
    bool isBusy() const;
    // The route later attempts of the running download are sent on.
    void setRoute(Route route);
    // The serial line follows a COM choice made while a download runs: it closes, and the
    // next send opens the new number.
    void selectComNumber(int number);
    // Closes the serial line (a download's next send opens it again).
    void closeSerialPort();

    // The boot-loader command as a job: the observer hears of it up to Finished, which comes
    // before this returns when it is refused (busy).
    void sendBootCommand(const InbootJob& job, DownloadObserver& observer);
    // Ends a running boot-loader command at once (the window closes).
    void stopBootCommand();

    // Whether a printer's virtual COM device is present, and its COM number.
    bool printerPresent() const;
    std::optional<int> printerComNumber() const;
    // The COM number the serial line is set to, whether it is open, and the network link's
    // local port (0 while it is closed).
    int serialComNumber() const;
    bool serialOpen() const;
    quint16 linkLocalPort() const;

    // The clock of the start frame's date and time, and the seed of its random block.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    std::function<std::uint64_t()> pcCodeSeed;

private:
    DownloadRun::Parts parts();

    Faces faces_;
    SerialControl serial_;
    SerialTransport serialTransport_;
    SerialAimer serialAimer_;
    PrinterUsb usb_;
    UsbOutput usbOutput_;
    NetworkBoot network_;
    TcpMonitor monitor_;
    BootCommand bootCommand_;
    std::unique_ptr<DownloadRun> run_;
    std::unique_ptr<InbootRun> inboot_;
};

} // namespace posflash

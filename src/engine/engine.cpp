#include "engine/engine.h"

#include "download/download_run.h"
#include "ports/com_port_map.h"
#include "ports/usb_inventory.h"
#include "protocol/pc_code.h"

#include <QFileInfo>

#include <cstring>

namespace posflash {

namespace {
constexpr const char* kContext = "Engine";
} // namespace

Engine::Engine(ComPortMap& comPorts, const UsbInventory& inventory, QObject* parent)
    : QObject(parent), comPorts_(comPorts), inventory_(inventory), serial_(comPorts),
      serialTransport_(serial_), usb_(inventory, comPorts), usbOutput_(usb_), network_(faces_),
      bootCommand_(monitor_, usb_, usbOutput_) {
    connect(&serialTransport_, &SerialTransport::lineError, this, [this](const Error& error) {
        if (run_)
            run_->serialLineFailed(error);
    });
}

// Nobody is told of a download that goes with its engine: the observers may be gone already.
Engine::~Engine() = default;

void Engine::watchDevices(UsbHotplugMonitor* hotplug) {
    bootCommand_.watchDevices(hotplug);
}

void Engine::shareBootPorts(SharedBootPorts* ports) {
    network_.shareBootPorts(ports);
}

Status Engine::aimSerial(const DownloadTarget& target, PrinterIdentity& printer) {
    QString node = target.devicePath;
    const auto devices = inventory_.devices().value_or(std::vector<UsbDeviceEntry>{});
    if (!target.usbPath.isEmpty()) {
        const auto found = std::find_if(devices.begin(), devices.end(), [&](const auto& d) {
            return d.usbPath == target.usbPath && !d.serialNode.isEmpty();
        });
        if (found == devices.end())
            return Error{0,
                         faces_
                             .text(kContext, QT_TRANSLATE_NOOP("Engine", "No serial device is "
                                                                         "at USB path %1."))
                             .arg(target.usbPath),
                         {}};
        node = found->serialNode;
    }
    int number = target.comNumber;
    if (!node.isEmpty()) {
        if (!QFileInfo::exists(node))
            return Error{
                ENOENT,
                faces_.text(kContext, QT_TRANSLATE_NOOP("Engine", "%1 does not exist.")).arg(node),
                QString::fromLocal8Bit(std::strerror(ENOENT))};
        number = comPorts_.comNumberOf(node);
        if (number == 0) {
            const Result<int> assigned = comPorts_.assign(node);
            if (!assigned)
                return assigned.error();
            number = *assigned;
        }
    } else {
        node = comPorts_.devicePath(number);
    }
    printer.comNumber = number;
    printer.devicePath = node;
    printer.usbPath = target.usbPath;
    for (const UsbDeviceEntry& d : devices)
        if (!node.isEmpty() && d.serialNode == node) {
            printer.usbSerial = d.serial;
            printer.usbPath = d.usbPath;
        }
    serial_.closePort();
    return serial_.setComNumber(number);
}

void Engine::download(const DownloadJob& job, DownloadObserver& observer,
                      const QString& bootFilePath) {
    PrinterIdentity printer;
    printer.ip = job.target.ip;
    printer.mac = job.target.mac;
    std::optional<std::pair<Cause, Error>> refusal;
    if (run_ || bootCommand_.isRunning()) {
        refusal = {Cause::Busy, Error{}};
    } else if (job.route == Route::Com) {
        if (Status aimed = aimSerial(job.target, printer); !aimed)
            refusal = {Cause::PortMissing, aimed.error()};
    }
    if (refusal) {
        DownloadResult refused;
        refused.outcome = Outcome::Refused;
        refused.cause = refusal->first;
        refused.error = refusal->second;
        refused.imagePath = job.imagePath;
        refused.imageName = job.imageName;
        refused.font = job.kind == ImageKind::Font;
        refused.startedAt = now();
        refused.printer = printer;
        DownloadEvent ended;
        ended.kind = DownloadEvent::Kind::TransferEnded;
        ended.result = &refused;
        observer.onEvent(ended);
        ended.kind = DownloadEvent::Kind::Finished;
        observer.onEvent(ended);
        return;
    }

    // A device the user named is there while its node exists; a COM number counts as linked
    // when any printer's virtual COM device is present.
    const bool named = !job.target.devicePath.isEmpty() || !job.target.usbPath.isEmpty();
    const QString node = printer.devicePath;
    DownloadRun::Parts parts{serialTransport_,
                             network_,
                             monitor_,
                             bootCommand_,
                             faces_,
                             [this, named, node]() -> std::optional<Cause> {
                                 if (named)
                                     return QFileInfo::exists(node)
                                                ? std::nullopt
                                                : std::optional<Cause>(Cause::PortMissing);
                                 return usb_.printerComPresent()
                                            ? std::nullopt
                                            : std::optional<Cause>(Cause::PrinterAbsent);
                             }};
    run_ = std::make_unique<DownloadRun>(job, bootFilePath, parts, observer);
    run_->printer() = printer;
    connect(run_.get(), &DownloadRun::done, this, [this] {
        // The run is still on the stack: it goes when the event loop next turns, and the
        // engine takes the next job at once.
        run_.release()->deleteLater();
    });
    run_->start(now(), pcCodeSeed ? pcCodeSeed() : TimeOfDaySeed());
}

void Engine::cancel() {
    if (run_)
        run_->cancel();
}

void Engine::stop() {
    if (run_)
        run_->stop();
    bootCommand_.abort();
}

void Engine::setRoute(Route route) {
    if (run_)
        run_->setRoute(route);
}

void Engine::selectComNumber(int number) {
    serial_.closePort();
    (void)serial_.setComNumber(number);
}

void Engine::closeSerialPort() {
    serialTransport_.close();
}

bool Engine::sendBootCommand(const BootCommandJob& job) {
    if (run_)
        return false;
    return bootCommand_.start(job);
}

} // namespace posflash

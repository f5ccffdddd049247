#include "engine/engine.h"

#include "download/download_run.h"
#include "protocol/pc_code.h"

namespace posflash {

Engine::Engine(ComPortMap& comPorts, const UsbInventory& inventory, QObject* parent)
    : QObject(parent), serial_(comPorts), serialTransport_(serial_),
      serialAimer_(comPorts, inventory, serial_), usb_(inventory, comPorts), usbOutput_(usb_),
      network_(faces_), bootCommand_(monitor_, usb_, usbOutput_) {}

// Nobody is told of a download that goes with its engine: the observers may be gone already.
Engine::~Engine() = default;

void Engine::watchDevices(UsbHotplugMonitor* hotplug) {
    bootCommand_.watchDevices(hotplug);
}

void Engine::shareBootPorts(SharedBootPorts* ports) {
    network_.shareBootPorts(ports);
}

DownloadRun::Parts Engine::parts() {
    return {serialTransport_, network_, monitor_, bootCommand_, serialAimer_, usb_, faces_};
}

void Engine::download(const DownloadJob& job, DownloadObserver& observer,
                      const QString& bootFilePath) {
    auto run = std::make_unique<DownloadRun>(job, bootFilePath, parts(), observer);
    if (isBusy()) {
        run->refuse(now(), Cause::Busy);
        return;
    }
    run_ = std::move(run);
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
    stopBootCommand();
}

void Engine::stopBootCommand() {
    if (inboot_)
        inboot_->stop();
    else
        bootCommand_.abort(); // a download's font-mode command
}

bool Engine::isBusy() const {
    return run_ || inboot_ || bootCommand_.isRunning();
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

void Engine::sendBootCommand(const InbootJob& job, DownloadObserver& observer) {
    auto run = std::make_unique<InbootRun>(job, bootCommand_, observer);
    if (isBusy()) {
        run->refuse(now());
        return;
    }
    inboot_ = std::move(run);
    connect(inboot_.get(), &InbootRun::done, this, [this] { inboot_.release()->deleteLater(); });
    inboot_->start(now());
}

bool Engine::printerPresent() const {
    return usb_.printerComPresent();
}

std::optional<int> Engine::printerComNumber() const {
    return usb_.printerComNumber();
}

int Engine::serialComNumber() const {
    return serial_.comNumber();
}

bool Engine::serialOpen() const {
    return serial_.isOpen();
}

quint16 Engine::linkLocalPort() const {
    return network_.linkLocalPort();
}

} // namespace posflash

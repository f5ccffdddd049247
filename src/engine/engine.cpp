#include "engine/engine.h"

#include "base/panel.h"

namespace posflash {

Engine::Engine(Panel& panel, IniStore& settings, ComPortMap& comPorts,
               const UsbInventory& inventory)
    : serial_(comPorts), portModel_(serial_, settings, panel),
      usb_(inventory, comPorts, portModel_), usbOutput_(usb_),
      link_(portModel_, usb_, waits_, panel, faces_),
      appToBoot_(panel, waits_, portModel_, usb_, usbOutput_, link_),
      network_(panel, faces_, link_, appToBoot_),
      transport_(link_, portModel_, network_, appToBoot_),
      sender_(transport_, link_, waits_, panel, faces_),
      driver_(panel, faces_, waits_, settings, portModel_, sender_, link_) {
    // The calls that go up a layer: a reception reaches the reply checker, the boot-loader
    // command asks whether a download runs. (The driver gives the link its elapsed timer.)
    portModel_.onReceived = [this](ByteView received) { link_.receiveBufferArrival(received); };
    appToBoot_.downloadRunning = [this] { return driver_.isRunning(); };
    portModel_.setUsbOutput(&usbOutput_);
    link_.setNetworkLink(&network_);
    QObject::connect(&hotplug_, &UsbHotplugMonitor::devicesChanged, [this] { waits_.recheck(); });
}

} // namespace posflash

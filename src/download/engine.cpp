#include "download/engine.h"

#include "ports/panel.h"

namespace posflash {

Engine::Engine(Panel& panelIn, IniStore& settingsIn, ComPortMap& comPorts,
               const UsbInventory& inventory)
    : panel(panelIn), settings(settingsIn), serial(comPorts),
      portModel(ports, serial, settings, panel), usb(inventory, comPorts, portModel),
      sender(download, ports, portModel, waits, panel, faces),
      link(download, ports, usb, waits, panel, faces),
      driver(download, ports, panel, faces, waits, settings, portModel, sender, link) {
    const auto fontBootDown = [this] { return panel.fontBootDown(); };
    sender.fontBootDown = fontBootDown;
    link.fontBootDown = fontBootDown;
    driver.fontBootDown = fontBootDown;
    portModel.onReceived = [this](std::size_t count) { link.receiveBufferArrival(count); };
}

} // namespace posflash

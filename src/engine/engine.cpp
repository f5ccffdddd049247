#include "engine/engine.h"

#include "base/panel.h"

namespace posflash {

Engine::Engine(Panel& panelIn, IniStore& settingsIn, ComPortMap& comPorts,
               const UsbInventory& inventory)
    : panel(panelIn), settings(settingsIn), serial(comPorts),
      portModel(ports, serial, settings, panel), usb(inventory, comPorts, portModel, ports),
      usbOutput(usb, ports), sender(download, ports, portModel, waits, panel, faces),
      link(download, ports, usb, waits, panel, faces),
      driver(download, ports, panel, faces, waits, settings, portModel, sender, link),
      appToBoot(download, ports, panel, waits, portModel, link),
      network(download, panel, faces, link, appToBoot) {
    const auto fontBootDown = [this] { return panel.fontBootDown(); };
    sender.fontBootDown = fontBootDown;
    link.fontBootDown = fontBootDown;
    driver.fontBootDown = fontBootDown;
    portModel.onReceived = [this](std::size_t count) { link.receiveBufferArrival(count); };

    link.setNetworkLink(&network);
    sender.udpSend = [this](ByteView frame) { return network.udpSend(frame); };
    sender.tcpSend = [this](ByteView frame) { return appToBoot.tcpSend(frame); };
    driver.closeNetwork = [this] {
        network.closeSockets();
        appToBoot.tcpClientMonitorClose();
    };
    appToBoot.downloadRunning = [this] { return driver.isRunning(); };

    portModel.usbSend = [this](ByteView bytes) { return usbOutput.UsbSendData(bytes); };
    appToBoot.findUsbDevice = [this] { return usb.FindUsbDevice(); };
    appToBoot.closeUsbDevice = [this] { usbOutput.CloseUsbDevice(); };
    QObject::connect(&hotplug, &UsbHotplugMonitor::devicesChanged, [this] { waits.recheck(); });
}

} // namespace posflash

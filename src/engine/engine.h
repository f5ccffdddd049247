#pragma once

#include "base/faces.h"
#include "base/wait_hub.h"
#include "download/download_driver.h"
#include "download/frame_sender.h"
#include "link/app_to_boot.h"
#include "link/boot_link.h"
#include "link/frame_transport.h"
#include "link/network_boot.h"
#include "ports/mcommunicate.h"
#include "ports/serial_control.h"
#include "ports/usb_class.h"
#include "ports/usb_hotplug.h"
#include "ports/usb_output.h"

namespace posflash {

class ComPortMap;
class IniStore;
class Panel;
class UsbInventory;

// Everything one window (or the command-line tool, or a test) needs, created once, in order,
// and wired together. The panel, the settings file, the COM map and the USB inventory are the
// caller's.
class Engine {
public:
    Engine(Panel& panel, IniStore& settings, ComPortMap& comPorts, const UsbInventory& inventory);

    DownloadDriver& driver() { return driver_; }
    const DownloadDriver& driver() const { return driver_; }
    PortModel& portModel() { return portModel_; }
    const PortModel& portModel() const { return portModel_; }
    AppToBoot& appToBoot() { return appToBoot_; }
    UsbClass& usb() { return usb_; }
    Faces& faces() { return faces_; }
    const Faces& faces() const { return faces_; }
    WaitHub& waits() { return waits_; }
    UsbHotplugMonitor& hotplug() { return hotplug_; }
    const SerialControl& serial() const { return serial_; }
    const BootLink& link() const { return link_; }
    NetworkBoot& network() { return network_; }
    const NetworkBoot& network() const { return network_; }

private:
    Faces faces_;
    WaitHub waits_;
    SerialControl serial_;
    PortModel portModel_;
    UsbClass usb_;
    UsbOutput usbOutput_;
    BootLink link_;
    AppToBoot appToBoot_;
    NetworkBoot network_;
    BootTransport transport_;
    FrameSender sender_;
    DownloadDriver driver_;
    // Device events: they end the boot command's wait for the printer to come back, and the
    // window follows them with its link icon.
    UsbHotplugMonitor hotplug_;
};

} // namespace posflash

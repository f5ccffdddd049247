#pragma once

#include "base/faces.h"
#include "base/wait_hub.h"
#include "download/download_driver.h"
#include "download/download_state.h"
#include "download/frame_sender.h"
#include "link/app_to_boot.h"
#include "link/boot_link.h"
#include "link/network_boot.h"
#include "ports/mcommunicate.h"
#include "ports/port_state.h"
#include "ports/serial_control.h"
#include "ports/usb_class.h"
#include "ports/usb_hotplug.h"
#include "ports/usb_output.h"

namespace posflash {

class ComPortMap;
class IniStore;
class Panel;
class UsbInventory;

// Everything one window (or the command-line tool, or a test) needs, created once and
// wired together. The panel, the settings file, the COM map and the USB inventory are the
// caller's.
class Engine {
public:
    Engine(Panel& panel, IniStore& settings, ComPortMap& comPorts, const UsbInventory& inventory);

    Panel& panel;
    IniStore& settings;
    PortState ports;
    DownloadState download;
    Faces faces;
    WaitHub waits;
    SerialControl serial;
    PortModel portModel;
    UsbClass usb;
    UsbOutput usbOutput;
    FrameSender sender;
    BootLink link;
    DownloadDriver driver;
    AppToBoot appToBoot;
    NetworkBoot network;
    // Device events: they end the boot command's wait for the printer to come back, and the
    // window follows them with its link icon.
    UsbHotplugMonitor hotplug;
};

} // namespace posflash

#include "ports/serial_aim.h"

#include "base/faces.h"
#include "ports/com_port_map.h"
#include "ports/serial_control.h"

#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace posflash {

namespace {
// The texts keep the context they were translated under.
constexpr const char* kContext = "Engine";
} // namespace

Result<Printer> AimSerial(const Printer& printer, const SerialHost& host, const Faces& faces) {
    Printer aim = printer;
    if (!printer.usbPath.isEmpty()) {
        const auto found = std::find_if(host.devices.begin(), host.devices.end(), [&](auto& d) {
            return d.usbPath == printer.usbPath && !d.serialNode.isEmpty();
        });
        if (found == host.devices.end())
            return Error{0,
                         faces
                             .text(kContext, QT_TRANSLATE_NOOP("Engine", "No serial device is "
                                                                         "at USB path %1."))
                             .arg(printer.usbPath),
                         {},
                         ErrorDomain::Ports};
        aim.node = found->serialNode;
    }
    if (aim.node.isEmpty()) {
        aim.node = host.nodeOf(printer.comNumber);
    } else {
        if (!host.exists(aim.node))
            return Error{ENOENT,
                         faces.text(kContext, QT_TRANSLATE_NOOP("Engine", "%1 does not exist."))
                             .arg(aim.node),
                         QString::fromLocal8Bit(std::strerror(ENOENT)), ErrorDomain::Ports};
        aim.comNumber = host.comNumberOf(aim.node);
    }
    for (const UsbDeviceEntry& d : host.devices)
        if (!aim.node.isEmpty() && d.serialNode == aim.node) {
            aim.usbSerial = d.serial;
            aim.usbPath = d.usbPath;
        }
    return aim;
}

SerialAimer::SerialAimer(ComPortMap& comPorts, const UsbInventory& inventory, SerialControl& serial)
    : comPorts_(comPorts), inventory_(inventory), serial_(serial) {}

Result<Printer> SerialAimer::aim(const Printer& printer, const Faces& faces) {
    const SerialHost host{inventory_.devices().value_or(std::vector<UsbDeviceEntry>{}),
                          [](const QString& node) { return QFileInfo::exists(node); },
                          [this](const QString& node) { return comPorts_.comNumberOf(node); },
                          [this](int number) { return comPorts_.devicePath(number); }};
    Result<Printer> aim = AimSerial(printer, host, faces);
    if (!aim)
        return aim;
    if (printer.namesDevice() && aim->comNumber == 0) {
        const Result<int> assigned = comPorts_.assign(aim->node);
        if (!assigned)
            return assigned.error();
        aim->comNumber = *assigned;
    }
    serial_.closePort();
    if (Status set = serial_.setComNumber(aim->comNumber); !set)
        return set.error();
    return aim;
}

} // namespace posflash

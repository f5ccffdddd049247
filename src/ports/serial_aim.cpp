#include "ports/serial_aim.h"

#include "base/faces.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace posflash {

namespace {
// The texts keep the context they were translated under.
constexpr const char* kContext = "Engine";
} // namespace

Result<SerialAim> AimSerial(const SerialTarget& target, const SerialHost& host,
                            const Faces& faces) {
    SerialAim aim{target.devicePath, target.comNumber, target.usbPath, {}};
    if (!target.usbPath.isEmpty()) {
        const auto found = std::find_if(host.devices.begin(), host.devices.end(), [&](auto& d) {
            return d.usbPath == target.usbPath && !d.serialNode.isEmpty();
        });
        if (found == host.devices.end())
            return Error{0,
                         faces
                             .text(kContext, QT_TRANSLATE_NOOP("Engine", "No serial device is "
                                                                         "at USB path %1."))
                             .arg(target.usbPath),
                         {},
                         ErrorDomain::Ports};
        aim.node = found->serialNode;
    }
    if (aim.node.isEmpty()) {
        aim.node = host.nodeOf(target.comNumber);
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

} // namespace posflash

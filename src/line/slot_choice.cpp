#include "line/slot_choice.h"

namespace posflash {

std::vector<SlotChoice> SlotsOf(const LineSettings& settings) {
    std::vector<SlotChoice> all;
    for (const QString& path : settings.usbPaths) {
        PrinterTarget usb;
        usb.usbPath = path;
        all.push_back({SlotKind::Usb, path, usb, {}});
    }
    // A port's node is looked at when the slot's turn comes, and said on its tile.
    for (const QString& port : settings.ports)
        all.push_back(
            {SlotKind::Com, port, ParsePortTarget(port, DeviceCheck::Later).value_or({}), {}});
    // An entry that names no printer is a set-up problem of its slot, said on its tile.
    for (const NetworkSlotChoice& net : settings.network) {
        Result<PrinterTarget> target = ParseNetworkTarget(net.ip, net.mac);
        PrinterTarget typed;
        typed.ip = net.ip;
        typed.mac = net.mac;
        all.push_back({SlotKind::Network, net.ip, target.value_or(typed),
                       target ? QString() : target.error().text});
    }
    return all;
}

QString SlotTitle(const SlotChoice& slot) {
    return slot.kind == SlotKind::Usb ? QStringLiteral("USB ") + slot.place : slot.place;
}

} // namespace posflash

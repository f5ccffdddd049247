#include "line/slot_choice.h"

namespace posflash {

std::vector<SlotChoice> SlotsOf(const LineSettings& settings) {
    std::vector<SlotChoice> all;
    for (const QString& path : settings.usbPaths) {
        all.push_back({SlotKind::Usb, path, UsbPrinterAt(path), {}});
    }
    // A port's node is looked at when the slot's turn comes, and said on its tile.
    for (const QString& port : settings.ports)
        all.push_back(
            {SlotKind::Com, port, ParsePortPrinter(port, DeviceCheck::Later).value_or({}), {}});
    // An entry that names no printer is a set-up problem of its slot, said on its tile.
    for (const NetworkSlotChoice& net : settings.network) {
        Result<Printer> printer = ParseNetworkPrinter(net.ip, net.mac);
        Printer typed;
        typed.ip = net.ip;
        typed.mac = net.mac;
        all.push_back({SlotKind::Network, net.ip, printer.value_or(typed),
                       printer ? QString() : printer.error().text});
    }
    return all;
}

QString SlotTitle(const SlotChoice& slot) {
    return slot.kind == SlotKind::Usb ? QStringLiteral("USB ") + slot.place : slot.place;
}

} // namespace posflash

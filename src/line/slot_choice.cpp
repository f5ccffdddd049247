#include "line/slot_choice.h"

namespace posflash {

std::vector<SlotChoice> SlotsOf(const LineSettings& settings) {
    std::vector<SlotChoice> all;
    for (const QString& path : settings.usbPaths)
        all.push_back({SlotKind::Usb, path, {}});
    for (const QString& port : settings.ports)
        all.push_back({SlotKind::Com, port, {}});
    for (const NetworkSlotChoice& net : settings.network)
        all.push_back({SlotKind::Network, net.ip, net.mac});
    return all;
}

QString SlotTitle(const SlotChoice& slot) {
    return slot.kind == SlotKind::Usb ? QStringLiteral("USB ") + slot.place : slot.place;
}

} // namespace posflash

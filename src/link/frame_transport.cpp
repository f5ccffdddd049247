#include "link/frame_transport.h"

#include "link/app_to_boot.h"
#include "link/boot_link.h"
#include "link/network_boot.h"
#include "ports/mcommunicate.h"

namespace posflash {

BootTransport::BootTransport(const BootLink& link, PortModel& portModel, NetworkBoot& network,
                             AppToBoot& appToBoot)
    : link_(link), portModel_(portModel), network_(network), appToBoot_(appToBoot) {}

bool BootTransport::sendFrame(ByteView frame) {
    if (link_.fontThroughFirmware())
        return appToBoot_.tcpSend(frame);
    if (portModel_.portKind() == PortKindValue::Com)
        return portModel_.PortSendData(frame);
    return network_.udpSend(frame);
}

} // namespace posflash

#pragma once

#include "ports/port_state.h"
#include "protocol/reply_checker.h"

namespace posflash {

// What the link and the reply checker know of the download in progress. Owned by BootLink;
// others read it and change it through BootLink's operations.
struct LinkState {
    short BootloadrStep = 0;
    Verdict ReplyResult = Verdict::None;
    short ExpectedFrameNo = 0;
    bool ReplyFromSocket = true; // replies read from the link socket, else from ReceiveBuffer
    bool AbortRequested = false;
    bool FontDownload = false;
};

// A font goes through the running firmware's TCP connection when the font box asks not to
// use the boot loader, except on a COM port, where the link and the replies already are.
constexpr bool FontThroughFirmware(PortKindValue portKind, bool fontDownload, bool fontBootDown) {
    return portKind != PortKindValue::Com && fontDownload && !fontBootDown;
}

// Where replies are read: the network socket only for a network download through the boot
// loader; a COM download and a font through the running firmware read ReceiveBuffer.
constexpr bool CheckGetDataMode(PortKindValue portKind, bool fontDownload, bool fontBootDown) {
    return portKind == PortKindValue::Network &&
           !FontThroughFirmware(portKind, fontDownload, fontBootDown);
}

} // namespace posflash

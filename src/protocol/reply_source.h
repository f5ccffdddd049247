#pragma once

namespace posflash {

enum class PortKindValue : short { None = 0, Com = 1, Network = 2 };

// Where replies are read: the network socket only for a network download through the boot
// loader; a COM download and a font download through the running firmware's TCP connection
// read from the shared receive buffer.
constexpr bool CheckGetDataMode(PortKindValue portKind, bool fontDownload, bool fontBootDown) {
    return portKind == PortKindValue::Network && !(fontDownload && !fontBootDown);
}

} // namespace posflash

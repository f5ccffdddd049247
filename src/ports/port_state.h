#pragma once

#include "protocol/reply_source.h"

#include <QString>

#include <array>
#include <cstdint>

namespace posflash {

inline constexpr std::size_t kReceiveBufferSize = 1024;

// The values every layer shares for the whole run: one instance, owned by the engine.
struct PortState {
    PortKindValue PortKind = PortKindValue::None;
    bool AppToBootActive = false;
    std::array<std::uint8_t, kReceiveBufferSize> ReceiveBuffer{};
    QString UsbDevicePath;
};

} // namespace posflash

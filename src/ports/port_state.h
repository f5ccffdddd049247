#pragma once

#include <cstddef>

namespace posflash {

// The way to the printer: none chosen yet, a COM port, or the network.
enum class PortKindValue : short { None = 0, Com = 1, Network = 2 };

inline constexpr std::size_t kReceiveBufferSize = 1024;

} // namespace posflash

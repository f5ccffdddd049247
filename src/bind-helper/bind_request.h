#pragma once

// The one request the bind helper takes, as text: the standard library only, so that the
// program holding the right to bind low ports links nothing else.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace posflash::bind_helper {

// The ports the helper binds, and nothing else: BOOTP's server port and the link port.
inline constexpr std::uint16_t kBootpPort = 67;
inline constexpr std::uint16_t kLinkPort = 69;
// The longest request taken; a longer one is refused whole.
inline constexpr std::size_t kMaxRequestSize = 128;

struct BindRequest {
    std::string interfaceName;             // the sockets receive and send on this interface only
    std::array<std::uint8_t, 4> address{}; // 0.0.0.0: the wildcard; else one of the interface's
                                           // own addresses, which the helper checks
    std::vector<std::uint16_t> ports;      // 67 and/or 69, each once, in the order asked
};

struct ParsedRequest {
    std::optional<BindRequest> request;
    std::string refusal; // why not, when there is no request
};

// "udp dev=INTERFACE [ADDRESS] PORT [PORT]", one space between words and an optional final
// line break: "udp dev=eth0 67 69". Each part of an address is decimal. Addresses that can
// never be an interface's own unicast address (loopback, multicast, broadcast, reserved) are
// refused here; whether the address is the interface's is the helper's check.
ParsedRequest ParseBindRequest(std::string_view text);

} // namespace posflash::bind_helper

// The one request the bind helper takes, and every other refused with its reason.
#include "bind-helper/bind_request.h"

#include <gtest/gtest.h>

#include <string>

namespace posflash::bind_helper {
namespace {

// The request as the helper would carry it out, or "refused: <reason>".
std::string outcome(std::string_view text) {
    const ParsedRequest parsed = ParseBindRequest(text);
    if (!parsed.request)
        return "refused: " + parsed.refusal;
    const BindRequest& r = *parsed.request;
    std::string where = "dev " + r.interfaceName + " " + std::to_string(r.address[0]) + "." +
                        std::to_string(r.address[1]) + "." + std::to_string(r.address[2]) + "." +
                        std::to_string(r.address[3]);
    for (const std::uint16_t port : r.ports)
        where += " " + std::to_string(port);
    return where;
}

TEST(BindRequest, BindsUdp67And69OnAnInterfaceAndRefusesEverythingElse) {
    // clang-format off
    const struct { std::string_view text; std::string expected; } cases[] = {
        {"udp dev=pfveth0 67 69",          "dev pfveth0 0.0.0.0 67 69"},
        {"udp dev=eth0 69 67\n",           "dev eth0 0.0.0.0 69 67"},
        {"udp dev=eth0.100 10.77.0.1 67",  "dev eth0.100 10.77.0.1 67"},
        {"udp dev=eth0 010.077.000.001 69","dev eth0 10.77.0.1 69"}, // decimal, never octal
        {"udp dev=eth0 0.0.0.0 67",        "dev eth0 0.0.0.0 67"},
        {"udp dev=a23456789012345 67",     "dev a23456789012345 0.0.0.0 67"},
        // No interface named: the helper never binds beyond one.
        {"udp 0.0.0.0 67 69",              "refused: name the interface first (dev=INTERFACE), not 0.0.0.0"},
        {"udp 10.9.0.1 67",                "refused: name the interface first (dev=INTERFACE), not 10.9.0.1"},
        // Never an interface's own unicast address.
        {"udp dev=eth0 255.255.255.255 67","refused: 255.255.255.255 is the broadcast address, never an interface's own"},
        {"udp dev=eth0 224.0.0.1 67",      "refused: 224.0.0.1 is a multicast address, never an interface's own"},
        {"udp dev=eth0 239.255.255.250 67","refused: 239.255.255.250 is a multicast address, never an interface's own"},
        {"udp dev=eth0 127.0.0.1 67",      "refused: 127.0.0.1 is a loopback address, never an interface's own"},
        {"udp dev=eth0 240.0.0.1 67",      "refused: 240.0.0.1 is a reserved address, never an interface's own"},
        {"udp dev=eth0 10.77.0.1",         "refused: name the ports 67 and/or 69"},
        {"udp dev=eth0 53",                "refused: only ports 67 and 69 are bound, not 53"},
        {"udp dev=eth0 067",               "refused: only ports 67 and 69 are bound, not 067"},
        {"udp dev=eth0 67 67",             "refused: port 67 is named twice"},
        {"udp dev=eth0 67 69 67",          "refused: at most two ports, 67 and 69"},
        {"udp dev=eth0 10.77.0.1 67 69 67","refused: at most two ports, 67 and 69"},
        {"udp dev=eth0",                   "refused: name an interface and the ports 67 and/or 69"},
        {"tcp dev=eth0 67",                "refused: only UDP is bound, on ports 67 and 69 (write: udp dev=INTERFACE 67 69)"},
        {"",                               "refused: only UDP is bound, on ports 67 and 69 (write: udp dev=INTERFACE 67 69)"},
        {"udp dev=eth0 256.0.0.1 67",      "refused: not an IPv4 address: 256.0.0.1"},
        {"udp dev=eth0 1.2.3 67",          "refused: not an IPv4 address: 1.2.3"},
        {"udp dev=eth0 1.2.3.4.5 67",      "refused: not an IPv4 address: 1.2.3.4.5"},
        {"udp dev=eth0 0x7f.0.0.1 67",     "refused: not an IPv4 address: 0x7f.0.0.1"},
        {"udp dev=eth0 1.2.3.0004 67",     "refused: not an IPv4 address: 1.2.3.0004"},
        {"udp dev= 67",                    "refused: not an interface name: "},
        {"udp dev=../x 67",                "refused: not an interface name: ../x"},
        {"udp dev=a234567890123456 67",    "refused: not an interface name: a234567890123456"},
        {"udp dev=eth0  67",               "refused: only ports 67 and 69 are bound, not "},
        {"udp dev=eth0 67\n\n",            "refused: the request holds a control character"},
        {"udp dev=eth0 67\r",              "refused: the request holds a control character"},
        {std::string_view("udp dev=eth0\0 67", 16), "refused: the request holds a control character"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text));
        EXPECT_EQ(outcome(c.text), c.expected);
    }
    EXPECT_EQ(outcome("udp dev=eth0 67 " + std::string(120, '6')),
              "refused: the request is longer than 128 bytes");
}

} // namespace
} // namespace posflash::bind_helper

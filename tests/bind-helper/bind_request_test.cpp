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
    std::string where = r.interfaceName.empty()
                            ? std::to_string(r.address[0]) + "." + std::to_string(r.address[1]) +
                                  "." + std::to_string(r.address[2]) + "." +
                                  std::to_string(r.address[3])
                            : "dev " + r.interfaceName;
    for (const std::uint16_t port : r.ports)
        where += " " + std::to_string(port);
    return where;
}

TEST(BindRequest, BindsUdp67And69OnAnAddressOrInterfaceAndRefusesEverythingElse) {
    // clang-format off
    const struct { std::string_view text; std::string expected; } cases[] = {
        {"udp 0.0.0.0 67 69",          "0.0.0.0 67 69"},
        {"udp 0.0.0.0 69 67\n",        "0.0.0.0 69 67"},
        {"udp 10.77.0.1 67",           "10.77.0.1 67"},
        {"udp 010.077.000.001 69",     "10.77.0.1 69"}, // decimal, never octal
        {"udp dev=pfveth0 67 69",      "dev pfveth0 67 69"},
        {"udp 0.0.0.0 53",             "refused: only ports 67 and 69 are bound, not 53"},
        {"udp 0.0.0.0 067",            "refused: only ports 67 and 69 are bound, not 067"},
        {"udp 0.0.0.0 67 67",          "refused: port 67 is named twice"},
        {"udp 0.0.0.0 67 69 67",       "refused: at most two ports, 67 and 69"},
        {"udp 0.0.0.0",                "refused: name an address or an interface and the ports 67 and/or 69"},
        {"tcp 0.0.0.0 67",             "refused: only UDP is bound, on ports 67 and 69 (write: udp 0.0.0.0 67 69)"},
        {"",                           "refused: only UDP is bound, on ports 67 and 69 (write: udp 0.0.0.0 67 69)"},
        {"udp  0.0.0.0 67",            "refused: not an IPv4 address: "},
        {"udp 256.0.0.1 67",           "refused: not an IPv4 address: 256.0.0.1"},
        {"udp 1.2.3 67",               "refused: not an IPv4 address: 1.2.3"},
        {"udp 1.2.3.4.5 67",           "refused: not an IPv4 address: 1.2.3.4.5"},
        {"udp 0x7f.0.0.1 67",          "refused: not an IPv4 address: 0x7f.0.0.1"},
        {"udp 1.2.3.0004 67",          "refused: not an IPv4 address: 1.2.3.0004"},
        {"udp dev= 67",                "refused: not an interface name: "},
        {"udp dev=../x 67",            "refused: not an interface name: ../x"},
        {"udp dev=a23456789012345 67", "dev a23456789012345 67"},
        {"udp dev=a234567890123456 67","refused: not an interface name: a234567890123456"},
        {"udp 0.0.0.0 67\n\n",         "refused: the request holds a control character"},
        {"udp 0.0.0.0 67\r",           "refused: the request holds a control character"},
        {std::string_view("udp 0.0.0.0\0 67", 15), "refused: the request holds a control character"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text));
        EXPECT_EQ(outcome(c.text), c.expected);
    }
    EXPECT_EQ(outcome("udp 0.0.0.0 67 " + std::string(120, '6')),
              "refused: the request is longer than 128 bytes");
}

} // namespace
} // namespace posflash::bind_helper

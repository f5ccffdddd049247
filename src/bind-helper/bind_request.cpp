#include "bind-helper/bind_request.h"

#include <algorithm>

namespace posflash::bind_helper {

namespace {

ParsedRequest refused(std::string why) {
    return {std::nullopt, std::move(why)};
}

std::vector<std::string_view> wordsOf(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t start = 0;
    for (;;) {
        const std::size_t space = text.find(' ', start);
        words.push_back(text.substr(start, space - start));
        if (space == std::string_view::npos)
            return words;
        start = space + 1;
    }
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Four decimal parts of one to three digits, each at most 255 ("010" is ten, never octal).
std::optional<std::array<std::uint8_t, 4>> parseAddress(std::string_view text) {
    std::array<std::uint8_t, 4> bytes{};
    std::size_t at = 0;
    for (std::size_t part = 0; part < bytes.size(); ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != '.')
                return std::nullopt;
            ++at;
        }
        unsigned value = 0;
        std::size_t digits = 0;
        while (at < text.size() && isDigit(text[at]) && digits < 3) {
            value = value * 10 + static_cast<unsigned>(text[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0 || value > 255)
            return std::nullopt;
        bytes[part] = static_cast<std::uint8_t>(value);
    }
    if (at != text.size())
        return std::nullopt;
    return bytes;
}

// What the kernel takes as an interface name: 1 to 15 bytes, no slash, colon, space or control
// character, and neither "." nor "..".
bool isInterfaceName(std::string_view name) {
    if (name.empty() || name.size() > 15 || name == "." || name == "..")
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u > 0x20 && u < 0x7F && c != '/' && c != ':';
    });
}

// Why an address can never be an interface's own unicast address, or empty.
std::string notUnicast(const std::array<std::uint8_t, 4>& a) {
    if (a[0] == 127)
        return "a loopback address";
    if (a[0] >= 224 && a[0] <= 239)
        return "a multicast address";
    if (a == std::array<std::uint8_t, 4>{255, 255, 255, 255})
        return "the broadcast address";
    if (a[0] >= 240)
        return "a reserved address";
    return {};
}

} // namespace

ParsedRequest ParseBindRequest(std::string_view text) {
    if (text.size() > kMaxRequestSize)
        return refused("the request is longer than 128 bytes");
    if (!text.empty() && text.back() == '\n')
        text.remove_suffix(1);
    if (text.find_first_of(std::string_view("\0\n\r\t", 4)) != std::string_view::npos)
        return refused("the request holds a control character");
    const std::vector<std::string_view> words = wordsOf(text);
    if (words[0] != "udp")
        return refused("only UDP is bound, on ports 67 and 69 (write: udp dev=INTERFACE 67 69)");
    if (words.size() < 3)
        return refused("name an interface and the ports 67 and/or 69");

    BindRequest request;
    constexpr std::string_view kDevice = "dev=";
    if (words[1].substr(0, kDevice.size()) != kDevice)
        return refused("name the interface first (dev=INTERFACE), not " + std::string(words[1]));
    const std::string_view name = words[1].substr(kDevice.size());
    if (!isInterfaceName(name))
        return refused("not an interface name: " + std::string(name));
    request.interfaceName = std::string(name);

    std::size_t first = 2;
    // Ports have no dot; anything with one is the address.
    if (words[2].find('.') != std::string_view::npos) {
        const auto address = parseAddress(words[2]);
        if (!address)
            return refused("not an IPv4 address: " + std::string(words[2]));
        if (const std::string why = notUnicast(*address); !why.empty())
            return refused(std::string(words[2]) + " is " + why + ", never an interface's own");
        request.address = *address;
        first = 3;
    }
    if (words.size() == first)
        return refused("name the ports 67 and/or 69");
    if (words.size() > first + 2)
        return refused("at most two ports, 67 and 69");
    for (std::size_t i = first; i < words.size(); ++i) {
        std::uint16_t port = 0;
        if (words[i] == "67")
            port = kBootpPort;
        else if (words[i] == "69")
            port = kLinkPort;
        else
            return refused("only ports 67 and 69 are bound, not " + std::string(words[i]));
        if (std::find(request.ports.begin(), request.ports.end(), port) != request.ports.end())
            return refused("port " + std::string(words[i]) + " is named twice");
        request.ports.push_back(port);
    }
    return {std::move(request), {}};
}

} // namespace posflash::bind_helper

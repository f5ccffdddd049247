// The bind helper's request, which any local user can send it: whatever comes in, only UDP
// ports 67 and 69 may come out, each once, on a named interface, never on an address that
// cannot be an interface's own, and a refusal always says why.

#include "fuzz_support.h"

#include "bind-helper/bind_request.h"

#include <algorithm>
#include <string_view>

using namespace posflash::bind_helper;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ParsedRequest parsed = ParseBindRequest(text);
    if (!parsed.request) {
        FUZZ_CHECK(!parsed.refusal.empty());
        return 0;
    }
    const BindRequest& r = *parsed.request;
    FUZZ_CHECK(size <= kMaxRequestSize && text.starts_with("udp dev="));
    FUZZ_CHECK(!r.ports.empty() && r.ports.size() <= 2);
    for (const std::uint16_t port : r.ports)
        FUZZ_CHECK(port == kBootpPort || port == kLinkPort);
    FUZZ_CHECK(r.ports.size() == 1 || r.ports[0] != r.ports[1]);
    FUZZ_CHECK(!r.interfaceName.empty() && r.interfaceName.size() <= 15 &&
               r.interfaceName.find_first_of("/: \n") == std::string::npos);
    const auto& a = r.address;
    FUZZ_CHECK(a[0] != 127 && a[0] < 224); // no loopback, multicast, broadcast or reserved
    return 0;
}

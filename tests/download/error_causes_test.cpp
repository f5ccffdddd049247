#include "download/error_causes.h"
#include "link/boot_command.h"
#include "link/network_boot.h"
#include "ports/com_port_map.h"
#include "ports/comm_errors.h"
#include "protocol/image_file.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace posflash {
namespace {

TEST(ErrorCauses, EachDomainsCodesGiveTheirOwnCause) {
    // The table's lookup rules, not its rows: a named code before the domain's other codes.
    // clang-format off
    const struct { ErrorDomain domain; int code; Cause cause; } cases[] = {
        {ErrorDomain::Serial, comm_error::kInvalidPortNumber, Cause::PortMissing},
        // A node that is there but no serial line is not a missing one.
        {ErrorDomain::Serial, comm_error::kUnsupportedDevice, Cause::PortNotSerial},
        {ErrorDomain::Serial, comm_error::kReadError, Cause::Disconnected},
        // The same number 3 in two domains: a bad argument to the map, a name too long to boot.
        {ErrorDomain::Ports, ComPortMap::kInvalidArgument, Cause::PortMissing},
        {ErrorDomain::Network, NetworkBoot::kFileNameTooLong, Cause::FileNameTooLong},
        {ErrorDomain::Network, NetworkBoot::kBindRefused, Cause::BindRefused},
        {ErrorDomain::Image, image_error::kTooLarge, Cause::TooLarge},
        {ErrorDomain::Image, image_error::kReadFailed, Cause::FileNotOpen},
        // An errno value is no serial number: 8002 means nothing to the system.
        {ErrorDomain::System, comm_error::kInvalidPortNumber, Cause::Disconnected},
        {ErrorDomain::Unknown, 0, Cause::Disconnected},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << DomainName(c.domain) << " " << c.code);
        EXPECT_EQ(CauseName(CauseOfError(Error{c.code, {}, {}, c.domain})), CauseName(c.cause));
    }
}

} // namespace
} // namespace posflash

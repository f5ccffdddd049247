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
    const struct {
        ErrorDomain domain;
        int code;
        Cause cause;
    } cases[] = {
        {ErrorDomain::Serial, comm_error::kInvalidPortNumber, Cause::PortMissing},
        {ErrorDomain::Serial, comm_error::kUnsupportedDevice, Cause::PortMissing},
        {ErrorDomain::Serial, comm_error::kPortAlreadyOpen, Cause::PortBusy},
        {ErrorDomain::Serial, comm_error::kHardwareUnavailable, Cause::Permission},
        {ErrorDomain::Serial, comm_error::kDeviceNotOpen, Cause::Disconnected},
        {ErrorDomain::Serial, comm_error::kReadError, Cause::Disconnected},
        // The same number 3 in two domains: a bad argument to the map, a name too long to boot.
        {ErrorDomain::Ports, ComPortMap::kInvalidArgument, Cause::PortMissing},
        {ErrorDomain::Network, NetworkBoot::kFileNameTooLong, Cause::FileNameTooLong},
        {ErrorDomain::Network, NetworkBoot::kInvalidIp, Cause::BadAddress},
        {ErrorDomain::Network, NetworkBoot::kInvalidMac, Cause::BadAddress},
        {ErrorDomain::Network, NetworkBoot::kBindRefused, Cause::BindRefused},
        {ErrorDomain::Socket, 1, Cause::Disconnected},
        {ErrorDomain::Inboot, inboot_error::kNoPrinter, Cause::PrinterAbsent},
        {ErrorDomain::Inboot, inboot_error::kNoConnection, Cause::MonitorUnreachable},
        {ErrorDomain::Inboot, inboot_error::kPrinterReset, Cause::MonitorUnreachable},
        {ErrorDomain::Inboot, inboot_error::kWriteFailed, Cause::Disconnected},
        {ErrorDomain::Image, image_error::kTooLarge, Cause::TooLarge},
        {ErrorDomain::Image, image_error::kNotAFile, Cause::FileNotOpen},
        {ErrorDomain::Image, image_error::kReadFailed, Cause::FileNotOpen},
        // An errno value is no serial number: 8002 means nothing to the system.
        {ErrorDomain::System, comm_error::kInvalidPortNumber, Cause::Disconnected},
        {ErrorDomain::Unknown, 0, Cause::Disconnected},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << DomainName(c.domain) << " " << c.code);
        EXPECT_EQ(CauseName(CauseOfError(Error{c.code, {}, {}, c.domain})), CauseName(c.cause));
    }
}

} // namespace
} // namespace posflash

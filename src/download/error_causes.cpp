#include "download/error_causes.h"

#include "link/boot_command.h"
#include "link/network_boot.h"
#include "ports/comm_errors.h"
#include "protocol/image_file.h"

namespace posflash {
namespace {

struct ErrorCause {
    ErrorDomain domain;
    bool anyCode; // the domain's other codes, after its named ones
    int code;
    Cause cause;
};

constexpr ErrorCause kCauses[] = {
    {ErrorDomain::Serial, false, comm_error::kInvalidPortNumber, Cause::PortMissing},
    {ErrorDomain::Serial, false, comm_error::kUnsupportedDevice, Cause::PortNotSerial},
    {ErrorDomain::Serial, false, comm_error::kPortAlreadyOpen, Cause::PortBusy},
    {ErrorDomain::Serial, false, comm_error::kHardwareUnavailable, Cause::Permission},
    {ErrorDomain::Serial, true, 0, Cause::Disconnected},
    // The COM number map and the nodes: a target that names no serial device here.
    {ErrorDomain::Ports, true, 0, Cause::PortMissing},
    {ErrorDomain::Network, false, NetworkBoot::kInvalidIp, Cause::BadAddress},
    {ErrorDomain::Network, false, NetworkBoot::kInvalidMac, Cause::BadAddress},
    {ErrorDomain::Network, false, NetworkBoot::kFileNameTooLong, Cause::FileNameTooLong},
    {ErrorDomain::Network, true, 0, Cause::BindRefused},
    {ErrorDomain::Socket, true, 0, Cause::Disconnected},
    {ErrorDomain::Inboot, false, inboot_error::kNoPrinter, Cause::PrinterAbsent},
    {ErrorDomain::Inboot, false, inboot_error::kNoConnection, Cause::MonitorUnreachable},
    {ErrorDomain::Inboot, false, inboot_error::kPrinterReset, Cause::MonitorUnreachable},
    {ErrorDomain::Inboot, false, inboot_error::kStopped, Cause::Cancelled},
    {ErrorDomain::Inboot, true, 0, Cause::Disconnected},
    {ErrorDomain::Image, false, image_error::kTooLarge, Cause::TooLarge},
    {ErrorDomain::Image, true, 0, Cause::FileNotOpen},
};

} // namespace

Cause CauseOfError(const Error& error) {
    for (const ErrorCause& entry : kCauses)
        if (entry.domain == error.domain && (entry.anyCode || entry.code == error.code))
            return entry.cause;
    return Cause::Disconnected;
}

} // namespace posflash

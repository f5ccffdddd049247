#include "fleet/fleet_outcome.h"

#include <algorithm>

namespace posflash {

QString FleetOutcomeName(FleetOutcome outcome) {
    switch (outcome) {
    case FleetOutcome::Current:
        return QStringLiteral("current");
    case FleetOutcome::Updated:
        return QStringLiteral("updated");
    case FleetOutcome::Failed:
        return QStringLiteral("failed");
    case FleetOutcome::Pending:
        return QStringLiteral("pending");
    case FleetOutcome::WouldUpdate:
        return QStringLiteral("would-update");
    }
    return {};
}

FleetVerdict FleetVerdictOf(Outcome outcome, Cause cause, bool reached, std::optional<bool> back) {
    if (outcome == Outcome::Completed) {
        if (back == false)
            return {FleetOutcome::Failed, Cause::NotBack};
        return {FleetOutcome::Updated, Cause::None};
    }
    if (!reached) {
        switch (cause) {
        // Another posflash holds the printer, its serial port or the boot ports.
        case Cause::Busy:
        case Cause::PortBusy:
        case Cause::BindRefused:
            return {FleetOutcome::Pending, Cause::Busy};
        // Switched off, unplugged or off the network tonight.
        case Cause::LinkTimeout:
        case Cause::MonitorUnreachable:
        case Cause::NotAnswering:
            return {FleetOutcome::Pending, Cause::NotAnswering};
        case Cause::OutsideWindow:
            return {FleetOutcome::Pending, Cause::OutsideWindow};
        default:
            break;
        }
    }
    return {FleetOutcome::Failed, cause};
}

int FleetExitStatus(const std::vector<FleetOutcome>& outcomes) {
    const auto any = [&](FleetOutcome o) {
        return std::find(outcomes.begin(), outcomes.end(), o) != outcomes.end();
    };
    if (any(FleetOutcome::Failed))
        return 1;
    return any(FleetOutcome::Pending) ? 3 : 0;
}

} // namespace posflash

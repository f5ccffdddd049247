#pragma once

#include "download/download_result.h"

#include <QString>

#include <optional>
#include <vector>

namespace posflash {

// What a rollout makes of one printer of a store's run.
enum class FleetOutcome {
    Current,     // its last completed download was the image: nothing sent
    Updated,     // completed (and, when asked, its firmware answered again)
    Failed,      // something was sent and it did not end well
    Pending,     // nothing was sent, and a later run may do it
    WouldUpdate, // a dry run: it answers and is not current
};

// "current", "updated", "failed", "pending", "would-update".
QString FleetOutcomeName(FleetOutcome outcome);

struct FleetVerdict {
    FleetOutcome outcome = FleetOutcome::Failed;
    Cause cause = Cause::None;
};

// A printer's download as a rollout counts it. reached: a frame reached the printer (a failure
// before that, of a printer that did not answer or was busy, is pending). back: after a
// completed download, whether its firmware answered again in time; nothing when not asked.
FleetVerdict FleetVerdictOf(Outcome outcome, Cause cause, bool reached, std::optional<bool> back);

// The store's exit status: 1 when any printer failed, else 3 when any is pending, else 0.
int FleetExitStatus(const std::vector<FleetOutcome>& outcomes);

} // namespace posflash

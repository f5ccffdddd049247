#pragma once

#include "link/firmware_probe.h"

#include <QStringList>

#include <vector>

namespace posflash {

// Every address looked at at once, the command line waiting in an event loop of its own until
// each look ended; in their order, whose firmware answered. An empty address is not looked at
// and counts as answering (a printer found on the USB bus is present).
std::vector<bool> FirmwaresAnswering(const QStringList& ips,
                                     int withinMs = FirmwareProbe::kAnswerWaitMs);

} // namespace posflash

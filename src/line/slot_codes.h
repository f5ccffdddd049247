#pragma once

#include "line/line_settings.h"

#include <QString>

#include <optional>

namespace posflash {

// What follows the prefix when a scan is a slot's own code ("SLOT-3" gives "3"); nothing for
// a label. The prefix is matched in either case: a scanner may be set to send capitals.
std::optional<QString> SlotCodeRest(const QString& scan, const QString& prefix);

// The page to stick on the fixtures, as HTML that prints as it shows: each slot's code as a
// Code 128 barcode, in big letters under it (for a scanner that cannot read it, typed), and
// the slot's port.
QString SlotCodesPage(const LineSettings& settings);

// posflash --line --print-slot-codes: the page into outPath, or to standard output when it is
// empty. Returns the exit code; what went wrong is said on standard error.
int PrintSlotCodes(const LineSettings& settings, const QString& outPath);

} // namespace posflash

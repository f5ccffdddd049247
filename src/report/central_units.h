#pragma once

#include "base/error.h"
#include "history/history_store.h"
#include "report/report_figures.h"

#include <vector>

namespace posflash {

struct RecordsAddress;

// The units of the line's records that the filter lets through, from the report's view
// (posflash_report_units), filtered by the server: the records' rows themselves are not read.
// The filter's conditions hold for a unit's first attempt; its outcome and limit are ignored.
Result<std::vector<ReportUnit>> CentralUnits(const RecordsAddress& address,
                                             const HistoryFilter& filter);

} // namespace posflash

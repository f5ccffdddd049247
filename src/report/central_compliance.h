#pragma once

#include "base/error.h"
#include "history/history_store.h"
#include "report/compliance_figures.h"

#include <QString>

#include <vector>

namespace posflash {

struct RecordsAddress;

// Which printer of the line's records runs the image of the recipe named name, from the views
// posflash_printer_images and posflash_printer_recipes. The image is the one the newest
// published recipe of the name approves (its signed bytes, read here); with none published,
// the image of the newest completed rows under the name.
Result<ComplianceFigures> CentralCompliance(const RecordsAddress& address, const QString& name);

// The last completed image of each printer of the station, as the line's records have it
// (posflash_printer_images): completed rows holding the printer's MAC or USB serial, the image's
// SHA-256 and kind, the recipe, its sequence and key, and the start; no file path.
Result<std::vector<HistoryRecord>> CentralLastImages(const RecordsAddress& address,
                                                     const QString& station);

} // namespace posflash

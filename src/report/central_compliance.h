#pragma once

#include "base/error.h"
#include "report/compliance_figures.h"

#include <QString>

namespace posflash {

struct RecordsAddress;

// Which printer of the line's records runs the image of the recipe named name, from the views
// posflash_printer_images and posflash_printer_recipes. The image is the one the newest
// published recipe of the name approves (its signed bytes, read here); with none published,
// the image of the newest completed rows under the name.
Result<ComplianceFigures> CentralCompliance(const RecordsAddress& address, const QString& name);

} // namespace posflash

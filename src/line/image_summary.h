#pragma once

#include "base/error.h"
#include "download/loaded_image.h"

#include <QString>

namespace posflash {

// The image a shift loads, read once under the download's own rules (a FIFO, a device or a
// file too large for a download is refused before it is read): what the operator checks against
// the work order, what the recipe approves and what every unit of the shift is sent. Reads the
// whole file: run it off the window's thread.
Result<SharedImage> LoadShiftImage(const QString& path, bool font);

// "fw.bin · 262,144 bytes · SHA-256 3f2a9c0b1d4e"
QString SummaryLine(const LoadedImage& image);

} // namespace posflash
